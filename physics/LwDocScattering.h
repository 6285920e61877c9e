#pragma once
// The multiple-scattering calculation and its result, the scattered wave.
//
// LwDocScattering holds the settings (method, re-expansion accuracy, number
// of passes, output file, atom ordering), the loop state of a running
// calculation and one LwScatteringData record per pair (structure of the
// cluster, emitted-wave entry), structure-major. A record carries two wave
// lists of partial-wave sources, source 0 the emitter and sources 1 ... n-1
// the other atoms in calculation order: ListScatterer is the wave of the pass
// before, NextListScatterer the wave the running pass builds. After a
// calculation source i > 0 holds the outgoing coefficients of the wave that
// atom i scatters, and source 0 the emitter's own coefficients.
//
// One atom scatters by re-expanding the wave incident on it about itself,
// psi_inc = sum a_lm j_l(kr) Y_lm, and multiplying each partial wave by the
// t-matrix element t_l = exp(2i delta_l) - 1 of its phase-shift entry: since
// j_l = (h+_l + h-_l) / 2, the scattered wave is sum (t_l a_lm / 2) h+_l Y_lm.
// The methods differ in which earlier waves make up the incident wave:
//   0 single scattering: the emitter alone;
//   1 slow multiple scattering: the emitter and every earlier atom;
//   2 multiple scattering: the emitter and the earlier atoms that lie within
//     their own radius of the straight path from the origin to the atom and
//     not behind the origin.
//
// Units: metres, square metres, eV, 1/m; the document file keeps metres.
//
// The scattered-wave document (".xml_sf", root rack "DREV_ScatteringData")
// is written and read by one serializer, LwDocScattering::LoadSave, by the
// Barn document's mode. Coefficients travel in base64, bit for bit; every
// other floating value with six significant digits.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"
#include "physics/LwClusterAtom.h"
#include "physics/LwOrderedAtomPass.h"
#include "physics/LwVectorFreeElectron.h"

#include <string>
#include <vector>

class LwBarnXml;
class LwDebye;
class LwDocFluctuation;
class LwDocScatteringPhaseShift;
class LwEmitterEntry;
class LwNotifyTerminate;
class LwPhaseShiftEntry;
class LwWaveReexpansion;

class LwScatteringData
{
public:
    // The current wave list: kinetic energy (eV), mean free path (m) and the
    // sources, source 0 the emitter.
    LwVectorFreeElectron ListScatterer;
    // The list that the running pass builds; after set-up a copy of
    // ListScatterer.
    LwVectorFreeElectron NextListScatterer;
    // Index of the structure in the cluster and of the emitted-wave entry.
    LwLong StIndex = 0;
    LwLong EWIndex = 0;
    // Weight of the emitted wave, carried unchanged.
    double Ratio = 0.0;
    // Per source: the atom's label in the cluster document.
    std::vector<std::string> ListAtomName;
    // Per source: position of its entry in the phase-shift document's entry
    // list, -1 for none. A column vector of 32-bit values, so that every
    // entry of a document of any length can be addressed.
    LwLongMatrix PhaseShiftIndex;

    // Orders the atoms of structure s in place (along the plane wave of
    // emitted-wave entry 0 when that is a plane wave; else by `mode`: 0 by
    // distance, 1 by depth, other values keep the order) and makes one source
    // per atom: position (m), atomic number of its element, isotropic U.
    // LwError for a structure index out of range, an empty structure, no
    // emitted wave, an unknown element or an anisotropic U.
    void SetListScatterer(LwCluster& structures, const std::vector<LwEmitterEntry>& emittedWaves,
                          LwLong structureIndex, LwLong mode);
    // Puts emitted-wave entry w on source 0 (kinetic energy, coefficients or
    // plane wave) and the kinetic energy on every source. LwError for an
    // index out of range or a record without sources.
    void SetEmittedWave(const std::vector<LwEmitterEntry>& emittedWaves, LwLong emittedWaveIndex);
    // Per source, the first phase-shift entry with exactly the list's kinetic
    // energy and exactly the atom's name; LwError "Error: There is no phase
    // shift data" when some source has none.
    void SetPhaseShiftIndex(const LwDocScatteringPhaseShift& phaseShift);
    // The two-atom record of the scattering pattern matrix: the emitter with
    // coefficients c at the origin and one atom of the same element at
    // (0, 0, z); U from the fluctuation settings. An LwError of any step is
    // thrown on as "LwScatteringData::SetListScattererDimerOnZ()" followed by
    // its text.
    void SetListScattererDimerOnZ(const LwLmComplexArray& coefficients, double ek, double z, std::string name,
                                  std::string element, LwLong phaseShiftIndex,
                                  const LwDocFluctuation& fluctuation, const LwDebye& atomicWeights);
};

