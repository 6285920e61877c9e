// The multiple-scattering loop.

#include "physics/LwDocScattering.h"

#include "core/LwBarnFile.h"
#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "core/TextUtilities.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "physics/LwOrderedAtomPass.h"
#include "physics/LwWaveReexpansion.h"
#include "physics/LwWaveVectorFreeElectron.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <optional>

namespace {
const char* const kOnlyOnePass = "This is not support full multi-scattering calc.";

bool IsKnownMethod(LwLong version)
{
    return version == LwDocScattering::kSingleScattering ||
           version == LwDocScattering::kSlowMultipleScattering ||
           version == LwDocScattering::kMultipleScattering;
}

// Where an atom step writes its console lines: standard output, or the
// atom's own buffer while atoms run in parallel (printed in atom order once
// every atom before it is done).
class AtomConsole
{
public:
    explicit AtomConsole(std::string* buffer = nullptr) : buffer_(buffer) {}

    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        if (!buffer_) {
            std::vprintf(format, args);
        } else {
            va_list again;
            va_copy(again, args);
            const int n = std::vsnprintf(nullptr, 0, format, args);
            if (n > 0) {
                const std::size_t at = buffer_->size();
                buffer_->resize(at + std::size_t(n) + 1);
                std::vsnprintf(&(*buffer_)[at], std::size_t(n) + 1, format, again);
                buffer_->resize(at + std::size_t(n));
            }
            va_end(again);
        }
        va_end(args);
    }

private:
    std::string* buffer_;
};

// What one atom step works with: the calculator it re-expands with, its
// console, the accuracy, and the t-vector length of its atom once the
// expansion has read it (-1 before).
struct AtomStep
{
    LwWaveReexpansion& reexpansion;
    AtomConsole console;
    double eps;
    LwLong sizeL = -1;
};

// The phase-shift entry of atom i of a record. A record read from a
// document carries no indices, and a hand-made one may carry stale ones:
// both are reported instead of reading past the entry list.
const LwPhaseShiftEntry& EntryOfAtom(const LwScatteringData& record,
                                     const LwDocScatteringPhaseShift& phaseShift, LwLong atom)
{
    const std::vector<LwPhaseShiftEntry>& entries = phaseShift.ListScatteringPhaseShift;
    const LwLongMatrix& index = record.PhaseShiftIndex;
    if (atom < 0 || atom >= index.VectorSize())
        throw LwError("Error: There is no phase shift data for atom " + IntToString(atom));
    const LwLong j = index[index.VectorBegin() + atom];
    if (j < 0 || static_cast<std::size_t>(j) >= entries.size())
        throw LwError("Error: There is no phase shift data for atom " + IntToString(atom) + " (entry " +
                      IntToString(j) + " of " + IntToString(static_cast<int>(entries.size())) + ")");
    return entries[j];
}

// Source 0's next-pass coefficients start from zero with its current L.
void ClearNextEmitter(LwScatteringData& record)
{
    const LwLong L = record.ListScatterer.Sources()[0].Outgoing().GetL();
    record.NextListScatterer.Sources()[0].Outgoing().SetSizeZero(L);
}

void RequireFirstPass(LwLong pass)
{
    if (pass != 0)
        throw LwError(kOnlyOnePass);
}

// Re-expands `incident` about the origin into `expansion` with L = the
// entry's t-vector length.
void ExpandIncident(AtomStep& step, LwPartialWaveSource& expansion, LwVectorFreeElectron& incident,
                    const LwPhaseShiftEntry& entry)
{
    LwWaveVectorFreeElectron wave;
    wave.Attach(&incident);
    step.console.Print("Current N Emitter=%ld\n", static_cast<long>(incident.Sources().size()));
    step.sizeL = entry.TVector.VectorSize();
    if (step.sizeL <= 0)
        throw LwError("Please set CurrSize_l_");
    step.reexpansion.SetEPS(step.eps);
    step.reexpansion.SetSize_l(step.sizeL);
    step.reexpansion.ExpandToSource(expansion, wave);
}

// target's outgoing coefficients := t_l times expansion's outgoing, l < L.
void MultiplyByTMatrix(LwPartialWaveSource& target, const LwPartialWaveSource& expansion,
                       const LwPhaseShiftEntry& entry, LwLong L)
{
    const LwLComplexMatrix& t = entry.TVector;
    const int tBegin = t.VectorBegin();
    const LwLmComplexArray& a = expansion.Outgoing();
    LwLmComplexArray& b = target.Outgoing();
    b.SetSizeZero(L);
    for (LwLong l = 0; l < L; ++l) {
        const LComplex tl = t[tBegin + l];
        for (LwLong m = -l; m <= l; ++m)
            b(l, m) = tl * a(l, m);
    }
}

