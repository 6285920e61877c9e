#pragma once
// The k-space side of the hologram reconstruction: a set of unit directions
// and, per hologram item (one energy), the measured hologram, the calculated
// hologram, their residual and the forward image of the gradient, each one
// value per direction (LwFloatMatrix vectors).
//
// Invariants (CheckConsistency, run after every read and write): NPoint_
// equals the vector size of Ux_, Uy_, Uz_; NList_ equals the number of E_,
// Exp_, Cal_ and Err_ entries, each vector of which holds NPoint_ entries.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <vector>

class LwBarnXml;

class LwKSpaceData
{
public:
    // Reads or writes the data in the rack "k_space_all" by the document's
    // mode; false when that rack is missing (read mode). Reading replaces the
    // item lists (the forward-gradient list too) by every item of the
    // document, however many; an item without "Cal" or "Err" gets zero
    // vectors of its measured hologram's shape. Ends with CheckConsistency.
    bool LoadSave(LwBarnXml& doc);

    // Throws LwError "Error: not consistent" on a broken invariant.
    void CheckConsistency() const;

    LwLong NList_ = 0;  // hologram items (energies)
    LwLong NPoint_ = 0;  // directions
    LwFloatMatrix Ux_;  // unit direction of each k-space point
    LwFloatMatrix Uy_;
    LwFloatMatrix Uz_;
    std::vector<float> E_;  // "E" of each item, as stored
    std::vector<LwFloatMatrix> Exp_;  // measured hologram of each item
    std::vector<LwFloatMatrix> Cal_;  // calculated hologram of each item
    std::vector<LwFloatMatrix> Err_;  // residual of each item
    std::vector<LwFloatMatrix> ForwardGradient_;  // forward image of the gradient; not stored
};
