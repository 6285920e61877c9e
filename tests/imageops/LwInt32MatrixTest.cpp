// The 32-bit integer matrix: resizing, the range message, and its Barn
// element in every form, read back by itself and by LwLongMatrix.

#include "core/LwBarnXml.h"
#include "core/LwMatrixBarn.h"
#include "imageops/LwInt32Matrix.h"
#include "BarnTestText.h"
#include "FilledMatrix.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

using barn_test::ErrorText;
using barn_test::Parse;
using barn_test::WriteInD;

namespace {

const char* const kFormats[] = {"t", "b", "bb"};

// Values of both signs and all magnitudes, the ends of the range included.
std::int32_t Sample(int i)
{
    const std::int32_t values[] = {0,
                                   7,
                                   -3,
                                   1234567,
                                   -987654321,
                                   std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min(),
                                   1,
                                   -1,
                                   1000000,
                                   65536};
    return values[i % 11];
}

template <class A, class B>
void ExpectSameMatrix(const A& got, const B& want)
{
    ASSERT_EQ(got.ColSize, want.ColSize);
    ASSERT_EQ(got.RowSize, want.RowSize);
    EXPECT_EQ(got.ColBegin, want.ColBegin);
    EXPECT_EQ(got.RowBegin, want.RowBegin);
    for (int i = 0; i < want.ElementCount(); ++i)
        EXPECT_EQ(got.Buffer()[i], want.Buffer()[i]) << i;
}

std::string Written(LwInt32Matrix& m, const std::string& format)
{
    return WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(Int32MatrixElement(doc, "m", m, format)); });
}

std::string Written(LwLongMatrix& m, const std::string& format)
{
    return WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(SerializeMatrix(doc, "m", m, format)); });
}

bool ReadBack(const std::string& text, LwInt32Matrix& m)
{
    auto doc = Parse(text);
    EXPECT_TRUE(doc->OpenRack("d"));
    return Int32MatrixElement(*doc, "m", m, "b");
}

bool ReadBack(const std::string& text, LwLongMatrix& m)
{
    auto doc = Parse(text);
    EXPECT_TRUE(doc->OpenRack("d"));
    return SerializeMatrix(*doc, "m", m, "b");
}

}  // namespace

TEST(LwInt32Matrix, SetSizeRefusesNegativeSizes)
{
    LwInt32Matrix m = FilledMatrix<LwInt32Matrix>(3, 2, 4, -5, Sample);
    m.ColBegin = 4;
    m.RowBegin = -5;
    EXPECT_EQ(ErrorText([&] { m.SetSize(-1, -1); }), "matrix creation Parameter Error");
    EXPECT_EQ(m.ColBegin, 4);
    EXPECT_EQ(m.RowBegin, -5);
    EXPECT_EQ(m.ColSize, 3);

    EXPECT_EQ(ErrorText([&] { m.SetSize(-1, 4); }), "Matrix Parameter Error");
    EXPECT_EQ(m.ColBegin, 0);
    EXPECT_EQ(m.RowBegin, 0);
    EXPECT_EQ(m.ColSize, 3);
    EXPECT_EQ(m.RowSize, 2);
}

TEST(LwInt32Matrix, SetSizeKeepsABufferOfTheSameCount)
{
    LwInt32Matrix m = FilledMatrix<LwInt32Matrix>(3, 2, 1, 1, Sample);
    const std::int32_t* buffer = m.Buffer();
    m.SetSize(2, 3);
    EXPECT_EQ(m.Buffer(), buffer);
    EXPECT_EQ(m.ColSize, 2);
    EXPECT_EQ(m.RowSize, 3);
    EXPECT_EQ(m.ColBegin, 0);
    EXPECT_EQ(m.RowBegin, 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m.Buffer()[i], Sample(i));

    m.SetSize(0, 5);
    EXPECT_EQ(m.ColSize, 0);
    EXPECT_EQ(m.RowSize, 5);
    EXPECT_EQ(m.Buffer(), nullptr);
}

TEST(LwInt32Matrix, IndexOutsideTheRangesThrowsTheRangeMessage)
{
    LwInt32Matrix m;
    m.SetSize(3, 1);
    EXPECT_EQ(m.Index(2, 0), 2);
    EXPECT_EQ(ErrorText([&] { m.Index(3, 0); }),
              "Matrix over range. access=(3,0) size=(3,1) begin=(0,0)FastReturn=false");
    m.ColBegin = -2;
    m.RowBegin = 7;
    EXPECT_EQ(ErrorText([&] { m(1, 7); }),
              "Matrix over range. access=(1,7) size=(3,1) begin=(-2,7)FastReturn=false");
    EXPECT_EQ(m[0], m(0, 7));  // a row vector is indexed by its column
}

TEST(LwInt32Matrix, ElementRoundTripsInEveryForm)
{
    struct Shape
    {
        int cols, rows, colBegin, rowBegin;
    };
    const Shape shapes[] = {{3, 2, 0, 0}, {1, 11, -4, 2}, {11, 1, 5, -7}, {1, 1, 0, 3}};
    for (const char* format : kFormats) {
        for (const Shape& s : shapes) {
            SCOPED_TRACE(std::string(format) + " " + std::to_string(s.cols) + "x" + std::to_string(s.rows));
            LwInt32Matrix original =
                FilledMatrix<LwInt32Matrix>(s.cols, s.rows, s.colBegin, s.rowBegin, Sample);
            LwInt32Matrix read;
            ASSERT_TRUE(ReadBack(Written(original, format), read));
            ExpectSameMatrix(read, original);
        }
    }
    // An empty matrix reads back empty.
    for (const char* format : kFormats) {
        LwInt32Matrix empty;
        LwInt32Matrix read = FilledMatrix<LwInt32Matrix>(2, 2, 0, 0, Sample);
        EXPECT_TRUE(ReadBack(Written(empty, format), read)) << format;
        EXPECT_EQ(read.ElementCount(), 0) << format;
    }
}

