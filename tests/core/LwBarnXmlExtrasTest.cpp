// Further Barn elements: streamed and hexadecimal integers, integer sets and
// vectors, racks with attributes, the JSON text and the progress text.

#include "core/LwBarnXml.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

using barn_test::Parse;
using barn_test::WriteInD;

namespace {

std::unique_ptr<LwBarnXml> ReadInD(const std::string& text)
{
    auto doc = Parse(text);
    EXPECT_TRUE(doc->OpenRack("d"));
    return doc;
}

}  // namespace

TEST(BarnExtras, StreamedIntegersRoundTripAtTheirLimits)
{
    const std::int16_t s = std::numeric_limits<std::int16_t>::min();
    const std::int64_t ll = std::numeric_limits<std::int64_t>::min();
    const std::uint32_t u = std::numeric_limits<std::uint32_t>::max();
    const std::string text = WriteInD([&](LwBarnXml& doc) {
        std::int16_t a = s;
        std::int64_t b = ll;
        std::uint32_t c = u;
        EXPECT_TRUE(doc.ValueShort("s", a, 0));
        EXPECT_TRUE(doc.ValueLongLong("l", b, 0));
        EXPECT_TRUE(doc.ValueUnsigned("u", c, 0));
    });
    EXPECT_EQ(text, "<d><s>-32768</s>\n<l>-9223372036854775808</l>\n<u>4294967295</u>\n</d>\n");
    auto doc = ReadInD(text);
    std::int16_t a = 1;
    std::int64_t b = 1;
    std::uint32_t c = 1;
    EXPECT_TRUE(doc->ValueShort("s", a, 0));
    EXPECT_TRUE(doc->ValueLongLong("l", b, 0));
    EXPECT_TRUE(doc->ValueUnsigned("u", c, 0));
    EXPECT_EQ(a, s);
    EXPECT_EQ(b, ll);
    EXPECT_EQ(c, u);
    // Missing: the default and false.
    EXPECT_FALSE(doc->ValueShort("s", a, 7));
    EXPECT_EQ(a, 7);
    EXPECT_FALSE(doc->ValueLongLong("l", b, 8));
    EXPECT_EQ(b, 8);
    EXPECT_FALSE(doc->ValueUnsigned("u", c, 9));
    EXPECT_EQ(c, 9u);
}

TEST(BarnExtras, HexWritesEightUpperCaseDigitsAndReadsThePatternBack)
{
    const std::pair<LwLong, const char*> cases[] = {{255, "000000FF"},
                                                    {-1, "FFFFFFFF"},
                                                    {0, "00000000"},
                                                    {std::numeric_limits<LwLong>::min(), "80000000"},
                                                    {0x7ABCDEF0, "7ABCDEF0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        const std::string text = WriteInD([&](LwBarnXml& doc) {
            LwLong v = c.first;
            EXPECT_TRUE(doc.ValueHex("h", v, 0));
        });
        EXPECT_EQ(text, std::string("<d><h>") + c.second + "</h>\n</d>\n");
        auto doc = ReadInD(text);
        LwLong v = 12;
        EXPECT_TRUE(doc->ValueHex("h", v, 0));
        EXPECT_EQ(v, c.first);
        EXPECT_FALSE(doc->ValueHex("h", v, 3));
        EXPECT_EQ(v, 3);
    }
}

TEST(BarnExtras, IntegerSetAndVector)
{
    std::set<int> set{3, 1, 2};
    std::vector<int> vector{5, -4, 5};
    const std::string text = WriteInD([&](LwBarnXml& doc) {
        EXPECT_TRUE(doc.ValueSetInt("s", set));
        EXPECT_TRUE(doc.ValueVectorInt("v", vector));
    });
    EXPECT_EQ(text, "<d><s><i>1</i>\n<i>2</i>\n<i>3</i>\n</s>\n"
                    "<v><i>5</i>\n<i>-4</i>\n<i>5</i>\n</v>\n</d>\n");
    auto doc = ReadInD(text);
    std::set<int> s{9};
    std::vector<int> v{9};
    EXPECT_TRUE(doc->ValueSetInt("s", s));
    EXPECT_TRUE(doc->ValueVectorInt("v", v));
    EXPECT_EQ(s, set);
    EXPECT_EQ(v, vector);
    // Missing: false, unchanged.
    EXPECT_FALSE(doc->ValueSetInt("s", s));
    EXPECT_FALSE(doc->ValueVectorInt("v", v));
    EXPECT_EQ(s, set);
    EXPECT_EQ(v, vector);

    auto empty = ReadInD("<d><s></s><v/ ></d>");
    EXPECT_TRUE(empty->ValueSetInt("s", s));
    EXPECT_TRUE(s.empty());
}

