// Value elements of the Barn document: flags, numbers, texts, the built-in
// lists and the generic list of records.

#include "core/LwBarnXml.h"
#include "core/TextUtilities.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using barn_test::Parse;
using barn_test::WriteInD;
using barn_test::WrittenText;

namespace {

// A read-mode document whose current rack is the top rack "d" of `text`.
std::unique_ptr<LwBarnXml> ReadInD(const std::string& text)
{
    auto doc = Parse(text);
    EXPECT_TRUE(doc->OpenRack("d"));
    return doc;
}

std::string PrintfG(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

// ---------------------------------------------------------------------------
// Scalars

TEST(BarnValues, NumbersAreStoredWithSixSignificantDigits)
{
    const double rows[] = {0.0, 300.0, 3.14159265, 0.1234567, 1234567.0, -2.5e-12, 1e300, 6.02214076e23};
    for (double v : rows) {
        SCOPED_TRACE(v);
        // %g prints the same six-digit general form, independently of the
        // stream formatting behind DoubleToString.
        const std::string expected = PrintfG(v);
        const std::string text = WriteInD([&](LwBarnXml& doc) {
            double d = v;
            float f = static_cast<float>(v);
            LDouble l = static_cast<LDouble>(v);
            doc.ValueDouble("d", d, 0);
            if (std::fabs(v) < FLT_MAX)
                doc.ValueFloat("f", f, 0);
            doc.ValueLDouble("l", l, 0);
        });
        EXPECT_NE(text.find("<d>" + expected + "</d>\n"), std::string::npos) << text;
        EXPECT_NE(text.find("<l>" + expected + "</l>\n"), std::string::npos) << text;
        auto doc = ReadInD(text);
        double d = -1;
        LDouble l = -1;
        EXPECT_TRUE(doc->ValueDouble("d", d, -1));
        EXPECT_EQ(d, std::strtod(expected.c_str(), nullptr));
        if (std::fabs(v) < FLT_MAX) {
            float f = -1;
            EXPECT_TRUE(doc->ValueFloat("f", f, -1));
            EXPECT_EQ(f, std::strtof(PrintfG(static_cast<float>(v)).c_str(), nullptr));
        }
        EXPECT_TRUE(doc->ValueLDouble("l", l, -1));
        // Read through a double in both widths of LDouble.
        EXPECT_EQ(l, static_cast<LDouble>(std::strtod(expected.c_str(), nullptr)));
    }
}

TEST(BarnValues, PiIsReadBackWithSixDigits)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        double pi = 3.14159265;
        doc.ValueDouble("pi", pi, 0);
    });
    EXPECT_EQ(text, "<d><pi>3.14159</pi>\n</d>\n");
    auto doc = ReadInD(text);
    double pi = 0;
    doc->ValueDouble("pi", pi, 0);
    EXPECT_EQ(pi, 3.14159);
}

TEST(BarnValues, IntegersRoundTripInPlainDecimal)
{
    const LwLong rows[] = {0, 1, -1, 255, 65536, INT32_MAX, INT32_MIN};
    for (LwLong v : rows) {
        SCOPED_TRACE(v);
        const std::string text = WriteInD([&](LwBarnXml& doc) {
            int i = v;
            LwLong l = v;
            doc.ValueInt("i", i, 0);
            doc.ValueLong("l", l, 0);
        });
        EXPECT_EQ(text, "<d><i>" + std::to_string(v) + "</i>\n<l>" + std::to_string(v) + "</l>\n</d>\n");
        auto doc = ReadInD(text);
        int i = 7;
        LwLong l = 7;
        EXPECT_TRUE(doc->ValueInt("i", i, 7));
        EXPECT_TRUE(doc->ValueLong("l", l, 7));
        EXPECT_EQ(i, v);
        EXPECT_EQ(l, v);
    }
}

