#include "apps/halvane/app/RfaParametersForm.h"

#include "core/LwError.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwWindowUtilities.h"
#include "apps/halvane/engine/RfaParameters.h"

#include "ui_MainWindow.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>

namespace {

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
    ForEachFormValue(
        record, form,
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

void CheckFitsForm(const RfaParameters& record, const Ui_MainWindow& form)
{
    RfaParameters copy = record;
    ForEachFormValue(
        copy, form,
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
