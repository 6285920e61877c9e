#include "core/LwMatrixBarn.h"

#include "core/LwBarnXml.h"
#include "core/LwBinaryDataToText.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The binary forms carry IEEE 754 elements in little-endian byte order; the
// element buffers are copied to and from them byte for byte.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "binary matrix forms assume a little-endian host");
static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559, "4-byte IEEE float");
static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559, "8-byte IEEE double");

namespace {

const char kTextRack[] = "lw_matrix";
const char kLegacyTextRack[] = "LDoubleMatrix";
const char kElements[] = "elements";

// The binary rack of each class and the type its elements are stored as.
template <class M>
struct BinaryForm;
template <>
struct BinaryForm<LwFloatMatrix>
{
    using Stored = float;
    static constexpr const char* kRack = "LwFloatMatrixBinary";
    static constexpr const char* kOlderRack = nullptr;
    static constexpr const char* kTextFormat = "%Le";
};
template <>
struct BinaryForm<LwDoubleMatrix>
{
    using Stored = double;
    static constexpr const char* kRack = "LwDoubleMatrixBinary";
    static constexpr const char* kOlderRack = "TDoubleMatrixBinary";
    static constexpr const char* kTextFormat = "%Le";
};
template <>
struct BinaryForm<LwLDoubleMatrix>
{
    using Stored = double;  // 8 bytes in every program, whatever LDouble is
    static constexpr const char* kRack = "LDoubleMatrixBinary";
    static constexpr const char* kOlderRack = nullptr;
    static constexpr const char* kTextFormat = "%Le";
};
// Integers: raw 4-byte elements. The text form prints whole numbers with up
// to ten digits, so that every 32-bit value reads back exactly (the plain
// "%Lg" keeps six significant digits and would round 1234567 to 1234570).
template <>
struct BinaryForm<LwLongMatrix>
{
    using Stored = LwLong;
    static constexpr const char* kRack = "LwLongMatrixBinary";
    static constexpr const char* kOlderRack = nullptr;
    static constexpr const char* kTextFormat = "%.10Lg";
};

// Data elements of the binary forms, in the order a reader looks for them.
struct DataElement
{
    const char* name;
    bool standardAlphabet;
    bool standardBase64;
};
const DataElement kDataElements2D[] = {
    {"binary", false, false}, {"base64", true, false}, {"base64b", true, true}};
const DataElement kDataElements3D[] = {{"base64", true, false}, {"base64b", true, true}};

const char* DataElementName(bool standardAlphabet, bool standardBase64)
{
    return standardBase64 ? "base64b" : standardAlphabet ? "base64" : "binary";
}

// Numbers are printed and read in the C locale: a process locale with a
// decimal comma (Qt programs adopt the user's locale) would otherwise break
// the comma-separated text form.
class ClassicNumbers
{
public:
    ClassicNumbers() : previous_(uselocale(CLocale())) {}
    ~ClassicNumbers() { uselocale(previous_); }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

private:
    static locale_t CLocale()
    {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return c ? c : LC_GLOBAL_LOCALE;
    }
    locale_t previous_;
};

// A number as scanf's "%Lg" reads it: leading white space skipped, the
// longest prefix that is a number (decimal, hexadecimal, inf, nan); 0 when
// there is none.
LDouble ParseNumber(const char* begin, const char* end)
{
    const std::string item(begin, end);
    char* stop = nullptr;
    LDouble value;
    if constexpr (sizeof(LDouble) == sizeof(double))
        value = std::strtod(item.c_str(), &stop);
    else
        value = std::strtold(item.c_str(), &stop);
    return stop == item.c_str() ? LDouble(0) : value;
}

// True for one printf conversion of a long double ("%Le", "%-12.8Lg", ...)
// with any text around it but no other '%'.
bool IsLDoubleFormat(const std::string& f)
{
    const size_t percent = f.find('%');
    if (percent == std::string::npos)
        return false;
    size_t i = percent + 1;
    auto digits = [&] {
        while (i < f.size() && f[i] >= '0' && f[i] <= '9')
            ++i;
    };
    while (i < f.size() && std::strchr("-+ #0", f[i]) != nullptr && f[i] != '\0')
        ++i;
    digits();
    if (i < f.size() && f[i] == '.') {
        ++i;
        digits();
    }
    if (i + 1 >= f.size() || f[i] != 'L' || std::strchr("eEfFgGaA", f[i + 1]) == nullptr || f[i + 1] == '\0')
        return false;
    return f.find('%', i + 2) == std::string::npos;
}

struct Shape2D
{
    LwLong colSize = 0, colBegin = 0, rowSize = 0, rowBegin = 0;
};

// "ColSize", "ColBegin", "RowSize", "RowBegin": written, or read with the
// default 0 each.
void SerializeShape(LwBarnXml& doc, Shape2D& s)
{
    doc.ValueLong("ColSize", s.colSize, 0);
    doc.ValueLong("ColBegin", s.colBegin, 0);
    doc.ValueLong("RowSize", s.rowSize, 0);
    doc.ValueLong("RowBegin", s.rowBegin, 0);
}

template <class M>
Shape2D ShapeOf(const M& m)
{
    return {m.ColSize, m.ColBegin, m.RowSize, m.RowBegin};
}

// Sizes from a document, refused as matrix creation refuses them before any
// memory is asked for. Returns the element count.
std::int64_t CheckedElementCount(LwLong colSize, LwLong rowSize)
{
    if (colSize < 0 && rowSize < 0)
        throw LwError("matrix creation Parameter Error");
    if (colSize < 0 || rowSize < 0)
        throw LwError("Matrix Parameter Error");
    const std::int64_t count = static_cast<std::int64_t>(colSize) * rowSize;
    if (count > INT_MAX)
        throw LwError("matrix creation Parameter Error");
    return count;
}

template <class M>
void CreateWithShape(M& m, const Shape2D& s)
{
    m.Create(s.colSize, s.rowSize);
    m.ColBegin = s.colBegin;
    m.RowBegin = s.rowBegin;
}

// Encodes `count` elements as little-endian Stored values.
template <class Stored, class T>
void EncodeElements(const T* values, std::int64_t count, bool standardAlphabet, bool standardBase64,
                    std::string& text)
{
    const std::int64_t bytes = count * static_cast<std::int64_t>(sizeof(Stored));
    if (bytes > INT_MAX)
        throw LwError("Size Error");
    const LwBinaryDataToText codec;
    if constexpr (std::is_same<T, Stored>::value) {
        codec.ToText(values, static_cast<int>(bytes), text, standardAlphabet, standardBase64);
    } else {
        const std::vector<Stored> narrowed(values, values + count);
        codec.ToText(narrowed.data(), static_cast<int>(bytes), text, standardAlphabet, standardBase64);
    }
}

// Reads the first data element present and decodes it; false when none is.
template <size_t N>
bool ReadData(LwBarnXml& doc, const DataElement (&elements)[N], std::vector<unsigned char>& bytes, int& count)
{
    for (const DataElement& e : elements) {
        std::string text;
        if (doc.ValueRawString(e.name, text, std::string())) {
            LwBinaryDataToText().ToBinary(text, bytes, count, e.standardAlphabet, e.standardBase64);
            return true;
        }
    }
    return false;
}

// Copies `count` Stored values from little-endian bytes into `out`.
template <class Stored, class T>
void DecodeElements(const std::vector<unsigned char>& bytes, std::int64_t count, T* out)
{
    for (std::int64_t i = 0; i < count; ++i) {
        Stored v;
        std::memcpy(&v, bytes.data() + i * sizeof(Stored), sizeof(Stored));
        out[i] = static_cast<T>(v);
    }
}

// The width of one element of "LDoubleMatrixBinary" data. The form holds
// 8-byte doubles, but a program whose long double is the 80-bit x87 type
// may have stored that type's raw storage instead: 10 bytes packed, or
// padded to 12 (32-bit x86) or 16 bytes (x86-64). The width is the one
// that the byte count gives exactly; any other count is refused, since
// reading it as doubles would give wrong values without a word.
int LDoubleElementWidth(std::int64_t byteCount, std::int64_t count)
{
    for (const int width : {8, 10, 12, 16})
        if (byteCount == count * width)
            return width;
    throw LwError("LDoubleMatrixBinary data hold " + std::to_string(byteCount) + " bytes for " +
                  std::to_string(count) + " elements: not 8, 10, 12 or 16 bytes per element");
}

// One x87 80-bit extended value from its 10 little-endian bytes: a 64-bit
// significand with an explicit integer bit, a 15-bit exponent biased by
// 16383 and the sign. Formed with ldexp in long double, so the value is
// exact where long double is that type and correctly rounded to a double
// where it is narrower.
long double ExtendedFromBytes(const unsigned char* in)
{
    std::uint64_t significand = 0;
    for (int b = 0; b < 8; ++b)
        significand |= static_cast<std::uint64_t>(in[b]) << (8 * b);
    const unsigned top = static_cast<unsigned>(in[8]) | (static_cast<unsigned>(in[9]) << 8);
    const bool negative = (top & 0x8000u) != 0;
    const int exponent = static_cast<int>(top & 0x7FFFu);
    long double value;
    if (exponent == 0x7FFF) {
        // Infinity when the fraction below the integer bit is 0, else NaN.
        value = (significand << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                        : std::numeric_limits<long double>::quiet_NaN();
    } else {
        // Denormals (exponent 0) have the exponent of the smallest normal.
        const int power = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        value = std::ldexp(static_cast<long double>(significand), power);
    }
    return negative ? -value : value;
}

// Copies `count` x87 extended values stored `width` bytes apart.
void DecodeExtendedElements(const std::vector<unsigned char>& bytes, std::int64_t count, int width,
                            LDouble* out)
{
    for (std::int64_t i = 0; i < count; ++i)
        out[i] = static_cast<LDouble>(ExtendedFromBytes(bytes.data() + i * width));
}

template <class M>
bool SerializeMatrixBinaryImpl(LwBarnXml& doc, M& m, bool useStandardAlphabet, bool standardBase64)
{
    using Stored = typename BinaryForm<M>::Stored;
    if (doc.IsWriteMode()) {
        std::string text;
        EncodeElements<Stored>(m.Buffer(), m.ElementCount(), useStandardAlphabet, standardBase64, text);
        Shape2D s = ShapeOf(m);
        SerializeShape(doc, s);
        doc.ValueRawString(DataElementName(useStandardAlphabet, standardBase64), text, text);
        return true;
    }

    Shape2D s;
    SerializeShape(doc, s);
    if (s.colSize == 0 || s.rowSize == 0) {
        m.Create(0, 0);
        return true;
    }
    const std::int64_t count = CheckedElementCount(s.colSize, s.rowSize);
    std::vector<unsigned char> bytes;
    int byteCount = 0;
    if (!ReadData(doc, kDataElements2D, bytes, byteCount))
        return false;
    if (byteCount / static_cast<std::int64_t>(sizeof(Stored)) < count) {
        m.Create(1, 1);
        m.Buffer()[0] = 0;
        return false;
    }
    if constexpr (std::is_same<M, LwLDoubleMatrix>::value) {
        const int width = LDoubleElementWidth(byteCount, count);
        CreateWithShape(m, s);
        if (width == static_cast<int>(sizeof(Stored)))
            DecodeElements<Stored>(bytes, count, m.Buffer());
        else
            DecodeExtendedElements(bytes, count, width, m.Buffer());
        return true;
    }
    CreateWithShape(m, s);
    DecodeElements<Stored>(bytes, count, m.Buffer());
    return true;
}

// The matrix as an LwLDoubleMatrix for the text form: itself, or a converted
// copy in `temporary`.
const LwLDoubleMatrix& AsLDouble(const LwLDoubleMatrix& m, LwLDoubleMatrix&)
{
    return m;
}
template <class M>
const LwLDoubleMatrix& AsLDouble(const M& m, LwLDoubleMatrix& temporary)
{
    LwMatrixArithmetic().ConvertMatrix(temporary, m);
    return temporary;
}

// Integer elements are exact in every LDouble.
const LwLDoubleMatrix& AsLDouble(const LwLongMatrix& m, LwLDoubleMatrix& temporary)
{
    CreateWithShape(temporary, ShapeOf(m));
    std::copy(m.Buffer(), m.Buffer() + m.ElementCount(), temporary.Buffer());
    return temporary;
}

// A text-form number as a 32-bit integer: truncated toward zero, held to the
// integer range (so that no out-of-range conversion happens), NaN as 0.
LwLong TruncateToLong(LDouble v)
{
    if (!(v == v))
        return 0;
    if (v >= static_cast<LDouble>(std::numeric_limits<LwLong>::max()))
        return std::numeric_limits<LwLong>::max();
    if (v <= static_cast<LDouble>(std::numeric_limits<LwLong>::min()))
        return std::numeric_limits<LwLong>::min();
    return static_cast<LwLong>(v);
}

// Reads a text form with `reader`: directly into an LwLDoubleMatrix, through
// a temporary for the other classes (which are unchanged when it fails).
template <class Reader>
bool ReadTextForm(LwBarnXml& doc, LwLDoubleMatrix& m, Reader reader)
{
    return reader(doc, m);
}
template <class Reader>
bool ReadTextForm(LwBarnXml& doc, LwLongMatrix& m, Reader reader)
{
    LwLDoubleMatrix temporary;
    if (!reader(doc, temporary))
        return false;
    CreateWithShape(m, ShapeOf(temporary));
    std::transform(temporary.Buffer(), temporary.Buffer() + temporary.ElementCount(), m.Buffer(),
                   TruncateToLong);
    return true;
}
template <class M, class Reader>
bool ReadTextForm(LwBarnXml& doc, M& m, Reader reader)
{
    LwLDoubleMatrix temporary;
    if (!reader(doc, temporary))
        return false;
    LwMatrixArithmetic().ConvertMatrix(m, temporary);
    return true;
}

// Reads the form in rack `rack` when it is present; `found` tells whether it was.
template <class Read>
bool ReadRack(LwBarnXml& doc, const char* rack, bool& found, Read read)
{
    found = rack != nullptr && doc.OpenRack(rack);
    if (!found)
        return false;
    const bool result = read();
    doc.CloseRack(rack);
    return result;
}

template <class M>
bool SerializeMatrix2D(LwBarnXml& doc, const std::string& name, M& m, const std::string& format)
{
    using Form = BinaryForm<M>;
    if (doc.IsWriteMode()) {
        // Checked first, so that a bad format leaves no half-written element.
        if (format != "t" && format != "b" && format != "bb")
            throw LwError("Write format error");
        doc.OpenRack(name);
        if (format == "t") {
            LwLDoubleMatrix temporary;
            doc.OpenRack(kTextRack);
            WriteMatrixText(doc, AsLDouble(m, temporary), Form::kTextFormat);
            doc.CloseRack(kTextRack);
        } else {
            doc.OpenRack(Form::kRack);
            SerializeMatrixBinary(doc, m, true, format == "bb");
            doc.CloseRack(Form::kRack);
        }
        doc.CloseRack(name);
        return true;
    }

    if (!doc.OpenRack(name))
        return false;
    bool found = false;
    bool result = ReadRack(doc, kTextRack, found, [&] { return ReadTextForm(doc, m, ReadMatrixText); });
    if (!found)
        result =
            ReadRack(doc, kLegacyTextRack, found, [&] { return ReadTextForm(doc, m, ReadMatrixTextLegacy); });
    for (const char* rack : {Form::kRack, Form::kOlderRack}) {
        if (found)
            break;
        result = ReadRack(doc, rack, found, [&] { return SerializeMatrixBinary(doc, m, true, false); });
    }
    doc.CloseRack(name);
    return result;
}

void CheckFormat3D(const std::string& format)
{
    if (format != "b" && format != "bb")
        throw LwError("Undefined write format");
}

// Calls f(begin, end) for every comma-terminated item of a text form's
// "elements": bytes below 0x20 (as signed bytes, so 0x80 and up too) are
// skipped before an item; scanning ends at the last byte or when no comma is
// left, so text after the last comma is ignored.
template <class F>
void ForEachTextItem(const std::string& text, F&& f)
{
    const size_t n = text.size();
    size_t p = 0;
    while (true) {
        while (p < n && static_cast<signed char>(text[p]) < 32)
            ++p;
        if (p + 1 >= n)
            return;
        const size_t comma = text.find(',', p);
        if (comma == std::string::npos)
            return;
        f(text.data() + p, text.data() + comma);
        p = comma + 1;
    }
}

// Items of one row of the older text form, up to `wanted`: the text up to
// each comma, the last one possibly without its comma. Returns how many
// there are (at most `wanted`); calls f(begin, end) for each when given.
template <class F>
std::int64_t ForEachLegacyItem(const std::string& row, std::int64_t wanted, F&& f)
{
    std::int64_t items = 0;
    size_t p = 0;
    while (items < wanted && p < row.size()) {
        size_t comma = row.find(',', p);
        if (comma == std::string::npos)
            comma = row.size();
        f(row.data() + p, row.data() + comma);
        ++items;
        p = comma + 1;
    }
    return items;
}

}  // namespace

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwDoubleMatrix& m, const std::string& format)
{
    return SerializeMatrix2D(doc, name, m, format);
}

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwFloatMatrix& m, const std::string& format)
{
    return SerializeMatrix2D(doc, name, m, format);
}

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwLDoubleMatrix& m, const std::string& format)
{
    return SerializeMatrix2D(doc, name, m, format);
}

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwLongMatrix& m, const std::string& format)
{
    return SerializeMatrix2D(doc, name, m, format);
}

