// The three tables the build copies beside the binary, read by velmora's
// own readers: every line must be taken, and the numbers must be the
// published ones.
#include "apps/velmora/engine/AsfEntry.h"
#include "apps/velmora/engine/DebyeTemperatureTable.h"
#include "apps/velmora/engine/HologramCalculation.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {

std::string ShippedFile(const std::string& name)
{
    std::ifstream in(std::string(VELMORA_DATA_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name << " is not beside the test binary";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Number of lines of a text ended by `end` (the last one may lack it).
std::size_t CountLines(const std::string& text, char end)
{
    std::size_t n = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t hit = text.find(end, start);
        if (text.find_first_not_of("\r\n", start) < (hit == std::string::npos ? text.size() : hit))
            ++n;
        if (hit == std::string::npos)
            break;
        start = hit + 1;
    }
    return n;
}

// The charge an ion name states at its end ("Fe2+" 2, "Cl1-" -1, "Cval" 0).
int ChargeOfIonName(const std::string& ion)
{
    const std::size_t n = ion.size();
    if (n >= 2 && (ion[n - 1] == '+' || ion[n - 1] == '-') &&
        std::isdigit(static_cast<unsigned char>(ion[n - 2])))
        return (ion[n - 2] - '0') * (ion[n - 1] == '+' ? 1 : -1);
    return 0;
}

// Coefficients of International Tables for Crystallography Vol. C (1992),
// Table 6.1.1.4, typed from the publication.
struct Published
{
    const char* ion;
    double a[4];
    double b[4];
    double c;
};
const Published kPublished[] = {
    {"Si", {6.2915, 3.0353, 1.9891, 1.541}, {2.4386, 32.3337, 0.6785, 81.6937}, 1.1407},
    {"Fe", {11.7695, 7.3573, 3.5222, 2.3045}, {4.7611, 0.3072, 15.3535, 76.8805}, 1.0369},
    {"Cu", {13.338, 7.1676, 5.6158, 1.6735}, {3.5828, 0.247, 11.3966, 64.8126}, 1.191},
    {"Fe3+", {11.1764, 7.3863, 3.3948, 0.0724}, {4.6147, 0.3005, 11.6729, 38.5566}, 0.9707},
    {"Cl1-", {18.2915, 7.2084, 6.5337, 2.3386}, {0.0066, 1.1717, 19.5424, 60.4486}, -16.378},
    {"Cval", {2.26069, 1.56165, 1.05075, 0.839259}, {22.6907, 0.656665, 9.75618, 55.5949}, 0.286977},
};

}  // namespace

TEST(AtomicDataFiles, ScatteringTableReadsEveryLine)
{
    const std::string text = ShippedFile("velmora_AtomicScatteringTable.csv");
    AsfEntryList table;
    LoadAsfTable(table, text);
    ASSERT_GT(table.size(), 200u);
    EXPECT_EQ(table.size() + 1, CountLines(text, '\r'));  // every line but the header
    // f0(0) = sum a_i + c is the number of electrons, Z minus the charge, to
    // the accuracy of the four-Gaussian fit.
    const double kFitTolerance = 0.1;
    for (const AsfEntry& e : table) {
        SCOPED_TRACE(e.IonName);
        EXPECT_GE(e.AtomicNumber, 1);
        EXPECT_LE(e.AtomicNumber, 98);
        EXPECT_FALSE(e.Name.empty());
        EXPECT_NEAR(AtomicFormFactor(e, 0), e.AtomicNumber - ChargeOfIonName(e.IonName), kFitTolerance);
    }
    // Neutral atoms come first, so that an ion whose charge the lookup does
    // not know falls back to the neutral atom.
    for (int z = 1; z <= 98; ++z) {
        const int first = FindAsfEntry(table, z, 0);
        ASSERT_GE(first, 0) << z;
        EXPECT_EQ(ChargeOfIonName(table[first].IonName), 0) << table[first].IonName;
    }
}

TEST(AtomicDataFiles, ScatteringFactorsAgreeWithThePublishedCoefficients)
{
    AsfEntryList table;
    LoadAsfTable(table, ShippedFile("velmora_AtomicScatteringTable.csv"));
    for (const Published& p : kPublished) {
        SCOPED_TRACE(p.ion);
        const AsfEntry* entry = nullptr;
        for (const AsfEntry& e : table)
            if (e.IonName == p.ion)
                entry = &e;
        ASSERT_NE(entry, nullptr);
        for (double s : {0.0, 0.1, 0.25, 0.5, 1.0, 1.5}) {
            double f0 = p.c;
            for (int i = 0; i < 4; ++i)
                f0 += p.a[i] * std::exp(-p.b[i] * s * s);
            // The file keeps six decimals of the coefficients.
            EXPECT_NEAR(AtomicFormFactor(*entry, s), f0, 1e-4) << "s=" << s;
        }
    }
}

TEST(AtomicDataFiles, AtomicWeightsReadEveryLine)
{
    const std::string text = ShippedFile("AtomicWeight.txt");
    std::vector<double> weights;
    HologramCalculation::LoadAtomicWeight(weights, text);
    ASSERT_EQ(weights.size(), CountLines(text, '\n') + 1);
    ASSERT_EQ(weights.size(), 104u);
    EXPECT_EQ(weights[0], 0.0);
    EXPECT_EQ(weights[1], 1.00794);
    EXPECT_EQ(weights[3], 6.941);
    EXPECT_EQ(weights[6], 12.0107);
    EXPECT_EQ(weights[26], 55.845);
    EXPECT_EQ(weights[79], 196.96655);
    for (std::size_t z = 1; z < weights.size(); ++z)
        EXPECT_GE(weights[z], static_cast<double>(z)) << z;
}

TEST(AtomicDataFiles, DebyeTemperaturesReadEveryLine)
{
    const std::string text = ShippedFile("DebyeTemperature_K.txt");
    DebyeTemperatureMap table;
    LoadDebyeTemperature(table, text);
    std::size_t comments = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        comments += !line.empty() && line[0] == '#';
    EXPECT_EQ(table.size() + comments, CountLines(text, '\n'));
    EXPECT_EQ(DebyeTemperatureText(table, 13), "428");
    EXPECT_EQ(DebyeTemperatureText(table, 26), "470");
    EXPECT_EQ(DebyeTemperatureText(table, 29), "343");
    EXPECT_EQ(DebyeTemperatureText(table, 80), "71.9");
    for (const auto& entry : table)
        EXPECT_GT(entry.second, 0) << entry.first;
}
