// The multiple-scattering loop: single scattering against the analytic s-wave
// result and a symmetry, the inclusion rules of the two multiple-scattering
// methods on constructed geometries, the loop's bookkeeping and its failures.

#include "core/LwNotifyTerminate.h"
#include "physics/LwDocScattering.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"
#include "ScatteringTestInputs.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

using namespace ScatteringTest;

namespace {

class NeverStop : public LwNotifyTerminate
{
public:
    bool IsTerminate() override { return false; }
};

class StopAtCall : public LwNotifyTerminate
{
public:
    explicit StopAtCall(int call) : call_(call) {}
    bool IsTerminate() override { return ++calls_ >= call_; }
    int calls_ = 0;

private:
    int call_;
};

// The "Current N Emitter=" counts printed by the atom steps, in order: the
// number of sources of each incident wave.
std::vector<int> IncidentSourceCounts(const std::string& output)
{
    std::vector<int> counts;
    const std::regex line("Current N Emitter=([0-9]+)\n");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), line); it != std::sregex_iterator();
         ++it)
        counts.push_back(std::stoi((*it)[1]));
    return counts;
}

struct CalculationRun
{
    LwDocScattering doc;
    std::string output;
};

// Runs a calculation on one structure and one emitted wave, capturing the
// console output.
void Calculate(CalculationRun& run, LwCluster& cluster, const std::vector<LwEmitterEntry>& emitted,
               const LwDocScatteringPhaseShift& phase, LwNotifyTerminate& stop)
{
    testing::internal::CaptureStdout();
    try {
        run.doc.Calculate(stop, cluster, emitted, phase);
    } catch (...) {
        std::fflush(stdout);
        run.output = testing::internal::GetCapturedStdout();
        throw;
    }
    std::fflush(stdout);
    run.output = testing::internal::GetCapturedStdout();
}

void Calculate(CalculationRun& run, LwCluster cluster, const std::vector<LwEmitterEntry>& emitted,
               const LwDocScatteringPhaseShift& phase)
{
    NeverStop never;
    Calculate(run, cluster, emitted, phase, never);
}

bool SameBits(const LwLmComplexArray& a, const LwLmComplexArray& b)
{
    return a.GetL() == b.GetL() && std::memcmp(a.Data(), b.Data(), sizeof(LComplex) * a.Size()) == 0;
}

}  // namespace

// An s-wave emitter and one s-wave scatterer at distance d: the far field is
// the direct wave times 1 + f0 e^{ikd(1 - cos theta)} / d, theta measured
// from the emitter-scatterer axis, with the s-wave amplitude
// f0 = (e^{2i delta0} - 1) / (2ik). The re-expansion is numerical, converged
// to a relative change of EPS = 1e-6, so the scattered amplitude is checked
// to 1e-5 of itself.
TEST(LwDocScattering, SingleSWaveScattererMatchesTheAnalyticFarField)
{
    const double ek = 500;
    const double delta0 = 1.3;
    const double d = 1.6 * Reference::Angstrom_m;
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", ek, {0.3}), PhaseShift("S", ek, {delta0})};
    CalculationRun run;
    run.doc.Version = LwDocScattering::kSingleScattering;
    run.doc.EPS = 1e-6;
    Calculate(run, {{Atom("E", "Cu", 0, 0, 0), Atom("S", "Cu", 0, 0, d)}},
              {Emitted(ek, SingleCoefficient(1, 0, 0))}, phase);
    ASSERT_EQ(run.doc.ListScatteringData.size(), 1u);
    const LwVectorFreeElectron& wave = run.doc.ListScatteringData[0].NextListScatterer;

    const double k = WaveNumber(ek);
    const std::complex<double> f0 =
        (std::exp(std::complex<double>(0, 2 * delta0)) - 1.0) / std::complex<double>(0, 2 * k);
    for (double thetaDeg : {0.0, 10.0, 35.0, 60.0, 90.0, 120.0, 150.0, 180.0}) {
        for (double phiDeg : {0.0, 77.0}) {
            SCOPED_TRACE("theta " + std::to_string(thetaDeg) + " phi " + std::to_string(phiDeg));
            const double theta = thetaDeg * Reference::Pi / 180, phi = phiDeg * Reference::Pi / 180;
            const std::complex<double> X =
                f0 * std::exp(std::complex<double>(0, k * d * (1 - std::cos(theta)))) / d;
            const LComplex direct = wave.GetFarFieldDirect(theta, phi);
            const LComplex scattered = wave.GetFarFieldScattered(theta, phi, 0);
            const LComplex amplitude = wave.GetFarFieldAmplitude(theta, phi, 0);
            // The direct s wave is -i c00 Y00: its intensity is 1 / (4 pi).
            EXPECT_NEAR(std::norm(direct) * 4 * Reference::Pi, 1.0, 1e-12);
            EXPECT_LT(std::abs(std::complex<double>(scattered / direct) - X), 1e-5 * std::abs(X));
            EXPECT_NEAR(std::norm(amplitude) / std::norm(direct), std::norm(1.0 + X), 1e-6);
        }
    }
    // The scattered part is large enough for the check to mean something.
    EXPECT_GT(std::abs(f0) / d, 0.05);
}

