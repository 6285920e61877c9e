#pragma once
// The Barn element of a complex matrix: a rack of the caller's name holding
// "complex_matrix", which holds the real parts as the LDouble matrix element
// "real" and the imaginary parts as "imag" (same sizes and begins), each in
// the caller's write format. Read mode: false when the named rack is absent
// (matrix unchanged); a named rack without "complex_matrix" gives true with
// the matrix unchanged; parts of different sizes or begins throw
// "Matrix size is not same" with the matrix unchanged.

#include "core/LwMatrix.h"

#include <string>

class LwBarnXml;

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwLComplexMatrix& m, const std::string& format);
