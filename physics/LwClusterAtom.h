#pragma once
// One atom of a cluster structure, the orderings of a structure and the
// validity checks of structures and clusters.
//
// In memory lengths are metres and U square metres; documents, XYZ text and
// messages use Angstrom and square Angstrom (the *Angstrom* accessors convert).
// A structure is a list of atoms whose first atom, once ordered by distance,
// is the emitter at the origin; a cluster is a list of structures.

#include "core/LwMatrix.h"

#include <string>
#include <vector>

class LwClusterAtom
{
public:
    // Position (0, 0, 0) as a 3-element column vector with begin index 0,
    // empty texts, valency 0, empty U.
    LwClusterAtom();

    // Position in Angstrom, a new 3-vector.
    LwLDoubleMatrix GetPositionAngstrom() const;
    // Position from a 3-vector in Angstrom.
    void SetPositionAngstrom(LwLDoubleMatrix positionAngstrom);
    // U in square Angstrom, same shape as U (empty, 1 x 1 or 3 x 3).
    LwLDoubleMatrix GetUAngstrom2() const;
    // U from a matrix in square Angstrom; an empty matrix gives an empty U.
    void SetUAngstrom2(const LwLDoubleMatrix& uAngstrom2);

    // x, y, z in metres at the vector's begin index + 0, 1, 2.
    LwLDoubleMatrix Position_;
    // The atom's label; the scattering set-up picks its phase shift by it.
    std::string Name_;
    // Element symbol (see LwAtomName).
    std::string Atom_;
    // Carried with the atom; the scattering physics does not use it.
    double Valency_ = 0.0;
    // Mean-square displacement in m^2: empty when none is given, 1 x 1
    // isotropic, 3 x 3 symmetric anisotropic.
    LwLDoubleMatrix U_;
};

using LwStructure = std::vector<LwClusterAtom>;
using LwCluster = std::vector<LwStructure>;

// The three orderings compute one key per atom and run the same ascending
// selection sort: for every place i the first atom of strictly smallest key
// among i..n-1 is swapped into place i. The sort is not stable (keys 1, 1, 0
// end as 0, 1, 1 with the two atoms of key 1 exchanged); the order of equal
// keys decides the order of equidistant atoms in the multiple-scattering loop
// and is kept exactly so.

// By squared distance from the origin.
void SortAtomsByDistance(LwStructure& structure);
// From the shallowest atom (largest z) to the deepest; at equal depth the atom
// farther from the z axis first. Key of atom 0: its distance from the z axis;
// of the others: depth / D * 1e6 - lateral / L, with depth = -z, lateral the
// distance from the z axis, D and L their largest values over the structure.
// When no atom lies below the origin plane (D <= 0) the depths are scaled by
// their largest magnitude instead, and when every atom is on the z axis
// (L = 0) the lateral term is 0, so every key stays finite.
void SortAtomsByDepth(LwStructure& structure);
// Along a direction (any non-zero length): by the projection of the position
// on the unit direction, atoms closer than 0.1 Angstrom to the origin first.
// LwError "ERROR: WAVE VECTOR IS ZERO" for a zero direction.
void SortAtomsAlongWaveVector(LwStructure& structure, LwLDoubleMatrix direction);

// Orders the structure by distance, then requires the first atom within
// 0.01 Angstrom of the origin and every pair of atoms more than 0.5 Angstrom
// apart. LwError texts: "Structure has no atom",
// "Emitter shoud be located at origin (0,0,0)",
// "Atomic distance should be larger thatn 0.5A " i ".vs." j (first failing
// pair, indices in the new order).
void CheckStructure(LwStructure& structure);
// CheckStructure on every structure in order; an LwError gets "/CLUSER:" and
// the structure's index appended. The structures up to the failing one are
// left ordered, the later ones untouched.
void CheckCluster(LwCluster& cluster);
