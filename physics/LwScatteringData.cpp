// Set-up of a scattering record from a structure, an emitted wave and the
// phase-shift document.

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"

#include <cmath>

namespace {

// Unit propagation direction of a plane wave given by the angles beta and
// gamma (degrees): R(0, beta, gamma) (0, 0, 1) =
// (cos gamma sin beta, sin gamma sin beta, cos beta).
LwLDoubleMatrix PlaneWaveDirection(double betaDeg, double gammaDeg)
{
    const LwLDoubleMatrix R =
        EulerRotationMatrix(0, betaDeg * LwConst::Pi / 180, gammaDeg * LwConst::Pi / 180);
    LwLDoubleMatrix d(3);
    // Column 2 of R is R applied to the z unit vector.
    for (int row = 0; row < 3; ++row)
        d[row] = R(2, row);
    return d;
}

LwLong AtomicNumberOf(const std::string& symbol)
{
    LwAtomName name;
    name.SetAtomName(symbol);
    return name.GetAtomicNumber();
}
}  // namespace

double GetUiso(const LwClusterAtom& atom)
{
    const LwLDoubleMatrix& U = atom.U_;
    if (U.ColSize == 0 || U.RowSize == 0)
        return 0.0;
    if (U.ColSize == 1 && U.RowSize == 1)
        return static_cast<double>(U(U.ColBegin, U.RowBegin));
    throw LwError("U aniso is not supported");
}

void LwScatteringData::SetListScatterer(LwCluster& structures,
                                        const std::vector<LwEmitterEntry>& emittedWaves,
                                        LwLong structureIndex, LwLong mode)
{
    StIndex = structureIndex;
    if (structureIndex < 0 || static_cast<std::size_t>(structureIndex) >= structures.size())
        throw LwError("Structure index " + IntToString(structureIndex) +
                      " is out of range: the cluster has " +
                      IntToString(static_cast<int>(structures.size())) + " structures");
    if (emittedWaves.empty())
        throw LwError("Emitted wave is not defined");
    std::vector<LwClusterAtom>& atoms = structures[structureIndex];
    if (atoms.empty())
        throw LwError("Structure " + IntToString(structureIndex) + " has no atoms: there is no emitter");

    // The order of the atoms is the order of scattering; it is kept in the
    // cluster, so the caller sees which atom became which source.
    const LwEmitterEntry& first = emittedWaves[0];
    if (first.IsPlaneWave) {
        SortAtomsAlongWaveVector(atoms,
                                 PlaneWaveDirection(first.PlaneWaveBeta_deg, first.PlaneWaveGamma_deg));
    } else if (mode == 0) {
        SortAtomsByDistance(atoms);
    } else if (mode == 1) {
        SortAtomsByDepth(atoms);
    }

    std::vector<LwPartialWaveSource>& sources = ListScatterer.Sources();
    sources.clear();
    ListAtomName.clear();
    for (const LwClusterAtom& atom : atoms) {
        LwPartialWaveSource source;
        const LwLDoubleMatrix& p = atom.Position_;
        const int b = p.VectorBegin();
        source.SetPosition(p[b], p[b + 1], p[b + 2]);
        source.SetAtomicNumber(AtomicNumberOf(atom.Atom_));
        source.SetU(GetUiso(atom));
        sources.push_back(source);
        ListAtomName.push_back(atom.Name_);
    }
    NextListScatterer = ListScatterer;
}

