#include "core/LwBarnXml.h"
#include "core/LwImageRegion.h"
#include "core/LwSerialCounter.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Written(LwImageRegion& region)
{
    return barn_test::WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(region.Serialize(doc, "I0Region")); });
}

LwImageRegion ReadBack(const std::string& text)
{
    auto doc = barn_test::Parse(text);
    EXPECT_TRUE(doc->OpenRack("d"));
    LwImageRegion region;
    EXPECT_TRUE(region.Serialize(*doc, "I0Region"));
    EXPECT_NO_THROW(doc->CloseRack("d"));
    return region;
}

}  // namespace

TEST(LwImageRegion, NewRegionIsTheUnitSquare)
{
    const LwImageRegion region;
    EXPECT_EQ(region.Left, 0.0f);
    EXPECT_EQ(region.Bottom, 0.0f);
    EXPECT_EQ(region.Width, 1.0f);
    EXPECT_EQ(region.Height, 1.0f);
    EXPECT_EQ(region.RegionType, 0);
    EXPECT_TRUE(region.Name.empty());
    EXPECT_TRUE(region.Points.empty());
}

TEST(LwImageRegion, ColorTable)
{
    const auto& table = LwImageRegion::RegionColorTable();
    const LwULong expected[16] = {0xFF0000, 0x008000, 0xFF00FF, 0x00FF00, 0x000080, 0x008080,
                                  0x800080, 0x808000, 0xFFFF00, 0x808080, 0x0000FF, 0x808080,
                                  0x00FFFF, 0xC0C0C0, 0x800000, 0xC0C0C0};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(table[i], expected[i]) << i;
}

TEST(LwImageRegion, ColorsFollowTheSharedSerialCounter)
{
    const auto& table = LwImageRegion::RegionColorTable();
    const LwLong before = TakeSerialId();
    LwLong serial = before;
    for (int i = 0; i < 20; ++i) {
        serial = NextSerialValue(serial);
        const LwImageRegion region;
        EXPECT_EQ(region.Color, table[serial % 16]) << "region " << i;
    }
    // The next take continues after the regions' values.
    EXPECT_EQ(TakeSerialId(), NextSerialValue(serial));
}

TEST(LwImageRegion, RectangleRoundTripWithoutPolygon)
{
    LwImageRegion region;
    region.Left = 10.5f;
    region.Bottom = -3;
    region.Width = 200;
    region.Height = 0.25f;
    region.Name = "I0 <box>";
    region.Points = {{1, 2}};  // not a polygon: the points are not written
    const std::string text = Written(region);
    EXPECT_EQ(text, "<d><I0Region><Left>10.5</Left>\n<Bottom>-3</Bottom>\n<Width>200</Width>\n"
                    "<Height>0.25</Height>\n<ReginType>0</ReginType>\n<Name>I0 &lt;box&gt;</Name>\n"
                    "</I0Region>\n</d>\n");
    const LwImageRegion back = ReadBack(text);
    EXPECT_EQ(back.Left, 10.5f);
    EXPECT_EQ(back.Bottom, -3.0f);
    EXPECT_EQ(back.Width, 200.0f);
    EXPECT_EQ(back.Height, 0.25f);
    EXPECT_EQ(back.Name, "I0 <box>");
    EXPECT_TRUE(back.Points.empty());
}

TEST(LwImageRegion, PolygonRoundTrip)
{
    LwImageRegion region;
    region.RegionType = LwImageRegion::kPolygon;
    region.Points = {{0, 0}, {10, 0}, {5, 8.5f}};
    const LwImageRegion back = ReadBack(Written(region));
    EXPECT_EQ(back.RegionType, LwImageRegion::kPolygon);
    ASSERT_EQ(back.Points.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.Points[i].x, region.Points[i].x) << i;
        EXPECT_EQ(back.Points[i].y, region.Points[i].y) << i;
    }
}

TEST(LwImageRegion, MissingElementsReadAsZero)
{
    const struct
    {
        const char* body;
        float width;
        std::size_t points;
        const char* why;
    } rows[] = {
        {"", 0.0f, 0, "every element missing: width 0, not the constructed 1"},
        {"<Width>2</Width><ReginType>2</ReginType>", 2.0f, 0, "polygon without its point rack"},
        {"<ReginType>2</ReginType><polygon><i><x>1</x></i><i/><i></i></polygon>", 0.0f, 2,
         "points with a missing coordinate; a self-closed tag is no \"i\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const LwImageRegion back = ReadBack(std::string("<d><I0Region>") + r.body + "</I0Region></d>");
        EXPECT_EQ(back.Left, 0.0f);
        EXPECT_EQ(back.Width, r.width);
        EXPECT_EQ(back.Points.size(), r.points);
        for (const auto& p : back.Points)
            EXPECT_EQ(p.y, 0.0f);
    }
}

TEST(LwImageRegion, MissingRackKeepsTheRegion)
{
    auto doc = barn_test::Parse("<d></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    LwImageRegion region;
    EXPECT_FALSE(region.Serialize(*doc, "I0Region"));
    EXPECT_EQ(region.Width, 1.0f);
    EXPECT_EQ(region.Height, 1.0f);
}
