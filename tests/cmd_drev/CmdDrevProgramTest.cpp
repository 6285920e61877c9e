// The cmd_drev program run as a user runs it: a temporary working folder,
// the built executable, its console output and exit code.

#include "core/LwBarnFile.h"
#include "core/LwDocData.h"
#include "physics/LwClusterDocument.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "pattern/LwSphericalMappingConvert.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "cmd_drev usage\n"
    "--Scattering Calculation ONLY\n"
    "cmd_drev -C <in_ClusterFileName> -F <in_EmittedWaveFileName> -P <in_PhaseShiftFileName>  -W "
    "<out_ScattereredWaveFileName> -MS <*Multiple scattering calcultion method: MULTI, SINGLE, SLOWMULTI>\n"
    "example: cmd_drev -C cluster.xml_cl -F emitter.xml_emt -P phaseshift.xml_ph -W scatteredwave.xml_sf\n"
    "Parameter -MS is optional. -MS: default is MULTI\n"
    "--Image Calculation ONLY\n"
    "cmd_drev -W <in_ScatteredWaveFileName> -T <FluctuationFileName> -I <out_PatternFileName.xml_img> -I0 "
    "<*out_I0_ImageFileName.xml_img> -R <*degree resolution: 1 or 0.5> -L <*LimitClusterSize(A)>  -M "
    "<*Mapping method: AE, EC>\n"
    "example: cmd_drev -W scatteredwave.xml_sf -I azmap.xml_img -R 0.5 -MFPE 3\n"
    "Parameters -I0, -R, -L -T -M -MFP are optional.\n R: default is 1degree\n L: default is no limit\n T: "
    "defalut is 0 K.\n"
    "-M: default is AE. AE: Azimuthal Equidistant map, EC: Equidistant cylindrical map\n"
    "-MFPE: Mean free path length(A). Effect is depends on the distance from emitter\n"
    "-MFPS: Mean free path length(A). Effect is depends on depth from surface\n"
    "-MFPES: Mean free path length(A). Effect is depends on the distance from emitter and depth from "
    "surface\n"
    "-LL <*Lower limit value(A)of cluster> for test\n"
    "--Scattering Calculation and Image calculation\n"
    "cmd_drev -C <in_ClusterFileName> -F <in_EmittedWaveFileName> -P <in_PhaseShiftFileName> -W "
    "<out_ScatteredWaveFileName> -I <out_PatternFileName.xml_img>\n"
    " All options are available\n"
    "example: cmd_drev -C cluster.xml_cl -F emitter.xml_emt -P phaseshift.xml_ph -W scatteredwave.xml_sf -I "
    "azmap.xml_img -R 0.5 \n";

struct ProgramRun
{
    int exitCode;
    std::string output;
};

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

class CmdDrevProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cmd_drev_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs `program` (the built cmd_drev unless given) in the test folder.
    ProgramRun Execute(const std::vector<std::string>& args, const std::string& program = CMD_DREV_PATH)
    {
        std::string command = "cd " + Quote(dir_.string()) + " && " + Quote(program);
        for (const auto& a : args)
            command += " " + Quote(a);
        command += " 2>/dev/null";  // Qt debug output (the weight table) goes to stderr
        FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        const int status = pclose(pipe);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1000, out};
    }

    std::string Example(const std::string& file) const
    {
        return std::string(LW_SOURCE_DIR) + "/examples/copper/" + file;
    }

    fs::path dir_;
};

// cmd_drev returns -1 on failure, which the shell sees as 255.
constexpr int kFailure = 255;

std::string LastLine(const std::string& out)
{
    std::string s = out;
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    const size_t p = s.rfind('\n');
    return p == std::string::npos ? s : s.substr(p + 1);
}

// Writes a document through its own serializer.
template <class Body>
void WriteDocument(const fs::path& file, Body body)
{
    LwBarnFile barn(file.string(), "w");
    body(barn);
    barn.Save();
}

