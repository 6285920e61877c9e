// The table of crystal cells and its five built-in crystals, checked against
// crystallography worked out here: the fcc primitive vectors a/2 (0, 1, 1),
// a/2 (1, 0, 1), a/2 (1, 1, 0), the cube's basis, the neighbour shells of
// the fcc lattice (12 at a/sqrt(2), 6 at a) and of diamond (4 at
// a sqrt(3)/4, 12 at a/sqrt(2)), the primitive volume a^3/4 and the number
// of atoms per primitive cell (1 and 2).
#include "physics/LwCrystalTable.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {
using Vec = std::array<double, 3>;

struct Crystal
{
    const char* name;
    const char* element;
    double a;  // cube edge (Angstrom)
    bool diamond;  // else face-centred cubic
};

const Crystal kCrystals[] = {
    {"Cu", "Cu", 3.61, false}, {"Diamond", "C", 3.567, true},  {"Si", "Si", 5.43, true},
    {"Ge", "Ge", 5.658, true}, {"alpha-Sn", "Sn", 6.49, true},
};

// The sums of a few products of lengths below 10 Angstrom: a few units of
// double's epsilon relative to the cube edge.
double Tolerance(double a)
{
    return 16 * std::numeric_limits<double>::epsilon() * a;
}

Vec ToVec(const LwLDoubleMatrix& v)
{
    return {double(v[0]), double(v[1]), double(v[2])};
}
Vec Add(const Vec& x, const Vec& y)
{
    return {x[0] + y[0], x[1] + y[1], x[2] + y[2]};
}
Vec Sub(const Vec& x, const Vec& y)
{
    return {x[0] - y[0], x[1] - y[1], x[2] - y[2]};
}
Vec Scale(double s, const Vec& x)
{
    return {s * x[0], s * x[1], s * x[2]};
}
double Dot(const Vec& x, const Vec& y)
{
    return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
}
double Norm(const Vec& x)
{
    return std::sqrt(Dot(x, x));
}
Vec Cross(const Vec& x, const Vec& y)
{
    return {x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]};
}

void ExpectNear(const Vec& v, const Vec& expected, double tolerance)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(v[i], expected[i], tolerance) << "component " << i;
}

// Fractional coordinates of the conventional cube's atoms.
std::vector<Vec> CubeBasis(bool diamond)
{
    std::vector<Vec> basis = {{0, 0, 0}, {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}};
    if (diamond)
        for (const Vec& f :
             {Vec{0.25, 0.25, 0.25}, Vec{0.75, 0.75, 0.25}, Vec{0.25, 0.75, 0.75}, Vec{0.75, 0.25, 0.75}})
            basis.push_back(f);
    return basis;
}

struct Site
{
    Vec r;
    LwLong site;
};

// Every distinct atom of the crystal spanned by the cell's lattice vectors
// and basis within `radius` of `centre`.
std::vector<Site> AtomsAround(const LwCrystalCell& cell, const Vec& centre, double radius)
{
    const double tolerance = Tolerance(cell.LatticeConstants[0]);
    std::vector<Site> atoms;
    const int n = 4;
    for (int n1 = -n; n1 <= n; ++n1)
        for (int n2 = -n; n2 <= n; ++n2)
            for (int n3 = -n; n3 <= n; ++n3)
                for (const LwAtomAttr& atom : cell.Atoms) {
                    const Vec t = Add(Add(Scale(n1, ToVec(cell.LatticeVectors[0])),
                                          Scale(n2, ToVec(cell.LatticeVectors[1]))),
                                      Scale(n3, ToVec(cell.LatticeVectors[2])));
                    const Vec r = Add(t, ToVec(atom.Position));
                    if (Norm(Sub(r, centre)) > radius)
                        continue;
                    bool known = false;
                    for (const Site& s : atoms)
                        known = known || Norm(Sub(s.r, r)) < 64 * tolerance;
                    if (!known)
                        atoms.push_back({r, atom.Site});
                }
    return atoms;
}

// The number of neighbours of `centre` at `distance`, and their sites.
struct Shell
{
    int count = 0;
    std::set<LwLong> sites;
};

