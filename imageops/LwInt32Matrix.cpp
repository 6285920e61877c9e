#include "imageops/LwInt32Matrix.h"

#include "core/LwBarnXml.h"
#include "core/LwMatrixBarn.h"

#include <algorithm>

// The element is the one of LwLongMatrix (same element type, same racks), so
// both go through one reader and writer; the elements travel through a
// temporary LwLongMatrix.
bool Int32MatrixElement(LwBarnXml& doc, const std::string& name, LwInt32Matrix& m, const std::string& format)
{
    LwLongMatrix temporary;
    if (doc.IsWriteMode()) {
        temporary.Create(m.ColSize, m.RowSize);
        temporary.ColBegin = m.ColBegin;
        temporary.RowBegin = m.RowBegin;
        std::copy(m.Buffer(), m.Buffer() + m.ElementCount(), temporary.Buffer());
        return SerializeMatrix(doc, name, temporary, format);
    }
    if (!SerializeMatrix(doc, name, temporary, format))
        return false;
    m.SetSize(temporary.ColSize, temporary.RowSize);
    m.ColBegin = temporary.ColBegin;
    m.RowBegin = temporary.RowBegin;
    std::copy(temporary.Buffer(), temporary.Buffer() + temporary.ElementCount(), m.Buffer());
    return true;
}
