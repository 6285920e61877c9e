// The message packer: the text it writes, the mode rule of every value
// operation, the map, list and matrix elements, and the errors of the Barn
// layer, all without a network.
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwPackUnpack.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Packer = LwPackUnpack::LwPackUnpackCustom;

std::string TextOf(const LwPackUnpack& p)
{
    std::string text = "(unchanged)";
    p.Packer().ToText(text);
    return text;
}

LwPackUnpack Reply(const std::string& text)
{
    LwPackUnpack p("r", LwPackUnpack::KindXml);
    p.Packer().FromText(text);
    return p;
}

TEST(LwPackUnpack, EmptyRequestIsTheRootAlone)
{
    LwPackUnpack p("w", LwPackUnpack::KindXml);
    EXPECT_EQ("w", p.Packer().GetMode());
    EXPECT_EQ("<vra></vra>\n", TextOf(p));
    EXPECT_EQ("r", LwPackUnpack("r", LwPackUnpack::KindXml).Packer().GetMode());
}

TEST(LwPackUnpack, UnknownKindOrModeIsRefused)
{
    EXPECT_EQ("Undefined packer kind", ErrorText([] { LwPackUnpack("w", 1); }));
    EXPECT_EQ("Undefined packer kind", ErrorText([] { LwPackUnpack("r", -1); }));
    EXPECT_EQ("IlligalMode", ErrorText([] { LwPackUnpack("a", LwPackUnpack::KindXml); }));
}

TEST(LwPackUnpack, CopiesShareOnePacker)
{
    LwPackUnpack a("w", LwPackUnpack::KindXml);
    LwPackUnpack b = a;
    std::string s = "x";
    b.StringValue("s", s);
    EXPECT_EQ(&a.Packer(), &b.Packer());
    EXPECT_EQ("<vra><s>x</s>\n</vra>\n", TextOf(a));
}

TEST(LwPackUnpack, ValuesAreWrittenInTheBarnTextForms)
{
    LwPackUnpack p("w", LwPackUnpack::KindXml);
    Packer& w = p.Packer();
    std::string text = "<a&b>\"";
    std::int32_t i = -42;
    double d = 0.5;
    float f = 1234567.0f;
    bool flag = false;
    EXPECT_TRUE(w.OpenElement("e"));
    EXPECT_TRUE(w.PackUnpackString("t", text));
    EXPECT_TRUE(w.PackUnpackInt32("i", i));
    EXPECT_TRUE(w.PackUnpackDouble("d", d));
    EXPECT_TRUE(w.PackUnpackFloat("f", f));
    EXPECT_TRUE(w.PackUnpackBool("b", flag));
    w.CloseElement("e");
    EXPECT_EQ("<vra><e><t>&lt;a&amp;b&gt;&quot;</t>\n<i>-42</i>\n<d>0.5</d>\n<f>1.23457e+06</f>\n"
              "<b>false</b>\n</e>\n</vra>\n",
              TextOf(p));

    LwPackUnpack r = Reply(TextOf(p));
    Packer& in = r.Packer();
    std::string t2;
    std::int32_t i2 = 0;
    double d2 = 0;
    float f2 = 0;
    bool b2 = true;
    ASSERT_TRUE(in.OpenElement("e"));
    EXPECT_TRUE(in.PackUnpackString("t", t2));
    EXPECT_TRUE(in.PackUnpackInt32("i", i2));
    EXPECT_TRUE(in.PackUnpackDouble("d", d2));
    EXPECT_TRUE(in.PackUnpackFloat("f", f2));
    EXPECT_TRUE(in.PackUnpackBool("b", b2));
    in.CloseElement("e");
    EXPECT_EQ(text, t2);
    EXPECT_EQ(-42, i2);
    EXPECT_EQ(0.5, d2);
    EXPECT_EQ(1234570.0f, f2);  // six significant digits travel
    EXPECT_FALSE(b2);
}

