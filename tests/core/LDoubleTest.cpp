// The width of LDouble depends on the library variant the test links.
#include "core/LwTypes.h"
#include "core/TextUtilities.h"

#include <gtest/gtest.h>

#include <limits>

TEST(LDouble, WidthMatchesTheVariant)
{
#if LW_EXTENDED_LDOUBLE
    EXPECT_GT(std::numeric_limits<LDouble>::digits, std::numeric_limits<double>::digits);
    EXPECT_EQ(std::numeric_limits<LDouble>::digits, 64);  // x87 extended
#else
    EXPECT_EQ(sizeof(LDouble), 8u);
    EXPECT_EQ(std::numeric_limits<LDouble>::digits, std::numeric_limits<double>::digits);
#endif
    EXPECT_EQ(sizeof(LwLong), 4u);
}

TEST(LDouble, StringToLDoubleReadsOnlyDoublePrecision)
{
    // 0.1 has no exact binary form; read through a double it is the double
    // nearest 0.1 widened, in either variant.
    EXPECT_EQ(StringToLDouble("0.1"), static_cast<LDouble>(0.1));
    EXPECT_EQ(LDoubleToString(StringToLDouble("3.14159265")), "3.14159");
}
