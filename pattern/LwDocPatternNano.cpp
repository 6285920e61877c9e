// The real-space field scan of LwDocPatternNano.

#include "pattern/LwDocPatternNano.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "core/LwSphericalCoordinates.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "physics/LwSphericalBesselTable.h"
#include "physics/LwSphericalHarmonics.h"

#include <omp.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>

namespace {

// Points within this fraction of an atom's convergence radius take the
// interior (radial-solution) form of its wave.
constexpr double kInteriorFraction = 0.68;
// Plane values are limited to +-kValueLimit: next to an atom centre the
// wave can grow without bound.
constexpr double kValueLimit = 1000;
// Radius weight: |r| in units of 0.1 Angstrom.
constexpr double kRadiusWeightScale = 1e11;

// (int)((max - min) / step + 1), checked so that the cast is defined.
int PointCount(double minimum, double maximum, double step)
{
    if (!(step > 0) || !std::isfinite(step))
        throw LwError("LwDocPatternNano: the scan step must be positive and finite");
    const double n = (maximum - minimum) / step + 1;
    if (!std::isfinite(n) || n >= static_cast<double>(INT_MAX))
        throw LwError("LwDocPatternNano: the scan range has too many points");
    return n <= 0 ? 0 : static_cast<int>(n);
}

// Radius of convergence of a partial-wave sum of L terms at wave number k
// (1/m): beyond it the sum about the atom centre no longer stands for the
// wave inside the atom.
double ConvergenceRadius(LwLong L, double k)
{
    const double d = static_cast<double>(L - 2);
    return (1.182 * d + 3.1803 - 0.0024453 * d * d) / k;
}

}  // namespace

int LwDocPatternNano::ColumnCount() const
{
    return PointCount(OuterMin_m_, OuterMax_m_, Step_m_);
}

int LwDocPatternNano::RowCount() const
{
    return PointCount(InnerMin_m_, InnerMax_m_, Step_m_);
}

void LwDocPatternNano::InitSphericalMap()
{
    const int nx = ColumnCount();
    const int ny = RowCount();
    LwSphericalMapGrid grid;
    grid.Create(3, nx, ny);
    grid.W.SetZero();  // no point stands for a direction
    Grid = std::move(grid);
}

void LwDocPatternNano::ScanPoint(int p, int q, LDouble r[3]) const
{
    const LDouble outer = OuterMin_m_ + static_cast<LDouble>(p) * Step_m_;
    const LDouble inner = InnerMin_m_ + static_cast<LDouble>(q) * Step_m_;
    switch (ScanPlane) {
    case 1: r[0] = 0, r[1] = outer, r[2] = inner; break;
    case 2: r[0] = inner, r[1] = 0, r[2] = outer; break;
    default: r[0] = outer, r[1] = inner, r[2] = 0; break;
    }
}

