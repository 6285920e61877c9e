// One ordered pass over the atoms of a scattering record.

#include "physics/LwOrderedAtomPass.h"

#include "core/LwNotifyTerminate.h"
#include "physics/LwWaveReexpansion.h"

#include <omp.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

LwOrderedAtomPass::TeamCalculators::TeamCalculators(int threads)
    : calculators_(std::size_t(threads > 0 ? threads : 1))
{
    for (std::unique_ptr<LwWaveReexpansion>& slot : calculators_) {
        slot.reset(new LwWaveReexpansion);
        slot->SetThreadCount(1);
    }
}

LwOrderedAtomPass::TeamCalculators::~TeamCalculators() = default;

LwOrderedAtomPass::LwOrderedAtomPass(LwLong atomCount, const Position& position, LwNotifyTerminate& stop,
                                     Step step)
    : count_(atomCount), position_(position), stop_(stop), step_(std::move(step)),
      console_(std::size_t(atomCount)), errors_(std::size_t(atomCount)), sizeL_(std::size_t(atomCount), -1),
      reached_(std::size_t(atomCount), 0), stoppedAt_(std::size_t(atomCount), 0), lowestFailure_(atomCount)
{}

// Up to the stop query an atom runs in its turn, in atom order within the
// level: the hook is asked in the order an atom-after-atom run asks it, and
// never again once it has said yes.
bool LwOrderedAtomPass::Reach(LwLong atom)
{
    const std::size_t a = std::size_t(atom);
    if (stopping_.load() || atom > lowestFailure_.load())
        return false;
    const Position& p = position_;
    console_[a] +=
        "StIndex: " + std::to_string(long(p.structure + 1)) + "/" + std::to_string(long(p.structureCount)) +
        ", EWIndex: " + std::to_string(long(p.emittedWave + 1)) + "/" +
        std::to_string(long(p.emittedWaveCount)) + ", MuIndex: " + std::to_string(long(p.pass + 1)) + "/" +
        std::to_string(long(p.passCount)) + ", AtIndex: " + std::to_string(long(atom + 1)) + " / " +
        std::to_string(long(count_)) + "\n";
    reached_[a] = 1;
    if (stop_.IsTerminate()) {
        stoppedAt_[a] = 1;
        stopping_.store(true);
        return false;
    }
    return true;
}

void LwOrderedAtomPass::Fail(LwLong atom)
{
    errors_[std::size_t(atom)] = std::current_exception();
    LwLong seen = lowestFailure_.load();
    while (atom < seen && !lowestFailure_.compare_exchange_weak(seen, atom)) {}
}

void LwOrderedAtomPass::Scatter(LwLong atom, LwWaveReexpansion& calculator)
{
    const std::size_t a = std::size_t(atom);
    try {
        step_(atom, calculator, console_[a], sizeL_[a]);
    } catch (...) {
        Fail(atom);
    }
}

void LwOrderedAtomPass::RunAlone(LwLong atom, LwWaveReexpansion& calculator)
{
    bool go = false;
    try {
        go = Reach(atom);
    } catch (...) {
        Fail(atom);
    }
    if (go)
        Scatter(atom, calculator);
}

// Atoms differ in cost (incident waves of different size, the re-expansion's
// iteration count), so each thread takes the next atom when it is free. Atoms
// are taken in increasing order, so the thread waiting for its turn to ask
// the stop hook waits only for atoms already taken, which never wait for it.
// Nothing leaves the region: Reach and Scatter keep every error in the
// atom's slot.
void LwOrderedAtomPass::RunTeam(const std::vector<LwLong>& atoms, TeamCalculators& team)
{
    const int threads = team.Threads();
    const long size = long(atoms.size());
    std::atomic<long> taken{0};
    std::atomic<long> turn{0};
#pragma omp parallel num_threads(threads)
    {
        LwWaveReexpansion& calculator = team.OfThread(omp_get_thread_num());
        for (long t = taken.fetch_add(1); t < size; t = taken.fetch_add(1)) {
            const LwLong atom = atoms[std::size_t(t)];
            while (turn.load(std::memory_order_acquire) != t)
                std::this_thread::yield();
            bool go = false;
            try {
                go = Reach(atom);
            } catch (...) {
                Fail(atom);
            }
            turn.store(t + 1, std::memory_order_release);
            if (go)
                Scatter(atom, calculator);
        }
    }
}

void LwOrderedAtomPass::Flush(LwLong last)
{
    const std::size_t n = std::size_t(count_);
    while (printed_ < n && LwLong(printed_) <= last && reached_[printed_]) {
        std::fputs(console_[printed_].c_str(), stdout);
        std::string().swap(console_[printed_]);
        ++printed_;
    }
}

void LwOrderedAtomPass::Run(const std::vector<std::vector<LwLong>>& levels, LwWaveReexpansion& alone,
                            TeamCalculators& team)
{
    for (const std::vector<LwLong>& level : levels) {
        std::vector<LwLong> atoms;
        for (LwLong atom : level)
            if (atom < lowestFailure_.load())
                atoms.push_back(atom);
        if (atoms.size() == 1)
            RunAlone(atoms[0], alone);
        else if (!atoms.empty())
            RunTeam(atoms, team);
        if (stopping_.load())
            break;
        Flush(lowestFailure_.load());
    }

    // After a stop, the lines of every reached atom up to the lowest failure;
    // else the rest in order.
    const LwLong failure = lowestFailure_.load();
    if (StopAtom() < count_) {
        for (std::size_t a = printed_; a < std::size_t(count_); ++a)
            if (reached_[a] && LwLong(a) <= failure)
                std::fputs(console_[a].c_str(), stdout);
    } else {
        Flush(failure);
    }
    std::fflush(stdout);
}

LwLong LwOrderedAtomPass::StopAtom() const
{
    for (LwLong atom = 0; atom < count_; ++atom)
        if (stoppedAt_[std::size_t(atom)])
            return atom;
    return count_;
}

LwLong LwOrderedAtomPass::End() const
{
    return std::min(StopAtom(), lowestFailure_.load());
}

LwLong LwOrderedAtomPass::LastSizeL() const
{
    for (LwLong atom = std::min(End(), count_ - 1); atom >= 0; --atom)
        if (sizeL_[std::size_t(atom)] >= 0)
            return sizeL_[std::size_t(atom)];
    return -1;
}

bool LwOrderedAtomPass::RethrowOrStopped() const
{
    const LwLong failure = lowestFailure_.load();
    const LwLong stopAtom = StopAtom();
    if (failure < stopAtom)
        std::rethrow_exception(errors_[std::size_t(failure)]);
    return stopAtom < count_;
}
