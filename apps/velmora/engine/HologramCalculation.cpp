// Set-up of the scatterers, for each checked structure j and each atom:
//   r = |position|; atoms beyond a non-zero cluster-size limit are skipped;
//   Z from the element symbol, valence = the valency truncated toward zero;
//   the table entry of (Z, valence), else of (Z, 0);
//   for an element of ElementMap: f1, f2 and the Debye-model U at
//   Temperature_K with the element's Debye temperature and the atomic weight
//   AtomicWeights[Z] (U = 0 for a Debye temperature of 0); with IsUseUiso an
//   isotropic (1 x 1) U of the cluster replaces it.
// Unless IsNotUseEmitterVibration is set, the nearest atom must lie exactly at
// the origin (the emitter); its U is added to every atom's U and its own set
// to 0, so that each term is damped by the relative displacement of emitter
// and scatterer. The emitter (r = 0) contributes no term.

#include "apps/velmora/engine/HologramCalculation.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwParallelErrors.h"
#include "core/TextUtilities.h"
#include "pattern/LwDocPattern.h"
#include "physics/LwAtomName.h"
#include "physics/LwDebye.h"

#include <QDebug>

#include <omp.h>

#include <cmath>
#include <cstdint>

// The prepared atoms of all checked structures in summation order (structure
// by structure, each by increasing r), the emitter left out, one array per
// quantity so that the pixel loop reads them contiguously.
struct HologramTerms
{
    std::vector<double> ux, uy, uz; // unit position
    std::vector<double> kr;         // k r
    std::vector<double> g;          // 1 / r in 1/Angstrom
    std::vector<double> a[4];       // Gaussian weights a_i
    std::vector<double> q[4];       // b_i / (2 lambda^2): f0 = c + sum a_i exp(-q_i (1 - cos))
    std::vector<double> c;          // constant of f0
    std::vector<double> f1, f2;
    std::vector<double> kkU;        // k^2 U, 0 without damping
    std::vector<double> onlyD;      // 1 when the term is replaced by D, else 0

    std::size_t size() const { return g.size(); }
};

namespace {

// The term of one atom for the cosine between pixel direction and atom
// direction. s^2 = max(0, 1 - cos) / (2 lambda^2) enters f0 through q_i.
// Written without branches: with kkU = 0 the factor D is exactly 1, and
// onlyD = 1 turns the result into D alone.
inline double Term(double cosine, double kr, double g, double a0, double a1, double a2, double a3, double q0,
                   double q1, double q2, double q3, double c, double f1, double f2, double kkU, double onlyD)
{
    const double m = 1.0 - cosine;
    const double ms = m > 0 ? m : 0.0;
    const double x = kr * m;
    const double f0 = c + a0 * std::exp(-q0 * ms) + a1 * std::exp(-q1 * ms) + a2 * std::exp(-q2 * ms)
                      + a3 * std::exp(-q3 * ms);
    const double t = g * (f2 * std::sin(x) - (f0 + f1) * std::cos(x));
    const double d = std::exp(-kkU * m);
    return (t * (1.0 - onlyD) + onlyD) * d;
}

// 1 / (2 lambda^2) in 1/Angstrom^2.
double HalfInverseSquareWavelength(double wavelength_A)
{
    return 0.5 / (wavelength_A * wavelength_A);
}

void AppendTerm(HologramTerms& terms, const Scatterer& s, const AsfEntry& entry, double k, double halfInvLambda2,
                bool drawDamping)
{
    const LwLDoubleMatrix& u = s.UnitPosition;
    const int b = u.VectorBegin();
    terms.ux.push_back(u[b]);
    terms.uy.push_back(u[b + 1]);
    terms.uz.push_back(u[b + 2]);
    terms.kr.push_back(k * s.R);
    terms.g.push_back(LwConst::Angstrom_m / s.R);
    for (int i = 0; i < 4; ++i) {
        terms.a[i].push_back(entry.A[i]);
        terms.q[i].push_back(entry.B[i] * halfInvLambda2);
    }
    terms.c.push_back(entry.C);
    terms.f1.push_back(s.F1);
    terms.f2.push_back(s.F2);
    const bool damped = s.U > 0;
    terms.kkU.push_back(damped ? k * k * s.U : 0.0);
    terms.onlyD.push_back(damped && drawDamping ? 1.0 : 0.0);
}

} // namespace

