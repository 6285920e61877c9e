#include "apps/velmora/engine/ScatteringPatternMatrix.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"
#include "apps/velmora/engine/AsfEntry.h"
#include "apps/velmora/engine/HologramCalculation.h"
#include "apps/velmora/engine/LwDocPatternVelmora.h"

#include <QDebug>

#include <cmath>

namespace {

constexpr double kMaxRadialCount = 1e6;
constexpr int kMaxDivision = 1 << 16;

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

std::string ScatteringMatrixSymbol(const ScatteringMatrixInputs& in)
{
    LwAtomName element;
    element.SetAtomicNumber(in.AtomicNumber);
    return element.GetAtomName();
}

LwFloatMatrix CalculateScatteringPatternMatrix(HologramCalculation& calc, LwDocPattern_CosZ& doc,
                                               const ScatteringMatrixInputs& in)
{
    const int rn = RadialCount(in);
    const int zn = CosZCount(in);
    if (in.AtomicNumber < 1 || in.AtomicNumber > 103)
        throw LwError("Error in element name");
    const std::string symbol = ScatteringMatrixSymbol(in);

    int indexOfAsf = 0;
    for (std::size_t i = 0; i < calc.AsfTable.size(); ++i)
        if (calc.AsfTable[i].Symbol == symbol) {
            indexOfAsf = static_cast<int>(i);
            break;
        }
    qDebug() << "IndexOfAsf" << indexOfAsf;

    LwFloatMatrix image(rn, zn);
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
