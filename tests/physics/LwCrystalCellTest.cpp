// Crystal cells: the evaluation of axes, lattice vectors and atom positions
// from expression texts, the fcc and diamond fillers, copies and moves, and
// the errors of the expression parser.
#include "core/LwParserToken.h"
#include "physics/LwCrystalCell.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {
using Vec = std::array<double, 3>;

// The texts are evaluated in double and the positions are sums of three
// products, so a few units of double's epsilon relative to the length.
double Tolerance(double length)
{
    return 8 * std::numeric_limits<double>::epsilon() * (length > 1 ? length : 1);
}

void ExpectVector(const LwLDoubleMatrix& v, const Vec& expected, double length)
{
    ASSERT_EQ(v.ColSize, 1);
    ASSERT_EQ(v.RowSize, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(double(v[i]), expected[i], Tolerance(length)) << "component " << i;
}

LwLDoubleMatrix Vector(double x, double y, double z)
{
    LwLDoubleMatrix v(3);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    return v;
}

// A hexagonal cell: a in the plane, c along z, the second axis given at
// 120 degrees to the first with length 2 (Evaluate makes it a unit vector),
// lattice vectors along the scaled axes and one atom at (1/3, 2/3, 1/2).
LwCrystalCell HexagonalCell(double a, double c)
{
    LwCrystalCell cell;
    cell.Name = "hexagonal";
    cell.LatticeConstants = {a, a, c};
    cell.Axes = {Vector(1, 0, 0), Vector(-1, std::sqrt(3.0), 0), Vector(0, 0, 5)};
    cell.SetLatticeVectorTexts(0, "1", "0", "0");
    cell.SetLatticeVectorTexts(1, "0", "1", "0");
    cell.SetLatticeVectorTexts(2, "0", "0", "1");
    cell.AddAtom("0", "0", "0", "Mg", 0, 0.0);
    cell.AddAtom("1/3", "2/3", "1/2", "Mg", 1, 0.25);
    return cell;
}
}  // namespace

TEST(LwAtomAttr, NewAtomIsEmptyAtTheOrigin)
{
    const LwAtomAttr atom;
    EXPECT_EQ(atom.Element, "");
    EXPECT_EQ(atom.PositionTexts, std::vector<std::string>(3));
    EXPECT_EQ(atom.Site, 0);
    EXPECT_EQ(atom.Value, 0.0);
    ExpectVector(atom.Position, {0, 0, 0}, 1);
}

TEST(LwAtomAttr, AssignmentThroughTheBaseCopiesEveryField)
{
    LwAtomAttr source;
    source.Element = "Fe";
    source.PositionTexts = {"1/2", "1/4", "0"};
    source.Site = 3;
    source.Value = 1.5;
    source.Position = Vector(1, 2, 3);

    LwAtomAttr target;
    LwAtomAttr& base = target;
    base = source;
    EXPECT_EQ(target.Element, "Fe");
    EXPECT_EQ(target.PositionTexts, source.PositionTexts);
    EXPECT_EQ(target.Site, 3);
    EXPECT_EQ(target.Value, 1.5);
    ExpectVector(target.Position, {1, 2, 3}, 3);
    // A copy, not a share: the source keeps its own position.
    target.Position[0] = 7;
    EXPECT_EQ(source.Position[0], 1);
}

TEST(LwAtomAttr, MoveTakesTheTextsOver)
{
    LwAtomAttr source;
    source.Element = "Fe";
    source.PositionTexts = {"1/2", "1/4", "0"};
    source.Site = 2;
    LwAtomAttr moved(std::move(source));
    EXPECT_EQ(moved.Element, "Fe");
    EXPECT_EQ(moved.PositionTexts, (std::vector<std::string>{"1/2", "1/4", "0"}));
    EXPECT_EQ(moved.Site, 2);
    EXPECT_EQ(source.Element, "");
    EXPECT_TRUE(source.PositionTexts.empty());
}

TEST(LwCrystalCell, NewCell)
{
    const LwCrystalCell cell;
    EXPECT_EQ(cell.Name, "");
    EXPECT_EQ(cell.LatticeConstants, std::vector<double>(3, 0.0));
    ASSERT_EQ(cell.Axes.size(), 3u);
    ASSERT_EQ(cell.ScaledAxes.size(), 3u);
    ASSERT_EQ(cell.LatticeVectors.size(), 3u);
    const Vec unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        ExpectVector(cell.Axes[k], {0, 0, 0}, 1);
        ExpectVector(cell.ScaledAxes[k], unit[k], 1);
        ExpectVector(cell.LatticeVectors[k], {0, 0, 0}, 1);
    }
    EXPECT_EQ(cell.VectorTexts1, std::vector<std::string>(3));
    EXPECT_EQ(cell.VectorTexts2, std::vector<std::string>(3));
    EXPECT_EQ(cell.VectorTexts3, std::vector<std::string>(3));
    EXPECT_TRUE(cell.Sites.empty());
    EXPECT_TRUE(cell.Atoms.empty());
}

