#include "core/LwConstants.h"
#include "core/LwMatrixArithmetic.h"
#include "pattern/reconstruction/LwCalcMemCorrection.h"
#include "pattern/reconstruction/LwDocCalcMem.h"
#include "ErrorText.h"
#include "ReconstructionJobSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

LwFloatMatrix Row(std::initializer_list<float> values)
{
    LwFloatMatrix m(static_cast<int>(values.size()), 1);
    int i = 0;
    for (float v : values)
        m.Buffer()[i++] = v;
    return m;
}

// A real-space data set of nx x ny x nz points (step 1e-10 m, origin at the
// centre point) with one element.
void Grid(LwRealSpaceData& r, int nx, int ny, int nz)
{
    recon_test::SetCubeGrid(r.Grid_, nx, ny, nz, 1e-10f);
    r.Grid_.IsCutoff_ = false;
    r.CreateFromGrid();
}

// f = 2 + 0.5 ix - 0.25 iy + 0.125 iz at every point.
LwFloatMatrix LinearField(const LwRealSpaceGrid& g)
{
    LwFloatMatrix m(g.XCount_ * g.YCount_ * g.ZCount_, 1);
    int p = 0;
    for (int iz = 0; iz < g.ZCount_; ++iz)
        for (int iy = 0; iy < g.YCount_; ++iy)
            for (int ix = 0; ix < g.XCount_; ++ix)
                m.Buffer()[p++] = 2.0f + 0.5f * ix - 0.25f * iy + 0.125f * iz;
    return m;
}

bool Interior(const LwRealSpaceGrid& g, int p)
{
    const int ix = p % g.XCount_, iy = (p / g.XCount_) % g.YCount_, iz = p / (g.XCount_ * g.YCount_);
    return ix > 0 && iy > 0 && iz > 0 && ix < g.XCount_ - 1 && iy < g.YCount_ - 1 && iz < g.ZCount_ - 1;
}

TEST(LwCalcMemCorrection, NormalizeDensity)
{
    LwRealSpaceData r;
    r.TotalPower_ = 1.0f;
    r.ElementRatio_ = {0.5f, 1.0f};
    LwVectorList v = {Row({1, 1, 2}), Row({0, 0, 0})};
    NormalizeDensity(v, r);
    EXPECT_FLOAT_EQ(v[0][0], 0.125f);
    EXPECT_FLOAT_EQ(v[0][1], 0.125f);
    EXPECT_FLOAT_EQ(v[0][2], 0.25f);
    // A zero total stays as it is instead of turning into NaN.
    EXPECT_EQ(v[1][2], 0.0f);
}

TEST(LwCalcMemCorrection, CorrectByMEM)
{
    LwDocCalcMem d;
    LwRealSpaceData& r = d.RealSpace_;
    r.Resize(1, 4);
    r.Density_[0] = Row({1, 2, 3, 0});
    r.Gradient_[0] = Row({0, 1, 2, 5});
    r.Density_[0][3] = 0.0f;
    d.Lambda_ = 1.0f;
    d.IsUseEstimateMaxUseABS_ = false;
    // gmax 5 over all points (the zero-density one too): val = 0.2.
    CorrectByMEM(d);
    EXPECT_FLOAT_EQ(r.Density_[0][0], static_cast<float>(std::exp(-1.0)));
    EXPECT_FLOAT_EQ(r.Density_[0][1], static_cast<float>(2 * std::exp(0.2 - 1.0)));
    EXPECT_FLOAT_EQ(r.Density_[0][2], static_cast<float>(3 * std::exp(0.4 - 1.0)));
    EXPECT_EQ(r.Density_[0][3], 0.0f);

    // gradients 0, 1, 2 with Lambda 1: factors e^-1, e^-0.5, 1.
    r.Resize(1, 3);
    r.Density_[0] = Row({1, 1, 1});
    r.Gradient_[0] = Row({0, 1, 2});
    CorrectByMEM(d);
    EXPECT_FLOAT_EQ(r.Density_[0][0], static_cast<float>(std::exp(-1.0)));
    EXPECT_FLOAT_EQ(r.Density_[0][1], static_cast<float>(std::exp(-0.5)));
    EXPECT_FLOAT_EQ(r.Density_[0][2], 1.0f);

    // gradients -4, 1: the largest absolute value 4 with the switch, 1 without.
    for (bool abs : {true, false}) {
        r.Resize(1, 2);
        r.Density_[0] = Row({1, 1});
        r.Gradient_[0] = Row({-4, 1});
        d.IsUseEstimateMaxUseABS_ = abs;
        CorrectByMEM(d);
        const double val = abs ? 0.25 : 1.0;
        EXPECT_FLOAT_EQ(r.Density_[0][1], static_cast<float>(std::exp(val - 1.0))) << abs;
    }
}

