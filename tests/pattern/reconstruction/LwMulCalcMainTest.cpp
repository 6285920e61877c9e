#include "pattern/reconstruction/LwCalcMemCorrection.h"
#include "pattern/reconstruction/LwCalcMemWork.h"
#include "pattern/reconstruction/LwDocCalcMem.h"
#include "pattern/reconstruction/LwMulCalcMain.h"
#include "ReconstructionJobSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using recon_test::SmallProblem;

namespace {

// Grid point of the offset (dx, dy, dz) from the centre of the 7^3 grid.
int At(int dx, int dy, int dz)
{
    return ((dz + 3) * 7 + dy + 3) * 7 + dx + 3;
}

// The densities of the document saved at `loop`.
LwFloatMatrix SavedDensity(const QString& baseName, LwLong loop)
{
    LwQBarnFile in(CalcMemLoopFileName(baseName, loop), "r");
    LwDocCalcMem saved;
    EXPECT_TRUE(saved.LoadSave(in));
    return saved.RealSpace_.Density_.at(0);
}

// Atoms at grid points of a 7^3 grid (by default a single one at (5, 3, 4),
// offset (2, 0, 1)), projected into the measured holograms with the random
// (asymmetric) pattern tables; the holograms are computed here from the
// geometry in double, a sum over the atoms.
struct SingleAtom
{
    LwDocCalcMem doc;
    LwCalcMemWork work{doc};
    LwMulCalcMain job{doc, work};
    QTemporaryDir dir;
    int atom = (4 * 7 + 3) * 7 + 5;
    std::vector<int> sites{atom};

    explicit SingleAtom(LwLong correctionType, int directions = 200)
        : SingleAtom(correctionType, {}, directions)
    {}

    SingleAtom(LwLong correctionType, std::vector<int> atoms, int directions, int cosineSamples = 9,
               int n = 7)
    {
        if (!atoms.empty())
            sites = std::move(atoms);
        SmallProblem pr;
        pr.directions = directions;
        pr.zn = cosineSamples;
        pr.n = n;
        pr.rn = n + 5;
        recon_test::BuildProblem(doc, pr);
        doc.CorrectionType_ = correctionType;
        for (int q = 0; q < pr.directions; ++q) {
            double sum = 0.0;
            for (int p : sites) {
                int ir, idx;
                bool edge;
                recon_test::TableCell(doc, p, q, ir, idx, edge);
                sum += doc.ScatteringPattern_.Pattern_[0][0](ir, idx);
            }
            doc.KSpace_.Exp_[0][q] = static_cast<float>(sum);
        }
        work.BaseName_ = dir.filePath("run");
    }

    int threads = 0;  // OpenMP threads of the job's thread; 0: the default

    // Runs the job on a thread of its own and stops it through its flag once
    // `loops` iterations are done.
    void RunFor(LwLong loops)
    {
        std::atomic<bool> done{false};
        std::thread t([&] {
            if (threads > 0)
                omp_set_num_threads(threads);
            job.Run();
            done = true;
        });
        while (job.GetProgress() < loops && !done)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        job.RequestStop();
        t.join();
    }

    // The n points of the largest density of element 0, in point order.
    std::vector<int> Peaks(std::size_t n) const
    {
        const LwFloatMatrix& v = doc.RealSpace_.Density_[0];
        std::vector<int> order(static_cast<std::size_t>(v.ElementCount()));
        for (std::size_t p = 0; p < order.size(); ++p)
            order[p] = static_cast<int>(p);
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n), order.end(),
                          [&](int a, int b) { return v.Buffer()[a] > v.Buffer()[b]; });
        order.resize(n);
        std::sort(order.begin(), order.end());
        return order;
    }

    int ArgMax() const
    {
        const LwFloatMatrix& v = doc.RealSpace_.Density_[0];
        int best = 0;
        for (int p = 1; p < v.ElementCount(); ++p)
            if (v[p] > v[best])
                best = p;
        return best;
    }
};

