// Elementary rotation matrices, the reflection in a plane, the Euler angles
// of a rotation and a vector perpendicular to a given one.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"

#include <cmath>
#include <initializer_list>

namespace {

// A size x size matrix given row after row (begins 0).
LwLDoubleMatrix FromRows(int size, std::initializer_list<LDouble> elements)
{
    LwLDoubleMatrix m(size, size);
    int k = 0;
    for (const LDouble e : elements)
        m.Buffer()[k++] = e;  // storage is row after row
    return m.Release(false);
}

LwLDoubleMatrix Vector3(LDouble x, LDouble y, LDouble z)
{
    LwLDoubleMatrix v(3);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    return v.Release(false);
}

}  // namespace

LwLDoubleMatrix LwMatrixOperator::RotationX(const LDouble& angle)
{
    const LDouble s = std::sin(angle), c = std::cos(angle);
    return FromRows(3, {1, 0, 0, 0, c, -s, 0, s, c});
}

LwLDoubleMatrix LwMatrixOperator::RotationY(const LDouble& angle)
{
    const LDouble s = std::sin(angle), c = std::cos(angle);
    return FromRows(3, {c, 0, -s, 0, 1, 0, s, 0, c});
}

LwLDoubleMatrix LwMatrixOperator::RotationZ(const LDouble& angle)
{
    const LDouble s = std::sin(angle), c = std::cos(angle);
    return FromRows(3, {c, -s, 0, s, c, 0, 0, 0, 1});
}

LwLDoubleMatrix LwMatrixOperator::Rotation2D(const LDouble& angle)
{
    const LDouble s = std::sin(angle), c = std::cos(angle);
    return FromRows(2, {c, -s, s, c});
}

LwLDoubleMatrix LwMatrixOperator::ReflectionMatrix(const LDouble& nx, const LDouble& ny, const LDouble& nz)
{
    const LDouble length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length == 0)
        throw LwError("normal vector length is zero");
    const LDouble a = nx / length, b = ny / length, c = nz / length;
    return FromRows(3, {1 - 2 * a * a, -2 * a * b, -2 * a * c,  //
                        -2 * a * b, 1 - 2 * b * b, -2 * b * c,  //
                        -2 * a * c, -2 * b * c, 1 - 2 * c * c});
}

void LwMatrixOperator::EulerAnglesFromRotation(double& a, double& b, double& c,
                                               const LwLDoubleMatrix& rotation)
{
    const LwLDoubleMatrix v = rotation * Vector3(0, 0, 1);
    // Rounding can carry a unit z component just beyond +-1.
    const LDouble z = std::fmax(LDouble(-1), std::fmin(LDouble(1), v[2]));
    b = static_cast<double>(std::acos(z));
    c = static_cast<double>(std::atan2(v[1], v[0]));
    // Undo the turns c about z and b about y (with the stored values): what
    // is left is the turn a about z.
    const LwLDoubleMatrix d = EulerRotationMatrix(0, -b, 0) * (EulerRotationMatrix(0, 0, -c) * rotation);
    const LwLDoubleMatrix u = d * Vector3(1, 0, 0);
    a = static_cast<double>(std::atan2(u[1], u[0]));
}

LwLDoubleMatrix LwMatrixOperator::PerpendicularVector(const LwLDoubleMatrix& v)
{
    const LDouble a = v[0], b = v[1], c = v[2];
    if (c - b == 0 && a - c == 0 && b - a == 0)
        return Vector3(c, c, -b - a);
    return Vector3(c - b, a - c, b - a);
}
