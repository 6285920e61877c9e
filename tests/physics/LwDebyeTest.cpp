#include "core/LwError.h"
#include "physics/LwDebye.h"
#include "physics/LwVectorFreeElectron.h"
#include "ErrorText.h"
#include "PhysicsTestSupport.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using physics_test::ShippedAtomicWeightText;

namespace {

// GetMSD and the Einstein model are a handful of double operations; the closed
// forms below are evaluated in long double from the defining constants, so
// the two differ by a few double roundings.
constexpr double kModelTolerance = 16 * DBL_EPSILON;

// U = 3 hbar^2 T / (M u kB ThetaD^2), the high-temperature Debye model.
long double DebyeClosedForm(long double t, long double mass, long double theta)
{
    const long double hbar = Reference::PlanckLong_Js / (2 * Reference::PiLong);
    return 3 * hbar * hbar * t /
           (mass * Reference::AtomicMassUnitLong_kg * Reference::BoltzmannLong_JperK * theta * theta);
}

void ExpectRelativelyNear(long double actual, long double expected, double tolerance)
{
    EXPECT_LE(std::fabs(actual - expected), tolerance * std::fabs(expected))
        << "actual " << static_cast<double>(actual) << " expected " << static_cast<double>(expected);
}

// A wave whose sources carry the given atomic numbers and U = -1 (unset).
LwVectorFreeElectron WaveOf(std::initializer_list<int> atomicNumbers)
{
    LwVectorFreeElectron wave;
    for (int z : atomicNumbers) {
        LwPartialWaveSource source;
        source.SetAtomicNumber(z);
        source.SetU(-1.0);
        wave.Sources().push_back(source);
    }
    return wave;
}

double UOf(const LwVectorFreeElectron& wave, std::size_t i)
{
    return wave.Sources().at(i).GetU();
}

LwDebye ShippedTable()
{
    LwDebye debye;
    debye.LoadAtomicWeight(ShippedAtomicWeightText());
    return debye;
}

}  // namespace

TEST(LwDebye, LoadsOneWeightPerLineAfterEntryZero)
{
    const char* const texts[] = {
        "1 H hydrogen 1.008\n2 He helium 4.0026\n3 Li lithium 6.94",
        "1 H hydrogen 1.008\n2 He helium 4.0026\n3 Li lithium 6.94\n",  // final break
        "1 H hydrogen 1.008\r\n2 He helium 4.0026\r\n3 Li lithium 6.94\r\n",  // CR LF
        "1,H,hydrogen,1.008\r2\tHe\thelium\t4.0026\r3 , Li,lithium , 6.94 extra",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        LwDebye debye;
        debye.LoadAtomicWeight(text);
        EXPECT_EQ(debye.Table(), (std::vector<double>{0.0, 1.008, 4.0026, 6.94}));
    }
}

TEST(LwDebye, LineOutOfOrderStopsTheLoad)
{
    LwDebye debye;
    EXPECT_EQ(ErrorText([&] { debye.LoadAtomicWeight("1 H h 1.008\n3 Li l 6.94\n"); }),
              "Debye:LoadAtomicWeight File: order is not correct.");
    EXPECT_EQ(debye.Table(), (std::vector<double>{0.0, 1.008}));
}

TEST(LwDebye, ShortOrEmptyLineIsAnError)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"1 H h 1.008\n2 He 4.0026\n", "Debye:LoadAtomicWeight File: too few fields in line 2"},
        {"1 H h 1.008\n\n2 He h 4.0026\n", "Debye:LoadAtomicWeight File: too few fields in line 2"},
        {"1\n", "Debye:LoadAtomicWeight File: too few fields in line 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LwDebye debye;
        EXPECT_EQ(ErrorText([&] { debye.LoadAtomicWeight(c.text); }), c.message);
    }
}

