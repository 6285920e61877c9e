#include "apps/velmora/app/SimulationSettings.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwWindowUtilities.h"

#include <QDebug>

#include <set>

namespace {

constexpr const char* kIniRack = "velmor";
constexpr std::size_t kElementRows = 6;

}  // namespace

SimulationSettings::SimulationSettings()
{
    DocDiana_.ViewAngle_deg_ = 60.0;
    DocEquidistantCylindrical_.Resolution_deg_ = 1.0;
    DocAzimuthalEquidistant_.Resolution_deg_ = 1.0;
    DocStereoProjection_.ViewAngle_deg_ = 90.0;
    DocCosZ_.PointCount_ = 1024;
    ListElementRow_.resize(kElementRows);
}

SimulationSettings& GetSimulationSettings()
{
    static SimulationSettings settings;
    return settings;
}

QString SimulationSettings::IniFileName() const
{
    return IniFileName_.isEmpty() ? GetIniFileName(".ini") : IniFileName_;
}

void SimulationSettings::ReadIni()
{
    qDebug() << "Read from ini";
    LwQBarnFile file(IniFileName(), "r");
    LoadSave(file, kIniRack);
}

void SimulationSettings::WriteIni()
{
    LwQBarnFile file(IniFileName(), "w");
    LoadSave(file, kIniRack);
    qDebug() << "Write to ini";
    file.Save();
}

bool SimulationSettings::LoadSave(LwBarnXml& document, const std::string& rackName)
{
    if (!document.OpenRack(rackName))
        return false;
    int tab = CurrentMapTabIndex_;
    document.ValueInt("CurrentMapTabIndex_", tab, tab);
    CurrentMapTabIndex_ = tab;
    document.ValueDouble("Temperature_K_", Temperature_K_, Temperature_K_);
    document.ValueBool("IsUseAnomalous_", IsUseAnomalous_, IsUseAnomalous_);
    document.ValueBool("IsUseDebye_", IsUseDebye_, IsUseDebye_);
    document.ValueBool("IsUseUiso_", IsUseUiso_, IsUseUiso_);
    document.ValueVectorDouble("PhotonEnergyList_keV", PhotonEnergyList_keV);
    LoadSaveListElementRow(document, "Anormalous", "i", ListElementRow_);
    // The rows in use hold the latest values of their elements; in read mode
    // they are the only ones an older file holds.
    const bool writing = document.IsWriteMode();
    if (writing)
        RememberElementValues();
    std::vector<ElementRow> values;
    for (const auto& entry : ElementValues_)
        values.push_back(entry.second);
    if (LoadSaveListElementRow(document, "ElementValues", "i", values) && !writing) {
        ElementValues_.clear();
        for (const ElementRow& row : values)
            if (!row.Element.empty())
                ElementValues_.emplace(row.Element, row);
    }
    if (!writing)
        RememberElementValues();
    document.CloseRack(rackName);
    return true;
}

bool LoadSaveElementRow(LwBarnXml& document, const std::string& rackName, ElementRow& row)
{
    if (!document.OpenRack(rackName))
        return false;
    const std::string element = row.Element;
    document.ValueString("Element", row.Element, element);
    document.ValueDouble("F1", row.F1, row.F1);
    document.ValueDouble("F2", row.F2, row.F2);
    document.ValueDouble("Debye_K_", row.Debye_K_, row.Debye_K_);
    document.CloseRack(rackName);
    return true;
}

bool LoadSaveListElementRow(LwBarnXml& document, const std::string& listName, const std::string& itemName,
                            std::vector<ElementRow>& list)
{
    // Read into a list of their own, so that a document that fails part-way
    // leaves the rows held before.
    std::vector<ElementRow> rows;
    if (!document.IsWriteMode()) {
        if (!LoadSaveList(document, listName, itemName, rows,
                          [](ElementRow& row, LwBarnXml& doc, const std::string& name) {
                              return LoadSaveElementRow(doc, name, row);
                          }))
            return false;
        list.swap(rows);
        return true;
    }
    return LoadSaveList(document, listName, itemName, list,
                        [](ElementRow& row, LwBarnXml& doc, const std::string& name) {
                            return LoadSaveElementRow(doc, name, row);
                        });
}

void SimulationSettings::RememberElementValues()
{
    RememberElementValues(ListElementRow_);
}

void SimulationSettings::RememberElementValues(const std::vector<ElementRow>& rows)
{
    std::set<std::string> seen;
    for (const ElementRow& row : rows)
        if (!row.Element.empty() && seen.insert(row.Element).second)
            ElementValues_[row.Element] = row;
}

ElementRow SimulationSettings::ElementValues(const std::string& symbol, int atomicNumber) const
{
    const auto remembered = ElementValues_.find(symbol);
    if (remembered != ElementValues_.end())
        return remembered->second;
    ElementRow row;
    row.Element = symbol;
    const auto listed = Calculation_.DebyeTemperatures.find(atomicNumber);
    if (listed != Calculation_.DebyeTemperatures.end())
        row.Debye_K_ = listed->second;
    return row;
}

void SimulationSettings::BuildElementMap()
{
    HologramCalculation& c = Calculation_;
    c.ElementMap.clear();
    for (const ElementRow& source : ListElementRow_) {
        ElementRow row = source;
        if (row.Element.empty())
            continue;
        if (!IsUseAnomalous_)
            row.F1 = row.F2 = 0;
        if (!IsUseDebye_)
            row.Debye_K_ = 0;
        c.ElementMap.emplace(row.Element, row);
    }
    c.Temperature_K = Temperature_K_;
    c.IsDrawDampingFunction = IsDrawDampingFunction_;
    c.IsNotUseEmitterVibration = IsNotUseEmitterVibration_;
    c.IsUseUiso = IsUseUiso_;
}

LwDocPattern& SimulationSettings::Document(LwProjection projection)
{
    switch (projection.GetKind()) {
    case LwProjection::AzimuthalEquidistant: return DocAzimuthalEquidistant_;
    case LwProjection::EquidistantCylindrical: return DocEquidistantCylindrical_;
    case LwProjection::Gnomonic: return DocDiana_;
    case LwProjection::Stereographic: return DocStereoProjection_;
    case LwProjection::Orthographic: return DocOrthographic_;
    }
    throw LwError("Undefined mapping method");
}
