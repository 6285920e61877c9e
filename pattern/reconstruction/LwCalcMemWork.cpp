#include "pattern/reconstruction/LwCalcMemWork.h"

#include "core/LwError.h"
#include "core/LwParallelErrors.h"
#include "core/LwQBarnFile.h"
#include "core/TextUtilities.h"
#include "pattern/reconstruction/LwCalcMemCorrection.h"
#include "pattern/reconstruction/LwDocCalcMem.h"

#include <QDebug>

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Shared geometry of one transform call.
struct TableIndexing
{
    float rMin;
    float invStep;  // 1 / R_Step, narrowed to float
    int rCount;  // R_N
    float zh;  // Z_N / 2 (integer division)
    double lastColumn;

    explicit TableIndexing(const LwScatteringPattern& s)
        : rMin(s.R_Min_), invStep(static_cast<float>(1.0 / static_cast<double>(s.R_Step_))), rCount(s.R_N_),
          zh(static_cast<float>(s.Z_N_ / 2)), lastColumn(static_cast<double>(s.Z_N_ - 1))
    {}

    // Table row of a radius, or -1 when there is none (the origin included:
    // it has no direction).
    int Row(float r) const
    {
        if (r == 0.0f)
            return -1;
        const double x = static_cast<double>((r - rMin) * invStep) + 0.5;
        // Truncation toward zero lands in [0, R_N) exactly for -1 < x < R_N.
        if (!(x > -1.0 && x < static_cast<double>(rCount)))
            return -1;
        return static_cast<int>(x);
    }

    // Column of a cosine-index argument x (already + 0.5), clamped onto the
    // row; fmax/fmin also turn a NaN into column 0.
    int Column(double x) const { return static_cast<int>(std::fmin(std::fmax(x, 0.0), lastColumn + 0.5)); }
};

// Block of [0, n) that thread t of `threads` owns (contiguous, sizes within 1).
void BlockOf(std::int64_t n, int t, int threads, std::int64_t& begin, std::int64_t& end)
{
    begin = n * t / threads;
    end = n * (t + 1) / threads;
}

// body(t, begin, end) on thread t for its block of [0, n), in one parallel
// region of `threads` threads; an exception is carried out and rethrown.
template <class Body>
void ForEachThreadBlock(std::int64_t n, int threads, const Body& body)
{
    LwParallelErrors errors(threads);
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int t = 0; t < threads; ++t) {
        errors.Run([&] {
            std::int64_t begin, end;
            BlockOf(n, t, threads, begin, end);
            body(t, begin, end);
        });
    }
    errors.RethrowFirst();
}

}  // namespace

