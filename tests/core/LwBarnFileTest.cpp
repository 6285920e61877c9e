// LwBarnFile: Barn documents on files through the runtime's buffered files.

#include "core/LwBarnFile.h"
#include "core/LwError.h"
#include "BarnTestFiles.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

using barn_test::ErrorText;
using barn_test::LoadSaveSample;
using barn_test::MakeSample;
using barn_test::ReadBytes;
using barn_test::SampleDocument;
using barn_test::ScratchFolder;
using barn_test::WriteBytes;

namespace {

const char* const kSampleText = "<SampleDocument><Title>x &amp; y</Title>\n"
                                "<Temperature_K_>300</Temperature_K_>\n"
                                "<Count>7</Count>\n"
                                "<Flag>true</Flag>\n"
                                "<Energies><i>1.5</i>\n<i>2</i>\n</Energies>\n"
                                "<Labels><r>a</r>\n<r>b</r>\n</Labels>\n"
                                "</SampleDocument>\n";

SampleDocument ReadSample(const std::string& file)
{
    LwBarnFile doc(file, "r");
    SampleDocument d;
    EXPECT_TRUE(LoadSaveSample(d, doc));
    return d;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

TEST(BarnFile, WritesTheLayoutByteForByteAndReadsItBack)
{
    ScratchFolder folder;
    const std::string file = folder.File("sample.xml");
    SampleDocument written = MakeSample();
    std::string expectedText;
    {
        LwBarnFile doc(file, "w");
        EXPECT_EQ(doc.GetMode(), "w");
        EXPECT_EQ(doc.FileName(), file);
        LoadSaveSample(written, doc);
        expectedText = barn_test::WrittenText(doc);
        doc.Save();
    }
    EXPECT_EQ(ReadBytes(file), expectedText);
    EXPECT_EQ(ReadSample(file), written);
}

TEST(BarnFile, LoaderProgressFields)
{
    ScratchFolder folder;
    const std::string file = folder.File("p.xml");
    WriteBytes(file, kSampleText);
    LwBarnFile doc(file, "r");
    EXPECT_EQ(doc.StatusText(), "Analyzing....");
    EXPECT_EQ(doc.State(), LwBarnXml::StateDone);
    EXPECT_EQ(doc.DocumentLength(), static_cast<LwLong>(std::string(kSampleText).size()));
    EXPECT_EQ(doc.DocumentText(), kSampleText);
}

TEST(BarnFile, WindowsLineEndsReadLikeLineFeeds)
{
    ScratchFolder folder;
    const std::string text = std::string(kSampleText) + "<Extra><v>line1\nline2</v></Extra>\n";
    WriteBytes(folder.File("lf.xml"), text);
    WriteBytes(folder.File("crlf.xml"), WithCrLf(text));
    LwBarnFile lf(folder.File("lf.xml"), "r");
    LwBarnFile crlf(folder.File("crlf.xml"), "r");
    EXPECT_EQ(crlf.DocumentText(), lf.DocumentText());
    SampleDocument a, b;
    EXPECT_TRUE(LoadSaveSample(a, lf));
    EXPECT_TRUE(LoadSaveSample(b, crlf));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.title, "x & y");
    // A line break inside a value stays, as a single line feed.
    std::string va, vb;
    ASSERT_TRUE(lf.OpenRack("Extra"));
    ASSERT_TRUE(crlf.OpenRack("Extra"));
    EXPECT_TRUE(lf.ValueRawString("v", va, ""));
    EXPECT_TRUE(crlf.ValueRawString("v", vb, ""));
    EXPECT_EQ(va, "line1\nline2");
    EXPECT_EQ(vb, "line1\nline2");
}

TEST(BarnFile, LoneCarriageReturnsStay)
{
    ScratchFolder folder;
    WriteBytes(folder.File("cr.xml"), "<a><v>x\ry\r\r\nz\r</v></a>\r\n");
    LwBarnFile doc(folder.File("cr.xml"), "r");
    ASSERT_TRUE(doc.OpenRack("a"));
    std::string v;
    doc.ValueRawString("v", v, "");
    EXPECT_EQ(v, "x\ry\r\nz\r");
}

TEST(BarnFile, AZeroByteEndsTheDocument)
{
    ScratchFolder folder;
    WriteBytes(folder.File("z.xml"), std::string("<a><v>1</v><w>2</w></a>", 11) + '\0' + "<w>2</w></a>");
    LwBarnFile doc(folder.File("z.xml"), "r");
    EXPECT_EQ(doc.DocumentText(), "<a><v>1</v>");
    ASSERT_TRUE(doc.OpenRack("a"));
    int v = 0, w = 0;
    EXPECT_TRUE(doc.ValueInt("v", v, -1));
    EXPECT_FALSE(doc.ValueInt("w", w, -1));
}

TEST(BarnFile, ValueTextsAreNeverFormats)
{
    // A printf-style writer would read arguments that do not exist.
    ScratchFolder folder;
    const std::string file = folder.File("fmt.xml");
    const std::string tricky = "%s%s%n%d %% %ld";
    {
        LwBarnFile doc(file, "w");
        doc.OpenRack("d");
        std::string s = tricky;
        doc.ValueString("%s", s, "");
        doc.CloseRack("d");
        doc.Save();
    }
    EXPECT_EQ(ReadBytes(file), "<d><%s>" + tricky + "</%s>\n</d>\n");
    LwBarnFile doc(file, "r");
    ASSERT_TRUE(doc.OpenRack("d"));
    std::string s;
    EXPECT_TRUE(doc.ValueString("%s", s, ""));
    EXPECT_EQ(s, tricky);
}

TEST(BarnFile, TextsAreWrittenUpToTheirFirstZeroByte)
{
    ScratchFolder folder;
    const std::string file = folder.File("zero.xml");
    {
        LwBarnFile doc(file, "w");
        doc.OpenRack("d");
        std::string s("ab\0cd", 5);
        doc.ValueRawString("v", s, "");
        doc.CloseRack("d");
        doc.Save();
    }
    EXPECT_EQ(ReadBytes(file), "<d><v>ab</v>\n</d>\n");
}

TEST(BarnFile, ReadErrors)
{
    ScratchFolder folder;
    const std::string missing = folder.File("missing.xml");
    EXPECT_EQ(ErrorText([&] { LwBarnFile doc(missing, "r"); }), missing + ": Cannot File Open");
    // A folder has no length to read.
    EXPECT_EQ(ErrorText([&] { LwBarnFile doc(folder.File(""), "r"); }),
              folder.File("") + ": Cannot File Open");
    WriteBytes(folder.File("broken.xml"), "<a><b>1</b");
    EXPECT_EQ(ErrorText([&] { LwBarnFile doc(folder.File("broken.xml"), "r"); }), "Illigal Tag Structure");
    EXPECT_EQ(ErrorText([&] { LwBarnFile doc(folder.File("broken.xml"), "a"); }), "IlligalMode");
}

TEST(BarnFile, FilesOfTwoGibibytesAreRefusedBeforeReading)
{
    // A sparse file: its length is 2^31 bytes, its blocks are not stored.
    ScratchFolder folder;
    const std::string file = folder.File("huge.xml");
    WriteBytes(file, "<a>");
    ASSERT_EQ(truncate(file.c_str(), 2147483648LL), 0);
    EXPECT_EQ(ErrorText([&] { LwBarnFile doc(file, "r"); }), "Cannot get the temp memory for xml loading");
}

TEST(BarnFile, UnwritablePathFailsAtConstruction)
{
    ScratchFolder folder;
    WriteBytes(folder.File("plain"), "not a folder");
    for (const std::string& file :
         {folder.File("no/such/folder.xml"), folder.File("plain/doc.xml"), folder.File("")}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ErrorText([&] { LwBarnFile doc(file, "w"); }), "Cannot File Open " + file);
    }
}
