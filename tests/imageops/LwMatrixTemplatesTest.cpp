// Mirror, transpose and block sums of every matrix class, the conjugate
// transpose and the buffer accessor.

#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixTemplates.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <array>
#include <complex>
#include <type_traits>

using imageops_test::MakeMatrix;
using imageops_test::SameElements;

namespace {

// A value that differs for every (c, r) and survives conversion to every
// element type.
template <class T>
T Value(int c, int r)
{
    return T(c * 10 + r * 100 + 3);
}
template <>
LComplex Value<LComplex>(int c, int r)
{
    return LComplex(c * 10 + r, -r * 7 + c);
}

template <class M>
M Sample(int cols, int rows, int colBegin, int rowBegin)
{
    return MakeMatrix<M>(cols, rows, colBegin, rowBegin,
                         [](int c, int r) { return Value<typename M::ElementType>(c, r); });
}

template <class M>
class LwMatrixTemplatesTest : public ::testing::Test
{};

using AllClasses =
    ::testing::Types<LwLongMatrix, LwFloatMatrix, LwDoubleMatrix, LwLDoubleMatrix, LwLComplexMatrix>;
TYPED_TEST_SUITE(LwMatrixTemplatesTest, AllClasses);

}  // namespace

TYPED_TEST(LwMatrixTemplatesTest, MirrorsReverseOneOrderAndAreTheirOwnInverse)
{
    using M = TypeParam;
    const M m = Sample<M>(3, 4, 5, -2);
    const M columns = LwMatrixOperator::MirrorColumnOrder(m);
    const M rows = LwMatrixOperator::MirrorRowOrder(m);
    EXPECT_EQ(columns.ColBegin, 5);
    EXPECT_EQ(columns.RowBegin, -2);
    for (int r = -2; r < 2; ++r)
        for (int c = 5; c < 8; ++c) {
            EXPECT_EQ(columns(12 - c, r), m(c, r));  // column 5 <-> 7, 6 stays
            EXPECT_EQ(rows(c, -1 - r), m(c, r));  // row -2 <-> 1, -1 <-> 0
        }
    EXPECT_TRUE(SameElements(M(LwMatrixOperator::MirrorColumnOrder(columns)), m));
    EXPECT_TRUE(SameElements(M(LwMatrixOperator::MirrorRowOrder(rows)), m));
    // 1 x 1 and empty matrices come back unchanged.
    const M one = Sample<M>(1, 1, 4, 4);
    EXPECT_TRUE(SameElements(M(LwMatrixOperator::MirrorColumnOrder(one)), one));
    EXPECT_TRUE(SameElements(M(LwMatrixOperator::MirrorRowOrder(M())), M()));
}

TYPED_TEST(LwMatrixTemplatesTest, TransposeSwapsSizesAndBeginsAndIsItsOwnInverse)
{
    using M = TypeParam;
    const M m = Sample<M>(4, 2, 1, 3);
    const M t = LwMatrixOperator::Transpose(m);
    ASSERT_EQ(t.ColSize, 2);
    ASSERT_EQ(t.RowSize, 4);
    EXPECT_EQ(t.ColBegin, 3);
    EXPECT_EQ(t.RowBegin, 1);
    for (int r = 3; r < 5; ++r)
        for (int c = 1; c < 5; ++c)
            EXPECT_EQ(t(r, c), m(c, r));
    EXPECT_TRUE(SameElements(M(LwMatrixOperator::Transpose(t)), m));
}

TYPED_TEST(LwMatrixTemplatesTest, SubIntegralSumsTheBlockAndRefusesBlocksOutside)
{
    using M = TypeParam;
    if constexpr (!std::is_same<M, LwLComplexMatrix>::value) {
        LwMatrixOperator op;
        const M m = Sample<M>(5, 4, -2, 6);
        long double all = 0, block = 0;
        for (int r = 6; r < 10; ++r)
            for (int c = -2; c < 3; ++c) {
                all += (long double)m(c, r);
                if (c >= -1 && c < 2 && r >= 7 && r < 9)
                    block += (long double)m(c, r);
            }
        EXPECT_EQ(op.SubIntegral(m, -2, 6, 5, 4), LDouble(all));
        EXPECT_EQ(op.SubIntegral(m, -1, 7, 3, 2), LDouble(block));
        EXPECT_EQ(op.SubIntegral(m, -2, 6, 5, 0), 0);
        EXPECT_EQ(op.SubIntegral(m, -2, 6, -3, 2), 0);
        EXPECT_EQ(op.SubIntegral(m, 0, 6, 2, -7), 0);
        for (const auto& bad : {std::array<int, 4>{-2, 6, 6, 4}, std::array<int, 4>{-3, 6, 1, 1},
                                std::array<int, 4>{-2, 5, 1, 1}, std::array<int, 4>{-2, 6, 1, 5}}) {
            SCOPED_TRACE(::testing::Message() << bad[0] << "," << bad[1] << " " << bad[2] << "x" << bad[3]);
            EXPECT_EQ(ErrorText([&] { op.SubIntegral(m, bad[0], bad[1], bad[2], bad[3]); }),
                      "SubIntegralMatrixError");
        }
    }
}

TYPED_TEST(LwMatrixTemplatesTest, GetBufferIsTheFirstStoredElement)
{
    using M = TypeParam;
    M m = Sample<M>(3, 2, 7, -1);
    EXPECT_EQ(GetBuffer(m), &m(7, -1));
    const M& constant = m;
    EXPECT_EQ(GetBuffer(constant), &constant(7, -1));
    M empty;
    EXPECT_EQ(GetBuffer(empty), nullptr);
}

TEST(LwMatrixOperatorConjugateTranspose, SwapsAndConjugates)
{
    LwLComplexMatrix m(2, 1);
    m.ColBegin = 3;
    m.RowBegin = 5;
    m(3, 5) = LComplex(1, 2);
    m(4, 5) = LComplex(3, -4);
    const LwLComplexMatrix t = LwMatrixOperator::ConjugateTranspose(m);
    ASSERT_EQ(t.ColSize, 1);
    ASSERT_EQ(t.RowSize, 2);
    EXPECT_EQ(t.ColBegin, 5);
    EXPECT_EQ(t.RowBegin, 3);
    EXPECT_EQ(t(5, 3), LComplex(1, -2));
    EXPECT_EQ(t(5, 4), LComplex(3, 4));

    const LwLComplexMatrix big = Sample<LwLComplexMatrix>(4, 3, -1, 2);
    const LwLComplexMatrix twice =
        LwMatrixOperator::ConjugateTranspose(LwMatrixOperator::ConjugateTranspose(big));
    EXPECT_TRUE(SameElements(twice, big));
}