class LwDocScattering
{
public:
    // Method numbers (Version).
    static constexpr LwLong kSingleScattering = 0;
    static constexpr LwLong kSlowMultipleScattering = 1;
    static constexpr LwLong kMultipleScattering = 2;

    // Loop state of the running calculation.
    LwLong EWIndex = 0;
    LwLong EWCount = 0;
    LwLong StIndex = 0;
    LwLong StCount = 0;
    LwLong AtIndex = 0;
    LwLong AtCount = 0;
    LwLong MuIndex = 0;
    LwLong MuCount = 0;
    // Method: kSingleScattering, kSlowMultipleScattering or kMultipleScattering.
    LwLong Version = 0;
    // Number of l values of the atom being scattered at (its t-vector length).
    LwLong CurrSize_l_ = 0;
    // Accuracy handed to the wave re-expansion.
    double EPS = 0.01;
    // The calculation saves the document under this name; empty: not saved.
    std::string OutputFileName_;
    // Number of passes over the atoms; only one pass is supported.
    LwLong MultiScattering = 1;
    // Atom order when emitted-wave entry 0 is no plane wave: 0 by distance,
    // 1 by depth, other values keep the cluster document's order.
    LwLong AtomOrderMode_ = 0;
    std::vector<LwScatteringData> ListScatteringData;

    // Appends a record and sets it up for structure StIndex and emitted wave
    // EWIndex; returns it. On failure the record stays, filled as far as it
    // got.
    LwScatteringData& AddScatteringData(LwCluster& structures,
                                        const std::vector<LwEmitterEntry>& emittedWaves,
                                        const LwDocScatteringPhaseShift& phaseShift);

    // The whole calculation: one record per (structure, emitted wave), every
    // atom scattering once, then the document saved to OutputFileName_
    // (when not empty). Prints its progress lines on standard output. Asks
    // `stop` before every atom; a true answer returns at once, unsaved.
    // Failures propagate as exceptions and leave the records done so far.
    //
    // The atoms of one dependency level (DependencyLevels) run in parallel
    // on the OpenMP threads, each with its own re-expansion calculator; a
    // level of one atom runs on the calling thread and parallelises its
    // re-expansion instead. Every atom sums its incident wave in the same
    // order as an atom-after-atom run would, so the results do not depend on
    // the number of threads. Each atom's console lines are kept and printed
    // in atom order; of several failing atoms the lowest one's error is
    // thrown, as an atom-after-atom run would (atoms above it that ran in the
    // same level keep their results). `stop` is asked from the team's
    // threads, one query at a time and in atom order within a level; after
    // its first yes it is not asked again.
    void Calculate(LwNotifyTerminate& stop, LwCluster& structures,
                   const std::vector<LwEmitterEntry>& emittedWaves,
                   const LwDocScatteringPhaseShift& phaseShift);

    // One atom step of pass p for atom i, by method 0, 1 and 2. Called alone
    // they print their lines on standard output.
    void OneCalculate(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift, LwLong pass,
                      LwLong atom);
    void OneCalculateVer1(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift, LwLong pass,
                          LwLong atom);
    void OneCalculateVer2(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift, LwLong pass,
                          LwLong atom);

