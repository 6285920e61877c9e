// LwBarnFile opened without loading, loaded by name later, or loaded only
// after its root tag was found near the start of the file.

#include "core/LwBarnFile.h"
#include "core/LwError.h"
#include "BarnTestFiles.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>

using barn_test::ErrorText;
using barn_test::ScratchFolder;
using barn_test::WriteBytes;

TEST(BarnFileExtras, ModeOnlyDocumentLoadsByNameLater)
{
    ScratchFolder folder;
    const std::string file = folder.File("a.xml");
    WriteBytes(file, "<Top><n>5</n>\n</Top>\n");
    LwBarnFile doc("r");
    EXPECT_EQ(doc.FileName(), "");
    EXPECT_TRUE(doc.Root()->Children().empty());
    doc.Load(file);
    EXPECT_EQ(doc.FileName(), file);
    ASSERT_TRUE(doc.OpenRack("Top"));
    int n = 0;
    EXPECT_TRUE(doc.ValueInt("n", n, 0));
    EXPECT_EQ(n, 5);
}

TEST(BarnFileExtras, RootCheckBeforeLoading)
{
    ScratchFolder folder;
    const std::string good = folder.File("good.xml");
    const std::string other = folder.File("other.xml");
    const std::string late = folder.File("late.xml");
    WriteBytes(good, "<Top><n>5</n>\n</Top>\n");
    WriteBytes(other, "<Other><n>5</n>\n</Other>\n");
    // The root tag begins beyond the first 4096 bytes.
    WriteBytes(late, std::string(4095, ' ') + "<Top></Top>\n");

    LwBarnFile doc(good, "r", "Top", "not a Top document");
    EXPECT_TRUE(doc.OpenRack("Top"));
    EXPECT_EQ(ErrorText([&] { LwBarnFile d(other, "r", "Top", "not a Top document"); }),
              "not a Top document");
    EXPECT_EQ(ErrorText([&] { LwBarnFile d(late, "r", "Top", "not a Top document"); }), "not a Top document");
    const std::string missing = folder.File("missing.xml");
    EXPECT_EQ(ErrorText([&] { LwBarnFile d(missing, "r", "Top", "x"); }), "Canot file open " + missing);
}
