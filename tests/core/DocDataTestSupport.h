#pragma once
// Helpers of the processed-image document tests: matrices filled with known
// values, element-by-element comparison, and the text of one matrix element.

#include "core/LwBarnXml.h"
#include "core/LwDocData.h"
#include "core/LwFloatMatrix3D.h"
#include "core/LwMatrix.h"
#include "core/LwMatrixBarn.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>

namespace docdata_test {

// A colSize x rowSize image with the given begins; element k of the buffer
// holds seed + k / 8 (exact in float for the sizes used here).
inline LwFloatMatrix Image(int colSize, int rowSize, int colBegin, int rowBegin, float seed)
{
    LwFloatMatrix m(colSize, rowSize);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int k = 0; k < m.ElementCount(); ++k)
        m.Buffer()[k] = seed + static_cast<float>(k) / 8;
    return m;
}

inline LwFloatMatrix3D Voxels(int colSize, int rowSize, int depthSize, float seed)
{
    LwFloatMatrix3D m;
    m.Create(colSize, rowSize, depthSize);
    m.ColBegin = -1;
    m.RowBegin = 2;
    m.DepthBegin = 3;
    for (int k = 0; k < m.ElementCount(); ++k)
        m.Buffer()[k] = seed - static_cast<float>(k) / 4;
    return m;
}

// Same sizes, begins and elements (bit for bit, through float equality).
template <class M>
::testing::AssertionResult SameMatrix2D(const M& a, const M& b)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize || a.ColBegin != b.ColBegin ||
        a.RowBegin != b.RowBegin)
        return ::testing::AssertionFailure()
               << "shape " << a.ColSize << "x" << a.RowSize << "@(" << a.ColBegin << "," << a.RowBegin
               << ") vs " << b.ColSize << "x" << b.RowSize << "@(" << b.ColBegin << "," << b.RowBegin << ")";
    for (int k = 0; k < a.ElementCount(); ++k)
        if (!(a.Buffer()[k] == b.Buffer()[k]))
            return ::testing::AssertionFailure()
                   << "element " << k << ": " << a.Buffer()[k] << " vs " << b.Buffer()[k];
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult SameMatrix3D(const LwFloatMatrix3D& a, const LwFloatMatrix3D& b)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize || a.DepthSize != b.DepthSize ||
        a.ColBegin != b.ColBegin || a.RowBegin != b.RowBegin || a.DepthBegin != b.DepthBegin)
        return ::testing::AssertionFailure() << "3-D shapes differ";
    for (int k = 0; k < a.ElementCount(); ++k)
        if (!(a.Buffer()[k] == b.Buffer()[k]))
            return ::testing::AssertionFailure() << "voxel " << k << " differs";
    return ::testing::AssertionSuccess();
}

// Every field that a document stores.
inline void ExpectSameContent(const LwDocData& a, const LwDocData& b)
{
    EXPECT_EQ(a.InfoValue, b.InfoValue);
    EXPECT_EQ(a.InfoString, b.InfoString);
    ASSERT_EQ(a.Images.size(), b.Images.size());
    for (auto i = a.Images.begin(), j = b.Images.begin(); i != a.Images.end(); ++i, ++j) {
        EXPECT_EQ(i->first, j->first);
        EXPECT_TRUE(SameMatrix2D(i->second, j->second)) << "image " << i->first;
    }
    ASSERT_EQ(a.Waves.size(), b.Waves.size());
    for (auto i = a.Waves.begin(), j = b.Waves.begin(); i != a.Waves.end(); ++i, ++j) {
        EXPECT_EQ(i->first, j->first);
        EXPECT_TRUE(SameMatrix2D(i->second, j->second)) << "wave " << i->first;
    }
    ASSERT_EQ(a.Voxels.size(), b.Voxels.size());
    for (auto i = a.Voxels.begin(), j = b.Voxels.begin(); i != a.Voxels.end(); ++i, ++j) {
        EXPECT_EQ(i->first, j->first);
        EXPECT_TRUE(SameMatrix3D(i->second, j->second)) << "voxel set " << i->first;
    }
}

// The text of one matrix element named `name` in the binary form `format`, as
// it stands inside a document.
template <class M>
std::string MatrixElementText(const std::string& name, M matrix, const std::string& format = "b")
{
    const std::string text =
        barn_test::WriteInD([&](LwBarnXml& doc) { SerializeMatrix(doc, name, matrix, format); });
    // Strip the wrapping "<d>" ... "</d>\n".
    return text.substr(3, text.size() - 3 - 5);
}

// A read-mode document of `text`, read into `data`.
inline bool ReadText(LwDocData& data, const std::string& text)
{
    auto doc = barn_test::Parse(text);
    return data.Serialize(*doc);
}

inline std::string WrittenText(LwDocData& data)
{
    LwBarnXml doc("w");
    EXPECT_TRUE(data.Serialize(doc));
    return barn_test::WrittenText(doc);
}

}  // namespace docdata_test
