#include "physics/LwDocScatteringPhaseShift.h"

#include "core/LwBarnXml.h"
#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace {

// Every 20th grid point is enough to look the radial functions up later.
constexpr int kThinStep = 20;

void ThinRows(std::vector<std::vector<double>>& rows, const std::vector<std::size_t>& kept)
{
    for (std::vector<double>& row : rows) {
        std::vector<double> thinned;
        thinned.reserve(kept.size());
        for (std::size_t i : kept)
            if (i < row.size())
                thinned.push_back(row[i]);
        row = std::move(thinned);
    }
}

// Phase shifts (degrees) to t_l = e^{2 i delta_l} - 1.
void BuildTVector(const LwLDoubleMatrix& phaseShift, LwLComplexMatrix& t)
{
    const int n = phaseShift.VectorSize();
    t.Create(n);
    for (int l = 0; l < n; ++l) {
        const LDouble a = phaseShift[l] * LDouble(LwConst::Pi) / 180;
        const LDouble x = a + a;
        t[l] = LComplex(std::cos(x) - 1, std::sin(x));
    }
}

}  // namespace

LwLDoubleMatrix VectorToMatrix(const std::vector<double>& v)
{
    LwLDoubleMatrix m(1, int(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i)
        m(0, int(i)) = v[i];
    return m.Release(true);
}

LwLDoubleMatrix VectorsToMatrix(const std::vector<std::vector<double>>& v)
{
    LwLDoubleMatrix m;
    if (v.empty())
        return m.Release(true);
    const std::size_t columns = v[0].size();
    m.Create(int(columns), int(v.size()));
    for (std::size_t l = 0; l < v.size(); ++l) {
        if (v[l].size() != columns)
            throw LwError("VectorsToMatrix(): the rows differ in length");
        for (std::size_t i = 0; i < columns; ++i)
            m(int(i), int(l)) = v[l][i];
    }
    return m.Release(true);
}

std::vector<double> MatrixToVector(const LwLDoubleMatrix& m)
{
    const int n = m.VectorSize();
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[std::size_t(i)] = double(m[i]);
    return v;
}

std::vector<std::vector<double>> MatrixToVectors(const LwLDoubleMatrix& m)
{
    std::vector<std::vector<double>> v(static_cast<std::size_t>(m.RowSize));
    for (int l = 0; l < m.RowSize; ++l) {
        v[std::size_t(l)].resize(std::size_t(m.ColSize));
        for (int i = 0; i < m.ColSize; ++i)
            v[std::size_t(l)][std::size_t(i)] = double(m(i, l));
    }
    return v;
}

void ThinRadialData(LwRadialEquationRecord& record, int step)
{
    if (step < 1)
        throw LwError("ThinRadialData(): step must be positive");
    const std::size_t n = record.LnX.size();
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < n; i += std::size_t(step))
        kept.push_back(i);
    // The outer radius e^{LnX.back()} bounds the atom: it must survive.
    if (n > 0 && kept.back() != n - 1)
        kept.push_back(n - 1);

    std::vector<double> grid;
    grid.reserve(kept.size());
    for (std::size_t i : kept)
        grid.push_back(record.LnX[i]);
    record.LnX = std::move(grid);
    ThinRows(record.P, kept);
    ThinRows(record.DPDLnX, kept);
    ThinRows(record.L, kept);
    ThinRows(record.DLDLnX, kept);
}

void LoadSaveCalculateScattering(LwRadialEquationRecord& record, LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return;
    LDouble eps = record.EPS_DIFF_EQ_;
    doc.ValueLDouble("EPS_DIFF_EQ_", eps, eps);
    record.EPS_DIFF_EQ_ = double(eps);

    if (doc.IsWriteMode()) {
        // The document gets the thinned tables; the record keeps all points.
        LwRadialEquationRecord thinned;
        const LwRadialEquationRecord* source = &record;
        if (record.ThinOnSave) {
            thinned.LnX = record.LnX;
            thinned.P = record.P;
            thinned.DPDLnX = record.DPDLnX;
            thinned.L = record.L;
            thinned.DLDLnX = record.DLDLnX;
            ThinRadialData(thinned, kThinStep);
            source = &thinned;
        }
        LwLDoubleMatrix m = VectorToMatrix(source->LnX);
        SerializeMatrix(doc, "LnX", m, "t");
        m = VectorsToMatrix(source->P);
        SerializeMatrix(doc, "P", m, "t");
        m = VectorsToMatrix(source->DPDLnX);
        SerializeMatrix(doc, "DPDLnX", m, "t");
        m = VectorsToMatrix(source->L);
        SerializeMatrix(doc, "L", m, "t");
        m = VectorsToMatrix(source->DLDLnX);
        SerializeMatrix(doc, "DLDLnX", m, "t");
    } else {
        // A missing element reads as an empty matrix and empties its field.
        LwLDoubleMatrix lnX, p, dp, l, dl;
        SerializeMatrix(doc, "LnX", lnX, "t");
        SerializeMatrix(doc, "P", p, "t");
        SerializeMatrix(doc, "DPDLnX", dp, "t");
        SerializeMatrix(doc, "L", l, "t");
        SerializeMatrix(doc, "DLDLnX", dl, "t");
        record.LnX = MatrixToVector(lnX);
        record.P = MatrixToVectors(p);
        record.DPDLnX = MatrixToVectors(dp);
        record.L = MatrixToVectors(l);
        record.DLDLnX = MatrixToVectors(dl);
    }
    doc.CloseRack(rackName);
}

bool LwPhaseShiftEntry::LoadSave(LwBarnXml& doc, const std::string& itemName)
{
    if (!doc.OpenRack(itemName))
        return false;
    LDouble ek = Ek_eV;
    doc.ValueLDouble("Ek_eV", ek, 0.0);
    Ek_eV = double(ek);
    doc.ValueString("AtomName", AtomName, "");
    doc.ValueString("AtomElement", AtomElement, "");
    SerializeMatrix(doc, "PhaseShiftValue", PhaseShiftValue, "t");
    doc.OpenRack("AdditionalData");
    doc.ValueString("FileName", FileName, "");
    LoadSaveCalculateScattering(*this, doc, "CalculateScattering");
    doc.CloseRack("AdditionalData");
    doc.CloseRack(itemName);
    if (!doc.IsWriteMode())
        BuildTVector(PhaseShiftValue, TVector);
    return true;
}

bool LoadSaveListScatteringPhaseShift(LwDocScatteringPhaseShift& document, LwBarnXml& doc,
                                      const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    LoadSaveList(doc, "ListScatteringPhaseShift", "i", document.ListScatteringPhaseShift,
                 [](LwPhaseShiftEntry& record, LwBarnXml& d, const std::string& item) {
                     return record.LoadSave(d, item);
                 });
    doc.CloseRack(rackName);
    return true;
}

bool LwDocScatteringPhaseShift::LoadSave(LwBarnXml& doc)
{
    if (!doc.OpenRack("PhaseShiftData"))
        return false;
    LoadSaveListScatteringPhaseShift(*this, doc, "data");
    doc.CloseRack("PhaseShiftData");
    return true;
}
