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
#include "physics/LwAtomName.h"
#include "physics/LwDebye.h"
#include "pattern/LwDocPattern.h"
#include "apps/velmora/engine/HologramTerms.h"

#include <QDebug>

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

// Atom-pixel terms per chunk of pixels, the unit that a thread takes at a
// time and after which a stop request is seen: about a quarter millisecond
// of one core.
constexpr std::size_t kChunkTerms = std::size_t(1) << 15;
// Below this many atom-pixel terms (about a millisecond of one core) the
// calling thread computes the image alone: waking the team would cost more
// than it saves, and a caller that runs many small images (the scattering
// pattern matrix: one pair of atoms on a line of points, per distance) would
// pay it every time.
constexpr double kMinParallelTerms = double(std::size_t(1) << 17);

// 1 / (2 lambda^2) in 1/Angstrom^2.
double HalfInverseSquareWavelength(double wavelength_A)
{
    return 0.5 / (wavelength_A * wavelength_A);
}

// Appends the scatterer, whose R is not 0, in the form of the pixel loop.
void AppendTerm(HologramTerms& terms, const Scatterer& s, const AsfEntry& entry, double k,
                double halfInvLambda2, bool drawDamping)
{
    const LwLDoubleMatrix& u = s.UnitPosition;
    const int b = u.VectorBegin();
    double q[4];
    for (int i = 0; i < 4; ++i)
        q[i] = entry.B[i] * halfInvLambda2;
    const bool damped = s.U > 0;
    terms.Append(u[b], u[b + 1], u[b + 2], k * s.R, LwConst::Angstrom_m / s.R, entry.A.data(), q, entry.C,
                 s.F1, s.F2, damped ? k * k * s.U : 0.0, damped && drawDamping ? 1.0 : 0.0);
}

}  // namespace

void HologramCalculation::LoadAtomicWeight(std::vector<double>& weights, const std::string& text)
{
    LwDebye table;
    // The weights read so far are kept also when a line fails. They stay as
    // the table gives them: the Debye displacement goes as 1 / weight, so a
    // weight cut to its whole number (Li 6.941 to 6) would make it 16 % too
    // large.
    auto copyWeights = [&] {
        weights.assign(1, 0.0);
        for (std::size_t z = 1; z < table.Table().size(); ++z)
            weights.push_back(table.Table()[z]);
    };
    try {
        table.LoadAtomicWeight(text);
    } catch (const LwError&) {
        copyWeights();
        throw;
    }
    copyWeights();
}

void HologramCalculation::SetPhotonEnergy_eV(double energy_eV)
{
    const double lambda_m =
        LwConst::Planck_Js * LwConst::SpeedOfLight_mps / (energy_eV * LwConst::ElementaryCharge_C);
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
                throw LwError("Not found:" + s.Symbol + " " + IntToString(s.Z) + " " +
                              IntToString(s.Valence));
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
    double q[4];
    for (int i = 0; i < 4; ++i)
        q[i] = e.B[i] * h;
    const bool damped = u2 > 0;
    return HologramTerms::Term(InnerProduct(d, u), k * r, LwConst::Angstrom_m / r, e.A.data(), q, e.C, f1, f2,
                               damped ? k * k * u2 : 0.0, damped && drawDamping ? 1.0 : 0.0);
}

void HologramCalculation::Run(LwDocPattern& document, const LwCluster& cluster)
{
    IsTerminate.store(false);
    ColumnsDone.store(-1);
    ScattererList list;
    PrepareScatterers(list, document, cluster);

    LwSphericalMapGrid& grid = document.Grid;
    if (grid.Planes.empty() || !IsSameSize(grid.Planes[0], grid.X) || !IsSameSize(grid.X, grid.Y) ||
        !IsSameSize(grid.X, grid.Z))
        throw LwError("Pattern grid is not built");

    HologramTerms terms;
    const double k = WaveNumber_m;
    const double h = HalfInverseSquareWavelength(WaveLength_A);
    for (const ScattererMap& atoms : list)
        for (const auto& entry : atoms)
            if (entry.first != 0)
                AppendTerm(terms, entry.second, AsfTable[static_cast<std::size_t>(entry.second.TableIndex)],
                           k, h, IsDrawDampingFunction);

    {
        std::lock_guard<std::mutex> lock(imageMutex_);
        grid.Planes[0].SetZero();
    }
    ColumnsDone.store(0);
    FillPlane(grid, terms);
}

