#pragma once
// EXPECT_NEAR for LDouble values: GoogleTest's EXPECT_NEAR converts its
// arguments to double, which hides every digit that the 80-bit build adds.
// Use as EXPECT_PRED_FORMAT3(LDoubleNear, value, expected, tolerance).

#include "core/LwTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>

inline ::testing::AssertionResult LDoubleNear(const char* valueText, const char* expectedText,
                                              const char* toleranceText, LDouble value, LDouble expected,
                                              LDouble tolerance)
{
    const LDouble difference = std::fabs(value - expected);
    if (difference <= tolerance)
        return ::testing::AssertionSuccess();
    std::ostringstream message;
    message << std::setprecision(std::numeric_limits<LDouble>::max_digits10) << valueText << " = " << value
            << " and " << expectedText << " = " << expected << " differ by " << difference << ", more than "
            << toleranceText << " = " << tolerance;
    return ::testing::AssertionFailure() << message.str();
}
