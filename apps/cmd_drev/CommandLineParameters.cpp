#include "CommandLineParameters.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"

#include <cstdio>

CommandLineParameters::CommandLineParameters() = default;

LwProjection CommandLineParameters::Projection() const
{
    switch (MappingMethod) {
    case kAzimuthalEquidistant: return LwProjection::AzimuthalEquidistant;
    case kEquidistantCylindrical: return LwProjection::EquidistantCylindrical;
    }
    throw LwError("Undefined mapping method");
}

void CommandLineParameters::Parse(int argc, const char* const* argv)
{
    if (argc == 1) {
        Proceed = false;
        return;
    }
    Proceed = true;
    for (int i = 0; i < argc; ++i) {
        const std::string option = argv[i] ? argv[i] : "";
        const std::string value = (i < argc - 1 && argv[i + 1]) ? argv[i + 1] : "";
        if (option == "-C") {
            ClusterFileName = value;
            IsScatteringStep = true;
        } else if (option == "-F") {
            EmittedWaveFileName = value;
            IsScatteringStep = true;
        } else if (option == "-T") {
            FluctuationFileName = value;
        } else if (option == "-P") {
            PhaseShiftFileName = value;
            IsScatteringStep = true;
        } else if (option == "-W") {
            ScatteredWaveFileName = value;
        } else if (option == "-I") {
            PatternImageFileName = value;
            IsPatternStep = true;
        } else if (option == "-H") {
            Proceed = false;
        } else if (option == "-R") {
            Resolution_deg = StringToDouble(value);
            std::printf("anglar_resolution %lg\n", Resolution_deg);
        } else if (option == "-L") {
            LimitClusterSize_m = StringToDouble(value) * LwConst::Angstrom_m;
        } else if (option == "-LL") {
            LowerLimit_m = StringToDouble(value) * LwConst::Angstrom_m;
        } else if (option == "-I0") {
            I0ImageFileName = value;
            IsI0Image = true;
        } else if (option == "-MS") {
            if (value == "MULTI")
                ScatteringMethod = kMulti;
            else if (value == "SINGLE")
                ScatteringMethod = kSingle;
            else if (value == "SLOWMULTI")
                ScatteringMethod = kSlowMulti;
            else
                throw LwError("Multiple scattering calculation method is not correct.");
        } else if (option == "-M") {
            if (value == "AE")
                MappingMethod = kAzimuthalEquidistant;
            else if (value == "EC")
                MappingMethod = kEquidistantCylindrical;
            else
                throw LwError("Mapping method is not correct.");
        } else if (option == "-MFPE") {
            MeanFreePath_m = StringToDouble(value) * LwConst::Angstrom_m;
            IsMeanFreePathByEmitterDistance = true;
            std::printf("MeanFreePath=%lg;By Emitter Distance \n", MeanFreePath_m);
        } else if (option == "-MFPS") {
            MeanFreePath_m = StringToDouble(value) * LwConst::Angstrom_m;
            IsMeanFreePathByDepth = true;
            std::printf("MeanFreePath=%lg; By Depth from surface.\n", MeanFreePath_m);
        } else if (option == "-MFPES") {
            MeanFreePath_m = StringToDouble(value) * LwConst::Angstrom_m;
            IsMeanFreePathByEmitterDistance = true;
            IsMeanFreePathByDepth = true;
            std::printf("MeanFreePath=%lg; By Emitter Distance and Depth from surface.\n", MeanFreePath_m);
        }
    }
}

void PrintUsage()
{
    static const char* const kLines[] = {
        "cmd_drev usage\n",
        "--Scattering Calculation ONLY\n",
        "cmd_drev -C <in_ClusterFileName> -F <in_EmittedWaveFileName> -P <in_PhaseShiftFileName>  -W "
        "<out_ScattereredWaveFileName> -MS <*Multiple scattering calcultion method: MULTI, SINGLE, "
        "SLOWMULTI>\n",
        "example: cmd_drev -C cluster.xml_cl -F emitter.xml_emt -P phaseshift.xml_ph -W "
        "scatteredwave.xml_sf\n",
        "Parameter -MS is optional. -MS: default is MULTI\n",
        "--Image Calculation ONLY\n",
        "cmd_drev -W <in_ScatteredWaveFileName> -T <FluctuationFileName> -I <out_PatternFileName.xml_img> "
        "-I0 <*out_I0_ImageFileName.xml_img> -R <*degree resolution: 1 or 0.5> -L <*LimitClusterSize(A)>  -M "
        "<*Mapping method: AE, EC>\n",
        "example: cmd_drev -W scatteredwave.xml_sf -I azmap.xml_img -R 0.5 -MFPE 3\n",
        "Parameters -I0, -R, -L -T -M -MFP are optional.\n R: default is 1degree\n L: default is no limit\n "
        "T: defalut is 0 K.\n",
        "-M: default is AE. AE: Azimuthal Equidistant map, EC: Equidistant cylindrical map\n",
        "-MFPE: Mean free path length(A). Effect is depends on the distance from emitter\n",
        "-MFPS: Mean free path length(A). Effect is depends on depth from surface\n",
        "-MFPES: Mean free path length(A). Effect is depends on the distance from emitter and depth from "
        "surface\n",
        "-LL <*Lower limit value(A)of cluster> for test\n",
        "--Scattering Calculation and Image calculation\n",
        "cmd_drev -C <in_ClusterFileName> -F <in_EmittedWaveFileName> -P <in_PhaseShiftFileName> -W "
        "<out_ScatteredWaveFileName> -I <out_PatternFileName.xml_img>\n",
        " All options are available\n",
        "example: cmd_drev -C cluster.xml_cl -F emitter.xml_emt -P phaseshift.xml_ph -W scatteredwave.xml_sf "
        "-I azmap.xml_img -R 0.5 \n",
    };
    for (const char* line : kLines)
        std::fputs(line, stdout);
}
