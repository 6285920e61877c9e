// cmd_drev: console simulator of photoelectron diffraction patterns.
//
// The scattering step reads a cluster, emitted waves and phase shifts, runs
// the multiple-scattering calculation and saves the scattered wave; the
// pattern step reads a fluctuation document (and the scattered wave, unless
// the scattering step has just computed it) and saves the pattern image.
// Every setting, output name and input document of both steps is checked
// before the first step starts; a failed run removes the outputs it created.

#include "core/LwADateTime.h"
#include "core/LwError.h"
#include "core/LwFileQt.h"
#include "core/TextUtilities.h"
#include "CommandLineParameters.h"
#include "LwInputChecks.h"
#include "LwSimulationDocument.h"
#include "RunChecks.h"
#include "SimulationSteps.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <filesystem>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>

namespace {

// The folder of the running program, with its final separator. argv[0]
// names it when the program was started with a path; started through PATH,
// argv[0] is a bare name and the kernel's link to the executable tells.
std::string ProgramDirectory(const char* argv0)
{
    const std::string dir = GetFileDirectory(argv0 ? argv0 : "");
    if (!dir.empty())
        return dir;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return dir;
    return exe.parent_path().string() + "/";
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // The re-expansion's tables and the waves' coefficient arrays are
    // allocated per atom and reach hundreds of kilobytes. glibc would map
    // each such block afresh and hand it back on free, and every first
    // touch of a fresh page faults; kept in the heap instead, the blocks of
    // one atom serve the next.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // glibc's largest allowed
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
    // Outlives the handlers below: a failed run removes the output files it
    // created and did not finish.
    RunOutputs outputs;
    try {
        CommandLineParameters p;
        p.Parse(argc, argv);
        if (!p.Proceed) {
            PrintUsage();
            return 0;
        }

        // The atomic weights lie beside the program.
        {
            const std::string name = ProgramDirectory(argv[0]) + "AtomicWeight.txt";
            LwFileQt file(QFile::decodeName(QByteArray::fromStdString(name)), "r");
            std::string text;
            file.ReadAll(text);
            LwSimulationDocument::Instance().Debye.LoadAtomicWeight(text);
            CheckAtomicWeightValues(LwSimulationDocument::Instance().Debye, name);
        }
        LwSimulationDocument& sim = LwSimulationDocument::Instance();

        LwADateTime start, end;
        start.SetNow();

        // Everything that can be checked without computing is checked before
        // the first step: the settings, the outputs (created here when new,
        // so an unwritable one stops the run at once) and every input
        // document with its values.
        if (p.IsPatternStep)
            CheckPatternSettings(p);
        CheckOutputNames(p);
        if (p.IsScatteringStep)
            outputs.Create(p.ScatteredWaveFileName);
        if (p.IsPatternStep) {
            outputs.Create(p.PatternImageFileName);
            if (p.IsI0Image)
                outputs.Create(p.I0ImageFileName);
        }

        if (p.IsScatteringStep) {
            LoadClusterFile(sim.Cluster, p.ClusterFileName);
            std::printf("Cluster loaded\n");
            LoadEmittedWaveFile(sim.EmittedWave, p.EmittedWaveFileName);
            std::printf("Emitter loaded\n");
            LoadPhaseShiftFile(*sim.PhaseShift, p.PhaseShiftFileName);
            std::printf("Phase shift loaded\n");
        }
        if (p.IsPatternStep) {
            LoadFluctuationFile(sim.Fluctuation, p.FluctuationFileName);
            std::printf("Fluctuation loaded\n");
            if (!p.IsScatteringStep) {
                std::printf("Loading scattering wave\n");
                std::fflush(stdout);
                LoadScatteredWaveFile(*sim.Scattering, p.ScatteredWaveFileName);
                std::printf("Loaded..");
            }
            CheckThermalModel(sim.Cluster, *sim.Scattering, p.IsScatteringStep, sim.Fluctuation, sim.Debye,
                              p.FluctuationFileName);
        }
        std::fflush(stdout);

        if (p.IsScatteringStep) {
            CalculateScattering(p.ScatteredWaveFileName, p.ScatteringMethod);
            outputs.Finished(p.ScatteredWaveFileName);
        }
        if (p.IsPatternStep) {
            CalculatePattern(p.Resolution_deg, p.LimitClusterSize_m, p.LowerLimit_m, p.PatternImageFileName,
                             p.IsI0Image, p.I0ImageFileName, p.Projection(), p.MeanFreePath_m,
                             p.IsMeanFreePathByEmitterDistance, p.IsMeanFreePathByDepth);
        }
        outputs.Keep();

        end.SetNow();
        std::printf("Finished: Calcuation time(s)= %ld\n",
                    static_cast<long>(static_cast<LwLong>(end.DiffSeconds(start))));
        return 0;
    } catch (const LwError& e) {
        std::printf("Error: %s\n", e.Message().c_str());
        return -1;
    } catch (...) {
        return -1;
    }
}
