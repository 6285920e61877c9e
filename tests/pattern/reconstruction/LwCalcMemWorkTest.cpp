#include "pattern/reconstruction/LwCalcMemWork.h"
#include "pattern/reconstruction/LwDocCalcMem.h"
#include "ErrorText.h"
#include "ReconstructionJobSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <random>

using recon_test::SmallProblem;

namespace {

void RandomFill(LwFloatMatrix& m, std::mt19937& rng, float lo, float hi)
{
    std::uniform_real_distribution<float> u(lo, hi);
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = u(rng);
}

// The densities of element 0 spread over six decades, from one seed.
void SpreadOverSixDecades(LwRealSpaceData& r)
{
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> decades(-6.0, 0.0);
    for (int p = 0; p < r.NPoint_; ++p)
        r.Density_[0][p] = static_cast<float>(std::pow(10.0, decades(rng)));
}

// The hologram of element 0 against the direct sum (in double, from the
// geometry) over the points inside the sphere with the densities v; the
// directions whose table cells lie near an edge are left out.
void ExpectDirectSums(const LwDocCalcMem& d, const std::vector<double>& v)
{
    const LwRealSpaceData& r = d.RealSpace_;
    int checked = 0;
    for (int q = 0; q < d.KSpace_.NPoint_; ++q) {
        double sum = 0.0, scale = 0.0;
        bool edge = false;
        for (int p = 0; p < r.NPoint_; ++p) {
            if (r.R_[p] == 0.0f)
                continue;
            int ir, idx;
            bool nearEdge;
            recon_test::TableCell(d, p, q, ir, idx, nearEdge);
            edge = edge || nearEdge;
            const double term = static_cast<double>(d.ScatteringPattern_.Pattern_[0][0](ir, idx)) * v[p];
            sum += term;
            scale += std::fabs(term);
        }
        if (edge)
            continue;
        ++checked;
        EXPECT_NEAR(d.KSpace_.Cal_[0][q], sum, 1e-5 * scale) << q;
    }
    EXPECT_GT(checked, 20);
}

// Restores the thread count of the process after a test changes it.
class ThreadCount
{
public:
    explicit ThreadCount(int n) : saved_(omp_get_max_threads()) { omp_set_num_threads(n); }
    ~ThreadCount() { omp_set_num_threads(saved_); }

private:
    int saved_;
};

// <F V, E> = <V, B E> for random positive densities V and residuals E, with
// one table serving both directions; two elements and two items.
TEST(LwCalcMemWork, TransformsAreAdjoint)
{
    SmallProblem pr;
    pr.items = 2;
    pr.elements = 2;
    LwDocCalcMem d;
    recon_test::BuildProblem(d, pr);
    d.CutoffRatio_ = 0.0f;
    LwCalcMemWork w(d);
    std::mt19937 rng(3);
    LwRealSpaceData& r = d.RealSpace_;
    LwKSpaceData& k = d.KSpace_;
    for (LwFloatMatrix& v : r.Density_)
        RandomFill(v, rng, 0.1f, 1.0f);
    for (LwFloatMatrix& e : k.Err_)
        RandomFill(e, rng, -1.0f, 1.0f);
    w.CalcMaxDensity();
    w.ConvertRToK(LwCalcMemWork::Source::Densities);
    for (LwFloatMatrix& g : r.Gradient_)
        g.SetZero();
    w.ConvertKToR();

    // <F V, E> sums over items; <V, B E> over elements: both are the full
    // double sum over (item, element, point, direction).
    long double fv = 0, vb = 0;
    for (int i = 0; i < pr.items; ++i)
        for (int q = 0; q < k.NPoint_; ++q)
            fv += static_cast<long double>(k.Cal_[i][q]) * k.Err_[i][q];
    for (int e = 0; e < pr.elements; ++e)
        for (int p = 0; p < r.NPoint_; ++p)
            vb += static_cast<long double>(r.Density_[e][p]) * r.Gradient_[e][p];
    EXPECT_NEAR(static_cast<double>(fv), static_cast<double>(vb), 1e-4 * std::fabs(static_cast<double>(fv)));
    EXPECT_GT(std::fabs(static_cast<double>(fv)), 1.0);
    // The origin has no direction: skipped by both transforms.
    const int origin = (3 * 7 + 3) * 7 + 3;
    EXPECT_EQ(r.Gradient_[0][origin], 0.0f);
}

// One grid point of density 1 gives, in every direction, the table entry of
// its radius row at the cosine between its direction and that direction.
TEST(LwCalcMemWork, SinglePointReproducesItsTableColumn)
{
    SmallProblem pr;
    pr.doubleWidth = true;
    LwDocCalcMem d;
    recon_test::BuildProblem(d, pr);
    d.CutoffRatio_ = 0.0f;
    LwCalcMemWork w(d);
    LwRealSpaceData& r = d.RealSpace_;
    const int p0 = (4 * 7 + 3) * 7 + 5;  // offset (2, 0, 1)
    r.Density_[0].SetZero();
    r.Density_[0][p0] = 1.0f;
    w.ConvertRToK(LwCalcMemWork::Source::Densities);
    int checked = 0;
    for (int q = 0; q < d.KSpace_.NPoint_; ++q) {
        int ir, idx;
        bool edge;
        recon_test::TableCell(d, p0, q, ir, idx, edge);
        if (edge)
            continue;
        ++checked;
        ASSERT_EQ(d.KSpace_.Cal_[0][q], d.ScatteringPattern_.Pattern_[0][0](ir, idx)) << q;
    }
    EXPECT_GT(checked, 50);

    // The back-projection of a unit residual in one direction at that point
    // reads the right half (the back-projection pattern).
    for (LwFloatMatrix& g : r.Gradient_)
        g.SetZero();
    LwFloatMatrix& err = d.KSpace_.Err_[0];
    err.SetZero();
    err[5] = 1.0f;
    w.ConvertKToR();
    int ir, idx;
    bool edge;
    recon_test::TableCell(d, p0, 5, ir, idx, edge);
    ASSERT_FALSE(edge);
    EXPECT_EQ(r.Gradient_[0][p0], d.ScatteringPattern_.Pattern_[0][0](pr.rn + ir, idx));
    // Points of density 0 receive nothing.
    EXPECT_EQ(r.Gradient_[0][p0 + 1], 0.0f);
}

// Points whose radius has no table row are emptied by the forward transform;
// in the densities mode points below CutoffRatio x the maximum are skipped.
TEST(LwCalcMemWork, RadiusRowsAndThreshold)
{
    SmallProblem pr;
    pr.rn = 4;  // rows for radii below 1.75e-10 m only
    LwDocCalcMem d;
    recon_test::BuildProblem(d, pr);
    LwCalcMemWork w(d);
    LwRealSpaceData& r = d.RealSpace_;
    std::mt19937 rng(5);
    RandomFill(r.Density_[0], rng, 0.5f, 1.0f);
    w.DensityPeak_ = 1.0f;
    d.CutoffRatio_ = 2.0f;  // threshold 2: every point below it
    w.ConvertRToK(LwCalcMemWork::Source::Densities);
    for (int p = 0; p < r.NPoint_; ++p) {
        const double row = r.R_[p] / 0.5e-10 + 0.5;
        if (r.R_[p] != 0.0f && row >= 4.0)
            ASSERT_EQ(r.Density_[0][p], 0.0f) << p;
        else
            ASSERT_GT(r.Density_[0][p], 0.0f) << p;
    }
    EXPECT_EQ(d.KSpace_.Cal_[0][0], 0.0f);
    // The gradients mode takes every point with a row.
    RandomFill(r.Gradient_[0], rng, -1.0f, -0.5f);
    w.ConvertRToK(LwCalcMemWork::Source::Gradients);
    double sum = 0;
    for (int q = 0; q < d.KSpace_.NPoint_; ++q)
        sum += std::fabs(d.KSpace_.ForwardGradient_[0][q]);
    EXPECT_GT(sum, 0.0);
}

// The forward transform's cut-off is a share of the largest density: with
// densities spread over six decades and CutoffRatio 1e-2, the holograms are
// the direct sums (in double, from the geometry) over the points whose
// density reaches 1e-2 of the largest one, and those points are a minority.
TEST(LwCalcMemWork, CutoffIsAShareOfTheLargestDensity)
{
    SmallProblem pr;
    pr.directions = 80;
    LwDocCalcMem d;
    recon_test::BuildProblem(d, pr);
    LwCalcMemWork w(d);
    LwRealSpaceData& r = d.RealSpace_;
    SpreadOverSixDecades(r);
    d.CutoffRatio_ = 1e-2f;
    w.CalcMaxDensity();
    const double threshold = static_cast<double>(1e-2f * w.DensityPeak_);
    // The densities the transform sees: those of the points it keeps.
    std::vector<double> kept(static_cast<std::size_t>(r.NPoint_), 0.0);
    std::size_t keptCount = 0;
    for (int p = 0; p < r.NPoint_; ++p)
        if (r.R_[p] != 0.0f && r.Density_[0][p] >= threshold) {
            kept[p] = r.Density_[0][p];
            ++keptCount;
        }
    ASSERT_GT(keptCount, 10u);
    ASSERT_LT(keptCount, static_cast<std::size_t>(r.NPoint_) / 2);
    w.ConvertRToK(LwCalcMemWork::Source::Densities);
    ExpectDirectSums(d, kept);
}

// The full transform and the reuse of the skipped points' image, against
// direct sums (in double, from the geometry) with densities over six
// decades and CutoffRatio 1e-2. A Refresh takes every point. A Reuse after
// one point below the cut-off and one above it have changed sees the new
// density of the point above and the old one of the point below; the next
// Refresh sees both. Each step gives the same bits at 1 and 3 threads.
TEST(LwCalcMemWork, RefreshAndReuseOfTheSkippedPoints)
{
    SmallProblem pr;
    pr.directions = 80;
    std::vector<std::vector<float>> bits;
    for (int threads : {1, 3}) {
        ThreadCount tc(threads);
        LwDocCalcMem d;
        recon_test::BuildProblem(d, pr);
        LwCalcMemWork w(d);
        LwRealSpaceData& r = d.RealSpace_;
        SpreadOverSixDecades(r);
        d.CutoffRatio_ = 1e-2f;
        w.CalcMaxDensity();
        const float threshold = 1e-2f * w.DensityPeak_;
        int below = -1, above = -1;
        for (int p = 0; p < r.NPoint_; ++p) {
            if (r.R_[p] == 0.0f)
                continue;
            if (below < 0 && r.Density_[0][p] < 0.1f * threshold)
                below = p;
            if (above < 0 && r.Density_[0][p] > 10.0f * threshold)
                above = p;
        }
        ASSERT_GE(below, 0);
        ASSERT_GE(above, 0);
        const auto transform = [&](LwCalcMemWork::Cutoff cutoff) {
            d.KSpace_.Cal_[0].SetZero();
            w.ConvertRToK(LwCalcMemWork::Source::Densities, cutoff);
            bits.emplace_back(d.KSpace_.Cal_[0].Buffer(), d.KSpace_.Cal_[0].Buffer() + d.KSpace_.NPoint_);
        };
        std::vector<double> start(r.Density_[0].Buffer(), r.Density_[0].Buffer() + r.NPoint_);
        EXPECT_FALSE(w.SkippedAny());
        transform(LwCalcMemWork::Cutoff::Refresh);
        EXPECT_TRUE(w.SkippedAny());
        ExpectDirectSums(d, start);

        r.Density_[0][below] *= 1000.0f;
        r.Density_[0][above] *= 2.0f;
        std::vector<double> seen = start;
        seen[above] = r.Density_[0][above];
        transform(LwCalcMemWork::Cutoff::Reuse);
        ExpectDirectSums(d, seen);

        std::vector<double> now(r.Density_[0].Buffer(), r.Density_[0].Buffer() + r.NPoint_);
        transform(LwCalcMemWork::Cutoff::Refresh);
        ExpectDirectSums(d, now);
        // Forgotten: a Reuse is a Refresh again.
        w.ClearCutoffState();
        EXPECT_FALSE(w.SkippedAny());
        transform(LwCalcMemWork::Cutoff::Reuse);
        ExpectDirectSums(d, now);
    }
    ASSERT_EQ(bits.size(), 8u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(bits[i], bits[i + 4]) << "step " << i;
}

// The transforms, the RMS error and the maximum give the same bits at any
// thread count.
TEST(LwCalcMemWork, IdenticalAtEveryThreadCount)
{
    SmallProblem pr;
    pr.n = 9;
    pr.directions = 37;
    pr.items = 2;
    pr.elements = 2;
    std::vector<std::vector<float>> results;
    for (int threads : {1, 2, 3, 8}) {
        ThreadCount tc(threads);
        LwDocCalcMem d;
        recon_test::BuildProblem(d, pr);
        LwCalcMemWork w(d);
        std::mt19937 rng(9);
        for (LwFloatMatrix& v : d.RealSpace_.Density_)
            RandomFill(v, rng, 0.0f, 1.0f);
        for (LwFloatMatrix& e : d.KSpace_.Err_)
            RandomFill(e, rng, -1.0f, 1.0f);
        w.CalcMaxDensity();
        w.ConvertRToK(LwCalcMemWork::Source::Densities);
        w.ConvertKToR();
        std::vector<float> out;
        for (const LwFloatMatrix& c : d.KSpace_.Cal_)
            out.insert(out.end(), c.Buffer(), c.Buffer() + c.ElementCount());
        for (const LwFloatMatrix& g : d.RealSpace_.Gradient_)
            out.insert(out.end(), g.Buffer(), g.Buffer() + g.ElementCount());
        out.push_back(static_cast<float>(w.CalcRmsError()));
        out.push_back(w.DensityMax_);
        results.push_back(out);
    }
    for (std::size_t t = 1; t < results.size(); ++t) {
        ASSERT_EQ(results[t].size(), results[0].size());
        for (std::size_t i = 0; i < results[0].size(); ++i)
            ASSERT_EQ(results[t][i], results[0][i]) << "run " << t << ", value " << i;
    }
}

// FitLinear against the least-squares closed form computed here in long
// double, and its special cases.
TEST(LwCalcMemWork, FitLinear)
{
    std::mt19937 rng(21);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    const int n = 200;
    LwFloatMatrix x(1, n), y(1, n), x0(1, n);
    for (int q = 0; q < n; ++q) {
        x[q] = static_cast<float>(q % 17) * 0.3f + 5.0f;
        y[q] = 2.5f * x[q] + 0.75f + noise(rng);
    }
    x0 = x;
    long double mx = 0, my = 0;
    for (int q = 0; q < n; ++q) {
        mx += x0[q];
        my += y[q];
    }
    mx /= n;
    my /= n;
    long double sxy = 0, sxx = 0;
    for (int q = 0; q < n; ++q) {
        sxy += (x0[q] - mx) * (y[q] - my);
        sxx += (x0[q] - mx) * (x0[q] - mx);
    }
    float a, b;
    FitLinear(x, y, a, b);
    EXPECT_NEAR(a, static_cast<double>(sxy / sxx), 1e-4);
    EXPECT_NEAR(b, static_cast<double>(my), 1e-4);  // the offset of the centred X
    for (int q = 0; q < n; ++q)
        EXPECT_NEAR(x[q], static_cast<double>(x0[q] - mx), 1e-5);

    // Constant X: slope 1e-25, offset the mean of Y.
    LwFloatMatrix c(1, n);
    for (int q = 0; q < n; ++q)
        c[q] = 3.0f;
    FitLinear(c, y, a, b);
    EXPECT_EQ(a, 1e-25f);
    EXPECT_NEAR(b, static_cast<double>(my), 1e-4);
    // Negative slope: 1e-25, the offset formed with the negative slope.
    LwFloatMatrix neg = x0;
    for (int q = 0; q < n; ++q)
        neg[q] = -x0[q];
    FitLinear(neg, y, a, b);
    EXPECT_EQ(a, 1e-25f);
    EXPECT_NEAR(b, static_cast<double>(my), 1e-3);
    // A NaN in the measured hologram.
    LwFloatMatrix bad = y;
    bad[3] = std::nanf("");
    LwFloatMatrix x1 = x0;
    EXPECT_EQ(ErrorText([&] { FitLinear(x1, bad, a, b); }), "Fitting Error");
}

// FitHolograms: the calculated hologram left centred, the residual with the
// slope times fratio or the unit slope. Iteration 0 (all zero) gives the
// measured hologram minus its mean.
TEST(LwCalcMemWork, FitHologramsResidual)
{
    SmallProblem pr;
    LwDocCalcMem d;
    recon_test::BuildProblem(d, pr);
    LwCalcMemWork w(d);
    std::mt19937 rng(1);
    LwKSpaceData& k = d.KSpace_;
    RandomFill(k.Exp_[0], rng, 0.0f, 2.0f);
    double mean = 0;
    for (int q = 0; q < k.NPoint_; ++q)
        mean += k.Exp_[0][q];
    mean /= k.NPoint_;
    w.FitHolograms(false);
    for (int q = 0; q < k.NPoint_; ++q)
        EXPECT_NEAR(k.Err_[0][q], k.Exp_[0][q] - mean, 1e-6);

    for (bool unit : {false, true}) {
        SCOPED_TRACE(unit);
        for (int q = 0; q < k.NPoint_; ++q)
            k.Cal_[0][q] = 3.0f * k.Exp_[0][q] + 1.0f;
        d.fratio_ = 0.5f;
        w.FitHolograms(unit);
        // Exp = Cal_c / 3 + mean exactly: a = 1/3, b = mean.
        const double slope = unit ? 1.0 : (1.0 / 3.0) * 0.5;
        for (int q = 0; q < k.NPoint_; ++q) {
            const double centred = 3.0 * (k.Exp_[0][q] - mean);
            EXPECT_NEAR(k.Cal_[0][q], centred, 1e-5);
            EXPECT_NEAR(k.Err_[0][q], (k.Exp_[0][q] - mean) - centred * slope, 1e-5);
        }
    }
}

TEST(LwCalcMemWork, RmsErrorAndMaximum)
{
    LwDocCalcMem d;
    SmallProblem pr;
    pr.directions = 2;
    recon_test::BuildProblem(d, pr);
    LwCalcMemWork w(d);
    d.KSpace_.Err_[0][0] = 3.0f;
    d.KSpace_.Err_[0][1] = 4.0f;
    EXPECT_EQ(w.CalcRmsError(), 2.5);
    EXPECT_EQ(d.MinRMS_, 2.5f);
    d.KSpace_.Err_[0][1] = 40.0f;
    w.CalcRmsError();
    EXPECT_EQ(d.MinRMS_, 2.5f);
    EXPECT_EQ(d.RmsHistory_.size(), 2u);

    LwRealSpaceData& r = d.RealSpace_;
    std::mt19937 rng(2);
    RandomFill(r.Density_[0], rng, -1.0f, 1.0f);
    float expected = 0.0f;
    for (int p = 0; p < r.NPoint_; ++p)
        expected = std::max(expected, r.Density_[0][p] * r.R_[p]);
    w.CalcMaxDensity();
    EXPECT_EQ(w.DensityMax_, expected);
    float peak = 0.0f;
    for (int p = 0; p < r.NPoint_; ++p)
        peak = std::max(peak, r.Density_[0][p]);
    EXPECT_EQ(w.DensityPeak_, peak);
    w.PushMaxHistory();
    EXPECT_EQ(d.MaxHistory_.back(), expected * 1e10f);
    w.InitDensity();
    EXPECT_EQ(r.Density_[0][17], 1e-25f);
}

// Data the transforms cannot work on are refused in words.
TEST(LwCalcMemWork, TransformLimits)
{
    struct Case
    {
        const char* what;
        void (*change)(LwDocCalcMem&);
        const char* message;
    };
    const Case cases[] = {
        {"sound", [](LwDocCalcMem&) {}, "(no error)"},
        {"even Z_N", [](LwDocCalcMem& d) { d.ScatteringPattern_.Z_N_ = 8; },
         "Reconstruction: the pattern tables need an odd number of cosine samples (Z_N), not 8"},
        {"zero step", [](LwDocCalcMem& d) { d.ScatteringPattern_.R_Step_ = 0.0f; },
         "Reconstruction: the radius step R_Step must be a positive length, not 0"},
        {"too few energies", [](LwDocCalcMem& d) { d.ScatteringPattern_.Forward_.pop_back(); },
         "Reconstruction: the scattering-pattern set has 1 energies for 2 hologram items"},
        {"too few patterns", [](LwDocCalcMem& d) { d.ScatteringPattern_.Back_[1].pop_back(); },
         "Reconstruction: energy 1 of the scattering-pattern set has 2 patterns for 2 elements"},
        {"table size", [](LwDocCalcMem& d) { d.ScatteringPattern_.Back_[0][1].Create(9, 11); },
         "Reconstruction: the table of energy 0, element 1 is 9 x 11, not Z_N x R_N = 9 x 12"},
        {"grid counts", [](LwDocCalcMem& d) { d.RealSpace_.Grid_.XCount_ = 6; },
         "Reconstruction: the grid counts XCount x YCount x ZCount = 6 x 7 x 7 differ from the 7 x 7 x 7 "
         "points that the bounds and step give"},
        // The same product, the axes swapped: the filters would treat the
        // points as another grid.
        {"swapped counts",
         [](LwDocCalcMem& d) {
             recon_test::SetCubeGrid(d.RealSpace_.Grid_, 5, 7, 9, 1e-10f);
             d.RealSpace_.CreateFromGrid();
             std::swap(d.RealSpace_.Grid_.XCount_, d.RealSpace_.Grid_.ZCount_);
         },
         "Reconstruction: the grid counts XCount x YCount x ZCount = 9 x 7 x 5 differ from the 5 x 7 x 9 "
         "points that the bounds and step give"},
        {"bounds not the data's",
         [](LwDocCalcMem& d) { recon_test::SetCubeGrid(d.RealSpace_.Grid_, 5, 7, 9, 1e-10f); },
         "Reconstruction: the bounds and step give 5 x 7 x 9 points, not the 343 grid points of the data"},
        {"energies in the opposite order",
         [](LwDocCalcMem& d) {
             d.KSpace_.E_ = {600.0f, 800.0f};
             d.ScatteringPattern_.Ek_eV_ = {800.0f, 600.0f};
         },
         "Reconstruction: hologram item 0 has the energy E = 600 but energy 0 of the scattering-pattern set "
         "has Ek_eV = 800 (items and pattern energies pair by position)"},
        {"second energy differs", [](LwDocCalcMem& d) { d.ScatteringPattern_.Ek_eV_[1] = 1001.0f; },
         "Reconstruction: hologram item 1 has the energy E = 1000 but energy 1 of the scattering-pattern set "
         "has Ek_eV = 1001 (items and pattern energies pair by position)"},
        {"energy missing", [](LwDocCalcMem& d) { d.ScatteringPattern_.Ek_eV_.pop_back(); },
         "Reconstruction: hologram item 1 has the energy E = 1000 but energy 1 of the scattering-pattern set "
         "has Ek_eV = nan (items and pattern energies pair by position)"},
        {"energy rounded", [](LwDocCalcMem& d) { d.ScatteringPattern_.Ek_eV_[1] = 1000.004f; }, "(no error)"},
        // An item without "E" reads with E = 0 (LwKSpaceData): its energy is
        // missing, whatever the pattern set holds.
        {"item without an energy", [](LwDocCalcMem& d) { d.KSpace_.E_[1] = 0.0f; },
         "Reconstruction: hologram item 1 has no energy (its \"E\" is missing or 0); energy 1 of the "
         "scattering-pattern set has Ek_eV = 1000"},
        {"item and pattern energy both 0",
         [](LwDocCalcMem& d) {
             d.KSpace_.E_[0] = 0.0f;
             d.ScatteringPattern_.Ek_eV_[0] = 0.0f;
         },
         "Reconstruction: hologram item 0 has no energy (its \"E\" is missing or 0); energy 0 of the "
         "scattering-pattern set has Ek_eV = 0"},
        {"no item", [](LwDocCalcMem& d) { d.KSpace_.NList_ = 0; },
         "Reconstruction: there is no hologram item"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmallProblem pr;
        pr.items = 2;
        pr.elements = 2;
        LwDocCalcMem d;
        recon_test::BuildProblem(d, pr);
        c.change(d);
        LwCalcMemWork w(d);
        EXPECT_EQ(ErrorText([&] { w.CheckTransformLimits(); }), c.message);
    }
}

// The save rules, and the file name from the base name and loop count.
TEST(LwCalcMemWork, AutoSaveRules)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char* what;
        int history;
        LwLong loop;
        LwLong period;
        bool request;
        float minRms;
        bool saved;
    };
    const Case cases[] = {
        {"one entry", 1, 1, 5, true, 0.0f, false},    {"loop 1", 2, 1, 5, false, 0.0f, true},
        {"loop 0", 2, 0, 5, false, 0.0f, true},       {"period", 7, 10, 5, false, 0.0f, true},
        {"off period", 7, 11, 5, false, 0.0f, false}, {"period 0", 7, 10, 0, false, 0.0f, false},
        {"request", 7, 11, 5, true, 0.0f, true},      {"new minimum", 7, 11, 5, false, 0.5f, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmallProblem pr;
        LwDocCalcMem d;
        recon_test::BuildProblem(d, pr);
        LwCalcMemWork w(d);
        w.BaseName_ = dir.filePath(QString("run%1").arg(n++));
        d.RmsHistory_.assign(c.history, 1.0f);
        d.RmsHistory_.back() = 0.5f;
        d.MaxHistory_.assign(c.history, 1.0f);
        d.LoopCount_ = c.loop;
        d.AutoSave_ = c.period;
        d.MinRMS_ = c.minRms;
        w.SaveRequest_ = c.request;
        w.AutoSave();
        const QString name = CalcMemLoopFileName(w.BaseName_, c.loop);
        EXPECT_EQ(QFileInfo::exists(name), c.saved);
        if (c.saved) {
            EXPECT_FALSE(w.SaveRequest_);
            LwQBarnFile in(name, "r");
            LwDocCalcMem back;
            EXPECT_TRUE(back.LoadSave(in));
            EXPECT_EQ(back.LoopCount_, c.loop);
            EXPECT_EQ(back.RmsHistory_.size(), static_cast<std::size_t>(c.history));
        }
    }
    // An unwritable place: the file's error.
    SmallProblem pr;
    LwDocCalcMem d;
    recon_test::BuildProblem(d, pr);
    LwCalcMemWork w(d);
    w.BaseName_ = dir.filePath("missing/run");
    EXPECT_EQ(ErrorText([&] { w.SaveDocument(); }).substr(0, 18), "FILE CANNOT WRITE:");
}

}  // namespace
