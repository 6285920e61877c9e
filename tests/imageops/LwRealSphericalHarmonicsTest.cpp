// Real spherical harmonics, checked against Boost's complex harmonics, closed
// forms of low degree, the addition theorem and orthonormality by quadrature.

#include "imageops/LwRealSphericalHarmonics.h"
#include "ErrorText.h"
#include "LDoubleNear.h"

#include <boost/math/constants/constants.hpp>
#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/special_functions/spherical_harmonic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const LDouble kPi = boost::math::constants::pi<LDouble>();
const LDouble kEpsilon = std::numeric_limits<LDouble>::epsilon();

struct Direction
{
    LDouble theta, phi;
};
const Direction kDirections[] = {{0.3L, 0.0L},  {1.1L, 2.5L}, {kPi / 2, -0.7L}, {2.9L, 4.0L},
                                 {0.01L, 1.0L}, {kPi, 0.4L},  {1.7L, 6.1L},     {0.0L, 3.0L}};

int At(int l, int m)
{
    return l * l + l + m;
}

std::vector<LDouble> Evaluate(int L, LDouble theta, LDouble phi)
{
    LwLmDoubleArray cache, out;
    CalcRealSphericalHarmonics(cache, out, L, theta, phi);
    EXPECT_EQ(out.GetL(), L);
    return std::vector<LDouble>(out.Data(), out.Data() + out.Size());
}

}  // namespace

// Boost's Y_l^m carries the (-1)^m phase, so for m >= 1 the real harmonics
// are (-1)^m sqrt(2) Re Y_l^m (cosine type) and (-1)^m sqrt(2) Im Y_l^m (sine
// type at -m); Y(l, 0) = Y_l^0.
TEST(LwRealSphericalHarmonics, AgreeWithBoostComplexHarmonics)
{
    const int L = 12;
    for (const Direction& d : kDirections) {
        SCOPED_TRACE("theta " + std::to_string(static_cast<double>(d.theta)) + " phi " +
                     std::to_string(static_cast<double>(d.phi)));
        const std::vector<LDouble> y = Evaluate(L, d.theta, d.phi);
        for (int l = 0; l < L; ++l) {
            for (int m = 0; m <= l; ++m) {
                const std::complex<LDouble> z =
                    boost::math::spherical_harmonic<LDouble, LDouble>(l, m, d.theta, d.phi);
                const LDouble sign = (m % 2 == 0) ? 1 : -1;
                const LDouble root2 = (m == 0) ? 1 : std::sqrt(LDouble(2));
                const LDouble tolerance = 64 * kEpsilon;
                EXPECT_PRED_FORMAT3(LDoubleNear, y[At(l, m)], sign * root2 * z.real(), tolerance)
                    << l << "," << m;
                if (m > 0) {
                    EXPECT_PRED_FORMAT3(LDoubleNear, y[At(l, -m)], sign * root2 * z.imag(), tolerance)
                        << l << "," << -m;
                }
            }
        }
    }
}

LDouble ParseLDouble(const std::string& text)
{
    if constexpr (sizeof(LDouble) == sizeof(double))
        return std::strtod(text.c_str(), nullptr);
    else
        return std::strtold(text.c_str(), nullptr);
}

// 25-digit values from scripts/make_real_spherical_harmonics_table.py
// (mpmath), at directions read from the same decimal texts.
TEST(LwRealSphericalHarmonics, AgreeWithHighPrecisionTable)
{
    std::ifstream file(LW_TEST_DATA_DIR "/real_spherical_harmonics.txt");
    ASSERT_TRUE(file.good());
    std::map<std::string, std::vector<LDouble>> evaluated;
    std::string line;
    int count = 0;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string theta, phi, value;
        int l = 0, m = 0;
        ASSERT_TRUE(fields >> theta >> phi >> l >> m >> value) << line;
        std::vector<LDouble>& y = evaluated[theta + " " + phi];
        if (y.empty())
            y = Evaluate(16, ParseLDouble(theta), ParseLDouble(phi));
        EXPECT_PRED_FORMAT3(LDoubleNear, y[At(l, m)], ParseLDouble(value), 64 * kEpsilon) << line;
        ++count;
    }
    EXPECT_EQ(count, 7 * 16 * 16);
}

