#pragma once
// What cmd_drev checks before its first step, and the output files a failed
// run must not leave behind.
//
// A run on a large cluster can compute for hours; every setting and file name
// that can be checked without computing is checked first, so that a mistake
// costs seconds.

#include "physics/LwClusterAtom.h"
#include "CommandLineParameters.h"

#include <cstdint>
#include <string>
#include <vector>

class LwDebye;
class LwDocFluctuation;
class LwDocScattering;

// The settings of the pattern step: the resolution gives an image the grid
// builders accept and whose calculation fits the memory the machine can give
// now (UsableMemoryBytes); the cluster-size limit, the lower limit and the
// mean free path are finite and not negative. Throws LwError naming the
// option.
void CheckPatternSettings(const CommandLineParameters& p);

// No output names an input of the run ("Output file is also an input file:
// <output>") and no two outputs name one file, by path or by identity ("Two
// outputs name the same file: <output>").
void CheckOutputNames(const CommandLineParameters& p);

// The thermal model that the fluctuation settings choose can be applied to
// every atom of the run: the Debye model needs a Debye temperature for each
// element. The atoms are those of the cluster (both steps) or the sources of
// the scattered wave (pattern step alone). Throws the model's own LwError
// with ": <fluctuation file>" appended.
void CheckThermalModel(const LwCluster& cluster, const LwDocScattering& scattering, bool fromCluster,
                       const LwDocFluctuation& fluctuation, const LwDebye& debye,
                       const std::string& fluctuationFile);

// Bytes the pattern step needs for an image of columns x rows pixels.
std::uint64_t PatternMemoryBytes(int columns, int rows);

// The output files of a run. Create proves each writable before any
// calculation (a new file is created empty, an existing one is left as it
// is); Finished marks one as completely written by its step. Unless the run
// ends with Keep, every file this run created and did not finish is removed
// again, so a failed run leaves no empty or partial file behind, and a file
// that existed before is never removed. The same happens when the run is
// ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE (an interrupted calculation, a
// closed terminal or pipe); the signal then ends the process as it would
// have. One object per process.
class RunOutputs
{
public:
    RunOutputs() = default;
    ~RunOutputs();
    RunOutputs(const RunOutputs&) = delete;
    RunOutputs& operator=(const RunOutputs&) = delete;

    void Create(const std::string& fileName);
    void Finished(const std::string& fileName);
    // The run succeeded: nothing is removed.
    void Keep();
    // Removes the created files that were not finished.
    void RemoveUnfinished();

private:
    struct Entry
    {
        std::string name;
        bool finished = false;
    };
    std::vector<Entry> created_;
};
