// Rows and columns as vectors, row means, line profiles, tabulated functions
// and the accumulation of an integer matrix.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using imageops_test::MakeMatrix;
using imageops_test::SameElements;

TEST(LwMatrixOperatorProfiles, RowsAndColumnsAsVectors)
{
    LwMatrixOperator op;
    const LwLDoubleMatrix m =
        MakeMatrix<LwLDoubleMatrix>(4, 3, 1, 2, [](int c, int r) { return LDouble(10 * c + r); });
    EXPECT_EQ(op.ColumnToVector(m, 3), (std::vector<LDouble>{32, 33, 34}));
    EXPECT_EQ(op.RowToVector(m, 4), (std::vector<LDouble>{14, 24, 34, 44}));
    const LwFloatMatrix f = MakeMatrix(2, 2, 0, 0, [](int c, int r) { return float(c - r); });
    EXPECT_EQ(op.ColumnToVector(f, 1), (std::vector<float>{1, 0}));
    EXPECT_EQ(op.RowToVector(f, 1), (std::vector<float>{-1, 0}));
    EXPECT_TRUE(op.ColumnToVector(LwFloatMatrix(3, 0), 0).empty());
    EXPECT_EQ(ErrorText([&] { op.ColumnToVector(m, 0); }).rfind("Matrix over range. access=(", 0), 0u);
}

TEST(LwMatrixOperatorProfiles, RowMeans)
{
    LwMatrixOperator op;
    const LwLDoubleMatrix m =
        MakeMatrix<LwLDoubleMatrix>(3, 4, -1, 5, [](int c, int r) { return LDouble(c + r * r); });
    const LwLDoubleMatrix means = op.RowMeans(m);
    ASSERT_EQ(means.ColSize, 1);
    ASSERT_EQ(means.RowSize, 4);
    EXPECT_EQ(means.VectorBegin(), 5);
    for (int r = 5; r < 9; ++r)
        EXPECT_EQ(means[r], LDouble(r * r)) << r;  // columns -1, 0, 1 cancel
    const LwLDoubleMatrix shifted =
        MakeMatrix<LwLDoubleMatrix>(2, 2, 0, 0, [](int c, int r) { return LDouble(c + 4 * r); });
    EXPECT_EQ(op.RowMeans(shifted)[1], 4.5);
    const LwLDoubleMatrix noColumns(0, 3);
    const LwLDoubleMatrix zeros = op.RowMeans(noColumns);
    ASSERT_EQ(zeros.RowSize, 3);
    EXPECT_EQ(zeros[2], 0);
}

namespace {

template <class M>
class LwMatrixOperatorLineProfileTest : public ::testing::Test
{};
using ProfileClasses = ::testing::Types<LwLongMatrix, LwFloatMatrix>;
TYPED_TEST_SUITE(LwMatrixOperatorLineProfileTest, ProfileClasses);

}  // namespace

