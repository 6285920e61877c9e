// The (l,m) arrays: index rule, resizing, hand-over of returned arrays.
#include "physics/LwLmArray.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <string>

TEST(LwLmArray, PositionOfAPairIsLTimesLPlusOnePlusM)
{
    LwLmComplexArray a;
    a.SetSize(1);
    EXPECT_EQ(a.Index(0, 0), 0);
    a.SetSize(3);
    EXPECT_EQ(a.Index(2, -2), 4);
    EXPECT_EQ(a.Index(2, 2), 8);
    // Every position 0 .. L*L-1 is exactly one pair, independent of L.
    LwLmIntArray big;
    big.SetSize(7);
    LwLong expected = 0;
    for (LwLong l = 0; l < 7; ++l)
        for (LwLong m = -l; m <= l; ++m)
            EXPECT_EQ(big.Index(l, m), expected++) << "l=" << l << " m=" << m;
    EXPECT_EQ(expected, big.Size());
}

TEST(LwLmArray, IndexRejectsPairsOutsideTheArray)
{
    LwLmDoubleArray a;
    a.SetSize(3);
    struct Case
    {
        LwLong l, m;
        const char* message;
    };
    const Case cases[] = {
        {3, 0, "Illegal l value"},  // l = L
        {-1, 0, "Illegal l value"},  // negative l
        {1, -2, "Illegal m value"},  // |m| > l
        {2, 3, "Illegal m value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("l=" + std::to_string(c.l) + " m=" + std::to_string(c.m));
        EXPECT_EQ(ErrorText([&] { a.Index(c.l, c.m); }), c.message);
        EXPECT_EQ(ErrorText([&] { a(c.l, c.m) = 1; }), c.message);
    }
    LwLmComplexArray empty;
    EXPECT_EQ(ErrorText([&] { empty.Index(0, 0); }), "Illegal l value");
}

TEST(LwLmArray, SetSizeRejectsNegativeSizes)
{
    LwLmComplexArray c;
    LwLmDoubleArray d;
    LwLmIntArray i;
    EXPECT_EQ(ErrorText([&] { c.SetSize(-1); }), "Error");
    EXPECT_EQ(ErrorText([&] { d.SetSize(-1); }), "Error");
    EXPECT_EQ(ErrorText([&] { i.SetSize(-1); }), "Error");
}

TEST(LwLmArray, ResizingToZeroLeavesNoBuffer)
{
    LwLmComplexArray a;
    a.SetSize(4);
    ASSERT_NE(a.Data(), nullptr);
    a.SetSize(0);
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(a.GetL(), 0);
}

TEST(LwLmArray, NewComplexEntriesAreZero)
{
    LwLmComplexArray a;
    a.SetSize(5);
    for (LwLong i = 0; i < a.Size(); ++i)
        EXPECT_EQ(a[i], LComplex(0, 0));
}

TEST(LwLmArray, SetSizeZeroClearsAnArrayOfTheSameSize)
{
    LwLmComplexArray a;
    a.SetSize(3);
    a(2, 1) = LComplex(1, 2);
    a.SetSizeZero(3);
    EXPECT_EQ(a(2, 1), LComplex(0, 0));
}

TEST(LwLmArray, AnotherSizeReallocates)
{
    LwLmIntArray a;
    a.SetSize(2);
    a(1, 1) = 7;
    a.SetSize(3);
    EXPECT_EQ(a.GetL(), 3);
    EXPECT_EQ(a(1, 1), 0);
}

TEST(LwLmArray, AssignmentCopiesAnOrdinaryArray)
{
    LwLmComplexArray a, b;
    a.SetSize(3);
    a(2, -1) = LComplex(3, -4);
    b = a;
    EXPECT_EQ(b.GetL(), 3);
    EXPECT_EQ(b(2, -1), LComplex(3, -4));
    EXPECT_NE(b.Data(), a.Data());
    EXPECT_EQ(a.GetL(), 3);  // the source keeps its entries
    b = b;  // same buffer: nothing happens
    EXPECT_EQ(b(2, -1), LComplex(3, -4));
}

TEST(LwLmArray, AssignmentTakesOverAReturnedArray)
{
    // What an operation hands back by value: a filled array with the flag.
    LwLmDoubleArray held;
    held.SetSize(4);
    held(3, 3) = 2.5;
    held.SetReturned(true);
    const LDouble* buffer = held.Data();

    LwLmDoubleArray target;
    target.SetSize(2);
    target = held;
    EXPECT_EQ(target.Data(), buffer);  // taken, not copied
    EXPECT_EQ(target(3, 3), 2.5);
    EXPECT_EQ(held.GetL(), 0);
    EXPECT_EQ(held.Data(), nullptr);
    EXPECT_TRUE(held.IsReturned());  // the flag is not changed
    EXPECT_FALSE(target.IsReturned());
}

#if !(defined(LW_EXTENDED_LDOUBLE) && LW_EXTENDED_LDOUBLE)
TEST(LwLmArray, ResizingToTheSameSizeKeepsTheEntries)
{
    LwLmComplexArray c;
    LwLmDoubleArray d;
    LwLmIntArray i;
    c.SetSize(3);
    d.SetSize(3);
    i.SetSize(3);
    c(1, 0) = LComplex(1, 1);
    d(1, 0) = 2;
    i(1, 0) = 3;
    const LDouble* dBuffer = d.Data();
    c.SetSize(3);
    d.SetSize(3);
    i.SetSize(3);
    EXPECT_EQ(c(1, 0), LComplex(1, 1));
    EXPECT_EQ(d(1, 0), 2);
    EXPECT_EQ(i(1, 0), 3);
    EXPECT_EQ(d.Data(), dBuffer);
}
#else
TEST(LwLmArray, ExtendedDoubleArrayIsClearedOnResizeToTheSameSize)
{
    // halvane's Legendre tables: the buffer stays, the entries become 0.
    LwLmDoubleArray d;
    d.SetSize(3);
    d(2, -1) = 4;
    const LDouble* buffer = d.Data();
    d.SetSize(3);
    EXPECT_EQ(d.Data(), buffer);
    for (LwLong k = 0; k < d.Size(); ++k)
        EXPECT_EQ(d[k], 0) << "position " << k;
    // The complex and integer arrays keep their entries in every build.
    LwLmIntArray i;
    i.SetSize(2);
    i(1, 1) = 5;
    i.SetSize(2);
    EXPECT_EQ(i(1, 1), 5);
}
#endif
