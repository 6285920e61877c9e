// The real-space field scan, checked against the field of s-wave sources
// computed here from Boost's spherical Bessel and Neumann functions, and
// against the interior form of an atom built from a hand-made radial table.

#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "pattern/LwDocPatternNano.h"
#include "ReferenceConstants.h"

#include <boost/math/special_functions/bessel.hpp>
#include <gtest/gtest.h>
#include <omp.h>

#include <atomic>
#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

namespace {

using Cd = std::complex<double>;
constexpr double kEk = 500.0;  // eV
constexpr double kY00 = 0.28209479177387814;  // 1 / sqrt(4 pi)
// Relative tolerance of one point value: the Hankel functions of the table
// and of Boost differ by a few ulps, the distance and the sums add a few more.
constexpr double kRelTol = 1e4 * std::numeric_limits<double>::epsilon();
// Atom radius of the hand-made radial grid (m).
constexpr double kAtomRadius = 1e-10;

double WaveNumber()
{
    return Reference::ElectronWaveNumber_perm(kEk);
}

// h+_0(x) = j_0 + i y_0, from Boost.
Cd HankelPlus(unsigned l, double x)
{
    return {boost::math::sph_bessel(l, x), boost::math::sph_neumann(l, x)};
}
Cd HankelMinus(unsigned l, double x)
{
    return {boost::math::sph_bessel(l, x), -boost::math::sph_neumann(l, x)};
}

// The field of an s-wave source c Y00 h+_0(k |r - r0|); 0 at its centre
// (where the sources give 0 for k r < 0.001).
Cd SWaveField(Cd c, const double r0[3], const double r[3])
{
    const double d = std::sqrt((r[0] - r0[0]) * (r[0] - r0[0]) + (r[1] - r0[1]) * (r[1] - r0[1]) +
                               (r[2] - r0[2]) * (r[2] - r0[2]));
    const double kr = WaveNumber() * d;
    return kr < 0.001 ? Cd(0, 0) : c * kY00 * HankelPlus(0, kr);
}

// A phase-shift entry with phase shift delta_0 (degrees), radial grid
// r_g = kAtomRadius * g / (n - 1) for g = 1 ... n - 1 (ln r stored) and the
// table P_0(r_g) = 1 + r_g / kAtomRadius.
LwPhaseShiftEntry Entry(double delta0Deg, int n = 101)
{
    LwPhaseShiftEntry e;
    e.Ek_eV = kEk;
    e.LnX.push_back(std::log(kAtomRadius * 1e-3));
    for (int g = 1; g < n; ++g)
        e.LnX.push_back(std::log(kAtomRadius * g / (n - 1)));
    e.P.resize(1);
    for (double x : e.LnX)
        e.P[0].push_back(1 + std::exp(x) / kAtomRadius);
    e.TVector.Create(1);
    const double a = 2 * delta0Deg * Reference::Pi / 180;
    e.TVector[0] = LComplex(std::cos(a) - 1, std::sin(a));
    return e;
}

LwPartialWaveSource SSource(double x, double y, double z, Cd c)
{
    LwPartialWaveSource s;
    s.SetPosition(x, y, z);
    s.Outgoing().SetSizeZero(1);
    s.Outgoing()(0, 0) = LComplex(c.real(), c.imag());
    return s;
}

// A record whose NextListScatterer holds an s-wave emitter c0 at the origin
// and the s-wave scatterers given; every source uses phase-shift entry 0.
struct ScanCase
{
    LwDocScattering scattering;
    LwDocScatteringPhaseShift phaseShift;
    LwDocFluctuation fluctuation;
    LwDebye debye;
    LwDocPatternNano doc;

