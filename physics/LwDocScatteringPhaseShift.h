#pragma once
// The phase-shift document (".xml_ph"): for each kind of scattering atom and
// each kinetic energy, the phase shifts delta_l in degrees, and optionally the
// radial-equation data they were obtained from.
//
// On reading, every entry gets its t-vector t_l = e^{2 i delta_l} - 1, which
// the scattering multiplies into the incoming coefficients of an atom. The
// scattering takes the atom's outer radius from the last grid point of the
// radial data, e^{LnX.back()} (metres).
//
//   "PhaseShiftData" / "data" / "ListScatteringPhaseShift" / one "i" per entry
//   entry: "Ek_eV", "AtomName", "AtomElement", "PhaseShiftValue",
//          "AdditionalData" { "FileName", "CalculateScattering" }
//   "CalculateScattering": "EPS_DIFF_EQ_", "LnX", "P", "DPDLnX", "L", "DLDLnX"
// Matrices are in the text form; the per-l tables have one row per l and one
// column per grid point, "LnX" is a column vector.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"
#include "physics/LwLnAtomicPotentialC.h"

#include <string>
#include <vector>

class LwBarnXml;

// The radial solutions of one atom at one energy on the grid x = ln r.
class LwRadialEquationRecord
{
public:
    std::vector<double> LnX;  // grid of ln r (r in metres), increasing
    std::vector<std::vector<double>> L;  // per l: second function on the grid
    std::vector<std::vector<double>> DLDLnX;  // per l: dL / d ln r
    std::vector<std::vector<double>> P;  // per l: radial function on the grid
    std::vector<std::vector<double>> DPDLnX;  // per l: dP / d ln r
    double EPS_DIFF_EQ_ = 1e-6;  // accuracy of the integration
    // Writing keeps only every 20th grid point (and the outer one).
    bool ThinOnSave = true;
    // Right-hand side of the radial equation; not stored.
    LwLnAtomicPotentialC AtomicPotential;
};

class LwPhaseShiftEntry : public LwRadialEquationRecord
{
public:
    double Ek_eV = 0.0;  // kinetic energy, eV
    // Settings of the phase-shift calculation that no operation reads or
    // stores (defaults 0.5, 1e-6 and 0).
    double CalcStepRatio = 0.5;
    double CalcAccuracy = 1e-6;
    double CalcOffset = 0.0;
    LwLDoubleMatrix PhaseShiftValue;  // delta_l in degrees, l = 0, 1, ... (indices from 0)
    LwLComplexMatrix TVector;  // t_l = e^{2 i delta_l} - 1, built on reading
    std::string AtomName;  // the atom kind (matched exactly)
    std::string AtomElement;  // element symbol
    std::string FileName;  // file the phase shifts came from

    // The entry as the rack `itemName`; reading: false when it is missing.
    bool LoadSave(LwBarnXml& doc, const std::string& itemName);
};

class LwDocScatteringPhaseShift
{
public:
    // Document settings that no operation reads or stores.
    std::string Title;
    double DefaultStepRatio = 0.5;
    double DefaultAccuracy = 1e-6;
    bool DefaultThinOnSave = true;
    std::vector<LwPhaseShiftEntry> ListScatteringPhaseShift;

    // Reading: false (entries unchanged) when "PhaseShiftData" is missing.
    bool LoadSave(LwBarnXml& doc);
};

// The rack `rackName` holding "ListScatteringPhaseShift". Reading: false when
// the rack is missing; a missing list leaves the entries unchanged (true);
// otherwise the entries are replaced by those read, each starting as a new
// entry.
bool LoadSaveListScatteringPhaseShift(LwDocScatteringPhaseShift& document, LwBarnXml& doc,
                                      const std::string& rackName);
// The radial data as the rack `rackName`; a missing rack leaves the record
// unchanged. Writing stores a thinned copy when ThinOnSave is set; the record
// itself keeps every point.
void LoadSaveCalculateScattering(LwRadialEquationRecord& record, LwBarnXml& doc, const std::string& rackName);

// Column vector (1 x n, begins 0), element i = v[i]; a flagged result.
LwLDoubleMatrix VectorToMatrix(const std::vector<double>& v);
// ColSize = length of the rows, RowSize = number of rows, element (i, l) =
// v[l][i]; no rows gives an empty matrix. Rows of different lengths throw.
LwLDoubleMatrix VectorsToMatrix(const std::vector<std::vector<double>>& v);
// Vector elements 0 ... n-1 of a row or column vector ("This is not vector"
// for any other shape).
std::vector<double> MatrixToVector(const LwLDoubleMatrix& m);
// RowSize rows of ColSize values, v[l][i] = element (i, l).
std::vector<std::vector<double>> MatrixToVectors(const LwLDoubleMatrix& m);
// Keeps the grid points whose index is a multiple of `step`, and the last
// grid point (the atom's outer radius) in any case, in every table.
void ThinRadialData(LwRadialEquationRecord& record, int step);
