#include "physics/LwDocFinalState.h"

#include "core/LwBarnXml.h"
#include "physics/LwLmArrayBarn.h"

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
    LoadSaveLmComplexArray(doc, "coeff", coeff, "t");
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
    LoadSaveList(
        doc, "list_emitter", "i", entries,
        [](LwEmitterEntry& entry, LwBarnXml& d, const std::string& item) { return entry.LoadSave(d, item); });
    doc.CloseRack(rackName);
    return true;
}