// Mode "r": a missing element keeps the variable; the maps are emptied.
TEST(LwPackUnpack, MissingElementsKeepTheirDefaultsAndMapsEmpty)
{
    LwPackUnpack r = Reply("<vra><other>1</other>\n<b>maybe</b>\n</vra>\n");
    Packer& in = r.Packer();
    std::string s = "keep";
    std::int32_t i = 7;
    double d = 2.5;
    float f = -1.5f;
    bool flag = true;
    LwPackUnpack::DoubleMap dm{{"old", {1.0}}};
    LwPackUnpack::StringMap sm{{"old", {"x"}}};
    LwPackUnpack::StringList list{"kept"};
    LwFloatMatrix m(2, 2);
    LwInt32Matrix im(3, 1);
    EXPECT_FALSE(in.PackUnpackString("s", s));
    EXPECT_FALSE(in.PackUnpackInt32("i", i));
    EXPECT_FALSE(in.PackUnpackDouble("d", d));
    EXPECT_FALSE(in.PackUnpackFloat("f", f));
    EXPECT_FALSE(in.PackUnpackBool("b", flag));  // not "true"/"false"
    EXPECT_FALSE(in.PackUnpackBool("nob", flag));
    EXPECT_FALSE(in.PackUnpackDoubleMap("dm", dm));
    EXPECT_FALSE(in.PackUnpackStringMap("sm", sm));
    EXPECT_FALSE(in.PackUnpackStringList("l", list));
    EXPECT_FALSE(in.PackUnpackFloatMatrix("m", m, "b"));
    EXPECT_FALSE(in.PackUnpackInt32Matrix("im", im, "b"));
    EXPECT_FALSE(in.OpenElement("absent"));
    EXPECT_EQ("keep", s);
    EXPECT_EQ(7, i);
    EXPECT_EQ(2.5, d);
    EXPECT_EQ(-1.5f, f);
    EXPECT_TRUE(flag);
    EXPECT_TRUE(dm.empty());
    EXPECT_TRUE(sm.empty());
    EXPECT_EQ(LwPackUnpack::StringList{"kept"}, list);
    EXPECT_EQ(2, m.ColSize);
    EXPECT_EQ(3, im.ColSize);
}

TEST(LwPackUnpack, RepeatedElementsAreReadInDocumentOrder)
{
    LwPackUnpack r = Reply("<vra><e><v>1</v>\n</e>\n<e><v>2</v>\n</e>\n</vra>\n");
    Packer& in = r.Packer();
    std::vector<std::int32_t> seen;
    while (in.OpenElement("e")) {
        std::int32_t v = 0;
        in.PackUnpackInt32("v", v);
        in.CloseElement("e");
        seen.push_back(v);
    }
    EXPECT_EQ((std::vector<std::int32_t>{1, 2}), seen);
}

TEST(LwPackUnpack, MapsAndStringLists)
{
    LwPackUnpack p("w", LwPackUnpack::KindXml);
    LwPackUnpack::DoubleMap dm{{"E", {12000.0, 0.25}}, {"a<b", {1e-7}}};
    LwPackUnpack::StringMap sm{{"log", {"first", "x&y"}}};
    LwPackUnpack::StringList list{"a&b", "", "c"};
    p.Packer().PackUnpackDoubleMap("dm", dm);
    p.Packer().PackUnpackStringMap("sm", sm);
    p.Packer().PackUnpackStringList("l", list);
    EXPECT_EQ("<vra><dm><i><key>E</key>\n<val>12000</val>\n<val>0.25</val>\n</i>\n"
              "<i><key>a&lt;b</key>\n<val>1e-07</val>\n</i>\n</dm>\n"
              "<sm><i><key>log</key>\n<value>first</value>\n<value>x&amp;y</value>\n</i>\n</sm>\n"
              "<l><r>a&amp;amp;b</r>\n<r></r>\n<r>c</r>\n</l>\n</vra>\n",
              TextOf(p));

    LwPackUnpack r = Reply(TextOf(p));
    LwPackUnpack::DoubleMap dm2{{"stale", {1}}};
    LwPackUnpack::StringMap sm2;
    LwPackUnpack::StringList list2;
    EXPECT_TRUE(r.Packer().PackUnpackDoubleMap("dm", dm2));
    EXPECT_TRUE(r.Packer().PackUnpackStringMap("sm", sm2));
    EXPECT_TRUE(r.Packer().PackUnpackStringList("l", list2));
    EXPECT_EQ(dm, dm2);
    EXPECT_EQ(sm, sm2);
    EXPECT_EQ(list, list2);

    // Items without a key or without a value are skipped.
    LwPackUnpack bad = Reply("<vra><dm><i><key></key>\n<val>1</val>\n</i>\n<i><key>novalue</key>\n</i>\n"
                             "<i><key>ok</key>\n<val>3</val>\n</i>\n</dm>\n</vra>\n");
    LwPackUnpack::DoubleMap dm3;
    EXPECT_TRUE(bad.Packer().PackUnpackDoubleMap("dm", dm3));
    EXPECT_EQ((LwPackUnpack::DoubleMap{{"ok", {3.0}}}), dm3);
}

