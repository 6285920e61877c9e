#include "physics/LwLmArrayBarn.h"

#include "core/LwBinaryDataToText.h"
#include "core/LwError.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {
// Bytes of one coefficient in the binary form: two little-endian doubles.
constexpr int kBytesPerElement = 16;

void PutDouble(double value, unsigned char* out)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int b = 0; b < 8; ++b)
        out[b] = static_cast<unsigned char>(bits >> (8 * b));
}

double GetDouble(const unsigned char* in)
{
    std::uint64_t bits = 0;
    for (int b = 0; b < 8; ++b)
        bits |= static_cast<std::uint64_t>(in[b]) << (8 * b);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void WriteText(LwBarnXml& doc, const LwLmComplexArray& array)
{
    doc.OpenRack("Value");
    for (LwLong l = 0; l < array.GetL(); ++l) {
        doc.OpenRack("l");
        for (LwLong m = -l; m <= l; ++m) {
            doc.OpenRack("m");
            LDouble re = array(l, m).real(), im = array(l, m).imag();
            doc.ValueLDouble("r", re, 0);
            doc.ValueLDouble("i", im, 0);
            doc.CloseRack("m");
        }
        doc.CloseRack("l");
    }
    doc.CloseRack("Value");
}

// What ValueRawString("base64", text, ...) writes, taking the text over
// instead of copying kilobytes of it.
void PutBase64(LwBarnXml& doc, std::string text)
{
    doc.OpenRack("base64");
    doc.CurrentRack()->SetValueText(std::move(text));
    doc.CloseRack();
}

void WriteBinary(LwBarnXml& doc, const LwLmComplexArray& array)
{
    PutBase64(doc, LmComplexArrayBinaryText(array));
}

// The racks are consumed in document order: the n-th "l" and the n-th "m"
// within it are the n-th l and m. A missing "m" rack makes the following
// CloseRack fail with the Barn tag-name error.
void ReadText(LwBarnXml& doc, LwLmComplexArray& array)
{
    for (LwLong l = 0; l < array.GetL(); ++l) {
        doc.OpenRack("l");
        for (LwLong m = -l; m <= l; ++m) {
            doc.OpenRack("m");
            LDouble re = 0, im = 0;
            doc.ValueLDouble("r", re, 0.0);
            doc.ValueLDouble("i", im, 0.0);
            array(l, m) = LComplex(re, im);
            doc.CloseRack("m");
        }
        doc.CloseRack("l");
    }
    doc.CloseRack("Value");
}

// The racks of the current rack ("Value") checked against L without reading
// them, so that the array is never sized beyond what the document holds: the
// first L "l" racks must be there, the l-th with its 2l + 1 "m" racks.
void CheckTextRacks(const LwBarnXml& doc, const std::string& rackName, LwLong L)
{
    LwLong l = 0;
    for (const auto& child : doc.CurrentRack()->Children()) {
        if (l >= L)
            return;
        if (child->GetName() != "l")
            continue;
        LwLong ms = 0;
        for (const auto& m : child->Children())
            ms += m->GetName() == "m" ? 1 : 0;
        if (ms < 2 * l + 1)
            throw LwError("Coefficient array \"" + rackName + "\": Size_l " + std::to_string(L) +
                          " but \"l\" rack " + std::to_string(l) + " holds " + std::to_string(ms) +
                          " \"m\" racks, not " + std::to_string(2 * l + 1));
        ++l;
    }
    if (l < L)
        throw LwError("Coefficient array \"" + rackName + "\": Size_l " + std::to_string(L) +
                      " but the \"Value\" rack holds " + std::to_string(l) + " \"l\" racks");
}

// The declared L, refused before anything is allocated for it when no real
// wave has that many l values.
void CheckDeclaredSize(const std::string& rackName, LwLong L)
{
    if (L < 0 || L > kMaxStoredSize_l)
        throw LwError("Coefficient array \"" + rackName + "\": Size_l " + std::to_string(L) +
                      " is not a number of l values from 0 to " + std::to_string(kMaxStoredSize_l));
}

// Decodes the block and copies it into the array when it holds exactly the
// 16 L^2 bytes of L coefficients; false (array untouched) when it does not.
bool ReadBinary(const std::string& text, LwLong L, LwLmComplexArray& array)
{
    std::vector<unsigned char> bytes;
    int count = 0;
    LwBinaryDataToText().ToBinary(text, bytes, count, true, false);
    const std::int64_t size = static_cast<std::int64_t>(L) * L;
    if (count != size * kBytesPerElement)
        return false;
    array.SetSizeZero(L);
    for (LwLong p = 0; p < array.Size(); ++p)
        array[p] =
            LComplex(GetDouble(&bytes[p * kBytesPerElement]), GetDouble(&bytes[p * kBytesPerElement + 8]));
    return true;
}
}  // namespace

