#pragma once
// The Debye temperatures that velmora lists per element, read from
// "DebyeTemperature_K.txt", and their text for the main form.

#include <map>
#include <string>

// Atomic number -> Debye temperature in K; an element may be listed more
// than once (equal keys keep file order).
using DebyeTemperatureMap = std::multimap<int, double>;

// Adds the temperatures of the text. Lines end at LF, CR or CR LF; a line
// beginning with "#" is a comment and a line of white space alone is passed
// over; any other line holds the fields Z, element symbol and temperature in
// K (further fields are not read), fields being runs of characters other than
// blanks, tabs and commas. Failures (LwError), the lines before staying added:
//   "Atomic number and Element is not correct" when the symbol is not exactly
//     (case-sensitive) the element table's symbol of Z;
//   "Illegal atomic number in Debye temperature file: " Z for Z outside 0..103;
//   "Debye temperature file: too few fields in line " n (n counted from 1).
// One debug trace line per entry: Z, the file's symbol, the temperature and
// the table's symbol.
void LoadDebyeTemperature(DebyeTemperatureMap& table, const std::string& text);

// The temperatures listed for Z in table order, each written with six
// significant digits, joined by ","; "not listed" when there is none
// (e.g. "428", "428,470").
std::string DebyeTemperatureText(const DebyeTemperatureMap& table, int atomicNumber);