// s waves only: every wave is c h0+(kr) Y00 about its atom with
// h0+(x) = -i e^{ix} / x, and the wave incident on an atom is its value at
// the atom's centre. So atom 1 scatters b1 = (t/2) c00 h0+(k r1), and atom 2
// scatters (t/2) (c00 h0+(k r2) + b1 h0+(k r12)) when atom 1 is on its path
// (slow and multiple methods on a chain), (t/2) c00 h0+(k r2) without it
// (single scattering).
TEST(LwDocScattering, SWaveChainMatchesTheAnalyticDoubleScattering)
{
    const double ek = 400;
    const double z1 = 1.9 * Reference::Angstrom_m, z2 = 4.3 * Reference::Angstrom_m;
    const double k = WaveNumber(ek);
    const std::complex<double> t = std::exp(std::complex<double>(0, 2 * 1.1)) - 1.0;
    const std::complex<double> c00(0.6, -0.8);
    auto h0 = [&](double r) {
        return std::complex<double>(0, -1) * std::exp(std::complex<double>(0, k * r)) / (k * r);
    };
    const std::complex<double> b1 = t / 2.0 * c00 * h0(z1);
    const std::complex<double> b2Double = t / 2.0 * (c00 * h0(z2) + b1 * h0(z2 - z1));
    const std::complex<double> b2Single = t / 2.0 * c00 * h0(z2);

    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", ek, {0.3}),
                      PhaseShift("A", ek, {1.1}, {std::log(0.5 * Reference::Angstrom_m)})};
    struct Case
    {
        LwLong version;
        std::complex<double> b2;
    };
    for (const Case& c : {Case{LwDocScattering::kSingleScattering, b2Single},
                          Case{LwDocScattering::kSlowMultipleScattering, b2Double},
                          Case{LwDocScattering::kMultipleScattering, b2Double}}) {
        SCOPED_TRACE(c.version);
        CalculationRun run;
        run.doc.Version = c.version;
        run.doc.EPS = 1e-6;
        Calculate(run, {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, z1), Atom("A", "Cu", 0, 0, z2)}},
                  {Emitted(ek, SingleCoefficient(1, 0, 0, c00))}, phase);
        const std::vector<LwPartialWaveSource>& s = run.doc.ListScatteringData[0].NextListScatterer.Sources();
        ASSERT_EQ(s[1].Outgoing().GetL(), 1);
        ASSERT_EQ(s[2].Outgoing().GetL(), 1);
        EXPECT_LT(std::abs(std::complex<double>(s[1].Outgoing()(0, 0)) - b1), 1e-5 * std::abs(b1));
        EXPECT_LT(std::abs(std::complex<double>(s[2].Outgoing()(0, 0)) - c.b2), 1e-5 * std::abs(c.b2));
    }
    // The second scattering changes atom 2's wave by more than the tolerance.
    EXPECT_GT(std::abs(b2Double - b2Single), 1e-2 * std::abs(b2Single));
}

