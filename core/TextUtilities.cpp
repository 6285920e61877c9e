#include "core/TextUtilities.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace {

// The text a classic-locale stream writes for `value` with its default
// settings: integers in decimal, floating-point values as printf's "%.6g" in
// the "C" locale (a float is widened to double, as the stream does). Made
// without a stream: documents write thousands of numbers, and building a
// stream for each costs more than the conversion.
template <typename T>
std::string StreamText(T value)
{
    char text[64];
    std::to_chars_result r;
    if constexpr (std::is_integral_v<T>)
        r = std::to_chars(text, text + sizeof text, value);
    else if constexpr (std::is_same_v<T, float>)
        r = std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::general,
                          6);
    else
        r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, r.ptr);
}

bool IsStreamSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return static_cast<signed char>(c) <= 32;
}

// Copies the longest leading decimal floating-point number of `text` (after
// white space) into `number`: [sign] digits [. digits] [e [sign] digits], at
// least one mantissa digit, the exponent only when it has a digit. Unlike
// std::strtod this accepts no "inf", "nan" or hexadecimal forms, and unlike
// stream extraction it stops before an incomplete exponent ("5eV" -> "5").
bool FloatPrefix(const std::string& text, std::string& number)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsStreamSpace(text[i]))
        ++i;
    const size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < n && IsDigit(text[j])) {
            while (j < n && IsDigit(text[j]))
                ++j;
            i = j;
        }
    }
    number.assign(text, start, i - start);
    return true;
}

// strtod/strtof in the classic locale on a prefix validated above. The "C"
// locale is the only one the suite runs in, so the decimal point is '.'.
template <typename T>
T ParseFloat(const std::string& text)
{
    std::string number;
    if (!FloatPrefix(text, number))
        return T(0);
    errno = 0;
    T v;
    if constexpr (std::is_same_v<T, float>)
        v = std::strtof(number.c_str(), nullptr);
    else
        v = std::strtod(number.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(v))
        v = std::signbit(v) ? std::numeric_limits<T>::lowest() : std::numeric_limits<T>::max();
    return v;
}

}  // namespace

std::string IntToString(int value)
{
    return StreamText(value);
}
std::string LongToString(LwLong value)
{
    return StreamText(value);
}
std::string FloatToString(float value)
{
    return StreamText(value);
}
std::string DoubleToString(double value)
{
    return StreamText(value);
}
std::string LDoubleToString(LDouble value)
{
    return StreamText(value);
}

std::string IntToStringZeroFill(int value, int width)
{
    std::string s = IntToString(value);
    if (width > 0 && s.size() < static_cast<size_t>(width))
        s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

int StringToInt(const std::string& text)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsStreamSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= n || !IsDigit(text[i]))
        return 0;
    long long v = 0;
    for (; i < n && IsDigit(text[i]); ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) {
            v = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative)
        return v > INT_MAX ? INT_MIN : -static_cast<int>(v);
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

float StringToFloat(const std::string& text)
{
    return ParseFloat<float>(text);
}
double StringToDouble(const std::string& text)
{
    return ParseFloat<double>(text);
}
LDouble StringToLDouble(const std::string& text)
{
    return static_cast<LDouble>(ParseFloat<double>(text));
}

std::string TrimLeft(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return text.substr(i);
}

std::string TrimRight(const std::string& text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

std::string Trim(const std::string& text)
{
    return TrimLeft(TrimRight(text));
}
std::string TrimText(const std::string& text)
{
    return Trim(text);
}

void SplitLines(std::vector<std::string>& lines, const std::string& text)
{
    lines.clear();
    const size_t n = text.size();
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\n' && c != '\r')
            continue;
        lines.emplace_back(text, start, i - start);
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n) {
        std::string last = TrimText(text.substr(start));
        if (!last.empty())
            lines.push_back(std::move(last));
    }
}

