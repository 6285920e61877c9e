#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"
#include "PhysicsTestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <stdexcept>

using physics_test::ShippedAtomicWeightText;

TEST(LwAtomName, KnownSymbolsGiveTheirAtomicNumbers)
{
    const struct
    {
        const char* symbol;
        int z;
    } cases[] = {
        {"H", 1}, {"He", 2}, {"Fe", 26}, {"Cu", 29}, {"Bk", 97}, {"Lr", 103},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.symbol);
        LwAtomName name;
        name.SetAtomName(c.symbol);
        EXPECT_EQ(name.GetAtomicNumber(), c.z);
        EXPECT_EQ(name.GetAtomName(), c.symbol);
    }
}

// The element symbols of the shipped atomic-weight table come from an
// independent source (the generator script's periodic table); every one must
// round-trip through the element table in both directions.
TEST(LwAtomName, EverySymbolFromHydrogenToLawrenciumRoundTrips)
{
    const std::string text = ShippedAtomicWeightText();
    std::vector<std::string> lines, fields;
    SplitLines(lines, text);
    ASSERT_EQ(lines.size(), 103u);
    for (const std::string& line : lines) {
        SplitFields(fields, line);
        ASSERT_GE(fields.size(), 2u) << line;
        SCOPED_TRACE(line);
        const int z = StringToInt(fields[0]);
        LwAtomName bySymbol;
        bySymbol.SetAtomName(fields[1]);
        EXPECT_EQ(bySymbol.GetAtomicNumber(), z);
        LwAtomName byNumber;
        byNumber.SetAtomicNumber(z);
        EXPECT_EQ(byNumber.GetAtomName(), fields[1]);
    }
}

TEST(LwAtomName, SymbolTableHas104DistinctEntriesStartingWithTheEmptyText)
{
    std::vector<std::string> table{"left over"};
    LwAtomName::MakeSymbolTable(table);
    ASSERT_EQ(table.size(), 104u);
    EXPECT_EQ(table[0], "");
    std::set<std::string> distinct(table.begin(), table.end());
    EXPECT_EQ(distinct.size(), 104u);
    for (std::size_t z = 1; z < table.size(); ++z) {
        SCOPED_TRACE(table[z]);
        const std::string& s = table[z];
        ASSERT_TRUE(s.size() == 1 || s.size() == 2);
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(s[0])));
        if (s.size() == 2) {
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(s[1])));
        }
    }
}

TEST(LwAtomName, EmptySymbolIsAtomicNumberZero)
{
    LwAtomName name;
    name.SetAtomName("Fe");
    name.SetAtomName("");
    EXPECT_EQ(name.GetAtomicNumber(), 0);
    EXPECT_EQ(name.GetAtomName(), "");
}

TEST(LwAtomName, SymbolsAreMatchedExactly)
{
    // Case and surrounding blanks matter; nothing is trimmed.
    const char* const bad[] = {"fe", "FE", " Fe", "Fe ", "Fe\t", "Xx", "Uuo", "26"};
    for (const char* symbol : bad) {
        SCOPED_TRACE(std::string("[") + symbol + "]");
        LwAtomName name;
        name.SetAtomName("Cu");
        try {
            name.SetAtomName(symbol);
            ADD_FAILURE() << "no error";
        } catch (const LwError& e) {
            EXPECT_EQ(e.Message(), "Error in element name");
        }
        EXPECT_EQ(name.GetAtomicNumber(), 29);
        EXPECT_EQ(name.GetAtomName(), "Cu");
    }
}

TEST(LwAtomName, AtomicNumberOutsideTheTableIsRefused)
{
    LwAtomName name;
    name.SetAtomicNumber(0);
    EXPECT_EQ(name.GetAtomName(), "");
    name.SetAtomicNumber(103);
    EXPECT_EQ(name.GetAtomName(), "Lr");
    for (int z : {104, -1}) {
        SCOPED_TRACE(z);
        EXPECT_THROW(name.SetAtomicNumber(z), std::out_of_range);
        EXPECT_EQ(name.GetAtomicNumber(), 103);
        EXPECT_EQ(name.GetAtomName(), "Lr");
    }
}