// A cluster with fourfold symmetry about z and an m = 0 emitter: the far
// field does not change under a rotation by 90 degrees about z.
TEST(LwDocScattering, FourfoldClusterGivesAFourfoldFarField)
{
    const double ek = 500;
    const double a = 2.55 * Reference::Angstrom_m, b = 1.8 * Reference::Angstrom_m;
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", ek, {0.2}), PhaseShift("Cu", ek, {1.1, 0.8, 0.45, 0.2, 0.07})};
    LwCluster cluster = {{Atom("E", "Cu", 0, 0, 0), Atom("Cu", "Cu", a, 0, -b), Atom("Cu", "Cu", 0, a, -b),
                          Atom("Cu", "Cu", -a, 0, -b), Atom("Cu", "Cu", 0, -a, -b), Atom("Cu", "Cu", a, a, 0),
                          Atom("Cu", "Cu", -a, a, 0), Atom("Cu", "Cu", -a, -a, 0), Atom("Cu", "Cu", a, -a, 0),
                          Atom("Cu", "Cu", 0, 0, -2 * b)}};
    // A p_z emitter: only m = 0.
    CalculationRun run;
    run.doc.Version = LwDocScattering::kSingleScattering;
    run.doc.EPS = 1e-3;
    Calculate(run, cluster, {Emitted(ek, SingleCoefficient(2, 1, 0))}, phase);
    const LwVectorFreeElectron& wave = run.doc.ListScatteringData[0].NextListScatterer;

    // The scattered part must matter, or the test would only see the emitter.
    double largestScattered = 0;
    for (double thetaDeg : {20.0, 50.0, 75.0, 100.0, 140.0, 170.0}) {
        for (double phiDeg : {0.0, 13.0, 31.0, 62.0}) {
            SCOPED_TRACE("theta " + std::to_string(thetaDeg) + " phi " + std::to_string(phiDeg));
            const double theta = thetaDeg * Reference::Pi / 180, phi = phiDeg * Reference::Pi / 180;
            const double I0 = std::norm(wave.GetFarFieldAmplitude(theta, phi, 0));
            largestScattered = std::max(largestScattered, std::abs(wave.GetFarFieldScattered(theta, phi, 0)));
            for (int turn = 1; turn < 4; ++turn) {
                const double I =
                    std::norm(wave.GetFarFieldAmplitude(theta, phi + turn * Reference::Pi / 2, 0));
                EXPECT_NEAR(I, I0, 1e-7 * I0);
            }
        }
    }
    EXPECT_GT(largestScattered, 0.01);
}

namespace {
// A record of the given structure after a calculation by `version`.
struct MethodRun
{
    CalculationRun run;
    std::vector<int> counts;
    const LwLmComplexArray& Scattered(int atom) const
    {
        return run.doc.ListScatteringData[0].NextListScatterer.Sources()[atom].Outgoing();
    }
};

void RunMethod(MethodRun& m, LwLong version, const std::vector<LwClusterAtom>& structure,
               const LwDocScatteringPhaseShift& phase)
{
    m.run.doc.Version = version;
    m.run.doc.EPS = 1e-4;
    Calculate(m.run, {structure}, {Emitted(400, SingleCoefficient(2, 1, 0))}, phase);
    m.counts = IncidentSourceCounts(m.run.output);
}

// The same structure by the three methods.
struct ThreeMethods
{
    MethodRun single, slow, multi;
    ThreeMethods(const std::vector<LwClusterAtom>& structure, const LwDocScatteringPhaseShift& phase)
    {
        RunMethod(single, LwDocScattering::kSingleScattering, structure, phase);
        RunMethod(slow, LwDocScattering::kSlowMultipleScattering, structure, phase);
        RunMethod(multi, LwDocScattering::kMultipleScattering, structure, phase);
    }
};

LwDocScatteringPhaseShift TwoWavePhaseShifts(double radius)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 400, {0.4, 0.1}), PhaseShift("A", 400, {0.9, 0.5}, {std::log(radius)})};
    return phase;
}
}  // namespace

