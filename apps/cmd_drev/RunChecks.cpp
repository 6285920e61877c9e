#include "RunChecks.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwUsableMemory.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwVectorFreeElectron.h"
#include "pattern/LwProjection.h"
#include "LwSimulationDocument.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace {

// Memory of the pattern step per pixel. The grid holds six intensity planes
// and four direction and weight matrices (long double each); the pattern
// document builds its grid again while the old one still exists, adds two
// angle matrices, and the save converts a plane to float. Measured peak
// resident size: about 160 bytes per pixel; the estimate allows a margin.
constexpr std::uint64_t kPatternBytesPerPixel = 24 * sizeof(LDouble);

void CheckLength(double value, const char* what)
{
    if (!std::isfinite(value) || value < 0)
        throw LwError(std::string(what) + " must be a finite number >= 0 (read " +
                      DoubleToString(value / LwConst::Angstrom_m) + ")");
}

}  // namespace

std::uint64_t PatternMemoryBytes(int columns, int rows)
{
    return static_cast<std::uint64_t>(std::max(columns, 0)) * static_cast<std::uint64_t>(std::max(rows, 0)) *
           kPatternBytesPerPixel;
}

void CheckPatternSettings(const CommandLineParameters& p)
{
    int columns = 0, rows = 0;
    p.Projection().GridSize(p.Resolution_deg, columns, rows);
    const std::uint64_t needed = PatternMemoryBytes(columns, rows);
    const std::uint64_t usable = UsableMemoryBytes();
    if (needed > usable)
        throw LwError("Illegal resolution: -R " + DoubleToString(p.Resolution_deg) + " gives an image of " +
                      IntToString(columns) + " x " + IntToString(rows) +
                      " pixels, whose calculation needs about " + GigabytesText(needed) + " of memory; " +
                      GigabytesText(usable) + " can be used here");
    CheckLength(p.LimitClusterSize_m, "Cluster-size limit -L");
    CheckLength(p.LowerLimit_m, "Lower limit -LL");
    if (std::isnan(p.MeanFreePath_m) || p.MeanFreePath_m < 0)
        throw LwError("Mean free path must not be negative");
    CheckLength(p.MeanFreePath_m, "Mean free path -MFPE/-MFPS/-MFPES");
}

void CheckThermalModel(const LwCluster& cluster, const LwDocScattering& scattering, bool fromCluster,
                       const LwDocFluctuation& fluctuation, const LwDebye& debye,
                       const std::string& fluctuationFile)
{
    // Only the Debye model can fail on an atom; the cluster's own U and the
    // Einstein model take precedence over it.
    if (fluctuation.IsUseUisoInCluster_ || fluctuation.IsUseUisoEinsteinModel_ ||
        !fluctuation.IsUseUisoDebyeModel_)
        return;
    std::set<LwLong> elements;
    if (fromCluster) {
        for (const LwStructure& structure : cluster)
            for (const LwClusterAtom& atom : structure) {
                LwAtomName name;
                name.SetAtomName(atom.Atom_);
                elements.insert(name.GetAtomicNumber());
            }
    } else {
        for (const LwScatteringData& record : scattering.ListScatteringData)
            for (const LwPartialWaveSource& source : record.ListScatterer.Sources())
                elements.insert(source.GetAtomicNumber());
    }
    // One source per element through the model itself, so the check and the
    // pattern step cannot disagree.
    LwVectorFreeElectron probe;
    for (LwLong z : elements) {
        LwPartialWaveSource source;
        source.SetAtomicNumber(z);
        probe.Sources().push_back(source);
    }
    try {
        SetDebyeModel(fluctuation, probe, debye);
    } catch (const LwError& e) {
        throw LwError(e.Message() + ": " + fluctuationFile);
    }
}

void CheckOutputNames(const CommandLineParameters& p)
{
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    if (p.IsScatteringStep) {
        inputs = {p.ClusterFileName, p.EmittedWaveFileName, p.PhaseShiftFileName};
        for (const auto& in : inputs)
            CheckNotSameFile(p.ScatteredWaveFileName, in);
        outputs.push_back(p.ScatteredWaveFileName);
    }
    if (p.IsPatternStep) {
        inputs.push_back(p.FluctuationFileName);
        inputs.push_back(p.ScatteredWaveFileName);
        for (const auto& in : inputs) {
            CheckNotSameFile(p.PatternImageFileName, in);
            if (p.IsI0Image)
                CheckNotSameFile(p.I0ImageFileName, in);
        }
        outputs.push_back(p.PatternImageFileName);
        if (p.IsI0Image)
            outputs.push_back(p.I0ImageFileName);
    }
    // The later of two outputs would silently replace the earlier one.
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            if (IsSameFile(outputs[i], outputs[j]))
                throw LwError("Two outputs name the same file: " + outputs[j]);
}

namespace {

// The files a signal handler removes. A handler may only call
// async-signal-safe functions and read lock-free data, so the names are
// copied into C strings when a file is created and never freed; an entry is
// complete before the count that exposes it grows.
constexpr int kMaxOutputs = 8;
char* gCreatedNames[kMaxOutputs] = {};
volatile std::sig_atomic_t gUnfinished[kMaxOutputs] = {};
volatile std::sig_atomic_t gCreatedCount = 0;
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void RemoveUnfinishedAndDie(int signalNumber)
{
    for (int i = 0; i < gCreatedCount; ++i)
        if (gUnfinished[i])
            ::unlink(gCreatedNames[i]);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

}  // namespace

RunOutputs::~RunOutputs()
{
    RemoveUnfinished();
}

void RunOutputs::Create(const std::string& fileName)
{
    if (gCreatedCount == 0)
        for (int s : kCleanupSignals)
            std::signal(s, RemoveUnfinishedAndDie);
    if (!CheckFileWritable(fileName))
        return;
    created_.push_back({fileName, false});
    if (gCreatedCount < kMaxOutputs) {
        gCreatedNames[gCreatedCount] = strdup(fileName.c_str());
        gUnfinished[gCreatedCount] = gCreatedNames[gCreatedCount] != nullptr;
        gCreatedCount = gCreatedCount + 1;
    }
}

void RunOutputs::Finished(const std::string& fileName)
{
    for (Entry& e : created_)
        if (e.name == fileName)
            e.finished = true;
    for (int i = 0; i < gCreatedCount; ++i)
        if (gCreatedNames[i] && fileName == gCreatedNames[i])
            gUnfinished[i] = 0;
}

void RunOutputs::Keep()
{
    for (int i = 0; i < gCreatedCount; ++i)
        gUnfinished[i] = 0;
    created_.clear();
}

void RunOutputs::RemoveUnfinished()
{
    for (int i = 0; i < gCreatedCount; ++i)
        gUnfinished[i] = 0;
    for (const Entry& e : created_)
        if (!e.finished)
            std::remove(e.name.c_str());
    created_.clear();
}
