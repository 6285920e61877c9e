#include "physics/LwCrystalCell.h"

#include "core/LwError.h"
#include "core/LwExpressionParser.h"
#include "core/LwMatrixArithmetic.h"

#include <cmath>
#include <utility>

namespace {
LwLDoubleMatrix Vector3(LDouble x, LDouble y, LDouble z)
{
    LwLDoubleMatrix v(3);
    SetVectorElement(v, 0, x);
    SetVectorElement(v, 1, y);
    SetVectorElement(v, 2, z);
    return v;
}

// u S_0 + v S_1 + w S_2, summed in this order.
LwLDoubleMatrix Combine(const std::vector<LwLDoubleMatrix>& s, double u, double v, double w)
{
    return (s[0] * LDouble(u) + s[1] * LDouble(v)) + s[2] * LDouble(w);
}

bool IsThreeVector(const LwLDoubleMatrix& v)
{
    return (v.ColSize == 1 && v.RowSize == 3) || (v.ColSize == 3 && v.RowSize == 1);
}
}  // namespace

// --- LwAtomAttr ---------------------------------------------------------

LwAtomAttr::LwAtomAttr() : PositionTexts(3), Position(Vector3(0, 0, 0)) {}

LwAtomAttr::LwAtomAttr(LwAtomAttr&& other)
    : Element(std::move(other.Element)), PositionTexts(std::move(other.PositionTexts)), Site(other.Site),
      Value(other.Value), Position(other.Position)
{
    other.Element.clear();
    other.PositionTexts.clear();
}

LwAtomAttr& LwAtomAttr::operator=(LwAtomAttr&& other)
{
    if (this == &other)
        return *this;
    Element = std::move(other.Element);
    PositionTexts = std::move(other.PositionTexts);
    Site = other.Site;
    Value = other.Value;
    Position = other.Position;
    other.Element.clear();
    other.PositionTexts.clear();
    return *this;
}

// --- LwCrystalCell ------------------------------------------------------

LwCrystalCell::LwCrystalCell()
    : LatticeConstants(3, 0.0), Axes{Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(0, 0, 0)}, VectorTexts1(3),
      VectorTexts2(3), VectorTexts3(3), ScaledAxes{Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)},
      LatticeVectors{Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(0, 0, 0)}
{}

LwCrystalCell::LwCrystalCell(LwCrystalCell&& other) noexcept
    : Name(std::move(other.Name)), LatticeConstants(std::move(other.LatticeConstants)),
      Axes(std::move(other.Axes)), VectorTexts1(std::move(other.VectorTexts1)),
      VectorTexts2(std::move(other.VectorTexts2)), VectorTexts3(std::move(other.VectorTexts3)),
      ScaledAxes(std::move(other.ScaledAxes)), LatticeVectors(std::move(other.LatticeVectors)),
      Sites(std::move(other.Sites)), Atoms(std::move(other.Atoms))
{
    other.LeaveEmpty();
}

LwCrystalCell& LwCrystalCell::operator=(LwCrystalCell&& other) noexcept
{
    if (this == &other)
        return *this;
    Name = std::move(other.Name);
    LatticeConstants = std::move(other.LatticeConstants);
    Axes = std::move(other.Axes);
    VectorTexts1 = std::move(other.VectorTexts1);
    VectorTexts2 = std::move(other.VectorTexts2);
    VectorTexts3 = std::move(other.VectorTexts3);
    ScaledAxes = std::move(other.ScaledAxes);
    LatticeVectors = std::move(other.LatticeVectors);
    Sites = std::move(other.Sites);
    Atoms = std::move(other.Atoms);
    other.LeaveEmpty();
    return *this;
}

void LwCrystalCell::LeaveEmpty()
{
    Name.clear();
    LatticeConstants.clear();
    Axes.clear();
    VectorTexts1.clear();
    VectorTexts2.clear();
    VectorTexts3.clear();
    ScaledAxes.clear();
    LatticeVectors.clear();
    Sites.clear();
    Atoms.clear();
}

void LwCrystalCell::AddAtom(const std::string& x, const std::string& y, const std::string& z,
                            const std::string& element, LwLong site, double value)
{
    LwAtomAttr atom;
    atom.Element = element;
    atom.PositionTexts = {x, y, z};
    atom.Site = site;
    atom.Value = value;
    Atoms.push_back(std::move(atom));
}