// Atoms on one line through the emitter, all in front of it: the multiple
// method takes every earlier atom, as the slow one does, and both differ from
// single scattering from the second atom on.
TEST(LwDocScattering, CollinearChainIsScatteredAlongTheWholePath)
{
    const std::vector<LwClusterAtom> chain = {Atom("E", "Cu", 0, 0, 0),
                                              Atom("A", "Cu", 0, 0, 2.2 * Reference::Angstrom_m),
                                              Atom("A", "Cu", 0, 0, 4.4 * Reference::Angstrom_m),
                                              Atom("A", "Cu", 0, 0, 6.6 * Reference::Angstrom_m)};
    const LwDocScatteringPhaseShift phase = TwoWavePhaseShifts(0.5 * Reference::Angstrom_m);
    const ThreeMethods run(chain, phase);
    const MethodRun &single = run.single, &slow = run.slow, &multi = run.multi;

    EXPECT_EQ(single.counts, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(slow.counts, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(multi.counts, (std::vector<int>{1, 2, 3}));
    for (int atom = 1; atom <= 3; ++atom) {
        SCOPED_TRACE(atom);
        EXPECT_TRUE(SameBits(multi.Scattered(atom), slow.Scattered(atom)));
    }
    EXPECT_TRUE(SameBits(single.Scattered(1), multi.Scattered(1)));
    EXPECT_FALSE(SameBits(single.Scattered(2), multi.Scattered(2)));
}

// An atom behind the origin, as seen from the target, is left out by the
// multiple method (the target then sees the emitter alone, as in single
// scattering) and taken in by the slow one.
TEST(LwDocScattering, AtomBehindTheOriginIsLeftOutOfThePath)
{
    const std::vector<LwClusterAtom> structure = {Atom("E", "Cu", 0, 0, 0),
                                                  Atom("A", "Cu", 0, 0, -2.0 * Reference::Angstrom_m),
                                                  Atom("A", "Cu", 0, 0, 3.0 * Reference::Angstrom_m)};
    const LwDocScatteringPhaseShift phase = TwoWavePhaseShifts(1.0 * Reference::Angstrom_m);
    const ThreeMethods run(structure, phase);
    const MethodRun &single = run.single, &slow = run.slow, &multi = run.multi;

    EXPECT_EQ(slow.counts, (std::vector<int>{1, 2}));
    EXPECT_EQ(multi.counts, (std::vector<int>{1, 1}));
    EXPECT_TRUE(SameBits(multi.Scattered(2), single.Scattered(2)));
    EXPECT_FALSE(SameBits(slow.Scattered(2), single.Scattered(2)));
}

// An earlier atom whose distance from the path line equals its radius R is
// taken in; with R one step of a double smaller it is left out. An atom
// level with the origin (p_j . p_t = 0) is not behind it and is taken in.
// The target lies on z at a power of two and atom j at (R, 0, z_j) with
// z_j^2 a multiple of the last place of R^2, so every product of the path
// test is exact and the distance from the line is exactly R.
TEST(LwDocScattering, AtomExactlyAtThePathRadiusIsIncluded)
{
    const double lnR = std::log(1.2 * Reference::Angstrom_m);
    const double R = std::exp(lnR);
    const double lnBelow = std::nextafter(lnR, -1e300);
    ASSERT_LT(std::exp(lnBelow), R);
    const double zt = std::ldexp(1.0, -31);  // 4.66 A
    const double zj = std::ldexp(1.0, -58);  // a few 1e-18 m in front of the origin
    ASSERT_EQ((R * R + zj * zj) - zj * zj, R * R);

    struct Case
    {
        const char* what;
        double z;
        double lnRadius;
        std::vector<int> counts;
    };
    const Case cases[] = {{"at the radius, in front", zj, lnR, {1, 2}},
                          {"just beyond the radius", zj, lnBelow, {1, 1}},
                          {"at the radius, level with the origin", 0.0, lnR, {1, 2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<LwClusterAtom> structure = {Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", R, 0, c.z),
                                                      Atom("B", "Cu", 0, 0, zt)};
        LwDocScatteringPhaseShift phase;
        Entries(phase) = {PhaseShift("E", 400, {0.4, 0.1}), PhaseShift("A", 400, {0.9, 0.5}, {c.lnRadius}),
                          PhaseShift("B", 400, {0.9, 0.5}, {})};
        MethodRun multi;
        RunMethod(multi, LwDocScattering::kMultipleScattering, structure, phase);
        EXPECT_EQ(multi.counts, c.counts);
    }
}

// Atoms off the path line by more than their radius are left out; the slow
// method takes every earlier atom whatever its place.
TEST(LwDocScattering, AtomsFarFromThePathAreLeftOut)
{
    const std::vector<LwClusterAtom> structure = {
        Atom("E", "Cu", 0, 0, 0),
        Atom("A", "Cu", 2.0 * Reference::Angstrom_m, 0, 0.5 * Reference::Angstrom_m),
        Atom("A", "Cu", 0.3 * Reference::Angstrom_m, 0, 2.5 * Reference::Angstrom_m),
        Atom("A", "Cu", 0, 0, 4.0 * Reference::Angstrom_m)};
    const LwDocScatteringPhaseShift phase = TwoWavePhaseShifts(0.8 * Reference::Angstrom_m);
    MethodRun slow, multi;
    RunMethod(slow, LwDocScattering::kSlowMultipleScattering, structure, phase);
    RunMethod(multi, LwDocScattering::kMultipleScattering, structure, phase);
    EXPECT_EQ(slow.counts, (std::vector<int>{1, 2, 3}));
    // Atom 2 is 0.3 A off the line to atom 3 (radius 0.8 A), atom 1 far off.
    EXPECT_EQ(multi.counts, (std::vector<int>{1, 1, 2}));
}

// The re-expansion runs on the OpenMP threads; the scattered waves must not
// depend on how many there are.
TEST(LwDocScattering, ResultDoesNotDependOnTheThreadCount)
{
    const std::vector<LwClusterAtom> structure = {
        Atom("E", "Cu", 0, 0, 0),
        Atom("A", "Cu", 1.8 * Reference::Angstrom_m, 0, 0.9 * Reference::Angstrom_m),
        Atom("A", "Cu", 0, -1.1 * Reference::Angstrom_m, 2.5 * Reference::Angstrom_m),
        Atom("A", "Cu", 0.2 * Reference::Angstrom_m, 0, 3.9 * Reference::Angstrom_m)};
    const LwDocScatteringPhaseShift phase = TwoWavePhaseShifts(0.8 * Reference::Angstrom_m);
    const int threads = omp_get_max_threads();
    MethodRun one, several;
    omp_set_num_threads(1);
    RunMethod(one, LwDocScattering::kSlowMultipleScattering, structure, phase);
    omp_set_num_threads(3);
    RunMethod(several, LwDocScattering::kSlowMultipleScattering, structure, phase);
    omp_set_num_threads(threads);
    for (int atom = 0; atom < 4; ++atom) {
        SCOPED_TRACE(atom);
        EXPECT_TRUE(SameBits(one.Scattered(atom), several.Scattered(atom)));
    }
}

// The atom steps called one by one (each with a re-expansion calculator of
// its own) give what the whole calculation gives with one calculator
// shared by all atoms.
TEST(LwDocScattering, AtomStepsAloneGiveTheSameWaves)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4, 0.2}), PhaseShift("A", 300, {0.9, 0.5, 0.2}),
                      PhaseShift("B", 300, {0.7, 0.3}, {std::log(1.0 * Reference::Angstrom_m)})};
    const LwCluster cluster = {{Atom("E", "Cu", 0, 0, 0),
                                Atom("A", "Cu", 0, 1.2 * Reference::Angstrom_m, 1.9 * Reference::Angstrom_m),
                                Atom("B", "Fe", 0.4 * Reference::Angstrom_m, 0, 2.7 * Reference::Angstrom_m),
                                Atom("A", "Cu", -1.5 * Reference::Angstrom_m, 0.2 * Reference::Angstrom_m,
                                     3.1 * Reference::Angstrom_m)}};
    const std::vector<LwEmitterEntry> emitted = {Emitted(300, SingleCoefficient(2, 1, 1))};
    CalculationRun whole;
    whole.doc.Version = LwDocScattering::kMultipleScattering;
    Calculate(whole, cluster, emitted, phase);

    LwDocScattering alone;
    LwCluster structures = cluster;
    testing::internal::CaptureStdout();
    LwScatteringData& record = alone.AddScatteringData(structures, emitted, phase);
    for (LwLong atom = 0; atom < 4; ++atom)
        alone.OneCalculateVer2(record, phase, 0, atom);
    testing::internal::GetCapturedStdout();
    for (int atom = 1; atom < 4; ++atom) {
        SCOPED_TRACE(atom);
        EXPECT_TRUE(SameBits(record.NextListScatterer.Sources()[atom].Outgoing(),
                             whole.doc.ListScatteringData[0].NextListScatterer.Sources()[atom].Outgoing()));
    }
}

