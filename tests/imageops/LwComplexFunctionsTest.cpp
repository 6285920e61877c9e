// The complex exponential, checked against std::complex<LDouble> and closed
// forms.
#include "imageops/LwComplexFunctions.h"
#include "LDoubleNear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

namespace {

const LDouble kPi = std::acos(LDouble(-1));
const LDouble kEps = std::numeric_limits<LDouble>::epsilon();

}  // namespace

TEST(ComplexFunctions, ComplexExpMatchesStdExp)
{
    const LComplex cases[] = {{0, 0}, {1, 0}, {0, kPi}, {-2.5L, 0.75L}, {3, -7}, {0.125L, 100}};
    for (const LComplex& z : cases) {
        SCOPED_TRACE(testing::Message() << z.real() << " " << z.imag());
        const LComplex got = ComplexExp(z);
        const LComplex want = std::exp(z);
        const LDouble tol = 8 * kEps * std::abs(want);
        EXPECT_PRED_FORMAT3(LDoubleNear, got.real(), want.real(), tol);
        EXPECT_PRED_FORMAT3(LDoubleNear, got.imag(), want.imag(), tol);
    }
    EXPECT_PRED_FORMAT3(LDoubleNear, ComplexExp(LComplex(0, kPi)).real(), LDouble(-1), 4 * kEps);
    EXPECT_PRED_FORMAT3(LDoubleNear, ComplexExp(LComplex(1, 0)).real(), std::exp(LDouble(1)), 4 * kEps);
}