TEST(LwCalcMemCorrection, SoftThreshold)
{
    LwDocCalcMem d;
    d.SoftThresholdType_ = 1;
    d.FixedThreshold_ = 0.5f;
    LwVectorList g = {Row({2, 0.3f, -2, -2, -0.3f})};
    LwVectorList v = {Row({1, 1, 1, 1e-24f, 1})};
    ApplyAdvancedL1(d, g, v, 0.9f, 0, 1000);
    const float expected[] = {1.5f, 0.0f, -1.5f, 0.0f, 0.0f};
    for (int p = 0; p < 5; ++p)
        EXPECT_FLOAT_EQ(g[0][p], expected[p]) << p;
    EXPECT_EQ(d.Threshold_, 0.5f);

    // Automatic: ratio x the largest value while loopCount < threshold loops,
    // kept afterwards; type 0 shifts, type 2 clips.
    d.IsAutoThreshold_ = true;
    d.SoftThresholdType_ = 0;
    g = {Row({-3, 2, 4})};
    ApplyAdvancedL1(d, g, v, 0.5f, 3, 10);
    EXPECT_EQ(d.Threshold_, 2.0f);
    EXPECT_FLOAT_EQ(g[0][0], -5.0f);
    d.SoftThresholdType_ = 2;
    g = {Row({-3, 2, 40})};
    ApplyAdvancedL1(d, g, v, 0.5f, 10, 10);
    EXPECT_EQ(d.Threshold_, 2.0f);
    EXPECT_FLOAT_EQ(g[0][0], 0.0f);
    EXPECT_FLOAT_EQ(g[0][2], 38.0f);
    EXPECT_EQ(d.ThresholdHistory_, (std::vector<float>{0.5f, 2.0f, 2.0f}));
    d.SoftThresholdType_ = 3;
    EXPECT_EQ(ErrorText([&] { ApplyAdvancedL1(d, g, v, 0.5f, 10, 10); }), "Undefined Advanced L1 Type");
}

// The SDM coefficients are those of Cramer's rule on the normal equations;
// singular equations fall back to a0 = 1, a1 = Sge / Sgg (0 when Sgg is 0).
TEST(LwCalcMemCorrection, CorrectBySDM)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    enum Kind { General, Parallel, ZeroGradient };
    for (Kind kind : {General, Parallel, ZeroGradient}) {
        SCOPED_TRACE(kind);
        LwDocCalcMem d;
        LwKSpaceData& k = d.KSpace_;
        k.NList_ = 2;
        for (int i = 0; i < 2; ++i) {
            LwFloatMatrix e(1, 30), c(1, 30), f(1, 30);
            for (int q = 0; q < 30; ++q) {
                e[q] = u(rng);
                c[q] = u(rng);
                f[q] = kind == General ? u(rng) : kind == Parallel ? 2.0f * c[q] : 0.0f;
            }
            k.Exp_.push_back(e);
            k.Cal_.push_back(c);
            k.ForwardGradient_.push_back(f);
        }
        long double scc = 0, sgg = 0, scg = 0, sce = 0, sge = 0;
        for (int i = 0; i < 2; ++i)
            for (int q = 0; q < 30; ++q) {
                const long double c = k.Cal_[i][q], g = k.ForwardGradient_[i][q], e = k.Exp_[i][q];
                scc += c * c;
                sgg += g * g;
                scg += c * g;
                sce += c * e;
                sge += e * g;
            }
        long double a0 = 1, a1 = 0;
        if (kind == General) {
            const long double det = scc * sgg - scg * scg;
            a0 = (sce * sgg - scg * sge) / det;
            a1 = (scc * sge - scg * sce) / det;
        } else if (kind == Parallel) {
            a1 = sge / sgg;
        }
        LwRealSpaceData& r = d.RealSpace_;
        r.Resize(1, 4);
        r.Density_[0] = Row({1.0f, 0.0f, 0.5f, 2.0f});
        r.Gradient_[0] = Row({0.25f, 7.0f, -1e3f, -0.5f});
        const LwFloatMatrix before = r.Density_[0];
        CorrectBySDM(d);
        for (int p = 0; p < 4; ++p) {
            if (before[p] == 0.0f) {
                EXPECT_EQ(r.Density_[0][p], 0.0f);
                continue;
            }
            const double x = static_cast<double>(a1 * r.Gradient_[0][p] + a0 * before[p]);
            EXPECT_NEAR(r.Density_[0][p], std::max(x, 1e-25), 1e-4 * (1 + std::fabs(x))) << p;
        }
    }
}

