#pragma once
// The settings of one cmd_drev run, all taken from its command line.
//
// Lengths given on the command line are in Angstrom and are stored in metres;
// the resolution stays in degrees.

#include "core/LwTypes.h"
#include "pattern/LwProjection.h"

#include <string>

class CommandLineParameters
{
public:
    // Multiple-scattering methods, stored as the scattering document's version.
    enum Method : LwLong { kSingle = 0, kSlowMulti = 1, kMulti = 2 };
    // Pattern projections.
    enum Mapping : LwLong {
        kAzimuthalEquidistant = LwProjection::AzimuthalEquidistant,
        kEquidistantCylindrical = LwProjection::EquidistantCylindrical
    };

    CommandLineParameters();

    // Fills the record from argc/argv. Every argument is examined as an option
    // in turn (the value of an option is examined again at the next index), an
    // option's value is the next argument or the empty text at the end.
    // Prints the confirmation lines of -R and the -MFP* options; throws LwError
    // for a bad -M or -MS value.
    void Parse(int argc, const char* const* argv);

    // The projection that MappingMethod names; LwError "Undefined mapping
    // method" for a number that names none.
    LwProjection Projection() const;

    std::string ClusterFileName = "cluster.xml_cl";
    std::string EmittedWaveFileName = "emitter.xml_emt";
    std::string PhaseShiftFileName = "phaseshift.xml_ph";
    std::string ScatteredWaveFileName = "scatteredwave.xml_sf";
    std::string PatternImageFileName = "image.xml";
    std::string I0ImageFileName = "_i0.xml";
    std::string FluctuationFileName = "fluctuation.xml_flu";
    bool Proceed = false;
    bool IsScatteringStep = false;
    bool IsPatternStep = false;
    bool IsI0Image = false;
    double Resolution_deg = 1.0;
    double LimitClusterSize_m = 0.0;  // 0: no limit
    double LowerLimit_m = 0.0;  // 0: none
    double MeanFreePath_m = 0.0;  // 0: none
    bool IsMeanFreePathByEmitterDistance = false;
    bool IsMeanFreePathByDepth = false;
    LwLong MappingMethod = kAzimuthalEquidistant;
    LwLong ScatteringMethod = kMulti;
};

// Writes the usage text to standard output.
void PrintUsage();
