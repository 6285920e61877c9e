#pragma once
// Portable numeric types of the suite.
//
// LDouble is the widest floating type of the program a library is built into:
// the 8-byte double in cmd_drev and velmora, the 80-bit x87 extended type
// (stored in 16 bytes) in halvane. The build chooses it with
// LW_EXTENDED_LDOUBLE; every library exists in both variants (see
// cmake/LwLibrary.cmake). Binary document forms always store 8-byte doubles.
//
// LwLong is the suite's 32-bit integer: document sizes, matrix indices and the
// "%ld"/"%08lx" fields of its texts are 32 bits wide on every platform, while
// a C++ long is 64 bits on Linux. Formats take an explicit cast, e.g.
//   std::printf("%ld", static_cast<long>(v));

#include <complex>
#include <cstdint>

#if defined(LW_EXTENDED_LDOUBLE) && LW_EXTENDED_LDOUBLE
using LDouble = long double;
#else
using LDouble = double;
#endif

using LComplex = std::complex<LDouble>;
using LwLong = std::int32_t;
using LwULong = std::uint32_t;
