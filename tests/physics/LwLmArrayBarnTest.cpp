// The Barn forms of a complex (l,m) array: text and base64, written and read
// back through a document text.
#include "core/LwBinaryDataToText.h"
#include "physics/LwLmArrayBarn.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {
// The text a file writer would write for a write-mode document.
std::string WrittenText(const LwBarnXml& doc)
{
    std::string out;
    LwBarnXml::WriteRackText(*doc.Root()->Children().front(),
                             [&out](std::string_view piece) { out.append(piece); });
    return out;
}

std::unique_ptr<LwBarnXml> Parse(const std::string& text)
{
    auto doc = std::make_unique<LwBarnXml>("r");
    doc->SetDocumentText(text);
    doc->AnalyzeTagStructure();
    return doc;
}

// Writes `a` inside a rack "doc" and returns the text.
std::string Write(LwLmComplexArray& a, const std::string& format)
{
    LwBarnXml doc("w");
    doc.OpenRack("doc");
    EXPECT_TRUE(LoadSaveLmComplexArray(doc, "coeff", a, format));
    doc.CloseRack("doc");
    return WrittenText(doc);
}

// Reads the rack "coeff" of a text written by Write.
bool Read(const std::string& text, LwLmComplexArray& a)
{
    auto doc = Parse(text);
    doc->OpenRack("doc");
    const bool found = LoadSaveLmComplexArray(*doc, "coeff", a, "ignored on reading");
    doc->CloseRack("doc");
    return found;
}

LwLmComplexArray Sample(LwLong L)
{
    LwLmComplexArray a;
    a.SetSize(L);
    for (LwLong l = 0; l < L; ++l)
        for (LwLong m = -l; m <= l; ++m)
            a(l, m) = LComplex(1.0 / 3.0 + l - 0.25 * m, -2.0e-7 * (m + 1) / 7.0);
    return a;
}
}  // namespace

TEST(LwLmArrayBarn, BinaryFormRoundTripsBitForBit)
{
    for (LwLong L : {0, 1, 4, 9}) {
        SCOPED_TRACE("L=" + std::to_string(L));
        LwLmComplexArray a = Sample(L);
        const std::string text = Write(a, "b");
        EXPECT_EQ(text.find("<Value>"), std::string::npos);
        LwLmComplexArray back;
        ASSERT_TRUE(Read(text, back));
        ASSERT_EQ(back.GetL(), L);
        for (LwLong p = 0; p < a.Size(); ++p)
            EXPECT_EQ(back[p], a[p]) << "position " << p;
    }
}

TEST(LwLmArrayBarn, BinaryFormHoldsLittleEndianDoublesInPositionOrder)
{
    // Decoded independently: 16 bytes per element, real part first.
    LwLmComplexArray a = Sample(2);
    const std::string text = Write(a, "b");
    EXPECT_NE(text.find("<Size_l>2</Size_l>"), std::string::npos) << text;
    const std::string open = "<base64>", close = "</base64>";
    const std::size_t from = text.find(open) + open.size();
    const std::string block = text.substr(from, text.find(close) - from);
    EXPECT_EQ(block.substr(0, 8), "00000040");  // 64 bytes
    std::vector<unsigned char> bytes;
    int count = 0;
    LwBinaryDataToText().ToBinary(block, bytes, count, true, false);
    ASSERT_EQ(count, 64);
    for (LwLong p = 0; p < 4; ++p) {
        double re, im;
        std::memcpy(&re, &bytes[16 * p], 8);  // the test machine is little-endian
        std::memcpy(&im, &bytes[16 * p + 8], 8);
        EXPECT_EQ(re, static_cast<double>(a[p].real()));
        EXPECT_EQ(im, static_cast<double>(a[p].imag()));
    }
}

TEST(LwLmArrayBarn, TextFormKeepsSixSignificantDigits)
{
    LwLmComplexArray a = Sample(3);
    const std::string text = Write(a, "t");
    EXPECT_NE(text.find("<Value><l><m><r>0.333333</r>\n<i>-2.85714e-08</i>\n</m>\n</l>\n<l><m>"),
              std::string::npos)
        << text;
    LwLmComplexArray back;
    ASSERT_TRUE(Read(text, back));
    ASSERT_EQ(back.GetL(), 3);
    // Half a unit of the sixth significant digit, at most 5e-6 relative.
    for (LwLong p = 0; p < a.Size(); ++p) {
        EXPECT_NEAR(back[p].real(), a[p].real(), 5e-6 * std::abs(a[p].real())) << "position " << p;
        EXPECT_NEAR(back[p].imag(), a[p].imag(), 5e-6 * std::abs(a[p].imag())) << "position " << p;
    }
}