void LwDocPatternNano::SetUpRecord(const LwDocScattering& scattering, int i, RecordScan& scan) const
{
    const LwScatteringData& record = scattering.ListScatteringData[static_cast<std::size_t>(i)];
    const LwDocScatteringPhaseShift& phaseShift = *pDocScatteringPaseShift_;
    scan.wave = record.NextListScatterer;
    scan.ratio = record.Ratio;
    auto& sources = scan.wave.Sources();
    const LwLongMatrix& index = record.PhaseShiftIndex;
    scan.atoms.assign(sources.size(), AtomInterior());

    LwSphericalBesselTable bessel;
    std::vector<std::complex<double>> hPlus, hMinus;
    for (std::size_t j = 0; j < sources.size(); ++j) {
        const LwPartialWaveSource& s = sources[j];
        // Every source needs its phase-shift entry: the interior form and
        // the atom radius come from it.
        if (index.IsEmpty() || static_cast<int>(j) >= index.VectorSize())
            throw LwError("LwDocPatternNano::Calculate() ERROR: a source has no phase shift entry");
        const LwLong e = index[index.VectorBegin() + static_cast<int>(j)];
        if (e < 0 || static_cast<std::size_t>(e) >= phaseShift.ListScatteringPhaseShift.size())
            throw LwError("LwDocPatternNano::Calculate() ERROR: a source has no phase shift entry");
        const LwPhaseShiftEntry& entry = phaseShift.ListScatteringPhaseShift[static_cast<std::size_t>(e)];
        if (entry.LnX.empty())
            throw LwError("Please calculate phase shift.");
        const double R = std::exp(entry.LnX.back());
        if (R == 0)
            throw LwError("Please calculate phase shift.");
        const double k = s.GetWaveNumber();
        // k = 0 (or an unset energy) makes every radius of convergence
        // infinite and the Hankel functions singular.
        if (!(k > 0) || !std::isfinite(k))
            throw LwError("LwDocPatternNano::Calculate() ERROR: the wave number of a source is not positive");

        AtomInterior& atom = scan.atoms[j];
        atom.entry = &entry;
        if (j == 0)
            continue;  // the emitter is never given an interior
        const LwLmComplexArray& c = s.Outgoing();
        const LwLong L = c.GetL();
        const double rc = ConvergenceRadius(L, k);
        atom.limit2 = (kInteriorFraction * rc) * (kInteriorFraction * rc);
        atom.B.SetSizeZero(L);
        if (L == 0)
            continue;
        bessel.Set(L, k * R);
        bessel.GetHankel(hPlus, hMinus);
        const LwLComplexMatrix& t = entry.TVector;
        const int tSize = t.IsEmpty() ? 0 : t.VectorSize();
        for (LwLong l = 0; l < L; ++l) {
            bool zero = true;
            for (LwLong m = -l; m <= l; ++m)
                zero = zero && c(l, m) == LComplex(0, 0);
            // A partial wave without outgoing coefficients has no interior
            // part: it stays 0 even where the tables end or t_l = 0 (the
            // scattered coefficients are t_l times the incident ones).
            if (zero)
                continue;
            if (l >= tSize || static_cast<std::size_t>(l) >= entry.P.size() || entry.P[l].empty())
                throw LwError(
                    "LwDocPatternNano::Calculate() ERROR: the phase shift entry has too few l values");
            const LComplex tl = t[t.VectorBegin() + static_cast<int>(l)];
            if (tl == LComplex(0, 0))
                throw LwError(
                    "LwDocPatternNano::Calculate() ERROR: outgoing wave of a partial wave with t = 0");
            // The interior solution is scaled to meet the outer wave at R: a
            // radial function that vanishes there cannot be scaled.
            const double PR = entry.P[static_cast<std::size_t>(l)].back();
            if (PR == 0 || !std::isfinite(PR))
                throw LwError(
                    "LwDocPatternNano::Calculate() ERROR: the radial function vanishes at the atom radius");
            const LComplex S = LComplex(1, 0) + tl;
            const LComplex hp(hPlus[l].real(), hPlus[l].imag());
            const LComplex hm(hMinus[l].real(), hMinus[l].imag());
            const LComplex match = (S * hp + hm) / static_cast<LDouble>(PR);
            for (LwLong m = -l; m <= l; ++m)
                atom.B(l, m) = c(l, m) / tl * match;
        }
    }

    if (IsWithoutEmitterWave_ && !sources.empty())
        sources[0].Outgoing().Fill(LComplex(0, 0));

    const LComplex phase(std::cos(PhaseAngle_rad_), -std::sin(PhaseAngle_rad_));
    const double w =
        -(scan.wave.GetKineticEnergy() * LwConst::ElementaryCharge_C / LwConst::Hbar_Js * Time_s_);
    const LComplex time(std::cos(w), std::sin(w));
    scan.factor = phase * time;

    // The kernel divides by the emitter's wave as the document holds it,
    // untouched by the without-emitter-wave flag.
    scan.kernelInverse.clear();
    scan.kernelZero = false;
    scan.kernelFailed = false;
    scan.k0 = sources.empty() ? 0.0 : sources[0].GetWaveNumber();
    if (IsHolographicKernel_ && !record.NextListScatterer.Sources().empty()) {
        const LwPartialWaveSource& emitter = record.NextListScatterer.Sources()[0];
        try {
            for (std::size_t j = 1; j < sources.size(); ++j) {
                const LComplex psi = emitter.GetValueRelative(sources[j].X(), sources[j].Y(), sources[j].Z());
                if (psi == LComplex(0, 0)) {
                    scan.kernelZero = true;
                    break;
                }
                scan.kernelInverse.push_back(LComplex(1, 0) / psi);
            }
        } catch (...) {
            // Evaluated point by point this would fail at every point: each
            // point then adds nothing.
            scan.kernelFailed = true;
        }
    }
}

