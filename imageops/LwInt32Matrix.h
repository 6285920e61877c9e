#pragma once
// The 32-bit signed integer member of the matrix family (object identifiers
// received from the image viewer, integer images) and its Barn element.
//
// It has the fields, index rule, range message and FastReturn hand-over of
// the family (LwMatrix.h); resizing is the one operation SetSize.

#include "core/LwMatrix.h"

#include <cstdint>
#include <string>

class LwBarnXml;

class LwInt32Matrix : public LwMatrix2D<std::int32_t, LwInt32Matrix>
{
public:
    using LwMatrix2D::LwMatrix2D;

    // cols x rows with both begins 0; the element values are not set.
    // Both sizes negative: "matrix creation Parameter Error", nothing changes.
    // One size negative: "Matrix Parameter Error" with the begins already 0,
    // sizes and buffer unchanged. A held buffer of the same element count is
    // kept with its values; otherwise it is released and a new one allocated
    // (none for 0 elements). A failed allocation leaves the matrix 0 x 0 and
    // throws "Cannot Get Memory".
    void SetSize(int cols, int rows) { Create(cols, rows); }
};

// Reads (document mode "r") or writes (mode "w") `m` as the element `name` at
// the document's current rack, in the forms of the family (LwMatrixBarn.h):
//   "t"   text form "lw_matrix", whole numbers printed "%Lg";
//   "b"   binary rack "LwLongMatrixBinary", raw 4-byte elements as "base64";
//   "bb"  the same with "base64b" data.
// The binary rack is the one of LwLongMatrix, so either class reads what the
// other wrote. Reading takes "lw_matrix", "LDoubleMatrix" or
// "LwLongMatrixBinary", the first present; text numbers are truncated toward
// zero. The result is false, with `m` unchanged, when the element or every
// form in it is absent or a form does not read completely. Another write
// format throws "Write format error" before anything is written.
bool Int32MatrixElement(LwBarnXml& doc, const std::string& name, LwInt32Matrix& m, const std::string& format);