// The console lines of a calculation of two emitted waves: a record is
// complete before the next one is set up; indices in the progress line
// count from 1.
TEST(LwDocScattering, PrintsTheProgressLinesInOrder)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4}), PhaseShift("A", 300, {0.9})};
    CalculationRun run;
    run.doc.Version = LwDocScattering::kSingleScattering;
    Calculate(run, {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}},
              {Emitted(300, SingleCoefficient(1, 0, 0)), Emitted(300, SingleCoefficient(1, 0, 0))}, phase);
    const std::string expected = "StIndex0/1\n"
                                 "EWIndex0/2\n"
                                 "EXIT add scattering data\n"
                                 "MulIndex:0/1\n"
                                 "StIndex: 1/1, EWIndex: 1/2, MuIndex: 1/1, AtIndex: 1 / 2\n"
                                 "StIndex: 1/1, EWIndex: 1/2, MuIndex: 1/1, AtIndex: 2 / 2\n"
                                 "Current N Emitter=1\n"
                                 "EWIndex1/2\n"
                                 "EXIT add scattering data\n"
                                 "MulIndex:0/1\n"
                                 "StIndex: 1/1, EWIndex: 2/2, MuIndex: 1/1, AtIndex: 1 / 2\n"
                                 "StIndex: 1/1, EWIndex: 2/2, MuIndex: 1/1, AtIndex: 2 / 2\n"
                                 "Current N Emitter=1\n";
    EXPECT_EQ(run.output, expected);
    // The loop indices end equal to their counts.
    EXPECT_EQ(run.doc.StIndex, 1);
    EXPECT_EQ(run.doc.EWIndex, 2);
    EXPECT_EQ(run.doc.MuIndex, 1);
    EXPECT_EQ(run.doc.AtIndex, 2);
    EXPECT_EQ(run.doc.CurrSize_l_, 1);
    EXPECT_EQ(run.doc.ListScatteringData.size(), 2u);
}

