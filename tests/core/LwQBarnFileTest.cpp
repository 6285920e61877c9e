// LwQBarnXml and LwQBarnFile: Barn documents on files through Qt, as UTF-8;
// and files that pass between the two file classes.

#include "core/LwBarnFile.h"
#include "core/LwError.h"
#include "core/LwQBarnFile.h"
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

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

SampleDocument ReadWithQt(const std::string& file)
{
    LwQBarnFile doc(Q(file), "r");
    SampleDocument d;
    EXPECT_TRUE(LoadSaveSample(d, doc));
    return d;
}

SampleDocument ReadWithRuntime(const std::string& file)
{
    LwBarnFile doc(file, "r");
    SampleDocument d;
    EXPECT_TRUE(LoadSaveSample(d, doc));
    return d;
}

void WriteWithQt(const std::string& file, SampleDocument d)
{
    LwQBarnFile doc(Q(file), "w");
    LoadSaveSample(d, doc);
    doc.Save();
}

void WriteWithRuntime(const std::string& file, SampleDocument d)
{
    LwBarnFile doc(file, "w");
    LoadSaveSample(d, doc);
    doc.Save();
}

const char* const kSmallText = "<a><v>1</v></a>\n";

}  // namespace

TEST(QBarnXml, ModeFromAQtString)
{
    EXPECT_EQ(LwQBarnXml(QString("r")).GetMode(), "r");
    EXPECT_EQ(LwQBarnXml(QString("w")).GetMode(), "w");
    for (const char* mode : {"", "R", "rw", "\xC3\xA9"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(ErrorText([&] { LwQBarnXml doc(QString::fromUtf8(mode)); }), "IlligalMode");
    }
}

TEST(QBarnFile, Utf8DocumentsRoundTripThroughBothClasses)
{
    // Accented element names and values, written by either class, read the
    // same through either class; both write the same bytes.
    ScratchFolder folder;
    SampleDocument d = MakeSample();
    WriteWithQt(folder.File("qt.xml"), d);
    WriteWithRuntime(folder.File("rt.xml"), d);
    EXPECT_EQ(ReadBytes(folder.File("qt.xml")), ReadBytes(folder.File("rt.xml")));
    for (const char* name : {"qt.xml", "rt.xml"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadWithQt(folder.File(name)), d);
        EXPECT_EQ(ReadWithRuntime(folder.File(name)), d);
    }
}

TEST(QBarnFile, AccentedElementNames)
{
    ScratchFolder folder;
    const std::string file = folder.File("\xC3\xA9l\xC3\xA9ment.xml");
    const std::string name = "Temp\xC3\xA9rature_\xC3\x85";
    {
        LwQBarnFile doc(Q(file), "w");
        doc.OpenRack("d");
        double t = 293.15;
        doc.ValueDouble(name, t, 0);
        doc.CloseRack("d");
        doc.Save();
    }
    EXPECT_EQ(ReadBytes(file), "<d><" + name + ">293.15</" + name + ">\n</d>\n");
    LwQBarnFile doc(Q(file), "r");
    ASSERT_TRUE(doc.OpenRack("d"));
    double t = 0;
    EXPECT_TRUE(doc.ValueDouble(name, t, 0));
    EXPECT_EQ(t, 293.15);
}

TEST(QBarnFile, WindowsLineEndsReadLikeLineFeeds)
{
    ScratchFolder folder;
    const std::string lf = "<?xml version=\"1.0\"?>\n<SampleDocument><Title>t</Title>\n<Count>\n5\n</Count>\n"
                           "<Energies>\n<i>1</i>\n<i>2</i>\n</Energies>\n</SampleDocument>\n";
    std::string crlf;
    for (char c : lf)
        crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
    WriteBytes(folder.File("lf.xml"), lf);
    WriteBytes(folder.File("crlf.xml"), crlf);
    LwQBarnFile a(Q(folder.File("lf.xml")), "r");
    LwQBarnFile b(Q(folder.File("crlf.xml")), "r");
    EXPECT_EQ(a.DocumentText(), b.DocumentText());
    SampleDocument da, db;
    EXPECT_TRUE(LoadSaveSample(da, a));
    EXPECT_TRUE(LoadSaveSample(db, b));
    EXPECT_EQ(da, db);
    EXPECT_EQ(da.count, 5);
    EXPECT_EQ(da.energies, (std::vector<double>{1, 2}));
}

TEST(QBarnFile, LineBreaksInsideValuesAreLostOnlyThroughQt)
{
    ScratchFolder folder;
    const std::string file = folder.File("lines.xml");
    {
        LwBarnFile doc(file, "w");
        doc.OpenRack("d");
        std::string v = "a\nb";
        doc.ValueString("v", v, "");
        doc.CloseRack("d");
        doc.Save();
    }
    std::string viaQt, viaRuntime;
    {
        LwQBarnFile doc(Q(file), "r");
        ASSERT_TRUE(doc.OpenRack("d"));
        doc.ValueString("v", viaQt, "");
    }
    {
        LwBarnFile doc(file, "r");
        ASSERT_TRUE(doc.OpenRack("d"));
        doc.ValueString("v", viaRuntime, "");
    }
    EXPECT_EQ(viaQt, "ab");
    EXPECT_EQ(viaRuntime, "a\nb");
}

TEST(QBarnFile, LoaderProgressFieldsAndByteOrderMark)
{
    ScratchFolder folder;
    WriteBytes(folder.File("bom.xml"), std::string("\xEF\xBB\xBF") + kSmallText);
    LwQBarnFile doc(Q(folder.File("bom.xml")), "r");
    EXPECT_EQ(doc.StatusText(), "Analyzing...");
    EXPECT_EQ(doc.State(), LwBarnXml::StateDone);
    ASSERT_TRUE(doc.OpenRack("a"));
    int v = 0;
    EXPECT_TRUE(doc.ValueInt("v", v, -1));
    EXPECT_EQ(v, 1);
}

TEST(QBarnFile, ReadErrors)
{
    ScratchFolder folder;
    const std::string missing = folder.File("m\xC3\xA9ssing.xml");
    EXPECT_EQ(ErrorText([&] { LwQBarnFile doc(Q(missing), "r"); }), "Cannot open:" + missing);
    EXPECT_EQ(ErrorText([&] { LwQBarnFile doc(Q(folder.File("")), "r"); }), "Cannot open:" + folder.File(""));
    WriteBytes(folder.File("broken.xml"), "<a>\n<b>1</b\n");
    EXPECT_EQ(ErrorText([&] { LwQBarnFile doc(Q(folder.File("broken.xml")), "r"); }),
              "Illigal Tag Structure");
    EXPECT_EQ(ErrorText([&] { LwQBarnFile doc(Q(folder.File("broken.xml")), "x"); }), "IlligalMode");
    const std::string huge = folder.File("huge.xml");
    WriteBytes(huge, "<a>");
    ASSERT_EQ(truncate(huge.c_str(), 2147483648LL), 0);
    EXPECT_EQ(ErrorText([&] { LwQBarnFile doc(Q(huge), "r"); }),
              "Cannot get the temp memory for xml loading");
}

TEST(QBarnFile, UnwritablePathFailsOnlyAtSave)
{
    ScratchFolder folder;
    WriteBytes(folder.File("plain"), "not a folder");
    for (const std::string& file : {folder.File("no/such/folder.xml"), folder.File("plain/doc.xml")}) {
        SCOPED_TRACE(file);
        LwQBarnFile doc(Q(file), "w");  // touches no file
        doc.OpenRack("a");
        doc.CloseRack("a");
        EXPECT_EQ(ErrorText([&] { doc.Save(); }), "FILE CANNOT WRITE:" + file);
        // The destructor does not try again (and could not report it).
    }
}

TEST(QBarnFile, BytesThatAreNotUtf8DoNotSurviveQt)
{
    ScratchFolder folder;
    const std::string file = folder.File("bad.xml");
    {
        LwQBarnFile doc(Q(file), "w");
        doc.OpenRack("d");
        std::string v = "a\xFF"
                        "b";
        doc.ValueRawString("v", v, "");
        doc.CloseRack("d");
        doc.Save();
    }
    EXPECT_EQ(ReadBytes(file), "<d><v>a\xEF\xBF\xBD"
                               "b</v>\n</d>\n");
}
