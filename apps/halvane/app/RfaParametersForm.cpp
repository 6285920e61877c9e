#include "apps/halvane/app/RfaParametersForm.h"

#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"
#include "apps/halvane/app/RfaSpinBoxes.h"
#include "apps/halvane/engine/RfaParameters.h"

#include "ui_MainWindow.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Every value the form shows, in the exchange order: `number(box, field,
// key)` for the spin boxes, `flag(box, field, key)` for the check boxes.
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
    flag(ui.cbShowTmp, p.IsShowTmp_, "IsShowTmp_");
    number(ui.dsbDipCx, p.McpDipCx_, "McpDipCx_");
    number(ui.dsbDipCy, p.McpDipCy_, "McpDipCy_");
    number(ui.dsbDipR, p.McpDipR_, "McpDipR_");
    number(ui.sbMaskCx, p.MaskCx_, "MaskCx_");
    number(ui.sbMaskCy, p.MaskCy_, "MaskCy_");
    number(ui.sbMaskRx, p.MaskRx_, "MaskRx_");
    number(ui.sbMaskRy, p.MaskRy_, "MaskRy_");
    flag(ui.cbMoveCenter, p.IsMoveCenter_, "IsMoveCenter_");
    flag(ui.cbBgSh, p.IsBgSh_, "IsBgSh_");
    flag(ui.cbBgAz, p.IsBgAz_, "IsBgAz_");
    flag(ui.cbMaskMcpDip, p.IsMaskMcpDip_, "IsMaskMcpDip_");
    flag(ui.cbMaskOutside, p.IsMaskOutside_, "IsMaskOutside_");
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

// The range of a box as its values are compared: in double.
double Low(const QAbstractSpinBox* box)
{
    if (const auto* b = qobject_cast<const QSpinBox*>(box))
        return b->minimum();
    return static_cast<const QDoubleSpinBox*>(box)->minimum();
}

double High(const QAbstractSpinBox* box)
{
    if (const auto* b = qobject_cast<const QSpinBox*>(box))
        return b->maximum();
    return static_cast<const QDoubleSpinBox*>(box)->maximum();
}

std::string OutsideRangeText(const char* key, double value, const QAbstractSpinBox* box)
{
    return "\"" + std::string(key) + "\" = " + NumberText(value) + " lies outside the form's range " +
           NumberText(Low(box)) + " to " + NumberText(High(box));
}

// The name of each box as the form's labels and the refusals call it.
std::string BoxName(const char* key)
{
    static const std::pair<const char*, const char*> names[] = {
        {"Sx_", "Screen Cx"},
        {"Sy_", "Screen Cy"},
        {"Sr_", "Screen R"},
        {"SMargin_", "Screen Margin"},
        {"Size_l_", "Number of l"},
        {"MappingAzThetaMax_deg_", "Max angle"},
        {"Ax_", "Az. BG Cx"},
        {"Ay_", "Az. BG Cy"},
        {"AdjThres_", "Adj Screen: Threshold"},
        {"AdjSize_", "Adj Screen: Search size"},
        {"McpDipCx_", "MCP dip Cx"},
        {"McpDipCy_", "MCP dip Cy"},
        {"McpDipR_", "MCP dip R"},
        {"MaskCx_", "Mask Cx"},
        {"MaskCy_", "Mask Cy"},
        {"MaskRx_", "Mask RadiusX"},
        {"MaskRy_", "Mask RadiusY"},
    };
    for (const auto& [k, name] : names)
        if (std::string(k) == key)
            return name;
    return key;
}

// LwError naming the first box whose text is not taken (RfaBoxRefusal), so
// that no operation runs with a number other than the one typed.
void CheckFormTexts(Ui_MainWindow& form)
{
    RfaParameters unused;
    ForEachFormValue(
        unused, form,
        [](auto* box, auto&, const char* key) {
            const std::string refusal = RfaBoxRefusal(*box, BoxName(key));
            if (!refusal.empty())
                throw LwError(refusal);
        },
        [](QCheckBox*, bool&, const char*) {});
}

void SetField(double& field, double value)
{
    field = value;
}

void SetField(LDouble& field, double value)
{
    field = static_cast<LDouble>(value);
}

void SetField(std::int32_t& field, double value)
{
    field = static_cast<std::int32_t>(value);  // a box bound, always an int
}

}  // namespace

void SaveIni(const RfaParameters& record)
{
    LwQBarnFile doc(GetIniFileNameQString(".ini"), "w");
    RfaParameters copy = record;
    copy.Serialize(doc, "ini");
    doc.Save();
}

void ExchangeWithUi(RfaParameters& record, int toRecord, Ui_MainWindow& form)
{
    const bool in = toRecord != 0;
    if (in)
        CheckFormTexts(form);
    ForEachFormValue(
        record, form,
        [in](auto* box, auto& field, const char*) {
            if (in)
                FromBox(box, field);
            else
                ToBox(box, static_cast<double>(field));
        },
        [in](QCheckBox* box, bool& field, const char*) {
            if (in)
                field = box->isChecked();
            else
                box->setChecked(field);
        });
}

void CheckFitsForm(const RfaParameters& record, const Ui_MainWindow& form)
{
    RfaParameters copy = record;
    ForEachFormValue(
        copy, form,
        [](auto* box, auto& field, const char* key) {
            const double value = static_cast<double>(field);
            if (!(value >= Low(box) && value <= High(box)))
                throw LwError(OutsideRangeText(key, value, box));
        },
        [](QCheckBox*, bool&, const char*) {});
}

std::vector<std::string> BringIntoFormRange(RfaParameters& record, const Ui_MainWindow& form)
{
    RfaParameters defaultsCopy;
    std::vector<double> defaultValues;
    ForEachFormValue(
        defaultsCopy, form,
        [&](auto*, auto& field, const char*) { defaultValues.push_back(static_cast<double>(field)); },
        [](QCheckBox*, bool&, const char*) {});
    std::vector<std::string> replaced;
    std::size_t index = 0;
    ForEachFormValue(
        record, form,
        [&](auto* box, auto& field, const char* key) {
            const double value = static_cast<double>(field);
            const double fallback = defaultValues[index++];
            if (value >= Low(box) && value <= High(box))
                return;
            const double taken = std::isnan(value) ? fallback : std::clamp(value, Low(box), High(box));
            replaced.push_back(OutsideRangeText(key, value, box) + ": " + NumberText(taken) +
                               (std::isnan(value) ? " (the default)" : "") + " is taken instead");
            SetField(field, taken);
        },
        [](QCheckBox*, bool&, const char*) {});
    return replaced;
}

void ShowKeysInForm(const RfaParameters& record, const std::vector<std::string>& keys, Ui_MainWindow& form)
{
    auto held = [&keys](const char* key) { return std::find(keys.begin(), keys.end(), key) != keys.end(); };
    RfaParameters copy = record;
    ForEachFormValue(
        copy, form,
        [&](auto* box, auto& field, const char* key) {
            if (held(key))
                ToBox(box, static_cast<double>(field));
        },
        [&](QCheckBox* box, bool& field, const char* key) {
            if (held(key))
                box->setChecked(field);
        });
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