TYPED_TEST(LwMatrixOperatorLineProfileTest, ReadsThePixelsAlongTheLine)
{
    using M = TypeParam;
    using T = typename M::ElementType;
    LwMatrixOperator op;
    const M image = MakeMatrix<M>(6, 5, 0, 0, [](int c, int r) { return T(c + 10 * r); });
    M out;
    op.LineProfile(out, image, 0, 0, 4, 0, 5);
    EXPECT_TRUE(SameElements(out, MakeMatrix<M>(1, 5, 0, 0, [](int, int r) { return T(r); })));
    // A vector of another length (a row vector here) is replaced by a column of n.
    M row = MakeMatrix<M>(4, 1, 0, 0, [](int, int) { return T(-1); });
    op.LineProfile(row, image, 0, 0, 4, 0, 3);
    EXPECT_TRUE(SameElements(row, MakeMatrix<M>(1, 3, 0, 0, [](int, int r) { return T(2 * r); })));
    // A vector of length n is kept with its shape: a row vector here.
    M keep = MakeMatrix<M>(3, 1, 0, 0, [](int, int) { return T(-1); });
    op.LineProfile(keep, image, 1, 4, 5, 0, 3);  // (1, 4), (3, 2), (5, 0)
    EXPECT_TRUE(
        SameElements(keep, MakeMatrix<M>(3, 1, 0, 0, [](int c, int) { return T(41 + 2 * c - 20 * c); })));

    const struct
    {
        const char* name;
        M out;
        int n;
        std::string error;
    } refused[] = {
        {"one point", M(), 1, "LineProfile: a line profile needs at least 2 points"},
        {"negative count", M(), -2, "matrix creation Parameter Error"},
        {"not a vector", MakeMatrix<M>(2, 2, 0, 0, [](int, int) { return T(7); }), 2, "This is not vector"},
        {"vector of n elements from 3", MakeMatrix<M>(1, 2, 0, 3, [](int, int) { return T(7); }), 2,
         "LineProfile: output vector must begin at 0"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        M target = c.out;
        EXPECT_EQ(ErrorText([&] { op.LineProfile(target, image, 0, 0, 3, 3, c.n); }), c.error);
        EXPECT_TRUE(SameElements(target, c.out));
    }
    M leaving;
    EXPECT_EQ(ErrorText([&] {
                  op.LineProfile(leaving, image, 0, 0, 9, 0, 4);
              }).rfind("Matrix over range. access=(", 0),
              0u);
}

TEST(LwMatrixOperatorProfiles, InterpolateTable)
{
    LwMatrixOperator op;
    const auto vec = [](std::vector<float> v, int begin = 0) {
        LwFloatMatrix m(1, int(v.size()));
        m.RowBegin = begin;
        for (std::size_t i = 0; i < v.size(); ++i)
            m[begin + int(i)] = v[i];
        return m;
    };
    // Abscissae out of order and one repeated: the first value of 1 stays.
    const LwFloatMatrix x = vec({2, 0, 1, 1}, 3);
    const LwFloatMatrix y = vec({40, 0, 10, 99}, 3);
    LwFloatMatrix at(6, 1);
    at.ColBegin = 4;
    const float points[] = {0.5f, 1, 1.5f, 2, 7, -1};
    for (int i = 0; i < 6; ++i)
        at[4 + i] = points[i];
    const LwFloatMatrix v = op.InterpolateTable(at, x, y);
    ASSERT_EQ(v.ColSize, 6);
    ASSERT_EQ(v.RowSize, 1);
    EXPECT_EQ(v.ColBegin, 4);
    const float expected[] = {5, 10, 25, 40, 40, -10};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(v[4 + i], expected[i]) << points[i];

    // A linear function is reproduced between its entries.
    const LwFloatMatrix lx = vec({0, 0.75f, 2, 3.5f});
    const LwFloatMatrix ly = vec({1, 1 + 3 * 0.75f, 7, 11.5f});
    const LwFloatMatrix probe = vec({0.1f, 0.6f, 1.3f, 2.9f, 3.4f});
    const LwFloatMatrix line = op.InterpolateTable(probe, lx, ly);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(line[i], 1 + 3 * probe[i], 1e-5) << probe[i];

    EXPECT_EQ(op.InterpolateTable(vec({-3, 8}), vec({2}), vec({5}))[1], 5);  // one entry: its value
    EXPECT_EQ(op.InterpolateTable(vec({-3, 8}), vec({2}), vec({5}))[0], 5);
    EXPECT_EQ(ErrorText([&] { op.InterpolateTable(vec({1}), LwFloatMatrix(), LwFloatMatrix()); }),
              "InterpolateTable: the table is empty");
    EXPECT_EQ(ErrorText([&] {
                  op.InterpolateTable(vec({1}), vec({1, std::nanf("")}), vec({1, 2}));
              }),
              "InterpolateTable: abscissa is not a number");
}

TEST(LwMatrixOperatorProfiles, AccumulateLongMatrix)
{
    LwLDoubleMatrix sum =
        MakeMatrix<LwLDoubleMatrix>(3, 2, 1, -1, [](int c, int r) { return LDouble(0.5 * c + r); });
    const LwLongMatrix addend =
        MakeMatrix<LwLongMatrix>(3, 2, 1, -1, [](int c, int r) { return 1000000000 * (c - 2) + r; });
    LwMatrixOperator::AccumulateLongMatrix(sum, addend);
    for (int r = -1; r < 1; ++r)
        for (int c = 1; c < 4; ++c)
            EXPECT_EQ(sum(c, r), LDouble(0.5 * c + r) + LDouble(1000000000.0 * (c - 2) + r)) << c << "," << r;

    const LwLDoubleMatrix before = sum;
    LwLongMatrix otherRows = addend;
    otherRows.RowBegin = 0;
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::AccumulateLongMatrix(sum, otherRows); }), "SizeDifferent");
    EXPECT_TRUE(SameElements(sum, before));
}