namespace {

// The form of element `name` below `parent` that SerializeMatrix would read
// for a matrix of class M; `isText` tells whether it is a text form.
template <class M>
LwBarnXmlRack* DeclaredForm(LwBarnXmlRack& parent, const std::string& name, bool& isText)
{
    LwBarnXmlRack* element = parent.FindChild(name);
    if (element == nullptr)
        return nullptr;
    // The forms in the order SerializeMatrix2D looks for them.
    for (const char* rack : {kTextRack, kLegacyTextRack, BinaryForm<M>::kRack, BinaryForm<M>::kOlderRack}) {
        LwBarnXmlRack* form = rack != nullptr ? element->FindChild(rack) : nullptr;
        if (form != nullptr) {
            isText = rack == kTextRack || rack == kLegacyTextRack;
            return form;
        }
    }
    return nullptr;
}

}  // namespace

template <class M>
bool DeclaredMatrixSizes(const LwBarnXml& doc, LwBarnXmlRack& parent, const std::string& name,
                         LwLong& colSize, LwLong& rowSize)
{
    bool isText = false;
    LwBarnXmlRack* form = DeclaredForm<M>(parent, name, isText);
    if (form == nullptr)
        return false;
    // As LwBarnXml::ValueLong reads them.
    const auto size = [&](const char* key) {
        LwBarnXmlRack* value = form->FindChild(key);
        return value != nullptr ? static_cast<LwLong>(StringToInt(doc.ValueTextOf(*value))) : 0;
    };
    colSize = size("ColSize");
    rowSize = size("RowSize");
    return true;
}

