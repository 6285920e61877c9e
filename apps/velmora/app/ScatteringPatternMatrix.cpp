#include "apps/velmora/app/ScatteringPatternMatrix.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/velmora/app/SimulationSettings.h"
#include "apps/velmora/engine/AsfEntry.h"

#include <QDebug>
#include <QString>

#include <cmath>

namespace {

constexpr double kMaxRadialCount = 1e6;
constexpr int kMaxDivision = 1 << 16;

std::string SymbolOf(int atomicNumber)
{
    LwAtomName element;
    element.SetAtomicNumber(atomicNumber);
    return element.GetAtomName();
}

}  // namespace

int RadialCount(const ScatteringMatrixInputs& in)
{
    const double n = (in.RMax_A - in.RMin_A) / in.RStep_A + 1.0;
    if (!(in.RStep_A > 0) || !(n >= 1.0) || !(n <= kMaxRadialCount))
        throw LwError("Radial range gives no distance: minimum=" + DoubleToString(in.RMin_A) +
                      " maximum=" + DoubleToString(in.RMax_A) + " step=" + DoubleToString(in.RStep_A));
    return static_cast<int>(n);
}

int CosZCount(const ScatteringMatrixInputs& in)
{
    if (in.Division < 1 || in.Division > kMaxDivision)
        throw LwError("Division along kz is out of range: " + IntToString(in.Division));
    return in.Division * 1024 + 1;
}

LwFloatMatrix CalculateScatteringPatternMatrix(SimulationSettings& settings, const ScatteringMatrixInputs& in)
{
    const int rn = RadialCount(in);
    const int zn = CosZCount(in);
    if (in.AtomicNumber < 1 || in.AtomicNumber > 103)
        throw LwError("Error in element name");
    const std::string symbol = SymbolOf(in.AtomicNumber);

    HologramCalculation& calc = settings.Calculation_;
    int indexOfAsf = 0;
    for (std::size_t i = 0; i < calc.AsfTable.size(); ++i)
        if (calc.AsfTable[i].Symbol == symbol) {
            indexOfAsf = static_cast<int>(i);
            break;
        }
    qDebug() << "IndexOfAsf" << indexOfAsf;

    LwFloatMatrix image(rn, zn);
    LwDocPattern_CosZ& doc = settings.DocCosZ_;
    settings.CurrentDoc_ = &doc;
    doc.PointCount_ = zn;
    doc.InitSphericalMap();
    calc.SetPhotonEnergy_eV(in.Energy_keV * 1000.0);
    doc.SetRecordSelection(1, true);

    LwClusterAtom emitter;
    emitter.Name_ = emitter.Atom_ = symbol;
    LwClusterAtom scatterer = emitter;
    LwCluster pair(1);
    const LwLDoubleMatrix& plane = doc.Grid.Planes[0];
    for (int i = 0; i < rn; ++i) {
        const double r = i * in.RStep_A + in.RMin_A;
        pair[0].clear();
        pair[0].push_back(emitter);
        scatterer.Position_[scatterer.Position_.VectorBegin() + 2] = r * LwConst::Angstrom_m;
        pair[0].push_back(scatterer);
        calc.Run(doc, pair);
        const double w = std::pow(r, in.RadialExponent);
        for (int j = 0; j < zn; ++j)
            image(i, j) = static_cast<float>(w * plane(j + plane.ColBegin, plane.RowBegin));
    }
    return image;
}

void SendScatteringPatternMatrix(LwPluginFuncZyvra& client, const LwFloatMatrix& image,
                                 const ScatteringMatrixInputs& in)
{
    const int rn = RadialCount(in);
    const int zn = CosZCount(in);
    const std::string symbol = SymbolOf(in.AtomicNumber);
    const double energy_eV = in.Energy_keV * 1000.0;
    const std::int32_t id = client.ImageNewWindow();
    client.ImageSet(id, image);
    LwPluginFuncZyvra::DoubleMap numbers;
    numbers["__Axis.X.Min"] = {in.RMin_A * 0.1};
    numbers["__Axis.X.Max"] = {in.RMax_A * 0.1};
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
