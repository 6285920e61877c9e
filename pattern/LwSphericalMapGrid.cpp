#include "pattern/LwSphericalMapGrid.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "pattern/LwSphericalMappingConvert.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

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

// Below this many elements in all, the matrices of a grid are filled by the
// calling thread alone: a team costs more to wake than it saves there, and
// on a busy machine each region waits for the last of its threads to be
// given a core.
constexpr std::ptrdiff_t kMinParallelElements = std::ptrdiff_t(1) << 16;

// One matrix to fill and its value.
struct Fill
{
    LwLDoubleMatrix* m;
    LDouble value;
};

// Sets every element of each matrix to its value. A fresh buffer's pages are
// first touched here, and a page fault costs more than the store, so a grid
// of many elements is filled in one parallel region over the rows of all its
// matrices (a 1-degree image has a few tens of thousands of pixels per
// plane, but six or more planes); only a small grid stays on the calling
// thread. Stores into buffers sized before the region: nothing in it can
// throw.
void FillAll(const std::vector<Fill>& fills)
{
    std::ptrdiff_t total = 0;
    int totalRows = 0;
    for (const Fill& f : fills) {
        total += static_cast<std::ptrdiff_t>(f.m->ColSize) * f.m->RowSize;
        totalRows += f.m->RowSize;
    }
    if (total < kMinParallelElements) {
        for (const Fill& f : fills) {
            LDouble* const p = f.m->Buffer();
            std::fill(p, p + static_cast<std::ptrdiff_t>(f.m->ColSize) * f.m->RowSize, f.value);
        }
        return;
    }
    // Row r of the whole list: matrix k, row r - (rows of the matrices before k).
    std::vector<int> firstRow(fills.size() + 1, 0);
    for (std::size_t k = 0; k < fills.size(); ++k)
        firstRow[k + 1] = firstRow[k] + fills[k].m->RowSize;
    const int threads = omp_get_max_threads();
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int r = 0; r < totalRows; ++r) {
        const auto next = std::upper_bound(firstRow.begin(), firstRow.end(), r);
        const std::size_t k = static_cast<std::size_t>(next - firstRow.begin()) - 1;
        const Fill& f = fills[k];
        const std::ptrdiff_t columns = f.m->ColSize;
        LDouble* const row = f.m->Buffer() + (r - firstRow[k]) * columns;
        std::fill(row, row + columns, f.value);
    }
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
    std::vector<Fill> fills;
    for (auto& p : planes) {
        p.Create(columns, rows);
        fills.push_back({&p, 0});
    }
    LwLDoubleMatrix x(columns, rows), y(columns, rows), z(columns, rows), w(columns, rows);
    if (initDirections) {
        fills.push_back({&x, 0});
        fills.push_back({&y, 0});
        fills.push_back({&z, 0});
        fills.push_back({&w, 1});
    }
    FillAll(fills);
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
