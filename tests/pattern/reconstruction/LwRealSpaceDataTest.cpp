#include "core/LwBarnFile.h"
#include "core/LwMatrixBarn.h"
#include "core/LwUsableMemory.h"
#include "pattern/reconstruction/LwRealSpaceData.h"
#include "BarnTestFiles.h"
#include "ErrorText.h"
#include "ReconstructionTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using recon_test::Carrier;

namespace {

// Point index of (ix, iy, iz), x fastest.
int PointIndex(int ix, int iy, int iz, int nx, int ny)
{
    return (iz * ny + iy) * nx + ix;
}

// The default record (+-1e-9 m, step 1e-11 m) read from a document that
// carries no key at all: every default, 201 points per axis, the origin a
// grid point with no direction and density 0, the cut-off sphere of radius
// 1e-9 m separating 1e-10 from 0.
TEST(LwRealSpaceData, DefaultGridFromADocumentWithoutKeys)
{
    LwRealSpaceData r;
    recon_test::ReadText("<real_space_all_3><RealSpaceFactory></RealSpaceFactory>"
                         "<list_real_space><el></el></list_real_space></real_space_all_3>",
                         [&](LwBarnXml& doc) { ASSERT_TRUE(r.LoadSave(doc)); });
    EXPECT_EQ(r.TotalPower_, 1.0f);
    EXPECT_EQ(r.Grid_.XMin_, -1e-9f);
    EXPECT_EQ(r.Grid_.ZMax_, 1e-9f);
    EXPECT_EQ(r.Grid_.Dx_, 1e-11f);
    EXPECT_EQ(r.Grid_.XCount_, 0);
    EXPECT_EQ(r.Grid_.NElement_, 1);
    EXPECT_EQ(r.NElement_, 1);
    ASSERT_EQ(r.NPoint_, 201 * 201 * 201);
    EXPECT_EQ(r.ElementRatio_[0], 1.0f);
    ASSERT_EQ(r.Gradient_.size(), 1u);

    const int origin = PointIndex(100, 100, 100, 201, 201);
    EXPECT_EQ(r.R_[origin], 0.0f);
    EXPECT_EQ(r.Density_[0][origin], 0.0f);
    EXPECT_EQ(r.Ux_[origin], 0.0f);
    EXPECT_TRUE(std::isfinite(r.Uz_[origin]));

    const int corner = PointIndex(0, 0, 0, 201, 201);
    EXPECT_EQ(r.Density_[0][corner], 0.0f);
    const int inside = PointIndex(150, 100, 100, 201, 201);  // x = 0.5e-9 m
    EXPECT_EQ(r.Density_[0][inside], 1e-10f);
    const int onAxisEdge = PointIndex(200, 100, 100, 201, 201);  // r = 1e-9 m: not inside
    EXPECT_EQ(r.Density_[0][onAxisEdge], 0.0f);
    EXPECT_EQ(r.Gradient_[0][inside], 0.0f);
}

// Every point: R from the coordinates (min + i dx in float), the direction a
// unit vector along them, the density by the cut-off rule.
TEST(LwRealSpaceData, PointsDirectionsAndCutoff)
{
    for (bool cutoff : {true, false}) {
        SCOPED_TRACE(cutoff ? "cut-off" : "no cut-off");
        LwRealSpaceData r;
        LwRealSpaceGrid& g = r.Grid_;
        g.XMin_ = -3e-10f;
        g.XMax_ = 4e-10f;
        g.YMin_ = -2e-10f;
        g.YMax_ = 1e-10f;
        g.ZMin_ = 0.0f;
        g.ZMax_ = 3e-10f;
        g.Dx_ = 1e-10f;
        r.AllocateGrid(2, cutoff, 3.5e-10f);
        ASSERT_EQ(r.NPoint_, 8 * 4 * 4);
        ASSERT_EQ(r.NElement_, 2);
        int p = 0;
        for (int iz = 0; iz < 4; ++iz)
            for (int iy = 0; iy < 4; ++iy)
                for (int ix = 0; ix < 8; ++ix, ++p) {
                    const double x = static_cast<float>(ix) * g.Dx_ + g.XMin_;
                    const double y = static_cast<float>(iy) * g.Dx_ + g.YMin_;
                    const double z = static_cast<float>(iz) * g.Dx_ + g.ZMin_;
                    const double rr = std::sqrt(x * x + y * y + z * z);
                    ASSERT_FLOAT_EQ(r.R_[p], static_cast<float>(rr)) << p;
                    if (rr > 0) {
                        EXPECT_NEAR(r.Ux_[p], x / rr, 1e-6) << p;
                        EXPECT_NEAR(r.Uy_[p], y / rr, 1e-6) << p;
                        EXPECT_NEAR(r.Uz_[p], z / rr, 1e-6) << p;
                    }
                    const float expected = (rr > 0 && (!cutoff || rr < 3.5e-10)) ? 1e-10f : 0.0f;
                    EXPECT_EQ(r.Density_[0][p], expected) << p;
                    EXPECT_EQ(r.Density_[1][p], expected) << p;
                }
    }
}

// Points per axis are floor((max - min) / dx + 1.5).
TEST(LwRealSpaceData, AxisCounts)
{
    struct Case
    {
        float min, max, dx;
        int count;
    };
    const Case cases[] = {
        {-1e-9f, 1e-9f, 3e-10f, 8},  // floor(6.67 + 1.5)
        {-1e-9f, 1e-9f, 1e-10f, 21}, {0.0f, 0.0f, 1e-10f, 1},  // a plane
        {0.0f, 1e-10f, 4e-10f, 1},  // floor(0.25 + 1.5)
        {0.0f, 1e-10f, 1e-10f, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << " .. " << c.max << " step " << c.dx);
        LwRealSpaceData r;
        r.Grid_.XMin_ = c.min;
        r.Grid_.XMax_ = c.max;
        r.Grid_.Dx_ = c.dx;
        r.Grid_.YMin_ = r.Grid_.YMax_ = 0.0f;
        r.Grid_.ZMin_ = r.Grid_.ZMax_ = 0.0f;
        r.AllocateGrid(1, false, 0.0f);
        EXPECT_EQ(r.NPoint_, c.count);
    }
}

// The grid element count must be 1 to 9 when the grid is built; grid
// bounds whose counts do not fit are refused in words before anything is
// allocated, the data unchanged.
TEST(LwRealSpaceData, RefusedGrids)
{
    struct Case
    {
        const char* what;
        LwLong elements;
        float dx;
        float xmax;
        const char* message;
    };
    const Case cases[] = {
        {"9 elements", 9, 1e-10f, 1e-10f, "(no error)"},
        {"10 elements", 10, 1e-10f, 1e-10f, "SPattern is not setted"},
        {"0 elements", 0, 1e-10f, 1e-10f, "SPattern is not setted"},
        {"-1 elements", -1, 1e-10f, 1e-10f, "SPattern is not setted"},
        {"zero step", 1, 0.0f, 1e-10f, "Real-space grid: the bounds and step along x give inf points"},
        {"tiny step", 1, 1e-30f, 1e-9f, "Real-space grid: the bounds and step along x give 1.1e+21 points"},
        {"reversed bounds", 1, 1e-10f, -5e-10f,
         "Real-space grid: the bounds and step along x give -3 points"},
        {"too many points", 1, 1e-12f, 1e-9f, "Real-space grid: 2001 x 2001 x 2001 points do not fit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwRealSpaceData r;
        recon_test::SetCubeGrid(r.Grid_, 3, 3, 3, 1e-10f);
        r.CreateFromGrid();
        ASSERT_EQ(r.NPoint_, 27);
        r.Grid_.NElement_ = c.elements;
        r.Grid_.Dx_ = c.dx;
        r.Grid_.XMax_ = c.xmax;
        if (std::string(c.what) == "too many points") {
            r.Grid_.XMin_ = r.Grid_.YMin_ = r.Grid_.ZMin_ = -1e-9f;
            r.Grid_.YMax_ = r.Grid_.ZMax_ = 1e-9f;
        }
        const std::string message = ErrorText([&] { r.CreateFromGrid(); });
        EXPECT_EQ(message.substr(0, std::string(c.message).size()), c.message) << message;
        if (message != "(no error)") {
            EXPECT_EQ(r.NPoint_, 27);
            EXPECT_EQ(r.NElement_, 1);
            EXPECT_EQ(r.Density_[0].VectorSize(), 27);
        }
    }
    LwRealSpaceData r;
    EXPECT_EQ(ErrorText([&] { r.Resize(-1, 5); }), "Real-space data: negative size (elements -1, points 5)");
}

TEST(LwRealSpaceData, RoundTripThroughEveryCarrier)
{
    LwDocCalcMem source;
    recon_test::FillSmallDocument(source);
    const LwRealSpaceData& a = source.RealSpace_;
    for (Carrier carrier : {Carrier::Text, Carrier::BarnFile, Carrier::QBarnFile}) {
        SCOPED_TRACE(recon_test::CarrierName(carrier));
        LwRealSpaceData b;
        recon_test::RoundTrip(
            carrier, [&](LwBarnXml& doc) { EXPECT_TRUE(const_cast<LwRealSpaceData&>(a).LoadSave(doc)); },
            [&](LwBarnXml& doc) { EXPECT_TRUE(b.LoadSave(doc)); });
        EXPECT_EQ(b.TotalPower_, a.TotalPower_);
        EXPECT_EQ(b.Grid_.XCount_, 5);
        EXPECT_EQ(b.Grid_.Dx_, a.Grid_.Dx_);
        EXPECT_EQ(b.Grid_.XMin_, a.Grid_.XMin_);
        EXPECT_EQ(b.Grid_.NElement_, 2);
        ASSERT_EQ(b.NElement_, 2);
        ASSERT_EQ(b.NPoint_, 125);
        EXPECT_EQ(b.ElementRatio_, a.ElementRatio_);
        for (int e = 0; e < 2; ++e) {
            recon_test::ExpectSameMatrix(b.Density_[e], a.Density_[e]);
            EXPECT_EQ(b.Gradient_[e].VectorSize(), 125);
            EXPECT_EQ(b.Gradient_[e][7], 0.0f);
        }
        recon_test::ExpectSameMatrix(b.R_, a.R_);
        recon_test::ExpectSameMatrix(b.Uz_, a.Uz_);
    }
}

// Element count of the list against the grid's, and counts that can never
// match, refused before the lists grow.
TEST(LwRealSpaceData, ListElementCount)
{
    const std::string head = "<real_space_all_3><RealSpaceFactory><xmin>0</xmin><xmax>0</xmax>"
                             "<ymin>0</ymin><ymax>0</ymax><zmin>0</zmin><zmax>1e-10</zmax>"
                             "<dx>1e-10</dx><NElement>1</NElement></RealSpaceFactory><list_real_space>";
    struct Case
    {
        const char* list;
        const char* message;
    };
    const Case cases[] = {
        {"<NElement>1</NElement><el></el>", "(no error)"},
        {"<NElement>2</NElement><el></el><el></el>", "Error"},
        {"<NElement>0</NElement>", "Error"},
        {"<NElement>-5</NElement>",
         "Real-space data: element count -5 in \"list_real_space\" is outside 0 to 9"},
        {"<NElement>2000000000</NElement>",
         "Real-space data: element count 2000000000 in \"list_real_space\" is outside 0 to 9"},
        {"<NElement>2</NElement><el></el>", "Invalid Tag Name:list_real_space <> el"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        LwRealSpaceData r;
        EXPECT_EQ(ErrorText([&] {
                      recon_test::ReadText(head + c.list + "</list_real_space></real_space_all_3>",
                                           [&](LwBarnXml& doc) { r.LoadSave(doc); });
                  }),
                  c.message);
    }
}

// A document without the list of densities names the missing rack instead
// of failing at the close of another.
TEST(LwRealSpaceData, MissingListRackIsNamed)
{
    LwRealSpaceData r;
    const std::string text = "<real_space_all_3><RealSpaceFactory><xmin>0</xmin><xmax>0</xmax>"
                             "<ymin>0</ymin><ymax>0</ymax><zmin>0</zmin><zmax>0</zmax>"
                             "<dx>1e-10</dx></RealSpaceFactory></real_space_all_3>";
    EXPECT_EQ(ErrorText([&] { recon_test::ReadText(text, [&](LwBarnXml& doc) { r.LoadSave(doc); }); }),
              "Real-space data: \"real_space_all_3\" has no rack \"list_real_space\"");
}

// Hostile documents of a few hundred bytes whose grid record asks for what
// cannot be built: refused in words before any allocation, the data as they
// were. "wrapping count": 4194304 x 16385 x 268419073 points, whose 64-bit
// product wraps to 4194304 (a 16 MB vector for a loop over 2^64 points);
// "huge grid": 1290^3 points of nine elements, 22 vectors of 8.6 GB.
TEST(LwRealSpaceData, HostileGridRecordsAreRefusedBeforeAllocation)
{
    struct Case
    {
        const char* file;
        std::string message;
    };
    const std::uint64_t hugeBytes = 1290ull * 1290 * 1290 * 4 * 22;
    ASSERT_GT(hugeBytes, UsableMemoryBytes()) << "this machine could hold the huge grid";
    const Case cases[] = {
        {"real_space_wrapping_count.xml_rs",
         "Real-space grid: 4194304 x 16385 x 268419073 points do not fit a 32-bit count"},
        // What can be used is read again at every check and changes with the
        // machine's load: the message is compared up to that figure.
        {"real_space_huge_grid.xml_rs",
         "Real-space grid: 1290 x 1290 x 1290 points with 9 elements need about " + GigabytesText(hugeBytes) +
             " of memory; "},
    };
    EXPECT_EQ(GigabytesText(hugeBytes), "188.9 GB");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        LwRealSpaceData r;
        recon_test::SetCubeGrid(r.Grid_, 3, 3, 3, 1e-10f);
        r.CreateFromGrid();
        LwBarnFile in(std::string(LW_TEST_DATA_DIR) + "/" + c.file, "r");
        const std::string message = ErrorText([&] { r.LoadSave(in); });
        if (c.message.back() == ' ') {
            EXPECT_EQ(message.substr(0, c.message.size()), c.message);
            EXPECT_NE(message.find(" GB can be used here", c.message.size()), std::string::npos) << message;
        } else {
            EXPECT_EQ(message, c.message);
        }
        EXPECT_EQ(r.NPoint_, 27);
        EXPECT_EQ(r.NElement_, 1);
        EXPECT_EQ(r.Density_[0].VectorSize(), 27);
        EXPECT_EQ(r.R_.VectorSize(), 27);
    }
}

// The grid record is compared with the data the document holds before the
// grid is built: the refusal leaves the data as they were (27 points), where
// building first would have filled 1.9 GB ("without data": bounds 0 to 430
// with step 1 and no list of densities; "data short of the declared size":
// the same bounds and a density declaring their 431^3 values with data for
// five) or 4.2 GB ("bounds not the data's": 560^3 points for densities of
// 22869 values) before the error.
TEST(LwRealSpaceData, GridRecordIsComparedWithTheDataBeforeTheGridIsBuilt)
{
    const auto density = [](int values, const char* format) {
        LwFloatMatrix m;
        m.CreateRow(values);
        m.SetZero();
        return recon_test::WrittenText([&](LwBarnXml& doc) { SerializeMatrix(doc, "Cal_", m, format); });
    };
    const auto grid = [](int elements) {
        return "<real_space_all_3><RealSpaceFactory><xmin>0</xmin><xmax>0</xmax><ymin>0</ymin><ymax>0</ymax>"
               "<zmin>0</zmin><zmax>1e-10</zmax><dx>1e-10</dx><NElement>" +
               std::to_string(elements) + "</NElement></RealSpaceFactory>";
    };
    // A one-value density that declares two.
    const auto declaringTwo = [](std::string text) {
        const std::string one = "<ColSize>1</ColSize>";
        const std::size_t at = text.find(one);
        return at == std::string::npos ? text : text.replace(at, one.size(), "<ColSize>2</ColSize>");
    };
    const std::string twoPoints = "the grid record gives 1 x 1 x 2 points";
    struct Case
    {
        const char* what;
        std::string text;
        std::string message;
    };
    const std::string data = std::string(LW_TEST_DATA_DIR) + "/";
    const Case cases[] = {
        {"without data", barn_test::ReadBytes(data + "real_space_without_data.xml_rs"),
         "Real-space data: \"real_space_all_3\" has no rack \"list_real_space\""},
        {"bounds not the data's", barn_test::ReadBytes(data + "real_space_bounds_not_the_data.xml_rs"),
         "Real-space data not consistent: the grid record gives 560 x 560 x 560 points but the density "
         "\"Cal_\" of element 1 declares 22869 x 1"},
        {"data short of the declared size",
         barn_test::ReadBytes(data + "real_space_data_short_of_declared.xml_rs"),
         "Real-space data not consistent: the density \"Cal_\" of element 1 declares 80062991 x 1 values but "
         "its data hold at most 5"},
        {"text density with fewer values than declared",
         grid(1) + "<list_real_space><el>" + declaringTwo(density(1, "t")) +
             "</el></list_real_space></real_space_all_3>",
         "Real-space data not consistent: the density \"Cal_\" of element 1 declares 2 x 1 values but its "
         "data hold at most 1"},
        {"binary density of another size",
         grid(1) + "<list_real_space><el>" + density(5, "b") + "</el></list_real_space></real_space_all_3>",
         "Real-space data not consistent: " + twoPoints +
             " but the density \"Cal_\" of element 1 declares 5 x 1"},
        {"text density of another size",
         grid(1) + "<list_real_space><el>" + density(5, "t") + "</el></list_real_space></real_space_all_3>",
         "Real-space data not consistent: " + twoPoints +
             " but the density \"Cal_\" of element 1 declares 5 x 1"},
        {"the second element's density",
         grid(2) + "<list_real_space><NElement>2</NElement><el>" + density(2, "b") + "</el><el>" +
             density(3, "t") + "</el></list_real_space></real_space_all_3>",
         "Real-space data not consistent: " + twoPoints +
             " but the density \"Cal_\" of element 2 declares 3 x 1"},
        {"an element beyond NElement is never read",
         grid(1) + "<list_real_space><el>" + density(2, "b") + "</el><el>" + density(3, "b") +
             "</el></list_real_space></real_space_all_3>",
         "(no error)"},
        {"densities that fit",
         grid(1) + "<list_real_space><el>" + density(2, "t") + "</el></list_real_space></real_space_all_3>",
         "(no error)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwRealSpaceData r;
        recon_test::SetCubeGrid(r.Grid_, 3, 3, 3, 1e-10f);
        r.CreateFromGrid();
        EXPECT_EQ(ErrorText([&] { recon_test::ReadText(c.text, [&](LwBarnXml& doc) { r.LoadSave(doc); }); }),
                  c.message);
        EXPECT_EQ(r.NPoint_, c.message == "(no error)" ? 2 : 27);
        EXPECT_EQ(r.R_.VectorSize(), r.NPoint_);
    }
}

TEST(LwRealSpaceData, BrokenInvariants)
{
    struct Case
    {
        const char* what;
        void (*breakIt)(LwRealSpaceData&);
        const char* message;
    };
    const Case cases[] = {
        {"intact", [](LwRealSpaceData&) {}, "(no error)"},
        {"ratio missing", [](LwRealSpaceData& r) { r.ElementRatio_.pop_back(); }, "Error"},
        {"density missing", [](LwRealSpaceData& r) { r.Density_.pop_back(); }, "Error"},
        {"gradient missing", [](LwRealSpaceData& r) { r.Gradient_.pop_back(); }, "Error"},
        {"short Uy", [](LwRealSpaceData& r) { r.Uy_.CreateRow(3); }, "Error: not consistent"},
        {"short R", [](LwRealSpaceData& r) { r.R_.CreateRow(3); }, "Error: not consistent"},
        {"short density", [](LwRealSpaceData& r) { r.Density_[1].CreateRow(3); }, "Error: not consistent"},
        {"short gradient", [](LwRealSpaceData& r) { r.Gradient_[0].Create(3); }, "Error: not consistent"},
        {"count and short R",
         [](LwRealSpaceData& r) {
             r.R_.CreateRow(3);
             r.NElement_ = 1;
         },
         "Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwRealSpaceData r;
        recon_test::SetCubeGrid(r.Grid_, 3, 3, 1, 1e-10f);
        r.Grid_.NElement_ = 2;
        r.CreateFromGrid();
        c.breakIt(r);
        EXPECT_EQ(ErrorText([&] { r.CheckConsistency(); }), c.message);
        // Broken data are not written.
        EXPECT_EQ(ErrorText([&] { recon_test::WrittenText([&](LwBarnXml& doc) { r.LoadSave(doc); }); }),
                  c.message);
    }
}

TEST(LwRealSpaceData, ConstructorState)
{
    LwRealSpaceData r;
    EXPECT_EQ(r.NPoint_, 0);
    EXPECT_EQ(r.NElement_, 0);
    EXPECT_EQ(r.TotalPower_, 1.0f);
    ASSERT_EQ(r.Rotations_.size(), 1u);
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(r.Rotations_[0](c, row), c == row ? 1 : 0);
    EXPECT_TRUE(r.Grid_.IsCutoff_);
    EXPECT_EQ(r.Grid_.CutoffRadius_, 1e-9f);
    // A missing root rack reads nothing.
    recon_test::ReadText("<other></other>", [&](LwBarnXml& doc) { EXPECT_FALSE(r.LoadSave(doc)); });
    EXPECT_EQ(r.NPoint_, 0);
}

}  // namespace
