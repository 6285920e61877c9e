#include "core/LwBinaryDataToText.h"

#include "core/LwError.h"

#include <cassert>
#include <climits>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace {

constexpr char kCustomAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-";
constexpr char kStandardAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
static_assert(sizeof kCustomAlphabet == 65, "the custom alphabet has 64 characters");
static_assert(sizeof kStandardAlphabet == 65, "the standard alphabet has 64 characters");

constexpr size_t kCountDigits = 8;  // "%08lx" count field of the header form

template <typename Alphabet, typename Table>
void BuildAlphabet(const char (&letters)[65], Alphabet& alphabet, Table& decode)
{
    decode.fill(0);
    for (size_t i = 0; i < 64; ++i) {
        alphabet[i] = letters[i];
        decode[static_cast<unsigned char>(letters[i])] = static_cast<unsigned char>(i);
    }
}

// Groups of three bytes that hold `count` bytes; an empty block still has one
// (all-zero) group in the header form.
std::int64_t HeaderGroups(std::int64_t count)
{
    return count == 0 ? 1 : (count - 1) / 3 + 1;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void ObtainBuffer(std::vector<unsigned char>& buffer, size_t size)
{
    try {
        buffer.assign(size, 0);
    } catch (const std::bad_alloc&) {
        throw LwError("Memory cannot allocate");
    } catch (const std::length_error&) {
        throw LwError("Memory cannot allocate");
    }
}

}  // namespace

LwBinaryDataToText::LwBinaryDataToText()
{
    BuildAlphabet(kCustomAlphabet, customAlphabet_, customDecode_);
    BuildAlphabet(kStandardAlphabet, standardAlphabet_, standardDecode_);
}

void LwBinaryDataToText::ToText(const void* bytes, int count, std::string& text, bool useStandardAlphabet,
                                bool standardBase64) const
{
    if (standardBase64) {
        ToTextBase64(bytes, count, text);
        return;
    }
    ToTextHeader(static_cast<const unsigned char*>(bytes), count, text,
                 useStandardAlphabet ? standardAlphabet_ : customAlphabet_);
}

void LwBinaryDataToText::ToTextHeader(const unsigned char* b, int count, std::string& text,
                                      const Alphabet& a) const
{
    if (count < 0)
        throw LwError("Size Error");
    assert(b != nullptr || count == 0);
    const std::int64_t groups = HeaderGroups(count);
    text.assign(kCountDigits + 4 * static_cast<size_t>(groups), '\0');
    char* out = &text[0];

    static const char kHex[] = "0123456789abcdef";
    const std::uint32_t n = static_cast<std::uint32_t>(count);
    for (size_t i = 0; i < kCountDigits; ++i)
        out[i] = kHex[(n >> (4 * (kCountDigits - 1 - i))) & 0xF];
    out += kCountDigits;

    // Whole groups straight from the input, then the last one zero-filled.
    const size_t whole = static_cast<size_t>(count) / 3;
    for (size_t g = 0; g < whole; ++g, b += 3, out += 4) {
        const std::uint32_t v = b[0] | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16);
        out[0] = a[v & 63];
        out[1] = a[(v >> 6) & 63];
        out[2] = a[(v >> 12) & 63];
        out[3] = a[v >> 18];
    }
    const size_t rest = static_cast<size_t>(count) - 3 * whole;
    if (rest > 0 || count == 0) {
        std::uint32_t v = 0;
        for (size_t k = 0; k < rest; ++k)
            v |= std::uint32_t(b[k]) << (8 * k);
        out[0] = a[v & 63];
        out[1] = a[(v >> 6) & 63];
        out[2] = a[(v >> 12) & 63];
        out[3] = a[v >> 18];
    }
}

