#include "pattern/reconstruction/LwScatteringPattern.h"
#include "ErrorText.h"
#include "ReconstructionTestSupport.h"

#include <gtest/gtest.h>

using recon_test::Carrier;

namespace {

LwFloatMatrix Numbered(int cols, int rows)
{
    LwFloatMatrix m(cols, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            m(c, r) = static_cast<float>(1000 * r + c);
    return m;
}

TEST(LwScatteringPattern, RoundTripThroughEveryCarrier)
{
    LwScatteringPattern a;
    a.R_N_ = 2;
    a.Z_N_ = 3;
    a.R_Min_ = 1e-10f;
    a.R_Step_ = 2.5e-11f;
    a.Ek_eV_ = {500.0f, 750.0f};
    a.Element_ = {"Fe", "Ni", "O"};
    for (int e = 0; e < 2; ++e) {
        a.Pattern_.emplace_back();
        for (int j = 0; j < 3; ++j) {
            LwFloatMatrix p = Numbered(2 * (1 + (j % 2)), 3);
            p(0, 0) = static_cast<float>(10 * e + j);
            a.Pattern_.back().push_back(p);
        }
    }
    for (Carrier carrier : {Carrier::Text, Carrier::BarnFile, Carrier::QBarnFile}) {
        SCOPED_TRACE(recon_test::CarrierName(carrier));
        LwScatteringPattern b;
        b.Element_ = {"stale"};
        recon_test::RoundTrip(
            carrier, [&](LwBarnXml& doc) { EXPECT_TRUE(a.LoadSave(doc)); },
            [&](LwBarnXml& doc) { EXPECT_TRUE(b.LoadSave(doc)); });
        EXPECT_EQ(b.R_N_, 2);
        EXPECT_EQ(b.Z_N_, 3);
        EXPECT_EQ(b.R_Min_, a.R_Min_);
        EXPECT_EQ(b.R_Step_, a.R_Step_);
        EXPECT_EQ(b.Ek_eV_, a.Ek_eV_);
        EXPECT_EQ(b.Element_, a.Element_);
        ASSERT_EQ(b.Pattern_.size(), 2u);
        for (int e = 0; e < 2; ++e) {
            ASSERT_EQ(b.Pattern_[e].size(), 3u);
            for (int j = 0; j < 3; ++j)
                recon_test::ExpectSameMatrix(b.Pattern_[e][j], a.Pattern_[e][j]);
        }
    }
}

// Element names come from the first energy only; missing keys read as 0
// (R_Step too, unlike the constructor's 1); an older layout is refused.
TEST(LwScatteringPattern, ReadingRules)
{
    LwScatteringPattern s;
    EXPECT_EQ(s.R_Step_, 1.0f);
    recon_test::ReadText(
        "<ScatteringPatternMatrix03><ListPatternMatrix02>"
        "<en><Ek_eV>100</Ek_eV><el><element>A</element></el><el><element>B</element></el></en>"
        "<en><el><element>C</element></el><el><element>D</element></el></en>"
        "</ListPatternMatrix02></ScatteringPatternMatrix03>",
        [&](LwBarnXml& doc) { EXPECT_TRUE(s.LoadSave(doc)); });
    EXPECT_EQ(s.R_Step_, 0.0f);
    EXPECT_EQ(s.R_N_, 0);
    EXPECT_EQ(s.Element_, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(s.Ek_eV_, (std::vector<float>{100.0f, 0.0f}));
    ASSERT_EQ(s.Pattern_.size(), 2u);
    EXPECT_EQ(s.Pattern_[1].size(), 2u);

    EXPECT_EQ(ErrorText([&] {
                  recon_test::ReadText("<ScatteringPatternMatrix03><R_N>3</R_N></ScatteringPatternMatrix03>",
                                       [&](LwBarnXml& doc) { s.LoadSave(doc); });
              }),
              "Err: file is old?");
    recon_test::ReadText("<other/>", [&](LwBarnXml& doc) { EXPECT_FALSE(s.LoadSave(doc)); });
}

TEST(LwScatteringPattern, TransposedTables)
{
    LwScatteringPattern s;
    s.R_N_ = 50;
    s.Z_N_ = 7;
    s.Pattern_ = {{Numbered(50, 7), Numbered(100, 7)}};
    s.InitTransposed();
    ASSERT_EQ(s.Forward_.size(), 1u);
    ASSERT_EQ(s.Forward_[0].size(), 2u);
    ASSERT_EQ(s.Back_[0].size(), 2u);
    // Single width: the same table in both lists, element (j, ir) = pattern (ir, j).
    const LwFloatMatrix& f0 = s.Forward_[0][0];
    EXPECT_EQ(f0.ColSize, 7);
    EXPECT_EQ(f0.RowSize, 50);
    for (int ir = 0; ir < 50; ++ir)
        for (int j = 0; j < 7; ++j) {
            ASSERT_EQ(f0(j, ir), s.Pattern_[0][0](ir, j));
            ASSERT_EQ(s.Back_[0][0](j, ir), s.Pattern_[0][0](ir, j));
        }
    // Double width: the left half forward, the right half back.
    for (int ir = 0; ir < 50; ++ir)
        for (int j = 0; j < 7; ++j) {
            ASSERT_EQ(s.Forward_[0][1](j, ir), 1000.0f * j + ir);
            ASSERT_EQ(s.Back_[0][1](j, ir), 1000.0f * j + ir + 50);
        }

    // A 75-column pattern in the second energy: the first energy's tables stay.
    s.Pattern_.push_back({Numbered(75, 7)});
    EXPECT_EQ(ErrorText([&] { s.InitTransposed(); }),
              "ERROR on LwScatteringPattern::InitTransposed()::MatrixSize Error");
    EXPECT_EQ(s.Forward_.size(), 1u);
    EXPECT_EQ(s.Back_.size(), 1u);

    // A double-width pattern with fewer than Z_N rows, or a Z_N that no
    // pattern can hold: the range error, before any large allocation.
    for (LwLong zn : {8, 2000000000}) {
        s.Pattern_ = {{Numbered(100, 7)}};
        s.Z_N_ = zn;
        EXPECT_EQ(ErrorText([&] { s.InitTransposed(); }).substr(0, 27), "Matrix over range. access=(");
    }
}

TEST(LwScatteringPattern, SubMatrixBlocks)
{
    LwFloatMatrix src = Numbered(5, 4);
    src.ColBegin = -1;
    src.RowBegin = 2;
    LwFloatMatrix b = SubMatrix(src, 0, 3, 3, 2);
    EXPECT_TRUE(b.FastReturn);
    EXPECT_EQ(b.ColBegin, 0);
    EXPECT_EQ(b.RowBegin, 0);
    ASSERT_EQ(b.ColSize, 3);
    ASSERT_EQ(b.RowSize, 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(b(c, r), src(c, 3 + r));
    EXPECT_EQ(ErrorText([&] { SubMatrix(src, 0, 3, 5, 2); }).substr(0, 27), "Matrix over range. access=(");
    EXPECT_EQ(ErrorText([&] { SubMatrix(src, 0, 3, -1, 2); }), "matrix creation Parameter Error");
    EXPECT_EQ(SubMatrix(src, 100, 100, 0, 0).ElementCount(), 0);
}

}  // namespace
