#include "core/LwSphericalCoordinates.h"

namespace {
// The remainder of n / 4 in 0..3, so that negative powers follow i^-1 = -i.
int QuarterTurns(int n)
{
    return ((n % 4) + 4) % 4;
}
}  // namespace

LDouble PowerOfMinusOne(int n)
{
    return (n % 2 == 0) ? LDouble(1) : LDouble(-1);
}

LComplex PowerOfI(int n)
{
    switch (QuarterTurns(n)) {
    case 0: return LComplex(1, 0);
    case 1: return LComplex(0, 1);
    case 2: return LComplex(-1, 0);
    default: return LComplex(0, -1);
    }
}

LComplex PowerOfMinusI(int n)
{
    switch (QuarterTurns(n)) {
    case 0: return LComplex(1, 0);
    case 1: return LComplex(-LDouble(0), -1);
    case 2: return LComplex(-1, 0);
    default: return LComplex(0, 1);
    }
}
