#include "LwInfoMap.h"

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
    for (const char* key : {"b", "B", "a", "_x", "\xC3\xA9"}) SetInfoString(map, key, "v");
    std::vector<std::string> keys;
    for (const auto& entry : map) keys.push_back(entry.first);
    EXPECT_EQ(keys, std::vector<std::string>({"B", "_x", "a", "b", "\xC3\xA9"}));
}