TEST(LwCrystalCell, AddAtomKeepsThePositionAtZeroUntilEvaluated)
{
    LwCrystalCell cell;
    cell.AddAtom("1/2", "0", "1/4", "Ga", 4, 0.75);
    ASSERT_EQ(cell.Atoms.size(), 1u);
    const LwAtomAttr& atom = cell.Atoms[0];
    EXPECT_EQ(atom.Element, "Ga");
    EXPECT_EQ(atom.PositionTexts, (std::vector<std::string>{"1/2", "0", "1/4"}));
    EXPECT_EQ(atom.Site, 4);
    EXPECT_EQ(atom.Value, 0.75);
    ExpectVector(atom.Position, {0, 0, 0}, 1);
}

TEST(LwCrystalCell, AxesBecomeUnitVectorsAndAZeroAxisStaysZero)
{
    LwCrystalCell cell;
    cell.LatticeConstants = {2.5, 4.0, 7.0};
    cell.Axes = {Vector(2, 0, 0), Vector(0, 3, 0), Vector(0, 0, 0)};
    cell.SetLatticeVectorTexts(0, "1", "0", "0");
    cell.SetLatticeVectorTexts(1, "0", "1", "0");
    cell.SetLatticeVectorTexts(2, "1", "1", "1");
    cell.Evaluate();
    ExpectVector(cell.Axes[0], {1, 0, 0}, 1);
    ExpectVector(cell.Axes[1], {0, 1, 0}, 1);
    ExpectVector(cell.Axes[2], {0, 0, 0}, 1);
    ExpectVector(cell.ScaledAxes[0], {2.5, 0, 0}, 2.5);
    ExpectVector(cell.ScaledAxes[1], {0, 4, 0}, 4);
    ExpectVector(cell.ScaledAxes[2], {0, 0, 0}, 1);
    ExpectVector(cell.LatticeVectors[2], {2.5, 4, 0}, 4);
}

// The hexagonal cell worked out by hand: with a1 = a (1, 0, 0) and
// a2 = a (-1/2, sqrt(3)/2, 0), the site (1/3, 2/3, 1/2) lies at
// (0, a/sqrt(3), c/2), at a/sqrt(3) from the c axis.
TEST(LwCrystalCell, NonOrthogonalAxes)
{
    const double a = 3.21, c = 5.21;
    LwCrystalCell cell = HexagonalCell(a, c);
    cell.Evaluate();
    ExpectVector(cell.Axes[1], {-0.5, std::sqrt(3.0) / 2, 0}, 1);
    ExpectVector(cell.LatticeVectors[0], {a, 0, 0}, a);
    ExpectVector(cell.LatticeVectors[1], {-a / 2, a * std::sqrt(3.0) / 2, 0}, a);
    ExpectVector(cell.LatticeVectors[2], {0, 0, c}, c);
    ExpectVector(cell.Atoms[0].Position, {0, 0, 0}, c);
    ExpectVector(cell.Atoms[1].Position, {0, a / std::sqrt(3.0), c / 2}, c);
    EXPECT_EQ(cell.Sites, (std::set<LwLong>{0, 1}));
}

TEST(LwCrystalCell, TextsMayUseTheParsersFunctions)
{
    LwCrystalCell cell;
    cell.LatticeConstants = {2, 2, 2};
    cell.SetUnitAxes();
    cell.SetLatticeVectorTexts(0, "cos(pi()/3)", "sqrt(3)/2", "0");
    cell.SetLatticeVectorTexts(1, "-1/2", "sqrt(3)/2", "0");
    cell.SetLatticeVectorTexts(2, "0", "0", "pow(2,0.5)");
    cell.AddAtom("1/3", "(1+1)/3", "-1/4", "X", 0, 0);
    cell.Evaluate();
    ExpectVector(cell.LatticeVectors[0], {1, std::sqrt(3.0), 0}, 2);
    ExpectVector(cell.LatticeVectors[1], {-1, std::sqrt(3.0), 0}, 2);
    ExpectVector(cell.LatticeVectors[2], {0, 0, 2 * std::sqrt(2.0)}, 3);
    ExpectVector(cell.Atoms[0].Position, {2.0 / 3, 4.0 / 3, -0.5}, 2);
}

