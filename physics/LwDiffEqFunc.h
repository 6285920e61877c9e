#pragma once
// Right-hand side of a system of first-order ordinary differential equations
// dy/dx = F(x, y), in the form an integrator asks for: the derivatives at a
// point and the starting point, value and step.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

class LwDiffEqFunc
{
public:
    virtual ~LwDiffEqFunc() = default;

    // Writes dy/dx at x for the state vector y into dydx (same length as y).
    virtual void GetDerivatives(LDouble x, const LwLDoubleMatrix& y, LwLDoubleMatrix& dydx) = 0;

    // Starting point x_start, the starting value and derivative of every
    // solution, and the first step.
    virtual void GetInitialValues(LDouble& xStart, LDouble& value, LDouble& derivative, LDouble& step) = 0;
};
