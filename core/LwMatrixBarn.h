#pragma once
// Matrices as Barn elements. An element of the caller's name holds one rack
// with the matrix in one of these forms:
//
//   "lw_matrix"        text form: "ColSize", "ColBegin", "RowSize", "RowBegin"
//                      and "elements", a line feed then one line per row
//                      (RowBegin upwards), every element printed "%Le" and
//                      followed by a comma: seven significant digits. The
//                      integer matrices print "%.10Lg" (every 32-bit value
//                      exactly, 7 as "7") and read each number truncated
//                      toward zero, held to the 32-bit range, NaN as 0.
//   "LDoubleMatrix"    older text form (read only): the four sizes and a rack
//                      "elements" holding one rack "r" per row of
//                      comma-separated numbers.
//   binary form        the four sizes and one data element holding the
//                      elements in storage order, little-endian, as text of
//                      LwBinaryDataToText: "base64" (header form), "base64b"
//                      (RFC 4648) or, read only, "binary" (custom alphabet).
//                      Rack and bytes per element by class:
//                        LwFloatMatrix   "LwFloatMatrixBinary"   4 (float)
//                        LwDoubleMatrix  "LwDoubleMatrixBinary"  8 (double);
//                                        "TDoubleMatrixBinary" also read
//                        LwLDoubleMatrix "LDoubleMatrixBinary"   8 (double,
//                                        whatever the width of LDouble: wider
//                                        values are narrowed on writing);
//                                        read also as the 80-bit extended
//                                        type stored in 10, 12 or 16 bytes,
//                                        by the width the byte count gives
//                                        exactly (any other count: LwError)
//                        LwLongMatrix    "LwLongMatrixBinary"    4 (int32)
//   "LwFloatMatrix3DBinary"  voxel sets: the four sizes, "DepthSize",
//                      "DepthBegin" and "base64" or "base64b" floats.
//
// Formats (write mode): "t" text form, "b" binary form with "base64" data,
// "bb" binary form with "base64b" data. Read mode recognises every form,
// whatever the format, in the order "lw_matrix", "LDoubleMatrix", the class's
// binary rack, "TDoubleMatrixBinary"; the first present wins.
//
// Results: false when the element or every known form in it is absent (read
// mode; the matrix is unchanged). Errors (LwError):
//   "Write format error"      2-D format other than "t", "b", "bb" (write
//                             mode; checked before anything is written);
//   "Undefined write format"  3-D format other than "b", "bb" (either mode);
//   "Too manay data", "Data is short"  a text form holding more or fewer
//                             numbers than its sizes claim; the numbers are
//                             counted before anything is allocated and the
//                             matrix is left unchanged;
//   "Illigal Data", "Size Error"  malformed binary data (LwBinaryDataToText),
//                             matrix unchanged;
//   "matrix creation Parameter Error", "Matrix Parameter Error"  negative
//                             sizes (both, one) or 2^31 elements or more in a
//                             document, "Cannot Get Memory" for a voxel set;
//                             the matrix is unchanged.
// A binary form whose data hold too few elements reads as a 1 x 1 (1 x 1 x 1)
// zero matrix with begins 0 and gives false; surplus data are ignored
// (but for "LDoubleMatrixBinary", above).

#include "core/LwFloatMatrix3D.h"
#include "core/LwMatrix.h"

#include <cstdint>
#include <string>

class LwBarnXml;
class LwBarnXmlRack;

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwDoubleMatrix& m, const std::string& format);
bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwFloatMatrix& m, const std::string& format);
bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwLDoubleMatrix& m, const std::string& format);
bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwLongMatrix& m, const std::string& format);
bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwFloatMatrix3D& m, const std::string& format);

// Read mode, nothing read or consumed: the "ColSize" and "RowSize" that the
// element `name` below `parent` declares for a matrix of class M (LwFloatMatrix,
// LwDoubleMatrix, LwLDoubleMatrix, LwLongMatrix), taken from the form that
// SerializeMatrix would read; a missing size gives 0, as on reading. False
// when the element or every known form in it is absent. For checks that
// compare what a document declares with what it holds before anything is
// allocated for it.
template <class M>
bool DeclaredMatrixSizes(const LwBarnXml& doc, LwBarnXmlRack& parent, const std::string& name,
                         LwLong& colSize, LwLong& rowSize);
// Read mode, nothing read or consumed: at most how many values the data of
// that form hold, from the length of their text (the commas of the text
// form's "elements"; four characters per three bytes of a binary form's
// data); 0 when the element, the form or its data are absent. For refusing
// a declaration that the data cannot fill before anything is allocated.
template <class M>
std::int64_t HeldMatrixValuesBound(const LwBarnXml& doc, LwBarnXmlRack& parent, const std::string& name);

// The inside of a binary rack (at the current rack). Write mode: the data go
// under "base64b" with `standardBase64`, else "base64" with
// `useStandardAlphabet`, else "binary". Read mode takes "binary", else
// "base64", else "base64b"; false when none is present. Sizes of 0 read as a
// 0 x 0 matrix (true) without looking at the data.
bool SerializeMatrixBinary(LwBarnXml& doc, LwDoubleMatrix& m, bool useStandardAlphabet, bool standardBase64);
bool SerializeMatrixBinary(LwBarnXml& doc, LwFloatMatrix& m, bool useStandardAlphabet, bool standardBase64);
bool SerializeMatrixBinary(LwBarnXml& doc, LwLDoubleMatrix& m, bool useStandardAlphabet, bool standardBase64);
bool SerializeMatrixBinary(LwBarnXml& doc, LwLongMatrix& m, bool useStandardAlphabet, bool standardBase64);

// The inside of "LwFloatMatrix3DBinary" (format "b" or "bb"). Read mode takes
// "base64", else "base64b"; false when neither is present.
bool SerializeMatrix3DBinary(LwBarnXml& doc, LwFloatMatrix3D& m, const std::string& format);
// "LwFloatMatrix3DBinary".
std::string Matrix3DBinaryTag();

// The inside of "lw_matrix": the four sizes and "elements", every element
// printed with `numberFormat`, a printf conversion of a long double ("%Le",
// "%Lg"; flags, width and precision allowed, other text around it kept), in
// the C locale whatever the process locale. Another format throws
// "Write format error". Returns true.
bool WriteMatrixText(LwBarnXml& doc, const LwLDoubleMatrix& m, const std::string& numberFormat);
// Reads the inside of "lw_matrix" into `m` (sizes, begins, elements). The
// numbers of "elements" are comma-terminated, read as "%Lg" does (leading
// blanks allowed, a text that is no number gives 0); bytes below 0x20 and from
// 0x80 up are skipped between numbers, so line breaks are optional; text after
// the last comma is ignored. Exactly ColSize x RowSize numbers are required.
// Returns true.
bool ReadMatrixText(LwBarnXml& doc, LwLDoubleMatrix& m);
// Reads the inside of "LDoubleMatrix": one rack "r" per row under "elements",
// items separated by commas (the last one may lack its comma), each read as
// "%Lg". Rows beyond RowSize and items beyond ColSize are ignored; fewer rows
// or items throw "Data is short" (matrix unchanged). False, with the matrix
// unchanged, when "elements" is missing.
bool ReadMatrixTextLegacy(LwBarnXml& doc, LwLDoubleMatrix& m);