// An emitter with L = 3 in single scattering: the emitter's coefficients
// come back unchanged after the pass (cleared at atom 0, carried over at
// the end), and both lists agree.
TEST(LwDocScattering, EmitterCoefficientsAreCarriedOver)
{
    LwLmComplexArray c;
    c.SetSizeZero(3);
    for (LwLong i = 0; i < c.Size(); ++i)
        c[i] = LComplex(0.1 * i - 0.3, 0.05 * i);
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4, 0.2}), PhaseShift("A", 300, {0.9, 0.3})};
    CalculationRun run;
    Calculate(run,
              {{Atom("E", "Cu", 0, 0, 0),
                Atom("A", "Cu", 0, 1 * Reference::Angstrom_m, 2 * Reference::Angstrom_m)}},
              {Emitted(300, c)}, phase);
    const LwScatteringData& record = run.doc.ListScatteringData[0];
    EXPECT_TRUE(SameBits(record.NextListScatterer.Sources()[0].Outgoing(), c));
    EXPECT_TRUE(SameBits(record.ListScatterer.Sources()[0].Outgoing(), c));
    EXPECT_TRUE(SameBits(record.ListScatterer.Sources()[1].Outgoing(),
                         record.NextListScatterer.Sources()[1].Outgoing()));
    EXPECT_EQ(record.NextListScatterer.Sources()[1].Outgoing().GetL(), 2);
}

// No pass at all: each record keeps its set-up state.
TEST(LwDocScattering, ZeroPassesLeaveTheSetUpState)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4}), PhaseShift("A", 300, {0.9})};
    CalculationRun run;
    run.doc.MultiScattering = 0;
    Calculate(run, {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}},
              {Emitted(300, SingleCoefficient(2, 1, 1, LComplex(0.5, 0.5)))}, phase);
    const LwScatteringData& record = run.doc.ListScatteringData[0];
    EXPECT_TRUE(SameBits(record.NextListScatterer.Sources()[0].Outgoing(),
                         SingleCoefficient(2, 1, 1, LComplex(0.5, 0.5))));
    EXPECT_EQ(record.NextListScatterer.Sources()[1].Outgoing().GetL(), 0);
    EXPECT_TRUE(IncidentSourceCounts(run.output).empty());
}

// A stop at the first atom: the calculation returns with the one record in
// its set-up state and writes no file.
TEST(LwDocScattering, StopAtTheFirstAtomSavesNothing)
{
    const std::string file = testing::TempDir() + "scattering_stop.xml_sf";
    std::remove(file.c_str());
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4}), PhaseShift("A", 300, {0.9})};
    CalculationRun run;
    run.doc.OutputFileName_ = file;
    StopAtCall stop(1);
    LwCluster cluster = {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}};
    Calculate(run, cluster, {Emitted(300, SingleCoefficient(1, 0, 0))}, phase, stop);
    EXPECT_EQ(stop.calls_, 1);
    ASSERT_EQ(run.doc.ListScatteringData.size(), 1u);
    EXPECT_EQ(run.doc.AtIndex, 0);
    EXPECT_TRUE(SameBits(run.doc.ListScatteringData[0].NextListScatterer.Sources()[0].Outgoing(),
                         SingleCoefficient(1, 0, 0)));
    EXPECT_EQ(std::fopen(file.c_str(), "r"), nullptr);
}

