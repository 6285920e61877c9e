// Reading processed-image documents of versions 0, 2, 3 and 4: texts made by
// hand from the old layouts, checked for the exact metadata keys they give.

#include "core/LwDocData.h"
#include "core/LwDocDataImport.h"
#include "core/LwMatrix.h"
#include "BarnTestText.h"
#include "DocDataTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using barn_test::ErrorText;
using docdata_test::Image;
using docdata_test::MatrixElementText;
using docdata_test::ReadText;
using docdata_test::SameMatrix2D;

namespace {

using KeySet = std::set<std::string>;

template <class Map>
KeySet Keys(const Map& map)
{
    KeySet keys;
    for (const auto& entry : map)
        keys.insert(entry.first);
    return keys;
}

std::string Document(int version, const std::string& body)
{
    return "<DataOfProcessImage><version>" + std::to_string(version) + "</version>\n" + body +
           "</DataOfProcessImage>\n";
}

// Every element that versions 2 and 3 keep in "Informations" after the times:
// image format, survey commands, I0 settings (correction type 1 with a
// region), parent keys and the command that set the X object.
const std::string kCommandElements =
    "<ImageFormat>tiff 16bit</ImageFormat>\n"
    "<CmdBeforeSurvey><ListMsgCmdRply>"
    "<mg><Cmd>get/Z/</Cmd><Rply>Z/get/ok/1.5mm/</Rply></mg>"
    "<mg><Cmd>put/T/300K</Cmd></mg>"
    "</ListMsgCmdRply></CmdBeforeSurvey>\n"
    "<CmdAfterSurvey><ListMsgCmdRply><mg><Cmd>get/Z/</Cmd><Rply>Z/get/ok/-2mm/</Rply></mg>"
    "</ListMsgCmdRply></CmdAfterSurvey>\n"
    "<I0><I0Value>0.5</I0Value><I0CorrectionType>1</I0CorrectionType>"
    "<I0Region><Left>1</Left><Bottom>2</Bottom><Width>30</Width><Height>40.5</Height>"
    "<ReginType>0</ReginType><Name>r</Name></I0Region></I0>\n"
    "<ParentFileName>parent.xml_img</ParentFileName><IndexOfImage>7</IndexOfImage>"
    "<Index4Scan>2</Index4Scan>\n"
    "<MsgForSetX><Cmd>put/Energy/600eV</Cmd><Rply>Energy/put/ok/600eV/</Rply></MsgForSetX>\n";

const KeySet kCommandValueKeys = {
    "ExposureTime",       "Scans",          "CmdBeforeSurvey#0#Z", "CmdBeforeSurvey#1#",
    "CmdAfterSurvey#0#Z", "I0Value",        "I0CorrectionType",    "I0Region#left",
    "I0Region#bottom",    "I0Region#width", "I0Region#height",     "IndexOfImage",
    "Index4Scan",         "Energy",
};

// The numbers those elements give, key by key.
void ExpectCommandValues(const LwInfoValueMap& iv)
{
    const LwInfoValueMap expected = {
        {"ExposureTime", {2.5}},
        {"Scans", {4}},
        {"CmdBeforeSurvey#0#Z", {1.5}},  // "get": the reply's number
        {"CmdBeforeSurvey#1#", {300}},  // "put": the command's; no reply, no object
        {"CmdAfterSurvey#0#Z", {-2}},
        {"I0Value", {0.5}},
        {"I0CorrectionType", {1}},
        {"I0Region#left", {1}},
        {"I0Region#bottom", {2}},
        {"I0Region#width", {30}},
        {"I0Region#height", {40.5}},
        {"IndexOfImage", {7}},
        {"Index4Scan", {2}},
        {"Energy", {600}},
    };
    EXPECT_EQ(iv, expected);
}

const std::string kCommonHead =
    "<DataType>XPD</DataType><Comment>a &amp; b</Comment><ExposureTime>2.5</ExposureTime><Scans>4</Scans>\n";

// A version-2 or version-3 "Informations" with the given I0 block in place of
// the full one, nothing else but the common head.
std::string InformationsWithI0(const std::string& i0)
{
    return "<Informations>" + kCommonHead + i0 + "</Informations>\n";
}

}  // namespace

