// The Barn element of a complex matrix: two LDouble matrices "real" and "imag".
#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "imageops/LwComplexMatrixBarn.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>

using barn_test::ErrorText;
using barn_test::Parse;
using barn_test::WriteInD;

namespace {

LwLComplexMatrix Sample()
{
    LwLComplexMatrix m(2, 3);
    m.ColBegin = 1;
    m.RowBegin = 2;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            m(c + 1, r + 2) = LComplex(c + 0.5L * r, -1.25L * (c + 1) + r);
    return m;
}

void ExpectSame(const LwLComplexMatrix& a, const LwLComplexMatrix& b)
{
    ASSERT_EQ(a.ColSize, b.ColSize);
    ASSERT_EQ(a.RowSize, b.RowSize);
    EXPECT_EQ(a.ColBegin, b.ColBegin);
    EXPECT_EQ(a.RowBegin, b.RowBegin);
    for (int k = 0; k < a.ElementCount(); ++k)
        EXPECT_EQ(a.Buffer()[k], b.Buffer()[k]) << k;
}

}  // namespace

TEST(ComplexMatrixBarn, RoundTripInEveryFormat)
{
    for (const char* format : {"t", "b", "bb"}) {
        SCOPED_TRACE(format);
        LwLComplexMatrix m = Sample();
        const std::string text =
            WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(SerializeMatrix(doc, "c", m, format)); });
        auto doc = Parse(text);
        ASSERT_TRUE(doc->OpenRack("d"));
        LwLComplexMatrix read;
        EXPECT_TRUE(SerializeMatrix(*doc, "c", read, "t"));
        ExpectSame(read, Sample());
        EXPECT_FALSE(SerializeMatrix(*doc, "c", read, "t"));
        ExpectSame(read, Sample());
    }
}

TEST(ComplexMatrixBarn, RealPartAloneIsAnLDoubleMatrix)
{
    LwLComplexMatrix m = Sample();
    const std::string text = WriteInD([&](LwBarnXml& doc) { SerializeMatrix(doc, "c", m, "t"); });
    auto doc = Parse(text);
    ASSERT_TRUE(doc->OpenRack("d"));
    ASSERT_TRUE(doc->OpenRack("c"));
    ASSERT_TRUE(doc->OpenRack("complex_matrix"));
    LwLDoubleMatrix re, im;
    EXPECT_TRUE(SerializeMatrix(*doc, "real", re, "t"));
    EXPECT_TRUE(SerializeMatrix(*doc, "imag", im, "t"));
    ASSERT_EQ(re.ColSize, 2);
    ASSERT_EQ(re.RowSize, 3);
    EXPECT_EQ(re.ColBegin, 1);
    EXPECT_EQ(re.RowBegin, 2);
    const LwLComplexMatrix s = Sample();
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(re.Buffer()[k], s.Buffer()[k].real());
        EXPECT_EQ(im.Buffer()[k], s.Buffer()[k].imag());
    }
}

TEST(ComplexMatrixBarn, MismatchedPartsAndMissingRacks)
{
    // Only the real part: the sizes differ and the matrix is kept.
    LwLDoubleMatrix re(2, 2);
    re.SetZero();
    const std::string onlyReal = WriteInD([&](LwBarnXml& doc) {
        doc.OpenRack("c");
        doc.OpenRack("complex_matrix");
        SerializeMatrix(doc, "real", re, "t");
        doc.CloseRack("complex_matrix");
        doc.CloseRack("c");
    });
    auto doc = Parse(onlyReal);
    ASSERT_TRUE(doc->OpenRack("d"));
    LwLComplexMatrix m = Sample();
    EXPECT_EQ(ErrorText([&] { SerializeMatrix(*doc, "c", m, "t"); }), "Matrix size is not same");
    ExpectSame(m, Sample());

    // A named rack without "complex_matrix": true, matrix unchanged.
    auto empty = Parse("<d><c></c></d>");
    ASSERT_TRUE(empty->OpenRack("d"));
    EXPECT_TRUE(SerializeMatrix(*empty, "c", m, "t"));
    ExpectSame(m, Sample());
}
