#include "physics/LwAtomName.h"

#include "core/LwError.h"

#include <stdexcept>

namespace {

constexpr int kSymbolCount = 104;

const char* const kSymbols[kSymbolCount] = {
    "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si",
    "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu",
    "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru",
    "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr",
    "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",
    "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac",
    "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr",
};

}  // namespace

void LwAtomName::MakeSymbolTable(std::vector<std::string>& table)
{
    table.assign(std::begin(kSymbols), std::end(kSymbols));
}

void LwAtomName::SetAtomicNumber(int atomicNumber)
{
    if (atomicNumber < 0 || atomicNumber >= kSymbolCount)
        throw std::out_of_range("atomic number out of range");
    atomicNumber_ = atomicNumber;
    symbol_ = kSymbols[atomicNumber];
}

void LwAtomName::SetAtomName(const std::string& symbol)
{
    for (int z = 0; z < kSymbolCount; ++z) {
        if (symbol == kSymbols[z]) {
            SetAtomicNumber(z);
            return;
        }
    }
    throw LwError("Error in element name");
}