TEST(LwDocDataImport, Version0)
{
    LwDoubleMatrix stored(3, 2);
    stored.ColBegin = 1;
    const double values[] = {0.1, -1e-3, 3.0, 1e30, 2.0 / 3.0, -0.0};
    for (int k = 0; k < 6; ++k)
        stored.Buffer()[k] = values[k];
    const std::string text =
        Document(0, "<Informations><DataType>XPD</DataType><BeginTime>yesterday</BeginTime>"
                    "<EndTime>2024/02/29 07:08:09</EndTime><Comment>x&lt;y</Comment></Informations>\n" +
                        MatrixElementText("Image", stored));
    LwDocData d;
    d.Images.emplace(5.0f, Image(1, 1, 0, 0, 1));
    ASSERT_TRUE(ReadText(d, text));
    EXPECT_EQ(d.InfoString, (LwInfoStringMap{{"DataType", {"XPD"}},
                                             {"TimeBegin", {"yesterday"}},
                                             {"TimeEnd", {"2024/02/29 07:08:09"}},
                                             {"Comment", {"x<y"}}}));
    EXPECT_TRUE(d.InfoValue.empty());
    ASSERT_EQ(d.Images.size(), 2u);  // channel 0 replaced, channel 5 kept
    const LwFloatMatrix& image = d.Images.at(0.0f);
    EXPECT_EQ(image.ColSize, 3);
    EXPECT_EQ(image.RowSize, 2);
    EXPECT_EQ(image.ColBegin, 1);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(image.Buffer()[k], static_cast<float>(values[k])) << k;
}

TEST(LwDocDataImport, Versions2And3FullKeySets)
{
    const struct
    {
        int version;
        const char* endTime;
        LwInfoStringMap times;
        const char* why;
    } rows[] = {
        {2,
         "2024/03/01 00:00:00",
         {{"BeginTime", {"2024/02/29 07:08:09"}}, {"EndTime", {"2024/03/01 00:00:00"}}},
         "version 2: date-times in their text form"},
        {3, "later", {{"TimeBegin", {"2024/2/29 7:8:9"}}, {"TimeEnd", {"later"}}}, "version 3: raw texts"},
    };
    const LwFloatMatrix stored = Image(2, 5, 3, -1, -4);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const std::string text = Document(
            r.version, "<Informations>" + kCommonHead + "<BeginTime>2024/2/29 7:8:9</BeginTime><EndTime>" +
                           r.endTime + "</EndTime>\n" + kCommandElements + "</Informations>\n" +
                           MatrixElementText("Image", stored));
        LwDocData d;
        ASSERT_TRUE(ReadText(d, text));
        EXPECT_EQ(Keys(d.InfoValue), kCommandValueKeys);
        ExpectCommandValues(d.InfoValue);
        LwInfoStringMap expected = {
            {"DataType", {"XPD"}},
            {"Comment", {"a & b"}},
            {"ImageFormat", {"tiff 16bit"}},
            {"ParentFileName", {"parent.xml_img"}},
            {"MsgForSetX", {"put/Energy/600eV"}},
            {"XObject", {"Energy"}},
        };
        expected.insert(r.times.begin(), r.times.end());
        EXPECT_EQ(d.InfoString, expected);
        ASSERT_EQ(d.Images.size(), 1u);
        EXPECT_TRUE(SameMatrix2D(d.Images.at(0.0f), stored));
    }
}

TEST(LwDocDataImport, Version2And3WithNothingButInformations)
{
    // Missing texts and numbers still give their keys (empty, 0); the parent
    // keys and the X object appear only with their elements; a missing image
    // keeps the default 16 x 16 zero image. Version 2 turns the missing times
    // into the zero date-time, version 3 into empty texts.
    const std::string zeroTime = "0/01/01 00:00:00";
    const struct
    {
        int version;
        LwInfoStringMap strings;
    } rows[] = {
        {2,
         {{"DataType", {""}},
          {"Comment", {""}},
          {"BeginTime", {zeroTime}},
          {"EndTime", {zeroTime}},
          {"ImageFormat", {""}}}},
        {3,
         {{"DataType", {""}},
          {"Comment", {""}},
          {"TimeBegin", {""}},
          {"TimeEnd", {""}},
          {"ImageFormat", {""}}}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.version);
        LwDocData d;
        ASSERT_TRUE(ReadText(d, Document(r.version, "<Informations></Informations>")));
        EXPECT_EQ(d.InfoString, r.strings);
        EXPECT_EQ(d.InfoValue, (LwInfoValueMap{{"ExposureTime", {0}}, {"Scans", {0}}}));
        ASSERT_EQ(d.Images.size(), 1u);
        const LwFloatMatrix& image = d.Images.at(0.0f);
        EXPECT_EQ(image.ColSize, 16);
        EXPECT_EQ(image.RowSize, 16);
        for (int k = 0; k < image.ElementCount(); ++k)
            ASSERT_EQ(image.Buffer()[k], 0.0f);
    }
}