TEST(BarnValues, NumberTextsReadAsTheirLongestNumericPrefix)
{
    const struct
    {
        const char* text;
        int i;
        double d;
    } rows[] = {
        {"abc", 0, 0.0},  // no number: 0, and the rack was found
        {"", 0, 0.0},    {" 12 ", 12, 12.0}, {"7.9kg", 7, 7.9}, {"1e3", 1, 1000.0}, {"-0.5", 0, -0.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string text = std::string("<d><i>") + row.text + "</i><l>" + row.text + "</l><x>" +
                                 row.text + "</x><f>" + row.text + "</f><e>" + row.text + "</e></d>";
        auto doc = ReadInD(text);
        int i = 99;
        LwLong l = 99;
        double x = 99;
        float f = 99;
        LDouble e = 99;
        EXPECT_TRUE(doc->ValueInt("i", i, 99));
        EXPECT_TRUE(doc->ValueLong("l", l, 99));
        EXPECT_TRUE(doc->ValueDouble("x", x, 99));
        EXPECT_TRUE(doc->ValueFloat("f", f, 99));
        EXPECT_TRUE(doc->ValueLDouble("e", e, 99));
        EXPECT_EQ(i, row.i);
        EXPECT_EQ(l, row.i);
        EXPECT_EQ(x, row.d);
        EXPECT_EQ(f, static_cast<float>(row.d));
        EXPECT_EQ(e, static_cast<LDouble>(row.d));
    }
}

TEST(BarnValues, MissingElementsGiveTheDefaultAndFalse)
{
    auto doc = ReadInD("<d><other>5</other></d>");
    int i = 1;
    LwLong l = 1;
    float f = 1;
    double x = 1;
    LDouble e = 1;
    std::string raw = "old", text = "old";
    EXPECT_FALSE(doc->ValueInt("n", i, -7));
    EXPECT_FALSE(doc->ValueLong("n", l, -8));
    EXPECT_FALSE(doc->ValueFloat("n", f, 2.5f));
    EXPECT_FALSE(doc->ValueDouble("n", x, 3.5));
    EXPECT_FALSE(doc->ValueLDouble("n", e, 4.5));
    EXPECT_FALSE(doc->ValueRawString("n", raw, "raw default"));
    // The default of a text is taken as it stands, not unescaped.
    EXPECT_FALSE(doc->ValueString("n", text, "&lt;default"));
    EXPECT_EQ(i, -7);
    EXPECT_EQ(l, -8);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(x, 3.5);
    EXPECT_EQ(e, 4.5);
    EXPECT_EQ(raw, "raw default");
    EXPECT_EQ(text, "&lt;default");
    EXPECT_EQ(doc->CurrentRack()->GetName(), "d");
}

TEST(BarnValues, FlagsAreExactlyTrueOrFalse)
{
    const struct
    {
        const char* why;
        const char* body;
        bool before, defaultValue;
        bool found, after;
    } rows[] = {
        {"true", "<b>true</b>", false, false, true, true},
        {"false", "<b>false</b>", true, true, true, false},
        {"upper case is not a flag", "<b>TRUE</b>", false, false, false, false},
        {"other text takes the default", "<b>1</b>", false, true, false, true},
        {"leading blank", "<b> true</b>", true, false, false, false},
        {"capitalised", "<b>True</b>", true, false, false, false},
        {"empty", "<b></b>", false, true, false, true},
        {"missing keeps true", "", true, false, false, true},
        {"missing keeps false", "", false, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        auto doc = ReadInD(std::string("<d>") + row.body + "</d>");
        bool flag = row.before;
        EXPECT_EQ(doc->ValueBool("b", flag, row.defaultValue), row.found);
        EXPECT_EQ(flag, row.after);
    }
}

TEST(BarnValues, FlagsRoundTrip)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        bool t = true, f = false;
        doc.ValueBool("t", t, false);
        doc.ValueBool("f", f, true);
    });
    EXPECT_EQ(text, "<d><t>true</t>\n<f>false</f>\n</d>\n");
    auto doc = ReadInD(text);
    bool t = false, f = true;
    EXPECT_TRUE(doc->ValueBool("t", t, false));
    EXPECT_TRUE(doc->ValueBool("f", f, true));
    EXPECT_TRUE(t);
    EXPECT_FALSE(f);
}