// MEM end to end: the density peaks at the atom, the RMS error falls, lp
// files appear exactly on the auto-save schedule, and every iteration that
// brought no improvement shortened the step to 0.9 of the last one.
TEST(LwMulCalcMain, MemFindsASingleAtom)
{
    SingleAtom s(0);
    s.doc.AutoSave_ = 5;
    // The retry rule alone: with a cut-off, the error of a full transform
    // also becomes the reference after a rise (CutoffKeepsTheWeightOnTheSites).
    s.doc.StartCutoffRatio_ = 0.0f;
    s.RunFor(30);
    LwDocCalcMem& d = s.doc;
    EXPECT_EQ(s.job.Status(), "Calc Terminated");
    const LwLong loops = d.LoopCount_;
    ASSERT_GE(loops, 30);
    EXPECT_EQ(s.ArgMax(), s.atom);
    for (const LwFloatMatrix& v : d.RealSpace_.Density_)
        for (int p = 0; p < v.ElementCount(); ++p)
            ASSERT_TRUE(std::isfinite(v[p])) << p;
    ASSERT_EQ(d.RmsHistory_.size(), static_cast<std::size_t>(loops));
    ASSERT_EQ(d.MaxHistory_.size(), static_cast<std::size_t>(loops));
    EXPECT_LT(d.RmsHistory_.back(), 0.5f * d.RmsHistory_.front());

    // The schedule from the history: n >= 2 entries, then loop 1, multiples
    // of 5 and new minima. Lambda as saved: 0.9 ^ (iterations without
    // improvement before it).
    float minimum = 1e10f;
    double best = 1e100;
    int retries = 0;
    for (LwLong loop = 0; loop < loops; ++loop) {
        const float rms = d.RmsHistory_[loop];
        if (minimum > rms)
            minimum = rms;
        const bool due = loop >= 1 && (loop == 1 || loop % 5 == 0 || minimum >= rms);
        const QString name = CalcMemLoopFileName(s.work.BaseName_, loop);
        ASSERT_EQ(QFileInfo::exists(name), due) << "loop " << loop;
        if (due) {
            LwQBarnFile in(name, "r");
            LwDocCalcMem saved;
            ASSERT_TRUE(saved.LoadSave(in));
            EXPECT_EQ(saved.LoopCount_, loop);
            EXPECT_EQ(saved.RmsHistory_.size(), static_cast<std::size_t>(loop + 1));
            float lambda = 1.0f;
            for (int k = 0; k < retries; ++k)
                lambda = static_cast<float>(static_cast<double>(lambda) * 0.9);
            EXPECT_NEAR(saved.Lambda_, lambda, 1e-5) << "loop " << loop;
        }
        if (!(best > rms))
            ++retries;
        else
            best = rms;
    }
    EXPECT_GT(retries, 0) << "the run should have met a rise of the error";
}

// SDM end to end, with the soft threshold of type 2 (shift and clip) and of
// type 1 (shrink towards 0, no growth where the density has vanished): the
// maximum sits at the atom, the error falls, every density is 0 or at least
// 1e-25 (to rounding), and the threshold, a share of the largest gradient
// value, is positive.
TEST(LwMulCalcMain, SdmFindsASingleAtom)
{
    for (LwLong type : {2, 1}) {
        SCOPED_TRACE(type);
        SingleAtom s(1);
        s.doc.IsAutoThreshold_ = true;
        s.doc.SoftThresholdType_ = type;
        s.doc.ThresholdPercentage_ = 50.0f;
        s.doc.AutoSave_ = 0;
        s.RunFor(10);
        EXPECT_EQ(s.job.Status(), "Calc Terminated");
        ASSERT_GE(s.doc.LoopCount_, 10);
        EXPECT_EQ(s.ArgMax(), s.atom);
        EXPECT_LT(s.doc.RmsHistory_.back(), s.doc.RmsHistory_.front());
        // The floor 1e-25 of the SDM step, less the rounding of the radius
        // weighting and its undoing in float.
        const float floor = 1e-25f * (1.0f - 4.0f * std::numeric_limits<float>::epsilon());
        const LwFloatMatrix& v = s.doc.RealSpace_.Density_[0];
        for (int p = 0; p < v.ElementCount(); ++p)
            ASSERT_TRUE(v.Buffer()[p] == 0.0f || v.Buffer()[p] >= floor) << p << ": " << v.Buffer()[p];
        for (float thr : s.doc.ThresholdHistory_)
            ASSERT_GT(thr, 0.0f);
        // One threshold per iteration; the stop may come after the soft
        // threshold of the iteration it ends.
        const std::size_t n = s.doc.ThresholdHistory_.size();
        EXPECT_TRUE(n == static_cast<std::size_t>(s.doc.LoopCount_) ||
                    n == static_cast<std::size_t>(s.doc.LoopCount_) + 1)
            << n;
    }
}