void LwCalcMemWork::CheckTransformLimits() const
{
    const LwDocCalcMem& d = doc_;
    const LwKSpaceData& k = d.KSpace_;
    const LwRealSpaceData& r = d.RealSpace_;
    const LwScatteringPattern& s = d.ScatteringPattern_;
    const auto fail = [](const std::string& text) { throw LwError("Reconstruction: " + text); };
    if (k.NList_ < 1)
        fail("there is no hologram item");
    if (k.NPoint_ < 1)
        fail("the holograms have no direction");
    if (r.NElement_ < 1)
        fail("the real-space data hold no element");
    if (s.Z_N_ < 1 || s.Z_N_ % 2 == 0)
        fail("the pattern tables need an odd number of cosine samples (Z_N), not " + LongToString(s.Z_N_));
    if (s.R_N_ < 1)
        fail("the pattern tables have no radius sample (R_N " + LongToString(s.R_N_) + ")");
    if (!(std::isfinite(s.R_Step_) && s.R_Step_ > 0.0f) || !std::isfinite(1.0f / s.R_Step_))
        fail("the radius step R_Step must be a positive length, not " + FloatToString(s.R_Step_));
    if (!std::isfinite(s.R_Min_))
        fail("the first radius R_Min is not a number");
    if (s.Forward_.size() < static_cast<std::size_t>(k.NList_) ||
        s.Back_.size() < static_cast<std::size_t>(k.NList_))
        fail("the scattering-pattern set has " + LongToString(static_cast<LwLong>(s.Forward_.size())) +
             " energies for " + LongToString(k.NList_) + " hologram items");
    for (LwLong i = 0; i < k.NList_; ++i) {
        if (s.Forward_[i].size() < static_cast<std::size_t>(r.NElement_) ||
            s.Back_[i].size() < static_cast<std::size_t>(r.NElement_))
            fail("energy " + LongToString(i) + " of the scattering-pattern set has " +
                 LongToString(static_cast<LwLong>(s.Forward_[i].size())) + " patterns for " +
                 LongToString(r.NElement_) + " elements");
        for (LwLong e = 0; e < r.NElement_; ++e)
            for (const LwFloatMatrix* t : {&s.Forward_[i][e], &s.Back_[i][e]})
                if (t->ColSize != s.Z_N_ || t->RowSize != s.R_N_)
                    fail("the table of energy " + LongToString(i) + ", element " + LongToString(e) + " is " +
                         LongToString(t->ColSize) + " x " + LongToString(t->RowSize) +
                         ", not Z_N x R_N = " + LongToString(s.Z_N_) + " x " + LongToString(s.R_N_));
    }
    // The filters address point (ix, iy, iz) by the record's counts; counts
    // that only multiply to the point count (the axes swapped) would make them
    // average the points of another grid.
    LwLong nx = 0, ny = 0, nz = 0;
    r.Grid_.AxisCounts(nx, ny, nz);
    const LwRealSpaceGrid& g = r.Grid_;
    if (g.XCount_ != nx || g.YCount_ != ny || g.ZCount_ != nz)
        fail("the grid counts XCount x YCount x ZCount = " + LongToString(g.XCount_) + " x " +
             LongToString(g.YCount_) + " x " + LongToString(g.ZCount_) + " differ from the " +
             LongToString(nx) + " x " + LongToString(ny) + " x " + LongToString(nz) +
             " points that the bounds and step give");
    if (static_cast<std::int64_t>(nx) * ny * nz != r.NPoint_)
        fail("the bounds and step give " + LongToString(nx) + " x " + LongToString(ny) + " x " +
             LongToString(nz) + " points, not the " + LongToString(r.NPoint_) + " grid points of the data");
    // Items and pattern energies pair by position; a set listed in another
    // order would fit every hologram with the tables of another energy.
    for (LwLong i = 0; i < k.NList_; ++i) {
        const float ek = i < static_cast<LwLong>(s.Ek_eV_.size()) ? s.Ek_eV_[i] : NAN;
        const float e = i < static_cast<LwLong>(k.E_.size()) ? k.E_[i] : NAN;
        // An item without "E" reads as 0, which no hologram is taken at.
        if (e == 0.0f)
            fail("hologram item " + LongToString(i) + " has no energy (its \"E\" is missing or 0); energy " +
                 LongToString(i) + " of the scattering-pattern set has Ek_eV = " + FloatToString(ek));
        // Rounding of a stored value, not a different energy.
        const double tolerance =
            1e-5 * std::max(std::fabs(static_cast<double>(e)), std::fabs(static_cast<double>(ek)));
        if (!(std::fabs(static_cast<double>(e) - ek) <= tolerance))
            fail("hologram item " + LongToString(i) + " has the energy E = " + FloatToString(e) +
                 " but energy " + LongToString(i) + " of the scattering-pattern set has Ek_eV = " +
                 FloatToString(ek) + " (items and pattern energies pair by position)");
    }
}

bool LwCalcMemWork::FullForwardDue(LwLong loop) const
{
    const LwLong autoSave = doc_.AutoSave_;
    return loop % kFullForwardInterval == 0 || loop == 1 || (autoSave >= 1 && loop % autoSave == 0) ||
           SaveRequest_.load();
}

void LwCalcMemWork::ClearCutoffState()
{
    skippedImage_.clear();
    active_.clear();
    skippedAny_ = false;
}

bool LwCalcMemWork::HasCutoffState() const
{
    const LwKSpaceData& k = doc_.KSpace_;
    const LwRealSpaceData& r = doc_.RealSpace_;
    if (skippedImage_.size() != static_cast<std::size_t>(k.NList_) ||
        active_.size() != static_cast<std::size_t>(r.NElement_))
        return false;
    for (const LwFloatMatrix& b : skippedImage_)
        if (b.ElementCount() != k.NPoint_)
            return false;
    for (const std::vector<char>& a : active_)
        if (a.size() != static_cast<std::size_t>(r.NPoint_))
            return false;
    return true;
}

