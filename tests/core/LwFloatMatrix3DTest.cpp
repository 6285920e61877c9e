// Voxel sets: creation, whole-buffer fill and copies.
#include "core/LwFloatMatrix3D.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

void ExpectSizes(const LwFloatMatrix3D& m, int c, int r, int d)
{
    EXPECT_EQ(m.ColSize, c);
    EXPECT_EQ(m.RowSize, r);
    EXPECT_EQ(m.DepthSize, d);
}

TEST(LwFloatMatrix3D, CreateAndFill)
{
    LwFloatMatrix3D m;
    EXPECT_EQ(m.Buffer(), nullptr);
    m.ColBegin = 1;
    m.DepthBegin = 2;
    m.Create(2, 3, 4);
    ExpectSizes(m, 2, 3, 4);
    EXPECT_EQ(m.ColBegin, 0);
    EXPECT_EQ(m.DepthBegin, 0);
    EXPECT_EQ(m.ElementCount(), 24);
    m.Fill(5.0f);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(m.Buffer()[i], 5.0f) << i;

    // A zero size means no buffer.
    m.Create(3, 0, 2);
    ExpectSizes(m, 3, 0, 2);
    EXPECT_EQ(m.Buffer(), nullptr);
    m.Fill(1.0f);  // nothing to fill
}

TEST(LwFloatMatrix3D, BadShapesLeaveAnEmptyVoxelSet)
{
    struct Case
    {
        int c, r, d;
    };
    // Negative sizes, and shapes of 2^31 or more elements that would wrap in
    // 32-bit arithmetic (1024^3 * 2 = 2^31, 65536 * 65536 * 1 = 2^32).
    const Case cases[] = {{2, 2, -1},         {-1, 2, 2},        {2, -3, 2},
                          {1024, 1024, 2048}, {65536, 65536, 1}, {INT_MAX, INT_MAX, INT_MAX}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.c) + "," + std::to_string(c.r) + "," + std::to_string(c.d));
        LwFloatMatrix3D m;
        m.Create(2, 2, 2);
        m.RowBegin = 3;
        EXPECT_EQ(ErrorText([&] { m.Create(c.c, c.r, c.d); }), "Cannot Get Memory");
        ExpectSizes(m, 0, 0, 0);
        EXPECT_EQ(m.Buffer(), nullptr);
        EXPECT_EQ(m.RowBegin, 0);  // Create reset the begins before GetMemory refused
    }
    LwFloatMatrix3D m;
    m.DepthBegin = 9;
    EXPECT_EQ(ErrorText([&] { m.GetMemory(4, -1, 4); }), "Cannot Get Memory");
    EXPECT_EQ(m.DepthBegin, 9);
}

TEST(LwFloatMatrix3D, CopiesAreDeep)
{
    LwFloatMatrix3D a;
    a.Create(2, 2, 3);
    a.ColBegin = -1;
    a.RowBegin = 4;
    a.DepthBegin = 7;
    for (int i = 0; i < a.ElementCount(); ++i)
        a.Buffer()[i] = static_cast<float>(i) * 0.5f;

    const LwFloatMatrix3D b(a);
    LwFloatMatrix3D c;
    c.Create(5, 5, 5);
    c = a;
    for (const LwFloatMatrix3D* m : {&b, static_cast<const LwFloatMatrix3D*>(&c)}) {
        ExpectSizes(*m, 2, 2, 3);
        EXPECT_EQ(m->ColBegin, -1);
        EXPECT_EQ(m->RowBegin, 4);
        EXPECT_EQ(m->DepthBegin, 7);
        EXPECT_NE(m->Buffer(), a.Buffer());
        for (int i = 0; i < a.ElementCount(); ++i)
            EXPECT_EQ(m->Buffer()[i], a.Buffer()[i]);
    }
    c = c;
    EXPECT_EQ(c.Buffer()[11], 5.5f);
    a.DeleteMemory();
    ExpectSizes(a, 0, 0, 0);
    EXPECT_EQ(b.Buffer()[11], 5.5f);
}

}  // namespace
