// The multiple-scattering loop.

#include "physics/LwDocScattering.h"

#include "core/LwBarnFile.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwWaveReexpansion.h"
#include "physics/LwWaveVectorFreeElectron.h"
#include "core/TextUtilities.h"

#include <cmath>
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

// Atom i, the last source of `path`, scatters the wave of the other sources
// of the path, described about atom i.
void ScatterAlongPath(LwDocScattering& doc, LwVectorFreeElectron& path, LwLong atom, LwScatteringData& record,
                      const LwDocScatteringPhaseShift& phaseShift)
{
    const double ek = record.ListScatterer.GetKineticEnergy();
    path.SetKineticEnergy(ek);
    LwVectorFreeElectron incident;
    path.Recentre(incident, static_cast<int>(path.Sources().size()) - 1);
    incident.SetKineticEnergy(ek);
    doc.ScatterAtAtom(incident, atom, record, phaseShift);
}
}  // namespace

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
                for (AtIndex = 0; AtIndex < AtCount; ++AtIndex) {
                    std::printf("StIndex: %ld/%ld, EWIndex: %ld/%ld, MuIndex: %ld/%ld, AtIndex: %ld / %ld\n",
                                static_cast<long>(StIndex + 1), static_cast<long>(StCount),
                                static_cast<long>(EWIndex + 1), static_cast<long>(EWCount),
                                static_cast<long>(MuIndex + 1), static_cast<long>(MuCount),
                                static_cast<long>(AtIndex + 1), static_cast<long>(AtCount));
                    if (stop.IsTerminate())
                        return;
                    switch (Version) {
                    case kSingleScattering: OneCalculate(record, phaseShift, MuIndex, AtIndex); break;
                    case kSlowMultipleScattering:
                        OneCalculateVer1(record, phaseShift, MuIndex, AtIndex);
                        break;
                    case kMultipleScattering: OneCalculateVer2(record, phaseShift, MuIndex, AtIndex); break;
                    }
                }
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

void LwDocScattering::OneCalculate(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                                   LwLong pass, LwLong atom)
{
    RequireFirstPass(pass);
    if (atom == 0) {
        ClearNextEmitter(record);
        return;
    }
    // The emitter alone, then atom i itself.
    const std::vector<LwPartialWaveSource>& current = record.ListScatterer.Sources();
    LwVectorFreeElectron path;
    path.Sources() = {current[0], current[atom]};
    ScatterAlongPath(*this, path, atom, record, phaseShift);
}

void LwDocScattering::OneCalculateVer1(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                                       LwLong pass, LwLong atom)
{
    RequireFirstPass(pass);
    if (atom == 0) {
        ClearNextEmitter(record);
        return;
    }
    // The emitter, the earlier atoms as they scattered in this pass, then
    // atom i itself.
    const std::vector<LwPartialWaveSource>& next = record.NextListScatterer.Sources();
    LwVectorFreeElectron path;
    path.Sources().push_back(record.ListScatterer.Sources()[0]);
    path.Sources().insert(path.Sources().end(), next.begin() + 1, next.begin() + atom + 1);
    ScatterAlongPath(*this, path, atom, record, phaseShift);
}

void LwDocScattering::OneCalculateVer2(LwScatteringData& record, const LwDocScatteringPhaseShift& phaseShift,
                                       LwLong pass, LwLong atom)
{
    RequireFirstPass(pass);
    std::printf("OneCalculateVer2: start\n");
    if (atom == 0) {
        LwPartialWaveSource& nextEmitter = record.NextListScatterer.Sources()[0];
        nextEmitter = record.ListScatterer.Sources()[0];
        nextEmitter.Outgoing().Fill(LComplex(0, 0));
        return;
    }
    const std::vector<LwPartialWaveSource>& next = record.NextListScatterer.Sources();
    const LwPartialWaveSource& target = record.ListScatterer.Sources()[atom];
    const LDouble xt = target.X(), yt = target.Y(), zt = target.Z();
    const LDouble rt2 = xt * xt + yt * yt + zt * zt;
    std::printf("Target atom positoin(r2)(x,y,z)=(%Lg)(%Lg,%Lg,%Lg)\n", static_cast<long double>(rt2),
                static_cast<long double>(xt), static_cast<long double>(yt), static_cast<long double>(zt));

    LwVectorFreeElectron path;
    path.Sources().push_back(record.ListScatterer.Sources()[0]);
    for (LwLong j = 1; j < atom; ++j) {
        // Atom j takes part when it lies within its own radius R_j (the
        // outer end of its radial grid) of the straight line from the
        // origin through atom i, and not behind the origin.
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
            path.Sources().push_back(s);
    }
    path.Sources().push_back(next[atom]);
    ScatterAlongPath(*this, path, atom, record, phaseShift);
}

void LwDocScattering::ScatterAtAtom(LwVectorFreeElectron& incident, LwLong atom, LwScatteringData& record,
                                    const LwDocScatteringPhaseShift& phaseShift)
{
    const LwPhaseShiftEntry& entry = EntryOfAtom(record, phaseShift, atom);
    // Re-centring drops every source at the atom's own place; an atom on top
    // of the emitter is left without any wave to scatter.
    if (incident.Sources().empty())
        throw LwError("Atom " + IntToString(atom) +
                      " lies at the position of the emitter: there is no incident wave to scatter");
    ScatterAtSource(record.NextListScatterer.Sources()[atom], incident, entry);
}

void LwDocScattering::ScatterAtSource(LwPartialWaveSource& target, LwVectorFreeElectron& incident,
                                      const LwPhaseShiftEntry& entry)
{
    LwPartialWaveSource expansion;
    ExpandIncidentWave(expansion, incident, entry);
    ApplyTMatrix(target, expansion, entry);
}

void LwDocScattering::ExpandIncidentWave(LwPartialWaveSource& expansion, LwVectorFreeElectron& incident,
                                         const LwPhaseShiftEntry& entry)
{
    LwWaveVectorFreeElectron wave;
    wave.Attach(&incident);
    std::printf("Current N Emitter=%ld\n", static_cast<long>(incident.Sources().size()));
    CurrSize_l_ = entry.TVector.VectorSize();
    if (CurrSize_l_ <= 0)
        throw LwError("Please set CurrSize_l_");
    std::optional<LwWaveReexpansion> own;
    LwWaveReexpansion& reexpansion = reexpansion_ ? *reexpansion_ : own.emplace();
    reexpansion.SetEPS(EPS);
    reexpansion.SetSize_l(CurrSize_l_);
    reexpansion.ExpandToSource(expansion, wave);
}

void LwDocScattering::ApplyTMatrix(LwPartialWaveSource& target, const LwPartialWaveSource& expansion,
                                   const LwPhaseShiftEntry& entry)
{
    const LwLComplexMatrix& t = entry.TVector;
    const int tBegin = t.VectorBegin();
    const LwLmComplexArray& a = expansion.Outgoing();
    LwLmComplexArray& b = target.Outgoing();
    b.SetSizeZero(CurrSize_l_);
    for (LwLong l = 0; l < CurrSize_l_; ++l) {
        const LComplex tl = t[tBegin + l];
        for (LwLong m = -l; m <= l; ++m)
            b(l, m) = tl * a(l, m);
    }
}