template <class M>
std::int64_t HeldMatrixValuesBound(const LwBarnXml& doc, LwBarnXmlRack& parent, const std::string& name)
{
    bool isText = false;
    LwBarnXmlRack* form = DeclaredForm<M>(parent, name, isText);
    if (form == nullptr)
        return 0;
    if (isText) {
        // Every value ends with a comma.
        LwBarnXmlRack* elements = form->FindChild(kElements);
        if (elements == nullptr)
            return 0;
        const std::string_view text = doc.ValueViewOf(*elements);
        return static_cast<std::int64_t>(std::count(text.begin(), text.end(), ','));
    }
    // Every encoding takes four characters for three bytes; the data the
    // reader takes is the first element present.
    for (const DataElement& e : kDataElements2D) {
        if (LwBarnXmlRack* data = form->FindChild(e.name)) {
            const std::int64_t bytes = static_cast<std::int64_t>(doc.ValueViewOf(*data).size()) / 4 * 3 + 3;
            return bytes / static_cast<std::int64_t>(sizeof(typename BinaryForm<M>::Stored));
        }
    }
    return 0;
}

template bool DeclaredMatrixSizes<LwFloatMatrix>(const LwBarnXml&, LwBarnXmlRack&, const std::string&,
                                                 LwLong&, LwLong&);
