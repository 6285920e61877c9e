#include "core/LwFloatMatrix3D.h"

#include "core/LwError.h"
#include "core/LwMatrix.h"

#include <algorithm>
#include <new>

LwFloatMatrix3D::LwFloatMatrix3D(const LwFloatMatrix3D& s)
    : RowBegin(s.RowBegin), ColBegin(s.ColBegin), DepthBegin(s.DepthBegin)
{
    GetMemory(s.ColSize, s.RowSize, s.DepthSize);
    std::copy(s.buffer_, s.buffer_ + s.ElementCount(), buffer_);
}

LwFloatMatrix3D& LwFloatMatrix3D::operator=(const LwFloatMatrix3D& s)
{
    if (this == &s)
        return *this;
    RowBegin = s.RowBegin;
    ColBegin = s.ColBegin;
    DepthBegin = s.DepthBegin;
    GetMemory(s.ColSize, s.RowSize, s.DepthSize);
    std::copy(s.buffer_, s.buffer_ + s.ElementCount(), buffer_);
    return *this;
}

LwFloatMatrix3D::~LwFloatMatrix3D()
{
    delete[] buffer_;
}

void LwFloatMatrix3D::Create(int colSize, int rowSize, int depthSize)
{
    ColBegin = 0;
    RowBegin = 0;
    DepthBegin = 0;
    GetMemory(colSize, rowSize, depthSize);
}

void LwFloatMatrix3D::GetMemory(int colSize, int rowSize, int depthSize)
{
    DeleteMemory();
    if (colSize < 0 || rowSize < 0 || depthSize < 0)
        throw LwError("Cannot Get Memory");
    std::int64_t count = 0;
    if (colSize != 0 && rowSize != 0 && depthSize != 0) {
        count = LwMatrixDetail::CheckedCount(colSize, rowSize);
        if (count >= 0)
            count = LwMatrixDetail::CheckedCount(count, depthSize);
        if (count < 0)
            throw LwError("Cannot Get Memory");
        buffer_ = new (std::nothrow) float[static_cast<std::size_t>(count)];
        if (buffer_ == nullptr)
            throw LwError("Cannot Get Memory");
    }
    ColSize = colSize;
    RowSize = rowSize;
    DepthSize = depthSize;
}

void LwFloatMatrix3D::DeleteMemory()
{
    delete[] buffer_;
    buffer_ = nullptr;
    ColSize = 0;
    RowSize = 0;
    DepthSize = 0;
}

void LwFloatMatrix3D::Fill(float value)
{
    std::fill(buffer_, buffer_ + ElementCount(), value);
}

int LwFloatMatrix3D::ElementCount() const
{
    return static_cast<int>(static_cast<std::int64_t>(ColSize) * RowSize * DepthSize);
}
