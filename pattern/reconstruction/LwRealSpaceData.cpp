#include "pattern/reconstruction/LwRealSpaceData.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "core/LwUsableMemory.h"
#include "core/TextUtilities.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

LwFloatMatrix FilledRow(LwLong n, float value)
{
    LwFloatMatrix m;
    m.CreateRow(n);
    std::fill(m.Buffer(), m.Buffer() + m.ElementCount(), value);
    return m.Release(true);
}

const char kMissingList[] = "Real-space data: \"real_space_all_3\" has no rack \"list_real_space\"";

// Reading, before the grid is built from the grid record: the record is
// compared with the data the document holds, so that a document of a few
// hundred bytes cannot have gigabytes of grid built and filled before it is
// found wanting. The list of densities must be there, and every density that
// will be read ("Cal_" of the first NElement "el" racks) must declare one
// value per grid point, and its data text must be long enough to hold them.
// Nothing is read or consumed.
void CheckDataAgainstGrid(LwBarnXml& doc, const LwRealSpaceGrid& grid)
{
    LwBarnXmlRack* list = doc.CurrentRack()->FindChild("list_real_space");
    if (list == nullptr)
        throw LwError(kMissingList);
    const LwBarnXmlRack* countRack = list->FindChild("NElement");
    const LwLong count =
        countRack != nullptr ? static_cast<LwLong>(StringToInt(doc.ValueTextOf(*countRack))) : 1;
    LwLong element = 0;
    for (const auto& el : list->Children()) {
        if (element >= count)
            break;
        if (el->GetName() != "el")
            continue;
        ++element;
        LwLong colSize = 0, rowSize = 0;
        if (!DeclaredMatrixSizes<LwFloatMatrix>(doc, *el, "Cal_", colSize, rowSize))
            continue;
        LwLong nx = 0, ny = 0, nz = 0;
        grid.AxisCounts(nx, ny, nz);
        const double points = static_cast<double>(nx) * ny * nz;
        if (static_cast<double>(colSize) * rowSize != points)
            throw LwError("Real-space data not consistent: the grid record gives " + LongToString(nx) +
                          " x " + LongToString(ny) + " x " + LongToString(nz) +
                          " points but the density \"Cal_\" of element " + LongToString(element) +
                          " declares " + LongToString(colSize) + " x " + LongToString(rowSize));
        const std::int64_t held = HeldMatrixValuesBound<LwFloatMatrix>(doc, *el, "Cal_");
        if (static_cast<double>(held) < points)
            throw LwError("Real-space data not consistent: the density \"Cal_\" of element " +
                          LongToString(element) + " declares " + LongToString(colSize) + " x " +
                          LongToString(rowSize) + " values but its data hold at most " +
                          std::to_string(held));
    }
}

}  // namespace

LwRealSpaceData::LwRealSpaceData()
{
    ResetRotations();
}

void LwRealSpaceData::ResetRotations()
{
    LwLDoubleMatrix unit(3, 3);
    unit.SetUnit();
    Rotations_.assign(1, unit);
}

void LwRealSpaceData::Resize(LwLong elementCount, LwLong pointCount)
{
    if (elementCount < 0 || pointCount < 0)
        throw LwError("Real-space data: negative size (elements " + LongToString(elementCount) + ", points " +
                      LongToString(pointCount) + ")");
    // Everything is built aside first, so a failed allocation leaves the data
    // as they were.
    LwFloatMatrix ux = FilledRow(pointCount, 0.0f);
    LwFloatMatrix uy = FilledRow(pointCount, 0.0f);
    LwFloatMatrix uz = FilledRow(pointCount, 0.0f);
    LwFloatMatrix r = FilledRow(pointCount, 0.0f);
    std::vector<LwFloatMatrix> density(static_cast<std::size_t>(elementCount));
    std::vector<LwFloatMatrix> gradient(static_cast<std::size_t>(elementCount));
    for (LwLong e = 0; e < elementCount; ++e) {
        density[e] = FilledRow(pointCount, 1.0f);
        gradient[e] = FilledRow(pointCount, 1.0f);
    }
    // The flagged results hand their buffers over.
    Ux_ = ux;
    Uy_ = uy;
    Uz_ = uz;
    R_ = r;
    Density_.swap(density);
    Gradient_.swap(gradient);
    ElementRatio_.assign(static_cast<std::size_t>(elementCount), 1.0f);
    NPoint_ = pointCount;
    NElement_ = elementCount;
}