void LwCalcMemWork::ConvertRToK(Source source, Cutoff cutoff)
{
    LwDocCalcMem& d = doc_;
    LwKSpaceData& k = d.KSpace_;
    LwRealSpaceData& r = d.RealSpace_;
    const LwScatteringPattern& s = d.ScatteringPattern_;
    const TableIndexing ti(s);
    const bool densities = source == Source::Densities;
    if (densities && cutoff == Cutoff::Reuse && !HasCutoffState())
        cutoff = Cutoff::Refresh;
    const bool refresh = densities && cutoff == Cutoff::Refresh;
    const bool reuse = densities && cutoff == Cutoff::Reuse;
    // The threshold is a share of the largest density and is compared with
    // densities: DensityMax_ carries the radius in metres (about 1e-10) and
    // would make the cut-off ten orders of magnitude too low.
    const float threshold = densities && cutoff != Cutoff::Reuse ? d.CutoffRatio_ * DensityPeak_ : -1e20f;
    const int nq = k.NPoint_;
    const int np = r.NPoint_;
    const float* kux = k.Ux_.Buffer();
    const float* kuy = k.Uy_.Buffer();
    const float* kuz = k.Uz_.Buffer();
    if (refresh) {
        LwFloatMatrix zero(1, nq);
        zero.SetZero();
        skippedImage_.assign(static_cast<std::size_t>(k.NList_), zero);
        active_.assign(static_cast<std::size_t>(r.NElement_),
                       std::vector<char>(static_cast<std::size_t>(np), 0));
        skippedAny_ = false;
    }

    // A list of contributing points, gathered once so that the threads, which
    // split the directions, walk a dense list.
    struct PointList
    {
        std::vector<float> ux, uy, uz, value;
        std::vector<const float*> row;

        void Clear()
        {
            ux.clear();
            uy.clear();
            uz.clear();
            value.clear();
            row.clear();
        }
    };
    PointList taken, skipped;
    // Adds the forward image of the list to o. Each thread owns a block of
    // directions and sums over every point in ascending order: no two
    // threads write one output, and the order of the sum is that of a
    // serial run.
    const auto addImage = [&](const PointList& list, float* o) {
        const std::int64_t count = static_cast<std::int64_t>(list.value.size());
        if (count == 0)
            return;
        const float zh = ti.zh;
        const int threads = std::max(1, std::min(omp_get_max_threads(), nq));
        ForEachThreadBlock(nq, threads, [&](int, std::int64_t q0, std::int64_t q1) {
            for (std::int64_t a = 0; a < count; ++a) {
                const float ux = list.ux[a], uy = list.uy[a], uz = list.uz[a], sp = list.value[a];
                const float* row = list.row[a];
                for (std::int64_t q = q0; q < q1; ++q) {
                    const float c = (kux[q] * ux + kuy[q] * uy) + kuz[q] * uz;
                    const int idx = ti.Column(static_cast<double>((c + 1.0f) * zh) + 0.5);
                    o[q] = row[idx] * sp + o[q];
                }
            }
        });
    };

    for (LwLong i = 0; i < k.NList_; ++i) {
        LwFloatMatrix& out = densities ? k.Cal_[i] : k.ForwardGradient_[i];
        for (LwLong e = 0; e < r.NElement_; ++e) {
            LwFloatMatrix& src = densities ? r.Density_[e] : r.Gradient_[e];
            const LwFloatMatrix& table = s.Forward_[i][e];
            taken.Clear();
            skipped.Clear();
            float* sv = src.Buffer();
            char* activeOf =
                densities && cutoff != Cutoff::Apply ? active_[static_cast<std::size_t>(e)].data() : nullptr;
            for (int p = 0; p < np; ++p) {
                const float radius = r.R_.Buffer()[p];
                const int ir = ti.Row(radius);
                if (ir < 0) {
                    // No table row: the point holds nothing from now on. The
                    // origin has a row but no direction; it is left alone.
                    if (radius != 0.0f)
                        sv[p] = 0.0f;
                    continue;
                }
                bool take;
                if (reuse)
                    take = activeOf[p] != 0;
                else
                    take = !(threshold > sv[p]);
                if (refresh && i == 0)
                    activeOf[p] = take ? 1 : 0;
                PointList* list = take ? &taken : refresh ? &skipped : nullptr;
                if (!list)
                    continue;
                list->ux.push_back(r.Ux_.Buffer()[p]);
                list->uy.push_back(r.Uy_.Buffer()[p]);
                list->uz.push_back(r.Uz_.Buffer()[p]);
                list->value.push_back(sv[p]);
                list->row.push_back(table.Buffer() + static_cast<std::int64_t>(ir) * table.ColSize);
            }
            addImage(taken, out.Buffer());
            if (refresh) {
                addImage(skipped, skippedImage_[static_cast<std::size_t>(i)].Buffer());
                skippedAny_ = skippedAny_ || !skipped.value.empty();
            }
        }
        // The skipped points at their densities of the last refresh.
        if (refresh || reuse) {
            float* o = out.Buffer();
            const float* b = skippedImage_[static_cast<std::size_t>(i)].Buffer();
            for (int q = 0; q < nq; ++q)
                o[q] += b[q];
        }
    }
}

