#pragma once
// sin, cos and exp of doubles without branches or library calls, so that a
// loop over arrays that uses them vectorises (under `#pragma omp simd`).
//
// Accuracy: a few units in the last place for the ranges below (the
// kernels are fdlibm's minimax polynomials of sin and cos on [-pi/4, pi/4]
// and the degree-13 Taylor polynomial of exp on [-ln2/2, ln2/2]).
// - SinCos: |x| < 2^20 pi/2 (about 1.6e6); the reduction by pi/2 uses a
//   33-bit leading part, so q * (pi/2)_hi is exact for every quadrant q up
//   to 2^20. Larger arguments lose digits.
// - Exp: -708 <= x <= 709 only (normal results). Outside, 2^n wraps and the
//   result is garbage: a caller that cannot bound its arguments checks them
//   first (a clamp would stop the loop from vectorising, as comparisons
//   against constants are not if-converted under -ftrapping-math).
// Rounding is to nearest, as everywhere; a build with -ffast-math would
// break the rounding constant below.

#include <cstdint>
#include <cstring>

namespace lw_simd {

// 1.5 * 2^52: adding and subtracting it rounds a double of magnitude below
// 2^51 to the nearest integer, and leaves that integer in the low bits.
constexpr double kRoundToInteger = 6755399441055744.0;

inline void SinCos(double x, double& sine, double& cosine)
{
    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPiOverTwoHi = 1.57079632673412561417e+00;  // 33 bits
    constexpr double kPiOverTwoLo = 6.07710050650619224932e-11;  // pi/2 - kPiOverTwoHi
    constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                     S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                     S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
    constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                     C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                     C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;

    // x = q pi/2 + r, |r| <= pi/4 (up to rounding).
    const double q = (x * kTwoOverPi + kRoundToInteger) - kRoundToInteger;
    const double r = (x - q * kPiOverTwoHi) - q * kPiOverTwoLo;
    const double z = r * r;
    const double s = r + r * z * (S1 + z * (S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)))));
    const double c = 1 - 0.5 * z + z * z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));

    // The quadrant n = q mod 4, from floor(q / 4) = round(q / 4 - 3/8).
    const double f = (q * 0.25 - 0.375 + kRoundToInteger) - kRoundToInteger;
    const double n = q - 4 * f;
    const bool odd = n == 1 || n == 3;
    const double sr = odd ? c : s;
    const double cr = odd ? s : c;
    sine = n >= 2 ? -sr : sr;
    cosine = (n == 1 || n == 2) ? -cr : cr;
}

inline double Exp(double x)
{
    constexpr double kLog2e = 1.44269504088896338700e+00;
    constexpr double kLn2Hi = 6.93147180369123816490e-01;  // 32 bits
    constexpr double kLn2Lo = 1.90821492927058770002e-10;  // ln 2 - kLn2Hi

    // x = n ln2 + r, |r| <= ln2 / 2 (up to rounding).
    const double t = x * kLog2e + kRoundToInteger;
    const double n = t - kRoundToInteger;
    const double r = (x - n * kLn2Hi) - n * kLn2Lo;
    double p = 1.0 / 6227020800.0;  // 1/13!
    p = p * r + 1.0 / 479001600.0;
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    p = p * r + 1.0;

    // 2^n from the integer in t's low bits: shifted into the exponent field
    // (the rounding constant's own bits fall out of the word) plus the bias.
    std::uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    bits = (bits << 52) + (std::uint64_t{1023} << 52);
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return p * scale;
}

}  // namespace lw_simd