void LwRealSpaceData::AllocateGrid(LwLong elementCount, bool useCutoff, float cutoff)
{
    const LwRealSpaceGrid& g = Grid_;
    LwLong nx = 0, ny = 0, nz = 0;
    g.AxisCounts(nx, ny, nz);
    // Each count is below 2^31, so the product in double is within a few
    // parts in 2^53 of the true one and never wraps, unlike a 64-bit product
    // of three 31-bit counts.
    const double product = static_cast<double>(nx) * ny * nz;
    if (product > static_cast<double>(std::numeric_limits<LwLong>::max()))
        throw LwError("Real-space grid: " + LongToString(nx) + " x " + LongToString(ny) + " x " +
                      LongToString(nz) + " points do not fit a 32-bit count");
    const std::int64_t total = static_cast<std::int64_t>(nx) * ny * nz;
    // Direction vectors and radius, then a density and a gradient per
    // element, all floats; refused before the first allocation when the
    // machine cannot hold them.
    const std::uint64_t bytes = static_cast<std::uint64_t>(total) * sizeof(float) *
                                (4 + 2 * static_cast<std::uint64_t>(std::max<LwLong>(elementCount, 0)));
    const std::uint64_t usable = UsableMemoryBytes();
    if (bytes > usable)
        throw LwError("Real-space grid: " + LongToString(nx) + " x " + LongToString(ny) + " x " +
                      LongToString(nz) + " points with " + LongToString(elementCount) +
                      " elements need about " + GigabytesText(bytes) + " of memory; " +
                      GigabytesText(usable) + " can be used here");
    Resize(elementCount, static_cast<LwLong>(total));
    for (LwFloatMatrix& gradient : Gradient_)
        gradient.SetZero();

    float* ux = Ux_.Buffer();
    float* uy = Uy_.Buffer();
    float* uz = Uz_.Buffer();
    float* rr = R_.Buffer();
    std::int64_t p = 0;
    for (LwLong iz = 0; iz < nz; ++iz) {
        const float z = static_cast<float>(iz) * g.Dx_ + g.ZMin_;
        for (LwLong iy = 0; iy < ny; ++iy) {
            const float y = static_cast<float>(iy) * g.Dx_ + g.YMin_;
            for (LwLong ix = 0; ix < nx; ++ix, ++p) {
                const float x = static_cast<float>(ix) * g.Dx_ + g.XMin_;
                const double r = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y +
                                           static_cast<double>(z) * z);
                rr[p] = static_cast<float>(r);
                // The origin has no direction; 0 keeps it out of every sum.
                ux[p] = r != 0.0 ? static_cast<float>(x / r) : 0.0f;
                uy[p] = r != 0.0 ? static_cast<float>(y / r) : 0.0f;
                uz[p] = r != 0.0 ? static_cast<float>(z / r) : 0.0f;
                const float initial = (r != 0.0 && (!useCutoff || cutoff > r)) ? 1e-10f : 0.0f;
                for (LwFloatMatrix& density : Density_)
                    density.Buffer()[p] = initial;
            }
        }
    }
}

void LwRealSpaceData::CreateFromGrid()
{
    if (Grid_.NElement_ < 1 || Grid_.NElement_ > kMaxElements)
        throw LwError("SPattern is not setted");
    AllocateGrid(Grid_.NElement_, Grid_.IsCutoff_, Grid_.CutoffRadius_);
}

void LwRealSpaceData::CheckConsistency() const
{
    const auto n = static_cast<std::size_t>(NElement_);
    if (NElement_ < 0 || ElementRatio_.size() != n || Density_.size() != n || Gradient_.size() != n)
        throw LwError("Error");
    if (NPoint_ != Ux_.VectorSize() || NPoint_ != Uy_.VectorSize() || NPoint_ != Uz_.VectorSize() ||
        NPoint_ != R_.VectorSize())
        throw LwError("Error: not consistent");
    for (std::size_t e = 0; e < n; ++e)
        if (Density_[e].VectorSize() != NPoint_ || Gradient_[e].VectorSize() != NPoint_)
            throw LwError("Error: not consistent");
}

bool LwRealSpaceData::LoadSave(LwBarnXml& doc)
{
    const bool reading = !doc.IsWriteMode();
    // Data that break their invariants are refused before anything is written.
    if (!reading)
        CheckConsistency();
    if (!doc.OpenRack("real_space_all_3"))
        return false;
    doc.ValueFloat("TotalPower", TotalPower_, 1.0f);
    Grid_.LoadSave(doc, "RealSpaceFactory");
    if (reading) {
        CheckDataAgainstGrid(doc, Grid_);
        CreateFromGrid();
    }

    // Without the list the first "el" would fail at the close of a rack of
    // another name; the missing rack is named instead.
    if (!doc.OpenRack("list_real_space"))
        throw LwError(kMissingList);
    LwLong count = NElement_;
    doc.ValueLong("NElement", count, 1);
    if (reading) {
        // Checked before the lists grow: a count that can never match the
        // grid (which holds 1 to 9 elements) is refused in words.
        if (count < 0 || count > kMaxElements)
            throw LwError("Real-space data: element count " + LongToString(count) +
                          " in \"list_real_space\" is outside 0 to 9");
        NElement_ = count;
        Density_.resize(static_cast<std::size_t>(count));
        ElementRatio_.resize(static_cast<std::size_t>(count));
    }
    for (std::size_t i = 0; i < Density_.size(); ++i) {
        // A missing "el" fails at the rack-name check of its close.
        if (!doc.OpenRack("el"))
            doc.CloseRack("el");
        SerializeMatrix(doc, "Cal_", Density_[i], "b");
        doc.ValueFloat("ElementRatio", ElementRatio_[i], 1.0f);
        doc.CloseRack("el");
    }
    if (reading) {
        for (std::size_t i = 0; i < Density_.size() && i < Gradient_.size(); ++i) {
            Gradient_[i].CreateLike(Density_[i]);
            Gradient_[i].SetZero();
        }
    }
    doc.CloseRack("list_real_space");
    doc.CloseRack("real_space_all_3");
    CheckConsistency();
    return true;
}