// Failures of the loop, each with a message that says what is wrong.
TEST(LwDocScattering, ReportsWhatStopsTheCalculation)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4}), PhaseShift("A", 300, {0.9}, {}), PhaseShift("N", 300, {})};
    const LwCluster pair = {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}};
    const LwCluster chain = {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m),
                              Atom("A", "Cu", 0, 0, 4 * Reference::Angstrom_m)}};
    const LwCluster noT = {{Atom("E", "Cu", 0, 0, 0), Atom("N", "Cu", 0, 0, 2 * Reference::Angstrom_m)}};
    const LwCluster onTop = {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 0)}};
    struct Case
    {
        const char* what;
        LwLong version;
        LwLong passes;
        LwCluster cluster;
        std::string message;
    };
    const Case cases[] = {
        {"unknown method", 3, 1, pair,
         "Multiple scattering calculation method is not correct: method number 3 (0 single, 1 slow multiple, "
         "2 "
         "multiple scattering)"},
        {"negative method", -1, 1, pair,
         "Multiple scattering calculation method is not correct: method number -1 (0 single, 1 slow "
         "multiple, 2 "
         "multiple scattering)"},
        {"second pass, single", 0, 2, pair, "This is not support full multi-scattering calc."},
        {"second pass, slow", 1, 2, pair, "This is not support full multi-scattering calc."},
        {"second pass, multiple", 2, 2, pair, "This is not support full multi-scattering calc."},
        {"no radial grid", 2, 1, chain,
         "The phase shift data of atom 1 (A) has no radial grid (LnX): the multiple-scattering method needs "
         "the "
         "atom radius"},
        {"no t-vector", 0, 1, noT, "Please set CurrSize_l_"},
        {"atom on the emitter", 0, 1, onTop,
         "Atom 1 lies at the position of the emitter: there is no incident wave to scatter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CalculationRun run;
        run.doc.Version = c.version;
        run.doc.MultiScattering = c.passes;
        EXPECT_EQ(
            ErrorText([&] { Calculate(run, c.cluster, {Emitted(300, SingleCoefficient(1, 0, 0))}, phase); }),
            c.message);
    }
}

// A second pass fails only after the first pass of the first record.
TEST(LwDocScattering, SecondPassFailsAfterTheFirstPass)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4}), PhaseShift("A", 300, {0.9})};
    CalculationRun run;
    run.doc.MultiScattering = 2;
    EXPECT_EQ(ErrorText([&] {
                  Calculate(run,
                            {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}},
                            {Emitted(300, SingleCoefficient(1, 0, 0))}, phase);
              }),
              "This is not support full multi-scattering calc.");
    EXPECT_EQ(IncidentSourceCounts(run.output), std::vector<int>{1});
    EXPECT_NE(run.output.find("MulIndex:1/2\n"), std::string::npos);
    const LwScatteringData& record = run.doc.ListScatteringData[0];
    EXPECT_EQ(record.ListScatterer.Sources()[1].Outgoing().GetL(), 1);
}

// A record whose phase-shift index points past the document (a record read
// from a file carries none) is refused, not read past.
TEST(LwDocScattering, AtomStepRefusesAMissingPhaseShiftEntry)
{
    LwDocScatteringPhaseShift phase;
    Entries(phase) = {PhaseShift("E", 300, {0.4}), PhaseShift("A", 300, {0.9})};
    LwDocScattering doc;
    LwCluster cluster = {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}};
    const std::vector<LwEmitterEntry> emitted = {Emitted(300, SingleCoefficient(1, 0, 0))};
    LwScatteringData& record = doc.AddScatteringData(cluster, emitted, phase);
    record.PhaseShiftIndex[1] = 2;
    EXPECT_EQ(ErrorText([&] { doc.OneCalculate(record, phase, 0, 1); }),
              "Error: There is no phase shift data for atom 1 (entry 2 of 2)");
    record.PhaseShiftIndex.Create(0);
    EXPECT_EQ(ErrorText([&] { doc.OneCalculate(record, phase, 0, 1); }),
              "Error: There is no phase shift data for atom 1");
}