void LwScatteringData::SetEmittedWave(const std::vector<LwEmitterEntry>& emittedWaves,
                                      LwLong emittedWaveIndex)
{
    EWIndex = emittedWaveIndex;
    if (emittedWaveIndex < 0 || static_cast<std::size_t>(emittedWaveIndex) >= emittedWaves.size())
        throw LwError("Emitted wave index " + IntToString(emittedWaveIndex) +
                      " is out of range: the emitted-wave document has " +
                      IntToString(static_cast<int>(emittedWaves.size())) + " entries");
    if (ListScatterer.Sources().empty())
        throw LwError("The scattering record has no emitter to put the emitted wave on");
    const LwEmitterEntry& e = emittedWaves[emittedWaveIndex];
    LwPartialWaveSource& emitter = ListScatterer.Sources()[0];
    emitter.SetKineticEnergy(e.Ek);
    emitter.Outgoing() = e.coeff;
    Ratio = e.Ratio;
    if (e.IsPlaneWave) {
        emitter.Outgoing().Fill(LComplex(0, 0));
        emitter.SetPlaneWave(PlaneWaveDirection(e.PlaneWaveBeta_deg, e.PlaneWaveGamma_deg), LComplex(1, 0));
    }
    ListScatterer.SetKineticEnergy(e.Ek);
    NextListScatterer = ListScatterer;
}

void LwScatteringData::SetPhaseShiftIndex(const LwDocScatteringPhaseShift& phaseShift)
{
    const std::vector<LwPhaseShiftEntry>& entries = phaseShift.ListScatteringPhaseShift;
    const std::size_t n = ListScatterer.Sources().size();
    PhaseShiftIndex.Create(static_cast<int>(n));
    const double ek = ListScatterer.GetKineticEnergy();
    for (std::size_t i = 0; i < n; ++i) {
        PhaseShiftIndex[static_cast<int>(i)] = -1;
        for (std::size_t j = 0; j < entries.size(); ++j) {
            // Exact matches only: the phase shifts belong to one energy.
            if (entries[j].Ek_eV == ek && entries[j].AtomName == ListAtomName[i]) {
                PhaseShiftIndex[static_cast<int>(i)] = static_cast<LwLong>(j);
                break;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (PhaseShiftIndex[static_cast<int>(i)] < 0)
            throw LwError("Error: There is no phase shift data");
}

void LwScatteringData::SetListScattererDimerOnZ(const LwLmComplexArray& coefficients, double ek, double z,
                                                std::string name, std::string element, LwLong phaseShiftIndex,
                                                const LwDocFluctuation& fluctuation,
                                                const LwDebye& atomicWeights)
{
    try {
        const LwLong Z = AtomicNumberOf(element);
        std::vector<LwPartialWaveSource>& sources = ListScatterer.Sources();
        sources.resize(2);
        sources[0].SetPosition(0, 0, 0);
        sources[0].Outgoing() = coefficients;
        sources[0].SetAtomicNumber(Z);
        sources[1].SetPosition(0, 0, z);
        sources[1].SetAtomicNumber(Z);
        ListScatterer.SetKineticEnergy(ek);
        if (!fluctuation.IsUseUisoInCluster_) {
            if (fluctuation.IsUseUisoEinsteinModel_)
                SetEinsteinModel(fluctuation, ListScatterer, atomicWeights);
            else if (fluctuation.IsUseUisoDebyeModel_)
                SetDebyeModel(fluctuation, ListScatterer, atomicWeights);
        }
        ListAtomName.assign(2, name);
        PhaseShiftIndex.Create(2);
        PhaseShiftIndex[0] = phaseShiftIndex;
        PhaseShiftIndex[1] = phaseShiftIndex;
        NextListScatterer = ListScatterer;
    } catch (const LwError& e) {
        throw LwError("LwScatteringData::SetListScattererDimerOnZ()" + e.Message());
    }
}

LwScatteringData& LwDocScattering::AddScatteringData(LwCluster& structures,
                                                     const std::vector<LwEmitterEntry>& emittedWaves,
                                                     const LwDocScatteringPhaseShift& phaseShift)
{
    ListScatteringData.emplace_back();
    LwScatteringData& record = ListScatteringData.back();
    record.SetListScatterer(structures, emittedWaves, StIndex, AtomOrderMode_);
    record.SetEmittedWave(emittedWaves, EWIndex);
    record.SetPhaseShiftIndex(phaseShift);
    return record;
}