TEST(LwDebye, AtomicWeightOutsideTheTableNamesTheNumber)
{
    LwDebye debye;
    debye.LoadAtomicWeight("1 H h 1.008\n2 He h 4.0026\n");
    EXPECT_EQ(debye.GetAtoicWeight(2), 4.0026);
    for (int z : {0, -1, 3}) {
        SCOPED_TRACE(z);
        EXPECT_EQ(ErrorText([&] { debye.GetAtoicWeight(z); }),
                  "LwDebye::GetAtoicWeight(), not good atomic number=" + std::to_string(z));
    }
    LwDebye empty;
    empty.LoadAtomicWeight("");
    EXPECT_EQ(empty.Table(), std::vector<double>{0.0});
    EXPECT_EQ(ErrorText([&] { empty.GetMSD(300, 1, 300); }),
              "LwDebye::GetAtoicWeight(), not good atomic number=1");
}

TEST(LwDebye, ShippedTableCoversHydrogenToLawrencium)
{
    const LwDebye debye = ShippedTable();
    ASSERT_EQ(debye.Table().size(), 104u);
    // Standard atomic weights (IUPAC).
    EXPECT_DOUBLE_EQ(debye.GetAtoicWeight(1), 1.00794);
    EXPECT_DOUBLE_EQ(debye.GetAtoicWeight(26), 55.845);
    EXPECT_DOUBLE_EQ(debye.GetAtoicWeight(29), 63.546);
    for (int z = 1; z <= 103; ++z) {
        // A nucleus holds Z protons and at least as many neutrons, at most
        // about 1.6 times as many.
        EXPECT_GE(debye.GetAtoicWeight(z), z) << "Z=" << z;
        EXPECT_LE(debye.GetAtoicWeight(z), 2.6 * z) << "Z=" << z;
    }
}

TEST(LwDebye, MsdNeedsALoadedTable)
{
    LwDebye debye;
    EXPECT_EQ(ErrorText([&] { debye.GetMSD(300, 29, 343); }), "Atomic weight parameter is not loaded");
}

TEST(LwDebye, MsdIsZeroForNonPositiveDebyeTemperature)
{
    const LwDebye debye = ShippedTable();
    for (double theta : {0.0, -1.0, -343.0}) {
        SCOPED_TRACE(theta);
        EXPECT_EQ(debye.GetMSD(300, 29, theta), 0.0);
        EXPECT_EQ(debye.GetMSD(300, 500, theta), 0.0);  // Z is not looked up
    }
}

TEST(LwDebye, MsdMatchesTheDebyeClosedForm)
{
    const LwDebye debye = ShippedTable();
    // Copper at room temperature: 5.8396e-23 m^2 (0.0058 A^2).
    EXPECT_NEAR(debye.GetMSD(300, 29, 343), 5.8396e-23, 0.00005e-23);

    const struct
    {
        double t;
        int z;
        double theta;
    } cases[] = {
        {300, 29, 343}, {10, 1, 122}, {77, 26, 470}, {1000, 79, 165}, {0, 14, 645}, {300, 103, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "T=" << c.t << " Z=" << c.z << " ThetaD=" << c.theta);
        const double mass = debye.GetAtoicWeight(c.z);
        ExpectRelativelyNear(debye.GetMSD(c.t, c.z, c.theta), DebyeClosedForm(c.t, mass, c.theta),
                             kModelTolerance);
    }
}

TEST(LwDebye, MsdScalesAsTOverMassTimesThetaSquared)
{
    const LwDebye debye = ShippedTable();
    const double reference = debye.GetMSD(300, 29, 343) * debye.GetAtoicWeight(29) * 343.0 * 343.0 / 300.0;
    const struct
    {
        double t;
        int z;
        double theta;
    } cases[] = {
        {600, 29, 343}, {300, 29, 686}, {300, 79, 343}, {50, 6, 2230}, {1234.5, 47, 225},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "T=" << c.t << " Z=" << c.z << " ThetaD=" << c.theta);
        const double u = debye.GetMSD(c.t, c.z, c.theta);
        ExpectRelativelyNear(u * debye.GetAtoicWeight(c.z) * c.theta * c.theta / c.t, reference,
                             kModelTolerance);
    }
}

