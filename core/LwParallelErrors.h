#pragma once
// Carries exceptions out of an OpenMP parallel region.
//
// No exception may leave a parallel region (the program would terminate).
// The suite allows three shapes of region, and a region in none of them
// says in a comment why nothing in it can throw (plain arithmetic on
// buffers sized before the region, no allocation, no checked access that
// could fail):
//
// 1. Carry and rethrow, with this class: the first error ends the loop and
//    the caller sees it after the region. Used where one failed item fails
//    the whole result: the wave re-expansion's batch loops
//    (physics/LwWaveReexpansion.cpp), the coefficient texts of the
//    scattered-wave document (physics/LwDocScatteringXml.cpp), the
//    reconstruction's loops (pattern/reconstruction/LwCalcMemWork.cpp), the
//    image operators (imageops/LwMatrixOperatorDetail.h), the
//    spherical-harmonics fit (imageops/SphericalHarmonicsImageFit.cpp),
//    velmora's hologram columns (apps/velmora/engine/HologramCalculation.cpp)
//    and halvane's background fits (apps/halvane/engine/RfaBackground.cpp).
// 2. Per-item drop: a try around one item with an empty catch, where a
//    failing item is skipped and the others keep their values, because one
//    bad direction must not cost a whole pattern: the pixel pairs of the
//    far-field pattern (pattern/LwDocPatternCalculation.cpp) and the points
//    of the nano pattern (pattern/LwDocPatternNano.cpp).
// 3. The ordered atom pass (physics/LwOrderedAtomPass.h): each atom keeps
//    its error in its own slot, later atoms stop starting once one has
//    failed, and the lowest failed atom's error is rethrown after the
//    region, so the outcome is the one an atom-after-atom run would give.
//
// Shape 1: every loop body runs inside Run(), which catches whatever it
// throws and keeps it in the slot of the throwing thread. Once one body has
// failed, the bodies that start afterwards are skipped: the region ends
// quickly and the caller rethrows after it.
//
//     const int threads = omp_get_max_threads();
//     LwParallelErrors errors(threads);
//     #pragma omp parallel for num_threads(threads) schedule(static)
//     for (int i = 0; i < n; ++i)
//         errors.Run([&] { WorkOn(i); });
//     errors.RethrowFirst();
//
// Each thread writes only its own slot, so Run needs no lock; the atomic
// flag is only a hint to skip work and may be read late. RethrowFirst is
// called by one thread after the region and rethrows the error of the
// lowest-numbered thread that failed, so the error a caller sees does not
// depend on timing when only one thread fails.

#include <omp.h>

#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <vector>

class LwParallelErrors
{
public:
    // threads: the team size of the region (num_threads of the pragma).
    explicit LwParallelErrors(int threads) : errors_(static_cast<std::size_t>(threads > 0 ? threads : 1)) {}

    template <class Body>
    void Run(const Body& body)
    {
        if (failed_.load(std::memory_order_relaxed))
            return;
        try {
            body();
        } catch (...) {
            const std::size_t slot = static_cast<std::size_t>(omp_get_thread_num());
            if (slot < errors_.size()) {
                if (!errors_[slot])
                    errors_[slot] = std::current_exception();
            } else {
                // A team larger than announced: such threads share one slot.
                std::lock_guard<std::mutex> lock(overflowMutex_);
                if (!overflow_)
                    overflow_ = std::current_exception();
            }
            failed_.store(true, std::memory_order_relaxed);
        }
    }

    bool Failed() const { return failed_.load(std::memory_order_relaxed); }

    void RethrowFirst() const
    {
        for (const std::exception_ptr& error : errors_)
            if (error)
                std::rethrow_exception(error);
        if (overflow_)
            std::rethrow_exception(overflow_);
    }

private:
    std::vector<std::exception_ptr> errors_;
    std::exception_ptr overflow_;
    std::mutex overflowMutex_;
    std::atomic<bool> failed_{false};
};
