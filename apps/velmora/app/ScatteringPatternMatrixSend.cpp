#include "apps/velmora/app/ScatteringPatternMatrixSend.h"

#include "core/LwConstants.h"
#include "plugin/LwPluginFuncZyvra.h"

#include <QString>

#include <cstdint>

void SendScatteringPatternMatrix(LwPluginFuncZyvra& client, const LwFloatMatrix& image,
                                 const ScatteringMatrixInputs& in)
{
    const int rn = RadialCount(in);
    const int zn = CosZCount(in);
    const std::string symbol = ScatteringMatrixSymbol(in);
    const double energy_eV = in.Energy_keV * 1000.0;
    const std::int32_t id = client.ImageNewWindow();
    client.ImageSet(id, image);
    LwPluginFuncZyvra::DoubleMap numbers;
    numbers["__Axis.X.Min"] = {in.RMin_A * LwConst::NanometrePerAngstrom};
    numbers["__Axis.X.Max"] = {in.RMax_A * LwConst::NanometrePerAngstrom};
    numbers["__Axis.Y.Min"] = {-1.0};
    numbers["__Axis.Y.Max"] = {1.0};
    numbers["_spattern_hv_eV"] = {energy_eV};
    numbers["_spattern_rmin"] = {in.RMin_A};
    numbers["_spattern_rn"] = {static_cast<double>(rn)};
    numbers["_spattern_rstep"] = {in.RStep_A};
    numbers["_spattern_zn"] = {static_cast<double>(zn)};
    numbers["_spattern_ek"] = {energy_eV};
    numbers["_radial_exponent"] = {in.RadialExponent};
    LwPluginFuncZyvra::StringMap texts;
    texts["__Axis.X.Name"] = {"Atomic distance"};
    texts["__Axis.X.Unit"] = {"nm"};
    texts["__Axis.Y.Name"] = {"z"};
    texts["__Axis.Y.Unit"] = {""};
    texts["Element"] = {symbol};
    client.ImageKeyDoubleSet(id, numbers);
    client.ImageKeyStringSet(id, texts);
    const QString caption = "xfh_spattern_" + QString::fromStdString(symbol) + "_" +
                            QString::number(energy_eV, 'g', 6) + "(eV)" +
                            "RadialExponent=" + QString::number(in.RadialExponent, 'g', 6);
    client.SetCaption(id, caption.toUtf8().toStdString());
    client.UpdateAll();
}
