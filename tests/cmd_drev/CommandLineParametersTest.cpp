#include "core/LwError.h"
#include "CommandLineParameters.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses a command line given as a list (the program name is prepended) and
// returns what it printed.
std::string Parse(CommandLineParameters& p, std::vector<const char*> args)
{
    args.insert(args.begin(), "cmd_drev");
    testing::internal::CaptureStdout();
    try {
        p.Parse(static_cast<int>(args.size()), args.data());
    } catch (...) {
        testing::internal::GetCapturedStdout();
        throw;
    }
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(CommandLine, DefaultsAndNoArgument)
{
    CommandLineParameters p;
    EXPECT_EQ(Parse(p, {}), "");
    EXPECT_FALSE(p.Proceed);
    EXPECT_EQ(p.ClusterFileName, "cluster.xml_cl");
    EXPECT_EQ(p.EmittedWaveFileName, "emitter.xml_emt");
    EXPECT_EQ(p.PhaseShiftFileName, "phaseshift.xml_ph");
    EXPECT_EQ(p.ScatteredWaveFileName, "scatteredwave.xml_sf");
    EXPECT_EQ(p.PatternImageFileName, "image.xml");
    EXPECT_EQ(p.I0ImageFileName, "_i0.xml");
    EXPECT_EQ(p.FluctuationFileName, "fluctuation.xml_flu");
    EXPECT_FALSE(p.IsScatteringStep || p.IsPatternStep || p.IsI0Image);
    EXPECT_EQ(p.Resolution_deg, 1.0);
    EXPECT_EQ(p.MappingMethod, CommandLineParameters::kAzimuthalEquidistant);
    EXPECT_EQ(p.ScatteringMethod, CommandLineParameters::kMulti);
}

TEST(CommandLine, FilesAndSteps)
{
    CommandLineParameters p;
    Parse(p, {"-C", "a.xml_cl", "-F", "e.xml_emt", "-P", "p.xml_ph", "-W", "w.xml_sf", "-T", "t.xml_flu",
              "-I", "i.xml_img", "-I0", "z.xml_img"});
    EXPECT_TRUE(p.Proceed);
    EXPECT_EQ(p.ClusterFileName, "a.xml_cl");
    EXPECT_EQ(p.EmittedWaveFileName, "e.xml_emt");
    EXPECT_EQ(p.PhaseShiftFileName, "p.xml_ph");
    EXPECT_EQ(p.ScatteredWaveFileName, "w.xml_sf");
    EXPECT_EQ(p.FluctuationFileName, "t.xml_flu");
    EXPECT_EQ(p.PatternImageFileName, "i.xml_img");
    EXPECT_EQ(p.I0ImageFileName, "z.xml_img");
    EXPECT_TRUE(p.IsScatteringStep && p.IsPatternStep && p.IsI0Image);

    const struct
    {
        std::vector<const char*> args;
        bool scattering, pattern;
    } steps[] = {
        {{"-T", "t"}, false, false},  // the fluctuation file alone requests nothing
        {{"-W", "w"}, false, false},
        {{"-I", "i"}, false, true},
        {{"-F", "f"}, true, false},
        {{"-P", "p"}, true, false},
        {{"-c", "x", "-Ix", "y", "-MFP", "3"}, false, false},  // case-sensitive, whole texts
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.args[0]);
        CommandLineParameters q;
        EXPECT_EQ(Parse(q, s.args), "");
        EXPECT_TRUE(q.Proceed);
        EXPECT_EQ(q.IsScatteringStep, s.scattering);
        EXPECT_EQ(q.IsPatternStep, s.pattern);
        EXPECT_EQ(q.MeanFreePath_m, 0.0);
    }
}

