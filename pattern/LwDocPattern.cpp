#include "pattern/LwDocPattern.h"

#include "core/LwError.h"

void LwDocPattern::SetRecordSelection(int count, bool selected)
{
    if (count < 0)
        throw LwError("LwDocPattern::SetRecordSelection(): count <0");
    SelectBits_.assign(static_cast<std::size_t>((count + 31) / 32), selected ? ~LwULong(0) : 0);
    SelectBitCount_ = count;
}

bool LwDocPattern::IsRecordSelected(int i) const
{
    if (i < 0 || i >= SelectBitCount_ || static_cast<std::size_t>(i / 32) >= SelectBits_.size())
        return false;
    return (SelectBits_[i / 32] >> (i % 32)) & 1u;
}

void LwDocPattern::SelectRecord(int i, bool selected)
{
    if (i < 0 || i >= SelectBitCount_ || static_cast<std::size_t>(i / 32) >= SelectBits_.size())
        throw LwError("LwDocPattern::SelectRecord(): ERROR INDEX");
    const LwULong bit = LwULong(1) << (i % 32);
    if (selected)
        SelectBits_[i / 32] |= bit;
    else
        SelectBits_[i / 32] &= ~bit;
}

void LwDocPattern_AzimuthalEquidistant::InitSphericalMap()
{
    Grid = CreateAzimuthalEquidistantGrid(N, Resolution_deg_);
}

void LwDocPattern_EquidistantCylindrical::InitSphericalMap()
{
    Grid = CreateEquidistantCylindricalGrid(N, Resolution_deg_);
}

void LwDocPattern_Diana::InitSphericalMap()
{
    Grid = CreateGnomonicGrid(N, ViewAngle_deg_, ImageSize_);
}

void LwDocPattern_StereoProjection::InitSphericalMap()
{
    Grid = CreateStereographicGrid(N, ViewAngle_deg_, ImageSize_);
}

void LwDocPattern_Orthographic::InitSphericalMap()
{
    Grid = CreateOrthographicGrid(N, ImageSize_);
}

void LwDocPattern_OneDimensional::InitSphericalMap()
{
    Grid = CreateOneDimensionalGrid(N, Resolution_deg_);
}
