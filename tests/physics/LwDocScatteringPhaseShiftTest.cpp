// The phase-shift document: t-vectors from phase shifts, a hand-written file
// with the defaults of missing keys, round trips, thinning of the radial
// data on a copy that keeps the outer grid point.

#include "core/LwBarnFile.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "BarnText.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

namespace {

const std::string kFixture = std::string(LW_TEST_DATA_DIR) + "/phase_shift_two_entries.xml_ph";
constexpr double kEps = std::numeric_limits<double>::epsilon();

LwLDoubleMatrix Column(const std::vector<double>& v)
{
    LwLDoubleMatrix m(1, int(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i)
        m(0, int(i)) = v[i];
    return m;
}

LwPhaseShiftEntry EntryWithGrid(std::size_t points, std::size_t ls)
{
    LwPhaseShiftEntry e;
    for (std::size_t i = 0; i < points; ++i)
        e.LnX.push_back(-25.0 + 0.125 * double(i));
    auto table = [&](double offset) {
        std::vector<std::vector<double>> rows(ls);
        for (std::size_t l = 0; l < ls; ++l)
            for (std::size_t i = 0; i < points; ++i)
                rows[l].push_back(offset + double(100 * l + i));
        return rows;
    };
    e.P = table(0);
    e.DPDLnX = table(0.5);
    e.L = table(0.25);
    e.DLDLnX = table(0.75);
    return e;
}

}  // namespace

// t_l = e^{2 i delta_l} - 1 against std::polar in long double.
TEST(LwDocScatteringPhaseShift, TVectorIsExpTwoIDeltaMinusOne)
{
    const std::vector<double> degrees = {0, 90, 180, 12.5, -33, 45};
    LwPhaseShiftEntry entry;
    entry.PhaseShiftValue = Column(degrees);
    const std::string text = BarnTextOf([&](LwBarnXml& d) { entry.LoadSave(d, "i"); });
    LwPhaseShiftEntry back;
    ASSERT_TRUE(back.LoadSave(*BarnReader(text), "i"));
    ASSERT_EQ(back.TVector.VectorSize(), int(degrees.size()));
    for (std::size_t l = 0; l < degrees.size(); ++l) {
        SCOPED_TRACE(degrees[l]);
        const std::complex<long double> expected =
            std::polar(1.0L, 2 * degrees[l] * Reference::PiLong / 180) - 1.0L;
        const LComplex t = back.TVector[int(l)];
        EXPECT_NEAR(double(t.real()), double(expected.real()), 8 * kEps);
        EXPECT_NEAR(double(t.imag()), double(expected.imag()), 8 * kEps);
    }
    EXPECT_EQ(back.TVector[1].real(), -2.0);
}

TEST(LwDocScatteringPhaseShift, HandWrittenFileReadsWithDefaults)
{
    LwBarnFile file(kFixture, "r");
    LwDocScatteringPhaseShift doc;
    ASSERT_TRUE(doc.LoadSave(file));
    ASSERT_EQ(doc.ListScatteringPhaseShift.size(), 2u);

    const LwPhaseShiftEntry& cu = doc.ListScatteringPhaseShift[0];
    EXPECT_EQ(cu.Ek_eV, 250.0);
    EXPECT_EQ(cu.AtomName, "Cu1");
    EXPECT_EQ(cu.AtomElement, "Cu");
    EXPECT_EQ(cu.FileName, "cu_250.txt");
    ASSERT_EQ(cu.TVector.VectorSize(), 3);
    EXPECT_EQ(cu.TVector[0], LComplex(0, 0));
    EXPECT_NEAR(double(cu.TVector[1].real()), -2.0, 4 * kEps);
    EXPECT_NEAR(double(cu.TVector[2].real()), 0.0, 4 * kEps);
    EXPECT_TRUE(cu.LnX.empty());
    EXPECT_EQ(cu.EPS_DIFF_EQ_, 1e-6);

    const LwPhaseShiftEntry& o = doc.ListScatteringPhaseShift[1];
    EXPECT_EQ(o.Ek_eV, 100.5);
    EXPECT_EQ(o.AtomName, "O & friends");
    EXPECT_EQ(o.AtomElement, "");
    EXPECT_EQ(o.FileName, "");
    EXPECT_EQ(o.TVector.VectorSize(), 0) << "no phase shifts, no t-vector";
    EXPECT_EQ(o.LnX, (std::vector<double>{-23, -22, -21}));
    ASSERT_EQ(o.P.size(), 2u);
    EXPECT_EQ(o.P[1], (std::vector<double>{4, 5, 6}));
    EXPECT_TRUE(o.L.empty()) << "a missing table reads empty";
}

// Writing thins a copy to every 20th point plus the outer one; the entry
// keeps all its points, and the outer radius survives in the document.
TEST(LwDocScatteringPhaseShift, ThinningWorksOnACopyAndKeepsTheOuterPoint)
{
    struct Case
    {
        std::size_t points;
        std::vector<std::size_t> stored;
    };
    const Case cases[] = {
        {41, {0, 20, 40}},
        {45, {0, 20, 40, 44}},
        {1, {0}},
        {20, {0, 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.points);
        LwDocScatteringPhaseShift doc;
        doc.ListScatteringPhaseShift.push_back(EntryWithGrid(c.points, 3));
        const LwPhaseShiftEntry original = doc.ListScatteringPhaseShift[0];
        const std::string text = BarnTextOf([&](LwBarnXml& d) { doc.LoadSave(d); });
        EXPECT_EQ(doc.ListScatteringPhaseShift[0].LnX, original.LnX);
        EXPECT_EQ(doc.ListScatteringPhaseShift[0].P, original.P);

        LwDocScatteringPhaseShift back;
        ASSERT_TRUE(back.LoadSave(*BarnReader(text)));
        ASSERT_EQ(back.ListScatteringPhaseShift.size(), 1u);
        const LwPhaseShiftEntry& e = back.ListScatteringPhaseShift[0];
        ASSERT_EQ(e.LnX.size(), c.stored.size());
        for (std::size_t k = 0; k < c.stored.size(); ++k) {
            const std::size_t i = c.stored[k];
            EXPECT_EQ(e.LnX[k], original.LnX[i]);
            for (std::size_t l = 0; l < 3; ++l) {
                EXPECT_EQ(e.P[l][k], original.P[l][i]);
                EXPECT_EQ(e.DPDLnX[l][k], original.DPDLnX[l][i]);
                EXPECT_EQ(e.L[l][k], original.L[l][i]);
                EXPECT_EQ(e.DLDLnX[l][k], original.DLDLnX[l][i]);
            }
        }
        EXPECT_EQ(e.LnX.back(), original.LnX.back()) << "the outer radius";
    }
}

TEST(LwDocScatteringPhaseShift, RoundTripWithoutThinning)
{
    LwDocScatteringPhaseShift doc;
    LwPhaseShiftEntry e = EntryWithGrid(7, 2);
    e.ThinOnSave = false;
    e.Ek_eV = 321;
    e.AtomName = "Fe<2>";
    e.AtomElement = "Fe";
    e.FileName = "a \"b\".txt";
    e.EPS_DIFF_EQ_ = 2.5e-7;
    e.PhaseShiftValue = Column({10, 20.5, -3});
    doc.ListScatteringPhaseShift.push_back(e);
    doc.ListScatteringPhaseShift.push_back(LwPhaseShiftEntry());
    const std::string text = BarnTextOf([&](LwBarnXml& d) { doc.LoadSave(d); });

    LwDocScatteringPhaseShift back;
    back.ListScatteringPhaseShift.resize(4);
    ASSERT_TRUE(back.LoadSave(*BarnReader(text)));
    ASSERT_EQ(back.ListScatteringPhaseShift.size(), 2u);
    const LwPhaseShiftEntry& b = back.ListScatteringPhaseShift[0];
    EXPECT_EQ(b.Ek_eV, 321.0);
    EXPECT_EQ(b.AtomName, "Fe<2>");
    EXPECT_EQ(b.AtomElement, "Fe");
    EXPECT_EQ(b.FileName, "a \"b\".txt");
    EXPECT_EQ(b.EPS_DIFF_EQ_, 2.5e-7);
    EXPECT_EQ(b.LnX, e.LnX);
    EXPECT_EQ(b.P, e.P);
    EXPECT_EQ(b.DLDLnX, e.DLDLnX);
    ASSERT_EQ(b.PhaseShiftValue.VectorSize(), 3);
    EXPECT_EQ(b.PhaseShiftValue[1], 20.5);
    EXPECT_EQ(b.TVector.VectorSize(), 3);
    const LwPhaseShiftEntry& empty = back.ListScatteringPhaseShift[1];
    EXPECT_EQ(empty.TVector.VectorSize(), 0);
    EXPECT_TRUE(empty.LnX.empty());
}

TEST(LwDocScatteringPhaseShift, ThreeHundredEntriesAndEmptyLists)
{
    LwDocScatteringPhaseShift doc;
    doc.ListScatteringPhaseShift.resize(300);
    for (std::size_t i = 0; i < 300; ++i)
        doc.ListScatteringPhaseShift[i].Ek_eV = double(i);
    const std::string text = BarnTextOf([&](LwBarnXml& d) { doc.LoadSave(d); });
    LwDocScatteringPhaseShift back;
    ASSERT_TRUE(back.LoadSave(*BarnReader(text)));
    ASSERT_EQ(back.ListScatteringPhaseShift.size(), 300u);
    EXPECT_EQ(back.ListScatteringPhaseShift[299].Ek_eV, 299.0);

    LwDocScatteringPhaseShift none;
    none.ListScatteringPhaseShift.resize(2);
    EXPECT_FALSE(none.LoadSave(*BarnReader("<Other></Other>")));
    EXPECT_EQ(none.ListScatteringPhaseShift.size(), 2u);
    EXPECT_TRUE(none.LoadSave(*BarnReader("<PhaseShiftData><data><ListScatteringPhaseShift></"
                                          "ListScatteringPhaseShift></data></PhaseShiftData>")));
    EXPECT_TRUE(none.ListScatteringPhaseShift.empty());
}

TEST(LwDocScatteringPhaseShift, MalformedEntries)
{
    struct Case
    {
        const char* name;
        const char* entry;
        const char* message;
    };
    const Case cases[] = {
        // Closing the missing rack finds the item rack instead.
        {"no AdditionalData", "<i><Ek_eV>1</Ek_eV></i>", "Invalid Tag Name:i <> AdditionalData"},
        {"phase shifts not a vector",
         "<i><PhaseShiftValue><lw_matrix><ColSize>2</ColSize><ColBegin>0</ColBegin><RowSize>2</RowSize>"
         "<RowBegin>0</RowBegin><elements>1,2,3,4,</elements></lw_matrix></PhaseShiftValue>"
         "<AdditionalData></AdditionalData></i>",
         "This is not vector"},
        {"nothing but AdditionalData", "<i><AdditionalData></AdditionalData></i>", "(no error)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LwPhaseShiftEntry e;
        EXPECT_EQ(ErrorText([&] { e.LoadSave(*BarnReader(c.entry), "i"); }), c.message);
    }
}

TEST(LwDocScatteringPhaseShift, VectorConversions)
{
    const LwLDoubleMatrix column = VectorToMatrix({1, 2, 3});
    EXPECT_EQ(column.ColSize, 1);
    EXPECT_EQ(column.RowSize, 3);
    EXPECT_TRUE(column.FastReturn);
    EXPECT_EQ(MatrixToVector(column), (std::vector<double>{1, 2, 3}));

    const std::vector<std::vector<double>> rows = {{1, 2, 3}, {4, 5, 6}};
    const LwLDoubleMatrix table = VectorsToMatrix(rows);
    EXPECT_EQ(table.ColSize, 3);
    EXPECT_EQ(table.RowSize, 2);
    EXPECT_EQ(table(2, 1), 6.0);
    EXPECT_EQ(MatrixToVectors(table), rows);
    EXPECT_TRUE(VectorsToMatrix({}).IsEmpty());
    EXPECT_NE(ErrorText([] { VectorsToMatrix({{1, 2}, {3}}); }), "(no error)");
}

// The potential is not stored; a copy of an entry refers to the same table.
TEST(LwDocScatteringPhaseShift, CopiesShareThePotentialTable)
{
    LwAtomicPotentialTable table;
    LwPhaseShiftEntry entry = EntryWithGrid(3, 1);
    entry.AtomicPotential.table = &table;
    entry.AtomicPotential.E = 42.0;
    const LwPhaseShiftEntry copy = entry;
    EXPECT_EQ(copy.AtomicPotential.table, &table);
    EXPECT_EQ(copy.AtomicPotential.E, 42.0);

    const std::string text = BarnTextOf([&](LwBarnXml& d) { entry.LoadSave(d, "i"); });
    EXPECT_EQ(text.find("table"), std::string::npos);
    LwPhaseShiftEntry back;
    ASSERT_TRUE(back.LoadSave(*BarnReader(text), "i"));
    EXPECT_EQ(back.AtomicPotential.table, nullptr);
    EXPECT_EQ(entry.AtomicPotential.table, &table) << "writing leaves the entry's link alone";
}
