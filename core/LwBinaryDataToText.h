#pragma once
// Bytes to printable text and back, so that raw matrix data can stand as the
// value of a Barn element. Three text forms, named by the element that holds
// them:
//
//   "binary"   header form, custom alphabet 0-9 a-z A-Z . -
//   "base64"   header form, RFC 4648 alphabet A-Z a-z 0-9 + /
//   "base64b"  RFC 4648 base64 with "=" padding, no line breaks
//
// Header form: eight lower-case hexadecimal digits holding the byte count n,
// then ceil(n/3) groups (one group when n = 0) of four characters. A group
// packs three bytes as v = b0 + 256 b1 + 65536 b2 (b0 the low byte; bytes past
// the end are 0) and writes the low six bits of v first. This is not standard
// base64: the count leads and the 6-bit groups run in the opposite order.
//
// Decoders accept any character: one outside the alphabet decodes as the
// alphabet's zero character ('A' or '0'), '=' included. They skip no white
// space, so a text with line breaks fails the length tests or decodes shifted.
//
// Flags by element name: "binary" = (false, false), "base64" = (true, false),
// "base64b" = (either, true).

#include <array>
#include <string>
#include <vector>

class LwBinaryDataToText
{
public:
    LwBinaryDataToText();
    virtual ~LwBinaryDataToText() = default;

    // Encodes `count` bytes into `text` (replacing its content). With
    // `standardBase64` set this is ToTextBase64 and `useStandardAlphabet` is
    // not looked at; otherwise the header form in the standard or the custom
    // alphabet. A negative count throws "Size Error".
    void ToText(const void* bytes, int count, std::string& text, bool useStandardAlphabet,
                bool standardBase64) const;
    // RFC 4648 base64 with padding. An empty block gives the empty text.
    void ToTextBase64(const void* bytes, int count, std::string& text) const;

    // Decodes `text`. On success `bytes` holds the decoded groups (a multiple
    // of 3 bytes, the fill of the last group included) and `count` the number
    // of real bytes: the header's count, or for base64b the group bytes less
    // the padding. On failure an LwError is thrown and both outputs are left
    // as they were:
    //   "Illigal Data"  length not a multiple of 4, or a header count field
    //                   that is not eight hexadecimal digits;
    //   "Size Error"    header form shorter than its count field, or a count
    //                   that does not match the number of groups, or a block
    //                   too large for a 32-bit count;
    //   "Memory cannot allocate"  the buffer cannot be obtained.
    void ToBinary(const std::string& text, std::vector<unsigned char>& bytes, int& count,
                  bool useStandardAlphabet, bool standardBase64) const;
    // RFC 4648 decoding ("base64b"). The empty text gives no bytes; "AA=="
    // gives one zero byte.
    void ToBinaryBase64(const std::string& text, std::vector<unsigned char>& bytes, int& count) const;

private:
    using Alphabet = std::array<char, 64>;
    using DecodeTable = std::array<unsigned char, 256>;

    void ToTextHeader(const unsigned char* bytes, int count, std::string& text,
                      const Alphabet& alphabet) const;
    void ToBinaryHeader(const std::string& text, std::vector<unsigned char>& bytes, int& count,
                        const DecodeTable& decode) const;

    Alphabet customAlphabet_;
    DecodeTable customDecode_;
    Alphabet standardAlphabet_;
    DecodeTable standardDecode_;
};
