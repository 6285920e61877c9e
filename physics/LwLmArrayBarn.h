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

// Writing: any format other than "t" or "b" throws "Write Format Error"
// (after "Size_l"). Reading: false when the rack is absent (array unchanged),
// and false with L = 1 and a zero coefficient when the binary block does not
// hold 16 L^2 bytes; an absent "base64" leaves L zeroed coefficients.
bool LoadSaveLmComplexArray(LwBarnXml& doc, const std::string& rackName, LwLmComplexArray& array,
                            const std::string& format);

// The "base64" text of the array's binary form, as LoadSaveLmComplexArray
// writes it with format "b". It depends on the array alone, so the texts of
// many arrays can be made at the same time on different threads.
std::string LmComplexArrayBinaryText(const LwLmComplexArray& array);

// Writing only: what LoadSaveLmComplexArray(doc, rackName, array, "b") writes
// for an array of L with the binary text `text` (LmComplexArrayBinaryText).
// The text moves into the document.
void SaveLmComplexArrayBinaryText(LwBarnXml& doc, const std::string& rackName, LwLong L, std::string text);
