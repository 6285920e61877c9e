// The manual (docs/cmd_drev.md) against the usage text: every option the
// usage names must be described in the manual, so the two cannot drift apart.
#include "CommandLineParameters.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string UsageText()
{
    testing::internal::CaptureStdout();
    PrintUsage();
    return testing::internal::GetCapturedStdout();
}

// The option words of a text: a dash, an upper-case letter, then upper-case
// letters and digits ("-C", "-I0", "-MFPES"), standing alone.
std::set<std::string> OptionWords(const std::string& text)
{
    static const std::regex option(R"((^|[\s<(,])(-[A-Z][A-Z0-9]*)(?=$|[\s:,>.)]))");
    std::set<std::string> words;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        words.insert((*it)[2]);
    return words;
}

}  // namespace

TEST(CmdDrevManual, NamesEveryOptionOfTheUsageText)
{
    std::ifstream file(LW_SOURCE_DIR "/docs/cmd_drev.md");
    ASSERT_TRUE(file) << "docs/cmd_drev.md is missing";
    const std::string manual((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    const std::set<std::string> options = OptionWords(UsageText());
    // The usage names fifteen options and the -MFP shorthand; fewer words
    // would mean the extraction, not the manual, is broken.
    ASSERT_GE(options.size(), 16u);
    for (const std::string& o : options) {
        SCOPED_TRACE(o);
        EXPECT_NE(manual.find("`" + o + "`"), std::string::npos)
            << o << " is not described in docs/cmd_drev.md";
    }
}

TEST(CmdDrevManual, OptionWordsAreFoundWhole)
{
    EXPECT_EQ(OptionWords("cmd_drev -C <in> -MFPES: x -I0 <*out> (-LL) -MS:"),
              (std::set<std::string>{"-C", "-MFPES", "-I0", "-LL", "-MS"}));
    EXPECT_TRUE(OptionWords("in_file-name a-b -x").empty());
}
