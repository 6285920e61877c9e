// The two-dimensional matrix family: creation, buffer reuse, checked
// addressing, vector access, the hand-over of flagged results. Most behaviour
// is shared by all six classes and is checked on each of them.
#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <sys/resource.h>

namespace {

template <class M>
typename M::ElementType Value(int i)
{
    return static_cast<typename M::ElementType>(i);
}

// Fills the buffer with 1, 2, 3, ... in storage order.
template <class M>
void FillCounting(M& m)
{
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = Value<M>(i + 1);
}

template <class M>
void ExpectShape(const M& m, int colSize, int rowSize, int colBegin, int rowBegin)
{
    EXPECT_EQ(m.ColSize, colSize);
    EXPECT_EQ(m.RowSize, rowSize);
    EXPECT_EQ(m.ColBegin, colBegin);
    EXPECT_EQ(m.RowBegin, rowBegin);
}

template <class M>
class LwMatrixFamilyTest : public ::testing::Test
{};

using FamilyTypes = ::testing::Types<LwFloatMatrix, LwDoubleMatrix, LwLDoubleMatrix, LwLComplexMatrix,
                                     LwCharMatrix, LwLongMatrix>;
TYPED_TEST_SUITE(LwMatrixFamilyTest, FamilyTypes);

TYPED_TEST(LwMatrixFamilyTest, DefaultIsEmptyWithoutBuffer)
{
    const TypeParam m;
    ExpectShape(m, 0, 0, 0, 0);
    EXPECT_FALSE(m.FastReturn);
    EXPECT_EQ(m.Buffer(), nullptr);
    EXPECT_TRUE(m.IsEmpty());
}

TYPED_TEST(LwMatrixFamilyTest, SizedAndVectorConstructors)
{
    const TypeParam m(3, 2);
    ExpectShape(m, 3, 2, 0, 0);
    EXPECT_NE(m.Buffer(), nullptr);
    EXPECT_EQ(m.ElementCount(), 6);

    const TypeParam v(4);
    ExpectShape(v, 1, 4, 0, 0);

    const TypeParam none(0, 5);
    ExpectShape(none, 0, 5, 0, 0);
    EXPECT_EQ(none.Buffer(), nullptr);

    EXPECT_EQ(ErrorText([] { TypeParam a(-1, 2); }), "matrix creation Parameter Error");
    EXPECT_EQ(ErrorText([] { TypeParam a(2, -1); }), "matrix creation Parameter Error");
    EXPECT_EQ(ErrorText([] { TypeParam a(-1); }), "matrix creation Parameter Error");
}

TYPED_TEST(LwMatrixFamilyTest, SameElementCountKeepsBufferAndStoredOrder)
{
    TypeParam m;
    m.Create(3, 2);
    FillCounting(m);
    const auto* before = m.Buffer();
    m.ColBegin = 4;
    m.Create(2, 3);
    ExpectShape(m, 2, 3, 0, 0);
    EXPECT_EQ(m.Buffer(), before);
    // Reshaped, not reordered: (1, 0) is now the second stored element.
    EXPECT_EQ(m(1, 0), Value<TypeParam>(2));
    EXPECT_EQ(m(0, 1), Value<TypeParam>(3));
    EXPECT_EQ(m(1, 2), Value<TypeParam>(6));

    m.Create(3, 3);
    ExpectShape(m, 3, 3, 0, 0);
    FillCounting(m);  // all nine elements are writable
    EXPECT_EQ(m(2, 2), Value<TypeParam>(9));

    m.Create(0, 4);
    EXPECT_EQ(m.Buffer(), nullptr);
    ExpectShape(m, 0, 4, 0, 0);
}

TYPED_TEST(LwMatrixFamilyTest, CreateParameterErrors)
{
    TypeParam m(2, 2);
    m.ColBegin = 5;
    m.RowBegin = -3;

    // Both sizes negative: refused before anything changes.
    EXPECT_EQ(ErrorText([&] { m.Create(-1, -2); }), "matrix creation Parameter Error");
    ExpectShape(m, 2, 2, 5, -3);

    // One negative size: the begins are already reset when GetMemory refuses.
    EXPECT_EQ(ErrorText([&] { m.Create(-1, 2); }), "Matrix Parameter Error");
    ExpectShape(m, 2, 2, 0, 0);
    EXPECT_NE(m.Buffer(), nullptr);

    m.ColBegin = 7;
    EXPECT_EQ(ErrorText([&] { m.Create(-4); }), "matrix creation Parameter Error");
    EXPECT_EQ(ErrorText([&] { m.CreateRow(-4); }), "matrix creation Parameter Error");
    EXPECT_EQ(ErrorText([&] { m.GetMemory(3, -1); }), "Matrix Parameter Error");
    ExpectShape(m, 2, 2, 7, 0);

    m.Create(5);
    ExpectShape(m, 1, 5, 0, 0);
    m.CreateRow(4);
    ExpectShape(m, 4, 1, 0, 0);
}

TYPED_TEST(LwMatrixFamilyTest, OversizeShapesAreRefused)
{
    // 65536 x 65536 = 2^32 elements wraps to 0 in 32-bit arithmetic, and
    // 46341 x 46341 just exceeds 2^31 - 1: neither may create a matrix.
    struct Shape
    {
        int cols, rows;
    };
    const Shape shapes[] = {{65536, 65536}, {46341, 46341}, {INT_MAX, 2}, {2, INT_MAX}, {INT_MAX, INT_MAX}};
    for (const Shape& s : shapes) {
        SCOPED_TRACE(std::to_string(s.cols) + " x " + std::to_string(s.rows));
        EXPECT_EQ(ErrorText([&] { TypeParam m(s.cols, s.rows); }), "matrix creation Parameter Error");

        TypeParam m(2, 3);
        m.ColBegin = 1;
        m.RowBegin = 1;
        const auto* buffer = m.Buffer();
        EXPECT_EQ(ErrorText([&] { m.Create(s.cols, s.rows); }), "matrix creation Parameter Error");
        EXPECT_EQ(ErrorText([&] { m.GetMemory(s.cols, s.rows); }), "Matrix Parameter Error");
        ExpectShape(m, 2, 3, 1, 1);
        EXPECT_EQ(m.Buffer(), buffer);
    }
    // A shape without elements is valid however long its other side.
    TypeParam empty(INT_MAX, 0);
    ExpectShape(empty, INT_MAX, 0, 0, 0);
    EXPECT_EQ(empty.Buffer(), nullptr);
    EXPECT_EQ(ErrorText([&] { empty(0, 0); }),
              "Matrix over range. access=(0,0) size=(2147483647,0) begin=(0,0)FastReturn=false");
}

TYPED_TEST(LwMatrixFamilyTest, DeleteMemoryLeavesNothingToIndex)
{
    // With the buffer gone the sizes go too, so no element access can reach
    // the released memory; the begins stay.
    TypeParam m(3, 2);
    m.ColBegin = 4;
    m.RowBegin = -1;
    m.DeleteMemory();
    ExpectShape(m, 0, 0, 4, -1);
    EXPECT_EQ(m.Buffer(), nullptr);
    EXPECT_EQ(ErrorText([&] { m(4, -1); }),
              "Matrix over range. access=(4,-1) size=(0,0) begin=(4,-1)FastReturn=false");
    m.GetMemory(2, 2);
    ExpectShape(m, 2, 2, 4, -1);
}

TYPED_TEST(LwMatrixFamilyTest, CreateLikeTakesSizesAndBegins)
{
    TypeParam a(4, 3);
    a.ColBegin = -2;
    a.RowBegin = 9;
    TypeParam b;
    b.CreateLike(a);
    ExpectShape(b, 4, 3, -2, 9);
    EXPECT_NE(b.Buffer(), a.Buffer());
}

TYPED_TEST(LwMatrixFamilyTest, IndexMatchesEnumerationWithAnyBegins)
{
    struct Case
    {
        int cols, rows, colBegin, rowBegin;
    };
    const Case cases[] = {{3, 2, 0, 0},   {3, 2, 1, -2},      {1, 5, -7, 3}, {4, 1, 2, -100},
                          {5, 4, -3, -3}, {2, 2, 1000, 1000}, {0, 3, 0, 0},  {3, 0, -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("shape " + std::to_string(c.cols) + "x" + std::to_string(c.rows) + " begins " +
                     std::to_string(c.colBegin) + "," + std::to_string(c.rowBegin));
        TypeParam m(c.cols, c.rows);
        m.ColBegin = c.colBegin;
        m.RowBegin = c.rowBegin;
        // Stored row after row, the column running fastest: enumerate the
        // valid pairs in that order and count.
        int expected = 0;
        for (int row = c.rowBegin - 2; row < c.rowBegin + c.rows + 2; ++row) {
            for (int col = c.colBegin - 2; col < c.colBegin + c.cols + 2; ++col) {
                const bool inside = col >= c.colBegin && col < c.colBegin + c.cols && row >= c.rowBegin &&
                                    row < c.rowBegin + c.rows;
                if (inside) {
                    EXPECT_EQ(m.Index(col, row), expected) << "(" << col << "," << row << ")";
                    m(col, row) = Value<TypeParam>(expected % 100);
                    EXPECT_EQ(m.Buffer()[expected], Value<TypeParam>(expected % 100));
                    ++expected;
                } else {
                    EXPECT_EQ(ErrorText([&] { m.Index(col, row); }).rfind("Matrix over range. access=(", 0),
                              0u)
                        << "(" << col << "," << row << ")";
                }
            }
        }
        EXPECT_EQ(expected, c.cols * c.rows);
    }
}

TYPED_TEST(LwMatrixFamilyTest, IndexNeverWrapsAroundTheIntRange)
{
    // The columns INT_MAX and INT_MAX + 1: in 32-bit arithmetic INT_MIN - INT_MAX
    // wraps to 1 and would land inside; the range check must refuse it.
    TypeParam m(2, 1);
    m.ColBegin = INT_MAX;
    m.RowBegin = INT_MIN;
    EXPECT_EQ(m.Index(INT_MAX, INT_MIN), 0);
    EXPECT_NE(ErrorText([&] { m.Index(INT_MIN, INT_MIN); }), "(no error)");
    EXPECT_NE(ErrorText([&] { m.Index(INT_MAX, INT_MAX); }), "(no error)");
    EXPECT_NE(ErrorText([&] { m.Index(INT_MAX, INT_MIN + 1); }), "(no error)");
}

TYPED_TEST(LwMatrixFamilyTest, RangeErrorText)
{
    TypeParam m(3, 2);
    m.ColBegin = 1;
    m.RowBegin = -2;
    EXPECT_EQ(m.Index(1, -2), 0);
    EXPECT_EQ(m.Index(3, -1), 5);
    EXPECT_EQ(ErrorText([&] { m(0, -2); }),
              "Matrix over range. access=(0,-2) size=(3,2) begin=(1,-2)FastReturn=false");
    m.FastReturn = true;
    EXPECT_EQ(ErrorText([&] { m(4, 0); }),
              "Matrix over range. access=(4,0) size=(3,2) begin=(1,-2)FastReturn=true");

    const TypeParam square(3, 3);
    EXPECT_EQ(ErrorText([&] { square(3, 0); }),
              "Matrix over range. access=(3,0) size=(3,3) begin=(0,0)FastReturn=false");
}

TYPED_TEST(LwMatrixFamilyTest, VectorAccess)
{
    TypeParam column(1, 4);
    column.ColBegin = 7;
    column.RowBegin = -1;
    FillCounting(column);
    EXPECT_EQ(column[-1], Value<TypeParam>(1));
    EXPECT_EQ(column[2], column(7, 2));
    EXPECT_EQ(column.VectorSize(), 4);
    EXPECT_EQ(column.VectorBegin(), -1);

    TypeParam row(4, 1);
    row.ColBegin = 3;
    row.RowBegin = 2;
    FillCounting(row);
    EXPECT_EQ(row[3], Value<TypeParam>(1));
    EXPECT_EQ(row[5], row(5, 2));
    row[6] = Value<TypeParam>(42);
    EXPECT_EQ(row(6, 2), Value<TypeParam>(42));
    EXPECT_EQ(row.VectorSize(), 4);
    EXPECT_EQ(row.VectorBegin(), 3);

    // 1 x 1 counts as a column vector.
    TypeParam single(1, 1);
    single.ColBegin = 5;
    single.RowBegin = 8;
    EXPECT_EQ(single.VectorBegin(), 8);
    EXPECT_EQ(&single[8], &single(5, 8));

    TypeParam square(2, 2);
    EXPECT_EQ(ErrorText([&] { square[0]; }), "This is not vector");
    EXPECT_EQ(ErrorText([&] { square.VectorSize(); }), "This is not vector");
    EXPECT_EQ(ErrorText([&] { square.VectorBegin(); }), "This is not vector");

    const TypeParam empty;
    EXPECT_EQ(empty.VectorSize(), 0);
    EXPECT_EQ(ErrorText([&] { empty[0]; }),
              "Matrix over range. access=(0,0) size=(0,0) begin=(0,0)FastReturn=false");
    const TypeParam flat(0, 3);
    EXPECT_EQ(ErrorText([&] { flat.VectorSize(); }), "This is not vector");
}

TYPED_TEST(LwMatrixFamilyTest, SetZeroAndSetUnit)
{
    TypeParam m(3, 2);
    FillCounting(m);
    m.SetUnit();
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(m(col, row), Value<TypeParam>(col == row ? 1 : 0)) << col << "," << row;

    // Unequal begins: the ones sit where the column index equals the row
    // index, not on the diagonal of positions.
    TypeParam shifted(3, 4);
    shifted.ColBegin = 1;
    shifted.RowBegin = -1;
    shifted.SetUnit();
    for (int row = -1; row < 3; ++row)
        for (int col = 1; col < 4; ++col)
            EXPECT_EQ(shifted(col, row), Value<TypeParam>(col == row ? 1 : 0)) << col << "," << row;

    shifted.SetZero();
    for (int i = 0; i < shifted.ElementCount(); ++i)
        EXPECT_EQ(shifted.Buffer()[i], Value<TypeParam>(0));
}

TYPED_TEST(LwMatrixFamilyTest, CheckSameSizeTestsSizesThenBegins)
{
    TypeParam a(3, 2);
    a.ColBegin = 1;
    a.RowBegin = 2;
    struct Case
    {
        int cols, rows, colBegin, rowBegin;
        const char* text;
    };
    const Case cases[] = {
        {3, 2, 1, 2, "(no error)"},
        {2, 3, 1, 2, "ColSize or RowSize is different"},
        {3, 3, 0, 0, "ColSize or RowSize is different"},
        {3, 2, 0, 0, "ColBegin is different"},
        {3, 2, 0, 2, "ColBegin is different"},
        {3, 2, 1, 0, "RowBegin is different"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TypeParam b(c.cols, c.rows);
        b.ColBegin = c.colBegin;
        b.RowBegin = c.rowBegin;
        EXPECT_EQ(ErrorText([&] { a.CheckSameSize(b); }), c.text);
        EXPECT_EQ(ErrorText([&] { TypeParam::CheckSameSize(a, b); }), c.text);
        EXPECT_EQ(IsSameSize(a, b), std::string(c.text) == "(no error)");
    }
}

TYPED_TEST(LwMatrixFamilyTest, CopyOfUnflaggedMatrixCopiesElements)
{
    TypeParam a(2, 3);
    a.ColBegin = -1;
    a.RowBegin = 4;
    FillCounting(a);
    const TypeParam b(a);
    ExpectShape(b, 2, 3, -1, 4);
    EXPECT_NE(b.Buffer(), a.Buffer());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(b.Buffer()[i], a.Buffer()[i]);
    ExpectShape(a, 2, 3, -1, 4);

    TypeParam c(5, 5);
    c.FastReturn = true;
    c = a;
    EXPECT_FALSE(c.FastReturn);
    ExpectShape(c, 2, 3, -1, 4);
    EXPECT_NE(c.Buffer(), a.Buffer());
    EXPECT_EQ(c(0, 6), a(0, 6));
}

TYPED_TEST(LwMatrixFamilyTest, CopyFromFlaggedMatrixTakesItsBuffer)
{
    TypeParam a(3, 2);
    a.ColBegin = 2;
    a.RowBegin = -5;
    FillCounting(a);
    a.FastReturn = true;
    const auto* buffer = a.Buffer();

    const TypeParam first(a);
    ExpectShape(first, 3, 2, 2, -5);
    EXPECT_EQ(first.Buffer(), buffer);
    EXPECT_FALSE(first.FastReturn);
    EXPECT_EQ(first(4, -4), Value<TypeParam>(6));
    // The source is emptied; its begins and flag stay.
    ExpectShape(a, 0, 0, 2, -5);
    EXPECT_EQ(a.Buffer(), nullptr);
    EXPECT_TRUE(a.FastReturn);

    // A second copy from the same flagged matrix gets nothing.
    const TypeParam second(a);
    EXPECT_TRUE(second.IsEmpty());
    EXPECT_EQ(second.Buffer(), nullptr);
}

TYPED_TEST(LwMatrixFamilyTest, AssignmentFromFlaggedMatrixTakesItsBuffer)
{
    TypeParam a(2, 2);
    a.ColBegin = 3;
    a.RowBegin = 1;
    FillCounting(a);
    a.FastReturn = true;
    const auto* buffer = a.Buffer();

    TypeParam t(4, 4);
    t.FastReturn = true;
    t = a;
    EXPECT_FALSE(t.FastReturn);
    ExpectShape(t, 2, 2, 3, 1);
    EXPECT_EQ(t.Buffer(), buffer);
    ExpectShape(a, 0, 0, 3, 1);
    EXPECT_EQ(a.Buffer(), nullptr);

    // Assigning the emptied source again: no buffer moves, its begins do.
    TypeParam u;
    u = a;
    ExpectShape(u, 0, 0, 3, 1);
    EXPECT_EQ(u.Buffer(), nullptr);
}

// An empty block keeps its shape and begins through an assignment, whatever
// buffer the target held before: an image 0 x 5 at (3, 1) fetched into a
// fresh matrix must not arrive as 0 x 0 at (0, 0).
TYPED_TEST(LwMatrixFamilyTest, AssignmentBetweenMatricesWithoutBuffer)
{
    struct Row
    {
        const char* what;
        int colSize, rowSize;
    };
    const Row sources[] = {{"0 x 5", 0, 5}, {"5 x 0", 5, 0}, {"0 x 0", 0, 0}};
    for (const Row& r : sources) {
        SCOPED_TRACE(r.what);
        TypeParam flat(r.colSize, r.rowSize);
        flat.ColBegin = 3;
        flat.RowBegin = 1;
        TypeParam fresh;
        fresh = flat;
        ExpectShape(fresh, r.colSize, r.rowSize, 3, 1);
        EXPECT_EQ(fresh.Buffer(), nullptr);

        TypeParam held(2, 2);  // a target with a buffer gives it up
        held = flat;
        ExpectShape(held, r.colSize, r.rowSize, 3, 1);
        EXPECT_EQ(held.Buffer(), nullptr);

        flat.FastReturn = true;  // a flagged empty source hands its shape over
        TypeParam taken;
        taken = flat;
        ExpectShape(taken, r.colSize, r.rowSize, 3, 1);
        ExpectShape(flat, 0, 0, 3, 1);
    }

    TypeParam self(2, 2);
    FillCounting(self);
    const auto* buffer = self.Buffer();
    self = self;
    EXPECT_EQ(self.Buffer(), buffer);
    EXPECT_EQ(self(1, 1), Value<TypeParam>(4));
}

TYPED_TEST(LwMatrixFamilyTest, NamedFlaggedResultCopiedTwice)
{
    // An operation returns its result flagged: the matrix initialised with it
    // is that result and keeps the flag.
    const auto make = [] {
        TypeParam r(2, 1);
        r.ColBegin = 1;
        r[1] = Value<TypeParam>(10);
        r[2] = Value<TypeParam>(20);
        return r.Release(true);
    };
    TypeParam named = make();
    EXPECT_TRUE(named.FastReturn);
    ExpectShape(named, 2, 1, 1, 0);

    TypeParam first = named;  // takes the buffer
    EXPECT_FALSE(first.FastReturn);
    EXPECT_EQ(first[2], Value<TypeParam>(20));
    TypeParam second = named;  // named is empty by now
    EXPECT_TRUE(second.IsEmpty());
    EXPECT_TRUE(named.IsEmpty());

    TypeParam assigned(3, 3);
    assigned = make();  // assignment moves the buffer in and clears the flag
    EXPECT_FALSE(assigned.FastReturn);
    EXPECT_EQ(assigned[1], Value<TypeParam>(10));

    // Release(false) hands a buffer over without the flag: copies copy.
    TypeParam local(1, 1);
    local[0] = Value<TypeParam>(7);
    TypeParam handed = local.Release(false);
    EXPECT_FALSE(handed.FastReturn);
    EXPECT_TRUE(local.IsEmpty());
    TypeParam copy = handed;
    EXPECT_EQ(copy[0], Value<TypeParam>(7));
    EXPECT_EQ(handed[0], Value<TypeParam>(7));
}

TEST(LwLComplexMatrix, NewElementsAreZeroAndReshapeKeepsValues)
{
    LwLComplexMatrix m(3, 2);
    for (int i = 0; i < m.ElementCount(); ++i)
        EXPECT_EQ(m.Buffer()[i], LComplex(0, 0));
    m(2, 1) = LComplex(1.5, -2);
    m.Create(6);
    EXPECT_EQ(m[5], LComplex(1.5, -2));
    m.Create(2, 2);
    for (int i = 0; i < m.ElementCount(); ++i)
        EXPECT_EQ(m.Buffer()[i], LComplex(0, 0));
}

TEST(LwMatrixFamily, CheckSameSizeAcrossClasses)
{
    LwLDoubleMatrix a(2, 3);
    LwFloatMatrix b(2, 3);
    EXPECT_NO_THROW(LwLDoubleMatrix::CheckSameSize(a, b));
    EXPECT_TRUE(IsSameSize(a, b));
    b.RowBegin = 1;
    EXPECT_EQ(ErrorText([&] { LwLDoubleMatrix::CheckSameSize(a, b); }), "RowBegin is different");
    EXPECT_FALSE(IsSameSize(a, b));
}

// Lowers the address-space limit for its lifetime so that a large allocation
// fails, and restores it afterwards.
class AddressSpaceLimit
{
public:
    explicit AddressSpaceLimit(long long extraBytes)
    {
        getrlimit(RLIMIT_AS, &saved_);
        long long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%lld", &pages) != 1)
                pages = 0;
            std::fclose(f);
        }
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(pages * 4096 + extraBytes);
        if (saved_.rlim_max != RLIM_INFINITY && lowered.rlim_cur > saved_.rlim_max)
            lowered.rlim_cur = saved_.rlim_max;
        active_ = pages > 0 && setrlimit(RLIMIT_AS, &lowered) == 0;
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &saved_); }
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};

TEST(LwMatrixFamily, FailedAllocationLeavesEmptyMatrix)
{
    LwFloatMatrix m(2, 2);
    m.ColBegin = 3;
    m.RowBegin = 4;
    std::string text;
    {
        AddressSpaceLimit limit(64LL << 20);
        if (!limit.Active())
            GTEST_SKIP() << "cannot lower the address-space limit";
        // 32768 x 32768 floats = 4 GiB, far above the limit.
        text = ErrorText([&] { m.GetMemory(32768, 32768); });
    }
    EXPECT_EQ(text, "Cannot Get Memory");
    ExpectShape(m, 0, 0, 3, 4);
    EXPECT_EQ(m.Buffer(), nullptr);
}

}  // namespace