// The nearest-neighbour shell of an fcc emitter (the grid step a quarter of
// the lattice constant): twelve sites (+-2, +-2, 0) and permutations, all of
// one radius, told apart by direction alone. The twelve largest densities
// are the twelve sites whether the forward transform skips the points below
// 1e-2 of the largest density (by the end most of them) or no point at all.
TEST(LwMulCalcMain, FccShellPeaksOnTheSitesWithAndWithoutTheCutoff)
{
    std::vector<int> sites;
    for (int iz = -3; iz <= 3; ++iz)
        for (int iy = -3; iy <= 3; ++iy)
            for (int ix = -3; ix <= 3; ++ix)
                if (ix * ix + iy * iy + iz * iz == 8 && ix % 2 == 0 && iy % 2 == 0 && iz % 2 == 0)
                    sites.push_back(((iz + 3) * 7 + iy + 3) * 7 + ix + 3);
    ASSERT_EQ(sites.size(), 12u);
    for (float cutoff : {1e-2f, 0.0f}) {
        SCOPED_TRACE(cutoff);
        SingleAtom s(0, sites, 400, 31);
        s.doc.StartCutoffRatio_ = cutoff;
        s.doc.AutoSave_ = 0;
        s.RunFor(40);
        EXPECT_EQ(s.job.Status(), "Calc Terminated");
        EXPECT_EQ(s.Peaks(12), sites);
        // With the cut-off most points end below it: it really skips.
        const LwFloatMatrix& v = s.doc.RealSpace_.Density_[0];
        const float peak = *std::max_element(v.Buffer(), v.Buffer() + v.ElementCount());
        const auto below = std::count_if(v.Buffer(), v.Buffer() + v.ElementCount(),
                                         [&](float x) { return x < cutoff * peak; });
        if (cutoff > 0.0f) {
            EXPECT_GT(below, v.ElementCount() / 2);
        }
    }
}

// Six atoms at grid points of a 9^3 grid, no two related by a symmetry of
// the grid, seen through random tables in 400 directions. With CutoffRatio
// 1e-2 most points end below the cut-off; the share of the density on the
// atoms after 100 iterations (the document saved then) stays within 5 % of
// that of the run without a cut-off, the independent reference. (While the
// skipped points never re-entered the fit, weight collected on them and the
// share fell to 0.94 of the reference.) The saved densities are the same at 1
// and 4 threads.
TEST(LwMulCalcMain, CutoffKeepsTheWeightOnTheSites)
{
    constexpr LwLong loops = 100;
    // Offsets (-3, 0, -2), (2, 0, -2), (2, -3, 0), (2, 0, 0), (0, 0, 2), (-1, 0, 3).
    const std::vector<int> sites{199, 204, 339, 366, 526, 606};
    const auto run = [&](float cutoff, int threads) {
        SingleAtom s(0, sites, 400, 31, 9);
        s.doc.StartCutoffRatio_ = cutoff;
        s.doc.AutoSave_ = loops;
        s.threads = threads;
        s.RunFor(loops);
        EXPECT_EQ(s.job.Status(), "Calc Terminated");
        return SavedDensity(s.work.BaseName_, loops);
    };
    // Share of the density at the atoms (grid step 1 A: no other point lies
    // within 0.5 A of one).
    const auto onSites = [&](const LwFloatMatrix& v) {
        double all = 0.0, at = 0.0;
        for (int p = 0; p < v.ElementCount(); ++p)
            all += v.Buffer()[p];
        for (int p : sites)
            at += v.Buffer()[p];
        return at / all;
    };
    const LwFloatMatrix uncut = run(0.0f, 1);
    const LwFloatMatrix cut = run(1e-2f, 1);
    const double reference = onSites(uncut);
    EXPECT_GT(reference, 0.9);
    EXPECT_NEAR(onSites(cut), reference, 0.05 * reference);
    // The cut-off really skips: most points lie below it.
    const float peak = *std::max_element(cut.Buffer(), cut.Buffer() + cut.ElementCount());
    EXPECT_GT(std::count_if(cut.Buffer(), cut.Buffer() + cut.ElementCount(),
                            [&](float x) { return x < 1e-2f * peak; }),
              cut.ElementCount() * 9 / 10);
    recon_test::ExpectSameMatrix(run(1e-2f, 4), cut);
}

