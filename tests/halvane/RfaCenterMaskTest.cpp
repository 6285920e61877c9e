// The shift to the centre and the two mask rules on images, each checked
// against a direct statement of its geometry written here.
#include "apps/halvane/engine/RfaParameters.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// Pixel (c, r) holds a value unique to its position, never 0.
LwFloatMatrix Numbered(int cols, int rows, int colBegin = 0, int rowBegin = 0)
{
    LwFloatMatrix m(cols, rows);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int r = rowBegin; r < rowBegin + rows; ++r)
        for (int c = colBegin; c < colBegin + cols; ++c)
            m(c, r) = 1.0f + static_cast<float>(c - colBegin) + 1000.0f * static_cast<float>(r - rowBegin);
    return m;
}

TEST(ShiftToCenter, ShiftsCyclicallyByTheTruncatedOffset)
{
    const LwFloatMatrix image = Numbered(256, 200, 3, -5);
    struct Case
    {
        double sx, sy;
        int dx, dy;
    };
    // Image centre (128, 100); begins do not enter the shift.
    const Case cases[] = {
        {128, 100, 0, 0}, {100, 100, 28, 0}, {130.5, 100, -2, 0}, {128, 90.9, 0, 9}, {300, -40, -172, 140}};
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.sx << " " << k.sy);
        RfaParameters p;
        p.Sx_ = k.sx;
        p.Sy_ = k.sy;
        const LwFloatMatrix out = p.ShiftToCenter(image);
        ASSERT_EQ(out.ColSize, 256);
        ASSERT_EQ(out.RowSize, 200);
        EXPECT_EQ(out.ColBegin, 3);
        EXPECT_EQ(out.RowBegin, -5);
        int wrong = 0;
        for (int r = 0; r < 200; ++r)
            for (int c = 0; c < 256; ++c) {
                const int tc = ((c + k.dx) % 256 + 256) % 256;
                const int tr = ((r + k.dy) % 200 + 200) % 200;
                if (out(3 + tc, -5 + tr) != image(3 + c, -5 + r))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0);
    }
    // Source columns 228..255 land on 0..27 for Sx 100.
    RfaParameters p;
    p.Sx_ = 100;
    p.Sy_ = 100;
    const LwFloatMatrix out = p.ShiftToCenter(Numbered(256, 200));
    EXPECT_EQ(out(0, 7), Numbered(256, 200)(228, 7));
    EXPECT_EQ(out(27, 7), Numbered(256, 200)(255, 7));
}

TEST(ShiftToCenter, CentresBeyondOneImageSizeAndNonFiniteCentresAreErrors)
{
    // The centre may lie up to one image size from the image centre
    // (128, 100) of a 256 x 200 image; beyond, the error names the range.
    struct Case
    {
        double sx, sy;
        std::string error;
    };
    const Case cases[] = {
        {128 + 300, 100,
         "Screen Cx = 428 is out of range: it must be from -128 to 384 (the image centre 128 plus or minus "
         "the "
         "image width)"},
        {744, 100,
         "Screen Cx = 744 is out of range: it must be from -128 to 384 (the image centre 128 plus or "
         "minus the image width)"},
        {-128.5, 100,
         "Screen Cx = -128.5 is out of range: it must be from -128 to 384 (the image centre 128 "
         "plus or minus the image width)"},
        {100, 300.5,
         "Screen Cy = 300.5 is out of range: it must be from -100 to 300 (the image centre 100 plus "
         "or minus the image height)"},
        {-128, 300, "(no error)"},
        {384, -100, "(no error)"},
    };
    RfaParameters p;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        p.Sx_ = k.sx;
        p.Sy_ = k.sy;
        EXPECT_EQ(ErrorText([&] { p.ShiftToCenter(Numbered(256, 200)); }), k.error);
    }
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300}) {
        p.Sx_ = bad;
        EXPECT_EQ(ErrorText([&] { p.ShiftToCenter(Numbered(8, 8)); }),
                  "Screen centre is not a finite number");
    }
}

TEST(DipMask, ZeroesTheDiscOfRadiusPlusHalfExactly)
{
    struct Case
    {
        double cx, cy, r;
    };
    const Case cases[] = {{166, 150, 10}, {3.5, 2, 7.25}, {299, 0, 20}, {-50, 10, 5}, {100, 100, -0.5}};
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.cx << " " << k.cy << " " << k.r);
        RfaParameters p;
        p.McpDipCx_ = k.cx;
        p.McpDipCy_ = k.cy;
        p.McpDipR_ = k.r;
        LwFloatMatrix image = Numbered(300, 260);
        const LwFloatMatrix source = image;
        p.ApplyDipMask(image);
        const double radius = k.r + 0.5;
        int wrong = 0;
        for (int y = 0; y < 260; ++y)
            for (int x = 0; x < 300; ++x) {
                const double d2 = (x - k.cx) * (x - k.cx) + (y - k.cy) * (y - k.cy);
                // Pixels within a hair of the circle may go either way in float.
                if (radius > 0 && std::fabs(d2 - radius * radius) < 1e-3 * radius * radius)
                    continue;
                const bool inside = radius > 0 && d2 <= radius * radius;
                if ((image(x, y) == 0) != inside || (!inside && image(x, y) != source(x, y)))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0);
    }
    RfaParameters p;
    p.McpDipR_ = 10;
    LwFloatMatrix image = Numbered(300, 260);
    p.ApplyDipMask(image);
    EXPECT_EQ(image(176, 150), 0);
    EXPECT_NE(image(177, 150), 0);
    p.McpDipR_ = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(ErrorText([&] { p.ApplyDipMask(image); }), "MCP dip circle is not a finite number");
}

TEST(OutsideMask, KeepsTheEllipseAndZeroesEverythingElse)
{
    struct Case
    {
        double cx, cy, rx, ry;
    };
    const Case cases[] = {{150, 150, 128, 128}, {100, 40, 30, 90}, {0, 0, 10, 10}, {150, 150, 0, 5}};
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.cx << " " << k.cy << " " << k.rx << " " << k.ry);
        RfaParameters p;
        p.MaskCx_ = k.cx;
        p.MaskCy_ = k.cy;
        p.MaskRx_ = k.rx;
        p.MaskRy_ = k.ry;
        LwFloatMatrix image = Numbered(300, 170, -2, 1);  // wider than tall, shifted begins
        const LwFloatMatrix source = image;
        p.ApplyOutsideMask(image);
        const double ax = k.rx + 0.5, ay = k.ry + 0.5;
        int wrong = 0;
        // Positions count from the first pixel, (-2, 1).
        for (int y = 1; y < 171; ++y)
            for (int x = -2; x < 298; ++x) {
                const double dx = x + 2 - k.cx, dy = y - 1 - k.cy;
                const double v = dx * dx / (ax * ax) + dy * dy / (ay * ay);
                if (std::fabs(v - 1) < 1e-9)
                    continue;
                const bool outside = v > 1;
                if ((image(x, y) == 0) != outside || (!outside && image(x, y) != source(x, y)))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0);
    }
    RfaParameters p;
    p.MaskRx_ = p.MaskRy_ = 128;
    LwFloatMatrix image = Numbered(300, 300);
    p.ApplyOutsideMask(image);
    EXPECT_NE(image(278, 150), 0);
    EXPECT_EQ(image(279, 150), 0);

    p.MaskRx_ = -1;
    LwFloatMatrix untouched = Numbered(40, 30);
    p.ApplyOutsideMask(untouched);
    EXPECT_EQ(std::memcmp(untouched.Buffer(), Numbered(40, 30).Buffer(), 4 * 40 * 30), 0);
}

}  // namespace