TEST(LwLmArrayBarn, EmptyArrayInTextForm)
{
    LwLmComplexArray a;
    const std::string text = Write(a, "t");
    EXPECT_NE(text.find("<Size_l>0</Size_l>\n<Value></Value>\n</coeff>"), std::string::npos) << text;
    LwLmComplexArray back = Sample(2);
    ASSERT_TRUE(Read(text, back));
    EXPECT_EQ(back.GetL(), 0);
}

TEST(LwLmArrayBarn, UnknownWriteFormatFailsAfterTheSize)
{
    LwBarnXml doc("w");
    LwLmComplexArray a = Sample(2);
    EXPECT_EQ(ErrorText([&] { LoadSaveLmComplexArray(doc, "coeff", a, "x"); }), "Write Format Error");
    EXPECT_EQ(doc.CurrentRack()->Children().size(), 1u);  // "Size_l" only
}

TEST(LwLmArrayBarn, MissingRackLeavesTheArray)
{
    auto doc = Parse("<other>1</other>");
    LwLmComplexArray a = Sample(2);
    EXPECT_FALSE(LoadSaveLmComplexArray(*doc, "coeff", a, "b"));
    EXPECT_EQ(a.GetL(), 2);
    EXPECT_EQ(a(1, 1), Sample(2)(1, 1));
}

TEST(LwLmArrayBarn, BinaryBlockOfTheWrongLengthGivesOneZeroCoefficient)
{
    LwLmComplexArray a = Sample(2);
    std::string text = Write(a, "b");
    const std::size_t at = text.find("<Size_l>2<");
    text.replace(at, 10, "<Size_l>3<");
    LwLmComplexArray back;
    EXPECT_FALSE(Read(text, back));
    ASSERT_EQ(back.GetL(), 1);
    EXPECT_EQ(back(0, 0), LComplex(0, 0));
}

TEST(LwLmArrayBarn, NoBlockGivesZeroCoefficients)
{
    LwLmComplexArray back = Sample(1);
    EXPECT_TRUE(Read("<doc><coeff><Size_l>2</Size_l></coeff></doc>", back));
    ASSERT_EQ(back.GetL(), 2);
    for (LwLong p = 0; p < 4; ++p)
        EXPECT_EQ(back[p], LComplex(0, 0));
}

TEST(LwLmArrayBarn, TextFormWithTooFewRacksFails)
{
    // Too few "l" racks, or too few "m" racks in an "l" rack, are counted
    // before the array is sized.
    const std::string fewL =
        "<doc><coeff><Size_l>2</Size_l><Value><l><m><r>1</r><i>2</i></m></l></Value></coeff></doc>";
    LwLmComplexArray back;
    EXPECT_EQ(ErrorText([&] { Read(fewL, back); }),
              "Coefficient array \"coeff\": Size_l 2 but the \"Value\" rack holds 1 \"l\" racks");
    const std::string fewM =
        "<doc><coeff><Size_l>2</Size_l><Value><l><m><r>1</r></m></l><l><m><r>1</r></m></l>"
        "</Value></coeff></doc>";
    EXPECT_EQ(ErrorText([&] { Read(fewM, back); }),
              "Coefficient array \"coeff\": Size_l 2 but \"l\" rack 1 holds 1 \"m\" racks, not 3");
}

