// The processed-image document: the version-5 layout, reading versions 5 and
// 6, the file-type check and the serial ids.

#include "core/LwBarnFile.h"
#include "core/LwDocData.h"
#include "core/LwImageRegion.h"
#include "core/LwQBarnFile.h"
#include "core/LwSerialCounter.h"
#include "BarnTestFiles.h"
#include "BarnTestText.h"
#include "DocDataTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using barn_test::ErrorText;
using barn_test::ScratchFolder;
using barn_test::WriteBytes;
using docdata_test::ExpectSameContent;
using docdata_test::Image;
using docdata_test::MatrixElementText;
using docdata_test::ReadText;
using docdata_test::SameMatrix2D;
using docdata_test::Voxels;
using docdata_test::WrittenText;

namespace {

// A document with every kind of content: three images (negative and
// fractional channels, begins away from 0), two waves, two voxel sets and
// both maps, with texts that need escaping. Keys and numbers have at most six
// significant digits, which the text form keeps exactly.
LwDocData FullDocument()
{
    LwDocData d;
    d.Images.clear();
    d.Images.emplace(-1.5f, Image(3, 2, 0, 0, -7));
    d.Images.emplace(0.0f, Image(16, 16, 0, 0, 0.25f));
    d.Images.emplace(42.0f, Image(5, 4, -2, 3, 1e4f));
    d.Waves.emplace(0.5f, Image(1, 9, 0, 0, 3));
    d.Waves.emplace(800.125f, Image(7, 1, 1, 0, -2));
    d.Voxels.emplace(0.0f, Voxels(2, 3, 4, 1));
    d.Voxels.emplace(2.0f, Voxels(1, 1, 1, 9));
    SetInfoValue(d.InfoValue, "__XFH.PhotonEnergy_eV", 8047.82);
    d.InfoValue["three"] = {1, -2.5e-7, 3e20};
    SetInfoString(d.InfoString, "__SphereProjection.Name", "AzimuthalEquidistant");
    d.InfoString["log"] = {"a<b & \"c\"", "", "second line"};
    return d;
}

// The racks directly under "DataOfProcessImage" of a written text, in order.
std::string TopRacks(const std::string& text)
{
    auto doc = barn_test::Parse(text);
    std::string names;
    for (const auto& child : doc->Root()->Children().front()->Children())
        names += child->GetName() + ' ';
    return names;
}

// A version-5 or version-6 text by hand: the given body after "version".
std::string Document(int version, const std::string& body)
{
    return "<DataOfProcessImage><version>" + std::to_string(version) + "</version>\n" + body +
           "</DataOfProcessImage>\n";
}

const char* const kEmptyGlobalInfo =
    "<GlobalInfo><InfoValue></InfoValue>\n<InfoString></InfoString>\n</GlobalInfo>\n";

}  // namespace

TEST(LwDocData, NewDocumentHoldsOneZeroImage)
{
    const LwDocData d;
    EXPECT_EQ(d.GetVersion(), 5);
    EXPECT_EQ(d.CurrentChannel, 0.0f);
    EXPECT_TRUE(d.Waves.empty());
    EXPECT_TRUE(d.Voxels.empty());
    EXPECT_TRUE(d.InfoValue.empty());
    EXPECT_TRUE(d.InfoString.empty());
    EXPECT_TRUE(d.FirstName.empty());
    ASSERT_EQ(d.Images.size(), 1u);
    const LwFloatMatrix& image = d.Images.at(0.0f);
    EXPECT_EQ(image.ColSize, 16);
    EXPECT_EQ(image.RowSize, 16);
    for (int k = 0; k < image.ElementCount(); ++k)
        ASSERT_EQ(image.Buffer()[k], 0.0f) << k;
}

TEST(LwDocData, NewDocumentWrittenAtOnce)
{
    LwDocData d;
    LwFloatMatrix zeros(16, 16);
    zeros.SetZero();
    const std::string expected =
        Document(5, std::string(kEmptyGlobalInfo) + "<ImageSet><i><Channel>0</Channel>\n" +
                        MatrixElementText("Image", zeros) + "</i>\n</ImageSet>\n");
    EXPECT_EQ(WrittenText(d), expected);
    EXPECT_EQ(TopRacks(expected), "version GlobalInfo ImageSet ");
}

TEST(LwDocData, EmptySetsAreLeftOut)
{
    LwDocData d = FullDocument();
    EXPECT_EQ(TopRacks(WrittenText(d)), "version GlobalInfo ImageSet WaveSet VoxelSet ");
    d.Images.clear();
    d.Voxels.clear();
    EXPECT_EQ(TopRacks(WrittenText(d)), "version GlobalInfo WaveSet ");
}

TEST(LwDocData, Version5RoundTripInMemory)
{
    LwDocData original = FullDocument();
    const std::string text = WrittenText(original);
    EXPECT_NE(text.find("<base64>"), std::string::npos);
    EXPECT_EQ(text.find("<base64b>"), std::string::npos);

    LwDocData back;
    back.Waves.emplace(99.0f, Image(1, 1, 0, 0, 0));  // replaced by the document's sets
    ASSERT_TRUE(ReadText(back, text));
    ExpectSameContent(original, back);
}

