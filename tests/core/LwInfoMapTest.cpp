#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwInfoMap.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(LwInfoMap, SetInfoValueAddsOneElementList)
{
    LwInfoValueMap map;
    SetInfoValue(map, "ExposureTime", 2.5);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map["ExposureTime"], std::vector<double>({2.5}));
}

TEST(LwInfoMap, SetInfoValueReplacesOnlyTheFirstNumber)
{
    LwInfoValueMap map{{"k", {1.0, 2.0, 3.0}}, {"other", {9.0}}};
    SetInfoValue(map, "k", -7.0);
    EXPECT_EQ(map["k"], std::vector<double>({-7.0, 2.0, 3.0}));
    EXPECT_EQ(map["other"], std::vector<double>({9.0}));
}

TEST(LwInfoMap, SetInfoStringAddsAndReplaces)
{
    LwInfoStringMap map;
    SetInfoString(map, "Comment", "first");
    SetInfoString(map, "Comment", "second");
    EXPECT_EQ(map["Comment"], std::vector<std::string>({"second"}));
    map["List"] = {"a", "b"};
    SetInfoString(map, "List", "");
    EXPECT_EQ(map["List"], std::vector<std::string>({"", "b"}));
}

TEST(LwInfoMap, KeysAreOrderedBytewise)
{
    LwInfoStringMap map;
    for (const char* key : {"b", "B", "a", "_x", "\xC3\xA9"})
        SetInfoString(map, key, "v");
    std::vector<std::string> keys;
    for (const auto& entry : map)
        keys.push_back(entry.first);
    EXPECT_EQ(keys, std::vector<std::string>({"B", "_x", "a", "b", "\xC3\xA9"}));
}

// ---- map racks --------------------------------------------------------------

namespace {

std::string WrittenMaps(LwInfoValueMap values, LwInfoStringMap texts)
{
    LwBarnXml doc("w");
    doc.OpenRack("GlobalInfo");
    EXPECT_TRUE(SerializeValueMap(values, doc, "InfoValue"));
    EXPECT_TRUE(SerializeTextMap(texts, doc, "InfoString"));
    doc.CloseRack("GlobalInfo");
    return barn_test::WrittenText(doc);
}

}  // namespace

TEST(LwInfoMapRack, WrittenLayout)
{
    const std::string text = WrittenMaps({{"b", {1.5, -2}}, {"a", {0.1234567}}}, {{"Comment", {"x<y", "&"}}});
    EXPECT_EQ(text, "<GlobalInfo><InfoValue><i><key>a</key>\n<val>0.123457</val>\n</i>\n"
                    "<i><key>b</key>\n<val>1.5</val>\n<val>-2</val>\n</i>\n</InfoValue>\n"
                    "<InfoString><i><key>Comment</key>\n<value>x&lt;y</value>\n<value>&amp;</value>\n</i>\n"
                    "</InfoString>\n</GlobalInfo>\n");
}

TEST(LwInfoMapRack, EmptyMapsWriteEmptyRacks)
{
    EXPECT_EQ(WrittenMaps({}, {}),
              "<GlobalInfo><InfoValue></InfoValue>\n<InfoString></InfoString>\n</GlobalInfo>\n");
}

TEST(LwInfoMapRack, RoundTripKeepsListsAndEscapedTexts)
{
    // Numbers of at most six significant digits survive the text form exactly.
    const LwInfoValueMap values{{"__XFH.PhotonEnergy_eV", {8047.82}}, {"three", {1, -2.5e-7, 3e20}}};
    const LwInfoStringMap texts{{"__SphereProjection.Name", {"AzimuthalEquidistant"}},
                                {"k&<>\"", {"a\"b", "", "&amp;"}}};
    auto doc = barn_test::Parse(WrittenMaps(values, texts));
    ASSERT_TRUE(doc->OpenRack("GlobalInfo"));
    LwInfoValueMap valuesBack{{"old", {1}}};
    LwInfoStringMap textsBack{{"old", {"x"}}};
    EXPECT_TRUE(SerializeValueMap(valuesBack, *doc, "InfoValue"));
    EXPECT_TRUE(SerializeTextMap(textsBack, *doc, "InfoString"));
    EXPECT_NO_THROW(doc->CloseRack("GlobalInfo"));
    EXPECT_EQ(valuesBack, values);
    EXPECT_EQ(textsBack, texts);
}

TEST(LwInfoMapRack, ReadingDropsEmptyKeysEmptyListsAndRepeats)
{
    const struct
    {
        const char* items;
        LwInfoValueMap expected;
        const char* why;
    } rows[] = {
        {"<i><key></key><val>1</val></i>", {}, "empty key"},
        {"<i><val>1</val></i>", {}, "missing key"},
        {"<i><key>k</key></i>", {}, "no val"},
        {"<i><key>k</key><value>1</value></i>", {}, "text item in the number map"},
        {"<i><key>k</key><val>1</val></i><i><key>k</key><val>2</val></i>", {{"k", {1}}}, "first wins"},
        {"<i><key>k</key><val>abc</val><val>4</val></i>", {{"k", {0, 4}}}, "no number reads as 0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        auto doc = barn_test::Parse(std::string("<d><InfoValue>") + r.items + "</InfoValue></d>");
        ASSERT_TRUE(doc->OpenRack("d"));
        LwInfoValueMap map;
        EXPECT_TRUE(SerializeValueMap(map, *doc, "InfoValue"));
        EXPECT_EQ(map, r.expected);
        EXPECT_NO_THROW(doc->CloseRack("d"));
    }
}

TEST(LwInfoMapRack, MissingRackEmptiesTheMapAndReturnsFalse)
{
    auto doc = barn_test::Parse("<d><InfoValue></InfoValue></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    LwInfoStringMap texts{{"k", {"v"}}};
    EXPECT_FALSE(SerializeTextMap(texts, *doc, "InfoString"));
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(doc->CurrentRack()->GetName(), "d");
}

TEST(LwInfoMapRack, ForeignRackInsideAnItemIsIgnored)
{
    auto doc =
        barn_test::Parse("<d><InfoString><i><key>k</key><value>v</value><junk>1</junk></i></InfoString></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    LwInfoStringMap texts;
    EXPECT_TRUE(SerializeTextMap(texts, *doc, "InfoString"));
    EXPECT_EQ(texts, (LwInfoStringMap{{"k", {"v"}}}));
}
