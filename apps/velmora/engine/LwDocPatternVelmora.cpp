#include "apps/velmora/engine/LwDocPatternVelmora.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"

#include <cmath>

LwSphericalMapGrid CreateCosZGrid(int N, int n)
{
    if (n < 0 || n == 1)
        throw LwError("CreateCosZGrid: illegal number of points " + IntToString(n));
    LwSphericalMapGrid grid;
    grid.Create(N, n, 1);
    const double step = n > 1 ? 2.0 / (n - 1) : 0.0;
    for (int i = 0; i < n; ++i) {
        const double z = i * step - 1.0;
        grid.X(i, 0) = std::sqrt(1 - z * z);
        grid.Y(i, 0) = 0;
        grid.Z(i, 0) = z;
    }
    return grid;
}

void LwDocPattern_CosZ::InitSphericalMap()
{
    Grid = CreateCosZGrid(N, PointCount_);
}

void SetThermalAmplitude(LwVectorFreeElectronThermal& record, double temperatureK)
{
    record.Temperature_K_ = temperatureK;
    record.ThermalAmplitude_m_ =
        std::sqrt(2.0) * std::sqrt(temperatureK * LwConst::Boltzmann_JperK / LwConst::EinsteinSpring_Nperm);
}

double CalcMeanFreePathAttenuation(const LwDocPattern& document, double theta, double depth)
{
    return document.DepthFactor(theta, depth);
}
