#pragma once
// Stateless text utilities shared by the document readers, table loaders and
// the option parser. Texts are byte strings with no encoding assumed; numbers
// are read and written in the classic locale. None of these functions throws.

#include "core/LwTypes.h"

#include <string>
#include <vector>

// Number to text, as a default-formatted text stream writes it: integers in
// plain decimal, floating values in general notation with six significant
// digits (the "%g" rules).
std::string IntToString(int value);
std::string LongToString(LwLong value);
std::string FloatToString(float value);
std::string DoubleToString(double value);
std::string LDoubleToString(LDouble value);
// IntToString padded in front with '0' to `width` bytes; the minus sign counts
// as a character and stays behind the zeros (-5, width 4 gives "00-5").
std::string IntToStringZeroFill(int value, int width);

// Text to number: leading white space is skipped and the longest leading part
// that forms a number of the type is converted ("12abc" -> 12, "5eV" -> 5,
// "1e3" -> 1000 as a floating value and 1 as an int); the rest is ignored. A
// text without such a number gives 0. Out-of-range values saturate at the
// type's limits, as stream extraction does.
int StringToInt(const std::string& text);
float StringToFloat(const std::string& text);
double StringToDouble(const std::string& text);
// Read with double precision and widened, whatever the width of LDouble.
LDouble StringToLDouble(const std::string& text);

// Trimming of "blank" bytes: every byte whose value as a signed 8-bit number
// is at most 32, i.e. 0x00-0x20 and 0x80-0xFF (so UTF-8 sequences at either
// end are removed too); 0x7F is not blank.
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
std::string Trim(const std::string& text);
std::string TrimText(const std::string& text);

// Lines of a text. LF, CR and CR LF each end a line; lines before the last
// break are kept as they stand (empty ones included); what follows the last
// break is trimmed and kept only when something is left.
void SplitLines(std::vector<std::string>& lines, const std::string& text);
// Fields of a line: maximal runs of bytes other than tab, LF, CR, blank and
// comma. Runs of separators count as one; no empty fields.
void SplitFields(std::vector<std::string>& fields, const std::string& line);
// Pieces of `text` between occurrences of `delimiter` (searched as a whole),
// empty pieces kept; an empty text gives one empty piece. An empty delimiter
// gives the whole text as one piece.
void SplitByDelimiter(std::vector<std::string>& pieces, const std::string& text,
                      const std::string& delimiter);
// Lines ended by CR, LF or CR LF; text after the last break is dropped
// (unlike SplitLines, which keeps it).
void SplitTextLines(std::vector<std::string>& lines, const std::string& text);

// Takes the first element <tag ...>content</tag> out of a text. Returns false
// (before = text, the rest empty) when no opening tag is present. The end of
// the opening tag is the first '>' outside double quotes; the content ends at
// the first closing tag of the same name. Nothing is unescaped or trimmed.
bool ExtractTag(const std::string& text, const std::string& tag, std::string& before, std::string& attributes,
                std::string& content, std::string& after);
// The tag's content as an int; the default when the content is empty or the
// tag is absent (a content that is not a number gives 0).
void GetTagInt(const std::string& text, const std::string& tag, int& value, int defaultValue);

// "run1.xml_cl" -> "xml_cl"; empty when there is no dot in the last path
// component, or the dot is the first or the last byte.
std::string FileNameExtension(const std::string& name);
// The directory part with its final '/' or '\\'; empty when there is no
// separator or it stands at position 0.
std::string FileNameDirectory(const std::string& name);
std::string GetFileExtension(const std::string& name);
std::string GetFileDirectory(const std::string& name);

// Path rules on the text alone, either separator '/' or '\\' (the windows'
// QString forms in fgraph/LwWindowUtilities.h apply these to UTF-8 bytes).
// Cuts the last extension (a dot at index 1 or later after the last
// separator) and appends `extension` (with its dot, may be empty).
std::string ReplaceExtension(const std::string& path, const std::string& extension);
// The text after the last separator when that stands at index 2 or later;
// empty when the separator is the last character; else the whole path.
std::string GetFileName(const std::string& path);
// The text before the last separator when that stands at index 2 or later;
// the whole path when the separator is the last character; else empty.
std::string GetDirectoryPart(const std::string& path);