TEST(LwDebye, DebyeModelSetsEverySourceFromItsElement)
{
    const LwDebye debye = ShippedTable();
    LwDocFluctuation fluctuation;
    fluctuation.Temperature_K_ = 300;
    fluctuation.DebyeElement_ = {"Cu", "O", "Cu"};
    fluctuation.DebyeTemperature_K_ = {343, 500, 100};  // the second Cu is ignored
    LwVectorFreeElectron wave = WaveOf({29, 8, 29});
    SetDebyeModel(fluctuation, wave, debye);
    const double uCu = static_cast<double>(DebyeClosedForm(300, 63.546, 343));
    ExpectRelativelyNear(UOf(wave, 0), uCu, kModelTolerance);
    ExpectRelativelyNear(UOf(wave, 1), DebyeClosedForm(300, debye.GetAtoicWeight(8), 500), kModelTolerance);
    EXPECT_EQ(UOf(wave, 2), UOf(wave, 0));
}

TEST(LwDebye, DebyeModelFailures)
{
    const LwDebye debye = ShippedTable();
    LwDocFluctuation fluctuation;
    fluctuation.Temperature_K_ = 300;
    fluctuation.DebyeElement_ = {"Cu", "O"};
    fluctuation.DebyeTemperature_K_ = {343, 500};

    {
        SCOPED_TRACE("source without atomic number; earlier sources are already set");
        LwVectorFreeElectron wave = WaveOf({29, 0, 8});
        EXPECT_EQ(ErrorText([&] { SetDebyeModel(fluctuation, wave, debye); }),
                  "SetDebyeModel():Atomic Number is zero");
        EXPECT_GT(UOf(wave, 0), 0.0);
        EXPECT_EQ(UOf(wave, 2), -1.0);
    }
    {
        SCOPED_TRACE("element without Debye temperature");
        LwVectorFreeElectron wave = WaveOf({29, 26});
        EXPECT_EQ(ErrorText([&] { SetDebyeModel(fluctuation, wave, debye); }),
                  "SetDebyeModel():Atomic Number is not defined");
        EXPECT_EQ(UOf(wave, 1), -1.0);
    }
    {
        SCOPED_TRACE("bad symbol: nothing changes");
        LwDocFluctuation bad = fluctuation;
        bad.DebyeElement_ = {"Cu", "cu"};
        LwVectorFreeElectron wave = WaveOf({29});
        EXPECT_EQ(ErrorText([&] { SetDebyeModel(bad, wave, debye); }), "Error in element name");
        EXPECT_EQ(UOf(wave, 0), -1.0);
    }
    {
        SCOPED_TRACE("fewer temperatures than symbols: nothing changes");
        LwDocFluctuation shortList = fluctuation;
        shortList.DebyeTemperature_K_ = {343};
        LwVectorFreeElectron wave = WaveOf({29});
        EXPECT_EQ(ErrorText([&] { SetDebyeModel(shortList, wave, debye); }),
                  "SetDebyeModel():Debye temperature is not given for O");
        EXPECT_EQ(UOf(wave, 0), -1.0);
    }
}

TEST(LwDebye, EinsteinModelIsBoltzmannTemperatureOverSpringConstant)
{
    LwDebye notLoaded;  // the Einstein model needs no atomic weight
    LwDocFluctuation fluctuation;
    for (double t : {0.0, 4.2, 300.0, 1500.0}) {
        SCOPED_TRACE(t);
        fluctuation.Temperature_K_ = t;
        LwVectorFreeElectron wave = WaveOf({29, 0, 8});
        SetEinsteinModel(fluctuation, wave, notLoaded);
        for (const LwPartialWaveSource& s : wave.Sources()) {
            if (t == 0.0)
                EXPECT_EQ(s.GetU(), 0.0);
            else
                ExpectRelativelyNear(s.GetU(),
                                     Reference::BoltzmannLong_JperK * t / Reference::EinsteinSpring_Nperm,
                                     kModelTolerance);
        }
        if (t == 300.0) {
            EXPECT_NEAR(UOf(wave, 0), 5.9171e-23, 0.00005e-23);
        }
    }
}
