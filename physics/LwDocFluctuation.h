#pragma once
// Thermal-vibration settings of a pattern calculation: the sample temperature,
// a Debye temperature per element, and where the atoms' mean-square
// displacement U comes from. Stored in the rack "DocFluctuation" of a ".xml_flu"
// document.
//
// The flags are read in a fixed precedence: IsUseUisoInCluster_ (keep the U
// the atoms carry, no model runs), then IsUseUisoEinsteinModel_, then
// IsUseUisoDebyeModel_; with all three false U stays as the atoms carry it.

#include <string>
#include <vector>

class LwBarnXml;

class LwDocFluctuation
{
public:
    // Reads or writes the settings by the document's mode in the rack
    // "DocFluctuation"; false when the rack is missing (read mode, nothing
    // changed).
    bool LoadSave(LwBarnXml& document);
    // The same in a rack of the given name. In read mode a missing element
    // leaves its field unchanged and a list that is present replaces the
    // field's list; the two lists are read independently of each other.
    bool LoadSaveRack(LwBarnXml& document, const std::string& rackName);

    double Temperature_K_ = 0.0;  // kelvin
    std::vector<std::string> DebyeElement_;  // element symbols ...
    std::vector<double> DebyeTemperature_K_;  // ... and their Debye temperatures (K), same index
    bool IsUseUisoInCluster_ = false;
    bool IsUseUisoEinsteinModel_ = false;
    bool IsUseUisoDebyeModel_ = false;
};
