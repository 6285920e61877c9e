// The Barn tree: modes, entering and leaving racks, the tag grammar, the
// written layout and the text escaping.

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using barn_test::ErrorText;
using barn_test::Parse;
using barn_test::Shape;
using barn_test::WrittenText;

TEST(BarnXmlMode, ModeTextsAreComparedExactly)
{
    EXPECT_EQ(LwBarnXml("r").GetMode(), "r");
    EXPECT_EQ(LwBarnXml("w").GetMode(), "w");
    EXPECT_TRUE(LwBarnXml("w").IsWriteMode());
    EXPECT_FALSE(LwBarnXml("r").IsWriteMode());
    for (const char* mode : {"R", "W", "rw", "", "r ", "wb"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(ErrorText([&] { LwBarnXml doc(mode); }), "IlligalMode");
    }
}

TEST(BarnXmlMode, FreshDocumentHasOnlyTheRootAndZeroProgress)
{
    LwBarnXml doc("r");
    EXPECT_EQ(doc.CurrentRack(), doc.Root());
    EXPECT_TRUE(doc.Root()->Children().empty());
    EXPECT_EQ(doc.Root()->Parent(), nullptr);
    EXPECT_EQ(doc.StatusText(), "");
    EXPECT_EQ(doc.State(), 0);
    EXPECT_EQ(doc.ParsePosition(), 0);
    EXPECT_EQ(doc.DocumentLength(), 0);
    EXPECT_EQ(doc.ListItemCounter(), 0);
}

// ---------------------------------------------------------------------------
// Tag grammar: text in, tree out.

struct GrammarRow
{
    const char* why;
    const char* text;
    const char* shape;  // barn_test::Shape of the root
    // Innermost rack the text leaves open (a text cut short), or none.
    const char* openAtEnd = nullptr;
};

TEST(BarnXmlGrammar, TextsAndTheirTrees)
{
    const GrammarRow rows[] = {
        {"empty text", "", ""},
        {"no tag at all", "just some words\n", ""},
        {"one value rack", "<a>1</a>", "[a]"},
        {"nested racks", "<a><b>1</b><c>2</c></a>", "[a]([b],[c])"},
        {"declaration skipped", "<?xml version=\"1.0\"?>\n<a>1</a>\n", "[a]"},
        {"any '?' tag skipped", "<a><?pi x?><b/></a>", "[a]([b/])"},
        {"closing names are not matched", "<a><b>1</a></b>", "[a]([b])"},
        {"closing tag without name", "<a><b>1</></>", "[a]([b])"},
        {"self-closed keeps its slash", "<a><x/><y>2</y></a>", "[a]([x/],[y])"},
        {"blank before the slash", "<x />", "[x /]"},
        {"attributes stay in the tag text", "<a k=\"v\" j=2>1</a>", "[a k=\"v\" j=2]"},
        {"empty tag opens a rack", "<><b/></>", "[]([b/])"},
        {"'!' opens like any tag", "<!-- c --><a/>", "[!-- c --]([a/])", "!--"},
        {"'>' inside a value ends nothing", "<a>x > y</a><b/>", "[a],[b/]"},
        {"'<' inside a value starts a tag", "<a>x < y</a>", "[a]([ y</a])", ""},
        {"text between racks ignored", "lead<a>\n  <b>1</b> junk\n</a>\ntrail", "[a]([b])"},
        {"two top-level racks", "<a>1</a>\n<b>2</b>\n", "[a],[b]"},
        {"unclosed racks accepted", "<a><b>1", "[a]([b])", "b"},
        {"cut after a complete child", "<a><b>1</b>", "[a]([b])", "a"},
        {"cut after a self-closed child", "<a k=1><b/>", "[a k=1]([b/])", "a"},
        {"extra closing tag at the very end", "<a>1</a></z>", "[a]"},
        {"extra closing tag then a '?' tag", "<a>1</a></z><?end?>", "[a]"},
        {"line breaks inside a tag", "<a\nb>1</a>", "[a\nb]"},
        {"byte-order mark before the first tag", "\xEF\xBB\xBF<a>1</a>", "[a]"},
    };
    for (const GrammarRow& row : rows) {
        SCOPED_TRACE(row.why);
        auto doc = Parse(row.text);
        EXPECT_EQ(Shape(*doc->Root()), row.shape);
        EXPECT_EQ(doc->CurrentRack(), doc->Root());
        EXPECT_EQ(doc->DocumentLength(), static_cast<LwLong>(std::string(row.text).size()));
        EXPECT_EQ(doc->HasUnclosedRacks(), row.openAtEnd != nullptr);
        EXPECT_EQ(doc->UnclosedRackName(), row.openAtEnd ? row.openAtEnd : "");
    }
}

TEST(BarnXmlGrammar, BrokenTextsThrowIlligalTagStructure)
{
    const struct
    {
        const char* why;
        const char* text;
        const char* shapeBefore;
    } rows[] = {
        {"'<' without '>'", "<a>1</a", "[a]"},
        {"'<' at the very end", "<a>1</a>abc<", "[a]"},
        {"unterminated opening tag", "<a><b", "[a]"},
        {"tag after a closing tag with no rack open", "<a>1</a></z><b>2</b>", "[a]"},
        {"closing tag first, then a tag", "</z><a/>", ""},
        {"two closing tags past the root", "<a/></x></y>", "[a/]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        LwBarnXml doc("r");
        doc.SetDocumentText(row.text);
        EXPECT_EQ(ErrorText([&] { doc.AnalyzeTagStructure(); }), "Illigal Tag Structure");
        // The racks parsed before the broken tag stay; the document stays usable.
        EXPECT_EQ(Shape(*doc.Root()), row.shapeBefore);
        EXPECT_EQ(doc.CurrentRack(), doc.Root());
    }
}

TEST(BarnXmlGrammar, TagOffsetsAndParsePosition)
{
    //                      0123456789012345
    auto doc = Parse("<a>12</a><x/>  ");
    const auto& top = doc->Root()->Children();
    ASSERT_EQ(top.size(), 2u);
    const LwBarnXmlRack& a = *top.front();
    EXPECT_EQ(a.OpenTagBegin(), 0);
    EXPECT_EQ(a.OpenTagEnd(), 2);
    EXPECT_EQ(a.CloseTagBegin(), 5);
    EXPECT_EQ(a.CloseTagEnd(), 8);
    const LwBarnXmlRack& x = *top.back();
    EXPECT_EQ(x.OpenTagBegin(), 9);
    EXPECT_EQ(x.OpenTagEnd(), 12);
    EXPECT_EQ(x.CloseTagBegin(), 12);
    EXPECT_EQ(x.CloseTagEnd(), 12);
    EXPECT_EQ(doc->ParsePosition(), 13);
    EXPECT_EQ(doc->DocumentLength(), 15);
}

TEST(BarnXmlGrammar, SecondParseAppendsAfterTheRacksAlreadyThere)
{
    auto doc = Parse("<a>1</a>");
    doc->SetDocumentText("<b>2</b><a>3</a>");
    doc->AnalyzeTagStructure();
    EXPECT_EQ(Shape(*doc->Root()), "[a],[b],[a]");
    // Each parse reports on its own text.
    doc->SetDocumentText("<c>");
    doc->AnalyzeTagStructure();
    EXPECT_TRUE(doc->HasUnclosedRacks());
    doc->SetDocumentText("<d/>");
    doc->AnalyzeTagStructure();
    EXPECT_FALSE(doc->HasUnclosedRacks());
}

TEST(BarnXmlGrammar, RackNamesFromTagTexts)
{
    const struct
    {
        const char* tag;
        const char* name;
        const char* attributes;
    } rows[] = {
        {"x", "x", ""},       {"x/", "x/", ""},  // self-closed without a blank: the slash is part of the name
        {"x /", "x", "/"},    {"a k=\"v\" j=2", "a", "k=\"v\" j=2"},
        {"a\tb", "a\tb", ""},  // a tab is not a blank
        {" a", "", "a"},      {"", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tag);
        LwBarnXmlRack rack;
        rack.SetTagText(row.tag);
        EXPECT_EQ(rack.GetName(), row.name);
        EXPECT_EQ(rack.AttributeText(), row.attributes);
    }
}

TEST(BarnXmlGrammar, SelfClosedRackIsFoundOnlyWithABlankBeforeTheSlash)
{
    auto doc = Parse("<d><x/><y /></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    EXPECT_FALSE(doc->OpenRack("x"));
    EXPECT_TRUE(doc->OpenRack("x/"));
    doc->CloseRack("x/");
    EXPECT_TRUE(doc->OpenRack("y"));
    doc->CloseRack("y");
}

TEST(BarnXmlGrammar, DeepNestingFromAHostileTextParsesAndFrees)
{
    // Half a million levels would overflow the stack of a recursive parser
    // or destructor.
    const int depth = 500000;
    std::string text;
    text.reserve(3 * depth + 16);
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    text += "x";
    auto doc = Parse(text);
    const LwBarnXmlRack* rack = doc->Root();
    int levels = 0;
    while (!rack->Children().empty()) {
        rack = rack->Children().front().get();
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    // Reading walks down and back up; the unclosed racks hold no value.
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(doc->OpenRack("a"));
    EXPECT_EQ(doc->CurrentValueText(), "");
    doc.reset();
}

// ---------------------------------------------------------------------------
// Values cut from the text.

TEST(BarnXmlValueText, CutBetweenTheTags)
{
    const struct
    {
        const char* why;
        const char* text;
        const char* value;
    } rows[] = {
        {"plain value", "<v>3.5</v>", "3.5"},
        {"'>' inside", "<v>x > y</v>", "x > y"},
        {"line feed kept", "<v>a\nb</v>", "a\nb"},
        {"children included", "<v><b>1</b>\n</v>", "<b>1</b>\n"},
        {"empty value", "<v></v>", ""},
        {"wrongly named closing tag", "<v>7</w>", "7"},
        {"self-closed with a blank", "<v />", ""},
        {"never closed", "<v>abc", ""},
        {"attributes do not matter", "<v k=1>9</v>", "9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        auto doc = Parse(row.text);
        std::string value = "unset";
        EXPECT_TRUE(doc->ValueRawString("v", value, "default"));
        EXPECT_EQ(value, row.value);
    }
}

// ---------------------------------------------------------------------------
// Entering and leaving racks.

TEST(BarnXmlRacks, RepeatedSiblingsAreConsumedInDocumentOrder)
{
    auto doc = Parse("<l><i>1</i><i>2</i><i>3</i></l>");
    ASSERT_TRUE(doc->OpenRack("l"));
    for (const char* expected : {"1", "2", "3"}) {
        ASSERT_TRUE(doc->OpenRack("i"));
        EXPECT_EQ(doc->CurrentValueText(), expected);
        doc->CloseRack("i");
    }
    EXPECT_FALSE(doc->OpenRack("i"));
    EXPECT_EQ(doc->CurrentRack()->GetName(), "l");
}

TEST(BarnXmlRacks, ReadingANameTwiceReadsTwoRacks)
{
    auto doc = Parse("<d><n>1</n><m>x</m><n>2</n></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    int first = 0, second = 0, third = -1;
    EXPECT_TRUE(doc->ValueInt("n", first, -1));
    EXPECT_TRUE(doc->ValueInt("n", second, -1));
    EXPECT_FALSE(doc->ValueInt("n", third, -1));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(third, -1);
}

TEST(BarnXmlRacks, InterleavedNamesAreReadNameByName)
{
    // Reading all "b" first must not disturb the order of the "a" racks;
    // few siblings are scanned, many are found through the name index.
    for (int rounds : {1, 2, 20}) {
        SCOPED_TRACE(rounds);
        std::string text;
        std::vector<int> as, bs;
        for (int k = 0; k < rounds; ++k) {
            text += "<a>" + std::to_string(3 * k) + "</a><b>" + std::to_string(3 * k + 1) + "</b><c>" +
                    std::to_string(3 * k + 2) + "</c>";
            as.push_back(3 * k);
            bs.push_back(3 * k + 1);
        }
        auto doc = Parse(text);
        std::vector<int> values;
        int v = 0;
        while (doc->ValueInt("b", v, 0))
            values.push_back(v);
        EXPECT_EQ(values, bs);
        values.clear();
        while (doc->ValueInt("a", v, 0))
            values.push_back(v);
        EXPECT_EQ(values, as);
        EXPECT_EQ(doc->Root()->Children().size(), static_cast<size_t>(rounds));  // the "c" racks
        // A rack removed out of order leaves the others of its name in order.
        LwBarnXmlRack* root = doc->Root();
        if (rounds > 1) {
            root->RemoveChild(std::next(root->Children().begin())->get());
            ASSERT_TRUE(doc->ValueInt("c", v, 0));
            EXPECT_EQ(v, 2);
            EXPECT_EQ(doc->ValueInt("c", v, 0), rounds > 2);
            if (rounds > 2) {
                EXPECT_EQ(v, 8);  // 5 was removed
            }
        }
    }
}

TEST(BarnXmlRacks, ManySiblingsAreAllRead)
{
    std::string text = "<l>";
    const int count = 40000;
    for (int i = 0; i < count; ++i)
        text += "<u/><i>" + std::to_string(i) + "</i>";
    text += "</l>";
    auto doc = Parse(text);
    ASSERT_TRUE(doc->OpenRack("l"));
    int value = 0, expected = 0;
    while (doc->ValueInt("i", value, -1))
        ASSERT_EQ(value, expected++);
    EXPECT_EQ(expected, count);
    EXPECT_EQ(doc->CurrentRack()->Children().size(), static_cast<size_t>(count));  // the "u/" racks
}

TEST(BarnXmlRacks, AbsentRackLeavesTheCurrentRack)
{
    auto doc = Parse("<a><b>1</b></a>");
    EXPECT_FALSE(doc->OpenRack("b"));  // only searched among the children of the current rack
    EXPECT_EQ(doc->CurrentRack(), doc->Root());
    ASSERT_TRUE(doc->OpenRack("a"));
    LwBarnXmlRack* a = doc->CurrentRack();
    EXPECT_FALSE(doc->OpenRack("c"));
    EXPECT_EQ(doc->CurrentRack(), a);
}

TEST(BarnXmlRacks, CloseRackErrorsLeaveTheCurrentRack)
{
    for (const char* mode : {"r", "w"}) {
        SCOPED_TRACE(mode);
        LwBarnXml doc(mode);
        if (!doc.IsWriteMode()) {
            doc.SetDocumentText("<a>1</a>");
            doc.AnalyzeTagStructure();
        }
        EXPECT_EQ(ErrorText([&] { doc.CloseRack(); }), "Over CloseRack");
        EXPECT_EQ(ErrorText([&] { doc.CloseRack("a"); }), "Over CloseRack");
        ASSERT_TRUE(doc.OpenRack("a"));
        LwBarnXmlRack* a = doc.CurrentRack();
        EXPECT_EQ(ErrorText([&] { doc.CloseRack("b"); }), "Invalid Tag Name:a <> b");
        EXPECT_EQ(doc.CurrentRack(), a);
        doc.CloseRack("a");
        EXPECT_EQ(doc.CurrentRack(), doc.Root());
        // Read mode consumed the rack; write mode keeps it.
        EXPECT_EQ(doc.Root()->Children().size(), doc.IsWriteMode() ? 1u : 0u);
    }
}

TEST(BarnXmlRacks, NamelessCloseSkipsTheNameCheck)
{
    auto doc = Parse("<a><b>1</b></a>");
    ASSERT_TRUE(doc->OpenRack("a"));
    ASSERT_TRUE(doc->OpenRack("b"));
    doc->CloseRack();
    doc->CloseRack();
    EXPECT_EQ(doc->CurrentRack(), doc->Root());
    EXPECT_FALSE(doc->OpenRack("a"));
}

TEST(BarnXmlRacks, UnopenedRacksStayInTheTree)
{
    auto doc = Parse("<a><x>1</x><y>2</y></a>");
    ASSERT_TRUE(doc->OpenRack("a"));
    int y = 0;
    EXPECT_TRUE(doc->ValueInt("y", y, 0));
    EXPECT_EQ(Shape(*doc->CurrentRack()), "[x]");
}

// ---------------------------------------------------------------------------
// Written layout.

TEST(BarnXmlLayout, FluctuationExampleByteForByte)
{
    LwBarnXml doc("w");
    ASSERT_TRUE(doc.OpenRack("DocFluctuation"));
    double t = 300;
    doc.ValueDouble("Temperature_K_", t, 0);
    ASSERT_TRUE(doc.OpenRack("DebyeElement_"));
    doc.CloseRack("DebyeElement_");
    doc.CloseRack("DocFluctuation");
    EXPECT_EQ(WrittenText(doc), "<DocFluctuation><Temperature_K_>300</Temperature_K_>\n"
                                "<DebyeElement_></DebyeElement_>\n"
                                "</DocFluctuation>\n");
}

TEST(BarnXmlLayout, OnlyTheFirstTopLevelRackIsWrittenAndRepeatsKeepTheirOrder)
{
    LwBarnXml doc("w");
    doc.OpenRack("a");
    std::string s = "1";
    doc.ValueRawString("i", s, s);
    s = "2";
    doc.ValueRawString("i", s, s);
    doc.CloseRack("a");
    doc.OpenRack("b");
    doc.CloseRack("b");
    EXPECT_EQ(doc.Root()->Children().size(), 2u);
    EXPECT_EQ(WrittenText(doc), "<a><i>1</i>\n<i>2</i>\n</a>\n");
}

TEST(BarnXmlLayout, AttributeTextAndLineFeedsInValuesAreWrittenAsTheyStand)
{
    LwBarnXml doc("w");
    doc.OpenRack("a");
    doc.CurrentRack()->SetAttributeText(" k=\"1\"");
    std::string v = "line1\nline2";
    doc.ValueRawString("t", v, v);
    doc.CloseRack("a");
    EXPECT_EQ(WrittenText(doc), "<a k=\"1\"><t>line1\nline2</t>\n</a>\n");
}

TEST(BarnXmlLayout, WrittenTextParsesBackToTheSameTree)
{
    LwBarnXml doc("w");
    doc.OpenRack("top");
    for (int i = 0; i < 3; ++i) {
        doc.OpenRack("rec");
        doc.ValueInt("n", i, 0);
        std::string s = "t<" + std::to_string(i) + "&\"";
        doc.ValueString("s", s, "");
        doc.CloseRack("rec");
    }
    doc.CloseRack("top");
    auto back = Parse(WrittenText(doc));
    EXPECT_EQ(Shape(*back->Root()), "[top]([rec]([n],[s]),[rec]([n],[s]),[rec]([n],[s]))");
    ASSERT_TRUE(back->OpenRack("top"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(back->OpenRack("rec"));
        int n = -1;
        std::string s;
        EXPECT_TRUE(back->ValueInt("n", n, -1));
        EXPECT_TRUE(back->ValueString("s", s, ""));
        EXPECT_EQ(n, i);
        EXPECT_EQ(s, "t<" + std::to_string(i) + "&\"");
        back->CloseRack("rec");
    }
}

TEST(BarnXmlLayout, DeepWriteModeTreeIsWrittenWithoutRecursion)
{
    LwBarnXml doc("w");
    const int depth = 200000;
    for (int i = 0; i < depth; ++i)
        doc.OpenRack("d");
    for (int i = 0; i < depth; ++i)
        doc.CloseRack("d");
    const std::string text = WrittenText(doc);
    EXPECT_EQ(text.size(), static_cast<size_t>(depth) * (3 + 5));
    EXPECT_EQ(text.substr(0, 6), "<d><d>");
    EXPECT_EQ(text.substr(text.size() - 10), "</d>\n</d>\n");
}

// ---------------------------------------------------------------------------
// Escaping.

TEST(BarnXmlEscape, EntitiesForTheFourCharacters)
{
    const struct
    {
        const char* text;
        const char* escaped;
    } rows[] = {
        {"", ""},
        {"plain 'text'", "plain 'text'"},  // the apostrophe stays
        {"a<b>c", "a&lt;b&gt;c"},
        {"&", "&amp;"},
        {"&&", "&amp;&amp;"},
        {"\"q\"", "&quot;q&quot;"},
        {"&amp;", "&amp;amp;"},
        {"&lt;", "&amp;lt;"},
        {"<&>\"", "&lt;&amp;&gt;&quot;"},
        {"\xC3\xA9\n\t", "\xC3\xA9\n\t"},  // other bytes untouched
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(LwBarnXml::EscapeString(row.text), row.escaped);
        EXPECT_EQ(LwBarnXml::UnescapeString(row.escaped), row.text);
    }
}

TEST(BarnXmlEscape, UnescapeLeavesOtherSequences)
{
    const struct
    {
        const char* text;
        const char* unescaped;
    } rows[] = {
        {"&apos;", "&apos;"},   {"a & b", "a & b"},
        {"&#60;", "&#60;"},     {"&amp;lt;", "&lt;"},  // the '&' produced is not combined again
        {"&amp;amp;", "&amp;"}, {"&lt&gt;", "&lt>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(LwBarnXml::UnescapeString(row.text), row.unescaped);
    }
}

namespace {

// The seeds, and each seed followed by every text of 1 to `maxAdded` bytes
// over `alphabet`.
std::vector<std::string> SeedsExtended(std::vector<std::string> texts, const std::string& alphabet,
                                       int maxAdded)
{
    size_t begin = 0;
    for (int length = 1; length <= maxAdded; ++length) {
        const size_t end = texts.size();
        for (size_t i = begin; i < end; ++i)
            for (char c : alphabet)
                texts.push_back(texts[i] + c);
        begin = end;
    }
    return texts;
}

}  // namespace

// The entity rules read as one replacement pass per entity: every "&lt;",
// then "&gt;", "&quot;" and last "&amp;", each pass resuming after what it
// inserted; escaping likewise with '&' first. A few seeds, each followed by
// every text of up to four bytes over an alphabet of entity pieces, give
// what those passes give.
TEST(BarnXmlEscape, OnePassAgreesWithReplacingEntityByEntity)
{
    const auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    const auto unescapeByPasses = [&](std::string t) {
        t = replaceAll(t, "&lt;", "<");
        t = replaceAll(t, "&gt;", ">");
        t = replaceAll(t, "&quot;", "\"");
        return replaceAll(t, "&amp;", "&");
    };
    const auto escapeByPasses = [&](std::string t) {
        t = replaceAll(t, "&", "&amp;");
        t = replaceAll(t, "<", "&lt;");
        t = replaceAll(t, ">", "&gt;");
        return replaceAll(t, "\"", "&quot;");
    };
    const std::vector<std::string> texts =
        SeedsExtended({"", "&amp;lt;", "&&lt;;", "&quot&quot;", "x&gt"}, "&;<\"lgtampquo", 4);
    for (const std::string& t : texts) {
        ASSERT_EQ(LwBarnXml::UnescapeString(t), unescapeByPasses(t)) << t;
        ASSERT_EQ(LwBarnXml::EscapeString(t), escapeByPasses(t)) << t;
    }
}

TEST(BarnXmlEscape, RoundTripOfEveryShortTextOverTheSpecialAlphabet)
{
    // Every text of up to six bytes over an alphabet rich in entity parts.
    for (const std::string& t : SeedsExtended({""}, "&<>\"alt;gquo", 5)) {
        const std::string escaped = LwBarnXml::EscapeString(t);
        ASSERT_EQ(escaped.find_first_of("<>\""), std::string::npos) << t;
        ASSERT_EQ(LwBarnXml::UnescapeString(escaped), t) << t;
    }
}
