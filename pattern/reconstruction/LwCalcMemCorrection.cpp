#include "pattern/reconstruction/LwCalcMemCorrection.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"
#include "pattern/LwLinearEquation.h"
#include "pattern/reconstruction/LwDocCalcMem.h"

#include <QDebug>

#include <cmath>
#include <cstdint>

namespace {

// Grid dimensions of the filters, checked against a vector's length.
struct GridShape
{
    int nx, ny, nz;

    explicit GridShape(const LwRealSpaceGrid& g) : nx(g.XCount_), ny(g.YCount_), nz(g.ZCount_) {}

    void Check(const LwFloatMatrix& m) const
    {
        const std::int64_t cells = static_cast<std::int64_t>(nx) * ny * nz;
        if (nx < 0 || ny < 0 || nz < 0 || cells != m.ElementCount())
            throw LwError("Grid filter: the grid counts " + LongToString(nx) + " x " + LongToString(ny) +
                          " x " + LongToString(nz) + " do not match a vector of " +
                          LongToString(m.ElementCount()) + " points");
    }
    std::int64_t Index(int ix, int iy, int iz) const
    {
        return (static_cast<std::int64_t>(iz) * ny + iy) * nx + ix;
    }
};

// Refuses a vector that holds fewer than n values, before the loops that
// address its buffer by position read past it.
void CheckPointCount(const LwFloatMatrix& m, std::int64_t n, const char* what)
{
    if (m.ElementCount() < n)
        throw LwError(std::string("Reconstruction: a ") + what + " vector holds " +
                      LongToString(m.ElementCount()) + " values for " + LongToString(static_cast<LwLong>(n)) +
                      " points");
}

}  // namespace

void NormalizeDensity(LwVectorList& density, const LwRealSpaceData& real)
{
    for (std::size_t e = 0; e < density.size(); ++e) {
        LwFloatMatrix& v = density[e];
        float* x = v.Buffer();
        const int n = v.ElementCount();
        double s = 0.0;
        for (int p = 0; p < n; ++p)
            s += x[p];
        // A zero (or non-finite) total has no scale: the element is left as
        // it is rather than filled with infinities.
        if (s == 0.0 || !std::isfinite(s))
            continue;
        const float ratio = e < real.ElementRatio_.size() ? real.ElementRatio_[e] : 1.0f;
        const float f = static_cast<float>((1.0 / s) * real.TotalPower_ * ratio);
        for (int p = 0; p < n; ++p)
            x[p] *= f;
    }
}

void CorrectByMEM(LwDocCalcMem& doc)
{
    try {
        qDebug() << "correct by MEM.";
        LwRealSpaceData& r = doc.RealSpace_;
        // Points by position in the buffer: a vector read from a document may
        // begin at any index.
        float gmax = 1e-25f;
        for (LwLong e = 0; e < r.NElement_; ++e) {
            const LwFloatMatrix& gm = r.Gradient_.at(e);
            CheckPointCount(gm, r.NPoint_, "gradient");
            const float* g = gm.Buffer();
            for (LwLong p = 0; p < r.NPoint_; ++p) {
                const float x = doc.IsUseEstimateMaxUseABS_ ? std::fabs(g[p]) : g[p];
                if (x > gmax)
                    gmax = x;
            }
        }
        const float val = doc.Lambda_ / gmax;
        qDebug() << "lambda=" << doc.Lambda_ << ", val=" << val;
        for (LwLong e = 0; e < r.NElement_; ++e) {
            LwFloatMatrix& vm = r.Density_.at(e);
            CheckPointCount(vm, r.NPoint_, "density");
            float* v = vm.Buffer();
            const float* g = r.Gradient_.at(e).Buffer();
            for (LwLong p = 0; p < r.NPoint_; ++p) {
                if (v[p] == 0.0f)
                    continue;
                v[p] = static_cast<float>(std::exp(static_cast<double>(val * g[p]) - 1.0) * v[p]);
            }
        }
    } catch (...) {
        qDebug() << "ERROR in CorrectByMEM()";
        throw;
    }
}