std::string LmComplexArrayBinaryText(const LwLmComplexArray& array)
{
    const LwLong n = array.Size();
    std::vector<unsigned char> bytes(static_cast<std::size_t>(n) * kBytesPerElement);
    for (LwLong p = 0; p < n; ++p) {
        PutDouble(static_cast<double>(array[p].real()), &bytes[p * kBytesPerElement]);
        PutDouble(static_cast<double>(array[p].imag()), &bytes[p * kBytesPerElement + 8]);
    }
    std::string text;
    LwBinaryDataToText().ToText(bytes.data(), static_cast<int>(bytes.size()), text, true, false);
    return text;
}

void SaveLmComplexArrayBinaryText(LwBarnXml& doc, const std::string& rackName, LwLong L, std::string text)
{
    doc.OpenRack(rackName);
    doc.ValueLong("Size_l", L, 0);
    PutBase64(doc, std::move(text));
    doc.CloseRack(rackName);
}

namespace {
// The reading half of LoadSaveLmComplexArray (the rack is open). With
// `requireData`, a declared L >= 1 without a "Value" rack or a "base64"
// block is refused before the array is sized.
bool ReadArray(LwBarnXml& doc, const std::string& rackName, LwLmComplexArray& array, bool requireData)
{
    LwLong L = 0;
    doc.ValueLong("Size_l", L, 0);
    CheckDeclaredSize(rackName, L);
    if (doc.OpenRack("Value")) {
        CheckTextRacks(doc, rackName, L);
        array.SetSizeZero(L);
        ReadText(doc, array);
    } else {
        std::string text;
        if (!doc.ValueRawString("base64", text, "")) {
            if (requireData && L > 0)
                throw LwError("Coefficient array \"" + rackName + "\": Size_l " + std::to_string(L) +
                              " but no coefficients (neither a \"Value\" rack nor a \"base64\" block)");
            array.SetSizeZero(L);
        } else if (!ReadBinary(text, L, array)) {
            array.SetSizeZero(1);
            doc.CloseRack(rackName);
            return false;
        }
    }
    doc.CloseRack(rackName);
    return true;
}
}  // namespace

bool LoadSaveLmComplexArray(LwBarnXml& doc, const std::string& rackName, LwLmComplexArray& array,
                            const std::string& format)
{
    if (!doc.OpenRack(rackName))
        return false;
    if (!doc.IsWriteMode())
        return ReadArray(doc, rackName, array, false);

    LwLong L = array.GetL();
    doc.ValueLong("Size_l", L, 0);
    if (format == "t")
        WriteText(doc, array);
    else if (format == "b")
        WriteBinary(doc, array);
    else
        throw LwError("Write Format Error");
    doc.CloseRack(rackName);
    return true;
}

bool LoadLmComplexArrayRequiringData(LwBarnXml& doc, const std::string& rackName, LwLmComplexArray& array)
{
    if (!doc.OpenRack(rackName))
        return false;
    return ReadArray(doc, rackName, array, true);
}
