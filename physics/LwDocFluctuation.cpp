#include "physics/LwDocFluctuation.h"

#include "core/LwBarnXml.h"
#include "core/LwTypes.h"

bool LwDocFluctuation::LoadSave(LwBarnXml& document)
{
    return LoadSaveRack(document, "DocFluctuation");
}

bool LwDocFluctuation::LoadSaveRack(LwBarnXml& document, const std::string& rackName)
{
    if (!document.OpenRack(rackName))
        return false;
    // The temperature is stored as a long double element (six significant digits).
    LDouble temperature = Temperature_K_;
    document.ValueLDouble("Temperature_K_", temperature, temperature);
    Temperature_K_ = static_cast<double>(temperature);
    document.ValueVectorString("DebyeElement_", DebyeElement_);
    document.ValueVectorDouble("DebyeTemperature_K_", DebyeTemperature_K_);
    document.ValueBool("IsUseUisoInCluster_", IsUseUisoInCluster_, IsUseUisoInCluster_);
    document.ValueBool("IsUseUisoEinsteinModel_", IsUseUisoEinsteinModel_, IsUseUisoEinsteinModel_);
    document.ValueBool("IsUseUisoDebyeModel_", IsUseUisoDebyeModel_, IsUseUisoDebyeModel_);
    document.CloseRack(rackName);
    return true;
}
