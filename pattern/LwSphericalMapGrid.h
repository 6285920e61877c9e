#pragma once
// The projection grid of a pattern document: the intensity planes of the
// image and, for every pixel, the unit direction it shows and the solid angle
// it covers. All matrices are addressed (column, row) from 0 and share the
// grid's size, columns x rows.
//
// W is the quadrature weight of the pixel (steradian); W = 0 marks a pixel
// outside the projected area, whose direction is then (0, 0, 0). A one-
// dimensional grid keeps W = 1 everywhere.

#include "core/LwMatrix.h"

#include <string>
#include <vector>

class LwSphericalMappingConvert;

class LwSphericalMapGrid
{
public:
    LwSphericalMapGrid() = default;
    LwSphericalMapGrid(const LwSphericalMapGrid&) = default;
    LwSphericalMapGrid& operator=(const LwSphericalMapGrid&) = default;
    // Moves hand the matrices' buffers over (a matrix copy-assigns unless
    // its source is flagged); the source is left with empty matrices.
    LwSphericalMapGrid(LwSphericalMapGrid&& other) noexcept;
    LwSphericalMapGrid& operator=(LwSphericalMapGrid&& other) noexcept;

    // N planes of columns x rows, all zero; X, Y, Z the same size and zero;
    // W the same size filled with 1. A negative N or size fails with an
    // LwError before anything changes.
    void Create(int N, int columns, int rows);
    // The same; without `initDirections` X, Y, Z and W are only sized and
    // their elements left unset, for a FillDirections that follows at once.
    void Create(int N, int columns, int rows, bool initDirections);

    // Direction and weight of every pixel (i, j) from the convert's
    // PixelToDirection at px = i, py = j; a pixel the convert reports outside
    // gets 0 in X, Y, Z and W. The matrices must already have the size
    // columns x rows and begin at pixel (0, 0) (Create), else LwError and
    // nothing changes.
    void FillDirections(const LwSphericalMappingConvert& convert, int columns, int rows);

    std::string Name;  // projection name; empty for the 1D grid
    std::vector<LwLDoubleMatrix> Planes;  // intensity planes
    LwLDoubleMatrix X, Y, Z;  // unit direction of every pixel
    LwLDoubleMatrix W;  // solid angle of every pixel, 0 outside
};

// Grid builders. Each returns a new grid with N zero planes. A resolution
// (degrees per pixel) that is zero, negative or not finite, or so small that
// the image size does not fit a 32-bit integer, is refused with an LwError
// before any matrix is sized.

// Square grid of n = (int)(180 / resolution + 1) pixels: polar angle 0 at the
// centre, 90 degrees on the inscribed circle.
LwSphericalMapGrid CreateAzimuthalEquidistantGrid(int N, double resolutionDeg);
// (int)(360 / resolution) columns of azimuth by (int)(180 / resolution + 1)
// rows of polar angle, both poles included.
LwSphericalMapGrid CreateEquidistantCylindricalGrid(int N, double resolutionDeg);
// The image sizes of the two builders above, with the same refusals, without
// building anything: for a check before a long calculation.
void AzimuthalEquidistantGridSize(double resolutionDeg, int& columns, int& rows);
void EquidistantCylindricalGridSize(double resolutionDeg, int& columns, int& rows);
// Square grids of `size` pixels whose half width shows the view angle.
LwSphericalMapGrid CreateGnomonicGrid(int N, double viewAngleDeg, int size);
LwSphericalMapGrid CreateStereographicGrid(int N, double viewAngleDeg, int size);
LwSphericalMapGrid CreateOrthographicGrid(int N, int size);
// n = (int)(180 / resolution + 1) columns and one row: column i is the polar
// angle i * resolution in the x-z plane (X = sin, Z = cos, Y = 0, W = 1).
LwSphericalMapGrid CreateOneDimensionalGrid(int N, double resolutionDeg);
