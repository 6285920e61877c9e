#pragma once
// A table of crystal cells by name, holding five built-in crystals (lattice
// constants in Angstrom):
//   "Cu"        Cu  face-centred cubic  3.61
//   "Diamond"   C   diamond             3.567
//   "Si"        Si  diamond             5.43
//   "Ge"        Ge  diamond             5.658
//   "alpha-Sn"  Sn  diamond             6.49

#include "physics/LwCrystalCell.h"

#include <map>
#include <string>

class LwCrystalTable
{
public:
    // The five built-in cells, evaluated.
    LwCrystalTable();

    // Inserts a copy of `cell` under its name; a name already present keeps
    // its first cell.
    void AddCell(const LwCrystalCell& cell);

    // The cells, ordered by name.
    const std::map<std::string, LwCrystalCell>& Cells() const { return cells_; }

private:
    std::map<std::string, LwCrystalCell> cells_;
};