TEST(LwDocDataImport, Version2EndTimeRepeatsBeginTime)
{
    LwDocData d;
    ASSERT_TRUE(
        ReadText(d, Document(2, "<Informations><BeginTime>2026/12/01 10:00:00</BeginTime></Informations>")));
    EXPECT_EQ(d.InfoString.at("BeginTime")[0], "2026/12/01 10:00:00");
    EXPECT_EQ(d.InfoString.at("EndTime")[0], "2026/12/01 10:00:00");
}

TEST(LwDocDataImport, I0CorrectionTypes)
{
    const KeySet region = {"I0Value",         "I0CorrectionType", "I0Region#left",
                           "I0Region#bottom", "I0Region#width",   "I0Region#height"};
    const struct
    {
        std::string i0;
        KeySet values;
        KeySet strings;
        const char* why;
    } rows[] = {
        {"", {}, {}, "no I0 rack: nothing"},
        {"<I0></I0>", {"I0Value", "I0CorrectionType"}, {}, "empty I0: value 1, type 0"},
        {"<I0><I0CorrectionType>1.9</I0CorrectionType></I0>", region, {}, "1.9 truncates to 1"},
        {"<I0><I0CorrectionType>-0.5</I0CorrectionType></I0>",
         {"I0Value", "I0CorrectionType"},
         {},
         "-0.5 truncates to 0"},
        {"<I0><I0CorrectionType>2</I0CorrectionType><I0Cmd><ListMsgCmdRply>"
         "<mg><Cmd>put/I0/1</Cmd></mg><mg><Cmd>get/Mon/</Cmd></mg><mg><Cmd>put/Gain/3</Cmd></mg>"
         "</ListMsgCmdRply></I0Cmd></I0>",
         {"I0Value", "I0CorrectionType"},
         {"I0Cmd#0", "I0Cmd#1", "I0Cmd#2"},
         "commands as texts"},
        {"<I0><I0CorrectionType>3</I0CorrectionType><I0Region><Left>5</Left></I0Region></I0>",
         {"I0Value", "I0CorrectionType"},
         {},
         "type 3: nothing more"},
        {"<I0><I0CorrectionType>1e300</I0CorrectionType></I0>",
         {"I0Value", "I0CorrectionType"},
         {},
         "far out of the integer range"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwDocData d;
        ASSERT_TRUE(ReadText(d, Document(3, InformationsWithI0(r.i0))));
        KeySet values = Keys(d.InfoValue);
        values.erase("ExposureTime");
        values.erase("Scans");
        EXPECT_EQ(values, r.values);
        KeySet strings = Keys(d.InfoString);
        for (const char* common : {"DataType", "Comment", "TimeBegin", "TimeEnd", "ImageFormat"})
            strings.erase(common);
        EXPECT_EQ(strings, r.strings);
    }
}

TEST(LwDocDataImport, I0Numbers)
{
    LwDocData d;
    ASSERT_TRUE(
        ReadText(d, Document(2, InformationsWithI0("<I0><I0CorrectionType>1</I0CorrectionType></I0>"))));
    // Without "I0Region" the constructed region (0, 0, 1, 1) is stored.
    EXPECT_EQ(d.InfoValue.at("I0Value")[0], 1.0);
    EXPECT_EQ(d.InfoValue.at("I0Region#left")[0], 0.0);
    EXPECT_EQ(d.InfoValue.at("I0Region#bottom")[0], 0.0);
    EXPECT_EQ(d.InfoValue.at("I0Region#width")[0], 1.0);
    EXPECT_EQ(d.InfoValue.at("I0Region#height")[0], 1.0);

    LwDocData e;
    ASSERT_TRUE(ReadText(
        e,
        Document(
            2,
            InformationsWithI0(
                "<I0><I0CorrectionType>2</I0CorrectionType><I0Cmd><ListMsgCmdRply>"
                "<mg><Cmd>put/I0/1.0</Cmd></mg><mg><Cmd>a/b/c/d</Cmd></mg></ListMsgCmdRply></I0Cmd></I0>"))));
    EXPECT_EQ(e.InfoString.at("I0Cmd#0")[0], "put/I0/1.0");
    EXPECT_EQ(e.InfoString.at("I0Cmd#1")[0], "//");  // not a command: its empty fields
}

TEST(LwDocDataImport, MsgForSetXWithoutNumber)
{
    LwDocData d;
    ASSERT_TRUE(
        ReadText(d, Document(3, InformationsWithI0("<MsgForSetX><Cmd>put/Shutter/open</Cmd></MsgForSetX>"))));
    EXPECT_EQ(d.InfoString.at("MsgForSetX")[0], "put/Shutter/open");
    EXPECT_EQ(d.InfoString.at("XObject")[0], "Shutter");
    EXPECT_EQ(d.InfoValue.count("Shutter"), 0u);
}

TEST(LwDocDataImport, Version4ReadsMapsAndTheFirstImageOnly)
{
    const LwFloatMatrix first = Image(3, 3, 0, 0, 1);
    const LwFloatMatrix second = Image(2, 2, 0, 0, 9);
    const std::string text =
        Document(4, "<GrobalInfo><InfoValue><i><key>k</key><val>1.5</val><val>2</val></i></InfoValue>"
                    "<InfoString><i><key>s</key><value>t</value></i></InfoString></GrobalInfo>\n"
                    "<ImageSet><i><Channel>7</Channel>" +
                        MatrixElementText("Image", first) +
                        "</i>"
                        "<i><Channel>8</Channel>" +
                        MatrixElementText("Image", second) + "</i></ImageSet>\n");
    LwDocData d;
    d.Images.emplace(3.0f, Image(1, 1, 0, 0, 4));
    SetInfoValue(d.InfoValue, "old", 1);
    ASSERT_TRUE(ReadText(d, text));
    EXPECT_EQ(d.InfoValue, (LwInfoValueMap{{"k", {1.5, 2}}}));
    EXPECT_EQ(d.InfoString, (LwInfoStringMap{{"s", {"t"}}}));
    ASSERT_EQ(d.Images.size(), 2u);  // the first image goes to channel 0; channel 3 stays
    EXPECT_TRUE(SameMatrix2D(d.Images.at(0.0f), first));
    EXPECT_EQ(d.Images.count(7.0f), 0u);
}

TEST(LwDocDataImport, MissingRacksFailWithTheTagNameError)
{
    const struct
    {
        std::string text;
        const char* error;
    } rows[] = {
        {Document(0, "<DataType>x</DataType>"), "Invalid Tag Name:DataOfProcessImage <> Informations"},
        {Document(2, ""), "Invalid Tag Name:DataOfProcessImage <> Informations"},
        {Document(3, ""), "Invalid Tag Name:DataOfProcessImage <> Informations"},
        {Document(4, "<ImageSet><i></i></ImageSet>"), "Invalid Tag Name:DataOfProcessImage <> GrobalInfo"},
        {Document(4, "<GrobalInfo></GrobalInfo>"), "Invalid Tag Name:DataOfProcessImage <> ImageSet"},
        {Document(4, "<GrobalInfo></GrobalInfo><ImageSet></ImageSet>"), "Invalid Tag Name:ImageSet <> i"},
        {Document(2, "<Informations><BeginTime>2023/2/29 0:0:0</BeginTime></Informations>"),
         "illigal date value"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        LwDocData d;
        EXPECT_EQ(ErrorText([&] { ReadText(d, r.text); }), r.error);
    }
}

TEST(LwDocDataImport, OldVersionsAreNeverWritten)
{
    LwDocData d;
    for (int version : {0, 2, 3, 4}) {
        SCOPED_TRACE(version);
        LwBarnXml doc("w");
        doc.OpenRack("DataOfProcessImage");
        const std::string error = ErrorText([&] {
            if (version == 0)
                d.SerializeVer0(doc);
            if (version == 2)
                d.SerializeVer2(doc);
            if (version == 3)
                d.SerializeVer3(doc);
            if (version == 4)
                d.SerializeVer4(doc);
        });
        EXPECT_EQ(error, "Prvious format data cannot save");
    }
}

TEST(LwDocDataImport, OldVersionIsWrittenBackAsVersion5)
{
    LwDocData d;
    ASSERT_TRUE(ReadText(d, Document(3, InformationsWithI0(""))));
    const std::string text = docdata_test::WrittenText(d);
    LwDocData back;
    ASSERT_TRUE(ReadText(back, text));
    EXPECT_EQ(back.InfoValue, d.InfoValue);
    // Empty texts survive as one-element lists holding the empty text.
    EXPECT_EQ(back.InfoString, d.InfoString);
    EXPECT_EQ(back.InfoString.at("ImageFormat"), std::vector<std::string>({""}));
}
