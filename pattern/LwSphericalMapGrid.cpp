#include "pattern/LwSphericalMapGrid.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "pattern/LwSphericalMappingConvert.h"

#include <omp.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

namespace {

// Pixel count (int)(span / resolution + extra), refused when the resolution
// is not a positive finite number or the count does not fit an int: the
// conversion of an out-of-range double to int has no defined result.
int PixelCount(double span, double extra, double resolutionDeg)
{
    if (!(resolutionDeg > 0.0) || !std::isfinite(resolutionDeg))
        throw LwError("Illegal resolution: " + DoubleToString(resolutionDeg) +
                      " (a positive number of degrees is needed)");
    const double n = span / resolutionDeg + extra;
    if (!(n < static_cast<double>(std::numeric_limits<int>::max())))
        throw LwError("Illegal resolution: " + DoubleToString(resolutionDeg) +
                      " (the image would be too large)");
    return static_cast<int>(n);
}

// Below this many pixels a grid is filled by the calling thread alone: a
// team costs more to wake than it saves there, and on a busy machine each
// region waits for the last of its threads to be given a core.
constexpr std::ptrdiff_t kMinParallelPixels = std::ptrdiff_t(1) << 16;

// Sets every element of `m` to `value`, the rows shared out among the
// threads when the grid is large: a fresh buffer's pages are first touched
// here, and a page fault costs more than the store. Stores into a buffer
// sized before the region: nothing in it can throw.
void FillParallel(LwLDoubleMatrix& m, LDouble value)
{
    LDouble* const p = m.Buffer();
    const std::ptrdiff_t columns = m.ColSize;
    const int rows = m.RowSize;
    if (columns * rows < kMinParallelPixels) {
        std::fill(p, p + columns * rows, value);
        return;
    }
    const int threads = omp_get_max_threads();
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int j = 0; j < rows; ++j)
        std::fill(p + j * columns, p + (j + 1) * columns, value);
}

LwSphericalMapGrid BuildGrid(int N, int columns, int rows, const LwSphericalMappingConvert& convert)
{
    LwSphericalMapGrid grid;
    grid.Create(N, columns, rows, false);
    grid.FillDirections(convert, columns, rows);
    grid.Name = convert.GetName();
    return grid;
}

}  // namespace

LwSphericalMapGrid::LwSphericalMapGrid(LwSphericalMapGrid&& other) noexcept
{
    *this = std::move(other);
}

LwSphericalMapGrid& LwSphericalMapGrid::operator=(LwSphericalMapGrid&& other) noexcept
{
    if (this == &other)
        return *this;
    Name = std::move(other.Name);
    Planes = std::move(other.Planes);
    X = other.X.Release(true);
    Y = other.Y.Release(true);
    Z = other.Z.Release(true);
    W = other.W.Release(true);
    return *this;
}

void LwSphericalMapGrid::Create(int N, int columns, int rows)
{
    Create(N, columns, rows, true);
}

void LwSphericalMapGrid::Create(int N, int columns, int rows, bool initDirections)
{
    if (N < 0)
        throw LwError("LwSphericalMapGrid::Create(): number of planes <0");
    if (columns < 0 || rows < 0)
        throw LwError("LwSphericalMapGrid::Create(): image size <0");
    // Size everything in fresh matrices first, so that a failed allocation
    // leaves the grid as it was.
    std::vector<LwLDoubleMatrix> planes(static_cast<std::size_t>(N));
    for (auto& p : planes) {
        p.Create(columns, rows);
        FillParallel(p, 0);
    }
    LwLDoubleMatrix x(columns, rows), y(columns, rows), z(columns, rows), w(columns, rows);
    if (initDirections) {
        FillParallel(x, 0);
        FillParallel(y, 0);
        FillParallel(z, 0);
        FillParallel(w, 1);
    }
    Planes.swap(planes);
    X = x.Release(true);
    Y = y.Release(true);
    Z = z.Release(true);
    W = w.Release(true);
}

void LwSphericalMapGrid::FillDirections(const LwSphericalMappingConvert& convert, int columns, int rows)
{
    X.CheckSameSize(W);
    Y.CheckSameSize(W);
    Z.CheckSameSize(W);
    if (W.ColSize != columns || W.RowSize != rows)
        throw LwError("LwSphericalMapGrid::FillDirections(): the grid is not columns x rows");
    if (W.ColBegin != 0 || W.RowBegin != 0)
        throw LwError("LwSphericalMapGrid::FillDirections(): the grid does not begin at pixel (0, 0)");

    // Each pixel depends on its own (i, j) alone, and the converts keep no
    // state: the rows go to the threads in contiguous blocks, each thread
    // writing its own stretch of the buffers. Nothing here can throw: the
    // sizes and begins are checked above, so every checked access is in
    // range, and the projections' PixelToDirection only computes.
    const int threads = omp_get_max_threads();
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            double x = 0, y = 0, z = 0, w = 0;
            if (!convert.PixelToDirection(x, y, z, w, i, j, columns, rows))
                x = y = z = w = 0;
            X(i, j) = x;
            Y(i, j) = y;
            Z(i, j) = z;
            W(i, j) = w;
        }
    }
}

void AzimuthalEquidistantGridSize(double resolutionDeg, int& columns, int& rows)
{
    columns = rows = PixelCount(180.0, 1.0, resolutionDeg);
}

void EquidistantCylindricalGridSize(double resolutionDeg, int& columns, int& rows)
{
    columns = PixelCount(360.0, 0.0, resolutionDeg);
    rows = PixelCount(180.0, 1.0, resolutionDeg);
}

LwSphericalMapGrid CreateAzimuthalEquidistantGrid(int N, double resolutionDeg)
{
    int columns = 0, rows = 0;
    AzimuthalEquidistantGridSize(resolutionDeg, columns, rows);
    return BuildGrid(N, columns, rows, LwConvertAzimuthalEquidistantMap());
}

LwSphericalMapGrid CreateEquidistantCylindricalGrid(int N, double resolutionDeg)
{
    int columns = 0, rows = 0;
    EquidistantCylindricalGridSize(resolutionDeg, columns, rows);
    return BuildGrid(N, columns, rows, LwConvertEquidistantCylindricalMap());
}

LwSphericalMapGrid CreateGnomonicGrid(int N, double viewAngleDeg, int size)
{
    return BuildGrid(N, size, size, LwConvertGnomonicMap(viewAngleDeg));
}

LwSphericalMapGrid CreateStereographicGrid(int N, double viewAngleDeg, int size)
{
    return BuildGrid(N, size, size, LwConvertStereographicMap(viewAngleDeg));
}

LwSphericalMapGrid CreateOrthographicGrid(int N, int size)
{
    return BuildGrid(N, size, size, LwConvertOrthographicMap());
}

LwSphericalMapGrid CreateOneDimensionalGrid(int N, double resolutionDeg)
{
    const int n = PixelCount(180.0, 1.0, resolutionDeg);
    LwSphericalMapGrid grid;
    grid.Create(N, n, 1);
    for (int i = 0; i < n; ++i) {
        const double t = i * resolutionDeg * LwConst::Pi / 180.0;
        grid.X(i, 0) = std::sin(t);
        grid.Z(i, 0) = std::cos(t);
    }
    return grid;
}
