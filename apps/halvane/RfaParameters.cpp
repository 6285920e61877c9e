#include "apps/halvane/RfaParameters.h"

#include "ui_MainWindow.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <locale>
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

// Every value the form shows, in the exchange order: `number(box, field,
// key)` for the spin boxes, `flag(box, field)` for the check boxes.
// MappingIsAzM2_ becomes true between the fourth and the fifth.
template <class Form, class Number, class Flag>
void ForEachFormValue(RfaParameters& p, Form& ui, Number&& number, Flag&& flag)
{
    number(ui.dspSx, p.Sx_, "Sx_");
    number(ui.dspSy, p.Sy_, "Sy_");
    number(ui.dspSr, p.Sr_, "Sr_");
    number(ui.spMargin, p.SMargin_, "SMargin_");
    p.MappingIsAzM2_ = true;
    number(ui.spSizel, p.Size_l_, "Size_l_");
    number(ui.dspMaxAngle, p.MappingAzThetaMax_deg_, "MappingAzThetaMax_deg_");
    number(ui.dsbAx, p.Ax_, "Ax_");
    number(ui.dsbAy, p.Ay_, "Ay_");
    number(ui.dsbThres, p.AdjThres_, "AdjThres_");
    number(ui.sbAdjSize, p.AdjSize_, "AdjSize_");
    flag(ui.cbShowTmp, p.IsShowTmp_);
    number(ui.dsbDipCx, p.McpDipCx_, "McpDipCx_");
    number(ui.dsbDipCy, p.McpDipCy_, "McpDipCy_");
    number(ui.dsbDipR, p.McpDipR_, "McpDipR_");
    number(ui.sbMaskCx, p.MaskCx_, "MaskCx_");
    number(ui.sbMaskCy, p.MaskCy_, "MaskCy_");
    number(ui.sbMaskRx, p.MaskRx_, "MaskRx_");
    number(ui.sbMaskRy, p.MaskRy_, "MaskRy_");
    flag(ui.cbMoveCenter, p.IsMoveCenter_);
    flag(ui.cbBgSh, p.IsBgSh_);
    flag(ui.cbBgAz, p.IsBgAz_);
    flag(ui.cbMaskMcpDip, p.IsMaskMcpDip_);
    flag(ui.cbMaskOutside, p.IsMaskOutside_);
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

// Record to an integer spin box: the value truncated toward zero, brought
// into the box's range first (in double, so that a huge value never meets
// the conversion to int).
void SetIntBox(QSpinBox* box, double value)
{
    const double clamped = std::isnan(value) ? static_cast<double>(box->minimum())
                                             : std::clamp(value, static_cast<double>(box->minimum()),
                                                          static_cast<double>(box->maximum()));
    box->setValue(static_cast<int>(std::trunc(clamped)));
}

// Record to a double spin box; the box rounds to its decimals and clamps.
void SetDoubleBox(QDoubleSpinBox* box, double value)
{
    box->setValue(std::isnan(value) ? box->minimum() : value);
}

void ToBox(QDoubleSpinBox* box, double field)
{
    SetDoubleBox(box, field);
}

void ToBox(QSpinBox* box, double field)
{
    SetIntBox(box, field);
}

void FromBox(QDoubleSpinBox* box, double& field)
{
    field = box->value();
}

void FromBox(QDoubleSpinBox* box, LDouble& field)
{
    field = static_cast<LDouble>(box->value());
}

void FromBox(QSpinBox* box, double& field)
{
    field = box->value();
}

void FromBox(QSpinBox* box, std::int32_t& field)
{
    field = box->value();
}

std::string NumberText(double value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::setprecision(10) << value;
    return out.str();
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

void RfaParameters::SaveIni() const
{
    LwQBarnFile doc(GetIniFileNameQString(".ini"), "w");
    RfaParameters copy = *this;
    copy.Serialize(doc, "ini");
    doc.Save();
}

RfaParameters RfaParameters::ReadFile(const QString& path) const
{
    const std::string refused = "The parameter file " + QStringToStdString(path) + " was not loaded: ";
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
        const std::string reason = ReadStrict(text, field);
        if (!reason.empty())
            throw LwError(refused + "\"" + key + "\" holds \"" + text + "\", which " + reason);
    });
    if (found == 0)
        throw LwError(refused + "its rack \"ini\" holds none of the parameters");
    return loaded;
}

void RfaParameters::ExchangeWithUi(const int& toRecord, Ui_MainWindow* form)
{
    const bool in = toRecord != 0;
    ForEachFormValue(
        *this, *form,
        [in](auto* box, auto& field, const char*) {
            if (in)
                FromBox(box, field);
            else
                ToBox(box, static_cast<double>(field));
        },
        [in](QCheckBox* box, bool& field) {
            if (in)
                field = box->isChecked();
            else
                box->setChecked(field);
        });
}

void RfaParameters::CheckFitsForm(const Ui_MainWindow* form) const
{
    RfaParameters copy = *this;
    ForEachFormValue(
        copy, *form,
        [](auto* box, auto& field, const char* key) {
            const double value = static_cast<double>(field);
            const double low = static_cast<double>(box->minimum());
            const double high = static_cast<double>(box->maximum());
            if (!(value >= low && value <= high))
                throw LwError("\"" + std::string(key) + "\" = " + NumberText(value) +
                              " lies outside the form's range " + NumberText(low) + " to " +
                              NumberText(high));
        },
        [](QCheckBox*, bool&) {});
}

RfaParameters& GetRfaParameters()
{
    static RfaParameters record;
    return record;
}

QString GetIniFileNameQString(const QString& extension)
{
    try {
        return GetIniFileName(extension);
    } catch (...) {
        qDebug() << "Error@GetIniFileNameQString";
        throw;
    }
}

void WriteFilePathIni(const QString& chosenPath)
{
    StoreLastDirectory(chosenPath);
}

QString GetSaveFileNameQString(QWidget* parent, const QString& caption, const QString& filter,
                               const QString& defaultPath)
{
    return SelectSaveFileNameQString(parent, caption, filter, defaultPath);
}
