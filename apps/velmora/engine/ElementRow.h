#pragma once
// One row of velmora's element list: the anomalous-scattering terms and the
// Debye temperature that the hologram calculation uses for every atom of
// this element.

#include <string>

struct ElementRow
{
    std::string Element;  // element symbol, matched exactly
    double F1 = 0;  // anomalous-scattering terms f' and f'' (electrons)
    double F2 = 0;
    double Debye_K_ = 0;  // Debye temperature in K; 0 = no thermal vibration
};
