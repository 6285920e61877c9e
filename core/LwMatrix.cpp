#include "core/LwMatrix.h"

#include "core/LwError.h"

#include <string>

namespace LwMatrixDetail {

void ThrowOverRange(int col, int row, int colSize, int rowSize, int colBegin, int rowBegin, bool fastReturn)
{
    std::string text = "Matrix over range. access=(";
    text += std::to_string(col) + "," + std::to_string(row) + ") size=(";
    text += std::to_string(colSize) + "," + std::to_string(rowSize) + ") begin=(";
    text += std::to_string(colBegin) + "," + std::to_string(rowBegin) + ")";
    text += "FastReturn=";
    text += fastReturn ? "true" : "false";
    throw LwError(text);
}

void ThrowError(const char* text)
{
    throw LwError(text);
}

}  // namespace LwMatrixDetail