TEST(BarnValues, TextsAreEscapedAndReadBackUnchanged)
{
    const std::string special = "a<b & c>\"d\" 'e'";
    const std::string text = WriteInD([&](LwBarnXml& doc) {
        std::string s = special;
        doc.ValueString("s", s, "");
    });
    EXPECT_EQ(text, "<d><s>a&lt;b &amp; c&gt;&quot;d&quot; 'e'</s>\n</d>\n");
    auto doc = ReadInD(text);
    std::string s;
    EXPECT_TRUE(doc->ValueString("s", s, "x"));
    EXPECT_EQ(s, special);
}

TEST(BarnValues, RawTextWithATagCharacterBreaksTheDocument)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        std::string s = "x<y";
        doc.ValueRawString("s", s, "");
        int n = 5;
        doc.ValueInt("n", n, 0);
    });
    auto doc = ReadInD(text);
    std::string s;
    int n = -1;
    doc->ValueRawString("s", s, "");
    doc->ValueInt("n", n, -1);
    EXPECT_NE(s, "x<y");
    EXPECT_NE(n, 5);
}

TEST(BarnValues, EmptyAndMultiLineTexts)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        std::string empty, lines = "a\nb\r\nc";
        doc.ValueString("e", empty, "");
        doc.ValueString("m", lines, "");
    });
    EXPECT_EQ(text, "<d><e></e>\n<m>a\nb\r\nc</m>\n</d>\n");
    auto doc = ReadInD(text);
    std::string e = "x", m;
    EXPECT_TRUE(doc->ValueString("e", e, "default"));
    EXPECT_EQ(e, "");
    EXPECT_TRUE(doc->ValueString("m", m, ""));
    EXPECT_EQ(m, "a\nb\r\nc");
}

TEST(BarnValues, WriteModeIgnoresTheDefault)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        int i = 3;
        std::string s = "v";
        bool b = false;
        EXPECT_TRUE(doc.ValueInt("i", i, 9));
        EXPECT_TRUE(doc.ValueString("s", s, "default"));
        EXPECT_TRUE(doc.ValueBool("b", b, true));
    });
    EXPECT_EQ(text, "<d><i>3</i>\n<s>v</s>\n<b>false</b>\n</d>\n");
}

// ---------------------------------------------------------------------------
// Built-in lists

TEST(BarnValueLists, TextsAreEscapedTwice)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        std::vector<std::string> list = {"x&y", "<"};
        EXPECT_TRUE(doc.ValueVectorString("v", list));
    });
    EXPECT_EQ(text, "<d><v><r>x&amp;amp;y</r>\n<r>&amp;lt;</r>\n</v>\n</d>\n");
    auto doc = ReadInD(text);
    std::vector<std::string> list = {"old"};
    EXPECT_TRUE(doc->ValueVectorString("v", list));
    EXPECT_EQ(list, (std::vector<std::string>{"x&y", "<"}));
}

TEST(BarnValueLists, TextListRoundTrips)
{
    const std::vector<std::string> rows[] = {
        {},
        {""},
        {"a", "", "b"},
        {"&amp;", "\"quoted\"", "<tag>", "caf\xC3\xA9"},
        // The end-of-list placeholder of older readers is an ordinary entry.
        {"first", "ThisIsEndString[]", "third"},
    };
    for (const auto& list : rows) {
        SCOPED_TRACE(list.size());
        const std::string text = WriteInD([&](LwBarnXml& doc) {
            std::vector<std::string> copy = list;
            doc.ValueVectorString("v", copy);
        });
        auto doc = ReadInD(text);
        std::vector<std::string> back = {"old"};
        EXPECT_TRUE(doc->ValueVectorString("v", back));
        EXPECT_EQ(back, list);
        EXPECT_EQ(doc->CurrentRack()->GetName(), "d");
    }
}