void LwCalcMemWork::ConvertKToR()
{
    LwDocCalcMem& d = doc_;
    const LwKSpaceData& k = d.KSpace_;
    LwRealSpaceData& r = d.RealSpace_;
    const LwScatteringPattern& s = d.ScatteringPattern_;
    const TableIndexing ti(s);
    const int nq = k.NPoint_;
    const int np = r.NPoint_;
    const float* kux = k.Ux_.Buffer();
    const float* kuy = k.Uy_.Buffer();
    const float* kuz = k.Uz_.Buffer();
    const float* rux = r.Ux_.Buffer();
    const float* ruy = r.Uy_.Buffer();
    const float* ruz = r.Uz_.Buffer();
    const float* rr = r.R_.Buffer();

    for (LwLong i = 0; i < k.NList_; ++i) {
        const float* err = k.Err_[i].Buffer();
        for (LwLong e = 0; e < r.NElement_; ++e) {
            const float* v = r.Density_[e].Buffer();
            float* g = r.Gradient_[e].Buffer();
            const LwFloatMatrix& table = s.Back_[i][e];
            const float zh = ti.zh;
            // Each thread writes only the gradients of its own points. The
            // points are dealt out in small interleaved chunks: whole z slabs
            // would give the threads at the poles of the cut-off sphere far
            // fewer non-zero densities than those at its equator.
            const int threads = omp_get_max_threads();
            LwParallelErrors errors(threads);
#pragma omp parallel for num_threads(threads) schedule(static, 256)
            for (int p = 0; p < np; ++p) {
                errors.Run([&] {
                    if (v[p] == 0.0f)
                        return;
                    const int ir = ti.Row(rr[p]);
                    if (ir < 0)
                        return;
                    const float* row = table.Buffer() + static_cast<std::int64_t>(ir) * table.ColSize;
                    const float ux = rux[p], uy = ruy[p], uz = ruz[p];
                    float sum = g[p];
                    for (int q = 0; q < nq; ++q) {
                        const float c = (kux[q] * ux + kuy[q] * uy) + kuz[q] * uz;
                        const int idx = ti.Column(static_cast<double>(c * zh + zh) + 0.5);
                        sum = row[idx] * err[q] + sum;
                    }
                    g[p] = sum;
                });
            }
            errors.RethrowFirst();
        }
    }
}

void FitLinear(LwFloatMatrix& x, const LwFloatMatrix& y, float& a, float& b)
{
    const int n = x.VectorSize();
    if (y.VectorSize() != n)
        throw LwError("Fitting Error: the holograms differ in length");
    float* xv = x.Buffer();
    const float* yv = y.Buffer();
    double sum = 0.0;
    for (int q = 0; q < n; ++q)
        sum += xv[q];
    const double m = sum / n;
    for (int q = 0; q < n; ++q)
        xv[q] = static_cast<float>(xv[q] - m);
    double sxx = 0.0, sx = 0.0, sxy = 0.0, sy = 0.0;
    for (int q = 0; q < n; ++q) {
        sxx += xv[q] * xv[q];
        sx += xv[q];
        sxy += xv[q] * yv[q];
        sy += yv[q];
    }
    const double mx = sx / n;
    const float var = static_cast<float>(sxx / n - mx * mx);
    a = var == 0.0f ? 1e-25f : static_cast<float>((sxy / n - (sy / n) * mx) / var);
    b = static_cast<float>(sy / n - a * mx);
    if (a <= 0.0f)
        a = 1e-25f;
    if (std::isnan(a) || std::isnan(b))
        throw LwError("Fitting Error");
}

void LwCalcMemWork::FitHolograms(bool unitSlope)
{
    LwKSpaceData& k = doc_.KSpace_;
    for (LwLong i = 0; i < k.NList_; ++i) {
        LwFloatMatrix x = k.Cal_[i];
        float a = 0.0f, b = 0.0f;
        FitLinear(x, k.Exp_[i], a, b);
        qDebug() << "FITTING PARAMETER a=" << a << ", b=" << b;
        k.Cal_[i] = x;
        const float slope = unitSlope ? 1.0f : a * doc_.fratio_;
        const float* exp = k.Exp_[i].Buffer();
        const float* cal = k.Cal_[i].Buffer();
        float* err = k.Err_[i].Buffer();
        for (int q = 0; q < k.NPoint_; ++q)
            err[q] = (exp[q] - b) - cal[q] * slope;
    }
}