    explicit ScanCase(Cd c0, const std::vector<std::array<double, 4>>& scatterers = {}, double ratio = 1.0)
    {
        phaseShift.ListScatteringPhaseShift.push_back(Entry(30));
        LwScatteringData record;
        LwVectorFreeElectron& w = record.NextListScatterer;
        w.Sources().push_back(SSource(0, 0, 0, c0));
        for (const auto& s : scatterers)
            w.Sources().push_back(SSource(s[0], s[1], s[2], Cd(s[3], 0.5 * s[3])));
        w.SetKineticEnergy(kEk);
        record.ListScatterer = w;
        record.Ratio = ratio;
        record.PhaseShiftIndex.Create(static_cast<int>(w.Sources().size()));
        for (std::size_t j = 0; j < w.Sources().size(); ++j)
            record.PhaseShiftIndex[static_cast<int>(j)] = 0;
        scattering.ListScatteringData.push_back(record);
        doc.pDocScatteringPaseShift_ = &phaseShift;
        doc.SetRecordSelection(1, true);
        // A small grid: 21 x 11 points of 2e-11 m.
        doc.OuterMin_m_ = -2e-10;
        doc.OuterMax_m_ = 2e-10 + 1e-13;
        doc.InnerMin_m_ = -1e-10;
        doc.InnerMax_m_ = 1e-10 + 1e-13;
        doc.Step_m_ = 2e-11;
    }

    const LwLDoubleMatrix& Run()
    {
        LwNotifyTerminateThreadCalculation never;
        doc.Calculate(never, scattering, fluctuation, debye);
        return doc.Grid.Planes.at(0);
    }
};

double Value(LwLong mode, Cd wave)
{
    double v = mode == 0 ? wave.real() : mode == 1 ? wave.imag() : std::norm(wave);
    return std::min(1000.0, std::max(-1000.0, v));
}

void ExpectClose(double expected, double actual)
{
    EXPECT_NEAR(expected, actual, kRelTol * std::max(1.0, std::fabs(expected)));
}

// Calls f(p, q, r) for every grid point of `doc`.
template <class F>
void ForEachPoint(const LwDocPatternNano& doc, F f)
{
    for (int p = 0; p < doc.ColumnCount(); ++p)
        for (int q = 0; q < doc.RowCount(); ++q) {
            LDouble rl[3];
            doc.ScanPoint(p, q, rl);
            const double r[3] = {static_cast<double>(rl[0]), static_cast<double>(rl[1]),
                                 static_cast<double>(rl[2])};
            f(p, q, r);
        }
}

const double kOrigin[3] = {0, 0, 0};

}  // namespace

TEST(LwDocPatternNano, GridSizeFollowsRangesAndStep)
{
    struct Case
    {
        double step;
        int n;
    };
    for (const Case& c : {Case{1e-11, 201}, Case{2e-11, 101}, Case{3e-11, 67}}) {
        SCOPED_TRACE(c.step);
        LwDocPatternNano doc;
        doc.Step_m_ = c.step;
        doc.InitSphericalMap();
        EXPECT_EQ(c.n, doc.ColumnCount());
        ASSERT_EQ(3u, doc.Grid.Planes.size());
        for (const auto& m : {doc.Grid.Planes[0], doc.Grid.Planes[2], doc.Grid.X, doc.Grid.W}) {
            EXPECT_EQ(c.n, m.ColSize);
            EXPECT_EQ(c.n, m.RowSize);
        }
        double sum = 0;
        for (int i = 0; i < c.n; ++i)
            for (int j = 0; j < c.n; ++j)
                sum += std::fabs(static_cast<double>(doc.Grid.W(i, j))) +
                       std::fabs(static_cast<double>(doc.Grid.Planes[1](i, j)));
        EXPECT_EQ(0.0, sum);
    }
    LwDocPatternNano defaults;
    EXPECT_EQ(0, defaults.Type);
    EXPECT_EQ(LwDocPatternNano::kRealPart, defaults.OutputMode);
    EXPECT_FALSE(defaults.IsRadiusWeight_);
}

TEST(LwDocPatternNano, BadStepOrRangeIsRefusedBeforeAnythingChanges)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        double step;
        double max;
    };
    for (const Case& c : {Case{0, 1e-9}, Case{-1e-11, 1e-9}, Case{nan, 1e-9}, Case{1e-30, 1e-9},
                          Case{1e-11, std::numeric_limits<double>::infinity()}}) {
        SCOPED_TRACE(c.step);
        LwDocPatternNano doc;
        doc.Step_m_ = 2e-10;
        doc.InitSphericalMap();
        doc.Step_m_ = c.step;
        doc.OuterMax_m_ = c.max;
        EXPECT_THROW(doc.InitSphericalMap(), LwError);
        EXPECT_EQ(11, doc.Grid.Planes[0].ColSize);
    }
    // A maximum a step or more below the minimum gives an empty range.
    LwDocPatternNano doc;
    doc.OuterMax_m_ = -2e-9;
    doc.InitSphericalMap();
    EXPECT_EQ(0, doc.Grid.Planes[0].ColSize);
}