void ApplyAdvancedL1(LwDocCalcMem& doc, LwVectorList& gradient, const LwVectorList& density, float ratio,
                     LwLong loopCount, LwLong thresholdLoops)
{
    float& thr = doc.Threshold_;
    if (!doc.IsAutoThreshold_) {
        thr = doc.FixedThreshold_;
    } else if (loopCount < thresholdLoops) {
        float m = 0.0f;
        bool first = true;
        for (const LwFloatMatrix& g : gradient)
            for (int p = 0; p < g.ElementCount(); ++p)
                if (first || g.Buffer()[p] > m) {
                    m = g.Buffer()[p];
                    first = false;
                }
        thr = m * ratio;
    }
    qDebug() << "THRES=" << thr;
    doc.ThresholdHistory_.push_back(thr);

    const LwLong type = doc.SoftThresholdType_;
    if (type < 0 || type > 2) {
        if (!gradient.empty())
            throw LwError("Undefined Advanced L1 Type");
        return;
    }
    for (std::size_t e = 0; e < gradient.size(); ++e) {
        LwFloatMatrix& g = gradient[e];
        float* x = g.Buffer();
        const int n = g.ElementCount();
        // Type 1 reads the density at the same position of its buffer.
        const float* v = nullptr;
        if (type == 1) {
            CheckPointCount(density.at(e), n, "density");
            v = density[e].Buffer();
        }
        for (int p = 0; p < n; ++p) {
            switch (type) {
            case 0: x[p] = x[p] - thr; break;
            case 1:
                if (x[p] > 0.0f) {
                    x[p] = x[p] - thr;
                    if (x[p] < 0.0f)
                        x[p] = 0.0f;
                } else if (v[p] <= 1e-23f) {
                    x[p] = 0.0f;
                } else {
                    x[p] = x[p] + thr;
                    if (x[p] > 0.0f)
                        x[p] = 0.0f;
                }
                break;
            default:
                x[p] = x[p] - thr;
                if (x[p] < 0.0f)
                    x[p] = 0.0f;
                break;
            }
        }
    }
}

void CorrectBySDM(LwDocCalcMem& doc)
{
    try {
        const LwKSpaceData& k = doc.KSpace_;
        double scc = 0, sgg = 0, scg = 0, sce = 0, sge = 0;
        for (LwLong i = 0; i < k.NList_; ++i) {
            const LwFloatMatrix& exp = k.Exp_.at(i);
            const LwFloatMatrix& cal = k.Cal_.at(i);
            const LwFloatMatrix& fg = k.ForwardGradient_.at(i);
            const int n = exp.ElementCount();
            CheckPointCount(cal, n, "calculated hologram");
            CheckPointCount(fg, n, "forward gradient");
            const float* cv = cal.Buffer();
            const float* gv = fg.Buffer();
            const float* xv = exp.Buffer();
            for (int q = 0; q < n; ++q) {
                const float c = cv[q], g = gv[q], x = xv[q];
                scc += c * c;
                sgg += g * g;
                scg += c * g;
                sce += c * x;
                sge += x * g;
            }
        }
        float a0 = 1.0f;
        float a1 = sgg != 0.0 ? static_cast<float>(sge / sgg) : 0.0f;
        // Cal and FG (nearly) parallel, or one of them 0: the normal equations
        // have no usable solution; the fallback step along the gradient is
        // taken instead of a solve through a 1e-20 pivot.
        const double det = scc * sgg - scg * scg;
        if (std::isfinite(det) && det > 1e-12 * scc * sgg) {
            try {
                LwLDoubleMatrix a(2, 2), b(1, 2), x;
                a(0, 0) = scc;
                a(1, 0) = scg;
                a(0, 1) = scg;
                a(1, 1) = sgg;
                b(0, 0) = sce;
                b(0, 1) = sge;
                LwLinearEquation().Solve(x, a, b);
                a0 = static_cast<float>(x(0, 0));
                a1 = static_cast<float>(x(0, 1));
            } catch (...) {
                a0 = 1.0f;
                a1 = sgg != 0.0 ? static_cast<float>(sge / sgg) : 0.0f;
            }
        }
        qDebug() << "Alpha0" << a0;
        qDebug() << "Alpha1" << a1;
        LwRealSpaceData& r = doc.RealSpace_;
        for (std::size_t e = 0; e < r.Density_.size(); ++e) {
            LwFloatMatrix& v = r.Density_[e];
            const LwFloatMatrix& g = r.Gradient_.at(e);
            const int n = v.ElementCount();
            if (g.ElementCount() != n)
                throw LwError("SDM: gradient and density differ in length");
            float* vv = v.Buffer();
            const float* gv = g.Buffer();
            for (int p = 0; p < n; ++p) {
                if (vv[p] == 0.0f)
                    continue;
                vv[p] = a1 * gv[p] + a0 * vv[p];
                if (vv[p] < 1e-25f)
                    vv[p] = 1e-25f;
            }
        }
    } catch (const LwError& e) {
        qDebug() << e.Message().c_str();
        throw;
    }
}

