#include "core/LwBarnFile.h"
#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "BarnTestFiles.h"

#include <gtest/gtest.h>

namespace {

// Names and value texts of a subtree, depth first, for comparing trees.
void Flatten(const LwBarnXmlRack& rack, std::vector<std::string>& out)
{
    out.push_back(rack.GetName());
    for (const auto& child : rack.Children())
        Flatten(*child, out);
}

TEST(LwBarnXmlString, OneRackWithOneChildInTheMessageLayout)
{
    LwBarnXml doc("w");
    doc.OpenRack("vra");
    int cmd = 3;
    doc.ValueInt("cmd", cmd, 0);
    doc.CloseRack("vra");
    std::string text = "previous content";
    doc.ToString(text);
    EXPECT_EQ(text, "<vra><cmd>3</cmd>\n</vra>\n");
}

TEST(LwBarnXmlString, OnlyTheFirstTopLevelRackIsWritten)
{
    LwBarnXml doc("w");
    doc.OpenRack("first");
    doc.CloseRack("first");
    doc.OpenRack("second");
    doc.CloseRack("second");
    std::string text;
    doc.ToString(text);
    EXPECT_EQ(text, "<first></first>\n");
}

TEST(LwBarnXmlString, ChildrenKeepTheirOrderAndValuesAreNotTrimmed)
{
    LwBarnXml doc("w");
    doc.OpenRack("top");
    std::string a = "a\nb ", b = " x<y";
    doc.ValueString("item", a, "");
    doc.ValueRawString("other", b, "");
    doc.ValueString("item", b, "");
    doc.CloseRack("top");
    std::string text;
    doc.ToString(text);
    EXPECT_EQ(text, "<top><item>a\nb </item>\n<other> x<y</other>\n<item> x&lt;y</item>\n</top>\n");
}

TEST(LwBarnXmlString, EmptyTreeGivesEmptyText)
{
    LwBarnXml doc("w");
    std::string text = "old";
    doc.ToString(text);
    EXPECT_EQ(text, "");
}

TEST(LwBarnXmlString, TextEqualsTheBarnFileBytes)
{
    barn_test::ScratchFolder folder;
    const std::string path = folder.File("msg.xml");
    LwBarnFile file(path, "w");
    file.OpenRack("root");
    file.OpenRack("inner");
    double x = 1.25;
    file.ValueDouble("x", x, 0.0);
    file.CloseRack("inner");
    std::string s = "t&t";
    file.ValueString("s", s, "");
    file.CloseRack("root");
    std::string text;
    file.ToString(text);
    file.Save();
    EXPECT_EQ(barn_test::ReadBytes(path), text);
}

TEST(LwBarnXmlString, FromStringRefusesWriteMode)
{
    LwBarnXml doc("w");
    doc.OpenRack("a");
    doc.CloseRack("a");
    try {
        doc.FromString("<b></b>\n");
        FAIL() << "no exception";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "mode is illigal");
    }
    ASSERT_EQ(doc.Root()->Children().size(), 1u);
    EXPECT_EQ(doc.Root()->Children().front()->GetName(), "a");
    EXPECT_EQ(doc.DocumentText(), "");
}

TEST(LwBarnXmlString, FromStringPassesParserErrors)
{
    LwBarnXml doc("r");
    try {
        doc.FromString("<a>x</a><b");
        FAIL() << "no exception";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "Illigal Tag Structure");
    }
}

TEST(LwBarnXmlString, RoundTripKeepsNamesValuesAndOrder)
{
    LwBarnXml out("w");
    out.OpenRack("vra");
    int n = 7;
    out.ValueInt("n", n, 0);
    std::string t = "a&b\nc";
    out.ValueString("t", t, "");
    out.OpenRack("list");
    for (int i = 0; i < 3; ++i)
        out.ValueInt("i", i, 0);
    out.CloseRack("list");
    out.CloseRack("vra");
    std::string text;
    out.ToString(text);

    LwBarnXml in("r");
    in.FromString(text);
    EXPECT_EQ(in.CurrentRack(), in.Root());
    std::vector<std::string> written, read;
    Flatten(*out.Root(), written);
    Flatten(*in.Root(), read);
    EXPECT_EQ(read, written);

    ASSERT_TRUE(in.OpenRack("vra"));
    int nBack = 0;
    std::string tBack;
    EXPECT_TRUE(in.ValueInt("n", nBack, 0));
    EXPECT_TRUE(in.ValueString("t", tBack, ""));
    EXPECT_EQ(nBack, 7);
    EXPECT_EQ(tBack, t);
    ASSERT_TRUE(in.OpenRack("list"));
    for (int i = 0; i < 3; ++i) {
        int v = -1;
        EXPECT_TRUE(in.ValueInt("i", v, -1));
        EXPECT_EQ(v, i);
    }
}

TEST(LwBarnXmlString, FromStringOfTheDocumentTextItself)
{
    LwBarnXml doc("r");
    doc.SetDocumentText("<a><b>1</b>\n</a>\n");
    doc.FromString(doc.DocumentText());
    ASSERT_TRUE(doc.OpenRack("a"));
    EXPECT_TRUE(doc.OpenRack("b"));
}

}  // namespace