// A copper dimer on the z axis (the emitter at the origin, the other atom
// dAngstrom above it), one s wave of ek eV with c00 = 1, and the copper phase
// shifts (degrees, l = 0, 1, ...) at that energy: the documents
// <prefix>.xml_cl, <prefix>.xml_emt and <prefix>.xml_ph, in the text forms.
void WriteDimerInputs(const fs::path& dir, const std::string& prefix, double ek, double dAngstrom,
                      const std::vector<double>& shiftsDeg)
{
    LwStructure structure(2);
    for (LwClusterAtom& atom : structure)
        atom.Name_ = atom.Atom_ = "Cu";
    LwLDoubleMatrix position(3);
    position[0] = 0;
    position[1] = 0;
    position[2] = dAngstrom;
    structure[1].SetPositionAngstrom(position);
    LwCluster cluster{structure};
    WriteDocument(dir / (prefix + ".xml_cl"),
                  [&](LwBarnXml& doc) { LoadSaveCrystalStructureData(cluster, doc, false); });

    LwDocFinalState emitted;
    LwEmitterEntry wave;
    wave.Ek = ek;
    wave.coeff.SetSizeZero(1);
    wave.coeff(0, 0) = LComplex(1, 0);
    emitted.ListEmitter.push_back(wave);
    WriteDocument(dir / (prefix + ".xml_emt"), [&](LwBarnXml& doc) { emitted.LoadSave(doc); });

    LwDocScatteringPhaseShift shifts;
    LwPhaseShiftEntry entry;
    entry.Ek_eV = ek;
    entry.AtomName = entry.AtomElement = "Cu";
    entry.PhaseShiftValue.Create(static_cast<int>(shiftsDeg.size()));
    for (std::size_t l = 0; l < shiftsDeg.size(); ++l)
        entry.PhaseShiftValue[static_cast<int>(l)] = shiftsDeg[l];
    shifts.ListScatteringPhaseShift.push_back(entry);
    WriteDocument(dir / (prefix + ".xml_ph"), [&](LwBarnXml& doc) { shifts.LoadSave(doc); });
}

}  // namespace

TEST_F(CmdDrevProgramTest, UsageWithoutArgumentsOrWithH)
{
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"-H"},
                             std::vector<std::string>{"-C", "x.xml_cl", "-H"}}) {
        const ProgramRun r = Execute(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.output, kUsage);
    }
}

