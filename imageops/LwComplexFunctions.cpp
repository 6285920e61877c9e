#include "imageops/LwComplexFunctions.h"

#include <cmath>

LComplex ComplexExp(const LComplex& z)
{
    const LDouble e = std::exp(z.real());
    return LComplex(e * std::cos(z.imag()), e * std::sin(z.imag()));
}
