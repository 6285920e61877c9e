// Command messages: the numbered tables of both programs, the request texts
// of the protocol, the shared argument elements, colour clamping, the call
// element's errors and replies that are malformed.
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwCmdPackUnpack.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::string TextOf(const LwCmdPackUnpack& m)
{
    std::string text;
    m.Packer().ToText(text);
    return text;
}

TEST(LwCmdPackUnpack, TablesOfBothPrograms)
{
    LwCmdPackUnpack halvane("w");
    LwCmdPackUnpack velmora("w", LwCommandTable::Velmora);
    EXPECT_EQ(108u, halvane.FunctionCount());
    EXPECT_EQ(104u, velmora.FunctionCount());
    std::set<std::string> names;
    for (int n = 1; n <= 109; ++n) {
        SCOPED_TRACE(n);
        const std::string name = halvane.FunctionName(n);
        EXPECT_EQ(n == 36, name.empty());
        if (!name.empty()) {
            EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
        }
        EXPECT_EQ(n <= 105 ? name : std::string(), velmora.FunctionName(n));
    }
    struct Entry
    {
        std::int32_t number;
        const char* name;
    };
    for (const Entry& e :
         {Entry{1, "Update"}, Entry{35, "RegionDrawingAdd"}, Entry{37, "RegionPolygonGetVertexList"},
          Entry{77, "FIImageGetBySharedMemory"}, Entry{78, "FIImageSetBySharedMemory"},
          Entry{93, "SeriesSaveRenew"}, Entry{104, "GetIsLoaded"}, Entry{105, "SetIsLoaded"},
          Entry{106, "FIWaveSetWithColor"}, Entry{109, "RegionGetListIdIMinMaxAverageColor"}}) {
        EXPECT_EQ(e.name, halvane.FunctionName(e.number));
    }
}

TEST(LwCmdPackUnpack, NumbersOutsideTheTableAreRefusedBeforeWriting)
{
    for (std::int32_t n : {36, 0, 110, -1}) {
        SCOPED_TRACE(n);
        LwCmdPackUnpack m("w");
        m.OpenCmd();
        EXPECT_EQ("Undefiend function number", ErrorText([&] { m.SetFunctionNumber(n); }));
        m.CloseCmd();
        EXPECT_EQ("<vra><i0></i0>\n</vra>\n", TextOf(m));
    }
    for (std::int32_t n : {106, 107, 108, 109}) {
        SCOPED_TRACE(n);
        LwCmdPackUnpack m("w", LwCommandTable::Velmora);
        EXPECT_EQ("Undefiend function number", ErrorText([&] { m.SetFunctionNumber(n); }));
        LwCmdPackUnpack h("w");
        EXPECT_EQ("(no error)", ErrorText([&] { h.SetFunctionNumber(n); }));
    }
}

TEST(LwCmdPackUnpack, RequestTextsOfTheProtocol)
{
    LwCmdPackUnpack update("w");
    update.OpenCmd();
    update.SetFunctionNumber(LwCmdPackUnpack::CmdUpdate);
    update.CloseCmd();
    EXPECT_EQ("<vra><i0><cmd>Update</cmd>\n</i0>\n</vra>\n", TextOf(update));

    LwCmdPackUnpack region("w");
    region.OpenCmd();
    region.SetFunctionNumber(LwCmdPackUnpack::CmdRegionAdd);
    std::int32_t window = 2;
    region.PackUnpackWindowID(window);
    std::string type = "ELLIPSE", name;
    float cx = 100, cy = 120, w = 41, h = 41;
    LwColorRgb red{255, 0, 0};
    bool movable = false;
    region.PackUnpackRegion(type, cx, cy, w, h, red, movable, name);
    region.CloseCmd();
    EXPECT_EQ("<vra><i0><cmd>RegionAdd</cmd>\n<IDDocChildWindow>2</IDDocChildWindow>\n"
              "<regionType>ELLIPSE</regionType>\n<cx>100</cx>\n<cy>120</cy>\n<w>41</w>\n<h>41</h>\n"
              "<color><r>255</r>\n<g>0</g>\n<b>0</b>\n</color>\n<isMovable>false</isMovable>\n"
              "<name></name>\n</i0>\n</vra>\n",
              TextOf(region));
    EXPECT_TRUE(region.CreatesObject());
    EXPECT_FALSE(update.CreatesObject());

    // Escaped names, six significant digits, the index and velmora's elements.
    LwCmdPackUnpack other("w", LwCommandTable::Velmora);
    other.OpenCmd();
    other.SetFunctionNumber(LwCmdPackUnpack::CmdSeriesImageSave);
    std::int32_t index = 3;
    other.PackUnpackIndex(index);
    std::string file = "a&b.xml_vra", caption = "P<1>";
    float big = 1234567;
    other.PutFilenameUtf8(file);
    other.PutCaption(caption);
    other.FloatValue("cx", big);
    LwPackUnpack::DoubleMap keys{{"X", {12000}}};
    other.PutSeriesIndexKeyDouble(keys);
    other.CloseCmd();
    EXPECT_EQ("<vra><i0><cmd>SeriesImageSave</cmd>\n<index>3</index>\n<filenameUtf8>a&amp;b.xml_vra</"
              "filenameUtf8>\n"
              "<caption>P&lt;1&gt;</caption>\n<cx>1.23457e+06</cx>\n"
              "<SeriesIndexKeyDouble><i><key>X</key>\n<val>12000</val>\n</i>\n</SeriesIndexKeyDouble>\n"
              "</i0>\n</vra>\n",
              TextOf(other));
}