void ScatterAtTarget(AtomStep& step, LwPartialWaveSource& target, LwVectorFreeElectron& incident,
                     const LwPhaseShiftEntry& entry)
{
    LwPartialWaveSource expansion;
    ExpandIncident(step, expansion, incident, entry);
    MultiplyByTMatrix(target, expansion, entry, step.sizeL);
}

void ScatterAt(AtomStep& step, LwVectorFreeElectron& incident, LwLong atom, LwScatteringData& record,
               const LwDocScatteringPhaseShift& phaseShift)
{
    const LwPhaseShiftEntry& entry = EntryOfAtom(record, phaseShift, atom);
    // Re-centring drops every source at the atom's own place; an atom on top
    // of the emitter is left without any wave to scatter.
    if (incident.Sources().empty())
        throw LwError("Atom " + IntToString(atom) +
                      " lies at the position of the emitter: there is no incident wave to scatter");
    ScatterAtTarget(step, record.NextListScatterer.Sources()[atom], incident, entry);
}

// Atom i, the last source of `path`, scatters the wave of the other sources
// of the path, described about atom i.
void ScatterAlongPath(AtomStep& step, LwVectorFreeElectron& path, LwLong atom, LwScatteringData& record,
                      const LwDocScatteringPhaseShift& phaseShift)
{
    const double ek = record.ListScatterer.GetKineticEnergy();
    path.SetKineticEnergy(ek);
    LwVectorFreeElectron incident;
    path.Recentre(incident, static_cast<int>(path.Sources().size()) - 1);
    incident.SetKineticEnergy(ek);
    ScatterAt(step, incident, atom, record, phaseShift);
}

// Single scattering: the emitter alone, then atom i itself.
void StepSingle(AtomStep& step, LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                LwLong pass, LwLong atom)
{
    RequireFirstPass(pass);
    if (atom == 0) {
        ClearNextEmitter(record);
        return;
    }
    const std::vector<LwPartialWaveSource>& current = record.ListScatterer.Sources();
    LwVectorFreeElectron path;
    path.Sources() = {current[0], current[atom]};
    ScatterAlongPath(step, path, atom, record, phaseShift);
}

// Slow multiple scattering: the emitter, the earlier atoms as they scattered
// in this pass, then atom i itself.
void StepSlow(AtomStep& step, LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
              LwLong pass, LwLong atom)
{
    RequireFirstPass(pass);
    if (atom == 0) {
        ClearNextEmitter(record);
        return;
    }
    const std::vector<LwPartialWaveSource>& next = record.NextListScatterer.Sources();
    LwVectorFreeElectron path;
    path.Sources().push_back(record.ListScatterer.Sources()[0]);
    path.Sources().insert(path.Sources().end(), next.begin() + 1, next.begin() + atom + 1);
    ScatterAlongPath(step, path, atom, record, phaseShift);
}

// Multiple scattering: the emitter, the earlier atoms near the path as they
// scattered in this pass, then atom i itself.
void StepMultiple(AtomStep& step, LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                  LwLong pass, LwLong atom)
{
    RequireFirstPass(pass);
    step.console.Print("OneCalculateVer2: start\n");
    if (atom == 0) {
        LwPartialWaveSource& nextEmitter = record.NextListScatterer.Sources()[0];
        nextEmitter = record.ListScatterer.Sources()[0];
        nextEmitter.Outgoing().Fill(LComplex(0, 0));
        return;
    }
    const LwPartialWaveSource& target = record.ListScatterer.Sources()[atom];
    const LDouble xt = target.X(), yt = target.Y(), zt = target.Z();
    const LDouble rt2 = xt * xt + yt * yt + zt * zt;
    step.console.Print("Target atom positoin(r2)(x,y,z)=(%Lg)(%Lg,%Lg,%Lg)\n", static_cast<long double>(rt2),
                       static_cast<long double>(xt), static_cast<long double>(yt),
                       static_cast<long double>(zt));

    const std::vector<LwPartialWaveSource>& next = record.NextListScatterer.Sources();
    LwVectorFreeElectron path;
    path.Sources().push_back(record.ListScatterer.Sources()[0]);
    for (LwLong j : LwDocScattering::PathAtoms(record, phaseShift, atom))
        path.Sources().push_back(next[j]);
    path.Sources().push_back(next[atom]);
    ScatterAlongPath(step, path, atom, record, phaseShift);
}

using StepFunction = void (*)(AtomStep&, LwScatteringData&, const LwDocScatteringPhaseShift&, LwLong, LwLong);

StepFunction StepOfMethod(LwLong version)
{
    switch (version) {
    case LwDocScattering::kSingleScattering: return StepSingle;
    case LwDocScattering::kSlowMultipleScattering: return StepSlow;
    case LwDocScattering::kMultipleScattering: return StepMultiple;
    default: return nullptr;
    }
}

