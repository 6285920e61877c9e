#pragma once
// Carries exceptions out of an OpenMP parallel region.
//
// No exception may leave a parallel region (the program would terminate), so
// every loop body runs inside Run(), which catches whatever it throws and
// keeps it in the slot of the throwing thread. Once one body has failed, the
// bodies that start afterwards are skipped: the region ends quickly and the
// caller rethrows after it. The shape of every parallel loop of the suite:
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