TEST(BarnValueLists, NumberListRoundTripsWithSixDigits)
{
    const std::vector<double> values = {0, -1.5, 3.14159265, 1e-20, 6.02214076e23};
    const std::string text = WriteInD([&](LwBarnXml& doc) {
        std::vector<double> copy = values;
        EXPECT_TRUE(doc.ValueVectorDouble("v", copy));
    });
    EXPECT_EQ(text,
              "<d><v><i>0</i>\n<i>-1.5</i>\n<i>3.14159</i>\n<i>1e-20</i>\n<i>6.02214e+23</i>\n</v>\n</d>\n");
    auto doc = ReadInD(text);
    std::vector<double> back = {42};
    EXPECT_TRUE(doc->ValueVectorDouble("v", back));
    ASSERT_EQ(back.size(), values.size());
    for (size_t k = 0; k < values.size(); ++k)
        EXPECT_EQ(back[k], std::strtod(PrintfG(values[k]).c_str(), nullptr));
}

TEST(BarnValueLists, EmptyAndMissingLists)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        std::vector<double> none;
        std::vector<std::string> noTexts;
        doc.ValueVectorDouble("n", none);
        doc.ValueVectorString("t", noTexts);
    });
    EXPECT_EQ(text, "<d><n></n>\n<t></t>\n</d>\n");
    auto doc = ReadInD(text);
    std::vector<double> numbers = {1, 2};
    std::vector<std::string> texts = {"x"};
    EXPECT_TRUE(doc->ValueVectorDouble("n", numbers));
    EXPECT_TRUE(doc->ValueVectorString("t", texts));
    EXPECT_TRUE(numbers.empty());
    EXPECT_TRUE(texts.empty());
    // Now both racks are consumed: missing lists keep their contents.
    numbers = {1, 2};
    texts = {"x"};
    EXPECT_FALSE(doc->ValueVectorDouble("n", numbers));
    EXPECT_FALSE(doc->ValueVectorString("t", texts));
    EXPECT_EQ(numbers, (std::vector<double>{1, 2}));
    EXPECT_EQ(texts, (std::vector<std::string>{"x"}));
}

// ---------------------------------------------------------------------------
// Generic list of records

namespace {

struct Rec
{
    LwLong id = -1;
    std::string label = "unset";
    double weight = 0.5;
};

bool LoadSaveRec(Rec& rec, LwBarnXml& doc, const std::string& name)
{
    if (!doc.OpenRack(name))
        return false;
    doc.ValueLong("id", rec.id, -2);
    doc.ValueString("label", rec.label, "missing");
    doc.CloseRack(name);
    return true;
}

std::vector<Rec> MakeRecords(size_t n)
{
    std::vector<Rec> list(n);
    for (size_t k = 0; k < n; ++k) {
        list[k].id = static_cast<LwLong>(k * 7);
        list[k].label = "rec&" + std::to_string(k);
    }
    return list;
}

}  // namespace

class BarnRecordListTest : public ::testing::TestWithParam<size_t>
{};

TEST_P(BarnRecordListTest, RoundTripsEveryRecordAndTrimsTheVector)
{
    const size_t n = GetParam();
    const std::vector<Rec> written = MakeRecords(n);
    const std::string text = WriteInD([&](LwBarnXml& doc) {
        std::vector<Rec> copy = written;
        EXPECT_TRUE(LoadSaveList(doc, "list", "i", copy, LoadSaveRec));
    });
    auto doc = ReadInD(text);
    std::vector<Rec> back(3);  // records already present are not a problem
    EXPECT_TRUE(LoadSaveList(*doc, "list", "i", back, LoadSaveRec));
    ASSERT_EQ(back.size(), n);
    for (size_t k = 0; k < n; ++k) {
        ASSERT_EQ(back[k].id, written[k].id) << k;
        ASSERT_EQ(back[k].label, written[k].label) << k;
    }
    EXPECT_EQ(doc->State(), LwBarnXml::StateDone);
    if (n > 0) {
        EXPECT_EQ(doc->ListItemCounter(), static_cast<LwLong>(n - 1));
    }
    EXPECT_EQ(doc->CurrentRack()->GetName(), "d");
    EXPECT_TRUE(doc->CurrentRack()->Children().empty());
}

