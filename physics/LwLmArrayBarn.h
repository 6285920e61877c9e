#pragma once
// The Barn form of a complex (l,m) coefficient array, inside a rack of the
// caller's name:
//   "Size_l"   L (32-bit)
//   text form ("t"):   a rack "Value" holding, for l = 0 .. L-1, a rack "l"
//                      holding, for m = -l .. l, a rack "m" with the long-double
//                      elements "r" and "i" (order gives l and m; six
//                      significant digits);
//   binary form ("b"): a text element "base64" with the 16 L^2 bytes of the
//                      elements in position order, each the IEEE 754
//                      little-endian double of the real part, then of the
//                      imaginary part, in LwBinaryDataToText's "base64" form.
// The document's mode decides the direction: exactly "w" writes, anything
// else reads. Reading takes whichever form the document holds.

#include "core/LwBarnXml.h"
#include "physics/LwLmArray.h"

#include <string>

// The largest "Size_l" a reader accepts. A wave needs about k r_mt + a few
// l values (k the wave number, r_mt the muffin-tin radius): some 50 at a few
// keV, a few hundred at 100 keV; 1000 leaves room for any real wave while an
// array of that size (16 MB) is still harmless to allocate.
constexpr LwLong kMaxStoredSize_l = 1000;

// Writing: any format other than "t" or "b" throws "Write Format Error"
// (after "Size_l"). Reading: false when the rack is absent (array unchanged),
// and false with L = 1 and a zero coefficient when the binary block does not
// hold 16 L^2 bytes; an absent "base64" leaves L zeroed coefficients.
// The declared L is checked before any coefficient is allocated: a "Size_l"
// below 0 or above kMaxStoredSize_l, and a "Value" rack with fewer "l" racks
// than "Size_l", throw LwError in words (the caller names the file); the
// binary block is decoded and its length checked before the array is sized.
bool LoadSaveLmComplexArray(LwBarnXml& doc, const std::string& rackName, LwLmComplexArray& array,
                            const std::string& format);

// Reading only (the document's mode is not consulted), as
// LoadSaveLmComplexArray, except that a rack that declares a "Size_l" of 1 or
// more and holds neither a "Value" rack nor a "base64" block throws an
// LwError in words before the array is sized: its coefficients are missing,
// not zero, and a document of many such racks would otherwise ask for 16 MB
// per rack from a few bytes.
bool LoadLmComplexArrayRequiringData(LwBarnXml& doc, const std::string& rackName, LwLmComplexArray& array);

// The "base64" text of the array's binary form, as LoadSaveLmComplexArray
// writes it with format "b". It depends on the array alone, so the texts of
// many arrays can be made at the same time on different threads.
std::string LmComplexArrayBinaryText(const LwLmComplexArray& array);

// Writing only: what LoadSaveLmComplexArray(doc, rackName, array, "b") writes
// for an array of L with the binary text `text` (LmComplexArrayBinaryText).
// The text moves into the document.
void SaveLmComplexArrayBinaryText(LwBarnXml& doc, const std::string& rackName, LwLong L, std::string text);
