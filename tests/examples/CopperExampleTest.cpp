// The committed copper example (examples/copper): the files are what the
// generator writes, they read back through cmd_drev's serializers, and they
// fit together the way the scattering set-up needs them (every atom name and
// the emitted wave's energy have a phase-shift entry). The cluster is checked
// against the fcc sites counted here from their integer coordinates.
#include "core/LwBarnFile.h"
#include "physics/LwClusterAtom.h"
#include "physics/LwClusterDocument.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {
const std::string kFolder = std::string(LW_SOURCE_DIR) + "/examples/copper/";
const char* const kFiles[] = {"cluster.xml_cl", "emitter.xml_emt", "phaseshift.xml_ph",
                              "fluctuation.xml_flu"};

constexpr double kA = 3.615;  // cube edge, Angstrom
constexpr double kClusterRadius = 4.6;

std::string ReadBytes(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

LwCluster ReadCluster()
{
    LwCluster cluster;
    LwBarnFile file(kFolder + "cluster.xml_cl", "r");
    EXPECT_TRUE(LoadSaveCrystalStructureData(cluster, file, true));
    return cluster;
}

LwDocFinalState ReadEmitter()
{
    LwDocFinalState emitted;
    LwBarnFile file(kFolder + "emitter.xml_emt", "r");
    EXPECT_TRUE(emitted.LoadSave(file));
    return emitted;
}

LwDocScatteringPhaseShift ReadPhaseShifts()
{
    LwDocScatteringPhaseShift phaseShifts;
    LwBarnFile file(kFolder + "phaseshift.xml_ph", "r");
    EXPECT_TRUE(phaseShifts.LoadSave(file));
    return phaseShifts;
}
}  // namespace

TEST(CopperExample, CommittedFilesAreTheGeneratorsOutput)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lw_copper_example_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string command =
        std::string("\"") + LW_MAKE_EXAMPLE + "\" \"" + folder.string() + "\" > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBytes((folder / name).string()), ReadBytes(kFolder + name));
    }
    std::filesystem::remove_all(folder);
}

