#include "LwInputChecks.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"

#include <cmath>
#include <cstddef>

namespace {

[[noreturn]] void Refuse(const std::string& what, const std::string& fileName)
{
    throw LwError(what + ": " + fileName);
}

std::string Ordinal(std::size_t index)
{
    return LongToString(static_cast<LwLong>(index + 1));
}

std::string Value(double value)
{
    return " (read " + DoubleToString(value) + ")";
}

bool IsPositiveEnergy(double ek)
{
    return std::isfinite(ek) && ek > 0;
}

// A finite position with every coordinate within the bound, metres.
bool IsMeaningfulPosition(LDouble x, LDouble y, LDouble z)
{
    for (LDouble c : {x, y, z})
        if (!std::isfinite(static_cast<double>(c)) ||
            std::fabs(static_cast<double>(c)) > kLwMaxAtomCoordinate_m)
            return false;
    return true;
}

const std::string kPositionRule = "coordinates must be finite and within " +
                                  DoubleToString(kLwMaxAtomCoordinate_m / LwConst::Angstrom_m) +
                                  " Angstrom of the emitter";

// "" when every coefficient is finite and (if required) one is not zero,
// else what is wrong with them.
std::string CoefficientFault(const LwLmComplexArray& c, bool requireNonZero)
{
    bool anyNonZero = false;
    for (LwLong p = 0; p < c.Size(); ++p) {
        const double re = static_cast<double>(c[p].real()), im = static_cast<double>(c[p].imag());
        if (!std::isfinite(re) || !std::isfinite(im))
            return "a coefficient is not a finite number";
        anyNonZero = anyNonZero || re != 0 || im != 0;
    }
    if (requireNonZero && !anyNonZero)
        return c.GetL() == 0 ? "has no coefficients (Size_l is 0 or missing)"
                             : "has no coefficients (all zero, or fewer stored than Size_l " +
                                   LongToString(c.GetL()) + " requires)";
    return std::string();
}

bool IsFiniteMatrix(const LwLDoubleMatrix& m)
{
    const LDouble* b = m.Buffer();
    for (LwLong i = 0; i < m.ElementCount(); ++i)
        if (!std::isfinite(static_cast<double>(b[i])))
            return false;
    return true;
}

}  // namespace

void CheckAtomicWeightValues(const LwDebye& debye, const std::string& fileName)
{
    const auto& table = debye.Table();
    for (std::size_t z = 1; z < table.size(); ++z)
        if (!std::isfinite(table[z]) || !(table[z] > 0))
            Refuse("Atomic weight of atomic number " + LongToString(static_cast<LwLong>(z)) +
                       " must be a finite number > 0" + Value(table[z]),
                   fileName);
}

void CheckClusterValues(const LwCluster& cluster, const std::string& fileName)
{
    for (std::size_t s = 0; s < cluster.size(); ++s) {
        const std::string structure = "Structure " + Ordinal(s);
        if (cluster[s].empty())
            Refuse(structure + " has no atom", fileName);
        for (std::size_t a = 0; a < cluster[s].size(); ++a) {
            const LwClusterAtom& atom = cluster[s][a];
            const std::string where = structure + ", atom " + Ordinal(a) + " (" + atom.Name_ + ")";
            const LwLDoubleMatrix& r = atom.Position_;
            const int b = r.VectorBegin();
            if (r.ElementCount() != 3 || !IsMeaningfulPosition(r[b], r[b + 1], r[b + 2]))
                Refuse(where + ": " + kPositionRule, fileName);
            const LwLDoubleMatrix& u = atom.U_;
            if (!IsFiniteMatrix(u))
                Refuse(where + ": mean-square displacement U must be finite", fileName);
            for (int i = 0; i < u.ColSize && i < u.RowSize; ++i)
                if (u(u.ColBegin + i, u.RowBegin + i) < 0)
                    Refuse(where + ": mean-square displacement U must not be negative", fileName);
        }
    }
}

