#pragma once
// Element symbol <-> atomic number for Z = 0 to 103.
//
// Entry 0 of the symbol table is the empty text, entries 1 to 103 the IUPAC
// symbols from "H" to "Lr". Symbols are matched exactly: case-sensitive and
// untrimmed, so "fe", "FE" or " Fe" are no element. Users construct an
// object, call SetAtomName and read GetAtomicNumber.

#include "core/LwTypes.h"

#include <string>
#include <vector>

class LwAtomName
{
public:
    virtual ~LwAtomName() = default;

    // Stores Z and the table's symbol for it. Z outside 0..103 throws
    // std::out_of_range and leaves the object unchanged.
    virtual void SetAtomicNumber(int atomicNumber);
    // Looks the symbol up and calls SetAtomicNumber with its index; an unknown
    // symbol throws LwError "Error in element name" and changes nothing. The
    // empty text is entry 0.
    void SetAtomName(const std::string& symbol);

    int GetAtomicNumber() const { return atomicNumber_; }
    const std::string& GetAtomName() const { return symbol_; }

    // The 104 entries of the table, index = atomic number.
    static void MakeSymbolTable(std::vector<std::string>& table);

private:
    LwLong atomicNumber_ = 0;
    std::string symbol_;
};