// The gradient path of the first iteration with the post-filter, the
// smoothing and the reduction on. From the uniform start the MEM step makes
// the densities exp(G' / max |G'| - 1) V0, so the log-ratios of the densities
// saved at loop 1 give G' back; they agree with G' formed here from the
// residual Exp - mean(Exp), back-projected and filtered step by step in the
// documented order (radius-weighted grid filter, two smoothing passes of
// weight 1, reduction by the largest value since the ratio is not 0).
TEST(LwMulCalcMain, GradientFiltersOfTheFirstIteration)
{
    SingleAtom s(0);
    LwDocCalcMem& d = s.doc;
    d.IsGradientPostFilter_ = true;
    d.IsSmoothingErr_ = true;
    d.SmoothingErrN_ = 2;
    d.IsReduceGradient_ = true;
    d.ReduceGradientRatio_ = 0.3f;
    d.AutoSave_ = 0;

    LwDocCalcMem e = d;
    LwCalcMemWork ew(e);
    LwRealSpaceData& er = e.RealSpace_;
    ew.InitDensity();
    for (LwFloatMatrix& c : e.KSpace_.Cal_)
        c.SetZero();
    ew.FitHolograms(false);
    for (LwFloatMatrix& g : er.Gradient_)
        g.SetZero();
    ew.ConvertKToR();
    MultiplyByRadius(er.Gradient_, er);
    FilterGradientOnGrid(er.Gradient_, er.Grid_);
    DivideByRadius(er.Gradient_, er);
    SmoothGradient(er.Gradient_, er, 2, 1.0f);
    ReduceGradient(er.Gradient_, 1.0f);
    const LwFloatMatrix& g = er.Gradient_[0];
    double gmax = 0.0;
    for (int p = 0; p < g.ElementCount(); ++p)
        gmax = std::max(gmax, std::fabs(static_cast<double>(g.Buffer()[p])));
    ASSERT_GT(gmax, 0.0);

    s.RunFor(2);
    const LwFloatMatrix saved = SavedDensity(s.work.BaseName_, 1);
    const int ref = At(1, 1, 1);
    int checked = 0;
    for (int p = 0; p < saved.ElementCount(); ++p) {
        if (saved.Buffer()[p] == 0.0f) {
            ASSERT_EQ(er.R_[p], 0.0f) << p;  // only the origin is emptied
            continue;
        }
        const double logRatio = std::log(static_cast<double>(saved.Buffer()[p]) / saved.Buffer()[ref]);
        ASSERT_NEAR(logRatio, (g.Buffer()[p] - static_cast<double>(g.Buffer()[ref])) / gmax, 1e-4) << p;
        ++checked;
    }
    EXPECT_EQ(checked, 342);
}

// A four-fold axis along z in the rotation list: the densities after every
// iteration are the same at the four images of a point, and the four atoms
// placed on one orbit are the four largest densities.
TEST(LwMulCalcMain, RotationsInTheLoopKeepTheSymmetry)
{
    const std::vector<int> sites = {At(2, 0, 1), At(0, 2, 1), At(-2, 0, 1), At(0, -2, 1)};
    SingleAtom s(0, sites, 300);
    s.doc.AutoSave_ = 0;
    LwLDoubleMatrix q(3, 3);  // (x, y, z) -> (-y, x, z), element (column, row)
    q.SetZero();
    q(1, 0) = -1;
    q(0, 1) = 1;
    q(2, 2) = 1;
    LwLDoubleMatrix power(3, 3);
    power.SetUnit();
    s.doc.RealSpace_.Rotations_.clear();
    for (int k = 0; k < 4; ++k) {
        s.doc.RealSpace_.Rotations_.push_back(power);
        LwLDoubleMatrix next(3, 3);
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) {
                LDouble sum = 0;
                for (int m = 0; m < 3; ++m)
                    sum += q(m, r) * power(c, m);
                next(c, r) = sum;
            }
        power = next;
    }
    s.RunFor(15);
    EXPECT_EQ(s.job.Status(), "Calc Terminated");
    std::vector<int> expected = sites;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(s.Peaks(4), expected);
    const LwFloatMatrix& v = s.doc.RealSpace_.Density_[0];
    for (int z = -3; z <= 3; ++z)
        for (int y = -3; y <= 3; ++y)
            for (int x = -3; x <= 3; ++x) {
                const float a = v.Buffer()[At(x, y, z)];
                const float b = v.Buffer()[At(-y, x, z)];
                ASSERT_NEAR(a, b, 1e-5f * std::max(std::fabs(a), std::fabs(b))) << x << " " << y << " " << z;
            }
}

