#pragma once
// Everything one cmd_drev run loads and computes: one document for the whole
// process, created on the first Instance() and never freed, so the steps and
// calculations work on its members in place. Also the loaders that fill it
// from the input files and the check that creates an output file up front.

#include "physics/LwClusterAtom.h"
#include "physics/LwCrystalTable.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "pattern/LwDocPattern.h"
#include "pattern/LwDocPatternNano.h"
#include "pattern/LwDocScatteringPatternMatrix.h"
#include "pattern/reconstruction/LwCalcMemWork.h"
#include "pattern/reconstruction/LwDocCalcMem.h"
#include "pattern/reconstruction/LwMulCalcMain.h"

#include <memory>
#include <string>

class LwSimulationDocument
{
public:
    static LwSimulationDocument& Instance();

    LwSimulationDocument(const LwSimulationDocument&) = delete;
    LwSimulationDocument& operator=(const LwSimulationDocument&) = delete;

    LwCluster Cluster;  // structures, each a list of atoms
    LwDocFinalState EmittedWave;  // emitted waves
    std::unique_ptr<LwDocScatteringPhaseShift> PhaseShift;  // phase shifts
    std::unique_ptr<LwDocScattering> Scattering;  // scattered waves
    LwDocPattern_Diana Gnomonic;  // view angle 60 degrees
    LwDocPattern_EquidistantCylindrical EquidistantCylindrical;
    LwDocPattern_AzimuthalEquidistant AzimuthalEquidistant;
    LwDocPattern_StereoProjection Stereographic;  // view angle 90 degrees
    LwDocPattern_Orthographic Orthographic;
    LwDocPattern_OneDimensional OneDimensional;
    LwCrystalTable CrystalTable;  // the built-in cells
    LwDocPatternNano Nano;  // real-space field scan
    LwDebye Debye;  // atomic weights, thermal vibration
    LwDocFluctuation Fluctuation;  // temperature and Debye temperatures
    LwDocScatteringPatternMatrix ScatteringPatternMatrix;  // emitter and one scatterer, its own defaults
    LwDocCalcMem DocCalcMem;  // reconstruction data
    LwCalcMemWork CalcMemWork{DocCalcMem};  // reconstruction engine data, bound to DocCalcMem
    LwMulCalcMain MulCalcMain{DocCalcMem, CalcMemWork};  // reconstruction job on the two above

private:
    LwSimulationDocument();
};

// Makes sure an output file can be written before any calculation: a new
// file is created empty, an existing one is opened for appending and left as
// it is. True when the file was created (it did not exist before), so that a
// run that fails can remove what it made. Throws LwError
// "File Cannot Write <name>" (also for a folder).
bool CheckFileWritable(const std::string& fileName);

// Throws LwError "Output file is also an input file: <output>" when both
// names lead to the same file (existing or not).
void CheckNotSameFile(const std::string& outputName, const std::string& inputName);
// True when both names lead to one file: the same file by identity when both
// exist (hard links, symbolic links, "./" and ".." spellings), else the same
// normalised path.
bool IsSameFile(const std::string& a, const std::string& b);

// Every loader reads the file under exactly the bytes of its name, refuses a
// Barn text that ends with racks still open (LwError "Document is cut short
// ("<rack>" is not closed): <name>") and names the file in every LwError
// that reaches its caller (the reader's and the serializer's messages get
// ": <name>" appended).

// Reads a cluster from an ".xml_cl" document or extended XYZ text (by the exact
// extension), checking every structure; prints the structure count and the
// atom count of the first structure. Throws "Cannot load cluster file. Please
// use .xyz or .xml_cl" for another extension and "Cluster is empity: <name>"
// when no structure was read.
void LoadClusterFile(LwCluster& cluster, const std::string& fileName);

// Each reads the whole Barn file and hands it to the document's serializer. A
// file without the document's root rack is refused with an LwError
// "Not a ... document (no "<root>" rack): <name>".
void LoadEmittedWaveFile(LwDocFinalState& document, const std::string& fileName);
void LoadPhaseShiftFile(LwDocScatteringPhaseShift& document, const std::string& fileName);
void LoadFluctuationFile(LwDocFluctuation& document, const std::string& fileName);
void LoadScatteredWaveFile(LwDocScattering& document, const std::string& fileName);