void SmoothGradient(LwVectorList& list, const LwRealSpaceData& real, LwLong passes, float weight)
{
    if (passes == 0)
        return;
    if (static_cast<double>(weight) == 0.0 || static_cast<double>(weight) < -0.165)
        throw LwError("Weight value shoud be > -1/6.");
    const std::int64_t nx = real.Grid_.XCount_;
    const std::int64_t nxy = nx * real.Grid_.YCount_;
    const std::int64_t offsets[6] = {-1, 1, -nx, nx, -nxy, nxy};
    for (LwFloatMatrix& v : list) {
        const std::int64_t n = v.ElementCount();
        for (LwLong pass = 0; pass < passes; ++pass) {
            const LwFloatMatrix before = v;
            LwFloatMatrix a = v;
            std::vector<float> w(static_cast<std::size_t>(n), 1.0f);
            float* av = a.Buffer();
            const float* bv = before.Buffer();
            for (const std::int64_t d : offsets)
                for (std::int64_t p = 0; p < n; ++p) {
                    const std::int64_t j = p + d;
                    if (av[p] != 0.0f && j >= 0 && j < n && av[j] != 0.0f) {
                        av[p] = weight * bv[j] + av[p];
                        w[p] = weight + w[p];
                    }
                }
            for (std::int64_t p = 0; p < n; ++p)
                if (w[p] != 0.0f)
                    av[p] = av[p] / w[p];
            v = a.Release(true);
        }
    }
}

void ReduceGradient(LwVectorList& list, float factor)
{
    bool first = true;
    float m = 0.0f;
    for (const LwFloatMatrix& v : list)
        for (int p = 0; p < v.ElementCount(); ++p)
            if (first || v.Buffer()[p] > m) {
                m = v.Buffer()[p];
                first = false;
            }
    if (first || m < 0.0f)
        return;
    for (LwFloatMatrix& v : list)
        for (int p = 0; p < v.ElementCount(); ++p)
            v.Buffer()[p] = v.Buffer()[p] - m * factor;
}

void MultiplyByRadius(LwVectorList& list, const LwRealSpaceData& real)
{
    const int n = real.R_.VectorSize();
    for (LwFloatMatrix& v : list)
        for (int p = 0; p < n; ++p)
            v[v.VectorBegin() + p] =
                static_cast<float>(v[v.VectorBegin() + p] *
                                   (static_cast<double>(real.R_.Buffer()[p]) * LwConst::AngstromPerMetre));
}

void DivideByRadius(LwVectorList& list, const LwRealSpaceData& real)
{
    const int n = real.R_.VectorSize();
    for (LwFloatMatrix& v : list)
        for (int p = 0; p < n; ++p) {
            const double radius = static_cast<double>(real.R_.Buffer()[p]) * LwConst::AngstromPerMetre;
            float& x = v[v.VectorBegin() + p];
            // The origin carries no weight to undo: it stays 0.
            x = radius != 0.0 ? static_cast<float>(x / radius) : 0.0f;
        }
}

void AverageOnGrid(LwFloatMatrix& m, const LwRealSpaceGrid& grid)
{
    const GridShape g(grid);
    g.Check(m);
    LwFloatMatrix t = MatrixZeroLike(m);
    const float* mv = m.Buffer();
    float* tv = t.Buffer();
    const std::int64_t sx = 1, sy = g.nx, sz = static_cast<std::int64_t>(g.nx) * g.ny;
    for (int iz = 1; iz < g.nz - 1; ++iz)
        for (int iy = 1; iy < g.ny - 1; ++iy)
            for (int ix = 1; ix < g.nx - 1; ++ix) {
                const std::int64_t p = g.Index(ix, iy, iz);
                const float s = mv[p + sx] + mv[p - sx] + mv[p + sy] + mv[p - sy] + mv[p + sz] + mv[p - sz];
                tv[p] = static_cast<float>((s + mv[p]) / 7.0);
            }
    m = t.Release(true);
}

void FilterGradientOnGrid(LwVectorList& list, const LwRealSpaceGrid& grid)
{
    const GridShape g(grid);
    const std::int64_t sx = 1, sy = g.nx, sz = static_cast<std::int64_t>(g.nx) * g.ny;
    for (LwFloatMatrix& m : list) {
        g.Check(m);
        LwFloatMatrix t = MatrixZeroLike(m);
        const float* mv = m.Buffer();
        float* tv = t.Buffer();
        for (int iz = 1; iz < g.nz - 1; ++iz)
            for (int iy = 1; iy < g.ny - 1; ++iy)
                for (int ix = 1; ix < g.nx - 1; ++ix) {
                    const std::int64_t p = g.Index(ix, iy, iz);
                    const float nb[6] = {mv[p + sx], mv[p - sx], mv[p + sy],
                                         mv[p - sy], mv[p + sz], mv[p - sz]};
                    bool zero = false;
                    float s = 0.0f;
                    for (float x : nb) {
                        zero = zero || x == 0.0f;
                        s += x;
                    }
                    if (!zero)
                        tv[p] = mv[p] - s * 0.16666667f;
                }
        m = t.Release(true);
        AverageOnGrid(m, grid);
        AverageOnGrid(m, grid);
    }
}

