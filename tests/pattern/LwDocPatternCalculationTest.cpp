// The pattern calculation on hand-built scatterer lists, checked against the
// closed forms of the far field of s- and p-wave sources.

#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "pattern/LwDocPattern.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

namespace {
constexpr double kEk = 500.0;  // eV
// Relative tolerance of a far-field intensity: a few dozen roundings in the
// Y_lm recursion, the phase and the squared modulus.
constexpr double kRelTol = 1e4 * std::numeric_limits<double>::epsilon();

// Wave number of kEk from sqrt(2 m e E) / hbar, computed here independently.
double WaveNumber()
{
    return Reference::ElectronWaveNumber_perm(kEk);
}

LwPartialWaveSource Source(double x, double y, double z, int L)
{
    LwPartialWaveSource s;
    s.SetPosition(x, y, z);
    s.Outgoing().SetSizeZero(L);
    return s;
}

// Emitter with outgoing s-wave coefficient c00 at the origin.
LwVectorFreeElectron SWave(LComplex c00)
{
    LwVectorFreeElectron w;
    w.Sources().push_back(Source(0, 0, 0, 1));
    w.Sources()[0].Outgoing()(0, 0) = c00;
    w.SetKineticEnergy(kEk);
    return w;
}

// An s-wave scatterer with coefficient c at (x, y, z), appended.
void AddScatterer(LwVectorFreeElectron& w, double x, double y, double z, LComplex c)
{
    w.Sources().push_back(Source(x, y, z, 1));
    w.Sources().back().Outgoing()(0, 0) = c;
    w.SetKineticEnergy(kEk);
}

// Runs the pixel loop of one scatterer list on `doc`'s freshly built grid.
void Compute(LwDocPattern& doc, const LwVectorFreeElectron& wave)
{
    doc.InitSphericalMap();
    doc.SetRotationFromEulerAngles();
    LwLDoubleMatrix theta, phi;
    doc.CalcDirectionAngles(theta, phi);
    doc.PrepareWorkingWave(wave);
    LwNotifyTerminateThreadCalculation never;
    doc.CalcPixelColumns(theta, phi, never, LwDocPattern::SurfaceHeight(wave));
}

LwDocPattern_AzimuthalEquidistant SmallAe(double res = 3.0)
{
    LwDocPattern_AzimuthalEquidistant d;
    d.Resolution_deg_ = res;
    return d;
}

TEST(DocPatternCalculation, DirectionAnglesRefuseAGridNotBeginningAtPixelZero)
{
    // A range error inside the parallel pixel loop would end the program:
    // such a grid is refused before it.
    const struct
    {
        const char* name;
        int colBegin, rowBegin;
    } cases[] = {{"columns begin at 1", 1, 0}, {"rows begin at -2", 0, -2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LwDocPattern_AzimuthalEquidistant doc = SmallAe();
        doc.InitSphericalMap();
        doc.SetRotationFromEulerAngles();
        for (LwLDoubleMatrix* m : {&doc.Grid.X, &doc.Grid.Y, &doc.Grid.Z, &doc.Grid.W}) {
            m->ColBegin = c.colBegin;
            m->RowBegin = c.rowBegin;
        }
        LwLDoubleMatrix theta, phi;
        EXPECT_THROW(doc.CalcDirectionAngles(theta, phi), LwError);
    }
}

// Calls `f(i, j, x, y, z)` for every pixel inside the projected area.
template <class F>
void ForEachInside(const LwSphericalMapGrid& g, F f)
{
    for (int i = 0; i < g.W.ColSize; ++i)
        for (int j = 0; j < g.W.RowSize; ++j)
            if (g.W(i, j) != 0)
                f(i, j, double(g.X(i, j)), double(g.Y(i, j)), double(g.Z(i, j)));
}

void ExpectRel(double actual, double expected, const char* what, int i, int j)
{
    ASSERT_NEAR(actual, expected, kRelTol * std::max(1.0, std::abs(expected)))
        << what << " at pixel " << i << "," << j;
}

// Answers "stop" from the first call on.
class StopAlways : public LwNotifyTerminate
{
public:
    bool IsTerminate() override { return true; }
};

}  // namespace

TEST(DocPatternCalculation, SWaveEmitterGivesAnIsotropicDirectWave)
{
    const LComplex c(0.6, -1.3);
    auto doc = SmallAe();
    Compute(doc, SWave(c));
    const double expected = std::norm(c) / (4 * Reference::Pi);
    const auto& P = doc.Grid.Planes;
    ForEachInside(doc.Grid, [&](int i, int j, double, double, double) {
        ExpectRel(P[1](i, j), expected, "plane 1", i, j);
        ExpectRel(P[0](i, j), expected, "plane 0", i, j);  // no scatterer: A = 0
        ExpectRel(P[3](i, j), expected, "plane 3", i, j);
        ASSERT_EQ(P[2](i, j), 0);
    });
    // Outside the disc and in the planes the calculation does not write: 0.
    EXPECT_EQ(P[0](0, 0), 0);
    for (int k = 0; k < P[4].ElementCount(); ++k)
        ASSERT_EQ(P[4].Buffer()[k] + P[5].Buffer()[k], 0);
}

TEST(DocPatternCalculation, PWaveEmitterFollowsCosineSquared)
{
    const LComplex c(0.0, 2.0);
    LwVectorFreeElectron w;
    w.Sources().push_back(Source(0, 0, 0, 2));
    w.Sources()[0].Outgoing()(1, 0) = c;
    w.SetKineticEnergy(kEk);
    auto doc = SmallAe();
    Compute(doc, w);
    ForEachInside(doc.Grid, [&](int i, int j, double, double, double z) {
        ExpectRel(doc.Grid.Planes[1](i, j), 3 * std::norm(c) * z * z / (4 * Reference::Pi), "plane 1", i, j);
    });
}

TEST(DocPatternCalculation, TwoSSourcesInterfere)
{
    // |c0 + c1 e^{-ik u.r}|^2 / 4 pi for an emitter c0 at the origin and an
    // s-wave c1 at r.
    const LComplex c0(1.0, 0.2), c1(-0.3, 0.45);
    const double r[3] = {1.1e-10, -0.7e-10, 2.3e-10};
    LwVectorFreeElectron w = SWave(c0);
    AddScatterer(w, r[0], r[1], r[2], c1);
    LwDocPattern_EquidistantCylindrical doc;
    doc.Resolution_deg_ = 4.0;
    Compute(doc, w);
    const double k = WaveNumber();
    const auto& P = doc.Grid.Planes;
    ForEachInside(doc.Grid, [&](int i, int j, double x, double y, double z) {
        const double d = x * r[0] + y * r[1] + z * r[2];
        const std::complex<double> a = std::complex<double>(c1) * std::polar(1.0, -k * d);
        const std::complex<double> b(c0);
        const double direct = std::norm(b) / (4 * Reference::Pi),
                     scattered = std::norm(a) / (4 * Reference::Pi);
        const double total =
            (std::norm(b) + std::norm(a) + 2 * std::real(a * std::conj(b))) / (4 * Reference::Pi);
        ExpectRel(P[0](i, j), total, "plane 0", i, j);
        ExpectRel(P[1](i, j), direct, "plane 1", i, j);
        ExpectRel(P[2](i, j), scattered, "plane 2", i, j);
        // Both amplitudes carry the same factor -i / sqrt(4 pi), so
        // |A + iB|^2 = |a + i b|^2 / 4 pi.
        const std::complex<double> ib(-b.imag(), b.real());
        ExpectRel(P[3](i, j), std::norm(a + ib) / (4 * Reference::Pi), "plane 3", i, j);
        // (p0 - p1 - p2)^2 + (p3 - p1 - p2)^2 = 4 p1 p2: the two cross terms
        // are 2 Re(A B*) and 2 Im(A B*).
        const double p0 = P[0](i, j), p1 = P[1](i, j), p2 = P[2](i, j), p3 = P[3](i, j);
        const double lhs = (p0 - p1 - p2) * (p0 - p1 - p2) + (p3 - p1 - p2) * (p3 - p1 - p2);
        ASSERT_NEAR(lhs, 4 * p1 * p2, 1e3 * kRelTol * p1 * p2) << i << "," << j;
    });
}

TEST(DocPatternCalculation, QuadratureIdentityWithManyPartialWaves)
{
    // Emitter and scatterers with L = 3 and mixed coefficients.
    LwVectorFreeElectron w;
    const double pos[4][3] = {{0, 0, 0}, {2e-10, 0, -1e-10}, {-1e-10, 1.5e-10, -2e-10}, {0, -3e-10, 0.5e-10}};
    for (int s = 0; s < 4; ++s) {
        w.Sources().push_back(Source(pos[s][0], pos[s][1], pos[s][2], 3));
        for (int k = 0; k < 9; ++k)
            w.Sources().back().Outgoing()[k] = LComplex(std::sin(1.0 + k + 3 * s), std::cos(2.0 * k - s));
    }
    w.SetKineticEnergy(kEk);
    auto doc = SmallAe(5.0);
    Compute(doc, w);
    const auto& P = doc.Grid.Planes;
    ForEachInside(doc.Grid, [&](int i, int j, double, double, double) {
        const double p0 = P[0](i, j), p1 = P[1](i, j), p2 = P[2](i, j), p3 = P[3](i, j);
        const double lhs = (p0 - p1 - p2) * (p0 - p1 - p2) + (p3 - p1 - p2) * (p3 - p1 - p2);
        const double scale = (p0 + p1 + p2 + p3) * (p0 + p1 + p2 + p3);
        ASSERT_NEAR(lhs, 4 * p1 * p2, 1e3 * kRelTol * scale) << i << "," << j;
    });
}

TEST(DocPatternCalculation, DistanceLimitsDropSources)
{
    LwVectorFreeElectron w = SWave(1.0);
    AddScatterer(w, 0, 0, -1e-10, 1.0);  // 1 A
    AddScatterer(w, 5e-10, 0, 0, 1.0);  // exactly 5 A
    AddScatterer(w, 0, 3e-10, 0, 1.0);  // 3 A
    AddScatterer(w, 0, 0, 2e-10, 1.0);  // 2 A, above the emitter
    AddScatterer(w, 0, 6e-10, -1e-10, 1.0);
    struct Case
    {
        const char* what;
        double cluster, depth, lower;
        std::vector<double> keptDistances;  // in order, emitter first
    };
    const Case cases[] = {
        {"no limits", 0, 0, 0, {0, 1e-10, 5e-10, 3e-10, 2e-10, std::hypot(6e-10, 1e-10)}},
        {"cluster 5 A drops 5 A and beyond", 5e-10, 0, 0, {0, 1e-10, 3e-10, 2e-10}},
        {"depth 1 A drops z above it", 0, 1e-10, 0, {0, 1e-10, 5e-10, 3e-10, std::hypot(6e-10, 1e-10)}},
        {"negative depth is no limit",
         0,
         -1e-10,
         0,
         {0, 1e-10, 5e-10, 3e-10, 2e-10, std::hypot(6e-10, 1e-10)}},
        {"lower 3 A keeps the emitter", 0, 0, 3e-10, {0, 5e-10, std::hypot(6e-10, 1e-10)}},
        {"all three", 5.5e-10, 1.5e-10, 1.5e-10, {0, 5e-10, 3e-10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = SmallAe();
        doc.ClusterSizeLimit_m_ = c.cluster;
        doc.DepthLimit_m_ = c.depth;
        doc.LowerLimit_m_ = c.lower;
        doc.PrepareWorkingWave(w);
        const auto& s = doc.WorkingWave.Sources();
        ASSERT_EQ(s.size(), c.keptDistances.size());
        for (std::size_t k = 0; k < s.size(); ++k) {
            const double d =
                std::sqrt(double(s[k].X() * s[k].X() + s[k].Y() * s[k].Y() + s[k].Z() * s[k].Z()));
            EXPECT_NEAR(d, c.keptDistances[k], 1e-22) << "source " << k;
        }
        EXPECT_EQ(doc.L, 0);
    }
}

TEST(DocPatternCalculation, EmitterDistanceAttenuation)
{
    // With the flag, the scattered wave of a source at |r| is damped by
    // exp(-|r| / (2 mean free path)): its intensity, plane 2, drops by
    // exp(-|r| / mfp), the law of the inelastic mean free path.
    LwVectorFreeElectron w = SWave(1.0);
    const double r = 4e-10, mfp = 7e-10;
    AddScatterer(w, 0, 0, -r, LComplex(0.5, 0.1));
    auto off = SmallAe(), on = SmallAe();
    on.MeanFreePath_m_ = off.MeanFreePath_m_ = mfp;
    on.IsAttenuateByEmitterDistance_ = true;
    Compute(off, w);
    Compute(on, w);
    EXPECT_EQ(off.WorkingWave.GetMeanFreePath_m(), 0);
    ForEachInside(on.Grid, [&](int i, int j, double, double, double) {
        ExpectRel(on.Grid.Planes[2](i, j), off.Grid.Planes[2](i, j) * std::exp(-r / mfp), "plane 2", i, j);
        ExpectRel(on.Grid.Planes[1](i, j), off.Grid.Planes[1](i, j), "plane 1", i, j);
    });
    on.MeanFreePath_m_ = -1e-10;
    EXPECT_THROW(on.PrepareWorkingWave(w), LwError);
}

TEST(DocPatternCalculation, DepthFactor)
{
    LwVectorFreeElectron w = SWave(1.0);
    AddScatterer(w, 0, 2e-10, 3e-10, 1.0);  // the topmost atom: zs = 3.5 A
    AddScatterer(w, 1e-10, 0, -2e-10, 1.0);
    EXPECT_DOUBLE_EQ(LwDocPattern::SurfaceHeight(w), 3.5e-10);
    EXPECT_DOUBLE_EQ(LwDocPattern::SurfaceHeight(SWave(1.0)), 5e-11);

    LwDocPattern_EquidistantCylindrical plain, zeroMfp, deep;
    for (auto* d : {&plain, &zeroMfp, &deep})
        d->Resolution_deg_ = 6.0;
    zeroMfp.IsAttenuateByDepth_ = deep.IsAttenuateByDepth_ = true;
    const double mfp = 1e-9, zs = 3.5e-10;
    deep.MeanFreePath_m_ = mfp;
    Compute(plain, w);
    Compute(zeroMfp, w);
    Compute(deep, w);
    ForEachInside(plain.Grid, [&](int i, int j, double, double, double z) {
        for (int p = 0; p < 4; ++p) {
            ASSERT_EQ(zeroMfp.Grid.Planes[p](i, j), plain.Grid.Planes[p](i, j));
            const double theta = std::acos(std::clamp(z, -1.0, 1.0));
            const double g = theta > Reference::Pi / 2 ? 0.0 : std::exp(-zs / std::cos(theta) / mfp);
            ExpectRel(deep.Grid.Planes[p](i, j), g * plain.Grid.Planes[p](i, j), "depth", i, j);
            if (z < 0) {
                ASSERT_EQ(deep.Grid.Planes[p](i, j), 0);
            }
        }
    });
}

TEST(DocPatternCalculation, BothAttenuationsFollowOneLawOfOneMeanFreePath)
{
    // Both ways on with one lambda: the wave scattered by the atom at |r|
    // has run |r| from the emitter and then d / cos(theta) up through the
    // surface, and its intensity falls as exp(-path / lambda) over the whole
    // path; the direct wave's only over the way out.
    LwVectorFreeElectron w = SWave(1.0);
    const double r = 5e-10, mfp = 9e-10;
    AddScatterer(w, 0, 0, -r, LComplex(0.3, -0.2));
    const double d = LwDocPattern::SurfaceHeight(w);  // the emitter is the highest atom
    auto off = SmallAe(), both = SmallAe();
    both.MeanFreePath_m_ = mfp;
    both.IsAttenuateByEmitterDistance_ = both.IsAttenuateByDepth_ = true;
    Compute(off, w);
    Compute(both, w);
    ForEachInside(off.Grid, [&](int i, int j, double, double, double z) {
        if (z <= 0)
            return;
        const double way = d / z;  // d / cos(theta)
        ExpectRel(both.Grid.Planes[2](i, j), off.Grid.Planes[2](i, j) * std::exp(-(r + way) / mfp), "plane 2",
                  i, j);
        ExpectRel(both.Grid.Planes[1](i, j), off.Grid.Planes[1](i, j) * std::exp(-way / mfp), "plane 1", i,
                  j);
    });
}

TEST(DocPatternCalculation, PhaseTurnsTheDirectWave)
{
    // 180 degrees changes the sign of B: |B|^2 and |A|^2 stay, |A+B|^2 and
    // |A+iB|^2 become |A-B|^2 and |A-iB|^2.
    LwVectorFreeElectron w = SWave(LComplex(0.8, 0.3));
    AddScatterer(w, 1e-10, 1e-10, -2e-10, LComplex(0.4, -0.2));
    auto base = SmallAe(), turned = SmallAe();
    turned.Phase_deg_ = 180;
    Compute(base, w);
    Compute(turned, w);
    const auto& B = base.Grid.Planes;
    const auto& T = turned.Grid.Planes;
    int changed = 0;
    ForEachInside(base.Grid, [&](int i, int j, double, double, double) {
        ExpectRel(T[1](i, j), B[1](i, j), "plane 1", i, j);
        ExpectRel(T[2](i, j), B[2](i, j), "plane 2", i, j);
        // |A - B|^2 = 2|A|^2 + 2|B|^2 - |A + B|^2.
        ExpectRel(T[0](i, j), 2 * B[1](i, j) + 2 * B[2](i, j) - B[0](i, j), "plane 0", i, j);
        ExpectRel(T[3](i, j), 2 * B[1](i, j) + 2 * B[2](i, j) - B[3](i, j), "plane 3", i, j);
        if (std::abs(T[0](i, j) - B[0](i, j)) > 1e-3 * B[0](i, j))
            ++changed;
    });
    EXPECT_GT(changed, 10);
    // Phase 90 degrees multiplies c00 by i.
    auto quarter = SmallAe();
    quarter.Phase_deg_ = 90;
    quarter.PrepareWorkingWave(w);
    const LComplex c = quarter.WorkingWave.Sources()[0].Outgoing()(0, 0);
    EXPECT_NEAR(double(c.real()), -0.3, 1e-15);
    EXPECT_NEAR(double(c.imag()), 0.8, 1e-15);
}

TEST(DocPatternCalculation, EulerAnglesRotateThePattern)
{
    LwVectorFreeElectron w = SWave(1.0);
    AddScatterer(w, 2e-10, 0.5e-10, -1e-10, LComplex(0.6, 0.2));
    auto base = SmallAe(2.0);
    Compute(base, w);
    // (0, 0, 0): the angles are those of the grid's own directions.
    LwLDoubleMatrix theta, phi;
    base.CalcDirectionAngles(theta, phi);
    ForEachInside(base.Grid, [&](int i, int j, double x, double y, double z) {
        ASSERT_NEAR(double(theta(i, j)), std::acos(std::clamp(z, -1.0, 1.0)), 1e-12);
        if (x != 0 || y != 0) {
            ASSERT_NEAR(double(phi(i, j)), std::atan2(y, x), 1e-12);
        }
    });
    // a = 90 degrees: the direction (x, y, z) of the image shows the wave in
    // the direction (y, -x, z); on the square grid that is the pixel turned
    // by 90 degrees about the centre, (i, j) -> (j, n - 1 - i).
    auto turned = SmallAe(2.0);
    turned.EulerA_deg_ = 90;
    Compute(turned, w);
    const int n = base.Grid.W.ColSize;
    int compared = 0;
    ForEachInside(turned.Grid, [&](int i, int j, double, double, double) {
        for (int p = 0; p < 4; ++p)
            ExpectRel(turned.Grid.Planes[p](i, j), base.Grid.Planes[p](j, n - 1 - i), "turned", i, j);
        ++compared;
    });
    EXPECT_GT(compared, 1000);
}

TEST(DocPatternCalculation, ImagesDoNotDependOnTheThreadCount)
{
    LwVectorFreeElectron w;
    for (int s = 0; s < 12; ++s) {
        w.Sources().push_back(Source(s == 0 ? 0 : 1e-10 * std::sin(s), s == 0 ? 0 : 2e-10 * std::cos(3.0 * s),
                                     s == 0 ? 0 : -1e-10 * s / 4.0, 4));
        for (int k = 0; k < 16; ++k)
            w.Sources().back().Outgoing()[k] = LComplex(std::cos(0.3 * k + s), std::sin(0.7 * k - s));
    }
    w.SetKineticEnergy(kEk);
    const int saved = omp_get_max_threads();
    std::vector<std::vector<LDouble>> images;
    for (int threads : {1, 3, 4, 7}) {
        omp_set_num_threads(threads);
        LwDocPattern_AzimuthalEquidistant doc = SmallAe(2.0);
        doc.EulerB_deg_ = 30;
        doc.IsAttenuateByDepth_ = true;
        doc.MeanFreePath_m_ = 8e-10;
        Compute(doc, w);
        std::vector<LDouble> all;
        for (int p = 0; p < 4; ++p)
            all.insert(all.end(), doc.Grid.Planes[p].Buffer(),
                       doc.Grid.Planes[p].Buffer() + doc.Grid.Planes[p].ElementCount());
        images.push_back(all);
    }
    omp_set_num_threads(saved);
    for (std::size_t t = 1; t < images.size(); ++t)
        EXPECT_TRUE(images[t] == images[0]) << "thread setting " << t;
}

TEST(DocPatternCalculation, PixelsAgreeWithThePerSourceEvaluation)
{
    // The pixel loop sums from tables built once per record; PixelIntensity
    // evaluates every source on its own. Thermal factors on every source,
    // the emitter-distance attenuation, the phase and the depth factor.
    LwVectorFreeElectron w;
    for (int s = 0; s < 25; ++s) {
        const double x = s == 0 ? 0 : 3e-10 * std::sin(1.7 * s), y = s == 0 ? 0 : 3e-10 * std::cos(2.3 * s),
                     z = s == 0 ? 0 : -2e-10 * (s % 5);
        w.Sources().push_back(Source(x, y, z, s == 0 ? 2 : 1 + s % 6));
        w.Sources().back().SetU(7e-23 * (1 + 0.05 * s));
        for (int k = 0; k < w.Sources().back().Outgoing().Size(); ++k)
            w.Sources().back().Outgoing()[k] = LComplex(std::cos(0.4 * k + s), std::sin(0.9 * k - 2.0 * s));
    }
    w.SetKineticEnergy(kEk);
    auto doc = SmallAe(2.0);
    doc.EulerA_deg_ = 20;
    doc.EulerB_deg_ = 35;
    doc.Phase_deg_ = 40;
    doc.MeanFreePath_m_ = 9e-10;
    doc.IsAttenuateByEmitterDistance_ = true;
    doc.IsAttenuateByDepth_ = true;
    Compute(doc, w);
    LwLDoubleMatrix theta, phi;
    doc.CalcDirectionAngles(theta, phi);
    const double zs = LwDocPattern::SurfaceHeight(w);
    int compared = 0;
    ForEachInside(doc.Grid, [&](int i, int j, double, double, double) {
        const std::array<double, 4> p = doc.PixelIntensity(theta(i, j), phi(i, j));
        const double g = doc.DepthFactor(theta(i, j), zs);
        // The sums run over 24 scatterers of up to 36 terms: the rounding
        // is relative to the sum of the term sizes, bounded by the plane sum.
        const double scale = g * (p[0] + p[1] + p[2] + p[3]);
        for (int k = 0; k < 4; ++k)
            ASSERT_NEAR(doc.Grid.Planes[k](i, j), g * p[k], kRelTol * std::max(scale, 1e-300))
                << "plane " << k << " at pixel " << i << "," << j;
        compared += g > 0;
    });
    EXPECT_GT(compared, 1000);
}

TEST(DocPatternCalculation, StopRequestAndPixelErrorsLeaveThePlanes)
{
    LwVectorFreeElectron w = SWave(1.0);
    AddScatterer(w, 1e-10, 0, 0, 1.0);
    w.Sources().back().Outgoing().SetSizeZero(3);
    auto doc = SmallAe();
    doc.InitSphericalMap();
    doc.SetRotationFromEulerAngles();
    LwLDoubleMatrix theta, phi;
    doc.CalcDirectionAngles(theta, phi);
    doc.PrepareWorkingWave(w);
    StopAlways stop;
    doc.CalcPixelColumns(theta, phi, stop, 0);
    // An l range below the scatterer's L fails in every pixel; the error is
    // dropped and the pixel keeps what it had.
    doc.L = 2;
    LwNotifyTerminateThreadCalculation never;
    EXPECT_NO_THROW(doc.CalcPixelColumns(theta, phi, never, 0));
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < doc.Grid.Planes[p].ElementCount(); ++k)
            ASSERT_EQ(doc.Grid.Planes[p].Buffer()[k], 0);
    // With the full l range the same call fills the planes.
    doc.L = 0;
    doc.CalcPixelColumns(theta, phi, never, 0);
    EXPECT_GT(doc.Grid.Planes[1](theta.ColSize / 2, theta.RowSize / 2), 0);
}

TEST(DocPatternCalculation, TooFewPlanesAreRefused)
{
    auto doc = SmallAe();
    doc.N = 3;
    doc.InitSphericalMap();
    doc.SetRotationFromEulerAngles();
    LwLDoubleMatrix theta, phi;
    doc.CalcDirectionAngles(theta, phi);
    doc.PrepareWorkingWave(SWave(1.0));
    LwNotifyTerminateThreadCalculation never;
    EXPECT_THROW(doc.CalcPixelColumns(theta, phi, never, 0), LwError);
}