Shell ShellAt(const std::vector<Site>& atoms, const Vec& centre, double distance, double tolerance)
{
    Shell shell;
    for (const Site& s : atoms)
        if (std::fabs(Norm(Sub(s.r, centre)) - distance) < tolerance) {
            ++shell.count;
            shell.sites.insert(s.site);
        }
    return shell;
}

// The smallest non-zero distance from `centre`.
double NearestDistance(const std::vector<Site>& atoms, const Vec& centre, double tolerance)
{
    double nearest = std::numeric_limits<double>::infinity();
    for (const Site& s : atoms) {
        const double d = Norm(Sub(s.r, centre));
        if (d > tolerance && d < nearest)
            nearest = d;
    }
    return nearest;
}

class BuiltInCrystalTest : public ::testing::TestWithParam<Crystal>
{
protected:
    const LwCrystalCell& Cell()
    {
        const auto it = table_.Cells().find(GetParam().name);
        EXPECT_NE(it, table_.Cells().end());
        return it->second;
    }

private:
    LwCrystalTable table_;
};

std::string CrystalName(const ::testing::TestParamInfo<Crystal>& info)
{
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}
}  // namespace

TEST(LwCrystalTable, HoldsTheFiveBuiltInCellsUnderTheirNames)
{
    const LwCrystalTable table;
    ASSERT_EQ(table.Cells().size(), 5u);
    for (const Crystal& c : kCrystals) {
        SCOPED_TRACE(c.name);
        const auto it = table.Cells().find(c.name);
        ASSERT_NE(it, table.Cells().end());
        EXPECT_EQ(it->second.Name, c.name);
    }
}

TEST(LwCrystalTable, AddingANamePresentKeepsTheFirstCell)
{
    LwCrystalTable table;
    LwCrystalCell other;
    other.MakeDiamondCell("Cu", "Cu", 4.0);
    table.AddCell(other);
    ASSERT_EQ(table.Cells().size(), 5u);
    const LwCrystalCell& cu = table.Cells().at("Cu");
    EXPECT_EQ(cu.Atoms.size(), 4u);
    EXPECT_EQ(cu.LatticeConstants[0], 3.61);
}

TEST(LwCrystalTable, AddCellInsertsACopy)
{
    LwCrystalTable table;
    LwCrystalCell al;
    al.MakeFccCell("Al", "Al", 4.05);
    table.AddCell(al);
    al.Atoms.clear();
    al.LatticeVectors[0][1] = 0;
    ASSERT_EQ(table.Cells().size(), 6u);
    const LwCrystalCell& stored = table.Cells().at("Al");
    EXPECT_EQ(stored.Atoms.size(), 4u);
    EXPECT_NEAR(double(stored.LatticeVectors[0][1]), 2.025, Tolerance(4.05));
}

TEST_P(BuiltInCrystalTest, ElementAndLatticeConstants)
{
    const Crystal& c = GetParam();
    const LwCrystalCell& cell = Cell();
    EXPECT_EQ(cell.LatticeConstants, (std::vector<double>{c.a, c.a, c.a}));
    ASSERT_EQ(cell.Atoms.size(), c.diamond ? 8u : 4u);
    for (const LwAtomAttr& atom : cell.Atoms) {
        EXPECT_EQ(atom.Element, c.element);
        EXPECT_EQ(atom.Value, 0.0);
    }
    EXPECT_EQ(cell.Sites, c.diamond ? (std::set<LwLong>{0, 1}) : (std::set<LwLong>{0}));
}

TEST_P(BuiltInCrystalTest, CubicAxesAndFccPrimitiveVectors)
{
    const double a = GetParam().a;
    const LwCrystalCell& cell = Cell();
    const Vec unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Vec primitive[3] = {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        ExpectNear(ToVec(cell.Axes[k]), unit[k], Tolerance(1));
        ExpectNear(ToVec(cell.ScaledAxes[k]), Scale(a, unit[k]), Tolerance(a));
        ExpectNear(ToVec(cell.LatticeVectors[k]), Scale(a / 2, primitive[k]), Tolerance(a));
    }
}

