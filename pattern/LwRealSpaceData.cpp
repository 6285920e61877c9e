#include "pattern/LwRealSpaceData.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "core/TextUtilities.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <algorithm>

namespace {

// Points along one axis: floor(q + 1.5) with q = (max - min) / dx formed in
// float, as the grid has always been counted. Checked in double before any
// conversion, so an infinite or enormous quotient cannot wrap.
LwLong AxisCount(float lower, float upper, float step, const char* axis)
{
    const float qf = (upper - lower) / step;
    const double count = std::floor(static_cast<double>(qf) + 1.5);
    if (!std::isfinite(count) || count < 1.0 ||
        count > static_cast<double>(std::numeric_limits<LwLong>::max()))
        throw LwError(std::string("Real-space grid: the bounds and step along ") + axis + " give " +
                      DoubleToString(count) + " points (at least 1 and below 2^31 needed)");
    return static_cast<LwLong>(count);
}

LwFloatMatrix FilledRow(LwLong n, float value)
{
    LwFloatMatrix m;
    m.CreateRow(n);
    std::fill(m.Buffer(), m.Buffer() + m.ElementCount(), value);
    return m.Release(true);
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
    const LwLong nx = AxisCount(g.XMin_, g.XMax_, g.Dx_, "x");
    const LwLong ny = AxisCount(g.YMin_, g.YMax_, g.Dx_, "y");
    const LwLong nz = AxisCount(g.ZMin_, g.ZMax_, g.Dx_, "z");
    const std::int64_t total = static_cast<std::int64_t>(nx) * ny * nz;
    if (total > std::numeric_limits<LwLong>::max())
        throw LwError("Real-space grid: " + LongToString(nx) + " x " + LongToString(ny) + " x " +
                      LongToString(nz) + " points do not fit a 32-bit count");
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
    if (reading)
        CreateFromGrid();

    doc.OpenRack("list_real_space");
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