void LwCrystalCell::SetUnitAxes()
{
    Axes = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
}

void LwCrystalCell::SetLatticeVectorTexts(LwLong i, const std::string& s0, const std::string& s1,
                                          const std::string& s2)
{
    if (i < 0 || i > 2 || VectorTexts1.size() <= std::size_t(i) || VectorTexts2.size() <= std::size_t(i) ||
        VectorTexts3.size() <= std::size_t(i))
        throw LwError("lattice vector index out of range");
    VectorTexts1[i] = s0;
    VectorTexts2[i] = s1;
    VectorTexts3[i] = s2;
}

void LwCrystalCell::Evaluate()
{
    // Every list is checked before the first change, so that a cell whose
    // lists were emptied (moved from) or shortened is refused as a whole
    // instead of being read outside its lists.
    bool shapesValid = LatticeConstants.size() == 3 && Axes.size() == 3 && VectorTexts1.size() >= 3 &&
                       VectorTexts2.size() >= 3 && VectorTexts3.size() >= 3;
    for (std::size_t k = 0; shapesValid && k < Axes.size(); ++k)
        shapesValid = IsThreeVector(Axes[k]);
    for (std::size_t n = 0; shapesValid && n < Atoms.size(); ++n)
        shapesValid = Atoms[n].PositionTexts.size() == 3;
    if (!shapesValid)
        throw LwError("Error");

    for (auto& axis : Axes) {
        const LDouble q = (axis[0] * axis[0] + axis[1] * axis[1]) + axis[2] * axis[2];
        if (q != 0)
            axis *= LDouble(1.0) / std::sqrt(q);
    }
    ScaledAxes.resize(3);
    for (std::size_t k = 0; k < 3; ++k)
        ScaledAxes[k] = Axes[k] * LDouble(LatticeConstants[k]);

    {
        LwExpressionParser parser;
        LatticeVectors.resize(3);
        for (std::size_t i = 0; i < 3; ++i) {
            const double u = parser.Evaluate(VectorTexts1[i]);
            const double v = parser.Evaluate(VectorTexts2[i]);
            const double w = parser.Evaluate(VectorTexts3[i]);
            LatticeVectors[i] = Combine(ScaledAxes, u, v, w);
        }
    }

    LwExpressionParser parser;
    Sites.clear();
    for (auto& atom : Atoms) {
        const double u = parser.Evaluate(atom.PositionTexts[0]);
        const double v = parser.Evaluate(atom.PositionTexts[1]);
        const double w = parser.Evaluate(atom.PositionTexts[2]);
        atom.Position = Combine(ScaledAxes, u, v, w);
        Sites.insert(atom.Site);
    }
}

void LwCrystalCell::FillFcc(const std::string& name, const std::string& element, double a)
{
    Atoms.clear();
    Name = name;
    SetUnitAxes();
    LatticeConstants = {a, a, a};
    VectorTexts1.resize(3);
    VectorTexts2.resize(3);
    VectorTexts3.resize(3);
    SetLatticeVectorTexts(0, "0", "1/2", "1/2");
    SetLatticeVectorTexts(1, "1/2", "0", "1/2");
    SetLatticeVectorTexts(2, "1/2", "1/2", "0");
    AddAtom("0", "0", "0", element, 0, 0.0);
    AddAtom("0", "1/2", "1/2", element, 0, 0.0);
    AddAtom("1/2", "0", "1/2", element, 0, 0.0);
    AddAtom("1/2", "1/2", "0", element, 0, 0.0);
}

void LwCrystalCell::MakeFccCell(const std::string& name, const std::string& element, double a)
{
    FillFcc(name, element, a);
    Evaluate();
}

void LwCrystalCell::MakeDiamondCell(const std::string& name, const std::string& element, double a)
{
    FillFcc(name, element, a);
    AddAtom("1/4", "1/4", "1/4", element, 1, 0.0);
    AddAtom("3/4", "3/4", "1/4", element, 1, 0.0);
    AddAtom("1/4", "3/4", "3/4", element, 1, 0.0);
    AddAtom("3/4", "1/4", "3/4", element, 1, 0.0);
    Evaluate();
}

void SetVectorElement(LwLDoubleMatrix& vector, int index, LDouble value)
{
    vector[index] = value;
}
