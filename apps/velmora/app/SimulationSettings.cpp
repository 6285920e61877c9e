#include "apps/velmora/app/SimulationSettings.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwWindowUtilities.h"

#include <QDebug>

#include <cctype>
#include <charconv>
#include <cmath>
#include <set>
#include <system_error>

namespace {

constexpr const char* kIniRack = "velmor";
constexpr std::size_t kElementRows = 6;

// The whole text (blanks around it aside) as a finite number; false for any
// other text, "nan", "inf" and a number out of the double range among them.
bool ParseFiniteNumber(const std::string& text, double& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(*begin)))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(end[-1])))
        --end;
    if (begin < end && *begin == '+')
        ++begin;
    double parsed = 0;
    const std::from_chars_result r = std::from_chars(begin, end, parsed);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

// Read mode: the number `name` into `value` when it is usable; else `value`
// is left, and `unusable` describes the first such number of the row.
void ReadNumber(LwBarnXml& document, const std::string& name, double& value, bool nonNegative,
                std::string& unusable)
{
    std::string text;
    if (!document.ValueRawString(name, text, std::string()))
        return;
    double parsed = 0;
    std::string problem;
    if (!ParseFiniteNumber(text, parsed))
        problem = name + " \"" + text + "\" is not a finite number";
    else if (nonNegative && parsed < 0)
        problem = name + " \"" + text + "\" is negative";
    else
        value = parsed;
    if (unusable.empty())
        unusable = problem;
}

// "\"ElementValues\" entry 3 (Fe): <problem>".
std::string EntryText(const std::string& list, std::size_t index, const std::string& element,
                      const std::string& problem)
{
    return "\"" + list + "\" entry " + std::to_string(index + 1) + " (" +
           (element.empty() ? std::string("no element") : element) + "): " + problem;
}

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
    const bool writing = document.IsWriteMode();
    if (!writing)
        UnusedIniEntries_.clear();
    // A row with a value that cannot be used is not used at all: its element
    // shows the table's and the default values, as one never given does.
    // The rows of "Anormalous" keep their places (those of the form).
    std::vector<std::string> unusable;
    std::vector<ElementRow> rows = ListElementRow_;
    if (LoadSaveListElementRow(document, "Anormalous", "i", rows, &unusable) && !writing) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!unusable[i].empty()) {
                UnusedIniEntries_.push_back(EntryText("Anormalous", i, rows[i].Element, unusable[i]));
                rows[i] = ElementRow();
            }
        ListElementRow_.swap(rows);
    }
    // The rows in use hold the latest values of their elements; in read mode
    // they are the only ones an older file holds.
    if (writing)
        RememberElementValues();
    std::vector<ElementRow> values;
    for (const auto& entry : ElementValues_)
        values.push_back(entry.second);
    if (LoadSaveListElementRow(document, "ElementValues", "i", values, &unusable) && !writing) {
        ElementValues_.clear();
        for (std::size_t i = 0; i < values.size(); ++i) {
            const ElementRow& row = values[i];
            std::string problem = unusable[i];
            if (problem.empty() && ElementValues_.count(row.Element) != 0)
                problem = "a second entry of " + row.Element;
            if (!problem.empty())
                UnusedIniEntries_.push_back(EntryText("ElementValues", i, row.Element, problem));
            else if (!row.Element.empty())
                ElementValues_.emplace(row.Element, row);
        }
    }
    if (!writing)
        RememberElementValues();
    document.CloseRack(rackName);
    return true;
}

bool LoadSaveElementRow(LwBarnXml& document, const std::string& rackName, ElementRow& row,
                        std::string* unusable)
{
    if (!document.OpenRack(rackName))
        return false;
    const std::string element = row.Element;
    document.ValueString("Element", row.Element, element);
    if (document.IsWriteMode()) {
        document.ValueDouble("F1", row.F1, row.F1);
        document.ValueDouble("F2", row.F2, row.F2);
        document.ValueDouble("Debye_K_", row.Debye_K_, row.Debye_K_);
    } else {
        std::string problem;
        ReadNumber(document, "F1", row.F1, false, problem);
        ReadNumber(document, "F2", row.F2, false, problem);
        ReadNumber(document, "Debye_K_", row.Debye_K_, true, problem);
        if (unusable != nullptr)
            *unusable = problem;
    }
    document.CloseRack(rackName);
    return true;
}

bool LoadSaveListElementRow(LwBarnXml& document, const std::string& listName, const std::string& itemName,
                            std::vector<ElementRow>& list, std::vector<std::string>* unusable)
{
    // Read into lists of their own, so that a document that fails part-way
    // leaves the rows held before.
    std::vector<ElementRow> rows;
    std::vector<std::string> problems;
    if (!document.IsWriteMode()) {
        if (!LoadSaveList(document, listName, itemName, rows,
                          [&problems](ElementRow& row, LwBarnXml& doc, const std::string& name) {
                              std::string problem;
                              if (!LoadSaveElementRow(doc, name, row, &problem))
                                  return false;
                              problems.push_back(problem);
                              return true;
                          }))
            return false;
        list.swap(rows);
        if (unusable != nullptr)
            unusable->swap(problems);
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
