#pragma once
// A crystal given by three cell axes with their lattice constants, three
// lattice vectors and a basis of atoms.
//
// The lattice vectors and the atom positions are expression texts ("1/2",
// "sqrt(3)/2", ...) read as coefficients of the scaled axes: with
// S_k = unit axis k times lattice constant k, a position (u, v, w) is the
// Cartesian vector u S_0 + v S_1 + w S_2, in the unit of the lattice
// constants (Angstrom in the built-in cells). LwCrystalCell::Evaluate turns
// the texts into these vectors with LwExpressionParser.
//
// Vector texts: entry i of VectorTexts1, VectorTexts2 and VectorTexts3 are
// the coefficients of S_0, S_1 and S_2 in lattice vector i, so lattice vector
// i = VectorTexts1[i] S_0 + VectorTexts2[i] S_1 + VectorTexts3[i] S_2.
//
// Moving a cell or an atom takes over its texts and lists and leaves the one
// moved from with empty lists; evaluating such a cell fails with "Error".

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <set>
#include <string>
#include <vector>

// One atom of a cell's basis.
class LwAtomAttr
{
public:
    // Empty element, three empty position texts, site 0, value 0.0,
    // position (0, 0, 0).
    LwAtomAttr();
    LwAtomAttr(const LwAtomAttr& other) = default;
    LwAtomAttr(LwAtomAttr&& other);
    virtual ~LwAtomAttr() = default;

    // Copies element, position texts, site, value and position.
    virtual LwAtomAttr& operator=(const LwAtomAttr& other) = default;
    LwAtomAttr& operator=(LwAtomAttr&& other);

    std::string Element;  // element symbol
    std::vector<std::string> PositionTexts;  // coefficients of S_0, S_1, S_2
    LwLong Site = 0;  // sublattice index
    double Value = 0.0;  // carried with the atom; not read here
    LwLDoubleMatrix Position;  // Cartesian 3-vector, set by Evaluate
};

class LwCrystalCell
{
public:
    // Name empty, lattice constants 0, zero axes, three lists of three empty
    // vector texts, scaled axes (1, 0, 0), (0, 1, 0), (0, 0, 1), zero lattice
    // vectors, no sites, no atoms.
    LwCrystalCell();
    LwCrystalCell(const LwCrystalCell& other) = default;
    LwCrystalCell& operator=(const LwCrystalCell& other) = default;
    LwCrystalCell(LwCrystalCell&& other) noexcept;
    LwCrystalCell& operator=(LwCrystalCell&& other) noexcept;

    // Appends an atom with these texts and fields; its position stays
    // (0, 0, 0) until Evaluate.
    void AddAtom(const std::string& x, const std::string& y, const std::string& z, const std::string& element,
                 LwLong site, double value);

    // Axes (1, 0, 0), (0, 1, 0), (0, 0, 1).
    void SetUnitAxes();

    // Entry i (0 to 2) of the three lists of vector texts: the coefficients
    // of S_0, S_1 and S_2 in lattice vector i. Any other index, or a list
    // too short to hold entry i, throws "lattice vector index out of range".
    void SetLatticeVectorTexts(LwLong i, const std::string& s0, const std::string& s1, const std::string& s2);

    // Makes the axes unit vectors (a zero axis stays zero), sets the scaled
    // axes, the lattice vectors, every atom's position and the site set.
    // Lists of the wrong length (three lattice constants and axes, at least
    // three entries in each list of vector texts, three position texts per
    // atom) throw "Error" before anything changes. Errors of the expression
    // parser pass to the caller and leave the cell partly evaluated.
    void Evaluate();

    // Fills the cell as a face-centred cubic crystal of cube edge `a`:
    // unit axes, primitive lattice vectors a/2 (0, 1, 1), a/2 (1, 0, 1),
    // a/2 (1, 1, 0), and the four atoms of the cube (site 0); then Evaluate.
    void MakeFccCell(const std::string& name, const std::string& element, double a);
    // The fcc cell plus the four atoms of the second sublattice (site 1) at
    // (1/4, 1/4, 1/4), (3/4, 3/4, 1/4), (1/4, 3/4, 3/4), (3/4, 1/4, 3/4)
    // times a; then Evaluate.
    void MakeDiamondCell(const std::string& name, const std::string& element, double a);

    std::string Name;
    std::vector<double> LatticeConstants;  // length of each axis
    std::vector<LwLDoubleMatrix> Axes;  // axis directions (3-vectors)
    std::vector<std::string> VectorTexts1;  // coefficients of S_0
    std::vector<std::string> VectorTexts2;  // coefficients of S_1
    std::vector<std::string> VectorTexts3;  // coefficients of S_2
    std::vector<LwLDoubleMatrix> ScaledAxes;  // S_k, set by Evaluate
    std::vector<LwLDoubleMatrix> LatticeVectors;  // Cartesian, set by Evaluate
    std::set<LwLong> Sites;  // distinct atom sites
    std::vector<LwAtomAttr> Atoms;  // the basis

private:
    // Fills the cell as in MakeFccCell without evaluating it.
    void FillFcc(const std::string& name, const std::string& element, double a);
    // Empties every text and list (the state of a cell moved from).
    void LeaveEmpty();
};

// Element `index` of a 3-vector, with the vector element access of the
// matrix family: a matrix that is no vector throws "This is not vector", an
// index outside the vector the range error.
void SetVectorElement(LwLDoubleMatrix& vector, int index, LDouble value);