void CheckEmittedWaveValues(const LwDocFinalState& document, const std::string& fileName)
{
    if (document.ListEmitter.empty())
        Refuse("Emitted-wave document holds no emitted wave (no \"list_emitter\" item)", fileName);
    for (std::size_t i = 0; i < document.ListEmitter.size(); ++i) {
        const LwEmitterEntry& e = document.ListEmitter[i];
        const std::string where = "Emitted wave " + Ordinal(i);
        if (!IsPositiveEnergy(e.Ek))
            Refuse(where + ": kinetic energy Ek must be a finite number > 0" + Value(e.Ek), fileName);
        if (!std::isfinite(e.Ratio))
            Refuse(where + ": Ratio must be finite" + Value(e.Ratio), fileName);
        if (e.IsPlaneWave) {
            if (!std::isfinite(e.PlaneWaveBeta_deg) || !std::isfinite(e.PlaneWaveGamma_deg))
                Refuse(where + ": plane-wave angles must be finite", fileName);
            const std::string fault = CoefficientFault(e.coeff, false);
            if (!fault.empty())
                Refuse(where + ": " + fault, fileName);
        } else {
            const std::string fault = CoefficientFault(e.coeff, true);
            if (!fault.empty())
                Refuse(where + " " + fault, fileName);
        }
    }
}

void CheckPhaseShiftValues(const LwDocScatteringPhaseShift& document, const std::string& fileName)
{
    if (document.ListScatteringPhaseShift.empty())
        Refuse("Phase-shift document holds no entry (no \"ListScatteringPhaseShift\" item)", fileName);
    for (std::size_t i = 0; i < document.ListScatteringPhaseShift.size(); ++i) {
        const LwPhaseShiftEntry& e = document.ListScatteringPhaseShift[i];
        const std::string where = "Phase-shift entry " + Ordinal(i) + " (" + e.AtomName + ")";
        if (!IsPositiveEnergy(e.Ek_eV))
            Refuse(where + ": kinetic energy Ek_eV must be a finite number > 0" + Value(e.Ek_eV), fileName);
        if (e.PhaseShiftValue.ElementCount() == 0)
            Refuse(where + " has no phase shift", fileName);
        if (!IsFiniteMatrix(e.PhaseShiftValue))
            Refuse(where + ": a phase shift is not a finite number", fileName);
    }
}

void CheckFluctuationValues(const LwDocFluctuation& document, const std::string& fileName)
{
    if (!std::isfinite(document.Temperature_K_) || document.Temperature_K_ < 0)
        Refuse("Temperature_K_ must be a finite number >= 0" + Value(document.Temperature_K_), fileName);
    for (std::size_t i = 0; i < document.DebyeTemperature_K_.size(); ++i) {
        const double t = document.DebyeTemperature_K_[i];
        if (!std::isfinite(t) || !(t > 0))
            Refuse("Debye temperature " + Ordinal(i) +
                       (i < document.DebyeElement_.size() ? " (" + document.DebyeElement_[i] + ")"
                                                          : std::string()) +
                       " must be a finite number > 0" + Value(t),
                   fileName);
    }
}

void CheckScatteredWaveValues(const LwDocScattering& document, const std::string& fileName)
{
    if (document.ListScatteringData.empty())
        Refuse("Scattered-wave document holds no record (no \"ListScatteringData\" item)", fileName);
    for (std::size_t r = 0; r < document.ListScatteringData.size(); ++r) {
        const LwVectorFreeElectron& wave = document.ListScatteringData[r].ListScatterer;
        const std::string record = "Scattered-wave record " + Ordinal(r);
        if (!IsPositiveEnergy(wave.GetKineticEnergy()))
            Refuse(record + ": kinetic energy Ek_eV must be a finite number > 0" +
                       Value(wave.GetKineticEnergy()),
                   fileName);
        const auto& sources = wave.Sources();
        if (sources.empty())
            Refuse(record + " has no source (no \"atom_list\" item)", fileName);
        for (std::size_t n = 0; n < sources.size(); ++n) {
            const LwPartialWaveSource& s = sources[n];
            const std::string where = record + ", source " + Ordinal(n);
            if (!IsMeaningfulPosition(s.X(), s.Y(), s.Z()))
                Refuse(where + ": " + kPositionRule, fileName);
            if (!std::isfinite(s.GetU()) || s.GetU() < 0)
                Refuse(where + ": Uiso must be a finite number >= 0" + Value(s.GetU()), fileName);
            const bool planeWave = n == 0 && s.IsPlaneWave();
            const std::string fault = CoefficientFault(s.Outgoing(), n == 0 && !planeWave);
            if (!fault.empty())
                Refuse(where + (n == 0 && !planeWave ? " " : ": ") + fault, fileName);
            if (planeWave) {
                const LwLDoubleMatrix& k = s.PlaneWaveVector();
                bool nonZero = false;
                for (LwLong i = 0; i < k.ElementCount(); ++i)
                    nonZero = nonZero || k.Buffer()[i] != 0;
                if (!IsFiniteMatrix(k) || !nonZero)
                    Refuse(where + ": the plane-wave vector must be finite and not zero", fileName);
            }
        }
    }
}