TEST(CommandLine, NumbersAndMessages)
{
    CommandLineParameters p;
    EXPECT_EQ(Parse(p, {"-R", "0.5", "-L", "12", "-LL", "2.5"}), "anglar_resolution 0.5\n");
    EXPECT_EQ(p.Resolution_deg, 0.5);
    EXPECT_DOUBLE_EQ(p.LimitClusterSize_m, 12e-10);
    EXPECT_DOUBLE_EQ(p.LowerLimit_m, 2.5e-10);

    CommandLineParameters e;
    EXPECT_EQ(Parse(e, {"-MFPE", "3"}), "MeanFreePath=3e-10;By Emitter Distance \n");
    EXPECT_DOUBLE_EQ(e.MeanFreePath_m, 3e-10);
    EXPECT_TRUE(e.IsMeanFreePathByEmitterDistance);
    EXPECT_FALSE(e.IsMeanFreePathByDepth);

    // The length is shared, the flags add up.
    CommandLineParameters sd;
    EXPECT_EQ(Parse(sd, {"-MFPS", "5", "-MFPE", "3"}),
              "MeanFreePath=5e-10; By Depth from surface.\nMeanFreePath=3e-10;By Emitter Distance \n");
    EXPECT_DOUBLE_EQ(sd.MeanFreePath_m, 3e-10);
    EXPECT_TRUE(sd.IsMeanFreePathByEmitterDistance && sd.IsMeanFreePathByDepth);

    CommandLineParameters both;
    EXPECT_EQ(Parse(both, {"-MFPES", "x"}), "MeanFreePath=0; By Emitter Distance and Depth from surface.\n");
    EXPECT_TRUE(both.IsMeanFreePathByEmitterDistance && both.IsMeanFreePathByDepth);

    // An option at the end takes the empty value.
    CommandLineParameters last;
    EXPECT_EQ(Parse(last, {"-R"}), "anglar_resolution 0\n");
    EXPECT_EQ(last.Resolution_deg, 0.0);
}

TEST(CommandLine, Methods)
{
    const struct
    {
        const char* value;
        LwLong method;
    } ms[] = {
        {"MULTI", CommandLineParameters::kMulti},
        {"SINGLE", CommandLineParameters::kSingle},
        {"SLOWMULTI", CommandLineParameters::kSlowMulti},
    };
    for (const auto& m : ms) {
        CommandLineParameters p;
        Parse(p, {"-MS", m.value, "-M", "EC"});
        EXPECT_EQ(p.ScatteringMethod, m.method) << m.value;
        EXPECT_EQ(p.MappingMethod, CommandLineParameters::kEquidistantCylindrical);
    }
    const struct
    {
        std::vector<const char*> args;
        const char* error;
    } bad[] = {
        {{"-MS", "multi"}, "Multiple scattering calculation method is not correct."},
        {{"-M", "ae"}, "Mapping method is not correct."},
        {{"-M"}, "Mapping method is not correct."},
        {{"-H", "-M", "XY"}, "Mapping method is not correct."},  // parsing goes on after -H
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.error);
        CommandLineParameters p;
        try {
            Parse(p, b.args);
            ADD_FAILURE() << "no error";
        } catch (const LwError& e) {
            EXPECT_EQ(e.Message(), b.error);
        }
    }
}

TEST(CommandLine, ValuesAreExaminedAsOptionsToo)
{
    CommandLineParameters p;
    Parse(p, {"-C", "-H"});
    EXPECT_EQ(p.ClusterFileName, "-H");
    EXPECT_FALSE(p.Proceed);
    EXPECT_TRUE(p.IsScatteringStep);

    CommandLineParameters q;
    Parse(q, {"-I", "out.xml_img", "-H"});
    EXPECT_FALSE(q.Proceed);
    EXPECT_TRUE(q.IsPatternStep);
}

TEST(CommandLine, ProjectionOfTheMappingNumber)
{
    const struct
    {
        std::vector<const char*> args;
        LwProjection projection;
    } rows[] = {
        {{}, LwProjection::AzimuthalEquidistant},
        {{"-M", "AE"}, LwProjection::AzimuthalEquidistant},
        {{"-M", "EC"}, LwProjection::EquidistantCylindrical},
        {{"-M", "EC", "-M", "AE"}, LwProjection::AzimuthalEquidistant},
    };
    for (const auto& r : rows) {
        CommandLineParameters p;
        Parse(p, r.args);
        EXPECT_EQ(p.Projection().GetName(), std::string(LwProjection(r.projection).GetName()))
            << (r.args.empty() ? "(none)" : r.args.back());
    }
    // A number that names neither projection, set past the parser.
    for (const LwLong number : {LwLong(-1), LwLong(2), LwLong(99)}) {
        CommandLineParameters p;
        p.MappingMethod = number;
        EXPECT_EQ(ErrorText([&] { p.Projection(); }), "Undefined mapping method") << number;
    }
}