void SymmetrizeByRotation(LwVectorList& list, const LwRealSpaceData& real)
{
    const std::vector<LwLDoubleMatrix>& rotations = real.Rotations_;
    if (rotations.size() < 2)
        return;
    const LwRealSpaceGrid& gr = real.Grid_;
    const GridShape g(gr);
    for (const LwFloatMatrix& m : list)
        g.Check(m);
    const auto centre = [](int n, float lo, float hi) {
        if (!(hi != lo))
            return 0;  // a flat axis: its one point is the centre
        return static_cast<int>(std::floor(0.5 - (n - 1) * static_cast<double>(lo) /
                                                     (static_cast<double>(hi) - static_cast<double>(lo))));
    };
    const int cx = centre(g.nx, gr.XMin_, gr.XMax_);
    const int cy = centre(g.ny, gr.YMin_, gr.YMax_);
    const int cz = centre(g.nz, gr.ZMin_, gr.ZMax_);
    qDebug() << "rotation symmetry n=" << static_cast<int>(rotations.size());

    LwVectorList result = list;
    std::vector<double> sum(list.size());
    std::vector<int> count(list.size());
    for (int iz = 0; iz < g.nz; ++iz)
        for (int iy = 0; iy < g.ny; ++iy)
            for (int ix = 0; ix < g.nx; ++ix) {
                const LDouble v[3] = {static_cast<LDouble>(ix - cx), static_cast<LDouble>(iy - cy),
                                      static_cast<LDouble>(iz - cz)};
                std::fill(sum.begin(), sum.end(), 0.0);
                std::fill(count.begin(), count.end(), 0);
                for (const LwLDoubleMatrix& q : rotations) {
                    // w = Q v, summed over the columns of Q in increasing order
                    // as the matrix product does.
                    LDouble w[3];
                    for (int row = 0; row < 3; ++row) {
                        LDouble s = 0;
                        for (int k = 0; k < 3; ++k)
                            s += q(q.ColBegin + k, q.RowBegin + row) * v[k];
                        w[row] = s;
                    }
                    const int jx = static_cast<int>(std::floor(w[0] + 0.5)) + cx;
                    const int jy = static_cast<int>(std::floor(w[1] + 0.5)) + cy;
                    const int jz = static_cast<int>(std::floor(w[2] + 0.5)) + cz;
                    if (jx < 0 || jx >= g.nx || jy < 0 || jy >= g.ny || jz < 0 || jz >= g.nz)
                        continue;
                    const std::int64_t j = g.Index(jx, jy, jz);
                    for (std::size_t e = 0; e < list.size(); ++e) {
                        sum[e] += list[e].Buffer()[j];
                        ++count[e];
                    }
                }
                const std::int64_t p = g.Index(ix, iy, iz);
                for (std::size_t e = 0; e < list.size(); ++e)
                    result[e].Buffer()[p] = count[e] != 0 ? static_cast<float>(sum[e] / count[e]) : 0.0f;
            }
    list.swap(result);
}

void CalcTranslateRectangular05(LwVectorList& list, const LwRealSpaceData& real)
{
    const std::vector<LwGridTranslation>& moves = real.Translations_;
    qDebug() << "CalcTranslateRectangular05: n=" << static_cast<int>(moves.size());
    const GridShape g(real.Grid_);
    for (LwFloatMatrix& m : list) {
        g.Check(m);
        LwFloatMatrix t(1, m.ElementCount());
        t.SetZero();
        const float* mv = m.Buffer();
        float* tv = t.Buffer();
        for (int iz = 0; iz < g.nz; ++iz)
            for (int iy = 0; iy < g.ny; ++iy)
                for (int ix = 0; ix < g.nx; ++ix) {
                    const std::int64_t p = g.Index(ix, iy, iz);
                    if (mv[p] == 0.0f)
                        continue;
                    float s = mv[p];
                    float w = 1.0f;
                    for (const LwGridTranslation& tr : moves) {
                        const std::int64_t jx = static_cast<std::int64_t>(ix) + tr.Dx_;
                        const std::int64_t jy = static_cast<std::int64_t>(iy) + tr.Dy_;
                        const std::int64_t jz = static_cast<std::int64_t>(iz) + tr.Dz_;
                        if (jx < 0 || jx >= g.nx || jy < 0 || jy >= g.ny || jz < 0 || jz >= g.nz)
                            continue;
                        const float x =
                            mv[g.Index(static_cast<int>(jx), static_cast<int>(jy), static_cast<int>(jz))];
                        if (x == 0.0f)
                            continue;
                        s = s + tr.Weight_ * x;
                        w = w + tr.Weight_;
                    }
                    if (w != 0.0f)
                        tv[p] = s / w;
                }
        m = t.Release(true);
    }
}
