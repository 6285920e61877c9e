// LwAtomicFile: a file replaced in one step, under exactly the bytes of its
// name, whatever the length of that name.

#include "core/LwAtomicFile.h"
#include "core/LwQBarnFile.h"
#include "BarnTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using barn_test::ReadBytes;
using barn_test::ScratchFolder;
using barn_test::WriteBytes;

namespace {

bool WriteAndCommit(const std::string& file, const std::string& text)
{
    LwAtomicFile out(file);
    return out.Open() && out.Write(text.data(), text.size()) && out.Commit();
}

}  // namespace

TEST(AtomicFile, OldFileStaysWholeUntilTheCommit)
{
    ScratchFolder folder;
    const std::string file = folder.File("doc.xml");
    WriteBytes(file, "old");
    {
        LwAtomicFile out(file);
        ASSERT_TRUE(out.Open());
        // Larger than the write buffer, so part of it reaches the disk early.
        const std::string big(200000, 'n');
        ASSERT_TRUE(out.Write(big.data(), big.size()));
        EXPECT_EQ(ReadBytes(file), "old");
        EXPECT_EQ(folder.Names().size(), 2u);  // the target and the temporary file
        ASSERT_TRUE(out.Commit());
        EXPECT_EQ(ReadBytes(file), big);
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"doc.xml"});
    {
        LwAtomicFile abandoned(file);
        ASSERT_TRUE(abandoned.Open());
        abandoned.Write("x", 1);
    }
    EXPECT_EQ(ReadBytes(file).size(), 200000u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"doc.xml"});
}

TEST(AtomicFile, NamesAreTakenByteForByteAtAnyLength)
{
    ScratchFolder folder;
    const std::vector<std::string> names = {
        std::string(255, 'a'),  // the longest name the file system takes
        "not_utf8_\xFF\xFE.xml",  // bytes that no decoding keeps
        "latin1_\xE4.xml",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        ASSERT_TRUE(WriteAndCommit(folder.File(name), "text"));
        EXPECT_EQ(ReadBytes(folder.File(name)), "text");
    }
    std::vector<std::string> expected = names, found = folder.Names();
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

TEST(AtomicFile, PermissionsAndLinksOfTheTargetStay)
{
    ScratchFolder folder;
    const std::string file = folder.File("kept.xml");
    WriteBytes(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(WriteAndCommit(file, "new"));
    struct stat info
    {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const std::string link = folder.File("link.xml");
    std::filesystem::create_symlink("kept.xml", link);
    ASSERT_TRUE(WriteAndCommit(link, "through the link"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(file), "through the link");
}

TEST(AtomicFile, TargetsThatCannotBeAFileAreRefusedAtOpen)
{
    ScratchFolder folder;
    for (const std::string& target : {folder.File(""), folder.File("no/such/folder/x.xml")}) {
        SCOPED_TRACE(target);
        LwAtomicFile out(target);
        EXPECT_FALSE(out.Open());
        EXPECT_FALSE(out.Write("x", 1));
        EXPECT_FALSE(out.Commit());
    }
    EXPECT_TRUE(folder.Names().empty());
}

TEST(AtomicFile, QtDocumentSavesUnderItsNativeName)
{
    // A QString cannot hold the byte 0xFF of a name; the native name can.
    ScratchFolder folder;
    const std::string name = folder.File("bild_\xFF.xml");
    {
        LwQBarnFile doc(QString::fromStdString(name), "w");
        doc.SetNativeFileName(name);
        doc.OpenRack("a");
        doc.CloseRack("a");
        doc.Save();
    }
    EXPECT_EQ(ReadBytes(name), "<a></a>\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"bild_\xFF.xml"});
}
