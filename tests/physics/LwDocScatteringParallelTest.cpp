// The atoms of a pass run in parallel by dependency levels: the levels on a
// constructed geometry, results and console text identical at 1, 3 and 8
// threads and to the atom steps called one after another, the lowest failing
// atom's error, and a stop while a level runs.

#include "core/LwNotifyTerminate.h"
#include "physics/LwDocScattering.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"
#include "ScatteringTestInputs.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

using namespace ScatteringTest;

namespace {
// The atoms keep the order of the structure, so the tests name them by index.
constexpr LwLong kKeepOrder = 2;

class NeverStop : public LwNotifyTerminate
{
public:
    bool IsTerminate() override { return false; }
};

// Answers yes from the n-th query on; safe to ask from several threads.
class StopAtQuery : public LwNotifyTerminate
{
public:
    explicit StopAtQuery(int n) : n_(n) {}
    bool IsTerminate() override { return ++queries_ >= n_; }
    std::atomic<int> queries_{0};

private:
    int n_;
};

// Restores the OpenMP thread count when the test ends.
class ThreadCount
{
public:
    ThreadCount() : saved_(omp_get_max_threads()) {}
    ~ThreadCount() { omp_set_num_threads(saved_); }

private:
    int saved_;
};

struct PassRun
{
    LwDocScattering doc;
    std::string output;
    std::string error;
};

void Calculate(PassRun& run, LwLong version, const std::vector<LwClusterAtom>& structure,
               const LwDocScatteringPhaseShift& phase, LwNotifyTerminate& stop)
{
    run.doc.Version = version;
    run.doc.EPS = 1e-3;
    run.doc.AtomOrderMode_ = kKeepOrder;
    LwCluster cluster = {structure};
    testing::internal::CaptureStdout();
    run.error = ErrorText([&] {
        run.doc.Calculate(stop, cluster, {Emitted(400, SingleCoefficient(2, 1, 0, LComplex(0.3, 0.8)))},
                          phase);
    });
    std::fflush(stdout);
    run.output = testing::internal::GetCapturedStdout();
}

const std::vector<LwPartialWaveSource>& Sources(const PassRun& run)
{
    return run.doc.ListScatteringData[0].NextListScatterer.Sources();
}

bool SameBits(const LwLmComplexArray& a, const LwLmComplexArray& b)
{
    return a.GetL() == b.GetL() && std::memcmp(a.Data(), b.Data(), sizeof(LComplex) * a.Size()) == 0;
}

// The atom numbers (from 1) of the progress lines, in printed order.
std::vector<int> ProgressAtoms(const std::string& output)
{
    std::vector<int> atoms;
    const std::regex line("AtIndex: ([0-9]+) / [0-9]+\n");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), line); it != std::sregex_iterator();
         ++it)
        atoms.push_back(std::stoi((*it)[1]));
    return atoms;
}

LwDocScatteringPhaseShift Phases()
{
    LwDocScatteringPhaseShift phase;
    // Radius 0.8 A for the path test of the multiple method.
    Entries(phase) = {PhaseShift("E", 400, {0.4, 0.1}),
                      PhaseShift("A", 400, {0.9, 0.5, 0.2, 0.05}, {std::log(0.8 * Reference::Angstrom_m)}),
                      PhaseShift("N", 400, {}, {std::log(0.8 * Reference::Angstrom_m)})};
    return phase;
}

// Fourteen atoms around the emitter: chains along +z and +x (each atom behind
// the earlier ones of its chain), atoms off every path and one behind the
// origin, so that the multiple method has several levels of several atoms.
std::vector<LwClusterAtom> Cluster()
{
    const double a = Reference::Angstrom_m;
    return {Atom("E", "Cu", 0, 0, 0),
            Atom("A", "Cu", 0, 0, 2.1 * a),
            Atom("A", "Cu", 0.1 * a, 0, 4 * a),
            Atom("A", "Cu", 2 * a, 0.2 * a, 0),
            Atom("A", "Cu", 0, 0.2 * a, 6.2 * a),
            Atom("A", "Cu", 4.1 * a, 0, 0.1 * a),
            Atom("A", "Cu", 0, 0, -2 * a),
            Atom("A", "Cu", 1.7 * a, 1.9 * a, 0.4 * a),
            Atom("A", "Cu", -1.5 * a, 2.2 * a, 1 * a),
            Atom("A", "Cu", 6 * a, 0.3 * a, 0),
            Atom("A", "Cu", 0, -2.3 * a, -1.2 * a),
            Atom("A", "Cu", 3.3 * a, 3.9 * a, 0.5 * a),
            Atom("A", "Cu", -2.4 * a, -2 * a, 1.5 * a),
            Atom("A", "Cu", 0, 0, 8 * a)};
}
}  // namespace

