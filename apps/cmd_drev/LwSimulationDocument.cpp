#include "LwSimulationDocument.h"

#include "LwBarnFile.h"
#include "LwClusterDocument.h"
#include "LwError.h"
#include "LwExtendedXyz.h"
#include "LwFileQt.h"
#include "TextUtilities.h"

#include <QString>

#include <fstream>
#include <iostream>

LwSimulationDocument& LwSimulationDocument::Instance()
{
    // Deliberately never freed: the documents live until the process ends.
    static LwSimulationDocument* const document = new LwSimulationDocument();
    return *document;
}

LwSimulationDocument::LwSimulationDocument()
    : PhaseShift(std::make_unique<LwDocScatteringPhaseShift>()),
      Scattering(std::make_unique<LwDocScattering>())
{
    Gnomonic.ViewAngle_deg_ = 60.0;
    EquidistantCylindrical.Resolution_deg_ = 1.0;
    AzimuthalEquidistant.Resolution_deg_ = 1.0;
    Stereographic.ViewAngle_deg_ = 90.0;
    OneDimensional.Resolution_deg_ = 1.0;
}

void CheckFileWritable(const std::string& fileName)
{
    std::ofstream out(fileName, std::ios::out | std::ios::trunc);
    if (!out.is_open()) throw LwError("File Cannot Write " + fileName);
}

void LoadClusterFile(LwCluster& cluster, const std::string& fileName)
{
    const std::string extension = GetFileExtension(fileName);
    if (extension == "xml_cl") {
        LwBarnFile file(fileName, "r");
        LoadSaveCrystalStructureData(cluster, file, true);
    } else if (extension == "xyz") {
        LwFileQt file(QString::fromUtf8(fileName.c_str()), "r");
        LoadExtendedXyz(cluster, file, true);
    } else {
        throw LwError("Cannot load cluster file. Please use .xyz or .xml_cl");
    }
    std::cout << "loaded cluster " << cluster.size() << std::endl;
    if (cluster.empty()) throw LwError("Cluster is empity");
    std::cout << "The number of atoms in cluster" << cluster[0].size() << std::endl;
}

namespace {

template <class Document>
void LoadBarnDocument(Document& document, const std::string& fileName)
{
    LwBarnFile file(fileName, "r");
    document.LoadSave(file);
}

}  // namespace

void LoadEmittedWaveFile(LwDocFinalState& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName);
}

void LoadPhaseShiftFile(LwDocScatteringPhaseShift& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName);
}

void LoadFluctuationFile(LwDocFluctuation& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName);
}

void LoadScatteredWaveFile(LwDocScattering& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName);
}