// A declared size is refused before anything is allocated for it when no
// wave has that many l values or the document does not hold the data. The
// largest 32-bit size would ask for 16 (2^31 - 1)^2 bytes.
TEST(LwLmArrayBarn, DeclaredSizesBeyondTheDataAreRefusedBeforeAllocating)
{
    std::string emptyLRacks;
    for (int l = 0; l < 1000; ++l)
        emptyLRacks += "<l></l>";
    const struct
    {
        std::string text;
        const char* error;
    } rows[] = {
        {"<doc><coeff><Size_l>12000</Size_l></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 12000 is not a number of l values from 0 to 1000"},
        {"<doc><coeff><Size_l>2147483647</Size_l><Value><l></l></Value></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 2147483647 is not a number of l values from 0 to 1000"},
        {"<doc><coeff><Size_l>1001</Size_l><base64>00000000AAAA</base64></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 1001 is not a number of l values from 0 to 1000"},
        {"<doc><coeff><Size_l>-1</Size_l></coeff></doc>",
         "Coefficient array \"coeff\": Size_l -1 is not a number of l values from 0 to 1000"},
        {"<doc><coeff><Size_l>1000</Size_l><Value><l><m></m></l></Value></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 1000 but the \"Value\" rack holds 1 \"l\" racks"},
        {"<doc><coeff><Size_l>1000</Size_l><Value>" + emptyLRacks + "</Value></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 1000 but \"l\" rack 0 holds 0 \"m\" racks, not 1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        LwLmComplexArray back = Sample(2);
        EXPECT_EQ(ErrorText([&] { Read(row.text, back); }), row.error);
    }
}

// The reader that requires data: a declared size without a "Value" rack or a
// "base64" block is refused before the array is sized (it keeps its old
// coefficients); whatever holds data, or declares none, reads as
// LoadSaveLmComplexArray reads it.
TEST(LwLmArrayBarn, ReadingThatRequiresDataRefusesADeclaredSizeWithoutData)
{
    LwLmComplexArray two = Sample(2);
    const struct
    {
        std::string text;
        const char* error;
        LwLong L;  // after reading
    } rows[] = {
        {"<doc><coeff><Size_l>1000</Size_l></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 1000 but no coefficients (neither a \"Value\" rack nor a "
         "\"base64\" block)",
         3},
        {"<doc><coeff><Size_l>1</Size_l><Ratio>1</Ratio></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 1 but no coefficients (neither a \"Value\" rack nor a "
         "\"base64\" block)",
         3},
        {"<doc><coeff><Size_l>12000</Size_l></coeff></doc>",
         "Coefficient array \"coeff\": Size_l 12000 is not a number of l values from 0 to 1000", 3},
        {"<doc><coeff><Size_l>0</Size_l></coeff></doc>", "(no error)", 0},
        {"<doc><coeff></coeff></doc>", "(no error)", 0},
        {"<doc></doc>", "(no error)", 3},
        {Write(two, "t"), "(no error)", 2},
        {Write(two, "b"), "(no error)", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        LwLmComplexArray back = Sample(3);
        EXPECT_EQ(ErrorText([&] {
                      auto doc = Parse(row.text);
                      doc->OpenRack("doc");
                      LoadLmComplexArrayRequiringData(*doc, "coeff", back);
                  }),
                  row.error);
        ASSERT_EQ(back.GetL(), row.L);
        if (row.text.find("base64") != std::string::npos) {
            EXPECT_EQ(back(1, -1), two(1, -1));  // bit for bit
        }
    }
}

// The largest accepted size still reads, from either form.
TEST(LwLmArrayBarn, LargestDeclaredSizeReads)
{
    LwLmComplexArray a = Sample(kMaxStoredSize_l);
    LwLmComplexArray back;
    ASSERT_TRUE(Read(Write(a, "b"), back));
    ASSERT_EQ(back.GetL(), kMaxStoredSize_l);
    EXPECT_EQ(back(kMaxStoredSize_l - 1, -3), a(kMaxStoredSize_l - 1, -3));
}

// A binary text made beforehand (as on a worker thread) and written with its
// L gives the same document as the array written in binary form directly.
TEST(LwLmArrayBarn, BinaryTextMadeBeforehandWritesTheSameDocument)
{
    for (LwLong L : {0, 1, 5}) {
        SCOPED_TRACE("L=" + std::to_string(L));
        LwLmComplexArray a = Sample(L);
        LwBarnXml doc("w");
        doc.OpenRack("doc");
        std::string text = LmComplexArrayBinaryText(a);
        SaveLmComplexArrayBinaryText(doc, "coeff", a.GetL(), text);
        doc.CloseRack("doc");
        const std::string written = WrittenText(doc);
        EXPECT_EQ(written, Write(a, "b"));
        LwLmComplexArray back;
        ASSERT_TRUE(Read(written, back));
        ASSERT_EQ(back.GetL(), L);
        for (LwLong p = 0; p < a.Size(); ++p)
            EXPECT_EQ(back[p], a[p]) << "position " << p;
    }
}