TEST(LwDocData, Version5RoundTripThroughBothFileClasses)
{
    ScratchFolder folder;
    const std::string viaQt = folder.File("pattern.xml_img");
    const std::string viaRuntime = folder.File("runtime.xml_img");
    LwDocData original = FullDocument();
    {
        LwQBarnFile file(QString::fromStdString(viaQt), "w");
        ASSERT_TRUE(original.Serialize(file));
        file.Save();
        LwBarnFile other(viaRuntime, "w");
        ASSERT_TRUE(original.Serialize(other));
        other.Save();
    }
    for (const std::string& name : {viaQt, viaRuntime}) {
        SCOPED_TRACE(name);
        LwDocData fromQt;
        LwQBarnFile q(QString::fromStdString(name), "r");
        ASSERT_TRUE(fromQt.Serialize(q));
        ExpectSameContent(original, fromQt);
        LwDocData fromRuntime;
        LwBarnFile r(name, "r");
        ASSERT_TRUE(fromRuntime.Serialize(r));
        ExpectSameContent(original, fromRuntime);
    }
}

TEST(LwDocData, Version6ReadsAndIsWrittenBackAsVersion5)
{
    LwDocData original = FullDocument();
    // A version-6 text: the version-5 body with "base64b" matrix data.
    LwBarnXml doc("w");
    doc.OpenRack("DataOfProcessImage");
    LwLong six = 6;
    doc.ValueLong("version", six, 6);
    original.SerializeVer6(doc);
    doc.CloseRack("DataOfProcessImage");
    const std::string version6 = barn_test::WrittenText(doc);
    ASSERT_NE(version6.find("<base64b>"), std::string::npos);
    ASSERT_EQ(version6.find("<base64>"), std::string::npos);

    LwDocData back;
    ASSERT_TRUE(ReadText(back, version6));
    ExpectSameContent(original, back);
    EXPECT_EQ(back.GetVersion(), 5);

    const std::string rewritten = WrittenText(back);
    EXPECT_EQ(rewritten.rfind("<DataOfProcessImage><version>5</version>\n", 0), 0u);
    EXPECT_NE(rewritten.find("<base64>"), std::string::npos);
    EXPECT_EQ(rewritten.find("<base64b>"), std::string::npos);
    EXPECT_EQ(rewritten, WrittenText(original));
}

TEST(LwDocData, MissingImageSetLeavesNoImage)
{
    LwDocData d;
    ASSERT_TRUE(ReadText(d, Document(5, kEmptyGlobalInfo)));
    EXPECT_TRUE(d.Images.empty());
    EXPECT_TRUE(d.Waves.empty());
    EXPECT_TRUE(d.Voxels.empty());
}

TEST(LwDocData, RepeatedKeyKeepsTheFirstEntry)
{
    const LwFloatMatrix first = Image(2, 2, 0, 0, 1);
    const LwFloatMatrix second = Image(3, 1, 0, 0, 5);
    const std::string body = std::string(kEmptyGlobalInfo) + "<ImageSet>" + "<i><Channel>3</Channel>" +
                             MatrixElementText("Image", first) + "</i>" + "<i><Channel>3.0</Channel>" +
                             MatrixElementText("Image", second) + "</i>" + "<i>" +
                             MatrixElementText("Image", second) + "</i>" +  // no Channel: 0
                             "</ImageSet>" + "<WaveSet><i><tag>1</tag>" + MatrixElementText("Wave", second) +
                             "</i>" + "<i><tag>1</tag>" + MatrixElementText("Wave", first) + "</i></WaveSet>";
    LwDocData d;
    ASSERT_TRUE(ReadText(d, Document(5, body)));
    ASSERT_EQ(d.Images.size(), 2u);
    EXPECT_TRUE(SameMatrix2D(d.Images.at(3.0f), first));
    EXPECT_TRUE(SameMatrix2D(d.Images.at(0.0f), second));
    ASSERT_EQ(d.Waves.size(), 1u);
    EXPECT_TRUE(SameMatrix2D(d.Waves.at(1.0f), second));
}

TEST(LwDocData, MapEntriesWithoutKeyOrValueAreDropped)
{
    const std::string body =
        "<GlobalInfo><InfoValue><i><key></key><val>1</val></i><i><key>kept</key><val>2</val></i>"
        "<i><key>novalue</key></i></InfoValue>"
        "<InfoString><i><key>s</key></i><i><key>t</key><value>x</value></i></InfoString></GlobalInfo>";
    LwDocData d;
    ASSERT_TRUE(ReadText(d, Document(5, body)));
    EXPECT_EQ(d.InfoValue, (LwInfoValueMap{{"kept", {2}}}));
    EXPECT_EQ(d.InfoString, (LwInfoStringMap{{"t", {"x"}}}));
}

