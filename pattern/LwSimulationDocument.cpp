#include "pattern/LwSimulationDocument.h"

#include "core/LwBarnFile.h"
#include "physics/LwClusterDocument.h"
#include "core/LwError.h"
#include "physics/LwExtendedXyz.h"
#include "core/LwFileQt.h"
#include "core/TextUtilities.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <filesystem>
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
    // An existing file is opened for appending, which proves it writable
    // without touching its contents: a run that fails later must not have
    // destroyed the previous result. The document itself replaces the file
    // only once it is completely written.
    std::error_code ec;
    const bool exists = std::filesystem::exists(fileName, ec);
    std::ofstream out(fileName, exists ? std::ios::app : std::ios::out);
    if (!out.is_open()) throw LwError("File Cannot Write " + fileName);
}

void CheckNotSameFile(const std::string& outputName, const std::string& inputName)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    bool same = fs::equivalent(outputName, inputName, ec);
    if (ec) {
        // One of them does not exist yet: compare the normalised paths.
        const fs::path a = fs::weakly_canonical(outputName, ec);
        const fs::path b = ec ? fs::path() : fs::weakly_canonical(inputName, ec);
        same = !ec && a == b;
    }
    if (same) throw LwError("Output file is also an input file: " + outputName);
}

void LoadClusterFile(LwCluster& cluster, const std::string& fileName)
{
    const std::string extension = GetFileExtension(fileName);
    if (extension == "xml_cl") {
        LwBarnFile file(fileName, "r");
        LoadSaveCrystalStructureData(cluster, file, true);
    } else if (extension == "xyz") {
        LwFileQt file(QFile::decodeName(QByteArray::fromStdString(fileName)), "r");
        LoadExtendedXyz(cluster, file, true);
    } else {
        throw LwError("Cannot load cluster file. Please use .xyz or .xml_cl");
    }
    std::cout << "loaded cluster " << cluster.size() << std::endl;
    if (cluster.empty()) throw LwError("Cluster is empity");
    std::cout << "The number of atoms in cluster" << cluster[0].size() << std::endl;
}

namespace {

// A file without the document's root rack is refused: carrying on with an
// empty document would end in an empty result reported as success.
template <class Document>
void LoadBarnDocument(Document& document, const std::string& fileName, const char* kind,
                      const char* root)
{
    LwBarnFile file(fileName, "r");
    if (!document.LoadSave(file))
        throw LwError(std::string("Not ") + kind + " document (no \"" + root + "\" rack): " +
                      fileName);
}

}  // namespace

void LoadEmittedWaveFile(LwDocFinalState& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "an emitted-wave", "emitted_wave_data");
}

void LoadPhaseShiftFile(LwDocScatteringPhaseShift& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "a phase-shift", "PhaseShiftData");
}

void LoadFluctuationFile(LwDocFluctuation& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "a fluctuation", "DocFluctuation");
}

void LoadScatteredWaveFile(LwDocScattering& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "a scattered-wave", "DREV_ScatteringData");
}