// Two atoms one translation (3, 0, 0) apart, with the translation and its
// inverse as records of weight 1: the averaging over the translated images
// runs in every iteration and the two atoms are the two largest densities.
TEST(LwMulCalcMain, TranslationsInTheLoopFindThePeriodicPair)
{
    const std::vector<int> sites = {At(-2, 0, 1), At(1, 0, 1)};
    SingleAtom s(0, sites, 300);
    s.doc.AutoSave_ = 0;
    LwGridTranslation t;
    t.Dx_ = 3;
    t.Weight_ = 1.0f;
    s.doc.RealSpace_.Translations_.push_back(t);
    t.Dx_ = -3;
    s.doc.RealSpace_.Translations_.push_back(t);
    s.RunFor(15);
    EXPECT_EQ(s.job.Status(), "Calc Terminated");
    EXPECT_EQ(s.Peaks(2), sites);
    // The translated densities became column vectors of the grid's length.
    EXPECT_EQ(s.doc.RealSpace_.Density_[0].ColSize, 1);
    EXPECT_EQ(s.doc.RealSpace_.Density_[0].VectorSize(), 343);
}

// Every iteration, a retry included, starts from the start values: each
// saved document carries the start fratio, CutoffRatio and TotalPower, and
// its densities, normalised at the start of the iteration, sum to that
// TotalPower.
TEST(LwMulCalcMain, RetriesRestoreTheWorkingValues)
{
    SingleAtom s(0);
    LwDocCalcMem& d = s.doc;
    d.Startfratio_ = 0.6f;
    d.StartCutoffRatio_ = 1e-3f;
    d.StartTotalPower_ = 2.5f;
    d.AutoSave_ = 1;
    s.RunFor(25);
    int retries = 0;
    double best = 1e100;
    for (LwLong loop = 1; loop < d.LoopCount_; ++loop) {
        SCOPED_TRACE(loop);
        LwQBarnFile in(CalcMemLoopFileName(s.work.BaseName_, loop), "r");
        LwDocCalcMem saved;
        ASSERT_TRUE(saved.LoadSave(in));
        EXPECT_EQ(saved.fratio_, 0.6f);
        EXPECT_EQ(saved.CutoffRatio_, 1e-3f);
        EXPECT_EQ(saved.RealSpace_.TotalPower_, 2.5f);
        double sum = 0.0;
        const LwFloatMatrix& v = saved.RealSpace_.Density_[0];
        for (int p = 0; p < v.ElementCount(); ++p)
            sum += v.Buffer()[p];
        EXPECT_NEAR(sum, 2.5, 1e-5);
    }
    for (float rms : d.RmsHistory_) {
        if (!(best > rms))
            ++retries;
        else
            best = rms;
    }
    EXPECT_GT(retries, 0) << "the run should have met a rise of the error";
}

// Per-point vectors as a document may hold them, beginning at index 7 (the
// k-space vectors at -2): both corrections run and find the atom.
TEST(LwMulCalcMain, VectorsBeginningAnywhere)
{
    for (LwLong type : {0, 1}) {
        SCOPED_TRACE(type);
        SingleAtom s(type);
        s.doc.IsAutoThreshold_ = true;
        s.doc.ThresholdPercentage_ = 50.0f;
        s.doc.AutoSave_ = 0;
        const auto shift = [](LwFloatMatrix& m, int begin) {
            (m.ColSize == 1 ? m.RowBegin : m.ColBegin) = begin;
            ASSERT_EQ(m.VectorBegin(), begin);
        };
        LwRealSpaceData& r = s.doc.RealSpace_;
        for (LwFloatMatrix* m : {&r.Ux_, &r.Uy_, &r.Uz_, &r.R_, &r.Density_[0], &r.Gradient_[0]})
            shift(*m, 7);
        LwKSpaceData& k = s.doc.KSpace_;
        for (LwFloatMatrix* m :
             {&k.Ux_, &k.Uy_, &k.Uz_, &k.Exp_[0], &k.Cal_[0], &k.Err_[0], &k.ForwardGradient_[0]})
            shift(*m, -2);
        s.RunFor(10);
        EXPECT_EQ(s.job.Status(), "Calc Terminated");
        EXPECT_GE(s.doc.LoopCount_, 10);
        EXPECT_EQ(s.ArgMax(), s.atom);
    }
}