void HologramCalculation::LoadAtomicWeight(std::vector<double>& weights, const std::string& text)
{
    weights.assign(1, 0.0);
    LwDebye table;
    try {
        table.LoadAtomicWeight(text);
    } catch (const LwError&) {
        for (std::size_t z = 1; z < table.Table().size(); ++z)
            weights.push_back(std::trunc(table.Table()[z]));
        throw;
    }
    for (std::size_t z = 1; z < table.Table().size(); ++z)
        weights.push_back(std::trunc(table.Table()[z]));
}

void HologramCalculation::SetPhotonEnergy_eV(double energy_eV)
{
    const double lambda_m
        = LwConst::Planck_Js * LwConst::SpeedOfLight_mps / (energy_eV * LwConst::ElementaryCharge_C);
    PhotonEnergy_eV = energy_eV;
    WaveLength_A = lambda_m / LwConst::Angstrom_m;
    WaveNumber_m = LwConst::TwoPi / lambda_m;
}

bool IsStructureChecked(const LwDocPattern& document, int j)
{
    if (j < 0 || j >= document.RecordSelectionLength())
        throw LwError("Over range:: List_checked");
    return document.IsRecordSelected(j);
}

double InnerProduct(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b)
{
    auto isVector = [](const LwLDoubleMatrix& m) { return m.IsEmpty() || m.ColSize == 1 || m.RowSize == 1; };
    if (!isVector(a) || !isVector(b))
        throw LwError("This is not vector");
    if (a.ElementCount() != b.ElementCount())
        throw LwError("Vector size is not same");
    double sum = 0;
    for (int i = 0; i < a.ElementCount(); ++i)
        sum += static_cast<double>(a.Buffer()[i]) * static_cast<double>(b.Buffer()[i]);
    return sum;
}

void HologramCalculation::PrepareScatterers(ScattererList& list, const LwDocPattern& document,
                                            const LwCluster& cluster) const
{
    const double limit = document.ClusterSizeLimit_m_;
    for (std::size_t j = 0; j < cluster.size(); ++j) {
        if (!IsStructureChecked(document, static_cast<int>(j)))
            continue;
        ScattererMap atoms;
        for (const LwClusterAtom& atom : cluster[j]) {
            const LwLDoubleMatrix& p = atom.Position_;
            const int b = p.VectorBegin();
            const double x = p[b], y = p[b + 1], z = p[b + 2];
            Scatterer s;
            s.R = std::sqrt(x * x + y * y + z * z);
            if (limit != 0 && s.R > limit)
                continue;
            s.Symbol = atom.Atom_;
            LwAtomName element;
            element.SetAtomName(s.Symbol);
            s.Z = element.GetAtomicNumber();
            if (!(std::fabs(atom.Valency_) < 1e6))
                throw LwError("Illegal valency of " + s.Symbol + ": " + DoubleToString(atom.Valency_));
            s.Valence = static_cast<int>(std::trunc(atom.Valency_));
            s.TableIndex = FindAsfEntry(AsfTable, s.Z, s.Valence);
            if (s.TableIndex < 0)
                s.TableIndex = FindAsfEntry(AsfTable, s.Z, 0);
            if (s.TableIndex < 0)
                throw LwError("Not found:" + s.Symbol + " " + IntToString(s.Z) + " " + IntToString(s.Valence));
            if (s.R > 0) {
                s.UnitPosition.Create(3);
                s.UnitPosition[0] = x / s.R;
                s.UnitPosition[1] = y / s.R;
                s.UnitPosition[2] = z / s.R;
            }
            const auto listed = ElementMap.find(s.Symbol);
            if (listed != ElementMap.end()) {
                const ElementRow& row = listed->second;
                s.F1 = row.F1;
                s.F2 = row.F2;
                const double thetaD = row.Debye_K_;
                if (thetaD > 0) {
                    if (s.Z < 0 || static_cast<std::size_t>(s.Z) >= AtomicWeights.size())
                        throw LwError("Atomic weight is not listed: Z=" + IntToString(s.Z));
                    const double weight = AtomicWeights[static_cast<std::size_t>(s.Z)];
                    if (!(weight > 0))
                        throw LwError("Atomic weight is 0: Z=" + IntToString(s.Z));
                    s.U = DebyeMeanSquareDisplacement_m2(Temperature_K, weight, thetaD);
                }
                qDebug() << "U=" << s.U << "T=" << Temperature_K << "Z=" << s.Z << "ThetaD=" << thetaD;
            }
            if (IsUseUiso && atom.U_.ColSize == 1 && atom.U_.RowSize == 1)
                s.U = atom.U_.Buffer()[0];
            atoms.emplace(s.R, std::move(s));
        }
        if (!IsNotUseEmitterVibration) {
            if (atoms.empty() || atoms.begin()->first != 0)
                throw LwError("Center atom (0,0,0) is not exist. Please check cluster file.");
            const double u0 = atoms.begin()->second.U;
            for (auto& entry : atoms)
                entry.second.U += u0;
            atoms.begin()->second.U = 0;
        }
        list.push_back(std::move(atoms));
    }
}