template bool DeclaredMatrixSizes<LwDoubleMatrix>(const LwBarnXml&, LwBarnXmlRack&, const std::string&,
                                                  LwLong&, LwLong&);
template bool DeclaredMatrixSizes<LwLDoubleMatrix>(const LwBarnXml&, LwBarnXmlRack&, const std::string&,
                                                   LwLong&, LwLong&);
template bool DeclaredMatrixSizes<LwLongMatrix>(const LwBarnXml&, LwBarnXmlRack&, const std::string&, LwLong&,
                                                LwLong&);
template std::int64_t HeldMatrixValuesBound<LwFloatMatrix>(const LwBarnXml&, LwBarnXmlRack&,
                                                           const std::string&);
template std::int64_t HeldMatrixValuesBound<LwDoubleMatrix>(const LwBarnXml&, LwBarnXmlRack&,
                                                            const std::string&);
template std::int64_t HeldMatrixValuesBound<LwLDoubleMatrix>(const LwBarnXml&, LwBarnXmlRack&,
                                                             const std::string&);
template std::int64_t HeldMatrixValuesBound<LwLongMatrix>(const LwBarnXml&, LwBarnXmlRack&,
                                                          const std::string&);

bool SerializeMatrix(LwBarnXml& doc, const std::string& name, LwFloatMatrix3D& m, const std::string& format)
{
    const std::string tag = Matrix3DBinaryTag();
    if (doc.IsWriteMode()) {
        CheckFormat3D(format);
        doc.OpenRack(name);
        doc.OpenRack(tag);
        SerializeMatrix3DBinary(doc, m, format);
        doc.CloseRack(tag);
        doc.CloseRack(name);
        return true;
    }
    if (!doc.OpenRack(name))
        return false;
    bool found = false;
    const bool result =
        ReadRack(doc, tag.c_str(), found, [&] { return SerializeMatrix3DBinary(doc, m, "b"); });
    doc.CloseRack(name);
    return result;
}

