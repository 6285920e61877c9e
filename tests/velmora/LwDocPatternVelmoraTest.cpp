#include "apps/velmora/engine/LwDocPatternVelmora.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(LwDocPatternVelmora, CosZGridRunsOverTheCosineInEqualSteps)
{
    const LwSphericalMapGrid three = CreateCosZGrid(6, 3);
    EXPECT_EQ(three.Name, "");
    ASSERT_EQ(three.Planes.size(), 6u);
    ASSERT_EQ(three.X.ColSize, 3);
    ASSERT_EQ(three.X.RowSize, 1);
    const double z[] = {-1, 0, 1}, x[] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(three.Z(i, 0), z[i]);
        EXPECT_EQ(three.X(i, 0), x[i]);
        EXPECT_EQ(three.Y(i, 0), 0);
        EXPECT_EQ(three.W(i, 0), 1);
    }

    const LwSphericalMapGrid fine = CreateCosZGrid(1, 1025);
    EXPECT_EQ(fine.Z(512, 0), 0);
    EXPECT_DOUBLE_EQ(fine.Z(1, 0) - fine.Z(0, 0), 2.0 / 1024);
    for (int i = 0; i < 1025; i += 64)
        EXPECT_NEAR(fine.X(i, 0) * fine.X(i, 0) + fine.Z(i, 0) * fine.Z(i, 0), 1.0, 1e-15) << i;

    EXPECT_EQ(CreateCosZGrid(1, 0).X.ColSize, 0);
    EXPECT_EQ(ErrorText([] { CreateCosZGrid(1, 1); }), "CreateCosZGrid: illegal number of points 1");
    EXPECT_EQ(ErrorText([] { CreateCosZGrid(1, -3); }), "CreateCosZGrid: illegal number of points -3");
}

TEST(LwDocPatternVelmora, CosZDocumentBuildsItsGridWithZeroPlanes)
{
    LwDocPattern_CosZ doc;
    EXPECT_EQ(doc.PointCount_, 1024);
    doc.PointCount_ = 2049;
    doc.InitSphericalMap();
    ASSERT_EQ(static_cast<int>(doc.Grid.Planes.size()), doc.N);
    EXPECT_EQ(doc.Grid.Planes[0].ColSize, 2049);
    EXPECT_EQ(doc.Grid.Planes[0](100, 0), 0);
}

TEST(LwDocPatternVelmora, ThermalAmplitudeIsThatOfAnEinsteinOscillator)
{
    LwVectorFreeElectronThermal wave;
    EXPECT_EQ(wave.Temperature_K_, 0);
    EXPECT_EQ(wave.ThermalAmplitude_m_, 0);
    EXPECT_EQ(wave.Unused_, -1.0);
    EXPECT_EQ(wave.GetKineticEnergy(), -15000.0);
    SetThermalAmplitude(wave, 300);
    EXPECT_EQ(wave.Temperature_K_, 300);
    // <x^2> = kB T / K per component; the amplitude is the root of twice it.
    EXPECT_NEAR(wave.ThermalAmplitude_m_,
                std::sqrt(2 * Reference::Boltzmann_JperK * 300 / Reference::EinsteinSpring_Nperm),
                1e-15 * 1e-11);
}

TEST(LwDocPatternVelmora, MeanFreePathAttenuationFollowsThePathToTheSurface)
{
    LwDocPattern_AzimuthalEquidistant doc;
    EXPECT_EQ(CalcMeanFreePathAttenuation(doc, 0.3, 1e-9), 1.0);  // not by depth
    doc.IsAttenuateByDepth_ = true;
    EXPECT_EQ(CalcMeanFreePathAttenuation(doc, 0.3, 1e-9), 1.0);  // mean free path 0
    doc.MeanFreePath_m_ = 1e-9;
    EXPECT_DOUBLE_EQ(CalcMeanFreePathAttenuation(doc, 0.0, 1e-9), std::exp(-1.0));
    EXPECT_DOUBLE_EQ(CalcMeanFreePathAttenuation(doc, M_PI / 3, 1e-9), std::exp(-2.0));
    EXPECT_EQ(CalcMeanFreePathAttenuation(doc, M_PI / 2 + 1e-9, 1e-9), 0.0);
}
