#include "core/LwSerialCounter.h"

#include <gtest/gtest.h>

#include <limits>

TEST(LwSerialCounter, NextValueWrapsToOneWithoutOverflow)
{
    const LwLong max = std::numeric_limits<LwLong>::max();
    const struct
    {
        LwLong current;
        LwLong next;
    } rows[] = {
        {0, 1}, {1, 2}, {41, 42}, {max - 1, max}, {max, 1}, {-1, 1}, {std::numeric_limits<LwLong>::min(), 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.current);
        EXPECT_EQ(NextSerialValue(r.current), r.next);
    }
}

TEST(LwSerialCounter, ConsecutiveTakesAreConsecutive)
{
    const LwLong first = TakeSerialId();
    EXPECT_GE(first, 1);
    for (LwLong i = 1; i <= 5; ++i)
        EXPECT_EQ(TakeSerialId(), NextSerialValue(first + i - 1));
}
