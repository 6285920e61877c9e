// The suite's constants against independent values: pi from the library,
// hbar from h / (2 pi), and the free-electron wave number against the
// textbook rule k = 0.51231 sqrt(E / eV) per Angstrom.
#include "core/LwConstants.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(LwConstants, DerivedValuesFollowFromTheBaseOnes)
{
    EXPECT_EQ(LwConst::Pi, std::acos(-1.0));
    EXPECT_DOUBLE_EQ(LwConst::DegToRad * 180, std::acos(-1.0));
    EXPECT_DOUBLE_EQ(LwConst::Hbar_Js, LwConst::Planck_Js / (2 * std::acos(-1.0)));
    EXPECT_DOUBLE_EQ(LwConst::Angstrom_m * LwConst::AngstromPerMetre, 1.0);
    EXPECT_EQ(static_cast<double>(LwConst::AngstromLong_m), LwConst::Angstrom_m);
}

TEST(LwConstants, ElectronWaveNumberFollowsTheFreeElectronDispersion)
{
    for (double ek : {1.0, 100.0, 500.0, 2000.0}) {
        SCOPED_TRACE(ek);
        const double kPerAngstrom = ElectronWaveNumber_perm(ek) * LwConst::Angstrom_m;
        EXPECT_NEAR(kPerAngstrom / std::sqrt(ek), 0.51231, 1e-5);
    }
    EXPECT_EQ(ElectronWaveNumber_perm(0), 0.0);
    EXPECT_TRUE(std::isnan(ElectronWaveNumber_perm(-1)));
}