TEST(LwInt32Matrix, WrittenFormsAndTags)
{
    LwInt32Matrix m;
    m.SetSize(2, 1);
    m(0, 0) = 7;
    m(1, 0) = -3;
    const std::string text = Written(m, "t");
    EXPECT_NE(text.find("<m><lw_matrix>"), std::string::npos) << text;
    EXPECT_NE(text.find("7,-3,"), std::string::npos) << text;

    EXPECT_NE(Written(m, "b").find("<m><LwLongMatrixBinary>"), std::string::npos);
    EXPECT_NE(Written(m, "b").find("<base64>"), std::string::npos);
    EXPECT_NE(Written(m, "bb").find("<base64b>"), std::string::npos);
    // RFC 4648 text of the bytes 07 00 00 00 fd ff ff ff.
    EXPECT_NE(Written(m, "bb").find("<base64b>BwAAAP3///8=</base64b>"), std::string::npos)
        << Written(m, "bb");

    LwBarnXml doc("w");
    doc.OpenRack("d");
    EXPECT_EQ(ErrorText([&] { Int32MatrixElement(doc, "m", m, "x"); }), "Write format error");
}

TEST(LwInt32Matrix, BinaryFormIsSharedWithLwLongMatrix)
{
    for (const char* format : {"b", "bb"}) {
        SCOPED_TRACE(format);
        LwLongMatrix longMatrix = FilledMatrix<LwLongMatrix>(4, 3, -1, 2, Sample);
        LwInt32Matrix fromLong;
        ASSERT_TRUE(ReadBack(Written(longMatrix, format), fromLong));
        ExpectSameMatrix(fromLong, longMatrix);

        LwInt32Matrix int32Matrix = FilledMatrix<LwInt32Matrix>(2, 5, 3, -3, Sample);
        LwLongMatrix fromInt32;
        ASSERT_TRUE(ReadBack(Written(int32Matrix, format), fromInt32));
        ExpectSameMatrix(fromInt32, int32Matrix);
    }
}

TEST(LwInt32Matrix, TextNumbersAreTruncatedTowardZero)
{
    // Written by a floating-point matrix, read by the integer one.
    struct Case
    {
        LDouble value;
        std::int32_t expected;
    };
    const Case cases[] = {{2.9, 2},
                          {-2.9, -2},
                          {0.5, 0},
                          {-0.5, 0},
                          {1e12, std::numeric_limits<std::int32_t>::max()},
                          {-1e12, std::numeric_limits<std::int32_t>::min()},
                          {std::numeric_limits<LDouble>::quiet_NaN(), 0}};
    const int n = static_cast<int>(sizeof cases / sizeof cases[0]);
    LwLDoubleMatrix values(n, 1);
    for (int i = 0; i < n; ++i)
        values(i, 0) = cases[i].value;
    const std::string text =
        WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(SerializeMatrix(doc, "m", values, "t")); });
    LwInt32Matrix read;
    ASSERT_TRUE(ReadBack(text, read));
    ASSERT_EQ(read.ElementCount(), n);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(read(i, 0), cases[i].expected) << i;

    // The older text form is read the same way.
    const std::string legacy =
        "<d><m><LDoubleMatrix><ColSize>2</ColSize><ColBegin>1</ColBegin><RowSize>1</RowSize>"
        "<RowBegin>-1</RowBegin><elements><r>3.7,-8.2</r></elements></LDoubleMatrix></m></d>";
    ASSERT_TRUE(ReadBack(legacy, read));
    EXPECT_EQ(read.ColBegin, 1);
    EXPECT_EQ(read(1, -1), 3);
    EXPECT_EQ(read(2, -1), -8);
}

TEST(LwInt32Matrix, MissingElementOrFormLeavesTheMatrix)
{
    const std::string texts[] = {
        "<d><other>1</other></d>",
        "<d><m><SomethingElse><ColSize>1</ColSize></SomethingElse></m></d>",
        // Binary data too short for the sizes.
        "<d><m><LwLongMatrixBinary><ColSize>2</ColSize><ColBegin>0</ColBegin><RowSize>2</RowSize>"
        "<RowBegin>0</RowBegin><base64b>BwAAAA==</base64b></LwLongMatrixBinary></m></d>",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        LwInt32Matrix m = FilledMatrix<LwInt32Matrix>(3, 1, 6, 6, Sample);
        const LwInt32Matrix before = m;
        EXPECT_FALSE(ReadBack(text, m));
        ExpectSameMatrix(m, before);
    }
}

TEST(LwInt32Matrix, NegativeSizesInADocumentAreRefused)
{
    const std::string text =
        "<d><m><LwLongMatrixBinary><ColSize>-1</ColSize><ColBegin>0</ColBegin><RowSize>2</RowSize>"
        "<RowBegin>0</RowBegin><base64b>BwAAAA==</base64b></LwLongMatrixBinary></m></d>";
    LwInt32Matrix m = FilledMatrix<LwInt32Matrix>(1, 1, 2, 2, Sample);
    EXPECT_EQ(ErrorText([&] { ReadBack(text, m); }), "Matrix Parameter Error");
    EXPECT_EQ(m.ColSize, 1);
}
