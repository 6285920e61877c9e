#include "SimulationSteps.h"

#include "core/LwDocData.h"
#include "core/LwError.h"
#include "core/LwInfoMap.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwNotifyTerminate.h"
#include "core/LwQBarnFile.h"
#include "pattern/LwProjection.h"
#include "LwSimulationDocument.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

void CalculateScattering(std::string& scatteredWaveFileName, LwLong method)
{
    LwSimulationDocument& sim = LwSimulationDocument::Instance();
    LwDocScattering& scattering = *sim.Scattering;
    LwNotifyTerminateThreadCalculation stop;

    scattering.EPS = 0.01;
    scattering.Version = method;
    scattering.MultiScattering = 1;
    scattering.OutputFileName_ = scatteredWaveFileName;
    std::printf("Calculation start\n");
    std::fflush(stdout);
    scattering.Calculate(stop, sim.Cluster, sim.EmittedWave.ListEmitter, *sim.PhaseShift);
    std::printf("Calculation finished\n");
    std::fflush(stdout);
}

namespace {

// Stores one plane of the grid as the document's image and writes the
// document. The file is saved explicitly so that a write error reaches main.
void SavePlane(LwDocData& image, const LwLDoubleMatrix& plane, const std::string& fileName)
{
    LwMatrixArithmetic convert;
    image.Images.clear();
    image.Images[image.CurrentChannel] = convert.ToFloatMatrix(plane);
    // File names are byte texts, written under exactly those bytes (a QString
    // cannot hold bytes that are not valid in the locale's encoding).
    LwQBarnFile file(QFile::decodeName(QByteArray::fromStdString(fileName)), QStringLiteral("w"));
    file.SetNativeFileName(fileName);
    image.Serialize(file);
    file.Save();
}

}  // namespace

void CalculatePattern(double resolution_deg, double limitClusterSize_m, double lowerLimit_m,
                      const std::string& imageFileName, bool isI0, const std::string& i0FileName,
                      LwProjection projection, double meanFreePath_m, bool byEmitterDistance, bool byDepth)
{
    LwSimulationDocument& sim = LwSimulationDocument::Instance();
    LwNotifyTerminateThreadCalculation stop;

    // The pattern calculation ends quietly on its own errors; a negative
    // mean free path would leave an image of zeros behind a successful run.
    if (meanFreePath_m < 0)
        throw LwError("Mean free path must not be negative");

    if (!projection.IsSizedByResolution())
        throw LwError("Undefined mapping method");
    LwDocPattern* pattern = nullptr;
    if (projection == LwProjection::AzimuthalEquidistant) {
        sim.AzimuthalEquidistant.Resolution_deg_ = resolution_deg;
        pattern = &sim.AzimuthalEquidistant;
    } else {
        sim.EquidistantCylindrical.Resolution_deg_ = resolution_deg;
        pattern = &sim.EquidistantCylindrical;
    }

    LwDocScattering& scattering = *sim.Scattering;
    const int records = static_cast<int>(scattering.ListScatteringData.size());
    std::printf("Scattering data =%ld\n", static_cast<long>(records));
    pattern->SetRecordSelection(records, true);
    pattern->ClusterSizeLimit_m_ = limitClusterSize_m;
    pattern->LowerLimit_m_ = lowerLimit_m;
    pattern->MeanFreePath_m_ = meanFreePath_m;
    pattern->IsAttenuateByEmitterDistance_ = byEmitterDistance;
    pattern->IsAttenuateByDepth_ = byDepth;
    // Prepare builds the projection grid; the size alone is checked here, so
    // that a bad resolution fails before anything else is set up.
    int columns = 0, rows = 0;
    projection.GridSize(resolution_deg, columns, rows);

    std::printf("Start pattern calculation....\n");
    std::fflush(stdout);
    pattern->Prepare(scattering, sim.Fluctuation, sim.Debye);
    pattern->Calculate(stop, scattering, sim.Fluctuation, sim.Debye);

    LwDocData image;
    SetInfoString(image.InfoString, "__SphereProjection.Name", projection.GetName());
    std::printf("Save to file....\n");
    std::fflush(stdout);
    SavePlane(image, pattern->Grid.Planes[0], imageFileName);
    if (isI0)
        SavePlane(image, pattern->Grid.Planes[1], i0FileName);
}
