#pragma once
// One pass of the multiple-scattering calculation over the atoms of a
// record, in dependency levels, with the results, the console lines, the
// stop query and the error an atom-after-atom run would give.
//
// The atoms of one level (see LwDocScattering::DependencyLevels) need only
// the results of lower levels, so they run in parallel on the OpenMP team,
// each thread with its own re-expansion calculator; a level of one atom runs
// on the calling thread with the shared calculator, which parallelises its
// re-expansion instead. The order of an atom-after-atom run is kept where it
// can be seen:
//   - the progress line and the stop query of an atom happen in atom order
//     within a level, one at a time; after the first yes nothing is asked
//     again and no further atom starts;
//   - each atom's console lines go to its own buffer and are printed in atom
//     order once every atom before it is done;
//   - an atom's error is kept in its own slot; atoms above the lowest failed
//     atom do not start, and the lowest one's error is the one rethrown.
//
// The per-atom state is written only by the thread that runs the atom; the
// lowest failure and the stop flag are atomics that every thread reads.
//
// Use: construct for one pass, Run, then read End and LastSizeL, then
// RethrowOrStopped. One object serves one pass on one thread.

#include "core/LwTypes.h"

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LwNotifyTerminate;
class LwWaveReexpansion;

class LwOrderedAtomPass
{
public:
    // The re-expansion calculators of the atoms that run in parallel, one per
    // OpenMP thread, kept for a whole calculation so that their sampling
    // spheres and tables are built once. Each runs its loops on its own
    // thread: the atoms already occupy the team, and nested teams would only
    // oversubscribe the cores.
    class TeamCalculators
    {
    public:
        explicit TeamCalculators(int threads);
        ~TeamCalculators();

        int Threads() const { return int(calculators_.size()); }
        // The calculator of one thread of the team; only that thread uses it.
        LwWaveReexpansion& OfThread(int thread) { return *calculators_[std::size_t(thread)]; }

    private:
        std::vector<std::unique_ptr<LwWaveReexpansion>> calculators_;
    };

    // Where the pass stands in the calculation's loops (0-based indices), for
    // the atoms' progress lines.
    struct Position
    {
        LwLong structure = 0, structureCount = 0;
        LwLong emittedWave = 0, emittedWaveCount = 0;
        LwLong pass = 0, passCount = 0;
    };

    // The step of one atom: scatters at `atom` with `calculator`, appends its
    // console lines to `console` and stores the t-vector length it read in
    // `sizeL` (also when it then fails). Failures are thrown.
    using Step =
        std::function<void(LwLong atom, LwWaveReexpansion& calculator, std::string& console, LwLong& sizeL)>;

    LwOrderedAtomPass(LwLong atomCount, const Position& position, LwNotifyTerminate& stop, Step step);

    // Runs the levels in order, then prints the console lines still held.
    // Errors of the steps and of the stop hook are kept, not thrown.
    void Run(const std::vector<std::vector<LwLong>>& levels, LwWaveReexpansion& alone, TeamCalculators& team);

    // Where an atom-after-atom run would have ended: at the atom whose stop
    // query said yes, or at the lowest failed atom when that comes first;
    // the atom count when neither happened.
    LwLong End() const;
    // The t-vector length read by the highest atom up to End (the last one
    // when End is the atom count) that read one; -1 when none did.
    LwLong LastSizeL() const;
    // Rethrows the lowest failed atom's error when it comes before the stop;
    // else true when the stop hook asked to stop.
    bool RethrowOrStopped() const;

private:
    // Progress line and stop query of `atom`, in its turn. False: the atom
    // does not run (a stop, or a lower atom has failed).
    bool Reach(LwLong atom);
    // Keeps the error being handled as `atom`'s and lowers the failure mark.
    void Fail(LwLong atom);
    // The atom's step, its error kept.
    void Scatter(LwLong atom, LwWaveReexpansion& calculator);
    // An atom alone in its level, on the calling thread.
    void RunAlone(LwLong atom, LwWaveReexpansion& calculator);
    // The atoms of one level on the team.
    void RunTeam(const std::vector<LwLong>& atoms, TeamCalculators& team);
    // Prints the lines of the reached atoms from printed_ on, in atom order,
    // up to the first atom not reached yet or up to `last`.
    void Flush(LwLong last);
    // The atom whose stop query said yes; the atom count when none did.
    LwLong StopAtom() const;

    const LwLong count_;
    const Position position_;
    LwNotifyTerminate& stop_;
    const Step step_;
    // Per atom, each written only by the thread that runs the atom: its
    // console lines, its error, the t-vector length it read, whether it was
    // reached (progress line out, stop asked) and whether the stop hook
    // answered yes for it.
    std::vector<std::string> console_;
    std::vector<std::exception_ptr> errors_;
    std::vector<LwLong> sizeL_;
    std::vector<char> reached_;
    std::vector<char> stoppedAt_;
    // The lowest failed atom so far (count_: none); atoms above it need not
    // start, as an atom-after-atom run would never have reached them.
    std::atomic<LwLong> lowestFailure_;
    std::atomic<bool> stopping_{false};
    // Atoms before this one have had their lines printed.
    std::size_t printed_ = 0;
};