void SplitFields(std::vector<std::string>& fields, const std::string& line)
{
    fields.clear();
    auto isSeparator = [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == ','; };
    const size_t n = line.size();
    size_t i = 0;
    while (i < n) {
        while (i < n && isSeparator(line[i]))
            ++i;
        const size_t start = i;
        while (i < n && !isSeparator(line[i]))
            ++i;
        if (i > start)
            fields.emplace_back(line, start, i - start);
    }
}

void SplitByDelimiter(std::vector<std::string>& pieces, const std::string& text, const std::string& delimiter)
{
    pieces.clear();
    if (delimiter.empty()) {
        pieces.push_back(text);
        return;
    }
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(delimiter, pos);
        if (hit == std::string::npos) {
            pieces.push_back(text.substr(pos));
            return;
        }
        pieces.push_back(text.substr(pos, hit - pos));
        pos = hit + delimiter.size();
    }
}

void SplitTextLines(std::vector<std::string>& lines, const std::string& text)
{
    lines.clear();
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
}

bool ExtractTag(const std::string& text, const std::string& tag, std::string& before, std::string& attributes,
                std::string& content, std::string& after)
{
    const size_t plain = text.find("<" + tag + ">");
    const size_t withAttributes = text.find("<" + tag + " ");
    const size_t open = std::min(plain, withAttributes);
    attributes.clear();
    content.clear();
    after.clear();
    if (open == std::string::npos) {
        before = text;
        return false;
    }
    before = text.substr(0, open);
    const std::string rest = text.substr(open + 1 + tag.size());

    size_t close = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '"')
            quoted = !quoted;
        else if (rest[i] == '>' && !quoted) {
            close = i;
            break;
        }
    }
    if (close == std::string::npos) {
        attributes = rest;
        return true;
    }
    attributes = rest.substr(0, close);
    const std::string inner = rest.substr(close + 1);
    const size_t end = inner.find("</" + tag + ">");
    if (end == std::string::npos) {
        content = inner;
    } else {
        content = inner.substr(0, end);
        after = inner.substr(end + tag.size() + 3);
    }
    return true;
}

void GetTagInt(const std::string& text, const std::string& tag, int& value, int defaultValue)
{
    std::string before, attributes, content, after;
    ExtractTag(text, tag, before, attributes, content, after);
    value = content.empty() ? defaultValue : StringToInt(content);
}

std::string FileNameExtension(const std::string& name)
{
    for (size_t i = name.size(); i-- > 0;) {
        const char c = name[i];
        if (c == '/' || c == '\\')
            return std::string();
        if (c == '.') {
            if (i == 0 || i + 1 == name.size())
                return std::string();
            return name.substr(i + 1);
        }
    }
    return std::string();
}

std::string FileNameDirectory(const std::string& name)
{
    const size_t pos = name.find_last_of("/\\");
    if (pos == std::string::npos || pos == 0)
        return std::string();
    return name.substr(0, pos + 1);
}

std::string GetFileExtension(const std::string& name)
{
    return FileNameExtension(name);
}
std::string GetFileDirectory(const std::string& name)
{
    return FileNameDirectory(name);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension)
{
    std::string result = path;
    for (std::size_t i = path.size(); i-- > 0;) {
        if (path[i] == '/' || path[i] == '\\')
            break;
        if (path[i] == '.') {
            if (i >= 1)
                result = path.substr(0, i);
            break;
        }
    }
    return result + extension;
}

std::string GetFileName(const std::string& path)
{
    const std::size_t s = path.find_last_of("/\\");
    if (s == std::string::npos || s < 2)
        return path;
    return path.substr(s + 1);  // empty when the separator is the last byte
}

std::string GetDirectoryPart(const std::string& path)
{
    const std::size_t s = path.find_last_of("/\\");
    if (s == std::string::npos || s < 2)
        return std::string();
    if (s + 1 == path.size())
        return path;
    return path.substr(0, s);
}