bool SerializeMatrixBinary(LwBarnXml& doc, LwDoubleMatrix& m, bool useStandardAlphabet, bool standardBase64)
{
    return SerializeMatrixBinaryImpl(doc, m, useStandardAlphabet, standardBase64);
}

bool SerializeMatrixBinary(LwBarnXml& doc, LwFloatMatrix& m, bool useStandardAlphabet, bool standardBase64)
{
    return SerializeMatrixBinaryImpl(doc, m, useStandardAlphabet, standardBase64);
}

bool SerializeMatrixBinary(LwBarnXml& doc, LwLDoubleMatrix& m, bool useStandardAlphabet, bool standardBase64)
{
    return SerializeMatrixBinaryImpl(doc, m, useStandardAlphabet, standardBase64);
}

bool SerializeMatrixBinary(LwBarnXml& doc, LwLongMatrix& m, bool useStandardAlphabet, bool standardBase64)
{
    return SerializeMatrixBinaryImpl(doc, m, useStandardAlphabet, standardBase64);
}

std::string Matrix3DBinaryTag()
{
    return "LwFloatMatrix3DBinary";
}

bool SerializeMatrix3DBinary(LwBarnXml& doc, LwFloatMatrix3D& m, const std::string& format)
{
    CheckFormat3D(format);
    const bool standardBase64 = format == "bb";
    if (doc.IsWriteMode()) {
        std::string text;
        EncodeElements<float>(m.Buffer(), m.ElementCount(), true, standardBase64, text);
        Shape2D s = ShapeOf(m);
        LwLong depthSize = m.DepthSize, depthBegin = m.DepthBegin;
        SerializeShape(doc, s);
        doc.ValueLong("DepthSize", depthSize, 0);
        doc.ValueLong("DepthBegin", depthBegin, 0);
        doc.ValueRawString(DataElementName(true, standardBase64), text, text);
        return true;
    }

    Shape2D s;
    LwLong depthSize = 0, depthBegin = 0;
    SerializeShape(doc, s);
    doc.ValueLong("DepthSize", depthSize, 0);
    doc.ValueLong("DepthBegin", depthBegin, 0);
    if (s.colSize < 0 || s.rowSize < 0 || depthSize < 0)
        throw LwError("Cannot Get Memory");
    // Each product is checked against the limit before the next one is
    // formed: the three 32-bit sizes together could pass 2^63.
    std::int64_t count = static_cast<std::int64_t>(s.colSize) * s.rowSize;
    if (count > INT_MAX || (depthSize > 0 && count > INT_MAX / depthSize))
        throw LwError("Cannot Get Memory");
    count *= depthSize;

    std::vector<unsigned char> bytes;
    int byteCount = 0;
    if (!ReadData(doc, kDataElements3D, bytes, byteCount))
        return false;
    if (byteCount / 4 < count) {
        m.Create(1, 1, 1);
        m.Fill(0.0f);
        return false;
    }
    m.Create(s.colSize, s.rowSize, depthSize);
    m.ColBegin = s.colBegin;
    m.RowBegin = s.rowBegin;
    m.DepthBegin = depthBegin;
    DecodeElements<float>(bytes, count, m.Buffer());
    return true;
}

