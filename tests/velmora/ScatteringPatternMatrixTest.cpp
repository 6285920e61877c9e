#include "apps/velmora/engine/HologramCalculation.h"
#include "apps/velmora/engine/LwDocPatternVelmora.h"
#include "apps/velmora/engine/ScatteringPatternMatrix.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// International Tables coefficients of iron (f0 = c + sum a exp(-b s^2)).
const char* const kIronTable =
    "Z,Ion,Name,a1,b1,a2,b2,a3,b3,a4,b4,c\r\n"
    "26,Fe,iron,11.7695,4.7611,7.3573,0.3072,3.5222,15.3535,2.3045,76.8805,1.0369\r\n";

double IronF0(double s)
{
    const double a[4] = {11.7695, 7.3573, 3.5222, 2.3045};
    const double b[4] = {4.7611, 0.3072, 15.3535, 76.8805};
    double f = 1.0369;
    for (int i = 0; i < 4; ++i)
        f += a[i] * std::exp(-b[i] * s * s);
    return f;
}

ScatteringMatrixInputs Range(double rmin, double rmax, double rstep, int division = 1)
{
    ScatteringMatrixInputs in;
    in.RMin_A = rmin;
    in.RMax_A = rmax;
    in.RStep_A = rstep;
    in.Division = division;
    return in;
}

}  // namespace

TEST(ScatteringPatternMatrix, CountsDistancesAndPoints)
{
    struct Case
    {
        const char* name;
        ScatteringMatrixInputs in;
        int rn, zn;
    } const cases[] = {
        {"form defaults", ScatteringMatrixInputs{}, 451, 1025},
        {"last step truncated", Range(1.0, 1.05, 0.02), 3, 1025},
        {"one distance", Range(2.0, 2.0, 0.1), 1, 1025},
        {"finer division", Range(1.0, 2.0, 0.5, 3), 3, 3073},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RadialCount(c.in), c.rn);
        EXPECT_EQ(CosZCount(c.in), c.zn);
    }
}

// A refused input ends the calculation before the calculation or the
// document is touched.
TEST(ScatteringPatternMatrix, RefusedInputsLeaveCalculationAndDocumentAlone)
{
    struct Case
    {
        ScatteringMatrixInputs in;
        std::string error;
    } cases[] = {
        {Range(2.0, 1.0, 0.1), "Radial range gives no distance: minimum=2 maximum=1 step=0.1"},
        {Range(1.0, 2.0, 0.0), "Radial range gives no distance: minimum=1 maximum=2 step=0"},
        {Range(1.0, 2.0, -0.1), "Radial range gives no distance: minimum=1 maximum=2 step=-0.1"},
        {Range(0.0, 10.0, 1e-6), "Radial range gives no distance: minimum=0 maximum=10 step=1e-06"},
        {Range(1.0, 2.0, 0.5, 0), "Division along kz is out of range: 0"},
        {Range(1.0, 2.0, 0.5, 65537), "Division along kz is out of range: 65537"},
        {Range(1.0, 2.0, 0.5), "Error in element name"},
        {Range(1.0, 2.0, 0.5), "Error in element name"},
    };
    cases[6].in.AtomicNumber = 0;
    cases[7].in.AtomicNumber = 104;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        HologramCalculation calc;
        LwDocPattern_CosZ doc;
        EXPECT_EQ(ErrorText([&] { CalculateScatteringPatternMatrix(calc, doc, c.in); }), c.error);
        EXPECT_EQ(calc.PhotonEnergy_eV, 0.0);
        EXPECT_EQ(doc.PointCount_, 1024);
        EXPECT_TRUE(doc.Grid.Planes.empty());
    }
}

// Column i is the hologram of the pair at r_i times r_i^l, written out: at
// z = cos(theta) the scatterer's wave has the phase k r (1 - z) and the form
// factor at s = sin(theta/2) / lambda, and falls off as 1/r (r in Angstrom).
TEST(ScatteringPatternMatrix, ColumnsAreThePairHologramWeightedByRToTheL)
{
    HologramCalculation calc;
    LoadAsfTable(calc.AsfTable, kIronTable);
    LwDocPattern_CosZ doc;
    ScatteringMatrixInputs in = Range(1.5, 2.0, 0.2);  // 1.5, 1.7, 1.9
    in.Energy_keV = 10.0;
    in.AtomicNumber = 26;
    in.RadialExponent = 2.0;
    const LwFloatMatrix image = CalculateScatteringPatternMatrix(calc, doc, in);
    ASSERT_EQ(image.ColSize, 3);
    ASSERT_EQ(image.RowSize, 1025);

    const double lambda_m =
        Reference::Planck_Js * Reference::SpeedOfLight_mps / (10000.0 * Reference::ElementaryCharge_C);
    const double k = 2 * Reference::Pi / lambda_m;
    for (int i = 0; i < 3; ++i) {
        const double r_A = 1.5 + 0.2 * i;
        for (int j = 0; j < 1025; j += 8) {
            const double z = -1.0 + 2.0 * j / 1024;
            const double s = std::sqrt((1 - z) / 2) / (lambda_m * Reference::AngstromPerMetre);
            const double expected =
                r_A * r_A * -IronF0(s) * std::cos(k * r_A * Reference::Angstrom_m * (1 - z)) / r_A;
            ASSERT_NEAR(image(i, j), expected, 2e-5 * IronF0(0) * r_A) << "r=" << r_A << " z=" << z;
        }
        // Straight ahead every distance gives -f0(0) r^(l-1).
        EXPECT_FLOAT_EQ(image(i, 1024), static_cast<float>(-IronF0(0) * r_A));
    }
    // The document holds the last distance's hologram.
    EXPECT_EQ(doc.PointCount_, 1025);
    EXPECT_NEAR(doc.Grid.Planes[0](1024, 0), -IronF0(0) / 1.9, 1e-9);
}