INSTANTIATE_TEST_SUITE_P(Counts, BarnRecordListTest, ::testing::Values(0, 1, 255, 256, 257, 300, 513));

TEST(BarnRecordListEdges, WrittenLayout)
{
    const std::string text = WriteInD([](LwBarnXml& doc) {
        std::vector<Rec> list = MakeRecords(2);
        LoadSaveList(doc, "list", "i", list, LoadSaveRec);
        std::vector<Rec> none;
        LoadSaveList(doc, "empty", "i", none, LoadSaveRec);
    });
    EXPECT_EQ(text, "<d><list><i><id>0</id>\n<label>rec&amp;0</label>\n</i>\n"
                    "<i><id>7</id>\n<label>rec&amp;1</label>\n</i>\n</list>\n"
                    "<empty></empty>\n</d>\n");
}

TEST(BarnRecordListEdges, MissingListKeepsTheVector)
{
    auto doc = ReadInD("<d></d>");
    std::vector<Rec> list = MakeRecords(4);
    EXPECT_FALSE(LoadSaveList(*doc, "list", "i", list, LoadSaveRec));
    EXPECT_EQ(list.size(), 4u);
    EXPECT_EQ(list[3].id, 21);
}

TEST(BarnRecordListEdges, RecordsReadStartFromTheirDefaults)
{
    // What an item lacks takes the serializer's default ("id", "label") or,
    // where the serializer reads nothing ("weight"), the record type's own:
    // never the value of a record that was in the vector before.
    auto doc = ReadInD("<d><list><i><id>1</id></i><i><label>two</label></i></list></d>");
    std::vector<Rec> list(3);
    list[0].weight = 10;
    list[1].weight = 20;
    list[1].label = "old";
    EXPECT_TRUE(LoadSaveList(*doc, "list", "i", list, LoadSaveRec));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, 1);
    EXPECT_EQ(list[0].label, "missing");
    EXPECT_EQ(list[0].weight, 0.5);
    EXPECT_EQ(list[1].id, -2);
    EXPECT_EQ(list[1].label, "two");
    EXPECT_EQ(list[1].weight, 0.5);
}

TEST(BarnRecordListEdges, ReadingNoneEmptiesTheVector)
{
    auto doc = ReadInD("<d><list><x/></list></d>");
    std::vector<Rec> list = MakeRecords(5);
    EXPECT_TRUE(LoadSaveList(*doc, "list", "i", list, LoadSaveRec));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(doc->State(), LwBarnXml::StateDone);
}

TEST(BarnRecordListEdges, ListStateDuringReading)
{
    auto doc = ReadInD("<d><list><i/><i/><i/></list></d>");
    std::vector<LwLong> states;
    std::vector<LwLong> counters;
    std::vector<int> list;
    LoadSaveList(*doc, "list", "i", list, [&](int&, LwBarnXml& d, const std::string& name) {
        states.push_back(d.State());
        counters.push_back(d.ListItemCounter());
        if (!d.OpenRack(name + "/"))
            return false;
        d.CloseRack();
        return true;
    });
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(states, (std::vector<LwLong>(4, LwBarnXml::StateReadingList)));
    EXPECT_EQ(counters, (std::vector<LwLong>{0, 0, 1, 2}));
    EXPECT_EQ(doc->State(), LwBarnXml::StateDone);
}