double LwCalcMemWork::CalcRmsError()
{
    const LwKSpaceData& k = doc_.KSpace_;
    // Sum of squares over fixed blocks of each residual, the block sums added
    // in block order: the same value for any thread count.
    constexpr int kBlock = 4096;
    const int nq = k.NPoint_;
    const int blocks = (nq + kBlock - 1) / kBlock;
    double x = 0.0;
    std::vector<double> partial(static_cast<std::size_t>(blocks));
    for (LwLong i = 0; i < k.NList_; ++i) {
        const float* err = k.Err_[i].Buffer();
        const int threads = omp_get_max_threads();
        LwParallelErrors errors(threads);
#pragma omp parallel for num_threads(threads) schedule(static)
        for (int blk = 0; blk < blocks; ++blk) {
            errors.Run([&] {
                double s = 0.0;
                const int end = std::min(nq, (blk + 1) * kBlock);
                for (int q = blk * kBlock; q < end; ++q)
                    s += err[q] * err[q];
                partial[blk] = s;
            });
        }
        errors.RethrowFirst();
        for (double s : partial)
            x += s;
    }
    const std::int64_t count = static_cast<std::int64_t>(nq) * k.NList_;
    const double rms = std::sqrt(x) / static_cast<double>(count);
    doc_.RmsHistory_.push_back(static_cast<float>(rms));
    if (doc_.MinRMS_ > rms)
        doc_.MinRMS_ = static_cast<float>(rms);
    return rms;
}

void LwCalcMemWork::CalcMaxDensity()
{
    const LwRealSpaceData& r = doc_.RealSpace_;
    const int np = r.NPoint_;
    const float* rr = r.R_.Buffer();
    float m = 0.0f, peak = 0.0f;
    for (LwLong e = 0; e < r.NElement_; ++e) {
        const float* v = r.Density_[e].Buffer();
        const int threads = omp_get_max_threads();
        std::vector<float> partial(static_cast<std::size_t>(threads), 0.0f);
        std::vector<float> partialPeak(static_cast<std::size_t>(threads), 0.0f);
        ForEachThreadBlock(np, threads, [&](int t, std::int64_t p0, std::int64_t p1) {
            float best = 0.0f, top = 0.0f;
            for (std::int64_t p = p0; p < p1; ++p) {
                const float x = v[p] * rr[p];
                if (x > best)
                    best = x;
                if (v[p] > top)
                    top = v[p];
            }
            partial[t] = best;
            partialPeak[t] = top;
        });
        // The maximum does not depend on the order; taken in thread order.
        for (int t = 0; t < threads; ++t) {
            m = std::max(m, partial[t]);
            peak = std::max(peak, partialPeak[t]);
        }
    }
    DensityMax_ = m;
    DensityPeak_ = peak;
}

void LwCalcMemWork::PushMaxHistory()
{
    doc_.MaxHistory_.push_back(DensityMax_ * 1e10f);
}

void LwCalcMemWork::InitDensity()
{
    for (LwFloatMatrix& v : doc_.RealSpace_.Density_)
        std::fill(v.Buffer(), v.Buffer() + v.ElementCount(), 1e-25f);
}

void LwCalcMemWork::AutoSave()
{
    const LwDocCalcMem& d = doc_;
    const std::size_t n = d.RmsHistory_.size();
    if (n < 2)
        return;
    const bool due = d.LoopCount_ == 0 || d.LoopCount_ == 1 ||
                     (d.AutoSave_ >= 1 && d.LoopCount_ % d.AutoSave_ == 0) || SaveRequest_.load() ||
                     d.MinRMS_ >= d.RmsHistory_.back();
    if (!due)
        return;
    SaveDocument();
    SaveRequest_.store(false);
}

void LwCalcMemWork::SaveDocument()
{
    LwQBarnFile file(CalcMemLoopFileName(BaseName_, doc_.LoopCount_), "w");
    doc_.LoadSave(file);
    file.Save();
}

void LwCalcMemWork::FilterRSpace(std::vector<LwFloatMatrix>& density, const LwRealSpaceData& real)
{
    MultiplyByRadius(density, real);
    SymmetrizeByRotation(density, real);
    CalcTranslateRectangular05(density, real);
    DivideByRadius(density, real);
}