double HologramCalculation::ScatteringTerm(const LwLDoubleMatrix& d, const LwLDoubleMatrix& u, double r,
                                           int tableIndex, double f1, double f2, double u2,
                                           bool drawDamping) const
{
    if (tableIndex < 0 || static_cast<std::size_t>(tableIndex) >= AsfTable.size())
        throw LwError("AsfTable index is out of range");
    const AsfEntry& e = AsfTable[static_cast<std::size_t>(tableIndex)];
    const double k = WaveNumber_m;
    const double h = HalfInverseSquareWavelength(WaveLength_A);
    const bool damped = u2 > 0;
    return Term(InnerProduct(d, u), k * r, LwConst::Angstrom_m / r, e.A[0], e.A[1], e.A[2], e.A[3], e.B[0] * h,
                e.B[1] * h, e.B[2] * h, e.B[3] * h, e.C, f1, f2, damped ? k * k * u2 : 0.0,
                damped && drawDamping ? 1.0 : 0.0);
}

void HologramCalculation::CalcColumn(int i, const HologramTerms& terms, int rows, const LwSphericalMapGrid& grid,
                                     std::vector<double>& column)
{
    column.assign(static_cast<std::size_t>(rows), 0.0);
    const std::size_t n = terms.size();
    const int threads = omp_get_max_threads();
    LwParallelErrors errors(threads);
    // Each thread writes only its own rows of `column`; the terms and the
    // grid are read only.
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int j = 0; j < rows; ++j) {
        errors.Run([&] {
            const int row = j + grid.X.RowBegin;
            const double dx = grid.X(i, row), dy = grid.Y(i, row), dz = grid.Z(i, row);
            if (dx == 0 && dy == 0 && dz == 0)
                return;
            double sum = 0;
            for (std::size_t a = 0; a < n; ++a) {
                const double cosine = dx * terms.ux[a] + dy * terms.uy[a] + dz * terms.uz[a];
                sum += Term(cosine, terms.kr[a], terms.g[a], terms.a[0][a], terms.a[1][a], terms.a[2][a],
                            terms.a[3][a], terms.q[0][a], terms.q[1][a], terms.q[2][a], terms.q[3][a],
                            terms.c[a], terms.f1[a], terms.f2[a], terms.kkU[a], terms.onlyD[a]);
            }
            column[static_cast<std::size_t>(j)] = sum;
        });
    }
    errors.RethrowFirst();
}

void HologramCalculation::Run(LwDocPattern& document, const LwCluster& cluster)
{
    IsTerminate.store(false);
    ScattererList list;
    PrepareScatterers(list, document, cluster);

    LwSphericalMapGrid& grid = document.Grid;
    if (grid.Planes.empty() || !IsSameSize(grid.Planes[0], grid.X) || !IsSameSize(grid.X, grid.Y)
        || !IsSameSize(grid.X, grid.Z))
        throw LwError("Pattern grid is not built");

    HologramTerms terms;
    const double k = WaveNumber_m;
    const double h = HalfInverseSquareWavelength(WaveLength_A);
    for (const ScattererMap& atoms : list)
        for (const auto& entry : atoms)
            if (entry.first != 0)
                AppendTerm(terms, entry.second, AsfTable[static_cast<std::size_t>(entry.second.TableIndex)], k, h,
                           IsDrawDampingFunction);

    LwLDoubleMatrix& plane = grid.Planes[0];
    const int columns = plane.ColSize;
    const int rows = plane.RowSize;
    {
        std::lock_guard<std::mutex> lock(imageMutex_);
        plane.SetZero();
    }
    std::vector<double> column;
    for (int i = 0; i < columns; ++i) {
        if (IsTerminate.load())
            break;
        CalcColumn(i + plane.ColBegin, terms, rows, grid, column);
        std::lock_guard<std::mutex> lock(imageMutex_);
        for (int j = 0; j < rows; ++j)
            plane(i + plane.ColBegin, j + plane.RowBegin) = column[static_cast<std::size_t>(j)];
    }
}

void HologramCalculation::CopyImage(const LwDocPattern& document, LwLDoubleMatrix& image) const
{
    std::lock_guard<std::mutex> lock(imageMutex_);
    if (document.Grid.Planes.empty())
        throw LwError("Pattern grid is not built");
    image = document.Grid.Planes[0];
}
