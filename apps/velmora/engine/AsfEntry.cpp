#include "apps/velmora/engine/AsfEntry.h"

#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"

#include <cmath>
#include <stdexcept>

namespace {

constexpr int kFieldsPerEntry = 12;

// The charge suffixes the ion names carry, tested in this order.
struct ValenceSuffix
{
    const char* text;
    int valence;
};
constexpr ValenceSuffix kValenceSuffixes[] = {
    {"val", -100}, {"1-", -1}, {"1+", 1}, {"2+", 2}, {"3+", 3}, {"4+", 4}, {"5+", 5}, {"6+", 6},
};

}  // namespace

AsfEntry::AsfEntry() : A(4, 0.0), B(4, 0.0) {}

void AsfEntry::SetIon(const std::string& ion, int atomicNumber)
{
    LwAtomName element;
    try {
        element.SetAtomicNumber(atomicNumber);
    } catch (const std::out_of_range&) {
        throw LwError("Illegal atomic number in atomic scattering table: " + IntToString(atomicNumber));
    }
    IonName = ion;
    AtomicNumber = atomicNumber;
    Symbol = element.GetAtomName();
    Valence = 0;
    for (const ValenceSuffix& suffix : kValenceSuffixes) {
        if (ion.find(suffix.text) == std::string::npos)
            continue;
        Valence = suffix.valence;
        if (Valence == -100)
            Symbol = ion;
        break;
    }
}

void LoadAsfTable(AsfEntryList& table, const std::string& text)
{
    std::vector<std::string> lines;
    SplitByDelimiter(lines, text, "\r");
    std::vector<std::string> fields;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        SplitByDelimiter(fields, lines[n], ",");
        if (fields.size() < kFieldsPerEntry)
            continue;
        AsfEntry entry;
        entry.SetIon(fields[1], StringToInt(fields[0]));
        entry.Name = fields[2];
        for (int i = 0; i < 4; ++i) {
            entry.A[i] = StringToDouble(fields[3 + 2 * i]);
            entry.B[i] = StringToDouble(fields[4 + 2 * i]);
        }
        entry.C = StringToDouble(fields[11]);
        table.push_back(entry);
    }
}

double AtomicFormFactor(const AsfEntry& entry, double s)
{
    const double s2 = s * s;
    double f = entry.C;
    for (int i = 0; i < 4; ++i)
        f += entry.A[i] * std::exp(-entry.B[i] * s2);
    return f;
}

int FindAsfEntry(const AsfEntryList& table, int atomicNumber, int valence)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].AtomicNumber == atomicNumber && table[i].Valence == valence)
            return static_cast<int>(i);
    return -1;
}