TEST(LwDocData, UnknownVersionOrMissingRootIsRefused)
{
    const struct
    {
        std::string text;
        const char* why;
    } rows[] = {
        {Document(1, kEmptyGlobalInfo), "version 1 never existed"},
        {Document(7, kEmptyGlobalInfo), "a version newer than the reader"},
        {Document(-5, kEmptyGlobalInfo), "negative"},
        {"<DataOfProcessImag><version>5</version></DataOfProcessImag>", "other root"},
        {"", "empty text"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwDocData d = FullDocument();
        const LwDocData before = FullDocument();
        EXPECT_FALSE(ReadText(d, r.text));
        ExpectSameContent(before, d);
    }
}

TEST(LwDocData, MissingVersionReadsAsVersion0)
{
    // Version 0 needs "Informations"; its absence is the version-0 reader's
    // error, which shows that the missing number was taken as 0.
    LwDocData d;
    EXPECT_EQ(ErrorText([&] { ReadText(d, "<DataOfProcessImage></DataOfProcessImage>"); }),
              "Invalid Tag Name:DataOfProcessImage <> Informations");
}

TEST(LwDocData, MissingGlobalInfoFailsAfterEmptyingTheMaps)
{
    LwDocData d = FullDocument();
    const LwDocData before = FullDocument();
    EXPECT_EQ(ErrorText([&] { ReadText(d, Document(5, "<ImageSet></ImageSet>")); }),
              "Invalid Tag Name:DataOfProcessImage <> GlobalInfo");
    EXPECT_TRUE(d.InfoValue.empty());
    EXPECT_TRUE(d.InfoString.empty());
    EXPECT_EQ(d.Images.size(), before.Images.size());
    EXPECT_EQ(d.Waves.size(), before.Waves.size());
}

TEST(LwDocData, WritingSetsTheVersionBackTo5)
{
    LwDocData d;
    LwBarnXml doc("w");
    EXPECT_TRUE(d.Serialize(doc));
    EXPECT_EQ(d.GetVersion(), 5);
    EXPECT_EQ(LwDocData::GetRootName(), "DataOfProcessImage");
}

TEST(LwDocData, SerialIdsAreConsecutiveAndSharedWithRegions)
{
    const LwDocData a;
    const LwDocData b;
    EXPECT_EQ(b.GetSerialId(), NextSerialValue(a.GetSerialId()));
    const LwImageRegion region;  // takes the next value
    const LwDocData c;
    EXPECT_EQ(c.GetSerialId(), NextSerialValue(NextSerialValue(b.GetSerialId())));
    EXPECT_EQ(region.Color, LwImageRegion::RegionColorTable()[NextSerialValue(b.GetSerialId()) % 16]);
}

// ---- CheckType ----------------------------------------------------------------

TEST(LwDocDataCheckType, RecognisesWhatTheSuiteWrites)
{
    ScratchFolder folder;
    const std::string file = folder.File("written.xml_img");
    LwDocData d = FullDocument();
    {
        LwQBarnFile out(QString::fromStdString(file), "w");
        d.Serialize(out);
        out.Save();
    }
    EXPECT_EQ(d.CheckType(file), 5);
}

TEST(LwDocDataCheckType, FirstFourLines)
{
    const struct
    {
        const char* text;
        LwLong type;
        const char* why;
    } rows[] = {
        {"<DataOfProcessImage><version>5</version>\n<GlobalInfo>", 5, "tag on the first line"},
        {"<DataOfProcessImage>\n<version>3</version>\n", 3, "tag on the second line"},
        {"x\ny\n<DataOfProcessImage>\n<version>4</version>", 4, "both on the last inspected lines"},
        {"<DataOfProcessImage>\n<a/>\n<b/>\n<c/>\n<version>4</version>\n", 0,
         "version on the fifth line is not looked at"},
        {"<DataOfProcessImage>\n", 0, "no version tag"},
        {"a\nb\nc\nd\n<DataOfProcessImage><version>5</version>\n", -1, "root on the fifth line"},
        {"<DataOfProcessImage>\r\n<version>6</version>\r\n", 6, "CR LF line ends"},
        {"<DataOfProcessImage>\n<version></version>\n<version>2</version>\n", 0,
         "the first line with the tag decides; an empty tag gives 0"},
        {"<DataOfProcessImage>\n<version>abc</version>\n", 0, "no number"},
        {"", -1, "empty file"},
        {"<lw_crystal_structure_data><version>5</version>\n", -1, "another document"},
    };
    ScratchFolder folder;
    const std::string file = folder.File("check.xml_img");
    const LwDocData d;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        WriteBytes(file, r.text);
        EXPECT_EQ(d.CheckType(file), r.type);
    }
}

TEST(LwDocDataCheckType, UnreadableFile)
{
    ScratchFolder folder;
    const std::string missing = folder.File("missing.xml_img");
    const LwDocData d;
    EXPECT_EQ(ErrorText([&] { d.CheckType(missing); }), "FileCannotOpen. LwDocData::CheckType():" + missing);
}
