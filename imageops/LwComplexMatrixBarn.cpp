#include "imageops/LwComplexMatrixBarn.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwLComplexMatrix& m, const std::string& format)
{
    if (!doc.OpenRack(name))
        return false;
    if (!doc.OpenRack("complex_matrix")) {
        doc.CloseRack(name);
        return true;
    }
    if (doc.IsWriteMode()) {
        LwLDoubleMatrix re(m.ColSize, m.RowSize);
        LwLDoubleMatrix im(m.ColSize, m.RowSize);
        re.ColBegin = im.ColBegin = m.ColBegin;
        re.RowBegin = im.RowBegin = m.RowBegin;
        const int n = m.ElementCount();
        for (int k = 0; k < n; ++k) {
            re.Buffer()[k] = m.Buffer()[k].real();
            im.Buffer()[k] = m.Buffer()[k].imag();
        }
        SerializeMatrix(doc, "real", re, format);
        SerializeMatrix(doc, "imag", im, format);
    } else {
        LwLDoubleMatrix re;
        LwLDoubleMatrix im;
        SerializeMatrix(doc, "real", re, format);
        SerializeMatrix(doc, "imag", im, format);
        if (re.ColSize != im.ColSize || re.RowSize != im.RowSize || re.ColBegin != im.ColBegin ||
            re.RowBegin != im.RowBegin)
            throw LwError("Matrix size is not same");
        LwLComplexMatrix c(re.ColSize, re.RowSize);
        c.ColBegin = re.ColBegin;
        c.RowBegin = re.RowBegin;
        const int n = c.ElementCount();
        for (int k = 0; k < n; ++k)
            c.Buffer()[k] = LComplex(re.Buffer()[k], im.Buffer()[k]);
        m = c.Release(true);
    }
    doc.CloseRack("complex_matrix");
    doc.CloseRack(name);
    return true;
}