// Stores a step's t-vector length in `out` when the step leaves, also by an
// exception, once the expansion has read it.
struct KeepSize
{
    const AtomStep& step;
    LwLong& out;
    ~KeepSize()
    {
        if (step.sizeL >= 0)
            out = step.sizeL;
    }
};

// Runs one atom-level operation called on its own: lines straight to
// standard output, the calculator of a running Calculate or one of its own,
// and CurrSize_l_ updated as soon as the expansion has read the t-vector
// (also when it then fails).
template <class Body>
void RunAlone(LwWaveReexpansion* shared, double eps, LwLong& currSizeL, const Body& body)
{
    std::optional<LwWaveReexpansion> own;
    AtomStep step{shared ? *shared : own.emplace(), AtomConsole(), eps};
    KeepSize keep{step, currSizeL};
    body(step);
}
}  // namespace

std::vector<LwLong> LwDocScattering::PathAtoms(const LwScatteringData& record,
                                               const LwDocScatteringPhaseShift& phaseShift, LwLong atom)
{
    const std::vector<LwPartialWaveSource>& next = record.NextListScatterer.Sources();
    const LwPartialWaveSource& target = record.ListScatterer.Sources()[atom];
    const LDouble xt = target.X(), yt = target.Y(), zt = target.Z();
    const LDouble rt2 = xt * xt + yt * yt + zt * zt;
    std::vector<LwLong> atoms;
    for (LwLong j = 1; j < atom; ++j) {
        const LwPhaseShiftEntry& entry = EntryOfAtom(record, phaseShift, j);
        const std::vector<double>& lnX = entry.LnX;
        if (lnX.empty())
            throw LwError("The phase shift data of atom " + IntToString(j) + " (" + entry.AtomName +
                          ") has no radial grid (LnX): the multiple-scattering method needs the atom radius");
        const LDouble R = std::exp(lnX.back());
        const LwPartialWaveSource& s = next[j];
        const LDouble xj = s.X(), yj = s.Y(), zj = s.Z();
        const LDouble dot = xj * xt + yj * yt + zj * zt;
        const LDouble rj2 = xj * xj + yj * yj + zj * zj;
        if (dot >= 0 && rj2 * rt2 - dot * dot - R * R * rt2 <= 0)
            atoms.push_back(j);
    }
    return atoms;
}

std::vector<std::vector<LwLong>>
LwDocScattering::DependencyLevels(LwLong method, const LwScatteringData& record,
                                  const LwDocScatteringPhaseShift& phaseShift)
{
    const LwLong count = static_cast<LwLong>(record.ListScatterer.Sources().size());
    std::vector<LwLong> level(std::size_t(count), 0);
    LwLong top = 0;
    for (LwLong i = 2; i < count; ++i) {
        LwLong l = 0;
        if (method == kSlowMultipleScattering) {
            l = level[std::size_t(i - 1)] + 1;
        } else if (method == kMultipleScattering) {
            try {
                for (LwLong j : PathAtoms(record, phaseShift, i))
                    l = std::max(l, level[std::size_t(j)] + 1);
            } catch (...) {
                l = 0;  // the atom's own step reports it
            }
        }
        level[std::size_t(i)] = l;
        top = std::max(top, l);
    }
    std::vector<std::vector<LwLong>> levels(count > 0 ? std::size_t(top) + 1 : 0);
    for (LwLong i = 0; i < count; ++i)
        levels[std::size_t(level[std::size_t(i)])].push_back(i);
    return levels;
}

