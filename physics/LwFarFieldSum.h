#pragma once
// The far field of a wave in many directions: the sums of
// LwVectorFreeElectron::GetFarFieldDirect and GetFarFieldScattered, with
// everything that depends only on the sources worked out once, for a pattern
// that asks for tens of thousands of directions.
//
// Per source the outgoing coefficients are taken with their (-i)^{l+1} and
// paired over +m and -m (Y_{l,-m} = (-1)^m conj(Y_lm)), so that a direction
// needs only the L^2 real numbers Re Y_lm (m >= 0) and Im Y_lm (m > 0), and
// each source one real row of coefficients times that vector. The thermal
// factor exp(-(1 - d/|r|) k^2 U_sum) and the attenuation exp(-|r| / (2 lambda))
// of a source combine into one exp(a + b d), d being the direction dotted
// with the source position; with the phase e^{-ikd} that is one exponential
// and one sine/cosine pair per source and direction. The loops over the
// sources run over flat arrays and vectorise.
//
// The results agree with the per-source evaluation to rounding (a few
// units in the last place of the largest term), not bit for bit; they do
// not depend on which thread evaluates a direction.
//
// Units and conventions as in LwVectorFreeElectron: metres, radians, the
// wave number of source 0 for every source.

#include "core/LwAlignedAllocator.h"
#include "core/LwTypes.h"
#include "physics/LwVectorFreeElectron.h"

#include <vector>

class LwFarFieldSum
{
public:
    // The tables of `wave` for the l range L of GetFarFieldScattered: L >= 1
    // sums l < L, else the sources' largest L is used. A scatterer (source 1
    // and on) whose L exceeds a positive L throws LwError "Illegal l value",
    // the error every direction of the per-source sum would raise. The
    // wave's mean free path switches the attenuation of the scatterers on.
    LwFarFieldSum(const LwVectorFreeElectron& wave, LwLong L);

    struct Amplitudes
    {
        LComplex direct;  // GetFarFieldDirect
        LComplex scattered;  // GetFarFieldScattered
    };

    // Both amplitudes in the direction (theta, phi). Any number of threads
    // may call this at once: the scratch arrays are per thread, and grow
    // only on the first call of a thread or for a larger table.
    Amplitudes Evaluate(LDouble theta, LDouble phi) const;
    // The same for two directions at once, which share each pass over the
    // coefficient tables (half the memory traffic). Each result is exactly
    // the one-direction Evaluate of its own direction.
    void Evaluate(const LDouble (&theta)[2], const LDouble (&phi)[2], Amplitudes (&out)[2]) const;

    // The sources of one sum, in flat arrays padded to a whole number of
    // vector blocks (the padding has zero coefficients and is never summed).
    struct Group
    {
        int count = 0;  // sources summed
        int stride = 0;  // count rounded up to the block size
        LwLong L = 0;  // l range of the coefficient rows; 0 = an empty sum
        std::vector<LDouble> x, y, z;  // positions (m)
        // The factor exp(a + b d) of thermal vibration and attenuation;
        // hasFactor is false when every a and b is 0.
        std::vector<LDouble> a, b;
        bool hasFactor = false;
        // Some a + b d may leave the range of the vectorised exponential
        // (factors below e^-708): the library's exp is used instead.
        bool libraryExp = false;
        // The coefficients of row q of the real harmonic vector, in blocks
        // of kBlock sources: source j = kBlock b + lane has its real part at
        // rows[(b L^2 + q) 2 kBlock + lane], its imaginary part kBlock
        // further on, so a block streams through its rows in order. A row of
        // a block is a whole cache line or two, and the table starts on one.
        static constexpr int kBlock = 8;
        std::vector<LDouble, LwAlignedAllocator<LDouble>> rows;
    };

private:
    LDouble k_ = 0;
    Group direct_;
    Group scattered_;
};
