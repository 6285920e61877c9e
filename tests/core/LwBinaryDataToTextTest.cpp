#include "core/LwBinaryDataToText.h"
#include "core/LwError.h"
#include "BinaryTextTable.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using binary_text::Bytes;

struct Form
{
    const char* name;
    bool standardAlphabet;
    bool standardBase64;
};

// Element name -> flags, as the matrix forms use them.
const Form kForms[] = {
    {"binary", false, false},
    {"base64", true, false},
    {"base64b", true, true},
};

const Form& FormNamed(const std::string& name)
{
    for (const Form& f : kForms)
        if (name == f.name)
            return f;
    ADD_FAILURE() << "unknown form " << name;
    return kForms[0];
}

std::string Encode(const Form& f, const Bytes& data)
{
    std::string text = "stale";
    LwBinaryDataToText().ToText(data.data(), static_cast<int>(data.size()), text, f.standardAlphabet,
                                f.standardBase64);
    return text;
}

// Bytes a decoder hands back for a block of n bytes: whole groups of three.
size_t DecodedSize(const Form& f, size_t n)
{
    const size_t groups = (n + 2) / 3;
    return 3 * (!f.standardBase64 && groups == 0 ? 1 : groups);
}

void ExpectDecodes(const Form& f, const std::string& text, const Bytes& data)
{
    Bytes out;
    int count = -1;
    LwBinaryDataToText().ToBinary(text, out, count, f.standardAlphabet, f.standardBase64);
    ASSERT_EQ(count, static_cast<int>(data.size()));
    ASSERT_EQ(out.size(), DecodedSize(f, data.size()));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
    // The fill of the last group is zero.
    for (size_t i = data.size(); i < out.size(); ++i)
        EXPECT_EQ(out[i], 0) << i;
}

}  // namespace

TEST(LwBinaryDataToText, MatchesPythonReferenceTable)
{
    // Reference texts from Python's base64 module and a separate header-form
    // encoder over bytes and struct.pack'ed floats (scripts/make_binary_text_table.py).
    const std::vector<binary_text::Case> rows = binary_text::Load();
    ASSERT_GT(rows.size(), 60u);
    for (const binary_text::Case& r : rows) {
        SCOPED_TRACE(r.form + " " + r.kind + " n=" + std::to_string(r.data.size()));
        const Form& f = FormNamed(r.form);
        EXPECT_EQ(Encode(f, r.data), r.text);
        ExpectDecodes(f, r.text, r.data);
    }
}

TEST(LwBinaryDataToText, RandomBlocksRoundTripInEveryForm)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t n = 0; n < 200; ++n) {
        Bytes data(n);
        for (auto& b : data)
            b = static_cast<unsigned char>(byte(rng));
        for (const Form& f : kForms) {
            SCOPED_TRACE(std::string(f.name) + " n=" + std::to_string(n));
            const std::string text = Encode(f, data);
            // Header forms: 8 count digits and one group at least; base64b:
            // whole groups only.
            const size_t groups = (n + 2) / 3;
            EXPECT_EQ(text.size(), f.standardBase64 ? 4 * groups : 8 + 4 * (groups ? groups : 1));
            ExpectDecodes(f, text, data);
        }
    }
}

TEST(LwBinaryDataToText, StandardBase64Decoding)
{
    const struct
    {
        const char* text;
        Bytes data;
        const char* why;
    } rows[] = {
        {"AA==", {0}, "one zero byte"},
        {"YWJj", {'a', 'b', 'c'}, "no padding"},
        {"YWI=", {'a', 'b'}, "one pad"},
        {"", {}, "empty text, empty block"},
        {"YW*j", {'a', 0x60, '#'}, "'*' is outside the alphabet and decodes as 'A' (YWAj)"},
    };
    const Form& f = FormNamed("base64b");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        ExpectDecodes(f, r.text, r.data);
    }
    // Padding anywhere is read as 'A'; the count follows the last two bytes.
    Bytes out;
    int count = -1;
    LwBinaryDataToText().ToBinaryBase64("====", out, count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(out, Bytes(3, 0));
}

TEST(LwBinaryDataToText, HeaderFormIgnoresForeignCharactersAndAcceptsUpperCaseCount)
{
    const Bytes abc = {'a', 'b', 'c'};
    ExpectDecodes(FormNamed("base64"), "00000003hJ2Y", abc);
    // '*' decodes as the zero character of the alphabet: 'A' or '0'.
    Bytes a, b;
    int ca = 0, cb = 0;
    LwBinaryDataToText codec;
    codec.ToBinary("00000003*J2Y", a, ca, true, false);
    codec.ToBinary("00000003AJ2Y", b, cb, true, false);
    EXPECT_EQ(a, b);
    codec.ToBinary("00000003*9So", a, ca, false, false);
    codec.ToBinary("0000000309So", b, cb, false, false);
    EXPECT_EQ(ca, 3);
    EXPECT_EQ(a, b);
    // Count field in capitals: 10 bytes in four groups.
    Bytes ten(10, 0);
    ExpectDecodes(FormNamed("binary"), "0000000A" + std::string(16, '0'), ten);
}

TEST(LwBinaryDataToText, MalformedTextsFailCleanly)
{
    const struct
    {
        const char* form;
        std::string text;
        const char* error;
        const char* why;
    } rows[] = {
        {"base64", "00000003hJ2Y1", "Illigal Data", "13 characters"},
        {"base64b", "YWJjY", "Illigal Data", "5 characters"},
        {"binary", "00000003x9S", "Illigal Data", "11 characters"},
        {"base64", "", "Size Error", "empty text: no count field"},
        {"base64", "AAAA", "Size Error", "shorter than the count field"},
        {"base64", "00000000", "Size Error", "count without any group"},
        {"base64", "00000004hJ2Y", "Size Error", "count larger than the groups"},
        {"base64", "00000000hJ2YAAAA", "Size Error", "count smaller than the groups"},
        {"binary", "00000003x9Sox9So", "Size Error", "one group too many"},
        {"base64", "ffffffffAAAA", "Size Error", "huge count, one group"},
        {"base64", "7fffffffAAAA", "Size Error", "largest count, one group"},
        {"base64", "80000002AAAA", "Size Error", "count past 32-bit int"},
        {"base64", " 0000003hJ2Y", "Illigal Data", "blank in the count"},
        {"base64", "+0000003hJ2Y", "Illigal Data", "sign in the count"},
        {"base64", "0000003ghJ2Y", "Illigal Data", "non-hex digit in the count"},
        {"binary", "0000 003x9So", "Illigal Data", "blank inside the count"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const Form& f = FormNamed(r.form);
        Bytes out = {7, 7};
        int count = 42;
        try {
            LwBinaryDataToText().ToBinary(r.text, out, count, f.standardAlphabet, f.standardBase64);
            ADD_FAILURE() << "no error for " << r.text;
        } catch (const LwError& e) {
            EXPECT_EQ(e.Message(), r.error);
        }
        // Nothing is handed out on failure.
        EXPECT_EQ(out, (Bytes{7, 7}));
        EXPECT_EQ(count, 42);
    }
}

TEST(LwBinaryDataToText, NegativeCountIsRefused)
{
    std::string text = "kept";
    const unsigned char b = 0;
    for (const Form& f : kForms) {
        SCOPED_TRACE(f.name);
        EXPECT_THROW(LwBinaryDataToText().ToText(&b, -1, text, f.standardAlphabet, f.standardBase64),
                     LwError);
        EXPECT_EQ(text, "kept");
    }
}
