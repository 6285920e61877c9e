// Set-up of scattering records: atom order, sources, emitted wave, phase-shift
// indices, U, the two-atom record, and the failures of the set-up.

#include "physics/LwDebye.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"
#include "ScatteringTestInputs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace ScatteringTest;

namespace {

std::vector<double> Position(const LwPartialWaveSource& s)
{
    return {static_cast<double>(s.X()), static_cast<double>(s.Y()), static_cast<double>(s.Z())};
}

LwDocScatteringPhaseShift Phases(const std::vector<std::string>& names, double ek)
{
    LwDocScatteringPhaseShift phase;
    for (const std::string& name : names)
        Entries(phase).push_back(PhaseShift(name, ek, {0.5, 0.2}));
    return phase;
}
}  // namespace

// With the distance order the nearest atom becomes the emitter, and the
// structure in the cluster is left in the new order.
TEST(LwScatteringData, NearestAtomBecomesTheEmitterAndTheClusterKeepsTheOrder)
{
    LwCluster cluster = {{Atom("B", "Fe", 0, 0, 2 * Reference::Angstrom_m),
                          Atom("C", "O", 1 * Reference::Angstrom_m, 0, 0), Atom("A", "Cu", 0, 0, 0)}};
    SetIsotropicU(cluster[0][0], 4e-22);
    const std::vector<LwEmitterEntry> emitted = {Emitted(600, SingleCoefficient(2, 1, -1), 0.25)};
    LwDocScattering doc;
    const LwDocScatteringPhaseShift phase = Phases({"A", "B", "C"}, 600);
    LwScatteringData& record = doc.AddScatteringData(cluster, emitted, phase);

    EXPECT_EQ(record.ListAtomName, (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(cluster[0][0].Name_, "A");
    EXPECT_EQ(cluster[0][2].Name_, "B");
    const std::vector<LwPartialWaveSource>& s = record.ListScatterer.Sources();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(Position(s[0]), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(Position(s[1]), (std::vector<double>{1 * Reference::Angstrom_m, 0, 0}));
    EXPECT_EQ(Position(s[2]), (std::vector<double>{0, 0, 2 * Reference::Angstrom_m}));
    EXPECT_EQ(s[0].GetAtomicNumber(), 29);
    EXPECT_EQ(s[1].GetAtomicNumber(), 8);
    EXPECT_EQ(s[2].GetAtomicNumber(), 26);
    EXPECT_EQ(s[2].GetU(), 4e-22);
    EXPECT_EQ(s[1].GetU(), 0.0);
    // Kinetic energy, wave number and the emitted coefficients on source 0.
    EXPECT_EQ(record.ListScatterer.GetKineticEnergy(), 600);
    for (const LwPartialWaveSource& source : s)
        EXPECT_NEAR(source.GetWaveNumber(), WaveNumber(600), 1e-6 * WaveNumber(600));
    EXPECT_EQ(s[0].Outgoing().GetL(), 2);
    EXPECT_EQ(s[0].Outgoing()(1, -1), LComplex(1, 0));
    EXPECT_EQ(s[1].Outgoing().GetL(), 0);
    EXPECT_EQ(record.Ratio, 0.25);
    // The next list is a copy.
    ASSERT_EQ(record.NextListScatterer.Sources().size(), 3u);
    EXPECT_EQ(record.NextListScatterer.Sources()[0].Outgoing()(1, -1), LComplex(1, 0));
    EXPECT_EQ(Position(record.NextListScatterer.Sources()[2]), Position(s[2]));
    EXPECT_EQ(record.NextListScatterer.GetKineticEnergy(), 600);
    // Indices of the record and of the phase-shift entries.
    EXPECT_EQ(record.StIndex, 0);
    EXPECT_EQ(record.EWIndex, 0);
    ASSERT_EQ(record.PhaseShiftIndex.VectorSize(), 3);
    EXPECT_EQ(record.PhaseShiftIndex[0], 0);
    EXPECT_EQ(record.PhaseShiftIndex[1], 2);
    EXPECT_EQ(record.PhaseShiftIndex[2], 1);
}

// Depth order and the document's own order.
TEST(LwScatteringData, OrderModes)
{
    // By depth the atom level with the emitter but off the axis (T) comes
    // before it; by distance it comes after the nearer S.
    const std::vector<LwClusterAtom> atoms = {
        Atom("E", "Cu", 0, 0, 0), Atom("D", "Cu", 0, 0, -2 * Reference::Angstrom_m),
        Atom("S", "Cu", 1 * Reference::Angstrom_m, 0, -1 * Reference::Angstrom_m),
        Atom("T", "Cu", 1.5 * Reference::Angstrom_m, 0, 0)};
    struct Case
    {
        LwLong mode;
        std::vector<std::string> names;
    };
    for (const Case& c :
         {Case{0, {"E", "S", "T", "D"}}, Case{1, {"T", "E", "S", "D"}}, Case{7, {"E", "D", "S", "T"}}}) {
        SCOPED_TRACE(c.mode);
        LwCluster cluster = {atoms};
        LwScatteringData record;
        record.SetListScatterer(cluster, {Emitted(600, SingleCoefficient(1, 0, 0))}, 0, c.mode);
        EXPECT_EQ(record.ListAtomName, c.names);
    }
}

// Only entry 0 decides between the plane-wave order and the mode; only the
// record of a plane-wave entry gets a plane-wave emitter, along
// (cos gamma sin beta, sin gamma sin beta, cos beta).
TEST(LwScatteringData, PlaneWaveEntries)
{
    const std::vector<LwClusterAtom> atoms = {Atom("U", "Cu", 0, 0, 1 * Reference::Angstrom_m),
                                              Atom("E", "Cu", 0, 0, 0),
                                              Atom("L", "Cu", 0, 0, -1.5 * Reference::Angstrom_m)};
    const LwDocScatteringPhaseShift phase = Phases({"U", "E", "L"}, 800);
    {
        SCOPED_TRACE("plane wave in entry 1 only");
        LwCluster cluster = {atoms};
        LwDocScattering doc;
        const std::vector<LwEmitterEntry> emitted = {Emitted(800, SingleCoefficient(1, 0, 0)),
                                                     PlaneWave(800, 90, 0)};
        doc.AddScatteringData(cluster, emitted, phase);
        doc.EWIndex = 1;
        doc.AddScatteringData(cluster, emitted, phase);
        EXPECT_EQ(doc.ListScatteringData[0].ListAtomName, (std::vector<std::string>{"E", "U", "L"}));
        EXPECT_FALSE(doc.ListScatteringData[0].ListScatterer.Sources()[0].IsPlaneWave());
        const LwPartialWaveSource& emitter = doc.ListScatteringData[1].ListScatterer.Sources()[0];
        EXPECT_TRUE(emitter.IsPlaneWave());
        EXPECT_EQ(doc.ListScatteringData[1].EWIndex, 1);
    }
    {
        SCOPED_TRACE("plane wave in entry 0");
        LwCluster cluster = {atoms};
        LwDocScattering doc;
        const double beta = 60, gamma = 30;
        LwLmComplexArray c = SingleCoefficient(3, 2, 1);
        LwEmitterEntry entry = PlaneWave(800, beta, gamma);
        entry.coeff = c;
        LwScatteringData& record = doc.AddScatteringData(cluster, {entry}, phase);
        // The wave runs upwards (cos beta > 0): it meets the atom below
        // first, after the emitter, unlike the distance order E, U, L.
        EXPECT_EQ(record.ListAtomName, (std::vector<std::string>{"E", "L", "U"}));
        const LwPartialWaveSource& emitter = record.ListScatterer.Sources()[0];
        ASSERT_TRUE(emitter.IsPlaneWave());
        const double k = WaveNumber(800);
        const double b = beta * Reference::Pi / 180, g = gamma * Reference::Pi / 180;
        const double expected[3] = {std::cos(g) * std::sin(b), std::sin(g) * std::sin(b), std::cos(b)};
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(emitter.PlaneWaveVector()[i], k * expected[i], 1e-9 * k);
        EXPECT_EQ(emitter.Outgoing().GetL(), 1);
        EXPECT_EQ(emitter.Outgoing()(0, 0), LComplex(1, 0));
        EXPECT_TRUE(record.NextListScatterer.Sources()[0].IsPlaneWave());
    }
}

// Matching of phase-shift entries: exact energy and exact name, the first
// entry wins, atoms of one name share an entry, and an entry at any
// position of the document is addressed (here 300 entries, beyond what a
// signed byte holds).
TEST(LwScatteringData, PhaseShiftIndexMatchesExactlyAndAddressesEveryEntry)
{
    LwDocScatteringPhaseShift phase;
    for (int j = 0; j < 300; ++j)
        Entries(phase).push_back(PhaseShift("X" + std::to_string(j), 1000.0, {0.1}));
    Entries(phase)[299].AtomName = "Far";
    Entries(phase).push_back(PhaseShift("Far", 1000.0, {0.2}));  // a later duplicate: not chosen
    Entries(phase)[5].AtomName = "E";
    Entries(phase)[4] = PhaseShift("E", 1000.0000001, {0.3});  // another energy: no match
    Entries(phase)[200].AtomName = "Mid";

    LwCluster cluster = {{Atom("E", "Cu", 0, 0, 0), Atom("Far", "Cu", 0, 0, 2 * Reference::Angstrom_m),
                          Atom("Mid", "Cu", 0, 3 * Reference::Angstrom_m, 0),
                          Atom("Far", "Cu", 4 * Reference::Angstrom_m, 0, 0)}};
    LwScatteringData record;
    record.SetListScatterer(cluster, {Emitted(1000.0, SingleCoefficient(1, 0, 0))}, 0, 0);
    record.SetEmittedWave({Emitted(1000.0, SingleCoefficient(1, 0, 0))}, 0);
    record.SetPhaseShiftIndex(phase);
    ASSERT_EQ(record.PhaseShiftIndex.VectorSize(), 4);
    EXPECT_EQ(record.PhaseShiftIndex[0], 5);
    EXPECT_EQ(record.PhaseShiftIndex[1], 299);
    EXPECT_EQ(record.PhaseShiftIndex[2], 200);
    EXPECT_EQ(record.PhaseShiftIndex[3], 299);

    // The same atoms at 1000.0000001 eV: only the emitter finds an entry.
    record.SetEmittedWave({Emitted(1000.0000001, SingleCoefficient(1, 0, 0))}, 0);
    EXPECT_EQ(ErrorText([&] { record.SetPhaseShiftIndex(phase); }), "Error: There is no phase shift data");
    EXPECT_EQ(record.PhaseShiftIndex[0], 4);
    EXPECT_EQ(record.PhaseShiftIndex[1], -1);
}

TEST(LwScatteringData, IsotropicU)
{
    LwClusterAtom atom = Atom("A", "Cu", 0, 0, 0);
    EXPECT_EQ(GetUiso(atom), 0.0);
    atom.U_.Create(0, 3);
    EXPECT_EQ(GetUiso(atom), 0.0);
    SetIsotropicU(atom, 7.5e-23);
    EXPECT_EQ(GetUiso(atom), 7.5e-23);
    atom.U_.Create(3, 3);
    atom.U_.SetUnit();
    EXPECT_EQ(ErrorText([&] { GetUiso(atom); }), "U aniso is not supported");
}

// Failures of the set-up, each with a message that names the problem.
TEST(LwScatteringData, SetUpFailures)
{
    const LwDocScatteringPhaseShift phase = Phases({"E", "A"}, 500);
    const std::vector<LwEmitterEntry> one = {Emitted(500, SingleCoefficient(1, 0, 0))};
    LwClusterAtom aniso = Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m);
    aniso.U_.Create(3, 3);
    aniso.U_.SetUnit();
    struct Case
    {
        const char* what;
        LwCluster cluster;
        std::vector<LwEmitterEntry> emitted;
        LwLong structure;
        LwLong wave;
        std::string message;
    };
    const LwCluster pair = {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Cu", 0, 0, 2 * Reference::Angstrom_m)}};
    const Case cases[] = {
        {"structure index", pair, one, 1, 0,
         "Structure index 1 is out of range: the cluster has 1 structures"},
        {"negative structure index", pair, one, -1, 0,
         "Structure index -1 is out of range: the cluster has 1 structures"},
        {"emitted-wave index", pair, one, 0, 1,
         "Emitted wave index 1 is out of range: the emitted-wave document has 1 entries"},
        {"no emitted wave", pair, {}, 0, 0, "Emitted wave is not defined"},
        {"empty structure", {{}}, one, 0, 0, "Structure 0 has no atoms: there is no emitter"},
        {"unknown element",
         {{Atom("E", "Cu", 0, 0, 0), Atom("A", "Xx", 0, 0, 2 * Reference::Angstrom_m)}},
         one,
         0,
         0,
         "Error in element name"},
        {"anisotropic U", {{Atom("E", "Cu", 0, 0, 0), aniso}}, one, 0, 0, "U aniso is not supported"},
        {"no phase shift",
         {{Atom("E", "Cu", 0, 0, 0), Atom("B", "Cu", 0, 0, 2 * Reference::Angstrom_m)}},
         one,
         0,
         0,
         "Error: There is no phase shift data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwCluster cluster = c.cluster;
        LwDocScattering doc;
        doc.StIndex = c.structure;
        doc.EWIndex = c.wave;
        EXPECT_EQ(ErrorText([&] { doc.AddScatteringData(cluster, c.emitted, phase); }), c.message);
        // The failed record stays in the list.
        EXPECT_EQ(doc.ListScatteringData.size(), 1u);
    }
}

// The two-atom record of the scattering pattern matrix.
TEST(LwScatteringData, DimerOnZ)
{
    LwDebye weights;
    weights.LoadAtomicWeight("1 H x 1.008\n2 He x 4.0026\n");
    LwLmComplexArray c = SingleCoefficient(2, 1, 0, LComplex(0.5, -0.5));
    struct Case
    {
        const char* what;
        bool inCluster, einstein, debye;
        double u;
    };
    const double einsteinU = 300 * Reference::Boltzmann_JperK / Reference::EinsteinSpring_Nperm;
    const double debyeU =
        300 * (3 * Reference::Hbar_Js * Reference::Hbar_Js) /
        (4.0026 * Reference::AtomicMassUnit_kg * Reference::Boltzmann_JperK * 100.0 * 100.0);
    for (const Case& k :
         {Case{"cluster U", true, true, true, 0.0}, Case{"Einstein", false, true, true, einsteinU},
          Case{"Debye", false, false, true, debyeU}, Case{"none", false, false, false, 0.0}}) {
        SCOPED_TRACE(k.what);
        LwDocFluctuation fluctuation;
        fluctuation.Temperature_K_ = 300;
        fluctuation.DebyeElement_ = {"He"};
        fluctuation.DebyeTemperature_K_ = {100};
        fluctuation.IsUseUisoInCluster_ = k.inCluster;
        fluctuation.IsUseUisoEinsteinModel_ = k.einstein;
        fluctuation.IsUseUisoDebyeModel_ = k.debye;
        LwScatteringData record;
        record.StIndex = 4;
        record.SetListScattererDimerOnZ(c, 700, 3 * Reference::Angstrom_m, "He1", "He", 7, fluctuation,
                                        weights);
        const std::vector<LwPartialWaveSource>& s = record.ListScatterer.Sources();
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(Position(s[0]), (std::vector<double>{0, 0, 0}));
        EXPECT_EQ(Position(s[1]), (std::vector<double>{0, 0, 3 * Reference::Angstrom_m}));
        EXPECT_EQ(s[0].Outgoing()(1, 0), LComplex(0.5, -0.5));
        EXPECT_EQ(s[0].GetAtomicNumber(), 2);
        EXPECT_EQ(s[1].GetAtomicNumber(), 2);
        EXPECT_NEAR(s[0].GetU(), k.u, 1e-9 * k.u);
        EXPECT_NEAR(s[1].GetU(), k.u, 1e-9 * k.u);
        EXPECT_EQ(record.ListScatterer.GetKineticEnergy(), 700);
        EXPECT_EQ(record.ListAtomName, (std::vector<std::string>{"He1", "He1"}));
        EXPECT_EQ(record.PhaseShiftIndex[0], 7);
        EXPECT_EQ(record.PhaseShiftIndex[1], 7);
        EXPECT_EQ(record.NextListScatterer.Sources().size(), 2u);
        EXPECT_EQ(record.StIndex, 4);
    }
    LwDocFluctuation debye;
    debye.IsUseUisoDebyeModel_ = true;
    LwScatteringData record;
    EXPECT_EQ(
        ErrorText([&] { record.SetListScattererDimerOnZ(c, 700, 1e-10, "X", "Qq", 0, debye, weights); }),
        "LwScatteringData::SetListScattererDimerOnZ()Error in element name");
    EXPECT_EQ(
        ErrorText([&] { record.SetListScattererDimerOnZ(c, 700, 1e-10, "X", "Li", 0, debye, weights); }),
        "LwScatteringData::SetListScattererDimerOnZ()SetDebyeModel():Atomic Number is not defined");
}