bool WriteMatrixText(LwBarnXml& doc, const LwLDoubleMatrix& m, const std::string& numberFormat)
{
    if (!IsLDoubleFormat(numberFormat))
        throw LwError("Write format error");
    std::string text;
    text.reserve(1 + static_cast<size_t>(m.ElementCount()) * 14 + static_cast<size_t>(m.RowSize));
    text += '\n';
    {
        const ClassicNumbers classic;
        const char* format = numberFormat.c_str();
        const LDouble* element = m.Buffer();
        char buffer[64];
        for (int r = 0; r < m.RowSize; ++r) {
            for (int c = 0; c < m.ColSize; ++c, ++element) {
                const long double v = *element;
                const int n = std::snprintf(buffer, sizeof buffer, format, v);
                if (n < 0)
                    throw LwError("Write format error");
                if (static_cast<size_t>(n) < sizeof buffer) {
                    text.append(buffer, static_cast<size_t>(n));
                } else {
                    std::vector<char> wide(static_cast<size_t>(n) + 1);
                    std::snprintf(wide.data(), wide.size(), format, v);
                    text.append(wide.data(), static_cast<size_t>(n));
                }
                text += ',';
            }
            text += '\n';
        }
    }
    Shape2D s = ShapeOf(m);
    SerializeShape(doc, s);
    doc.ValueRawString(kElements, text, text);
    return true;
}