// Levels worked out by hand for the cluster above: along +z atoms 1, 2, 4,
// 13 each see the earlier ones of the chain; along +x atoms 3, 5, 9; atom 11
// lies on the line through atom 7; every other atom sees the emitter alone.
TEST(LwDocScatteringParallel, DependencyLevelsFollowThePaths)
{
    LwDocScattering doc;
    doc.AtomOrderMode_ = kKeepOrder;
    LwCluster cluster = {Cluster()};
    const LwDocScatteringPhaseShift phase = Phases();
    testing::internal::CaptureStdout();
    const LwScatteringData& record =
        doc.AddScatteringData(cluster, {Emitted(400, SingleCoefficient(2, 1, 0))}, phase);
    testing::internal::GetCapturedStdout();

    using Levels = std::vector<std::vector<LwLong>>;
    EXPECT_EQ(LwDocScattering::DependencyLevels(LwDocScattering::kMultipleScattering, record, phase),
              (Levels{{0, 1, 3, 6, 7, 8, 10, 12}, {2, 5, 11}, {4, 9}, {13}}));
    EXPECT_EQ(LwDocScattering::PathAtoms(record, phase, 13), (std::vector<LwLong>{1, 2, 4}));
    EXPECT_EQ(LwDocScattering::DependencyLevels(LwDocScattering::kSingleScattering, record, phase),
              (Levels{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}}));
    const Levels slow =
        LwDocScattering::DependencyLevels(LwDocScattering::kSlowMultipleScattering, record, phase);
    ASSERT_EQ(slow.size(), 13u);
    EXPECT_EQ(slow[0], (std::vector<LwLong>{0, 1}));
    for (LwLong i = 2; i < 14; ++i)
        EXPECT_EQ(slow[std::size_t(i - 1)], std::vector<LwLong>{i});
}

// Every method at 1, 3 and 8 threads gives the same coefficients, bit for
// bit, and the same console text; the coefficients are those of the atom
// steps called one after another in atom order.
TEST(LwDocScatteringParallel, ThreadCountChangesNoBitAndNoLine)
{
    ThreadCount restore;
    const std::vector<LwClusterAtom> structure = Cluster();
    const LwDocScatteringPhaseShift phase = Phases();
    for (LwLong version : {LwDocScattering::kSingleScattering, LwDocScattering::kSlowMultipleScattering,
                           LwDocScattering::kMultipleScattering}) {
        SCOPED_TRACE("method " + std::to_string(version));
        // Reference: the atom steps alone, atom after atom.
        LwDocScattering alone;
        alone.AtomOrderMode_ = kKeepOrder;
        alone.EPS = 1e-3;
        LwCluster cluster = {structure};
        omp_set_num_threads(1);
        testing::internal::CaptureStdout();
        LwScatteringData& record = alone.AddScatteringData(
            cluster, {Emitted(400, SingleCoefficient(2, 1, 0, LComplex(0.3, 0.8)))}, phase);
        for (LwLong atom = 0; atom < 14; ++atom) {
            if (version == LwDocScattering::kSingleScattering)
                alone.OneCalculate(record, phase, 0, atom);
            else if (version == LwDocScattering::kSlowMultipleScattering)
                alone.OneCalculateVer1(record, phase, 0, atom);
            else
                alone.OneCalculateVer2(record, phase, 0, atom);
        }
        const std::string aloneOutput = testing::internal::GetCapturedStdout();

        std::vector<PassRun> runs(3);
        const int threads[] = {1, 3, 8};
        for (int t = 0; t < 3; ++t) {
            omp_set_num_threads(threads[t]);
            NeverStop never;
            Calculate(runs[std::size_t(t)], version, structure, phase, never);
            ASSERT_EQ(runs[std::size_t(t)].error, "(no error)");
        }
        for (int t = 0; t < 3; ++t) {
            SCOPED_TRACE("threads " + std::to_string(threads[t]));
            const PassRun& run = runs[std::size_t(t)];
            EXPECT_EQ(run.output, runs[0].output);
            EXPECT_EQ(run.doc.AtIndex, 14);
            EXPECT_EQ(run.doc.CurrSize_l_, 4);
            for (int atom = 1; atom < 14; ++atom) {
                SCOPED_TRACE("atom " + std::to_string(atom));
                EXPECT_EQ(Sources(run)[atom].Outgoing().GetL(), 4);
                EXPECT_TRUE(SameBits(Sources(run)[atom].Outgoing(),
                                     record.NextListScatterer.Sources()[atom].Outgoing()));
            }
        }
        // The calculation prints what the steps print, each atom's lines
        // after its progress line.
        std::string stepLines = runs[0].output;
        stepLines = std::regex_replace(stepLines, std::regex("(StIndex|EWIndex|EXIT|MulIndex)[^\n]*\n"), "");
        EXPECT_EQ(stepLines,
                  aloneOutput.substr(aloneOutput.find(version == 2 ? "OneCalculateVer2" : "Current")));
        std::vector<int> expected;
        for (int atom = 1; atom <= 14; ++atom)
            expected.push_back(atom);
        EXPECT_EQ(ProgressAtoms(runs[0].output), expected);
    }
}