void LwBinaryDataToText::ToTextBase64(const void* bytes, int count, std::string& text) const
{
    if (count < 0)
        throw LwError("Size Error");
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    assert(b != nullptr || count == 0);
    const Alphabet& a = standardAlphabet_;
    const size_t n = static_cast<size_t>(count);
    text.assign(4 * ((n + 2) / 3), '\0');
    char* out = text.empty() ? nullptr : &text[0];

    const size_t whole = n / 3;
    for (size_t g = 0; g < whole; ++g, b += 3, out += 4) {
        const std::uint32_t v = (std::uint32_t(b[0]) << 16) | (std::uint32_t(b[1]) << 8) | b[2];
        out[0] = a[v >> 18];
        out[1] = a[(v >> 12) & 63];
        out[2] = a[(v >> 6) & 63];
        out[3] = a[v & 63];
    }
    const size_t rest = n - 3 * whole;
    if (rest > 0) {
        const std::uint32_t v = (std::uint32_t(b[0]) << 16) | (rest > 1 ? std::uint32_t(b[1]) << 8 : 0);
        out[0] = a[v >> 18];
        out[1] = a[(v >> 12) & 63];
        out[2] = rest > 1 ? a[(v >> 6) & 63] : '=';
        out[3] = '=';
    }
}

void LwBinaryDataToText::ToBinary(const std::string& text, std::vector<unsigned char>& bytes, int& count,
                                  bool useStandardAlphabet, bool standardBase64) const
{
    if (standardBase64) {
        ToBinaryBase64(text, bytes, count);
        return;
    }
    ToBinaryHeader(text, bytes, count, useStandardAlphabet ? standardDecode_ : customDecode_);
}

void LwBinaryDataToText::ToBinaryHeader(const std::string& text, std::vector<unsigned char>& bytes,
                                        int& count, const DecodeTable& d) const
{
    const size_t length = text.size();
    if (length % 4 != 0)
        throw LwError("Illigal Data");
    // The count field must be complete before anything is believed of it.
    if (length < kCountDigits)
        throw LwError("Size Error");
    std::uint64_t n = 0;
    for (size_t i = 0; i < kCountDigits; ++i) {
        const int h = HexValue(text[i]);
        if (h < 0)
            throw LwError("Illigal Data");
        n = n * 16 + static_cast<std::uint64_t>(h);
    }
    // The header count must match the groups the text really holds; all in
    // 64-bit so that no count can wrap into agreement.
    const std::uint64_t groupsInText = (length - kCountDigits) / 4;
    if (n > static_cast<std::uint64_t>(INT_MAX) ||
        static_cast<std::uint64_t>(HeaderGroups(static_cast<std::int64_t>(n))) != groupsInText)
        throw LwError("Size Error");

    std::vector<unsigned char> buffer;
    ObtainBuffer(buffer, 3 * groupsInText);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data()) + kCountDigits;
    unsigned char* out = buffer.data();
    for (std::uint64_t g = 0; g < groupsInText; ++g, in += 4, out += 3) {
        const std::uint32_t v = d[in[0]] | (std::uint32_t(d[in[1]]) << 6) | (std::uint32_t(d[in[2]]) << 12) |
                                (std::uint32_t(d[in[3]]) << 18);
        out[0] = static_cast<unsigned char>(v & 0xFF);
        out[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
        out[2] = static_cast<unsigned char>(v >> 16);
    }
    bytes.swap(buffer);
    count = static_cast<int>(n);
}

void LwBinaryDataToText::ToBinaryBase64(const std::string& text, std::vector<unsigned char>& bytes,
                                        int& count) const
{
    const size_t length = text.size();
    if (length % 4 != 0)
        throw LwError("Illigal Data");
    const std::uint64_t total = length / 4 * 3;
    std::uint64_t n = total;
    if (length >= 4) {
        if (text[length - 2] == '=')
            n = total - 2;
        else if (text[length - 1] == '=')
            n = total - 1;
    }
    if (n > static_cast<std::uint64_t>(INT_MAX))
        throw LwError("Size Error");

    std::vector<unsigned char> buffer;
    ObtainBuffer(buffer, total);
    const DecodeTable& d = standardDecode_;  // '=' is outside the alphabet: it decodes as 0
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    unsigned char* out = buffer.data();
    for (std::uint64_t g = 0; g < total / 3; ++g, in += 4, out += 3) {
        const std::uint32_t v = (std::uint32_t(d[in[0]]) << 18) | (std::uint32_t(d[in[1]]) << 12) |
                                (std::uint32_t(d[in[2]]) << 6) | d[in[3]];
        out[0] = static_cast<unsigned char>(v >> 16);
        out[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
        out[2] = static_cast<unsigned char>(v & 0xFF);
    }
    bytes.swap(buffer);
    count = static_cast<int>(n);
}