TEST_F(CmdDrevProgramTest, NoStepStillLoadsWeightsAndTimes)
{
    const ProgramRun r = Execute({"-R", "2"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "anglar_resolution 2\nFinished: Calcuation time(s)= 0\n");
}

TEST_F(CmdDrevProgramTest, AtomicWeightsAreLookedForBesideTheProgram)
{
    // A copy of the program without the table beside it.
    const fs::path copy = dir_ / "cmd_drev";
    fs::copy_file(CMD_DREV_PATH, copy);
    const ProgramRun r = Execute({"-R", "1"}, copy.string());
    EXPECT_EQ(r.exitCode, kFailure);
    EXPECT_NE(r.output.find("Error: FILE CANNOT OPEN:"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("AtomicWeight.txt"), std::string::npos) << r.output;
}

TEST_F(CmdDrevProgramTest, ErrorsBeforeAnyCalculation)
{
    const struct
    {
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {{"-M", "XY"}, "Error: Mapping method is not correct."},
        {{"-MS", "DOUBLE"}, "Error: Multiple scattering calculation method is not correct."},
        {{"-C", "missing.xml_cl", "-I", "no/such/dir/image.xml_img"},
         "Error: File Cannot Write no/such/dir/image.xml_img"},
        {{"-C", "cluster.XYZ"}, "Error: Cannot load cluster file. Please use .xyz or .xml_cl"},
        {{"-C", "missing.xml_cl"}, "Error: missing.xml_cl: Cannot File Open"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        const ProgramRun r = Execute(row.args);
        EXPECT_EQ(r.exitCode, kFailure);
        EXPECT_EQ(LastLine(r.output), row.message) << r.output;
        // The cluster is never read when an output cannot be written.
        EXPECT_EQ(r.output.find("loaded cluster"), std::string::npos);
    }
}

TEST_F(CmdDrevProgramTest, AFailedRunLeavesExistingOutputsAlone)
{
    std::ofstream(dir_ / "old.xml_sf") << "old contents";
    const ProgramRun r =
        Execute({"-C", "missing.xml_cl", "-W", "old.xml_sf", "-I", "img.xml_img", "-I0", "i0.xml_img"});
    EXPECT_EQ(r.exitCode, kFailure);
    // The outputs the run had created are removed again; the old one stays.
    EXPECT_FALSE(fs::exists(dir_ / "img.xml_img"));
    EXPECT_FALSE(fs::exists(dir_ / "i0.xml_img"));
    EXPECT_EQ(fs::file_size(dir_ / "old.xml_sf"), 12u);
    // "-I0" without "-I" neither checks nor writes the I0 file.
    const ProgramRun noPattern = Execute({"-I0", "only.xml_img"});
    EXPECT_EQ(noPattern.exitCode, 0);
    EXPECT_FALSE(fs::exists(dir_ / "only.xml_img"));
}

TEST_F(CmdDrevProgramTest, OutputsThatNameAnInputAreRefused)
{
    std::ofstream(dir_ / "c.xml_cl") << "<lw_crystal_structure_data></lw_crystal_structure_data>";
    const struct
    {
        std::vector<std::string> args;
        const char* output;
    } rows[] = {
        {{"-C", "c.xml_cl", "-W", "c.xml_cl"}, "c.xml_cl"},
        {{"-C", "c.xml_cl", "-W", "./c.xml_cl"}, "./c.xml_cl"},
        {{"-W", "w.xml_sf", "-I", "w.xml_sf"}, "w.xml_sf"},
        {{"-T", "t.xml_flu", "-I", "x.xml_img", "-I0", "t.xml_flu"}, "t.xml_flu"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.output);
        const ProgramRun r = Execute(row.args);
        EXPECT_EQ(r.exitCode, kFailure);
        EXPECT_EQ(LastLine(r.output), std::string("Error: Output file is also an input file: ") + row.output);
    }
    EXPECT_GT(fs::file_size(dir_ / "c.xml_cl"), 0u);
}

TEST_F(CmdDrevProgramTest, FoundThroughPathItStillFindsItsWeights)
{
    const std::string folder = fs::path(CMD_DREV_PATH).parent_path().string();
    const std::string command = "cd " + Quote(dir_.string()) + " && PATH=" + Quote(folder) +
                                ":\"$PATH\" cmd_drev -R 1 >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

namespace {

LwFloatMatrix ReadImage(const fs::path& file)
{
    LwBarnFile barn(file.string(), "r");
    LwDocData doc;
    EXPECT_TRUE(doc.Serialize(barn));
    EXPECT_EQ(doc.Images.size(), 1u);
    EXPECT_EQ(doc.InfoString["__SphereProjection.Name"].size(), 1u);
    return doc.Images.begin()->second;
}

// Largest pixel difference relative to the largest pixel; infinite for
// images of different shapes.
double ImageDifference(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize)
        return INFINITY;
    double diff = 0, peak = 0;
    for (LwLong i = 0; i < a.ElementCount(); ++i) {
        diff = std::max(diff, double(std::fabs(a.Buffer()[i] - b.Buffer()[i])));
        peak = std::max(peak, double(std::fabs(a.Buffer()[i])));
    }
    return diff / peak;
}

}  // namespace

TEST_F(CmdDrevProgramTest, CopperExampleWithEveryMethod)
{
    const std::vector<std::string> inputs = {
        "-C", Example("cluster.xml_cl"),    "-F", Example("emitter.xml_emt"),
        "-P", Example("phaseshift.xml_ph"), "-T", Example("fluctuation.xml_flu")};
    for (const char* method : {"SINGLE", "MULTI", "SLOWMULTI"}) {
        SCOPED_TRACE(method);
        std::vector<std::string> args = inputs;
        args.insert(args.end(), {"-MS", method, "-W", "wave.xml_sf", "-I", "both.xml_img", "-I0",
                                 "i0.xml_img", "-R", "2"});
        const ProgramRun both = Execute(args);
        ASSERT_EQ(both.exitCode, 0) << both.output;
        EXPECT_EQ(both.output.find("Loading scattering wave"), std::string::npos);
        EXPECT_NE(both.output.find("Scattering data =1\n"), std::string::npos);

        LwBarnFile sf((dir_ / "wave.xml_sf").string(), "r");
        LwDocScattering scattering;
        ASSERT_TRUE(scattering.LoadSave(sf));
        ASSERT_EQ(scattering.ListScatteringData.size(), 1u);
        EXPECT_EQ(scattering.ListScatteringData[0].ListScatterer.Sources().size(), 43u);

        // The pattern step alone, on the saved scattered wave, gives the same image.
        const ProgramRun alone = Execute(
            {"-W", "wave.xml_sf", "-T", Example("fluctuation.xml_flu"), "-I", "alone.xml_img", "-R", "2"});
        ASSERT_EQ(alone.exitCode, 0) << alone.output;
        EXPECT_NE(alone.output.find("Loading scattering wave\n"), std::string::npos);
        const LwFloatMatrix image = ReadImage(dir_ / "both.xml_img");
        EXPECT_EQ(image.ColSize, 91);
        EXPECT_EQ(image.RowSize, 91);
        // The scattered-wave document stores the atom positions as six-digit
        // text, so the pattern of the saved wave may differ in the last bits
        // of the amplitudes: visible only where the pattern is ~1e-32.
        EXPECT_LT(ImageDifference(image, ReadImage(dir_ / "alone.xml_img")), 1e-7);
        // The I0 image is the p wave alone: 3 cos^2(theta) / (4 pi) at the centre.
        const LwFloatMatrix i0 = ReadImage(dir_ / "i0.xml_img");
        EXPECT_NEAR(i0(45, 45), 3 / (4 * M_PI), 1e-6);
        EXPECT_GT(ImageDifference(image, i0), 0.1);
    }
}

TEST_F(CmdDrevProgramTest, TwoAtomSingleScatteringMatchesTheAnalyticPattern)
{
    // An s-wave emitter at the origin and one s-wave scatterer at distance d
    // on the z axis, no vibration, no mean free path. In the far field the
    // direct wave is c00 Y00 and the singly scattered wave adds
    // f0 e^{ikd(1 - cos theta)} / d with f0 = (e^{2 i delta0} - 1) / (2ik),
    // so the pattern is |c00|^2 / (4 pi) |1 + f0 e^{ikd(1 - cos theta)} / d|^2.
    const double ek = 500.0, dAngstrom = 2.5, delta0 = 0.7;
    WriteDimerInputs(dir_, "two", ek, dAngstrom, {delta0 * 180 / M_PI});
    LwDocFluctuation still;  // 0 K, no thermal model
    WriteDocument(dir_ / "still.xml_flu", [&](LwBarnXml& doc) { still.LoadSave(doc); });

    const ProgramRun r =
        Execute({"-C", "two.xml_cl", "-F", "two.xml_emt", "-P", "two.xml_ph", "-T", "still.xml_flu", "-MS",
                 "SINGLE", "-W", "two.xml_sf", "-I", "two.xml_img", "-R", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const LwFloatMatrix image = ReadImage(dir_ / "two.xml_img");
    ASSERT_EQ(image.ColSize, 91);

    // k from E = (hbar k)^2 / (2 m), with the suite's constants.
    const double k = Reference::ElectronWaveNumber_perm(ek);
    const double d = dAngstrom * Reference::Angstrom_m;
    const std::complex<double> i(0, 1);
    const std::complex<double> f0 = (std::exp(2.0 * i * delta0) - 1.0) / (2.0 * i * k);
    LwConvertAzimuthalEquidistantMap map;
    double worst = 0;
    int pixels = 0;
    for (int row = 0; row < 91; ++row)
        for (int col = 0; col < 91; ++col) {
            double x, y, z, w;
            if (!map.PixelToDirection(x, y, z, w, col, row, 91, 91))
                continue;
            const double expected = std::norm(1.0 + f0 * std::exp(i * k * d * (1 - z)) / d) / (4 * M_PI);
            worst = std::max(worst, std::fabs(image(col, row) - expected) / expected);
            ++pixels;
        }
    EXPECT_GT(pixels, 6000);
    // The run re-expands the wave numerically at EPS 0.01 (cmd_drev's
    // accuracy); the scattered wave is a fraction |f0|/d ~ 0.3 of the direct
    // one, so the pattern carries a fraction of that error.
    EXPECT_LT(worst, 1e-3) << "worst relative pixel error";
}

// The pattern-step options on one scattered wave of the copper example.
class CmdDrevPatternOptionsTest : public CmdDrevProgramTest
{
protected:
    void SetUp() override
    {
        CmdDrevProgramTest::SetUp();
        const ProgramRun r = Execute({"-C", Example("cluster.xml_cl"), "-F", Example("emitter.xml_emt"), "-P",
                                      Example("phaseshift.xml_ph"), "-MS", "SINGLE", "-W", "wave.xml_sf"});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ASSERT_EQ(Execute(Pattern("plain.xml_img", {})).exitCode, 0);
    }
    std::vector<std::string> Pattern(const std::string& image, std::vector<std::string> more)
    {
        std::vector<std::string> args = {"-W", "wave.xml_sf", "-T", Example("fluctuation.xml_flu"),
                                         "-I", image,         "-R", "2"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

TEST_F(CmdDrevPatternOptionsTest, EveryOptionChangesTheImageAsAsked)
{
    const LwFloatMatrix plain = ReadImage(dir_ / "plain.xml_img");
    const struct
    {
        std::vector<std::string> more;
        const char* printed;
    } rows[] = {
        {{"-L", "3"}, ""},  // drops the atoms 3 A and farther
        {{"-LL", "2.6"}, ""},  // drops the nearest neighbours (2.56 A)
        {{"-MFPE", "5"}, "MeanFreePath=5e-10;By Emitter Distance \n"},
        {{"-MFPS", "5"}, "MeanFreePath=5e-10; By Depth from surface.\n"},
        {{"-MFPES", "5"}, "MeanFreePath=5e-10; By Emitter Distance and Depth from surface.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.more[0]);
        const ProgramRun r = Execute(Pattern("opt.xml_img", row.more));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output.rfind(std::string("anglar_resolution 2\n") + row.printed, 0), 0u) << r.output;
        EXPECT_GT(ImageDifference(plain, ReadImage(dir_ / "opt.xml_img")), 1e-3);
    }
    // A file name with non-ASCII bytes is written under exactly those bytes.
    const std::string umlaut = "bild_\xC3\xA4.xml_img";
    ASSERT_EQ(Execute(Pattern(umlaut, {})).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir_ / umlaut));

    const ProgramRun ec = Execute(Pattern("ec.xml_img", {"-M", "EC"}));
    ASSERT_EQ(ec.exitCode, 0) << ec.output;
    LwBarnFile barn((dir_ / "ec.xml_img").string(), "r");
    LwDocData doc;
    ASSERT_TRUE(doc.Serialize(barn));
    EXPECT_EQ(doc.InfoString["__SphereProjection.Name"], std::vector<std::string>{"EquidistantCylindrical"});
    EXPECT_EQ(doc.Images.begin()->second.ColSize, 180);
    EXPECT_EQ(doc.Images.begin()->second.RowSize, 91);
}

TEST_F(CmdDrevPatternOptionsTest, BadSettingsAndDocumentsAreErrors)
{
    std::ofstream(dir_ / "other.xml") << "<other_root><x>1</x></other_root>\n";
    const struct
    {
        std::vector<std::string> args;
        const char* message;
    } rows[] = {
        {Pattern("bad.xml_img", {"-R", "0"}), "Error: Illegal resolution"},
        {Pattern("bad.xml_img", {"-R", "fine"}), "Error: Illegal resolution"},
        {Pattern("bad.xml_img", {"-MFPE", "-3"}), "Error: Mean free path must not be negative"},
        {{"-W", "wave.xml_sf", "-T", "other.xml", "-I", "bad.xml_img"},
         "Error: Not a fluctuation document (no \"DocFluctuation\" rack): other.xml"},
        {{"-W", "other.xml", "-T", Example("fluctuation.xml_flu"), "-I", "bad.xml_img"},
         "Error: Not a scattered-wave document (no \"DREV_ScatteringData\" rack): other.xml"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        const ProgramRun r = Execute(row.args);
        EXPECT_EQ(r.exitCode, kFailure);
        // After a pattern-only load the line "Loaded.." has no line end.
        EXPECT_NE(LastLine(r.output).find(row.message), std::string::npos) << r.output;
    }
}

// ---------------------------------------------------------------------------
// Damaged and meaningless inputs: refused before any calculation, with the
// problem and the file named, and no file left behind or changed.

namespace {

// A small valid run: two copper atoms 2.5 A apart, one s wave at 500 eV, the
// phase shifts of copper at that energy, 300 K with a Debye temperature.
// Written through the documents' own serializers in the text forms that the
// damage below edits.
void WriteSmallInputs(const fs::path& dir)
{
    WriteDimerInputs(dir, "c", 500, 2.5, {40, 20});
    fs::rename(dir / "c.xml_emt", dir / "e.xml_emt");
    fs::rename(dir / "c.xml_ph", dir / "p.xml_ph");
    std::ofstream(dir / "c.xyz") << "2\ntwo copper atoms\nCu 0 0 0\nCu 0 0 2.5\n";

    LwDocFluctuation thermal;
    thermal.Temperature_K_ = 300;
    thermal.DebyeElement_ = {"Cu"};
    thermal.DebyeTemperature_K_ = {343};
    thermal.IsUseUisoDebyeModel_ = true;
    WriteDocument(dir / "t.xml_flu", [&](LwBarnXml& doc) { thermal.LoadSave(doc); });
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// Every file under `dir`: its name, size and a hash of its contents.
std::vector<std::string> Snapshot(const fs::path& dir)
{
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string text = ReadText(e.path());
        files.push_back(e.path().filename().string() + " " + std::to_string(text.size()) + " " +
                        std::to_string(std::hash<std::string>()(text)));
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CmdDrevRefusalsTest : public CmdDrevProgramTest
{
protected:
    void SetUp() override
    {
        CmdDrevProgramTest::SetUp();
        WriteSmallInputs(dir_);
        // The scattered wave of the small run, for the pattern-only rows.
        const ProgramRun r = Execute(
            {"-C", "c.xml_cl", "-F", "e.xml_emt", "-P", "p.xml_ph", "-W", "w.xml_sf", "-MS", "SINGLE"});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        for (const char* name : {"c.xml_cl", "c.xyz", "e.xml_emt", "p.xml_ph", "t.xml_flu", "w.xml_sf"})
            valid_.emplace_back(name, ReadText(dir_ / name));
    }

    // Restores the valid inputs and an old image that a run may replace only
    // on success.
    void Reset()
    {
        for (const auto& e : fs::directory_iterator(dir_))
            fs::remove_all(e.path());
        for (const auto& [name, text] : valid_)
            WriteText(dir_ / name, text);
        WriteText(dir_ / "old.xml_img", "old image");
    }

    std::vector<std::pair<std::string, std::string>> valid_;
};

// Both steps: new scattered-wave and I0 files, an existing pattern image.
const std::vector<std::string> kBothSteps = {"-C",  "c.xml_cl",       "-F", "e.xml_emt",  "-P", "p.xml_ph",
                                             "-T",  "t.xml_flu",      "-W", "new.xml_sf", "-I", "old.xml_img",
                                             "-I0", "new_i0.xml_img", "-R", "2"};
// The pattern step alone on the scattered wave w.xml_sf.
const std::vector<std::string> kPatternStep = {
    "-W", "w.xml_sf", "-T", "t.xml_flu", "-I", "old.xml_img", "-I0", "new_i0.xml_img", "-R", "2"};

struct Damage
{
    const char* file = "";  // input to damage ("" none)
    const char* marker = "";  // every occurrence of this text in it ...
    const char* with = nullptr;  // ... replaced by this, or (null) the text cut right after the first
    // Or a change made through the document's own serializer.
    void (*edit)(const fs::path& file) = nullptr;
};

// A NaN coefficient of the scattering atom (base64 doubles carry it exactly).
void NanCoefficient(const fs::path& file)
{
    LwDocScattering doc;
    {
        LwBarnFile in(file.string(), "r");
        ASSERT_TRUE(doc.LoadSave(in));
    }
    doc.ListScatteringData[0].NextListScatterer.Sources()[1].Outgoing()[0] = LComplex(NAN, 0);
    doc.ListScatteringData[0].ListScatterer = doc.ListScatteringData[0].NextListScatterer;
    LwBarnFile out(file.string(), "w");
    doc.LoadSave(out);
    out.Save();
}

struct RefusalRow
{
    const char* fault;
    Damage damage;
    std::vector<std::string> args;  // kBothSteps or kPatternStep ...
    std::vector<std::string> more;  // ... followed by these (a later option wins)
    const char* problem;  // in the error line
    const char* named;  // the file (or option) the error line names
};

}  // namespace

TEST_F(CmdDrevRefusalsTest, DamagedOrMeaninglessInputStopsTheRunBeforeAnyCalculation)
{
    const RefusalRow rows[] = {
        // Documents cut short.
        {"cluster cut inside an atom",
         {"c.xml_cl", "<z>2"},
         kBothSteps,
         {},
         "Document is cut short (\"z\" is not closed)",
         "c.xml_cl"},
        {"cluster cut after its first atom",
         {"c.xml_cl", "</i>"},
         kBothSteps,
         {},
         "Document is cut short (\"atoms\" is not closed)",
         "c.xml_cl"},
        {"emitted wave cut inside its coefficients",
         {"e.xml_emt", "<r>"},
         kBothSteps,
         {},
         "Document is cut short (\"r\" is not closed)",
         "e.xml_emt"},
        {"XYZ cluster cut short",
         {"c.xyz", "Cu 0 0 2.5\n", ""},
         kBothSteps,
         {"-C", "c.xyz"},
         "Document is cut short (structure 1 declares 2 atoms and holds 1)",
         "c.xyz"},
        {"scattered wave cut short",
         {"w.xml_sf", "<atom_list>"},
         kPatternStep,
         {},
         "Document is cut short",
         "w.xml_sf"},
        {"phase shifts cut inside a tag",
         {"p.xml_ph", "<Ek_e"},
         kBothSteps,
         {},
         "Illigal Tag Structure",
         "p.xml_ph"},
        // Values that are not finite or impossible.
        {"NaN phase shift",
         {"p.xml_ph", "4.000000e+01", "nan"},
         kBothSteps,
         {},
         "Phase-shift entry 1 (Cu): a phase shift is not a finite number",
         "p.xml_ph"},
        {"phase shifts at a negative energy",
         {"p.xml_ph", "<Ek_eV>500", "<Ek_eV>-500"},
         kBothSteps,
         {},
         "kinetic energy Ek_eV must be a finite number > 0",
         "p.xml_ph"},
        {"emitted wave at a negative energy",
         {"e.xml_emt", "<Ek>500", "<Ek>-500"},
         kBothSteps,
         {},
         "Emitted wave 1: kinetic energy Ek must be a finite number > 0",
         "e.xml_emt"},
        {"NaN coefficient in the scattered wave",
         {"w.xml_sf", "", nullptr, NanCoefficient},
         kPatternStep,
         {},
         "Scattered-wave record 1, source 2: a coefficient is not a finite number",
         "w.xml_sf"},
        {"scattered wave at a negative energy",
         {"w.xml_sf", "<Ek_eV>500", "<Ek_eV>-500"},
         kPatternStep,
         {},
         "Scattered-wave record 1: kinetic energy Ek_eV must be a finite number > 0",
         "w.xml_sf"},
        {"scattered-wave source at 1e308 m",
         {"w.xml_sf", "<z>2.5e-10", "<z>1e308"},
         kPatternStep,
         {},
         "coordinates must be finite and within",
         "w.xml_sf"},
        {"cluster atom at 1e308 Angstrom",
         {"c.xml_cl", "<z>2.5", "<z>1e308"},
         kBothSteps,
         {},
         "Structure 1, atom 2 (Cu): coordinates must be finite",
         "c.xml_cl"},
        {"negative temperature",
         {"t.xml_flu", "<Temperature_K_>300", "<Temperature_K_>-300"},
         kBothSteps,
         {},
         "Temperature_K_ must be a finite number >= 0",
         "t.xml_flu"},
        {"Debye temperature 0",
         {"t.xml_flu", "<i>343", "<i>0"},
         kPatternStep,
         {},
         "Debye temperature 1 (Cu) must be a finite number > 0",
         "t.xml_flu"},
        {"Debye model without copper's Debye temperature, both steps",
         {"t.xml_flu", "<r>Cu", "<r>Ag"},
         kBothSteps,
         {},
         "SetDebyeModel():Atomic Number is not defined",
         "t.xml_flu"},
        {"Debye model without copper's Debye temperature, pattern step",
         {"t.xml_flu", "<r>Cu", "<r>Ag"},
         kPatternStep,
         {},
         "SetDebyeModel():Atomic Number is not defined",
         "t.xml_flu"},
        {"Size_l larger than the coefficients",
         {"e.xml_emt", "<Size_l>1", "<Size_l>2"},
         kBothSteps,
         {},
         "Coefficient array \"coeff\": Size_l 2 but the \"Value\" rack holds 1 \"l\" racks",
         "e.xml_emt"},
        // Sizes that would allocate gigabytes before the data are looked at.
        {"emitted wave of 80 bytes declaring 12000 l values",
         {},
         kBothSteps,
         {"-F", LW_SOURCE_DIR "/tests/physics/data/emitted_wave_size_l_12000.xml_emt"},
         "Coefficient array \"coeff\": Size_l 12000 is not a number of l values from 0 to 1000",
         "emitted_wave_size_l_12000.xml_emt"},
        {"emitted wave of 24 entries declaring 1000 l values each and holding none",
         {},
         kBothSteps,
         {"-F", LW_SOURCE_DIR "/tests/physics/data/emitted_wave_entries_without_data.xml_emt"},
         "Emitted wave 1: Coefficient array \"coeff\": Size_l 1000 but no coefficients",
         "emitted_wave_entries_without_data.xml_emt"},
        {"emitted wave declaring the largest 32-bit size",
         {"e.xml_emt", "<Size_l>1", "<Size_l>2147483647"},
         kBothSteps,
         {},
         "Size_l 2147483647 is not a number of l values from 0 to 1000",
         "e.xml_emt"},
        {"scattered wave declaring 1000001 l values or more",
         {"w.xml_sf", "<Size_l>", "<Size_l>100000"},
         kPatternStep,
         {},
         "is not a number of l values from 0 to 1000",
         "w.xml_sf"},
        // Nothing to compute.
        {"emitter list tag misspelt",
         {"e.xml_emt", "<list_emitter>", "<list_emiter>"},
         kBothSteps,
         {},
         "Emitted-wave document holds no emitted wave",
         "e.xml_emt"},
        // Declared coefficients without their rack are missing, not zero:
        // refused as the entry is read.
        {"emitted wave without coefficients",
         {"e.xml_emt", "<Value>", "<Valeu>"},
         kBothSteps,
         {},
         "Emitted wave 1: Coefficient array \"coeff\": Size_l 1 but no coefficients",
         "e.xml_emt"},
        {"emitted wave with Size_l 0",
         {"e.xml_emt", "<Size_l>1", "<Size_l>0"},
         kBothSteps,
         {},
         "Emitted wave 1 has no coefficients",
         "e.xml_emt"},
        {"cluster without atoms",
         {"c.xml_cl", "<atoms>", "<atomz>"},
         kBothSteps,
         {},
         "Structure 1 has no atom",
         "c.xml_cl"},
        {"cluster without structures",
         {"c.xml_cl", "<list_structure>", "<list_structurez>"},
         kBothSteps,
         {},
         "Cluster is empity",
         "c.xml_cl"},
        {"scattered wave without records",
         {"w.xml_sf", "<ListScatteringData>", "<ListScatteringDatum>"},
         kPatternStep,
         {},
         "Scattered-wave document holds no record",
         "w.xml_sf"},
        {"phase shifts without entries",
         {"p.xml_ph", "<ListScatteringPhaseShift>", "<ListScatteringPhaseShifts>"},
         kBothSteps,
         {},
         "Phase-shift document holds no entry",
         "p.xml_ph"},
        // Settings of the pattern step, checked before the scattering step.
        {"resolution 0 in a combined run", {}, kBothSteps, {"-R", "0"}, "Illegal resolution", "0"},
        {"resolution that no memory holds", {}, kBothSteps, {"-R", "0.001"}, "needs about", "-R 0.001"},
        {"negative mean free path in a combined run",
         {},
         kBothSteps,
         {"-MFPE", "-3"},
         "Mean free path must not be negative",
         ""},
        {"negative cluster-size limit",
         {},
         kPatternStep,
         {"-L", "-1"},
         "Cluster-size limit -L must be a finite number >= 0",
         "-L"},
        {"missing fluctuation file in a combined run",
         {},
         kBothSteps,
         {"-T", "missing.xml_flu"},
         "Cannot File Open",
         "missing.xml_flu"},
        {"missing emitted-wave file",
         {},
         kBothSteps,
         {"-F", "missing.xml_emt"},
         "Cannot File Open",
         "missing.xml_emt"},
        // Outputs.
        {"pattern and I0 image in one file",
         {},
         kBothSteps,
         {"-I0", "old.xml_img"},
         "Two outputs name the same file",
         "old.xml_img"},
        {"pattern and I0 image in one file by another path",
         {},
         kPatternStep,
         {"-I0", "./old.xml_img"},
         "Two outputs name the same file",
         "./old.xml_img"},
        {"an output in a folder that does not exist",
         {},
         kBothSteps,
         {"-I0", "no/such/i0.xml_img"},
         "File Cannot Write",
         "no/such/i0.xml_img"},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.fault);
        Reset();
        const fs::path file = dir_ / row.damage.file;
        if (row.damage.edit) {
            row.damage.edit(file);
        } else if (*row.damage.file) {
            std::string text = ReadText(file);
            const std::string marker = row.damage.marker;
            size_t at = text.find(marker);
            ASSERT_NE(at, std::string::npos) << "marker not in " << row.damage.file;
            if (!row.damage.with)
                text.resize(at + marker.size());
            for (; row.damage.with && at != std::string::npos; at = text.find(marker, at + 1))
                text.replace(at, marker.size(), row.damage.with);
            WriteText(file, text);
        }
        const auto before = Snapshot(dir_);
        std::vector<std::string> args = row.args;
        args.insert(args.end(), row.more.begin(), row.more.end());

        const ProgramRun r = Execute(args);
        EXPECT_EQ(r.exitCode, kFailure) << r.output;
        const std::string line = LastLine(r.output);
        EXPECT_NE(line.find("Error: "), std::string::npos) << r.output;
        EXPECT_NE(line.find(row.problem), std::string::npos) << line;
        EXPECT_NE(line.find(row.named), std::string::npos) << line;
        // Refused before computing: neither step printed its start. (Each
        // refusal takes well under a second; the copper scattering step
        // alone takes tens of seconds, so the start line is the measure
        // that does not depend on the machine's load.)
        EXPECT_EQ(r.output.find("Calculation start"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("Start pattern calculation"), std::string::npos) << r.output;
        // No output created, none changed, no temporary file left.
        EXPECT_EQ(Snapshot(dir_), before);
    }
}

TEST_F(CmdDrevRefusalsTest, FileNamesAreUsedByteForByte)
{
    Reset();
    // A name of 254 bytes: the temporary file of the save must not be
    // longer than the file system allows.
    const std::string longName = std::string(250, 'x') + ".img";
    // Bytes that are not UTF-8 must not become U+FFFD (EF BF BD).
    const std::string ff = "bild_\xFF.xml_img";
    const std::string wave = "\xFEwave.xml_sf";
    const std::string xyz = "c\xFF.xyz";
    fs::rename(dir_ / "c.xyz", dir_ / xyz);

    const ProgramRun both = Execute({"-C", xyz, "-F", "e.xml_emt", "-P", "p.xml_ph", "-T", "t.xml_flu", "-MS",
                                     "SINGLE", "-W", wave, "-I", longName, "-I0", ff, "-R", "2"});
    ASSERT_EQ(both.exitCode, 0) << both.output;
    for (const std::string& name : {longName, ff, wave}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::exists(dir_ / name));
        EXPECT_GT(fs::file_size(dir_ / name), 100u);
    }
    // Nothing else was written: no replacement-character names, no
    // temporary files.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {
        "c.xml_cl", "e.xml_emt", "old.xml_img", "p.xml_ph", "t.xml_flu", "w.xml_sf", longName, ff, wave, xyz};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    // The pattern step alone reads the scattered wave under its own bytes.
    const ProgramRun alone = Execute({"-W", wave, "-T", "t.xml_flu", "-I", "alone.xml_img", "-R", "2"});
    EXPECT_EQ(alone.exitCode, 0) << alone.output;
}

TEST_F(CmdDrevProgramTest, ARunEndedBySignalRemovesTheOutputsItCreated)
{
    // The program is started directly, its output read until the scattering
    // step announces its start (the outputs exist by then), and ended there.
    std::ofstream(dir_ / "old.xml_img") << "old image";
    const std::vector<std::string> args = {CMD_DREV_PATH,
                                           "-C",
                                           Example("cluster.xml_cl"),
                                           "-F",
                                           Example("emitter.xml_emt"),
                                           "-P",
                                           Example("phaseshift.xml_ph"),
                                           "-T",
                                           Example("fluctuation.xml_flu"),
                                           "-W",
                                           "new.xml_sf",
                                           "-I",
                                           "old.xml_img",
                                           "-I0",
                                           "new_i0.xml_img"};
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        if (chdir(dir_.c_str()) != 0)
            _exit(127);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string output;
    char buffer[4096];
    ssize_t n;
    while (output.find("Calculation start") == std::string::npos &&
           (n = read(out[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(n));
    kill(pid, SIGTERM);
    while (read(out[0], buffer, sizeof buffer) > 0) {}
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_NE(output.find("Calculation start"), std::string::npos) << output;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;

    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"old.xml_img"});
    std::ifstream old(dir_ / "old.xml_img");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old image");
}
