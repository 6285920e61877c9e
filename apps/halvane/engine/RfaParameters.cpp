#include "apps/halvane/engine/RfaParameters.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwQBarnFile.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>

namespace {

// Every key of the parameter document with its field, in the document's
// order: `visit(key, field)` with field a double, std::int32_t, bool or
// LDouble reference.
template <class Visit>
void ForEachKey(RfaParameters& p, Visit&& visit)
{
    visit("Sx_", p.Sx_);
    visit("Sy_", p.Sy_);
    visit("Sr_", p.Sr_);
    visit("SMargin_", p.SMargin_);
    visit("MappingIsGnomonic_", p.MappingIsGnomonic_);
    visit("MappingIsAz_", p.MappingIsAz_);
    visit("MappingAzThetaMax_deg_", p.MappingAzThetaMax_deg_);
    visit("Size_l_", p.Size_l_);
    visit("Ax_", p.Ax_);
    visit("Ay_", p.Ay_);
    visit("AdjThres_", p.AdjThres_);
    visit("AdjSize_", p.AdjSize_);
    visit("UseAllSphere_", p.UseAllSphere_);
    visit("IsShowTmp_", p.IsShowTmp_);
    visit("McpDipCx_", p.McpDipCx_);
    visit("McpDipCy_", p.McpDipCy_);
    visit("McpDipR_", p.McpDipR_);
    visit("MaskCx_", p.MaskCx_);
    visit("MaskCy_", p.MaskCy_);
    visit("MaskRx_", p.MaskRx_);
    visit("MaskRy_", p.MaskRy_);
    visit("IsMoveCenter_", p.IsMoveCenter_);
    visit("IsBgSh_", p.IsBgSh_);
    visit("IsBgAz_", p.IsBgAz_);
    visit("IsMaskMcpDip_", p.IsMaskMcpDip_);
    visit("IsMaskOutside_", p.IsMaskOutside_);
}

// The Barn value elements, lenient as the Barn rules read them.
void Value(LwBarnXml& doc, const char* key, double& field)
{
    doc.ValueDouble(key, field, field);
}

void Value(LwBarnXml& doc, const char* key, LDouble& field)
{
    doc.ValueLDouble(key, field, field);
}

void Value(LwBarnXml& doc, const char* key, std::int32_t& field)
{
    int value = field;
    doc.ValueInt(key, value, value);
    field = value;
}

void Value(LwBarnXml& doc, const char* key, bool& field)
{
    doc.ValueBool(key, field, field);
}

// A value text read whole in the classic locale (blanks around it allowed):
// false when the text is not one value of that type or lies beyond it.
template <class T>
bool ReadWhole(const std::string& text, T& value)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> value;
    if (in.fail())
        return false;
    in >> std::ws;
    return in.eof();
}

// The strict reading of one value text into `field`; the reason it cannot
// be read otherwise.
std::string ReadStrict(const std::string& text, double& field)
{
    double value = 0;
    if (!ReadWhole(text, value) || !std::isfinite(value))
        return "is not a finite number";
    field = value;
    return std::string();
}

std::string ReadStrict(const std::string& text, LDouble& field)
{
    // Stored through a double (ValueLDouble), so read as one.
    double value = 0;
    const std::string reason = ReadStrict(text, value);
    if (reason.empty())
        field = static_cast<LDouble>(value);
    return reason;
}

std::string ReadStrict(const std::string& text, std::int32_t& field)
{
    long long value = 0;
    if (!ReadWhole(text, value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return "is not a whole number in the range of int";
    field = static_cast<std::int32_t>(value);
    return std::string();
}

std::string ReadStrict(const std::string& text, bool& field)
{
    if (text != "true" && text != "false")
        return "is neither true nor false";
    field = text == "true";
    return std::string();
}

}  // namespace

bool RfaParameters::Serialize(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    ForEachKey(*this, [&doc](const char* key, auto& field) { Value(doc, key, field); });
    doc.CloseRack(rackName);
    return true;
}

RfaParameters RfaParameters::ReadFile(const QString& path, std::vector<std::string>* keysRead,
                                      std::vector<std::string>* skipped) const
{
    const std::string refused = "The parameter file " + path.toUtf8().toStdString() + " was not loaded: ";
    std::unique_ptr<LwQBarnFile> doc;
    try {
        doc = std::make_unique<LwQBarnFile>(path, "r");
    } catch (const LwError& e) {
        if (e.Message().rfind("Cannot open:", 0) == 0)
            throw;
        throw LwError(refused + e.Message());
    }
    if (doc->HasUnclosedRacks())
        throw LwError(refused + "it is cut short (the rack \"" + doc->UnclosedRackName() +
                      "\" is not closed)");
    if (!doc->OpenRack("ini"))
        throw LwError(refused + "it holds no rack \"ini\"");
    RfaParameters loaded = *this;
    int found = 0;
    ForEachKey(loaded, [&](const char* key, auto& field) {
        std::string text;
        if (!doc->ValueRawString(key, text, std::string()))
            return;
        ++found;
        if (keysRead != nullptr)
            keysRead->push_back(key);
        const std::string reason = ReadStrict(text, field);
        if (reason.empty())
            return;
        const std::string what = "\"" + std::string(key) + "\" holds \"" + text + "\", which " + reason;
        if (skipped == nullptr)
            throw LwError(refused + what);
        skipped->push_back(what);
    });
    if (found == 0)
        throw LwError(refused + "its rack \"ini\" holds none of the parameters");
    return loaded;
}

RfaParameters& GetRfaParameters()
{
    static RfaParameters record;
    return record;
}
