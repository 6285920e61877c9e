#include "apps/velmora/engine/AsfEntry.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct IonCase
{
    const char* ion;
    int z;
    const char* symbol;
    int valence;
};

// The charge suffixes the reader knows, and the ones it does not.
const IonCase kIonCases[] = {
    {"Fe", 26, "Fe", 0},       {"Fe2+", 26, "Fe", 2}, {"Fe3+", 26, "Fe", 3},
    {"Cl1-", 17, "Cl", -1},    {"Li1+", 3, "Li", 1},  {"Mo6+", 42, "Mo", 6},
    {"Cval", 6, "Cval", -100}, {"O2-", 8, "O", 0},  // no tested suffix: read as neutral
    {"Ta5+", 73, "Ta", 5},
};

}  // namespace

TEST(AsfEntry, SetIonReadsTheChargeSuffix)
{
    for (const IonCase& c : kIonCases) {
        SCOPED_TRACE(c.ion);
        AsfEntry e;
        e.SetIon(c.ion, c.z);
        EXPECT_EQ(e.IonName, c.ion);
        EXPECT_EQ(e.AtomicNumber, c.z);
        EXPECT_EQ(e.Symbol, c.symbol);
        EXPECT_EQ(e.Valence, c.valence);
    }
}

TEST(AsfEntry, SetIonRefusesAnAtomicNumberOutsideTheElementTable)
{
    AsfEntry e;
    e.SetIon("Fe", 26);
    EXPECT_EQ(ErrorText([&] { e.SetIon("X", 104); }),
              "Illegal atomic number in atomic scattering table: 104");
    EXPECT_EQ(ErrorText([&] { e.SetIon("X", -1); }), "Illegal atomic number in atomic scattering table: -1");
    EXPECT_EQ(e.IonName, "Fe");
    EXPECT_EQ(e.AtomicNumber, 26);
}

TEST(AsfEntry, LoadAsfTableReadsCrSeparatedLines)
{
    const std::string text = "Z,Ion,Name,a1,b1,a2,b2,a3,b3,a4,b4,c\r\n"
                             "26,Fe2+,iron,1,2,3,4,5,6,7,8,9,extra\r\n"
                             "too,few,fields\r\n"
                             "8,O,oxygen,0.5,,x,1e1,,,,,-0.25\r\n";
    AsfEntryList table(1);  // entries already present stay
    LoadAsfTable(table, text);
    ASSERT_EQ(table.size(), 3u);
    const AsfEntry& fe = table[1];
    EXPECT_EQ(fe.AtomicNumber, 26);
    EXPECT_EQ(fe.Valence, 2);
    EXPECT_EQ(fe.Symbol, "Fe");
    EXPECT_EQ(fe.Name, "iron");
    EXPECT_EQ(fe.A, (std::vector<double>{1, 3, 5, 7}));
    EXPECT_EQ(fe.B, (std::vector<double>{2, 4, 6, 8}));
    EXPECT_EQ(fe.C, 9);
    const AsfEntry& o = table[2];
    EXPECT_EQ(o.AtomicNumber, 8);
    EXPECT_EQ(o.A, (std::vector<double>{0.5, 0, 0, 0}));  // empty and bad fields read as 0
    EXPECT_EQ(o.B, (std::vector<double>{0, 10, 0, 0}));
    EXPECT_EQ(o.C, -0.25);
}

TEST(AsfEntry, LoadAsfTableYieldsNothingWithoutCarriageReturns)
{
    const std::string row = "26,Fe,iron,1,2,3,4,5,6,7,8,9";
    for (const std::string& text : {std::string("header\n") + row + "\n" + row + "\n",
                                    std::string("header only\r\n"), std::string(""), row}) {
        SCOPED_TRACE(text);
        AsfEntryList table;
        LoadAsfTable(table, text);
        EXPECT_TRUE(table.empty());
    }
}

TEST(AsfEntry, AtomicFormFactorSumsTheGaussiansOntoC)
{
    AsfEntry e;
    e.A = {11.7695, 7.3573, 3.5222, 2.3045};
    e.B = {4.7611, 0.3072, 15.3535, 76.8805};
    e.C = 1.0369;
    EXPECT_DOUBLE_EQ(AtomicFormFactor(e, 0), 11.7695 + 7.3573 + 3.5222 + 2.3045 + 1.0369);
    const double s = 0.3;
    const double expected = 1.0369 + 11.7695 * std::exp(-4.7611 * 0.09) + 7.3573 * std::exp(-0.3072 * 0.09) +
                            3.5222 * std::exp(-15.3535 * 0.09) + 2.3045 * std::exp(-76.8805 * 0.09);
    EXPECT_NEAR(AtomicFormFactor(e, s), expected, 1e-13);
}

TEST(AsfEntry, FindAsfEntryGivesTheFirstMatch)
{
    AsfEntryList table(4);
    table[0].SetIon("Fe", 26);
    table[1].SetIon("Fe2+", 26);
    table[2].SetIon("O2-", 8);  // valence 0 as well
    table[3].SetIon("O", 8);
    EXPECT_EQ(FindAsfEntry(table, 26, 2), 1);
    EXPECT_EQ(FindAsfEntry(table, 26, 0), 0);
    EXPECT_EQ(FindAsfEntry(table, 8, 0), 2);
    EXPECT_EQ(FindAsfEntry(table, 26, 3), -1);
    EXPECT_EQ(FindAsfEntry(table, 29, 0), -1);
    EXPECT_EQ(FindAsfEntry(AsfEntryList(), 26, 0), -1);
}