TEST(LwRealSphericalHarmonics, LowDegreeClosedForms)
{
    for (const Direction& d : kDirections) {
        SCOPED_TRACE("theta " + std::to_string(static_cast<double>(d.theta)));
        const std::vector<LDouble> y = Evaluate(3, d.theta, d.phi);
        const LDouble ct = std::cos(d.theta), st = std::sin(d.theta);
        const LDouble a1 = std::sqrt(3 / (4 * kPi));
        const LDouble a2 = std::sqrt(15 / kPi);
        const LDouble expected[9] = {
            1 / std::sqrt(4 * kPi),
            a1 * st * std::sin(d.phi),  // (1, -1)
            a1 * ct,  // (1, 0)
            a1 * st * std::cos(d.phi),  // (1, 1)
            a2 / 4 * st * st * std::sin(2 * d.phi),
            a2 / 2 * st * ct * std::sin(d.phi),
            std::sqrt(5 / kPi) / 4 * (3 * ct * ct - 1),
            a2 / 2 * st * ct * std::cos(d.phi),
            a2 / 4 * st * st * std::cos(2 * d.phi),
        };
        for (int i = 0; i < 9; ++i)
            EXPECT_PRED_FORMAT3(LDoubleNear, y[i], expected[i], 16 * kEpsilon) << i;
    }

    // L = 1: the constant 1/sqrt(4 pi) in every direction.
    for (const Direction& d : kDirections) {
        const std::vector<LDouble> y = Evaluate(1, d.theta, d.phi);
        ASSERT_EQ(y.size(), 1u);
        EXPECT_PRED_FORMAT3(LDoubleNear, y[0], 0.28209479177387814347L, 2 * kEpsilon);
    }

    // On the axis only m = 0 survives, with sqrt((2l + 1)/(4 pi)).
    const std::vector<LDouble> axis = Evaluate(9, 0, 1.3L);
    for (int l = 0; l < 9; ++l)
        for (int m = -l; m <= l; ++m)
            EXPECT_PRED_FORMAT3(LDoubleNear, axis[At(l, m)], m == 0 ? std::sqrt((2 * l + 1) / (4 * kPi)) : 0,
                                16 * kEpsilon)
                << l << "," << m;

    // On the equator at phi = 0: Y(1, 1) positive, no phase factor.
    const std::vector<LDouble> equator = Evaluate(2, kPi / 2, 0);
    EXPECT_PRED_FORMAT3(LDoubleNear, equator[At(1, 0)], 0, 4 * kEpsilon);
    EXPECT_PRED_FORMAT3(LDoubleNear, equator[At(1, 1)], std::sqrt(3 / (4 * kPi)), 4 * kEpsilon);
    EXPECT_EQ(equator[At(1, -1)], 0);
}

TEST(LwRealSphericalHarmonics, SumOfSquaresIsTheAdditionTheorem)
{
    for (int L : {1, 4, 20}) {
        for (const Direction& d : kDirections) {
            const std::vector<LDouble> y = Evaluate(L, d.theta, d.phi);
            LDouble sum = 0;
            for (LDouble v : y)
                sum += v * v;
            EXPECT_PRED_FORMAT3(LDoubleNear, sum, L * L / (4 * kPi), 1000 * kEpsilon * L * L) << L;
        }
    }
}

// Gauss-Legendre in cos(theta) (exact for the polynomial products) and the
// trapezoidal rule in phi (exact for the trigonometric products of degree
// below the number of points).
TEST(LwRealSphericalHarmonics, OrthonormalOverTheSphere)
{
    const int L = 7;
    const int N = L * L;
    const int nPhi = 4 * L;
    using Gauss = boost::math::quadrature::gauss<LDouble, 20>;
    std::vector<LDouble> nodes, weights;
    for (size_t i = 0; i < Gauss::abscissa().size(); ++i) {
        const LDouble x = Gauss::abscissa()[i], w = Gauss::weights()[i];
        nodes.push_back(x);
        weights.push_back(w);
        if (x != 0) {
            nodes.push_back(-x);
            weights.push_back(w);
        }
    }
    std::vector<LDouble> gram(N * N, 0);
    LwLmDoubleArray cache, y;
    for (size_t k = 0; k < nodes.size(); ++k) {
        const LDouble theta = std::acos(nodes[k]);
        for (int j = 0; j < nPhi; ++j) {
            const LDouble phi = 2 * kPi * j / nPhi;
            CalcRealSphericalHarmonics(cache, y, L, theta, phi);
            const LDouble w = weights[k] * 2 * kPi / nPhi;
            for (int a = 0; a < N; ++a)
                for (int b = 0; b < N; ++b)
                    gram[a * N + b] += w * y[a] * y[b];
        }
    }
    for (int a = 0; a < N; ++a)
        for (int b = 0; b < N; ++b)
            EXPECT_PRED_FORMAT3(LDoubleNear, gram[a * N + b], a == b ? 1 : 0, 1e3 * kEpsilon)
                << a << "," << b;
}

TEST(LwRealSphericalHarmonics, NormalisationCacheServesAnySmallerDegree)
{
    const Direction d = {1.234L, -2.2L};
    LwLmDoubleArray fresh, large, out;
    CalcRealSphericalHarmonics(fresh, out, 4, d.theta, d.phi);
    const std::vector<LDouble> reference(out.Data(), out.Data() + out.Size());

    CalcRealSphericalHarmonics(large, out, 10, 0.5L, 0.5L);
    EXPECT_EQ(large.GetL(), 10);
    CalcRealSphericalHarmonics(large, out, 4, d.theta, d.phi);
    EXPECT_EQ(large.GetL(), 10);
    ASSERT_EQ(out.GetL(), 4);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(out[i], reference[i]) << i;

    // A cache for L = 4 grows when L = 10 is asked for.
    CalcRealSphericalHarmonics(fresh, out, 10, d.theta, d.phi);
    EXPECT_EQ(fresh.GetL(), 10);
    ASSERT_EQ(out.GetL(), 10);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(out[i], reference[i]) << i;
}

TEST(LwRealSphericalHarmonics, InvalidDegrees)
{
    LwLmDoubleArray cache, out;
    out.SetSize(3);
    out(2, 1) = 42;
    EXPECT_EQ(ErrorText([&] { CalcRealSphericalHarmonics(cache, out, -1, 0.5L, 0.5L); }), "Error");
    EXPECT_EQ(out.GetL(), 3);
    EXPECT_EQ(out(2, 1), 42);
    EXPECT_EQ(ErrorText([&] { CalcRealSphericalHarmonics(cache, out, 0, 0.5L, 0.5L); }), "Illegal l value");
}