LComplex LwDocPatternNano::WaveAt(const RecordScan& scan, const LDouble r[3], LwLmDoubleArray& cache,
                                  LwLmComplexArray& Y)
{
    const auto& sources = scan.wave.Sources();
    // The emitter's neighbourhood is never an interior: its coefficients are
    // not scattered ones.
    for (std::size_t j = 1; j < sources.size(); ++j) {
        const LwPartialWaveSource& s = sources[j];
        const LDouble d[3] = {r[0] - s.X(), r[1] - s.Y(), r[2] - s.Z()};
        const LDouble s2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        const AtomInterior& atom = scan.atoms[j];
        if (!(s2 < atom.limit2))
            continue;
        const LDouble dist = std::sqrt(s2);
        if (dist == 0)
            return LComplex(0, 0);
        LDouble r, theta, phi;
        CartesianToSpherical(d[0], d[1], d[2], r, theta, phi);
        const std::vector<double>& lnX = atom.entry->LnX;
        std::size_t g = 1;
        while (g < lnX.size() && !(std::exp(lnX[g]) > dist))
            ++g;
        if (g >= lnX.size())
            throw LwError("Radius is not found");
        const LwLong L = atom.B.GetL();
        if (L == 0)
            return LComplex(0, 0);
        CalcSphericalHarmonics(cache, Y, L, theta, phi);
        LComplex sum(0, 0);
        for (LwLong l = 0; l < L; ++l) {
            if (static_cast<std::size_t>(l) >= atom.entry->P.size() ||
                g >= atom.entry->P[static_cast<std::size_t>(l)].size())
                continue;  // only partial waves with B = 0 lack their table
            const LDouble P = atom.entry->P[static_cast<std::size_t>(l)][g];
            LComplex part(0, 0);
            for (LwLong m = -l; m <= l; ++m)
                part += atom.B(l, m) * Y(l, m);
            sum += part * P;
        }
        return sum;
    }
    return scan.wave.GetValueXYZ(r[0], r[1], r[2]);
}

double LwDocPatternNano::PointValue(const RecordScan& scan, const LDouble r[3], LwLmDoubleArray& cache,
                                    LwLmComplexArray& Y) const
{
    LComplex wave = WaveAt(scan, r, cache, Y) * scan.factor;
    if (IsHolographicKernel_) {
        if (scan.kernelFailed)
            throw LwError("LwDocPatternNano: the emitter wave of the kernel cannot be evaluated");
        LComplex K(0, 0);
        if (!scan.kernelZero) {
            const auto& sources = scan.wave.Sources();
            for (std::size_t j = 1; j < sources.size(); ++j) {
                const LDouble dx = r[0] - sources[j].X(), dy = r[1] - sources[j].Y(),
                              dz = r[2] - sources[j].Z();
                const LDouble a = -scan.k0 * std::sqrt(dx * dx + dy * dy + dz * dz);
                K += LComplex(std::cos(a), std::sin(a)) * scan.kernelInverse[j - 1];
            }
        }
        wave *= K;
    }
    const LDouble weight = IsRadiusWeight_
                               ? std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]) * kRadiusWeightScale
                               : LDouble(1);
    LDouble v;
    if (OutputMode == kRealPart)
        v = wave.real() * weight;
    else if (OutputMode == kImaginaryPart)
        v = wave.imag() * weight;
    else
        v = std::norm(wave) * weight * weight;
    return std::clamp(static_cast<double>(v), -kValueLimit, kValueLimit);
}

bool LwDocPatternNano::ScanColumn(const RecordScan& scan, int p, int rows, LwNotifyTerminate& stop)
{
    LwLDoubleMatrix& plane = Grid.Planes[0];
    const int threads = omp_get_max_threads();
    // Each row is one point, written by the one thread that owns it; the
    // record's tables are only read, and every thread keeps its own
    // harmonics and their normalisation, so the sums do not depend on the
    // thread count. No exception leaves the region: an error of one point
    // drops that point.
#pragma omp parallel num_threads(threads)
    {
        LwLmDoubleArray cache;
        LwLmComplexArray Y;
#pragma omp for schedule(static)
        for (int q = 0; q < rows; ++q) {
            try {
                if (stop.IsTerminate())
                    continue;
                LDouble r[3];
                ScanPoint(p, q, r);
                plane(p, q) += PointValue(scan, r, cache, Y) * scan.ratio;
            } catch (...) {}
        }
    }
    return !stop.IsTerminate();
}

void LwDocPatternNano::Calculate(LwNotifyTerminate& stop, LwDocScattering& scattering,
                                 const LwDocFluctuation& fluctuation, const LwDebye& debye)
{
    try {
        Prepare(scattering, fluctuation, debye);
        const int nx = Grid.Planes[0].ColSize;
        const int ny = Grid.Planes[0].RowSize;
        if (pDocScatteringPaseShift_ == nullptr)
            throw LwError("LwDocPatternNano::Calculate() ERROR: pDocScatteringPaseShift_==NULL");
        RecordScan scan;
        for (int i = 0; i < SelectBitCount_; ++i) {
            if (!IsRecordSelected(i))
                continue;
            PrepareStructure(scattering, i);
            SetUpRecord(scattering, i, scan);
            for (int p = 0; p < nx; ++p) {
                if (stop.IsTerminate())
                    return;
                if (!ScanColumn(scan, p, ny, stop))
                    return;
            }
        }
    } catch (...) {
        // Like the angular pattern: the calculation never reports an error.
    }
}
