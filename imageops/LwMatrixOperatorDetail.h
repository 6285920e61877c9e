#pragma once
// Helpers shared by the sources of LwMatrixOperator (not part of its interface).
//
// The one parallel loop shape of the operations:
// ParallelFor(n, body) calls body(i) for i = 0 .. n - 1, split statically
// between omp_get_max_threads() threads. body(i) must write only what item i
// owns (its own result row, its own slot of a per-item buffer), so threads
// never touch the same element and the results are those of the serial loop
// whatever the thread count. An exception of a body is carried out of the
// region and rethrown after it (the first failing thread's); the bodies that
// start after a failure are skipped.

#include "core/LwMatrix.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwParallelErrors.h"

#include <omp.h>

#include <algorithm>

template <class Body>
void ParallelFor(int n, const Body& body)
{
    const int threads = omp_get_max_threads();
    LwParallelErrors errors(threads);
    // A handful of items costs less on the calling thread than waking the team.
#pragma omp parallel for num_threads(threads) schedule(static) if (n >= 2 * threads && threads > 1)
    for (int i = 0; i < n; ++i)
        errors.Run([&] { body(i); });
    errors.RethrowFirst();
}

// A matrix with m's sizes and begins holding a copy of its elements; not
// flagged. Unlike the family's copy constructor it never takes over the
// buffer of a flagged m, so the caller can go on reading m.
template <class M>
M ElementCopy(const M& m)
{
    M r = MatrixNewLike(m);
    std::copy(m.Buffer(), m.Buffer() + m.ElementCount(), r.Buffer());
    return r.Release(false);
}