    // Atom i scatters `incident` (the wave arriving at it, described about
    // it): NextListScatterer source i receives the scattered coefficients.
    void ScatterAtAtom(LwVectorFreeElectron& incident, LwLong atom, LwScatteringData& record,
                       const LwDocScatteringPhaseShift& phaseShift);
    void ScatterAtSource(LwPartialWaveSource& target, LwVectorFreeElectron& incident,
                         const LwPhaseShiftEntry& entry);
    // Re-expands `incident` about the origin into `expansion` (both
    // coefficient arrays a_lm / 2), with L = the entry's t-vector length.
    void ExpandIncidentWave(LwPartialWaveSource& expansion, LwVectorFreeElectron& incident,
                            const LwPhaseShiftEntry& entry);
    // target's outgoing coefficients := t_l times expansion's outgoing a_lm / 2.
    void ApplyTMatrix(LwPartialWaveSource& target, const LwPartialWaveSource& expansion,
                      const LwPhaseShiftEntry& entry);

    // The earlier atoms j (1 <= j < i, increasing) whose scattered waves
    // reach atom i in the multiple-scattering method: those within their own
    // radius R_j (the outer end of their radial grid) of the straight line
    // from the origin through atom i, and not behind the origin. LwError for
    // an entry without a radial grid or a missing phase-shift entry.
    static std::vector<LwLong> PathAtoms(const LwScatteringData& record,
                                         const LwDocScatteringPhaseShift& phaseShift, LwLong atom);
    // The atoms of one pass of `method`, in dependency levels: an atom of
    // level n needs the results of this pass of some atoms of level n - 1
    // and of no atom of level n or above; within a level, increasing atom
    // order. Single scattering: one level; slow multiple scattering: atoms 0
    // and 1, then one atom per level; multiple scattering: from PathAtoms (an
    // atom whose path test fails goes to level 0, where its step reports the
    // failure).
    static std::vector<std::vector<LwLong>> DependencyLevels(LwLong method, const LwScatteringData& record,
                                                             const LwDocScatteringPhaseShift& phaseShift);

    // The scattered-wave document, read or written by the document's mode.
    // False only when the root rack is missing on reading (nothing changed).
    // On reading, a document cut short or with broken coefficient data is an
    // LwError.
    bool LoadSave(LwBarnXml& doc);
    bool LoadSaveData(LwBarnXml& doc, const std::string& rackName);

private:
    // One pass over the atoms of `record` (LwOrderedAtomPass), with the
    // team's calculators for the atoms that run in parallel. True when the
    // stop hook asked to stop.
    bool RunPass(LwNotifyTerminate& stop, LwScatteringData& record,
                 const LwDocScatteringPhaseShift& phaseShift,
                 LwOrderedAtomPass::TeamCalculators& calculators);

    // The re-expansion calculator of a running Calculate for atoms that run
    // alone, shared so that its sampling spheres are built once per L; null
    // outside Calculate (an atom step called alone uses a calculator of its
    // own).
    LwWaveReexpansion* reexpansion_ = nullptr;
};

// The record list: one item rack per record (Barn list element).
bool LoadSaveListScatteringData(LwBarnXml& doc, const std::string& listName, const std::string& itemName,
                                std::vector<LwScatteringData>& list);
// One record; false when the item rack is missing on reading.
bool LoadSaveScatteringData(LwScatteringData& record, LwBarnXml& doc, const std::string& itemName);
// One wave list; the record supplies (writing) or receives (reading) the atom
// names. False when the rack is missing on reading.
bool LoadSaveVectorFreeElectron(LwScatteringData& record, LwBarnXml& doc, const std::string& rackName,
                                LwVectorFreeElectron& wave);

// Isotropic U (m^2) of an atom: 0 without U, the element of a 1 x 1 U;
// LwError "U aniso is not supported" for any other shape.
double GetUiso(const LwClusterAtom& atom);
