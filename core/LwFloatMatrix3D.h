#pragma once
// A voxel set: ColSize x RowSize x DepthSize floats with begin indices in all
// three directions. The suite fills, copies and transfers the buffer whole and
// never addresses single voxels; the buffer runs the column index fastest,
// then the row, then the plane, like the two-dimensional matrices. A voxel set
// holds fewer than 2^31 elements. There is no hand-over flag: copies always
// copy the elements.

#include "core/LwTypes.h"

#include <cstdint>

class LwFloatMatrix3D
{
public:
    // Empty, begins 0, no buffer.
    LwFloatMatrix3D() = default;
    // Begins copied, then GetMemory with the source's sizes and every element copied.
    LwFloatMatrix3D(const LwFloatMatrix3D& s);
    // The same as the copy constructor, on an existing voxel set.
    LwFloatMatrix3D& operator=(const LwFloatMatrix3D& s);
    ~LwFloatMatrix3D();

    // All three begins 0, then GetMemory.
    void Create(int colSize, int rowSize, int depthSize);
    // Always releases a held buffer (no reuse), sets the sizes and allocates
    // colSize x rowSize x depthSize floats (not set) when all three are
    // non-zero. A negative size, a shape of 2^31 or more elements or a failed
    // allocation ends with all sizes 0, no buffer and "Cannot Get Memory"; the
    // begins stay.
    void GetMemory(int colSize, int rowSize, int depthSize);
    // Releases the buffer; the sizes become 0 with it, the begins stay.
    void DeleteMemory();
    // Every element := value.
    void Fill(float value);

    float* Buffer() { return buffer_; }
    const float* Buffer() const { return buffer_; }
    // ColSize x RowSize x DepthSize.
    int ElementCount() const;

    LwLong RowSize = 0;
    LwLong ColSize = 0;
    LwLong RowBegin = 0;
    LwLong ColBegin = 0;
    LwLong DepthSize = 0;  // number of planes
    LwLong DepthBegin = 0;  // index of the first plane

private:
    float* buffer_ = nullptr;
};