TEST(LwDocPatternNano, ScanPlanesPutTheCoordinatesOnTheirAxes)
{
    struct Case
    {
        LwLong plane;
        int outerAxis;
        int innerAxis;
    };
    for (const Case& c : {Case{0, 0, 1}, Case{1, 1, 2}, Case{2, 2, 0}, Case{7, 0, 1}, Case{-1, 0, 1}}) {
        SCOPED_TRACE(c.plane);
        LwDocPatternNano doc;
        doc.ScanPlane = c.plane;
        LDouble r[3];
        doc.ScanPoint(3, 5, r);
        const double outer = -1e-9 + 3 * 1e-11, inner = -1e-9 + 5 * 1e-11;
        EXPECT_NEAR(outer, static_cast<double>(r[c.outerAxis]), 1e-24);
        EXPECT_NEAR(inner, static_cast<double>(r[c.innerAxis]), 1e-24);
        EXPECT_EQ(0.0, static_cast<double>(r[3 - c.outerAxis - c.innerAxis]));
    }
}

// One outgoing s-wave at the origin: c00 Y00 h+_0(kr) in every mode.
TEST(LwDocPatternNano, SingleSWaveIsTheOutgoingHankelFunction)
{
    const Cd c0(0.3, -0.2);
    for (LwLong mode : {0, 1, 2, 5}) {
        SCOPED_TRACE(mode);
        ScanCase s(c0);
        s.doc.OutputMode = mode;
        const LwLDoubleMatrix& plane = s.Run();
        ASSERT_EQ(21, plane.ColSize);
        ASSERT_EQ(11, plane.RowSize);
        ForEachPoint(s.doc, [&](int p, int q, const double r[3]) {
            ExpectClose(Value(mode, SWaveField(c0, kOrigin, r)), static_cast<double>(plane(p, q)));
        });
    }
}

// An emitter and two scatterers off the scan plane (no point inside an
// atom) superpose; the record's Ratio weights the sum; scan plane 1 puts the
// plane at x = 0.
TEST(LwDocPatternNano, SourcesSuperposeOutsideTheAtoms)
{
    const Cd c0(0.3, 0.1);
    const std::vector<std::array<double, 4>> atoms = {{1.5e-10, 0.5e-10, 0.8e-10, 0.2},
                                                      {-2e-10, 1e-10, -0.5e-10, -0.1}};
    for (LwLong plane : {0, 1, 2}) {
        SCOPED_TRACE(plane);
        ScanCase s(c0, atoms, 0.75);
        s.doc.ScanPlane = plane;
        const LwLDoubleMatrix& result = s.Run();
        ForEachPoint(s.doc, [&](int p, int q, const double r[3]) {
            Cd field = SWaveField(c0, kOrigin, r);
            for (const auto& a : atoms) {
                const double r0[3] = {a[0], a[1], a[2]};
                field += SWaveField(Cd(a[3], 0.5 * a[3]), r0, r);
            }
            ExpectClose(0.75 * Value(0, field), static_cast<double>(result(p, q)));
        });
    }
}

