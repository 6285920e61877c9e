#pragma once
// The atomic scattering factor table of velmora: one AsfEntry per element,
// ion or valence-electron entry, read from "velmora_AtomicScatteringTable.csv".
//
// f0(s) = C + sum_i A[i] exp(-B[i] s^2), s = sin(theta/2) / lambda in
// 1/Angstrom (theta the scattering angle), f0 in electrons.
//
// The table is filled once at start and only read afterwards; reading it
// from several threads at once is safe.

#include <string>
#include <vector>

class AsfEntry
{
public:
    // A and B four zeros each, everything else 0 or empty.
    AsfEntry();

    // IonName = ion, AtomicNumber = Z, Symbol = the element symbol of Z,
    // Valence from the ion name: the first of "val" (Symbol becomes the whole
    // ion name, Valence -100), "1-" (-1), "1+" (1), "2+" ... "6+" found
    // anywhere in it decides; none of them gives 0 (so "O2-" is 0).
    // LwError "Illegal atomic number in atomic scattering table: " Z for a Z
    // outside 0..103; the entry is then unchanged.
    void SetIon(const std::string& ion, int atomicNumber);

    std::vector<double> A;  // a1 .. a4
    std::vector<double> B;  // b1 .. b4, square Angstrom
    double C = 0;
    int AtomicNumber = 0;
    std::string IonName;  // as written in the file, e.g. "Fe2+", "Cl1-", "Cval"
    std::string Symbol;  // element symbol of AtomicNumber; the ion name for "val" entries
    int Valence = 0;
    std::string Name;  // third column of the file
};

using AsfEntryList = std::vector<AsfEntry>;

// Appends the entries of the CSV text. Lines end at CR (an LF after it is
// skipped as white space by the number reading); the first line is a header.
// A line of at least 12 comma-separated fields (empty fields count) is one
// entry: Z, ion name, name, a1, b1, a2, b2, a3, b3, a4, b4, c; shorter lines
// are passed over, so a text with LF line ends alone yields nothing. Numbers
// that do not parse read as 0. Throws SetIon's LwError for a bad Z; the
// entries before that line stay appended.
void LoadAsfTable(AsfEntryList& table, const std::string& text);

// f0(s), the Gaussians added onto C in the order i = 1, 2, 3, 4.
double AtomicFormFactor(const AsfEntry& entry, double s);

// Index of the first entry, in table order, with this atomic number and
// valence; -1 when there is none.
int FindAsfEntry(const AsfEntryList& table, int atomicNumber, int valence);
