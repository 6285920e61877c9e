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

namespace {

void Double(LwBarnXml& doc, const char* key, double& field)
{
    doc.ValueDouble(key, field, field);
}

void LDoubleValue(LwBarnXml& doc, const char* key, LDouble& field)
{
    doc.ValueLDouble(key, field, field);
}

void Int(LwBarnXml& doc, const char* key, std::int32_t& field)
{
    int value = field;
    doc.ValueInt(key, value, value);
    field = value;
}

void Bool(LwBarnXml& doc, const char* key, bool& field)
{
    doc.ValueBool(key, field, field);
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

}  // namespace

bool RfaParameters::Serialize(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    Double(doc, "Sx_", Sx_);
    Double(doc, "Sy_", Sy_);
    Double(doc, "Sr_", Sr_);
    Int(doc, "SMargin_", SMargin_);
    Bool(doc, "MappingIsGnomonic_", MappingIsGnomonic_);
    Bool(doc, "MappingIsAz_", MappingIsAz_);
    LDoubleValue(doc, "MappingAzThetaMax_deg_", MappingAzThetaMax_deg_);
    Int(doc, "Size_l_", Size_l_);
    Double(doc, "Ax_", Ax_);
    Double(doc, "Ay_", Ay_);
    LDoubleValue(doc, "AdjThres_", AdjThres_);
    Int(doc, "AdjSize_", AdjSize_);
    Bool(doc, "UseAllSphere_", UseAllSphere_);
    Bool(doc, "IsShowTmp_", IsShowTmp_);
    Double(doc, "McpDipCx_", McpDipCx_);
    Double(doc, "McpDipCy_", McpDipCy_);
    Double(doc, "McpDipR_", McpDipR_);
    Double(doc, "MaskCx_", MaskCx_);
    Double(doc, "MaskCy_", MaskCy_);
    Double(doc, "MaskRx_", MaskRx_);
    Double(doc, "MaskRy_", MaskRy_);
    Bool(doc, "IsMoveCenter_", IsMoveCenter_);
    Bool(doc, "IsBgSh_", IsBgSh_);
    Bool(doc, "IsBgAz_", IsBgAz_);
    Bool(doc, "IsMaskMcpDip_", IsMaskMcpDip_);
    Bool(doc, "IsMaskOutside_", IsMaskOutside_);
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

void RfaParameters::ExchangeWithUi(const int& toRecord, Ui_MainWindow* form)
{
    Ui_MainWindow& ui = *form;
    const bool in = toRecord != 0;
    auto dbl = [in](QDoubleSpinBox* box, double& field) {
        if (in)
            field = box->value();
        else
            SetDoubleBox(box, field);
    };
    auto ldbl = [in](QDoubleSpinBox* box, LDouble& field) {
        if (in)
            field = static_cast<LDouble>(box->value());
        else
            SetDoubleBox(box, static_cast<double>(field));
    };
    auto integer = [in](QSpinBox* box, std::int32_t& field) {
        if (in)
            field = box->value();
        else
            SetIntBox(box, field);
    };
    auto truncated = [in](QSpinBox* box, double& field) {
        if (in)
            field = box->value();
        else
            SetIntBox(box, field);
    };
    auto check = [in](QCheckBox* box, bool& field) {
        if (in)
            field = box->isChecked();
        else
            box->setChecked(field);
    };

    dbl(ui.dspSx, Sx_);
    dbl(ui.dspSy, Sy_);
    dbl(ui.dspSr, Sr_);
    integer(ui.spMargin, SMargin_);
    MappingIsAzM2_ = true;
    integer(ui.spSizel, Size_l_);
    ldbl(ui.dspMaxAngle, MappingAzThetaMax_deg_);
    dbl(ui.dsbAx, Ax_);
    dbl(ui.dsbAy, Ay_);
    ldbl(ui.dsbThres, AdjThres_);
    integer(ui.sbAdjSize, AdjSize_);
    check(ui.cbShowTmp, IsShowTmp_);
    dbl(ui.dsbDipCx, McpDipCx_);
    dbl(ui.dsbDipCy, McpDipCy_);
    dbl(ui.dsbDipR, McpDipR_);
    truncated(ui.sbMaskCx, MaskCx_);
    truncated(ui.sbMaskCy, MaskCy_);
    truncated(ui.sbMaskRx, MaskRx_);
    truncated(ui.sbMaskRy, MaskRy_);
    check(ui.cbMoveCenter, IsMoveCenter_);
    check(ui.cbBgSh, IsBgSh_);
    check(ui.cbBgAz, IsBgAz_);
    check(ui.cbMaskMcpDip, IsMaskMcpDip_);
    check(ui.cbMaskOutside, IsMaskOutside_);
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