// Inside an atom the wave is B Y00 P_0(r_g), B = (c/t)(S h+(kR) + h-(kR)) /
// P_0(R), at the first grid radius beyond the distance; the emitter's own
// neighbourhood keeps its partial-wave value.
TEST(LwDocPatternNano, InsideAnAtomTheRadialSolutionGivesTheWave)
{
    const Cd c0(0.3, 0.1);
    const double ax = 1e-10, ay = 0;
    ScanCase s(c0, {{ax, ay, 0, 0.2}});
    // Offsets keep every distance off the grid radii (multiples of 1e-12 m),
    // where the first radius beyond it would hang on the last bit.
    s.doc.OuterMin_m_ = 0.7e-10 + 0.0137e-11;
    s.doc.OuterMax_m_ = 1.3e-10 + 1e-14;
    s.doc.InnerMin_m_ = -0.3e-10 + 0.0291e-11;
    s.doc.InnerMax_m_ = 0.3e-10 + 1e-14;
    s.doc.Step_m_ = 0.3e-11;
    s.doc.OutputMode = 1;
    const LwLDoubleMatrix& plane = s.Run();

    const double k = WaveNumber();
    const double rc = (1.182 * (1 - 2) + 3.1803 - 0.0024453) / k;
    const Cd t = std::exp(Cd(0, 2 * 30 * Reference::Pi / 180)) - 1.0;
    const Cd c(0.2, 0.1);
    const Cd B = c / t * ((1.0 + t) * HankelPlus(0, k * kAtomRadius) + HankelMinus(0, k * kAtomRadius)) / 2.0;
    int inside = 0;
    ForEachPoint(s.doc, [&](int p, int q, const double r[3]) {
        const double d = std::hypot(r[0] - ax, r[1] - ay);
        Cd expected;
        if (d < 0.68 * rc) {
            ++inside;
            if (d == 0) {
                expected = 0;
            } else {
                // Grid radii are kAtomRadius * g / 100: the first above d.
                const int g = static_cast<int>(std::floor(d / kAtomRadius * 100)) + 1;
                expected = B * kY00 * (1 + g / 100.0);
            }
        } else {
            const double r0[3] = {ax, ay, 0};
            expected = SWaveField(c0, kOrigin, r) + SWaveField(c, r0, r);
        }
        EXPECT_NEAR(Value(1, expected), static_cast<double>(plane(p, q)),
                    1e3 * kRelTol * std::max(1.0, std::abs(expected)));
    });
    EXPECT_GT(inside, 20);
}

// The phase angle and the time turn the wave by e^{-ia} e^{-iEt/hbar}; the
// intensity does not see them.
TEST(LwDocPatternNano, PhaseAndTimeTurnTheWave)
{
    const Cd c0(0.3, -0.2);
    const double a = 0.7, t = 2e-18;
    const double w = -(kEk * Reference::ElementaryCharge_C / Reference::Hbar_Js * t);
    for (LwLong mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        ScanCase s(c0);
        s.doc.OutputMode = mode;
        s.doc.PhaseAngle_rad_ = a;
        s.doc.Time_s_ = t;
        const LwLDoubleMatrix& plane = s.Run();
        ForEachPoint(s.doc, [&](int p, int q, const double r[3]) {
            const Cd turned = SWaveField(c0, kOrigin, r) * std::exp(Cd(0, -a)) * std::exp(Cd(0, w));
            ExpectClose(Value(mode, turned), static_cast<double>(plane(p, q)));
        });
    }
}

// The radius weight multiplies by |r| * 1e11 (squared for the intensity);
// values beyond +-1000 enter as +-1000 times Ratio.
TEST(LwDocPatternNano, RadiusWeightAndValueLimit)
{
    const Cd c0(400, 250);
    for (LwLong mode : {0, 2}) {
        SCOPED_TRACE(mode);
        ScanCase s(c0, {}, 0.5);
        s.doc.OutputMode = mode;
        s.doc.IsRadiusWeight_ = true;
        const LwLDoubleMatrix& plane = s.Run();
        int limited = 0;
        ForEachPoint(s.doc, [&](int p, int q, const double r[3]) {
            const double weight = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]) * 1e11;
            const Cd field = SWaveField(c0, kOrigin, r);
            const double raw = mode == 0 ? field.real() * weight : std::norm(field) * weight * weight;
            limited += std::fabs(raw) > 1000;
            ExpectClose(0.5 * Value(0, raw), static_cast<double>(plane(p, q)));
        });
        if (mode == 2) {
            EXPECT_GT(limited, 0);
        }
    }
}

