#include "physics/LwDocFinalState.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "physics/LwLmArrayBarn.h"

#include <cstddef>
#include <string>

bool LwEmitterEntry::LoadSave(LwBarnXml& doc, const std::string& itemName)
{
    if (!doc.OpenRack(itemName))
        return false;
    LDouble ek = Ek;
    doc.ValueLDouble("Ek", ek, 1000.0);
    Ek = double(ek);
    LDouble ratio = Ratio;
    doc.ValueLDouble("Ratio", ratio, 1.0);
    Ratio = double(ratio);
    // A wave that declares coefficients must hold them: refused here, before
    // its array is sized, rather than read as L zeroed coefficients.
    if (doc.IsWriteMode())
        LoadSaveLmComplexArray(doc, "coeff", coeff, "t");
    else
        LoadLmComplexArrayRequiringData(doc, "coeff", coeff);
    doc.ValueBool("IsPlaneWave", IsPlaneWave, IsPlaneWave);
    LDouble beta = PlaneWaveBeta_deg;
    doc.ValueLDouble("PlaneWaveBeta_deg", beta, beta);
    PlaneWaveBeta_deg = double(beta);
    LDouble gamma = PlaneWaveGamma_deg;
    doc.ValueLDouble("PlaneWaveGamma_deg", gamma, gamma);
    PlaneWaveGamma_deg = double(gamma);
    doc.CloseRack(itemName);
    return true;
}

bool LwDocFinalState::LoadSave(std::vector<LwEmitterEntry>& entries, LwBarnXml& doc)
{
    if (!doc.OpenRack("emitted_wave_data"))
        return false;
    LoadSaveListEmitter(entries, doc, "data");
    doc.CloseRack("emitted_wave_data");
    return true;
}

bool LoadSaveListEmitter(std::vector<LwEmitterEntry>& entries, LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    // Reading: an entry that cannot be read is named in the error, counted
    // from 1.
    std::size_t index = 0;
    LoadSaveList(doc, "list_emitter", "i", entries,
                 [&index](LwEmitterEntry& entry, LwBarnXml& d, const std::string& item) {
                     ++index;
                     if (d.IsWriteMode())
                         return entry.LoadSave(d, item);
                     try {
                         return entry.LoadSave(d, item);
                     } catch (const LwError& e) {
                         throw LwError("Emitted wave " + std::to_string(index) + ": " + e.Message());
                     }
                 });
    doc.CloseRack(rackName);
    return true;
}
