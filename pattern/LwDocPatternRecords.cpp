// The record loop of the pattern calculation: the scattered-wave document's
// records, prepared one by one and summed into the planes.

#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "pattern/LwDocPattern.h"

#include <iostream>

void LwDocPattern::Calculate(LwNotifyTerminate& stop, LwDocScattering& scattering,
                             const LwDocFluctuation& fluctuation, const LwDebye& debye)
{
    // The calculation never reports an error: whatever the preparation or a
    // record raises ends it quietly, with the planes as far as they were
    // filled. A caller that needs the preparation's errors calls Prepare
    // itself first.
    try {
        Prepare(scattering, fluctuation, debye);
        CalcStructureLoop(stop, scattering);
    } catch (...) {}
}

void LwDocPattern::CheckVersionAndType(const LwDocScattering& scattering, LwLong type)
{
    if ((scattering.Version == 1 || scattering.Version == 2) && type == 1)
        throw LwError("The conbination of Version and Type is not permitted");
}

void LwDocPattern::Prepare(LwDocScattering& scattering, const LwDocFluctuation& fluctuation,
                           const LwDebye& debye)
{
    CheckVersionAndType(scattering, Type);
    SetRotationFromEulerAngles();
    InitSphericalMap();
    if (fluctuation.IsUseUisoInCluster_)
        return;  // the U values the cluster gave stay
    for (LwScatteringData& record : scattering.ListScatteringData) {
        if (fluctuation.IsUseUisoEinsteinModel_) {
            SetEinsteinModel(fluctuation, record.NextListScatterer, debye);
            SetEinsteinModel(fluctuation, record.ListScatterer, debye);
        } else if (fluctuation.IsUseUisoDebyeModel_) {
            SetDebyeModel(fluctuation, record.NextListScatterer, debye);
            SetDebyeModel(fluctuation, record.ListScatterer, debye);
        }
    }
}

void LwDocPattern::PrepareStructure(const LwDocScattering& scattering, int i)
{
    if (i < 0 || static_cast<std::size_t>(i) >= scattering.ListScatteringData.size())
        throw LwError("ERROR INDEX");
    PrepareWorkingWave(scattering.ListScatteringData[static_cast<std::size_t>(i)].ListScatterer);
}

void LwDocPattern::CalcStructureLoop(LwNotifyTerminate& stop, const LwDocScattering& scattering)
{
    // Directions, their rotation and angles once per calculation.
    LwLDoubleMatrix theta, phi;
    CalcDirectionAngles(theta, phi);
    const int count = SelectBitCount_;
    for (int i = 0; i < count; ++i) {
        if (stop.IsTerminate())
            break;
        std::cout << "START: STRUCTURE LOOP=" << i << "/" << count << std::endl;
        if (!IsRecordSelected(i))
            continue;
        PrepareStructure(scattering, i);
        const double zs =
            SurfaceHeight(scattering.ListScatteringData[static_cast<std::size_t>(i)].ListScatterer);
        CalcPixelColumns(theta, phi, stop, zs);
        std::cout << "END: STRUCTURE LOOP=" << i << std::endl;
    }
}