// Every fcc site (i, j, k) a/2 with i + j + k even within the radius and not
// above the surface layer z = a, each once, the emitter first at the origin.
TEST(CopperExample, ClusterHoldsTheFccSitesAroundTheEmitter)
{
    LwCluster cluster = ReadCluster();
    ASSERT_EQ(cluster.size(), 1u);
    const LwStructure& atoms = cluster[0];

    int expected = 0;
    int perLayer[5] = {};  // k = 2, 1, 0, -1, -2
    for (int i = -4; i <= 4; ++i)
        for (int j = -4; j <= 4; ++j)
            for (int k = -4; k <= 2; ++k)
                if ((i + j + k) % 2 == 0 &&
                    std::sqrt(double(i * i + j * j + k * k)) * kA / 2 <= kClusterRadius) {
                    ++expected;
                    if (k >= -2)
                        ++perLayer[2 - k];
                }
    EXPECT_EQ(int(atoms.size()), expected);
    EXPECT_EQ(expected, 43);

    int found[5] = {};
    for (std::size_t n = 0; n < atoms.size(); ++n) {
        SCOPED_TRACE(n);
        const LwLDoubleMatrix p = atoms[n].GetPositionAngstrom();
        EXPECT_EQ(atoms[n].Name_, "Cu");
        EXPECT_EQ(atoms[n].Atom_, "Cu");
        EXPECT_TRUE(atoms[n].U_.IsEmpty());
        // Coordinates are whole multiples of a/2 (six digits in the file).
        int index[3];
        for (int e = 0; e < 3; ++e) {
            const double h = double(p[e]) / (kA / 2);
            index[e] = int(std::lround(h));
            EXPECT_NEAR(h, index[e], 1e-5);
        }
        EXPECT_EQ((index[0] + index[1] + index[2]) % 2, 0);
        ASSERT_GE(index[2], -2);
        ASSERT_LE(index[2], 2);
        ++found[2 - index[2]];
        // The emitter, then the 12 nearest neighbours at a / sqrt(2), then
        // the farther atoms.
        const double distance = std::sqrt(double(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
        if (n == 0)
            EXPECT_EQ(index[0] * index[0] + index[1] * index[1] + index[2] * index[2], 0);
        else if (n <= 12)
            EXPECT_NEAR(distance, kA / std::sqrt(2.0), 1e-5);
        else
            EXPECT_GT(distance, kA / std::sqrt(2.0) + 0.5);
    }
    for (int layer = 0; layer < 5; ++layer)
        EXPECT_EQ(found[layer], perLayer[layer]) << "layer z = " << (2 - layer) << " a/2";
}

TEST(CopperExample, EmittedWaveIsAPWaveOfFiveHundredElectronvolts)
{
    const LwDocFinalState emitted = ReadEmitter();
    ASSERT_EQ(emitted.ListEmitter.size(), 1u);
    const LwEmitterEntry& wave = emitted.ListEmitter[0];
    EXPECT_EQ(wave.Ek, 500.0);
    EXPECT_EQ(wave.Ratio, 1.0);
    EXPECT_FALSE(wave.IsPlaneWave);
    ASSERT_EQ(wave.coeff.GetL(), 2);
    for (int l = 0; l < 2; ++l)
        for (int m = -l; m <= l; ++m)
            EXPECT_EQ(wave.coeff(l, m), LComplex(l == 1 && m == 0 ? 1 : 0, 0)) << l << "," << m;
}

// What the scattering set-up and the loop look up: an entry whose energy
// equals the emitted wave's exactly and whose name equals every atom's name,
// a t-vector of twelve l values, and the outer radius of the radial data at
// the muffin-tin radius a / (2 sqrt 2).
TEST(CopperExample, PhaseShiftsServeEveryAtomAtTheEmittedEnergy)
{
    const LwCluster cluster = ReadCluster();
    const LwDocFinalState emitted = ReadEmitter();
    const LwDocScatteringPhaseShift phaseShifts = ReadPhaseShifts();
    ASSERT_EQ(phaseShifts.ListScatteringPhaseShift.size(), 1u);
    const LwPhaseShiftEntry& entry = phaseShifts.ListScatteringPhaseShift[0];

    EXPECT_EQ(entry.Ek_eV, emitted.ListEmitter[0].Ek);
    EXPECT_EQ(entry.AtomElement, "Cu");
    for (const LwClusterAtom& atom : cluster[0])
        EXPECT_EQ(atom.Name_, entry.AtomName);

    ASSERT_EQ(entry.PhaseShiftValue.VectorSize(), 12);
    ASSERT_EQ(entry.TVector.VectorSize(), 12);
    for (int l = 0; l < 12; ++l) {
        SCOPED_TRACE(l);
        const double delta = double(entry.PhaseShiftValue[l]);
        EXPECT_GT(delta, -90.0);
        EXPECT_LE(delta, 90.0);
        // t = e^{2 i delta} - 1 lies on the unitarity circle |1 + t| = 1.
        EXPECT_NEAR(std::abs(LComplex(1) + entry.TVector[l]), 1.0, 1e-12);
    }
    // Above l = 4 the phase shifts fall off steadily towards zero.
    for (int l = 5; l < 12; ++l)
        EXPECT_LT(entry.PhaseShiftValue[l], entry.PhaseShiftValue[l - 1]) << "l = " << l;
    EXPECT_GT(entry.PhaseShiftValue[11], 0);
    EXPECT_LT(entry.PhaseShiftValue[11], 5);

    ASSERT_FALSE(entry.LnX.empty());
    EXPECT_NEAR(std::exp(entry.LnX.back()), kA / (2 * std::sqrt(2.0)) * Reference::Angstrom_m,
                1e-5 * 1.278e-10);
    ASSERT_EQ(entry.P.size(), 12u);
    for (const auto& row : entry.P)
        EXPECT_EQ(row.size(), entry.LnX.size());
}

TEST(CopperExample, FluctuationIsTheDebyeModelAtRoomTemperature)
{
    LwDocFluctuation fluctuation;
    LwBarnFile file(kFolder + "fluctuation.xml_flu", "r");
    ASSERT_TRUE(fluctuation.LoadSave(file));
    EXPECT_EQ(fluctuation.Temperature_K_, 300.0);
    EXPECT_EQ(fluctuation.DebyeElement_, std::vector<std::string>{"Cu"});
    EXPECT_EQ(fluctuation.DebyeTemperature_K_, std::vector<double>{343.0});
    EXPECT_FALSE(fluctuation.IsUseUisoInCluster_);
    EXPECT_FALSE(fluctuation.IsUseUisoEinsteinModel_);
    EXPECT_TRUE(fluctuation.IsUseUisoDebyeModel_);
}