TEST(LwCmdPackUnpack, ColoursTravelUnclampedAndAreClampedAfterwards)
{
    LwCmdPackUnpack request("w");
    request.OpenCmd();
    LwColorRgb c{300, -5, 128};
    EXPECT_TRUE(request.PackUnpackColor("color", c));
    request.CloseCmd();
    EXPECT_EQ("<vra><i0><color><r>300</r>\n<g>-5</g>\n<b>128</b>\n</color>\n</i0>\n</vra>\n",
              TextOf(request));
    EXPECT_EQ(255, c.r);
    EXPECT_EQ(0, c.g);
    EXPECT_EQ(128, c.b);

    LwCmdPackUnpack reply("r");
    reply.Packer().FromText("<vra><i0><color><r>300</r>\n<g>-5</g>\n<b>128</b>\n</color>\n</i0>\n</vra>\n");
    ASSERT_TRUE(reply.OpenCmd());
    LwColorRgb read{1, 2, 3};
    EXPECT_TRUE(reply.PackUnpackColor("color", read));
    EXPECT_EQ(255, read.r);
    EXPECT_EQ(0, read.g);
    EXPECT_EQ(128, read.b);
    LwColorRgb absent{1, 2, 3};
    EXPECT_FALSE(reply.PackUnpackColor("color", absent));  // the one element was consumed
    EXPECT_EQ(1, absent.r);
    EXPECT_EQ(3, absent.b);
    reply.CloseCmd();
}

TEST(LwCmdPackUnpack, RepliesAreReadByKey)
{
    LwCmdPackUnpack reply("r");
    reply.Packer().FromText("<vra><i0><extra>1</extra>\n<isModeImage>true</isModeImage>\n"
                            "<IDList><LwLongMatrixBinary><ColSize>1</ColSize>\n<ColBegin>0</ColBegin>\n"
                            "<RowSize>0</RowSize>\n<RowBegin>0</RowBegin>\n<base64></base64>\n"
                            "</LwLongMatrixBinary>\n</IDList>\n</i0>\n</vra>\n");
    ASSERT_TRUE(reply.OpenCmd());
    bool mode = false;
    EXPECT_TRUE(reply.Packer().PackUnpackBool("isModeImage", mode));
    EXPECT_TRUE(mode);
    LwInt32Matrix ids(2, 2);
    EXPECT_TRUE(reply.PackUnpackIDList(ids));
    EXPECT_EQ(0, ids.ElementCount());
    std::int32_t window = -1;
    EXPECT_FALSE(reply.PackUnpackWindowID(window));
    EXPECT_EQ(-1, window);
    EXPECT_EQ("(no error)", ErrorText([&] { reply.CloseCmd(); }));
}

// Malformed replies end in an error text or in absent values, never in a crash.
TEST(LwCmdPackUnpack, MalformedRepliesGiveErrorsInWords)
{
    const std::string closeSignatures =
        "/void LwCmdPackUnpack::CloseCmdIndex(int32_t)/void LwCmdPackUnpack::CloseCmd()";
    struct Case
    {
        const char* what;
        std::string reply;
        std::string fromText;  // error of FromText
        std::string close;  // error of CloseCmd after OpenCmd
    };
    const std::vector<Case> cases = {
        {"empty", "", "(no error)", "Over CloseRack" + closeSignatures},
        {"no call element", "<vra></vra>\n", "(no error)", "Invalid Tag Name:vra <> i0" + closeSignatures},
        {"no root", "<i0><v>1</v>\n</i0>\n", "(no error)", "(no error)"},
        {"cut off inside a tag", "<vra><i0><isModeIm", "Illigal Tag Structure",
         "Over CloseRack" + closeSignatures},
        {"cut off after a tag", "<vra><i0><isModeImage>tr", "(no error)", "(no error)"},
        {"surplus closing tags", "<vra><i0></i0>\n</i0>\n</vra>\n</vra>\n<x>", "Illigal Tag Structure",
         "Over CloseRack" + closeSignatures},
        {"garbage", "\x01\xff<<>>&&;", "(no error)", "Over CloseRack" + closeSignatures},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwCmdPackUnpack reply("r");
        EXPECT_EQ(c.fromText, ErrorText([&] { reply.Packer().FromText(c.reply); }));
        bool mode = false;
        std::string close = ErrorText([&] {
            reply.OpenCmd();
            reply.Packer().PackUnpackBool("isModeImage", mode);
            reply.CloseCmd();
        });
        EXPECT_EQ(c.close, close);
    }
}

}  // namespace