TEST(LwCrystalCell, SitesAreTheDistinctSitesInOrder)
{
    LwCrystalCell cell;
    cell.SetUnitAxes();
    cell.LatticeConstants = {1, 1, 1};
    for (LwLong site : {5, -1, 5, 2, -1})
        cell.AddAtom("0", "0", "0", "X", site, 0);
    cell.Sites = {99};  // replaced, not added to
    cell.Evaluate();
    EXPECT_EQ(cell.Sites, (std::set<LwLong>{-1, 2, 5}));
}

TEST(LwCrystalCell, ShortListsAreRefusedBeforeAnythingChanges)
{
    struct Case
    {
        const char* what;
        void (*spoil)(LwCrystalCell&);
    };
    const Case cases[] = {
        {"two texts in list 1", [](LwCrystalCell& c) { c.VectorTexts1.resize(2); }},
        {"two texts in list 2", [](LwCrystalCell& c) { c.VectorTexts2.resize(2); }},
        {"no texts in list 3", [](LwCrystalCell& c) { c.VectorTexts3.clear(); }},
        {"two lattice constants", [](LwCrystalCell& c) { c.LatticeConstants.resize(2); }},
        {"two axes", [](LwCrystalCell& c) { c.Axes.resize(2); }},
        {"an axis of 2 elements", [](LwCrystalCell& c) { c.Axes[1] = LwLDoubleMatrix(2); }},
        {"an atom with 2 position texts", [](LwCrystalCell& c) { c.Atoms[1].PositionTexts.resize(2); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        LwCrystalCell cell = HexagonalCell(3, 5);
        k.spoil(cell);
        EXPECT_EQ(ErrorText([&] { cell.Evaluate(); }), "Error");
        if (cell.Axes.size() == 3 && cell.Axes[1].RowSize == 3) {
            EXPECT_EQ(cell.Axes[1][1], LDouble(std::sqrt(3.0)));  // not yet normalised
        }
        ExpectVector(cell.ScaledAxes[0], {1, 0, 0}, 1);
    }
}

TEST(LwCrystalCell, LatticeVectorTextIndexOutsideTheCellIsRefused)
{
    LwCrystalCell cell;
    for (LwLong i : {-1, 3}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ErrorText([&] { cell.SetLatticeVectorTexts(i, "1", "2", "3"); }),
                  "lattice vector index out of range");
    }
    cell.SetLatticeVectorTexts(2, "1", "2", "3");
    EXPECT_EQ(cell.VectorTexts1[2], "1");
    EXPECT_EQ(cell.VectorTexts2[2], "2");
    EXPECT_EQ(cell.VectorTexts3[2], "3");
}

// A text the parser refuses reaches the caller with the parser's own
// message, whether it stands in a lattice vector or in an atom position.
TEST(LwCrystalCell, BadExpressionsReportTheParsersError)
{
    struct Case
    {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"1/0", "error: Divide by 0."},
        {"foo(1)", "error:unknown function:foo"},
        {"(1+2", "error: right bracker ')' is required."},
        {"ln(0)", "ln(x): bad parameter x<=0"},
        {"max(1)", "error: More parameter is required."},
        {"*", "error:a parameter for the oeprand:*"},
        {"X", "undefined parameter"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        LwCrystalCell inVector;
        inVector.MakeFccCell("Cu", "Cu", 3.61);
        inVector.SetLatticeVectorTexts(1, "1/2", k.text, "1/2");
        EXPECT_EQ(ErrorText([&] { inVector.Evaluate(); }), k.message);

        LwCrystalCell inAtom;
        inAtom.MakeFccCell("Cu", "Cu", 3.61);
        inAtom.Atoms[2].PositionTexts[2] = k.text;
        EXPECT_EQ(ErrorText([&] { inAtom.Evaluate(); }), k.message);
    }
}

TEST(LwCrystalCell, LexicalErrorIsTheParsersBareText)
{
    LwCrystalCell cell;
    cell.MakeFccCell("Cu", "Cu", 3.61);
    cell.Atoms[0].PositionTexts[0] = "1/2 $";
    EXPECT_EQ(BareTextOf([&] { cell.Evaluate(); }), std::string(LwParserTokenList::LexicalErrorText));
}

// The evaluation stops at the bad text: what came before it is done, the
// atoms after it keep their former positions.
TEST(LwCrystalCell, ParserErrorLeavesTheCellPartlyEvaluated)
{
    const double a = 4.0;
    LwCrystalCell cell;
    cell.MakeFccCell("X", "X", 2.0);
    cell.LatticeConstants = {a, a, a};
    cell.Atoms[2].PositionTexts[0] = "1/0";
    EXPECT_EQ(ErrorText([&] { cell.Evaluate(); }), "error: Divide by 0.");
    ExpectVector(cell.LatticeVectors[0], {0, a / 2, a / 2}, a);
    ExpectVector(cell.Atoms[1].Position, {0, a / 2, a / 2}, a);
    ExpectVector(cell.Atoms[2].Position, {1, 0, 1}, a);  // from the cell of edge 2
    ExpectVector(cell.Atoms[3].Position, {1, 1, 0}, a);
}

TEST(LwCrystalCell, CopyIsIndependent)
{
    LwCrystalCell original = HexagonalCell(3, 5);
    original.Evaluate();
    LwCrystalCell copy(original);
    LwCrystalCell assigned;
    assigned = original;
    for (const LwCrystalCell* c : {&copy, &assigned}) {
        EXPECT_EQ(c->Name, "hexagonal");
        EXPECT_EQ(c->LatticeConstants, original.LatticeConstants);
        EXPECT_EQ(c->VectorTexts1, original.VectorTexts1);
        EXPECT_EQ(c->Sites, original.Sites);
        ASSERT_EQ(c->Atoms.size(), 2u);
        EXPECT_EQ(c->Atoms[1].Value, 0.25);
        ExpectVector(c->Atoms[1].Position, {0, 3 / std::sqrt(3.0), 2.5}, 5);
        ExpectVector(c->LatticeVectors[1], {-1.5, 1.5 * std::sqrt(3.0), 0}, 3);
    }
    copy.Atoms[1].Position[2] = 0;
    copy.LatticeVectors[0][0] = 0;
    EXPECT_EQ(original.Atoms[1].Position[2], 2.5);
    EXPECT_EQ(original.LatticeVectors[0][0], 3);
}

TEST(LwCrystalCell, MoveTakesTheListsAndTheCellMovedFromRefusesToEvaluate)
{
    LwCrystalCell source;
    source.MakeDiamondCell("Si", "Si", 5.43);
    LwCrystalCell moved(std::move(source));
    LwCrystalCell assigned;
    assigned = std::move(moved);

    EXPECT_EQ(assigned.Name, "Si");
    EXPECT_EQ(assigned.Atoms.size(), 8u);
    EXPECT_EQ(assigned.Sites, (std::set<LwLong>{0, 1}));
    assigned.Evaluate();
    ExpectVector(assigned.Atoms[4].Position, {1.3575, 1.3575, 1.3575}, 5.43);

    for (LwCrystalCell* emptied : {&source, &moved}) {
        EXPECT_EQ(emptied->Name, "");
        EXPECT_TRUE(emptied->LatticeConstants.empty());
        EXPECT_TRUE(emptied->Axes.empty());
        EXPECT_TRUE(emptied->VectorTexts1.empty());
        EXPECT_TRUE(emptied->LatticeVectors.empty());
        EXPECT_TRUE(emptied->Sites.empty());
        EXPECT_TRUE(emptied->Atoms.empty());
        EXPECT_EQ(ErrorText([&] { emptied->Evaluate(); }), "Error");
    }
    // A cell moved from can be filled again.
    source.MakeFccCell("Cu", "Cu", 3.61);
    ExpectVector(source.LatticeVectors[2], {1.805, 1.805, 0}, 3.61);
}

TEST(LwCrystalCell, MakeFccCellReplacesTheAtoms)
{
    LwCrystalCell cell;
    cell.AddAtom("1", "1", "1", "Zn", 7, 0);
    cell.Axes = {Vector(3, 0, 0), Vector(1, 1, 0), Vector(0, 0, 2)};
    cell.MakeFccCell("Al", "Al", 4.05);
    EXPECT_EQ(cell.Name, "Al");
    ASSERT_EQ(cell.Atoms.size(), 4u);
    for (const LwAtomAttr& atom : cell.Atoms)
        EXPECT_EQ(atom.Element, "Al");
    ExpectVector(cell.Axes[1], {0, 1, 0}, 1);
    EXPECT_EQ(cell.Sites, (std::set<LwLong>{0}));
}

TEST(SetVectorElement, UsesTheVectorElementAccess)
{
    LwLDoubleMatrix column(3);
    column.SetZero();
    SetVectorElement(column, 2, 4.5);
    EXPECT_EQ(column(0, 2), 4.5);

    LwLDoubleMatrix row;
    row.CreateRow(3);
    row.SetZero();
    SetVectorElement(row, 1, -2);
    EXPECT_EQ(row(1, 0), -2);

    LwLDoubleMatrix square(3, 3);
    EXPECT_EQ(ErrorText([&] { SetVectorElement(square, 0, 1); }), "This is not vector");
    EXPECT_EQ(ErrorText([&] { SetVectorElement(column, 3, 1); }).rfind("Matrix over range", 0), 0u);
}