// A job stopped once runs again in full: the second run starts over from
// the set-up (fresh histories, loop count from 0) and finds the atom again,
// rather than ending after a set-up that wipes the densities.
TEST(LwMulCalcMain, RunsAgainAfterAStop)
{
    SingleAtom s(0);
    s.doc.AutoSave_ = 0;
    s.RunFor(5);
    ASSERT_TRUE(s.job.StopRequested());
    ASSERT_EQ(s.ArgMax(), s.atom);
    s.RunFor(12);
    EXPECT_EQ(s.job.Status(), "Calc Terminated");
    ASSERT_GE(s.doc.LoopCount_, 12);
    EXPECT_EQ(s.doc.RmsHistory_.size(), static_cast<std::size_t>(s.doc.LoopCount_));
    EXPECT_EQ(s.ArgMax(), s.atom);
    EXPECT_LT(s.doc.RmsHistory_.back(), 0.5f * s.doc.RmsHistory_.front());
    EXPECT_EQ(s.job.NPointR_, 343);
    EXPECT_EQ(s.job.NList_, 1);
}

// A stop that arrives before the set-up (during the initialisation) ends the
// run there: the result of the last run stays, densities and histories.
TEST(LwMulCalcMain, StopBeforeTheSetUpKeepsTheResult)
{
    SingleAtom s(0);
    s.doc.AutoSave_ = 0;
    s.RunFor(5);
    const LwFloatMatrix result = s.doc.RealSpace_.Density_[0];
    const LwLong loops = s.doc.LoopCount_;
    const std::vector<float> history = s.doc.RmsHistory_;
    s.job.RequestStop();
    s.job.MainLoop();
    EXPECT_EQ(s.job.Status(), "Calc Terminated");
    EXPECT_EQ(s.doc.LoopCount_, loops);
    EXPECT_EQ(s.doc.RmsHistory_, history);
    for (int p = 0; p < result.ElementCount(); ++p)
        ASSERT_EQ(s.doc.RealSpace_.Density_[0].Buffer()[p], result.Buffer()[p]) << p;
}

TEST(LwMulCalcMain, UndefinedTypeEndsTheFirstIteration)
{
    SingleAtom s(2);
    s.job.Run();
    EXPECT_EQ(s.job.Status(), "UNDEFINED TYPE");
    EXPECT_EQ(s.doc.LoopCount_, 0);
    EXPECT_EQ(s.doc.RmsHistory_.size(), 1u);
}

// Data the transforms cannot use are refused before the first iteration,
// with the reason as status; nothing is thrown out of Run.
TEST(LwMulCalcMain, RefusedData)
{
    SingleAtom s(0);
    s.doc.ScatteringPattern_.Z_N_ = 8;
    s.doc.ScatteringPattern_.Pattern_[0][0].Create(12, 8);
    s.job.Run();
    EXPECT_EQ(s.job.Status(),
              "Reconstruction: the pattern tables need an odd number of cosine samples (Z_N), not 8");
    EXPECT_TRUE(s.doc.RmsHistory_.empty());
}

// An error that is not a number before any improvement (a measured value of
// +inf) is a retry that keeps the current densities, not an empty backup.
TEST(LwMulCalcMain, RetryBeforeAnyImprovementKeepsTheDensities)
{
    SingleAtom s(0);
    s.doc.KSpace_.Exp_[0][3] = INFINITY;
    s.RunFor(1);
    ASSERT_GE(s.doc.LoopCount_, 1);
    EXPECT_EQ(s.doc.RealSpace_.Density_.size(), 1u);
    EXPECT_EQ(s.doc.RealSpace_.Density_[0].VectorSize(), 343);
    EXPECT_NEAR(s.doc.StartLambda_, std::pow(0.9, static_cast<double>(s.doc.LoopCount_)), 1e-5);
}

// A save that fails ends the run with the file's message as status.
TEST(LwMulCalcMain, FailedSaveEndsTheRun)
{
    SingleAtom s(0);
    s.work.BaseName_ = s.dir.filePath("no/such/dir/run");
    s.RunFor(5);
    EXPECT_EQ(s.job.Status().substr(0, 18), "FILE CANNOT WRITE:");
    EXPECT_EQ(s.doc.LoopCount_, 1);
}

}  // namespace
