#include "physics/LwLnAtomicPotentialC.h"

#include "core/LwConstants.h"
#include "core/LwError.h"

#include <cmath>

namespace {
// m_e·e (kg·C) and hbar^2 (J^2·s^2): (V - E)·m_e·e/hbar^2 is half the squared
// local wave number, in 1/m^2, for energies in eV. Rounded to double first,
// in both builds, as the equation has always been integrated.
constexpr LDouble kElectronMassTimesCharge = LwConst::ElectronMassTimesCharge_kgC;
constexpr LDouble kHbarSquared = LwConst::HbarSquared_J2s2;
}  // namespace

void LwLnAtomicPotentialC::GetDerivatives(LDouble x, const LwLDoubleMatrix& y, LwLDoubleMatrix& dydx)
{
    if (table == nullptr)
        throw LwError("Error");
    const int n = y.VectorSize();
    const LDouble v = table->GetPotential(static_cast<double>(x));
    const LDouble c = (v - static_cast<LDouble>(E)) * kElectronMassTimesCharge / kHbarSquared;
    const LDouble r2 = std::exp(x + x);
    for (int l = 0; l < n / 2; ++l) {
        const int j = 2 * l + 1;
        const int k = 2 * l + 2;
        dydx[j] = y[k];
        dydx[k] = r2 * 2.0 * c * y[j] + static_cast<LDouble>(-(2 * l + 1)) * y[k];
    }
}

void LwLnAtomicPotentialC::GetInitialValues(LDouble& xStart, LDouble& value, LDouble& derivative,
                                            LDouble& step)
{
    if (table == nullptr)
        throw LwError("Error");
    // Preparing first checks the grid (two points at least) before x_1 is
    // read; on failure the outputs stay as they were.
    table->PrepareSpline();
    xStart = table->x[0];
    value = 1.0;
    derivative = 0.0;
    step = table->x[1] - table->x[0];
}
