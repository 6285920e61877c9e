#pragma once
// The scattering-pattern set of the hologram reconstruction: for every energy
// and every element a table that ties a real-space grid point to a k-space
// direction, sampled over the point's distance r from the origin and over the
// cosine of the angle between the point's direction and the k-space
// direction. Energy i of the set belongs to k-space item i (by position).
//
// A stored pattern is an LwFloatMatrix with begins 0 and Z_N rows: column c
// is the radius r = R_Min + c R_Step (metres), row j the cosine j / ZH - 1
// with ZH = Z_N / 2 (integer division), so an odd Z_N puts the cosine 1 on
// the last row. It has R_N columns (one pattern for both transforms) or
// 2 R_N (columns 0 .. R_N - 1 the forward pattern, R_N .. 2 R_N - 1 the
// back-projection pattern).
//
// InitTransposed turns every pattern into transposed tables (Z_N columns,
// R_N rows), so that the Z_N cosine samples of one radius lie next to each
// other in storage: element (j, ir) of a table is element (ir, j) of its
// pattern.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <string>
#include <vector>

class LwBarnXml;

// n columns and m rows of `source` from (firstCol, firstRow) on, as a new
// matrix with begins 0, flagged FastReturn. The far corner is checked before
// anything is allocated: a block reaching outside the source throws the
// family's range error ("Matrix over range. access=(" ...); a negative n or m
// throws "matrix creation Parameter Error".
LwFloatMatrix SubMatrix(const LwFloatMatrix& source, int firstCol, int firstRow, int n, int m);

class LwScatteringPattern
{
public:
    // Reads or writes the set in the rack "ScatteringPatternMatrix03" by the
    // document's mode; false when that rack is missing (read mode). Throws
    // "Err: file is old?" when the rack holds no "ListPatternMatrix02" (an
    // older layout). Reading replaces the energies, patterns and element
    // names; element names are kept from the first energy only. Writing takes
    // the name of each element by its position (empty beyond the name list).
    bool LoadSave(LwBarnXml& doc);

    // Rebuilds both table lists from the patterns. Throws "ERROR on
    // LwScatteringPattern::InitTransposed()::MatrixSize Error" for a pattern
    // of neither R_N nor 2 R_N columns (the tables of the earlier energies
    // stay, those of the current energy are dropped), and the range error of
    // SubMatrix for a double-width pattern of fewer than Z_N rows.
    void InitTransposed();

    LwLong Z_N_ = 0;  // "Z_N": cosine samples per radius
    float R_Min_ = 0.0f;  // "R_Min": first radius sample, m
    float R_Step_ = 1.0f;  // "R_Step": radius step, m
    LwLong R_N_ = 0;  // "R_N": radius samples
    std::vector<std::vector<LwFloatMatrix>> Pattern_;  // "Pattern" per energy, one per element
    std::vector<std::vector<LwFloatMatrix>> Forward_;  // forward tables; not stored
    std::vector<std::vector<LwFloatMatrix>> Back_;  // back-projection tables; not stored
    std::vector<float> Ek_eV_;  // "Ek_eV": energy of each entry, eV
    std::vector<std::string> Element_;  // "element": name of each element
};