bool ReadMatrixText(LwBarnXml& doc, LwLDoubleMatrix& m)
{
    Shape2D s;
    SerializeShape(doc, s);
    std::string text;
    doc.ValueRawString(kElements, text, std::string());
    const std::int64_t count = CheckedElementCount(s.colSize, s.rowSize);

    // Count first: the sizes are believed only when the numbers are there.
    std::int64_t items = 0;
    ForEachTextItem(text, [&](const char*, const char*) { ++items; });
    if (items > count)
        throw LwError("Too manay data");
    if (items < count)
        throw LwError("Data is short");

    CreateWithShape(m, s);
    const ClassicNumbers classic;
    LDouble* out = m.Buffer();
    ForEachTextItem(text, [&](const char* begin, const char* end) { *out++ = ParseNumber(begin, end); });
    return true;
}

bool ReadMatrixTextLegacy(LwBarnXml& doc, LwLDoubleMatrix& m)
{
    Shape2D s;
    SerializeShape(doc, s);
    if (!doc.OpenRack(kElements))
        return false;
    const std::int64_t count = CheckedElementCount(s.colSize, s.rowSize);
    std::vector<std::string> rows;
    std::string row;
    bool shortData = false;
    for (LwLong r = 0; r < s.rowSize; ++r) {
        if (!doc.ValueRawString("r", row, std::string())) {
            shortData = true;
            break;
        }
        const auto skip = [](const char*, const char*) {};
        if (ForEachLegacyItem(row, s.colSize, skip) < s.colSize) {
            shortData = true;
            break;
        }
        rows.push_back(row);
    }
    doc.CloseRack(kElements);
    if (shortData && count > 0)
        throw LwError("Data is short");

    CreateWithShape(m, s);
    const ClassicNumbers classic;
    LDouble* out = m.Buffer();
    for (const std::string& text : rows)
        ForEachLegacyItem(text, s.colSize,
                          [&](const char* begin, const char* end) { *out++ = ParseNumber(begin, end); });
    return true;
}
