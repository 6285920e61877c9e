// Random and truncated Barn texts: the parser and the readers never crash,
// report only their own errors, and build one rack per opening tag.
// Deterministic (fixed seeds); meant to be run under AddressSanitizer too.

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

const std::set<std::string> kParserErrors = {"Illigal Tag Structure"};

// Opening tags counted independently of the parser: every maximal "<...>"
// from a '<' to the next '>', not starting with "</" or "<?".
size_t CountOpeningTags(const std::string& text)
{
    static const std::regex tag("<[^>]*>");
    size_t count = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), tag); it != std::sregex_iterator(); ++it) {
        const std::string t = it->str();
        if (t.size() >= 2 && (t[1] == '/' || t[1] == '?'))
            continue;
        ++count;
    }
    return count;
}

size_t CountRacks(const LwBarnXmlRack& root)
{
    size_t count = 0;
    std::vector<const LwBarnXmlRack*> pending = {&root};
    while (!pending.empty()) {
        const LwBarnXmlRack* r = pending.back();
        pending.pop_back();
        for (const auto& c : r->Children()) {
            ++count;
            pending.push_back(c.get());
        }
    }
    return count;
}

// A reader that walks the tree with random operations, as a serializer of a
// different document type would.
void RandomRead(LwBarnXml& doc, std::mt19937& rng)
{
    static const char* const names[] = {"a", "b", "i", "r", "d", "x/", "", "list", "a b"};
    std::uniform_int_distribution<int> op(0, 9);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(names)) - 1);
    for (int step = 0; step < 40; ++step) {
        const std::string name = names[pick(rng)];
        try {
            switch (op(rng)) {
            case 0:
            case 1: doc.OpenRack(name); break;
            case 2: doc.CloseRack(); break;
            case 3: doc.CloseRack(name); break;
            case 4: {
                std::string s;
                doc.ValueString(name, s, "dflt");
                break;
            }
            case 5: {
                double d = 0;
                doc.ValueDouble(name, d, 1);
                break;
            }
            case 6: {
                bool b = false;
                doc.ValueBool(name, b, true);
                break;
            }
            case 7: {
                std::vector<std::string> v;
                doc.ValueVectorString(name, v);
                break;
            }
            case 8: {
                std::vector<double> v;
                doc.ValueVectorDouble(name, v);
                break;
            }
            case 9: {
                std::vector<int> v;
                LoadSaveList(doc, name, "i", v, [](int& x, LwBarnXml& d, const std::string& item) {
                    return d.ValueInt(item, x, 0);
                });
                break;
            }
            }
        } catch (const LwError& e) {
            const std::string& m = e.Message();
            ASSERT_TRUE(m == "Over CloseRack" || m.rfind("Invalid Tag Name:", 0) == 0) << m;
        }
        const std::string value = doc.CurrentValueText();
        ASSERT_LE(value.size(), doc.DocumentText().size());
    }
}

void ParseAndRead(const std::string& text, std::mt19937& rng)
{
    LwBarnXml doc("r");
    doc.SetDocumentText(text);
    bool parsed = true;
    try {
        doc.AnalyzeTagStructure();
    } catch (const LwError& e) {
        ASSERT_EQ(kParserErrors.count(e.Message()), 1u) << e.Message();
        parsed = false;
    }
    ASSERT_EQ(doc.CurrentRack(), doc.Root());
    if (parsed) {
        ASSERT_EQ(CountRacks(*doc.Root()), CountOpeningTags(text)) << text;
    }
    RandomRead(doc, rng);
}

std::string SampleDocument()
{
    LwBarnXml doc("w");
    doc.OpenRack("d");
    std::vector<std::string> texts = {"x&y", "<tag>", ""};
    doc.ValueVectorString("r", texts);
    std::vector<double> numbers = {1.5, -2, 3e10};
    doc.ValueVectorDouble("list", numbers);
    for (int i = 0; i < 3; ++i) {
        doc.OpenRack("a");
        doc.ValueInt("i", i, 0);
        std::string s = "v\"" + std::to_string(i);
        doc.ValueString("b", s, "");
        doc.CloseRack("a");
    }
    doc.CloseRack("d");
    return barn_test::WrittenText(doc);
}

}  // namespace

TEST(BarnXmlFuzz, RandomTextsOverTheTagAlphabet)
{
    std::mt19937 rng(20240611);
    const std::string alphabet = "<<<>>>//?! abi\n\r&;x";
    std::uniform_int_distribution<int> length(0, 120);
    std::uniform_int_distribution<int> letter(0, static_cast<int>(alphabet.size()) - 1);
    for (int n = 0; n < 3000; ++n) {
        std::string text(static_cast<size_t>(length(rng)), ' ');
        for (char& c : text)
            c = alphabet[static_cast<size_t>(letter(rng))];
        ASSERT_NO_FATAL_FAILURE(ParseAndRead(text, rng));
    }
}

TEST(BarnXmlFuzz, RandomBytes)
{
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> length(0, 200);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 2000; ++n) {
        std::string text(static_cast<size_t>(length(rng)), '\0');
        for (char& c : text)
            c = static_cast<char>(byte(rng));
        ASSERT_NO_FATAL_FAILURE(ParseAndRead(text, rng));
    }
}

TEST(BarnXmlFuzz, EveryTruncationOfAWrittenDocument)
{
    std::mt19937 rng(5);
    const std::string full = SampleDocument();
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        ASSERT_NO_FATAL_FAILURE(ParseAndRead(full.substr(0, cut), rng));
        ASSERT_NO_FATAL_FAILURE(ParseAndRead(full.substr(cut), rng));
    }
}

TEST(BarnXmlFuzz, MutatedWrittenDocuments)
{
    std::mt19937 rng(99);
    const std::string full = SampleDocument();
    const std::string inserts = "<>/?";
    std::uniform_int_distribution<size_t> where(0, full.size() - 1);
    std::uniform_int_distribution<int> what(0, 3);
    for (int n = 0; n < 2000; ++n) {
        std::string text = full;
        for (int k = 0; k < 3; ++k) {
            const size_t at = where(rng) % text.size();
            switch (what(rng)) {
            case 0: text.erase(at, 1); break;
            case 1: text.insert(at, 1, inserts[at % inserts.size()]); break;
            case 2: text[at] = inserts[(at / 2) % inserts.size()]; break;
            default: text.insert(at, text.substr(where(rng) % text.size(), 8)); break;
            }
        }
        ASSERT_NO_FATAL_FAILURE(ParseAndRead(text, rng));
    }
}
