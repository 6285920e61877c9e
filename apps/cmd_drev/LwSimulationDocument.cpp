#include "LwSimulationDocument.h"

#include "core/LwBarnFile.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwClusterDocument.h"
#include "physics/LwExtendedXyz.h"
#include "LwInputChecks.h"

#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

bool CheckFileWritable(const std::string& fileName)
{
    // An existing file is opened for appending, which proves it writable
    // without touching its contents: a run that fails later must not have
    // destroyed the previous result. The document itself replaces the file
    // only once it is completely written.
    struct stat info
    {};
    const bool exists = ::stat(fileName.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        throw LwError("File Cannot Write " + fileName);
    const int fd =
        ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | (exists ? 0 : O_CREAT | O_EXCL), 0666);
    if (fd < 0)
        throw LwError("File Cannot Write " + fileName);
    ::close(fd);
    return !exists;
}

void CheckNotSameFile(const std::string& outputName, const std::string& inputName)
{
    if (IsSameFile(outputName, inputName))
        throw LwError("Output file is also an input file: " + outputName);
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    bool same = fs::equivalent(a, b, ec);
    if (ec) {
        // One of them does not exist yet: compare the normalised paths.
        const fs::path pa = fs::weakly_canonical(a, ec);
        const fs::path pb = ec ? fs::path() : fs::weakly_canonical(b, ec);
        same = !ec && pa == pb;
    }
    return same;
}

namespace {

// Runs `read`; an LwError whose message does not name the file gets the name
// appended, so that a run with several inputs says which one failed.
template <class Read>
void NamingTheFile(const std::string& fileName, Read&& read)
{
    try {
        read();
    } catch (const LwError& e) {
        if (e.Message().find(fileName) != std::string::npos)
            throw;
        throw LwError(e.Message() + ": " + fileName);
    }
}

// The Barn reader keeps what it finds in a text that ends with racks still
// open; for an input of a calculation that would be a silently smaller or
// zero-filled document (a cluster cut inside an atom reads that atom at
// z = 0), so such a file is refused before anything reads it.
void RequireComplete(const LwBarnXml& document, const std::string& fileName)
{
    if (document.HasUnclosedRacks())
        throw LwError("Document is cut short (\"" + document.UnclosedRackName() +
                      "\" is not closed): " + fileName);
}

// The frames of an XYZ text, as LoadExtendedXyzText reads them, refusing a
// frame with fewer atom lines than its count line declares: the reader keeps
// the atoms it finds, which for a file cut short is a smaller cluster.
void LoadXyzFrames(LwCluster& cluster, const std::string& text, const std::string& fileName)
{
    cluster.clear();
    std::deque<std::string> lines;
    SplitNonEmptyLines(lines, text);
    for (;;) {
        const int declared = lines.empty() ? 0 : StringToInt(lines.front());
        LwStructure structure;
        if (!LoadExtendedXyzFrame(structure, lines))
            break;
        if (static_cast<int>(structure.size()) < declared)
            throw LwError("Document is cut short (structure " +
                          IntToString(static_cast<int>(cluster.size()) + 1) + " declares " +
                          IntToString(declared) + " atoms and holds " +
                          IntToString(static_cast<int>(structure.size())) + "): " + fileName);
        cluster.push_back(std::move(structure));
    }
}

// The whole file under exactly the bytes of its name.
std::string ReadWholeFile(const std::string& fileName)
{
    struct stat info
    {};
    std::ifstream in(fileName, std::ios::binary);
    if (!in || ::stat(fileName.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        throw LwError("FILE CANNOT OPEN:" + fileName);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw LwError("FILE CANNOT OPEN:" + fileName);
    return text.str();
}

}  // namespace

void LoadClusterFile(LwCluster& cluster, const std::string& fileName)
{
    const std::string extension = GetFileExtension(fileName);
    if (extension == "xml_cl") {
        NamingTheFile(fileName, [&] {
            LwBarnFile file(fileName, "r");
            RequireComplete(file, fileName);
            LoadSaveCrystalStructureData(cluster, file, false);
        });
    } else if (extension == "xyz") {
        const std::string text = ReadWholeFile(fileName);
        NamingTheFile(fileName, [&] { LoadXyzFrames(cluster, text, fileName); });
    } else {
        throw LwError("Cannot load cluster file. Please use .xyz or .xml_cl");
    }
    // The values first: the structure check measures distances, which mean
    // nothing for coordinates that are not finite.
    CheckClusterValues(cluster, fileName);
    NamingTheFile(fileName, [&] { CheckCluster(cluster); });
    std::cout << "loaded cluster " << cluster.size() << std::endl;
    if (cluster.empty())
        throw LwError("Cluster is empity: " + fileName);
    std::cout << "The number of atoms in cluster" << cluster[0].size() << std::endl;
}

namespace {

// A file without the document's root rack is refused: carrying on with an
// empty document would end in an empty result reported as success.
template <class Document>
void LoadBarnDocument(Document& document, const std::string& fileName, const char* kind, const char* root)
{
    NamingTheFile(fileName, [&] {
        LwBarnFile file(fileName, "r");
        RequireComplete(file, fileName);
        if (!document.LoadSave(file))
            throw LwError(std::string("Not ") + kind + " document (no \"" + root + "\" rack): " + fileName);
    });
}

}  // namespace

void LoadEmittedWaveFile(LwDocFinalState& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "an emitted-wave", "emitted_wave_data");
    CheckEmittedWaveValues(document, fileName);
}

void LoadPhaseShiftFile(LwDocScatteringPhaseShift& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "a phase-shift", "PhaseShiftData");
    CheckPhaseShiftValues(document, fileName);
}

void LoadFluctuationFile(LwDocFluctuation& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "a fluctuation", "DocFluctuation");
    CheckFluctuationValues(document, fileName);
}

void LoadScatteredWaveFile(LwDocScattering& document, const std::string& fileName)
{
    LoadBarnDocument(document, fileName, "a scattered-wave", "DREV_ScatteringData");
    CheckScatteredWaveValues(document, fileName);
}