// Vectors read from a document may begin at any index: the corrections
// give, value for value, what they give on the same vectors beginning at 0.
TEST(LwCalcMemCorrection, VectorsBeginningAnywhere)
{
    const auto shifted = [](LwFloatMatrix m, int begin) {
        if (m.RowSize == 1)
            m.ColBegin = begin;
        else
            m.RowBegin = begin;
        return m;
    };
    const auto same = [](const LwFloatMatrix& a, const LwFloatMatrix& b) {
        ASSERT_EQ(a.ElementCount(), b.ElementCount());
        for (int i = 0; i < a.ElementCount(); ++i)
            ASSERT_EQ(a.Buffer()[i], b.Buffer()[i]) << i;
    };
    for (int begin : {5, -3}) {
        SCOPED_TRACE(begin);
        std::mt19937 rng(9);
        LwDocCalcMem base;
        LwRealSpaceData& r = base.RealSpace_;
        r.Resize(2, 40);
        LwKSpaceData& k = base.KSpace_;
        k.NList_ = 2;
        for (int e = 0; e < 2; ++e) {
            r.Density_[e] = recon_test::RandomVector(rng, 40, true);
            for (int p = 0; p < 40; p += 7)
                r.Density_[e].Buffer()[p] = std::fabs(r.Density_[e].Buffer()[p]) * 1e-24f;
            r.Gradient_[e] = recon_test::RandomVector(rng, 40, true);
            k.Exp_.push_back(recon_test::RandomVector(rng, 25));
            k.Cal_.push_back(recon_test::RandomVector(rng, 25));
            k.ForwardGradient_.push_back(recon_test::RandomVector(rng, 25));
        }
        LwDocCalcMem moved = base;
        for (LwVectorList* list : {&moved.RealSpace_.Density_, &moved.RealSpace_.Gradient_,
                                   &moved.KSpace_.Exp_, &moved.KSpace_.Cal_, &moved.KSpace_.ForwardGradient_})
            for (LwFloatMatrix& m : *list)
                m = shifted(m, begin);

        CorrectByMEM(base);
        CorrectByMEM(moved);
        for (LwDocCalcMem* d : {&base, &moved}) {
            d->SoftThresholdType_ = 1;
            d->FixedThreshold_ = 0.25f;
            ApplyAdvancedL1(*d, d->RealSpace_.Gradient_, d->RealSpace_.Density_, 0.9f, 0, 10);
            CorrectBySDM(*d);
        }
        for (int e = 0; e < 2; ++e) {
            same(moved.RealSpace_.Density_[e], base.RealSpace_.Density_[e]);
            same(moved.RealSpace_.Gradient_[e], base.RealSpace_.Gradient_[e]);
        }
    }
}

// Smoothing keeps a linear field at the points whose six neighbours are
// all inside; no passes do nothing even with a bad weight.
TEST(LwCalcMemCorrection, SmoothGradient)
{
    LwRealSpaceData r;
    Grid(r, 5, 5, 5);
    LwVectorList v = {LinearField(r.Grid_)};
    const LwFloatMatrix f = v[0];
    SmoothGradient(v, r, 0, 0.0f);
    for (int p = 0; p < 125; ++p)
        ASSERT_EQ(v[0][p], f[p]);
    EXPECT_EQ(ErrorText([&] { SmoothGradient(v, r, 1, 0.0f); }), "Weight value shoud be > -1/6.");
    EXPECT_EQ(ErrorText([&] { SmoothGradient(v, r, 1, -0.17f); }), "Weight value shoud be > -1/6.");
    SmoothGradient(v, r, 1, 1.0f);
    for (int p = 0; p < 125; ++p) {
        if (Interior(r.Grid_, p)) {
            EXPECT_NEAR(v[0][p], f[p], 1e-5) << p;
        }
    }
    // Zeros are neither changed nor used.
    LwVectorList z = {LinearField(r.Grid_)};
    z[0][62] = 0.0f;
    SmoothGradient(z, r, 1, 1.0f);
    EXPECT_EQ(z[0][62], 0.0f);
    EXPECT_NEAR(z[0][63], (f[63] + f[64] + f[58] + f[68] + f[38] + f[88]) / 6.0, 1e-5);
}

TEST(LwCalcMemCorrection, ReduceGradient)
{
    LwVectorList v = {Row({1, 3}), Row({-2, 2})};
    ReduceGradient(v, 1.0f);
    EXPECT_EQ(v[0][1], 0.0f);
    EXPECT_EQ(v[0][0], -2.0f);
    EXPECT_EQ(v[1][0], -5.0f);
    LwVectorList n = {Row({-1, -3})};
    ReduceGradient(n, 1.0f);
    EXPECT_EQ(n[0][0], -1.0f);
}

