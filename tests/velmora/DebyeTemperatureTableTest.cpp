#include "apps/velmora/engine/DebyeTemperatureTable.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

TEST(DebyeTemperatureTable, ReadsEntriesAndPassesOverComments)
{
    DebyeTemperatureMap table;
    LoadDebyeTemperature(table, "# header\r\n13 Al 428\n#26 Fe 1\n\n26 Fe 470 extra\r29,Cu,343.5\n13 Al 470");
    // the last line has no line break and is read all the same
    EXPECT_EQ(table.size(), 4u);
    EXPECT_EQ(DebyeTemperatureText(table, 13), "428,470");
    EXPECT_EQ(DebyeTemperatureText(table, 26), "470");
    EXPECT_EQ(DebyeTemperatureText(table, 29), "343.5");
    EXPECT_EQ(DebyeTemperatureText(table, 79), "not listed");
}

TEST(DebyeTemperatureTable, WritesSixSignificantDigits)
{
    DebyeTemperatureMap table{{80, 71.9}, {80, 1234567.0}};
    EXPECT_EQ(DebyeTemperatureText(table, 80), "71.9,1.23457e+06");
}

TEST(DebyeTemperatureTable, RefusesLinesThatDoNotFit)
{
    struct Case
    {
        const char* text;
        const char* error;
        std::size_t kept;
    };
    const Case cases[] = {
        {"13 Al 428\n26 Fe 470\n29 cu 343\n", "Atomic number and Element is not correct", 2},
        {"13 Al 428\n14 Al 645\n", "Atomic number and Element is not correct", 1},
        {"13 Al 428\n104 Xx 1\n", "Illegal atomic number in Debye temperature file: 104", 1},
        {"13 Al\n", "Debye temperature file: too few fields in line 1", 0},
        {"13 Al 428\n# c\n26\n", "Debye temperature file: too few fields in line 3", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DebyeTemperatureMap table;
        EXPECT_EQ(ErrorText([&] { LoadDebyeTemperature(table, c.text); }), c.error);
        EXPECT_EQ(table.size(), c.kept);
    }
}