TEST(BarnExtras, RackWithAttributesRoundTrips)
{
    std::vector<std::pair<std::string, std::string>> pairs{{"x", "1"}, {"y", "2"}};
    const std::string text = WriteInD([&](LwBarnXml& doc) {
        EXPECT_TRUE(doc.OpenRackWithAttributes("a", pairs));
        int n = 4;
        doc.ValueInt("n", n, 0);
        doc.CloseRack("a");
    });
    EXPECT_EQ(text, "<d><a x=\"1\" y=\"2\"><n>4</n>\n</a>\n</d>\n");
    auto doc = ReadInD(text);
    std::vector<std::pair<std::string, std::string>> read{{"old", "pair"}};
    EXPECT_TRUE(doc->OpenRackWithAttributes("a", read));
    EXPECT_EQ(read, pairs);
    int n = 0;
    EXPECT_TRUE(doc->ValueInt("n", n, 0));
    EXPECT_EQ(n, 4);
    doc->CloseRack("a");
    EXPECT_FALSE(doc->OpenRackWithAttributes("a", read));
    EXPECT_EQ(read, pairs);

    auto bad = ReadInD("<d><a x=\"1\" y></a></d>");
    EXPECT_THROW(bad->OpenRackWithAttributes("a", read), LwError);
}

// How an attribute text splits: a pair runs from the first non-blank to the
// first '=' (blanks included), its value from there to the next blank, and
// one quote is taken off each end of the value. Only the blank (0x20)
// separates; a pair without '=' ends the reading with an error.
TEST(BarnExtras, AttributeTextsSplitIntoPairs)
{
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    struct Case
    {
        const char* tag;
        Pairs pairs;
        const char* error;
    };
    const Case cases[] = {
        {"<a>", {}, "(no error)"},
        {"<a   >", {}, "(no error)"},
        {"<a x=1>", {{"x", "1"}}, "(no error)"},
        {"<a   x=\"1\"    y=2   >", {{"x", "1"}, {"y", "2"}}, "(no error)"},
        {"<a x y=1>", {{"x y", "1"}}, "(no error)"},
        {"<a x==1>", {{"x", "=1"}}, "(no error)"},
        {"<a x= y=2>", {{"x", ""}, {"y", "2"}}, "(no error)"},
        {"<a x=\"\">", {{"x", ""}}, "(no error)"},
        {"<a x=\">", {{"x", ""}}, "(no error)"},
        {"<a x=\"\"\">", {{"x", "\""}}, "(no error)"},
        {"<a =1>", {{"", "1"}}, "(no error)"},
        {"<a x=1\ty=2>", {{"x", "1\ty=2"}}, "(no error)"},
        {"<a x=1/>", {{"x", "1/"}}, "(no error)"},
        {"<a x=\"a b\">", {}, "Illigal Tag Structure"},
        {"<a x=1 y>", {}, "Illigal Tag Structure"},
        {"<a />", {}, "Illigal Tag Structure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        auto doc = Parse(std::string("<d>") + c.tag + "</a></d>");
        ASSERT_TRUE(doc->OpenRack("d"));
        Pairs read{{"old", "pair"}};
        EXPECT_EQ(ErrorText([&] { doc->OpenRackWithAttributes("a", read); }), c.error);
        if (std::string(c.error) == "(no error)") {
            EXPECT_EQ(read, c.pairs);
        }
    }
}

TEST(BarnExtras, JsonTextOfWrittenAndParsedTrees)
{
    LwBarnXml doc("w");
    doc.OpenRack("p");
    int u = 1, v = 2;
    doc.ValueInt("u", u, 0);
    doc.ValueInt("v", v, 0);
    doc.OpenRack("a");
    doc.ValueInt("i", u, 0);
    doc.CloseRack("a");
    doc.OpenRack("b");
    doc.ValueInt("i", u, 0);
    doc.ValueInt("i", v, 0);
    doc.CloseRack("b");
    doc.OpenRack("e");
    doc.CloseRack("e");
    doc.CloseRack("p");
    std::string json;
    doc.ToJsonString(json);
    const std::string expected =
        "{\"p\":{\"u\":\"1\",\"v\":\"2\",\"a\":[\"1\"],\"b\":[\"1\",\"2\"],\"e\":\"\"}}";
    EXPECT_EQ(json, expected);

    auto parsed = Parse(barn_test::WrittenText(doc));
    std::string again;
    parsed->ToJsonString(again);
    EXPECT_EQ(again, expected);

    LwBarnXml none("w");
    none.ToJsonString(json);
    EXPECT_EQ(json, "{}");
}

TEST(BarnExtras, ProgressText)
{
    LwBarnXml doc("r");
    doc.SetStatusText("Analyzing....");
    // One tag ending at offset 1233: the parse position stops at 1234.
    std::string text = "<" + std::string(1232, 'a') + ">";
    doc.SetDocumentText(text + std::string(5000 - text.size(), ' '));
    doc.AnalyzeTagStructure();
    doc.SetState(LwBarnXml::StateDone);
    EXPECT_EQ(doc.GetProgressText(), "Taging is finished. Analysing");
    doc.SetState(LwBarnXml::StateReadingList);
    doc.SetListItemCounter(17);
    EXPECT_EQ(doc.GetProgressText(), "Analysing Vector:17");
    doc.SetState(LwBarnXml::StateLoading);
    doc.SetLoadedMBytes(12);
    EXPECT_EQ(doc.GetProgressText(), "Analyzing....12MBytes");
    doc.SetState(9);
    EXPECT_EQ(doc.GetProgressText(), "");
    doc.SetState(LwBarnXml::StateAnalyzing);
    EXPECT_EQ(doc.GetProgressText(), "Analyzing....1234/5000 :24.68%");
}