// The radius weights: a value times and then divided by R in Angstrom comes
// back; the origin stays 0 instead of 0 / 0.
TEST(LwCalcMemCorrection, RadiusWeights)
{
    LwRealSpaceData r;
    Grid(r, 3, 3, 3);
    LwVectorList v = {r.Density_[0]};
    for (int p = 0; p < 27; ++p)
        v[0][p] = 1.0f + p;
    MultiplyByRadius(v, r);
    EXPECT_FLOAT_EQ(v[0][14], 15.0f);  // R = 1 Angstrom
    EXPECT_FLOAT_EQ(v[0][26], 27.0f * std::sqrt(3.0f));
    EXPECT_EQ(v[0][13], 0.0f);
    DivideByRadius(v, r);
    for (int p = 0; p < 27; ++p) {
        if (p == 13) {
            EXPECT_EQ(v[0][p], 0.0f);
        } else {
            EXPECT_FLOAT_EQ(v[0][p], 1.0f + p) << p;
        }
    }
}

// The grid filters: a linear field is kept inside by the average and its
// sharpened image (M minus the neighbour mean) is 0; borders become 0, and
// so does everything on a grid with an axis below 3 points.
TEST(LwCalcMemCorrection, GridFilters)
{
    LwRealSpaceData r;
    Grid(r, 7, 6, 5);
    const LwFloatMatrix f = LinearField(r.Grid_);
    LwFloatMatrix a = f;
    AverageOnGrid(a, r.Grid_);
    for (int p = 0; p < a.ElementCount(); ++p) {
        if (Interior(r.Grid_, p)) {
            EXPECT_NEAR(a[p], f[p], 1e-5) << p;
        } else {
            EXPECT_EQ(a[p], 0.0f) << p;
        }
    }
    LwVectorList v = {f};
    FilterGradientOnGrid(v, r.Grid_);
    for (int p = 0; p < a.ElementCount(); ++p)
        EXPECT_NEAR(v[0][p], 0.0, 1e-5) << p;

    LwRealSpaceData flat;
    Grid(flat, 5, 5, 2);
    LwVectorList w = {LinearField(flat.Grid_)};
    FilterGradientOnGrid(w, flat.Grid_);
    for (int p = 0; p < 50; ++p)
        EXPECT_EQ(w[0][p], 0.0f);
    LwFloatMatrix wrong(49, 1);
    EXPECT_EQ(ErrorText([&] { AverageOnGrid(wrong, flat.Grid_); }),
              "Grid filter: the grid counts 5 x 5 x 2 do not match a vector of 49 points");
}

// Rotations: the unit set changes nothing; the fourfold set about z gives a
// field that takes one value on every orbit, the orbit's mean.
TEST(LwCalcMemCorrection, SymmetrizeByRotation)
{
    LwRealSpaceData r;
    Grid(r, 5, 5, 3);
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    LwVectorList v = {r.Density_[0]};
    for (int p = 0; p < 75; ++p)
        v[0][p] = u(rng);
    const LwFloatMatrix f = v[0];
    SymmetrizeByRotation(v, r);
    for (int p = 0; p < 75; ++p)
        ASSERT_EQ(v[0][p], f[p]);

    r.Rotations_.clear();
    for (int k = 0; k < 4; ++k)
        r.Rotations_.push_back(EulerRotationMatrix(k * LwConst::Pi / 2, 0, 0));
    SymmetrizeByRotation(v, r);
    auto at = [&](const LwFloatMatrix& m, int x, int y, int z) {
        return m[((z + 1) * 5 + (y + 2)) * 5 + (x + 2)];
    };
    for (int z = -1; z <= 1; ++z)
        for (int y = -2; y <= 2; ++y)
            for (int x = -2; x <= 2; ++x) {
                const double mean =
                    (at(f, x, y, z) + at(f, -y, x, z) + at(f, -x, -y, z) + at(f, y, -x, z)) / 4.0;
                EXPECT_NEAR(at(v[0], x, y, z), mean, 1e-6);
                EXPECT_EQ(at(v[0], x, y, z), at(v[0], -y, x, z));
            }
}

TEST(LwCalcMemCorrection, Translations)
{
    LwRealSpaceData r;
    Grid(r, 4, 3, 2);
    LwVectorList v = {LinearField(r.Grid_)};
    v[0][5] = 0.0f;
    const LwFloatMatrix f = v[0];
    CalcTranslateRectangular05(v, r);
    EXPECT_EQ(v[0].ColSize, 1);
    for (int p = 0; p < 24; ++p)
        EXPECT_EQ(v[0][p], f[p]);

    LwGridTranslation t;
    t.Dx_ = 1;
    t.Weight_ = 1.0f;
    r.Translations_ = {t};
    v = {f};
    CalcTranslateRectangular05(v, r);
    EXPECT_FLOAT_EQ(v[0][0], (f[0] + f[1]) / 2);
    EXPECT_FLOAT_EQ(v[0][3], f[3]);  // end of a row: the image is off the grid
    EXPECT_FLOAT_EQ(v[0][4], f[4]);  // its image is 0 and is left out
    EXPECT_EQ(v[0][5], 0.0f);  // 0 stays 0
}

}  // namespace
