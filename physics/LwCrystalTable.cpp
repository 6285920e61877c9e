#include "physics/LwCrystalTable.h"

namespace {
struct BuiltInCrystal
{
    const char* name;
    const char* element;
    bool diamond;  // diamond structure, else face-centred cubic
    double a;  // cube edge (Angstrom)
};

constexpr BuiltInCrystal kBuiltInCrystals[] = {
    {"Cu", "Cu", false, 3.61}, {"Diamond", "C", true, 3.567},  {"Si", "Si", true, 5.43},
    {"Ge", "Ge", true, 5.658}, {"alpha-Sn", "Sn", true, 6.49},
};
}  // namespace

LwCrystalTable::LwCrystalTable()
{
    for (const auto& crystal : kBuiltInCrystals) {
        LwCrystalCell cell;
        if (crystal.diamond)
            cell.MakeDiamondCell(crystal.name, crystal.element, crystal.a);
        else
            cell.MakeFccCell(crystal.name, crystal.element, crystal.a);
        AddCell(cell);
    }
}

void LwCrystalTable::AddCell(const LwCrystalCell& cell)
{
    cells_.emplace(cell.Name, cell);
}