void LwDocScattering::Calculate(LwNotifyTerminate& stop, LwCluster& structures,
                                const std::vector<LwEmitterEntry>& emittedWaves,
                                const LwDocScatteringPhaseShift& phaseShift)
{
    if (!IsKnownMethod(Version))
        throw LwError("Multiple scattering calculation method is not correct: method number " +
                      IntToString(Version) + " (0 single, 1 slow multiple, 2 multiple scattering)");
    LwWaveReexpansion reexpansion;
    struct SharedCalculator
    {
        LwWaveReexpansion*& slot;
        ~SharedCalculator() { slot = nullptr; }
    } shared{reexpansion_};
    reexpansion_ = &reexpansion;
    LwOrderedAtomPass::TeamCalculators calculators(omp_get_max_threads());

    EWCount = static_cast<LwLong>(emittedWaves.size());
    StCount = static_cast<LwLong>(structures.size());
    AtCount = 0;
    MuCount = MultiScattering;
    ListScatteringData.clear();

    for (StIndex = 0; StIndex < StCount; ++StIndex) {
        std::cout << "StIndex" << StIndex << "/" << StCount << std::endl;
        for (EWIndex = 0; EWIndex < EWCount; ++EWIndex) {
            std::cout << "EWIndex" << EWIndex << "/" << EWCount << std::endl;
            AddScatteringData(structures, emittedWaves, phaseShift);
            // The list may have moved its records: address the new one afresh.
            AtCount = static_cast<LwLong>(ListScatteringData.back().ListScatterer.Sources().size());
            std::cout << "EXIT add scattering data" << std::endl;
            for (MuIndex = 0; MuIndex < MuCount; ++MuIndex) {
                std::cout << "MulIndex:" << MuIndex << "/" << MuCount << std::endl;
                LwScatteringData& record = ListScatteringData.back();
                if (RunPass(stop, record, phaseShift, calculators))
                    return;
                // The emitter keeps emitting: its own wave is added to the
                // next pass's emitter (checked access: the next emitter must
                // hold at least its L).
                const LwLmComplexArray& own = record.ListScatterer.Sources()[0].Outgoing();
                LwLmComplexArray& next = record.NextListScatterer.Sources()[0].Outgoing();
                for (LwLong l = 0; l < own.GetL(); ++l)
                    for (LwLong m = -l; m <= l; ++m)
                        next(l, m) += own(l, m);
                record.ListScatterer = record.NextListScatterer;
            }
        }
    }

    if (!OutputFileName_.empty()) {
        LwBarnFile file(OutputFileName_, "w");
        LoadSave(file);
        // Saved here, not by the destructor, so that a failed write reaches
        // the caller.
        file.Save();
    }
}

bool LwDocScattering::RunPass(LwNotifyTerminate& stop, LwScatteringData& record,
                              const LwDocScatteringPhaseShift& phaseShift,
                              LwOrderedAtomPass::TeamCalculators& calculators)
{
    const StepFunction step = StepOfMethod(Version);
    LwOrderedAtomPass pass(
        AtCount, {StIndex, StCount, EWIndex, EWCount, MuIndex, MuCount}, stop,
        [&](LwLong atom, LwWaveReexpansion& calculator, std::string& console, LwLong& sizeL) {
            AtomStep s{calculator, AtomConsole(&console), EPS};
            KeepSize keep{s, sizeL};
            step(s, record, phaseShift, MuIndex, atom);
        });
    pass.Run(DependencyLevels(Version, record, phaseShift), *reexpansion_, calculators);
    const LwLong sizeL = pass.LastSizeL();
    if (sizeL >= 0)
        CurrSize_l_ = sizeL;
    AtIndex = pass.End();
    return pass.RethrowOrStopped();
}

void LwDocScattering::OneCalculate(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                                   LwLong pass, LwLong atom)
{
    RunAlone(reexpansion_, EPS, CurrSize_l_,
             [&](AtomStep& s) { StepSingle(s, record, phaseShift, pass, atom); });
}

void LwDocScattering::OneCalculateVer1(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                                       LwLong pass, LwLong atom)
{
    RunAlone(reexpansion_, EPS, CurrSize_l_,
             [&](AtomStep& s) { StepSlow(s, record, phaseShift, pass, atom); });
}

void LwDocScattering::OneCalculateVer2(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                                       LwLong pass, LwLong atom)
{
    RunAlone(reexpansion_, EPS, CurrSize_l_,
             [&](AtomStep& s) { StepMultiple(s, record, phaseShift, pass, atom); });
}

void LwDocScattering::ScatterAtAtom(LwVectorFreeElectron& incident, LwLong atom, LwScatteringData& record,
                                    const LwDocScatteringPhaseShift& phaseShift)
{
    RunAlone(reexpansion_, EPS, CurrSize_l_,
             [&](AtomStep& s) { ScatterAt(s, incident, atom, record, phaseShift); });
}

void LwDocScattering::ScatterAtSource(LwPartialWaveSource& target, LwVectorFreeElectron& incident,
                                      const LwPhaseShiftEntry& entry)
{
    RunAlone(reexpansion_, EPS, CurrSize_l_,
             [&](AtomStep& s) { ScatterAtTarget(s, target, incident, entry); });
}

void LwDocScattering::ExpandIncidentWave(LwPartialWaveSource& expansion, LwVectorFreeElectron& incident,
                                         const LwPhaseShiftEntry& entry)
{
    RunAlone(reexpansion_, EPS, CurrSize_l_,
             [&](AtomStep& s) { ExpandIncident(s, expansion, incident, entry); });
}

void LwDocScattering::ApplyTMatrix(LwPartialWaveSource& target, const LwPartialWaveSource& expansion,
                                   const LwPhaseShiftEntry& entry)
{
    MultiplyByTMatrix(target, expansion, entry, CurrSize_l_);
}