void HologramCalculation::FillPlane(LwSphericalMapGrid& grid, const HologramTerms& terms)
{
    LwLDoubleMatrix& plane = grid.Planes[0];
    const int columns = plane.ColSize;
    const std::size_t rows = static_cast<std::size_t>(plane.RowSize);
    const std::size_t count = static_cast<std::size_t>(columns) * rows;
    const std::size_t atoms = std::max<std::size_t>(1, terms.size());
    const std::size_t chunkPixels = std::max<std::size_t>(1, kChunkTerms / atoms);
    const std::size_t chunks = (count + chunkPixels - 1) / chunkPixels;

    // Pixel p = i rows + j is column i, row j; 0 where the grid holds no
    // direction.
    std::vector<double> values(count, 0.0);
    // done[c] is set (release) by the thread that computed chunk c, after
    // writing its values; the publisher reads it (acquire) before them.
    std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[chunks]);
    for (std::size_t c = 0; c < chunks; ++c)
        done[c].store(false, std::memory_order_relaxed);
    // Under the image lock: the leading chunks known to be done, and the
    // columns before `published`, all of whose pixels lie in those chunks,
    // written into the plane.
    std::size_t doneChunks = 0;
    int published = 0;
    auto publish = [&] {
        std::lock_guard<std::mutex> lock(imageMutex_);
        while (doneChunks < chunks && done[doneChunks].load(std::memory_order_acquire))
            ++doneChunks;
        const std::size_t ready = std::min(count, doneChunks * chunkPixels);
        for (; published < columns && (static_cast<std::size_t>(published) + 1) * rows <= ready; ++published)
            for (std::size_t j = 0; j < rows; ++j)
                plane(published + plane.ColBegin, static_cast<int>(j) + plane.RowBegin) =
                    values[static_cast<std::size_t>(published) * rows + j];
        ColumnsDone.store(published);
    };

    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopping{false};
    const int threads = omp_get_max_threads();
    LwParallelErrors errors(threads);
    // Takes the next chunk until none is left or a stop is asked for.
    auto work = [&] {
        for (;;) {
            if (IsTerminate.load())
                stopping.store(true);
            if (stopping.load() || errors.Failed())
                break;
            const std::size_t c = next.fetch_add(1);
            if (c >= chunks)
                break;
            errors.Run([&] {
                const std::size_t last = std::min(count, (c + 1) * chunkPixels);
                for (std::size_t p = c * chunkPixels; p < last; ++p) {
                    const int i = static_cast<int>(p / rows) + grid.X.ColBegin;
                    const int j = static_cast<int>(p % rows) + grid.X.RowBegin;
                    const double dx = grid.X(i, j), dy = grid.Y(i, j), dz = grid.Z(i, j);
                    if (dx != 0 || dy != 0 || dz != 0)
                        values[p] = terms.PixelSum(dx, dy, dz);
                }
                done[c].store(true, std::memory_order_release);
                publish();
            });
        }
    };
    if (threads > 1 && static_cast<double>(count) * static_cast<double>(atoms) >= kMinParallelTerms) {
        // One region for the whole image. A thread takes the next chunk
        // whenever it is free, so a thread that the system holds back delays
        // only its own chunk, neither a column nor the team; chunks are taken
        // in image order, so the image still fills column by column. Each
        // thread writes only the values of its own chunks; the plane is
        // written by one thread at a time, under the image lock.
#pragma omp parallel num_threads(threads)
        work();
    } else {
        // Too little work to pay for the team: the calling thread alone, and
        // outside any OpenMP construct, which even with one thread costs the
        // runtime's bookkeeping of its idle threads.
        work();
    }
    errors.RethrowFirst();
    // A grid without pixels has no chunk to publish its columns.
    publish();
}

void HologramCalculation::CopyImage(const LwDocPattern& document, LwLDoubleMatrix& image) const
{
    std::lock_guard<std::mutex> lock(imageMutex_);
    if (document.Grid.Planes.empty())
        throw LwError("Pattern grid is not built");
    image = document.Grid.Planes[0];
}