TEST_P(BuiltInCrystalTest, BasisIsTheConventionalCube)
{
    const Crystal& c = GetParam();
    const LwCrystalCell& cell = Cell();
    const std::vector<Vec> basis = CubeBasis(c.diamond);
    ASSERT_EQ(cell.Atoms.size(), basis.size());
    for (std::size_t n = 0; n < basis.size(); ++n) {
        SCOPED_TRACE(n);
        ExpectNear(ToVec(cell.Atoms[n].Position), Scale(c.a, basis[n]), Tolerance(c.a));
        EXPECT_EQ(cell.Atoms[n].Site, n < 4 ? 0 : 1);
    }
}

TEST_P(BuiltInCrystalTest, PrimitiveVolumeAndAtomsPerPrimitiveCell)
{
    const Crystal& c = GetParam();
    const LwCrystalCell& cell = Cell();
    const Vec a1 = ToVec(cell.LatticeVectors[0]);
    const Vec a2 = ToVec(cell.LatticeVectors[1]);
    const Vec a3 = ToVec(cell.LatticeVectors[2]);
    const double volume = Dot(a1, Cross(a2, a3));
    EXPECT_NEAR(std::fabs(volume), c.a * c.a * c.a / 4, Tolerance(c.a * c.a * c.a));

    // Two basis atoms are the same lattice site when their difference has
    // integer coordinates in the primitive vectors (Cramer's rule).
    std::vector<Vec> distinct;
    for (const LwAtomAttr& atom : cell.Atoms) {
        bool equivalent = false;
        for (const Vec& d : distinct) {
            const Vec diff = Sub(ToVec(atom.Position), d);
            const double n1 = Dot(diff, Cross(a2, a3)) / volume;
            const double n2 = Dot(a1, Cross(diff, a3)) / volume;
            const double n3 = Dot(a1, Cross(a2, diff)) / volume;
            equivalent = equivalent ||
                         (std::fabs(n1 - std::round(n1)) < 1e-9 && std::fabs(n2 - std::round(n2)) < 1e-9 &&
                          std::fabs(n3 - std::round(n3)) < 1e-9);
        }
        if (!equivalent)
            distinct.push_back(ToVec(atom.Position));
    }
    EXPECT_EQ(distinct.size(), c.diamond ? 2u : 1u);
}

TEST_P(BuiltInCrystalTest, NeighbourShells)
{
    const Crystal& c = GetParam();
    const double a = c.a;
    const double tolerance = 1e-9 * a;
    const LwCrystalCell& cell = Cell();
    // Neighbours of an atom of each sublattice.
    std::vector<Site> centres = {{{0, 0, 0}, 0}};
    if (c.diamond)
        centres.push_back({{a / 4, a / 4, a / 4}, 1});
    for (const Site& centre : centres) {
        SCOPED_TRACE(centre.site);
        const std::vector<Site> atoms = AtomsAround(cell, centre.r, 1.2 * a);
        if (c.diamond) {
            const double nearest = a * std::sqrt(3.0) / 4;
            EXPECT_NEAR(NearestDistance(atoms, centre.r, tolerance), nearest, tolerance);
            const Shell first = ShellAt(atoms, centre.r, nearest, tolerance);
            EXPECT_EQ(first.count, 4);
            // The nearest neighbours all belong to the other sublattice.
            EXPECT_EQ(first.sites, (std::set<LwLong>{1 - centre.site}));
            const Shell second = ShellAt(atoms, centre.r, a / std::sqrt(2.0), tolerance);
            EXPECT_EQ(second.count, 12);
            EXPECT_EQ(second.sites, (std::set<LwLong>{centre.site}));
        } else {
            const double nearest = a / std::sqrt(2.0);
            EXPECT_NEAR(NearestDistance(atoms, centre.r, tolerance), nearest, tolerance);
            EXPECT_EQ(ShellAt(atoms, centre.r, nearest, tolerance).count, 12);
            EXPECT_EQ(ShellAt(atoms, centre.r, a, tolerance).count, 6);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LwCrystalTable, BuiltInCrystalTest, ::testing::ValuesIn(kCrystals), CrystalName);
