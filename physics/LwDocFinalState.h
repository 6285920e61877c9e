#pragma once
// The emitted-wave document (".xml_emt"): the waves that the emitting atom
// sends out, each with its kinetic energy (eV), its relative weight, and
// either its partial-wave coefficients c_lm about the emitter or the two
// angles (degrees) of a plane wave's direction.
//
// One serializer reads or writes the document by the Barn document's mode:
//   "emitted_wave_data" / "data" / "list_emitter" / one "i" per entry
// with, in each entry, "Ek", "Ratio", "coeff" (text form of the (l,m)
// array), "IsPlaneWave", "PlaneWaveBeta_deg", "PlaneWaveGamma_deg". A
// missing key reads as its default.

#include "physics/LwLmArray.h"

#include <string>
#include <vector>

class LwBarnXml;

class LwEmitterEntry
{
public:
    double Ek = 1000.0;  // kinetic energy, eV
    LwLmComplexArray coeff;  // c_lm of the outgoing wave; L = 0 when none
    double Ratio = 1.0;  // relative weight of this wave
    bool IsPlaneWave = false;
    double PlaneWaveBeta_deg = 0.0;  // direction of the plane wave, degrees
    double PlaneWaveGamma_deg = 0.0;

    // The entry as the rack `itemName`. Reading: false (entry unchanged) when
    // the rack is missing; "Ek" and "Ratio" fall back to 1000 and 1, the
    // other keys keep the entry's values. A "coeff" that declares a Size_l of
    // 1 or more and holds no coefficients throws an LwError before its array
    // is sized (LoadLmComplexArrayRequiringData).
    bool LoadSave(LwBarnXml& doc, const std::string& itemName);
};

class LwDocFinalState
{
public:
    std::vector<LwEmitterEntry> ListEmitter;

    // The whole document on this object's list.
    bool LoadSave(LwBarnXml& doc) { return LoadSave(ListEmitter, doc); }
    // Reading: false (list unchanged) when the root rack "emitted_wave_data"
    // is missing.
    static bool LoadSave(std::vector<LwEmitterEntry>& entries, LwBarnXml& doc);
};

// The rack `rackName` holding "list_emitter". Reading: false when the rack
// is missing; a missing "list_emitter" leaves the list unchanged (true);
// otherwise the list is replaced by the entries read, each starting from the
// defaults of a new entry. An entry that cannot be read stops the reading
// with an LwError "Emitted wave <n>: <what>", counted from 1, so a document
// of many damaged entries costs no more than its first.
bool LoadSaveListEmitter(std::vector<LwEmitterEntry>& entries, LwBarnXml& doc, const std::string& rackName);