TEST(LwPackUnpack, MatricesInEveryFormat)
{
    LwFloatMatrix image(3, 2);
    image.ColBegin = -1;
    image.RowBegin = 5;
    for (int i = 0; i < 6; ++i)
        image.Buffer()[i] = 0.25f * i - 0.5f;
    image.Buffer()[4] = std::numeric_limits<float>::quiet_NaN();
    LwInt32Matrix ids(1, 3);
    ids(0, 0) = 4;
    ids(0, 1) = -1;
    ids(0, 2) = 2147483647;
    for (const char* format : {"t", "b", "bb"}) {
        SCOPED_TRACE(format);
        LwPackUnpack p("w", LwPackUnpack::KindXml);
        LwFloatMatrix copy = image;
        LwInt32Matrix idCopy = ids;
        EXPECT_TRUE(p.Packer().PackUnpackFloatMatrix("image", copy, format));
        EXPECT_TRUE(p.Packer().PackUnpackInt32Matrix("IDList", idCopy, format));
        const std::string text = TextOf(p);
        if (std::string(format) != "t") {
            EXPECT_NE(std::string::npos, text.find("<image><LwFloatMatrixBinary>"));
            EXPECT_NE(std::string::npos, text.find("<IDList><LwLongMatrixBinary>"));
            EXPECT_NE(std::string::npos, text.find(std::string(format) == "b" ? "<base64>" : "<base64b>"));
        }
        LwPackUnpack r = Reply(text);
        LwFloatMatrix back;
        LwInt32Matrix idBack;
        ASSERT_TRUE(r.Packer().PackUnpackFloatMatrix("image", back, "b"));
        ASSERT_TRUE(r.Packer().PackUnpackInt32Matrix("IDList", idBack, "b"));
        ASSERT_EQ(3, back.ColSize);
        ASSERT_EQ(2, back.RowSize);
        EXPECT_EQ(-1, back.ColBegin);
        EXPECT_EQ(5, back.RowBegin);
        for (int i = 0; i < 6; ++i) {
            if (i == 4)
                EXPECT_TRUE(std::isnan(back.Buffer()[i]));
            else
                EXPECT_FLOAT_EQ(image.Buffer()[i], back.Buffer()[i]);
        }
        ASSERT_EQ(3, idBack.RowSize);
        EXPECT_EQ(2147483647, idBack(0, 2));
        EXPECT_EQ(-1, idBack(0, 1));
    }
}

TEST(LwPackUnpack, BarnErrorsReachTheCaller)
{
    LwPackUnpack w("w", LwPackUnpack::KindXml);
    EXPECT_EQ("mode is illigal", ErrorText([&] { w.Packer().FromText("<vra></vra>\n"); }));
    w.Packer().OpenElement("i0");
    EXPECT_EQ("Invalid Tag Name:i0 <> x", ErrorText([&] { w.Packer().CloseElement("x"); }));
    w.Packer().CloseElement("i0");
    w.Packer().CloseElement("vra");
    EXPECT_EQ("Over CloseRack", ErrorText([&] { w.Packer().CloseElement("vra"); }));
    LwPackUnpack r("r", LwPackUnpack::KindXml);
    EXPECT_EQ("Illigal Tag Structure", ErrorText([&] { r.Packer().FromText("<vra><i0"); }));
}

}  // namespace