// Failing atoms: the error is the lowest one's, as an atom-after-atom run
// reports it, though in the multiple method the higher ones (in the first
// level) fail first; the lines end with the failing atom's.
TEST(LwDocScatteringParallel, LowestFailingAtomIsReported)
{
    ThreadCount restore;
    std::vector<LwClusterAtom> structure = Cluster();
    // Atom 9 (level 2 of the multiple method) has no t-vector; atom 11 has no
    // radial grid, so the path tests of atoms 12 and 13 fail, in level 0.
    structure[9] = Atom("N", "Cu", 6 * Reference::Angstrom_m, 0.3 * Reference::Angstrom_m, 0);
    structure[11] = Atom("B", "Cu", 3.3 * Reference::Angstrom_m, 3.9 * Reference::Angstrom_m,
                         0.5 * Reference::Angstrom_m);
    LwDocScatteringPhaseShift phase = Phases();
    Entries(phase).push_back(PhaseShift("B", 400, {0.9, 0.5, 0.2, 0.05}, {}));
    for (LwLong version : {LwDocScattering::kSingleScattering, LwDocScattering::kMultipleScattering})
        for (int threads : {1, 3, 8}) {
            SCOPED_TRACE("method " + std::to_string(version) + ", threads " + std::to_string(threads));
            omp_set_num_threads(threads);
            PassRun run;
            NeverStop never;
            Calculate(run, version, structure, phase, never);
            EXPECT_EQ(run.error, "Please set CurrSize_l_");
            EXPECT_EQ(run.doc.AtIndex, 9);
            EXPECT_EQ(run.doc.CurrSize_l_, 0);
            std::vector<int> expected;
            for (int atom = 1; atom <= 10; ++atom)
                expected.push_back(atom);
            EXPECT_EQ(ProgressAtoms(run.output), expected);
            EXPECT_TRUE(std::regex_search(run.output, std::regex("Current N Emitter=[0-9]+\n$")));
        }
}

// A stop asked while a level of parallel atoms runs: the hook is asked in
// atom order within the level and never again after its yes; the
// calculation returns unsaved; exactly the atoms whose query was answered no
// have scattered (with the full run's coefficients), every other atom keeps
// its set-up state, and each query printed its progress line.
TEST(LwDocScatteringParallel, StopDuringAParallelLevel)
{
    ThreadCount restore;
    const std::vector<LwClusterAtom> structure = Cluster();
    const LwDocScatteringPhaseShift phase = Phases();
    struct Case
    {
        LwLong version;
        std::vector<int> asked;  // atoms whose query comes before the sixth, then the sixth
    };
    const Case cases[] = {{LwDocScattering::kSingleScattering, {0, 1, 2, 3, 4, 5}},
                          {LwDocScattering::kMultipleScattering, {0, 1, 3, 6, 7, 8}}};
    for (int threads : {3, 8})
        for (const Case& c : cases) {
            SCOPED_TRACE("method " + std::to_string(c.version) + ", threads " + std::to_string(threads));
            omp_set_num_threads(threads);
            PassRun full;
            NeverStop never;
            Calculate(full, c.version, structure, phase, never);
            ASSERT_EQ(full.error, "(no error)");

            const std::string file = testing::TempDir() + "scattering_parallel_stop.xml_sf";
            std::remove(file.c_str());
            PassRun stopped;
            stopped.doc.OutputFileName_ = file;
            StopAtQuery stop(6);
            Calculate(stopped, c.version, structure, phase, stop);
            EXPECT_EQ(stopped.error, "(no error)");
            EXPECT_EQ(std::fopen(file.c_str(), "r"), nullptr);
            EXPECT_EQ(stop.queries_.load(), 6);
            EXPECT_EQ(stopped.doc.AtIndex, c.asked.back());

            // Atom 0 ran when the emitter's next coefficients were cleared.
            EXPECT_EQ(Sources(stopped)[0].Outgoing()(1, 0), LComplex(0, 0));
            for (int atom = 1; atom < 14; ++atom) {
                SCOPED_TRACE("atom " + std::to_string(atom));
                const bool ran = std::find(c.asked.begin(), c.asked.end() - 1, atom) != c.asked.end() - 1;
                const LwLmComplexArray& coefficients = Sources(stopped)[atom].Outgoing();
                if (ran)
                    EXPECT_TRUE(SameBits(coefficients, Sources(full)[atom].Outgoing()));
                else
                    EXPECT_EQ(coefficients.GetL(), 0);
            }
            std::vector<int> printed;
            for (int atom : c.asked)
                printed.push_back(atom + 1);
            EXPECT_EQ(ProgressAtoms(stopped.output), printed);
        }
}