// Without the emitter wave only the scatterers remain; the kernel still
// divides by the emitter as the document holds it:
//   K(r) = sum_j e^{-i k |r - r_j|} / psi_0(r_j).
TEST(LwDocPatternNano, KernelDividesByTheDocumentsEmitter)
{
    const Cd c0(0.3, 0.1);
    const std::vector<std::array<double, 4>> atoms = {{1.5e-10, 0.5e-10, 0.8e-10, 0.2},
                                                      {-2e-10, 1e-10, -0.5e-10, -0.1}};
    const double k = WaveNumber();
    for (bool kernel : {false, true}) {
        SCOPED_TRACE(kernel);
        ScanCase s(c0, atoms);
        s.doc.IsWithoutEmitterWave_ = true;
        s.doc.IsHolographicKernel_ = kernel;
        const LwLDoubleMatrix& plane = s.Run();
        ForEachPoint(s.doc, [&](int p, int q, const double r[3]) {
            Cd field(0, 0), K(0, 0);
            for (const auto& a : atoms) {
                const double r0[3] = {a[0], a[1], a[2]};
                field += SWaveField(Cd(a[3], 0.5 * a[3]), r0, r);
                const double d = std::sqrt((r[0] - a[0]) * (r[0] - a[0]) + (r[1] - a[1]) * (r[1] - a[1]) +
                                           (r[2] - a[2]) * (r[2] - a[2]));
                K += std::exp(Cd(0, -k * d)) / SWaveField(c0, kOrigin, r0);
            }
            const Cd expected = kernel ? field * K : field;
            ExpectClose(Value(0, expected), static_cast<double>(plane(p, q)));
        });
        // The document's emitter is untouched.
        EXPECT_EQ(LComplex(0.3, 0.1),
                  s.scattering.ListScatteringData[0].NextListScatterer.Sources()[0].Outgoing()(0, 0));
    }
}

TEST(LwDocPatternNano, ResultDoesNotDependOnTheThreadCount)
{
    const std::vector<std::array<double, 4>> atoms = {{1e-10, 0, 0, 0.2}, {-1e-10, 0.4e-10, 0, -0.1}};
    std::vector<LwLDoubleMatrix> results;
    const int saved = omp_get_max_threads();
    for (int threads : {1, 3, 4}) {
        omp_set_num_threads(threads);
        ScanCase s(Cd(0.3, 0.1), atoms);
        s.doc.Step_m_ = 0.5e-11;
        results.push_back(s.Run());
    }
    omp_set_num_threads(saved);
    for (std::size_t i = 1; i < results.size(); ++i)
        for (int p = 0; p < results[0].ColSize; ++p)
            for (int q = 0; q < results[0].RowSize; ++q)
                ASSERT_EQ(results[0](p, q), results[i](p, q));
}

// Failures end the calculation quietly with plane 0 as far as it got.
TEST(LwDocPatternNano, FailuresEndTheCalculationQuietly)
{
    struct Case
    {
        const char* what;
        void (*spoil)(ScanCase&);
    };
    const Case cases[] = {
        {"no phase-shift document", [](ScanCase& s) { s.doc.pDocScatteringPaseShift_ = nullptr; }},
        {"zero radius", [](ScanCase& s) { s.phaseShift.ListScatteringPhaseShift[0].LnX.back() = -1e6; }},
        {"no radial grid", [](ScanCase& s) { s.phaseShift.ListScatteringPhaseShift[0].LnX.clear(); }},
        {"index -1", [](ScanCase& s) { s.scattering.ListScatteringData[0].PhaseShiftIndex[1] = -1; }},
        {"index past the entries",
         [](ScanCase& s) { s.scattering.ListScatteringData[0].PhaseShiftIndex[1] = 5; }},
        {"index list too short",
         [](ScanCase& s) { s.scattering.ListScatteringData[0].PhaseShiftIndex.Create(1); }},
        {"energy not set",
         [](ScanCase& s) {
             s.scattering.ListScatteringData[0].NextListScatterer.Sources()[1].SetKineticEnergy(0);
         }},
        {"record outside the document",
         [](ScanCase& s) {
             s.doc.SetRecordSelection(2, false);
             s.doc.SelectRecord(1, true);
         }},
        {"radial function 0 at the radius",
         [](ScanCase& s) { s.phaseShift.ListScatteringPhaseShift[0].P[0].back() = 0; }},
        {"t = 0 under a scattered wave",
         [](ScanCase& s) { s.phaseShift.ListScatteringPhaseShift[0].TVector[0] = 0; }},
        {"too few l values", [](ScanCase& s) { s.phaseShift.ListScatteringPhaseShift[0].P.clear(); }},
        {"bad step", [](ScanCase& s) { s.doc.Step_m_ = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScanCase s(Cd(0.3, 0.1), {{1e-10, 0, 0, 0.2}});
        s.doc.Step_m_ = 4e-11;
        s.doc.InitSphericalMap();
        s.doc.Grid.Planes[0](0, 0) = 7;  // kept only when Prepare fails
        c.spoil(s);
        LwNotifyTerminateThreadCalculation never;
        EXPECT_NO_THROW(s.doc.Calculate(never, s.scattering, s.fluctuation, s.debye));
        const LwLDoubleMatrix& plane = s.doc.Grid.Planes[0];
        double sum = 0;
        for (int p = 0; p < plane.ColSize; ++p)
            for (int q = 0; q < plane.RowSize; ++q)
                sum += std::fabs(static_cast<double>(plane(p, q)));
        EXPECT_EQ(std::string(c.what) == "bad step" ? 7.0 : 0.0, sum);
    }
}

// A point inside an atom's sphere beyond the last grid radius adds nothing;
// the others go on.
TEST(LwDocPatternNano, PointBeyondTheRadialGridAddsNothing)
{
    ScanCase s(Cd(0.3, 0.1), {{1e-10, 0, 0, 0.2}});
    // Radial grid up to 1e-12 m only: every interior point but the centre
    // lies beyond it.
    for (double& x : s.phaseShift.ListScatteringPhaseShift[0].LnX)
        x -= std::log(100.0);
    s.doc.OuterMin_m_ = 0.9e-10;
    s.doc.OuterMax_m_ = 1.1e-10 + 1e-14;
    s.doc.InnerMin_m_ = 0;
    s.doc.InnerMax_m_ = 0;
    s.doc.Step_m_ = 0.5e-11;
    const LwLDoubleMatrix& plane = s.Run();
    ASSERT_EQ(5, plane.ColSize);
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(0.0, static_cast<double>(plane(p, 0))) << p;
    // Beyond the sphere the partial waves give the value.
    s.doc.OuterMin_m_ = 1.5e-10;
    s.doc.OuterMax_m_ = 1.5e-10;
    const LwLDoubleMatrix& outside = s.Run();
    const double r[3] = {1.5e-10, 0, 0}, r0[3] = {1e-10, 0, 0};
    ExpectClose(Value(0, SWaveField(Cd(0.3, 0.1), kOrigin, r) + SWaveField(Cd(0.2, 0.1), r0, r)),
                static_cast<double>(outside(0, 0)));
}

namespace {
// Says stop from its n-th question on.
class StopAfter : public LwNotifyTerminate
{
public:
    explicit StopAfter(int n) : left_(n) {}
    bool IsTerminate() override { return left_.fetch_sub(1) <= 0; }

private:
    std::atomic<int> left_;
};
}  // namespace

TEST(LwDocPatternNano, StopKeepsTheColumnsDone)
{
    const int saved = omp_get_max_threads();
    omp_set_num_threads(1);
    ScanCase s(Cd(0.3, 0.1));
    // One question before each column and one per point, one after it:
    // 3 columns of 11 points take 3 * 13 questions.
    StopAfter stop(3 * 13);
    s.doc.Calculate(stop, s.scattering, s.fluctuation, s.debye);
    omp_set_num_threads(saved);
    const LwLDoubleMatrix& plane = s.doc.Grid.Planes[0];
    for (int p = 0; p < plane.ColSize; ++p)
        for (int q = 0; q < plane.RowSize; ++q) {
            LDouble rl[3];
            s.doc.ScanPoint(p, q, rl);
            const double r[3] = {static_cast<double>(rl[0]), static_cast<double>(rl[1]), 0};
            const double expected = p < 3 ? Value(0, SWaveField(Cd(0.3, 0.1), kOrigin, r)) : 0.0;
            ExpectClose(expected, static_cast<double>(plane(p, q)));
        }
}
