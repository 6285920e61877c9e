// Writes the input documents of the copper example of cmd_drev:
//
//   cluster.xml_cl       copper atoms within kClusterRadius of an emitter
//                        two layers below a (001) surface
//   emitter.xml_emt      a p wave (l = 1, m = 0) of kKineticEnergy, as from
//                        a 1s level excited by light polarised along z
//   phaseshift.xml_ph    phase shifts of the copper muffin-tin atom at that
//                        energy, from the radial equation
//   fluctuation.xml_flu  300 K, Debye model with Theta_D(Cu) = 343 K
//
// Usage: make_example [output folder]   (default: the current folder)
//        make_example --hemisphere ATOMS [output folder]
//
// With --hemisphere only cluster.xml_cl is written, for timing runs on
// larger clusters with the example's other three documents: the emitter at
// the centre of the (001) surface and the ATOMS atoms nearest to it at
// z <= 0. They are taken in order of distance, within a shell the shallower
// first (then by y and x), so ATOMS need not end on a whole shell.
//
// Every document goes through the library's own serializer, so the files
// have the layout cmd_drev reads. Lengths: Angstrom in the cluster
// document, metres in the phase-shift document's radial grid.

#include "core/LwBarnFile.h"
#include "core/LwConstants.h"
#include "core/LwError.h"
#include "physics/LwClusterAtom.h"
#include "physics/LwClusterDocument.h"
#include "physics/LwCrystalCell.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "MuffinTinPhaseShift.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {
// Copper: fcc, cube edge at room temperature (Angstrom), atomic number.
constexpr double kLatticeConstant = 3.615;
constexpr int kCopperZ = 29;

// The cluster: every atom within this distance of the emitter (Angstrom)
// that does not lie above the surface layer. The emitter sits at the origin
// in the third layer from the surface: the surface layer is at z = a, so two
// layers lie above the emitter and forward scattering along [001] and [011]
// shows in the pattern.
constexpr double kClusterRadius = 4.6;
constexpr double kSurfaceZ = kLatticeConstant;

// The electron: kinetic energy (eV) and the number of l values of the phase
// shifts (l = 0 ... kLCount - 1); k R_mt is about 14.6 at 500 eV, and the
// phase shifts above l = 11 stay below a few degrees.
constexpr double kKineticEnergy = 500.0;
constexpr int kLCount = 12;

// The muffin-tin potential: neighbours within this distance (Angstrom) add
// their spherically averaged potential; the radial grid runs from kRMin (m)
// to the touching-sphere radius a / (2 sqrt 2) in kGridPoints points, with
// kStepsPerInterval Runge-Kutta steps across each interval.
constexpr double kNeighbourCutoff = 3 * kLatticeConstant;
constexpr double kRMin = 1e-15;
constexpr int kGridPoints = 1201;
constexpr int kStepsPerInterval = 8;

// Thermal vibration.
constexpr double kTemperature = 300.0;
constexpr double kDebyeTemperature = 343.0;

struct Point
{
    double x, y, z;
    double Length() const { return std::sqrt(x * x + y * y + z * z); }
};

// Every atom of the crystal within `radius` of the origin, from the cubic
// cell: translations by the cube edges of the cell's basis (the four atoms
// of the cube), which reach every site exactly once.
std::vector<Point> CrystalAtoms(const LwCrystalCell& cell, double radius)
{
    const int n = int(std::ceil(radius / kLatticeConstant)) + 1;
    std::vector<Point> atoms;
    for (int i = -n; i <= n; ++i)
        for (int j = -n; j <= n; ++j)
            for (int k = -n; k <= n; ++k)
                for (const LwAtomAttr& atom : cell.Atoms) {
                    Point p{0, 0, 0};
                    double* c[3] = {&p.x, &p.y, &p.z};
                    for (int e = 0; e < 3; ++e)
                        *c[e] = double(i * cell.ScaledAxes[0][e] + j * cell.ScaledAxes[1][e] +
                                       k * cell.ScaledAxes[2][e] + atom.Position[e]);
                    if (p.Length() <= radius + 1e-9)
                        atoms.push_back(p);
                }
    return atoms;
}

// Copper atoms at the given points (Angstrom), the emitter at the origin.
LwCluster ClusterOf(const std::vector<Point>& points)
{
    LwStructure structure;
    for (const Point& p : points) {
        LwClusterAtom atom;
        atom.Name_ = "Cu";
        atom.Atom_ = "Cu";
        LwLDoubleMatrix r(3);
        r[0] = p.x;
        r[1] = p.y;
        r[2] = p.z;
        atom.SetPositionAngstrom(r);
        structure.push_back(atom);
    }
    // Emitter first, then by distance; the same checks as cmd_drev's loader.
    CheckStructure(structure);
    return LwCluster{structure};
}

LwCluster MakeCluster(const LwCrystalCell& cell)
{
    std::vector<Point> points;
    for (const Point& p : CrystalAtoms(cell, kClusterRadius))
        if (p.z <= kSurfaceZ + 1e-9)
            points.push_back(p);
    return ClusterOf(points);
}

LwPhaseShiftEntry MakePhaseShiftEntry(const LwCrystalCell& cell)
{
    std::vector<double> neighbours;
    for (const Point& p : CrystalAtoms(cell, kNeighbourCutoff))
        if (p.Length() > 1e-6)
            neighbours.push_back(p.Length() * LwConst::Angstrom_m);
    const double rMuffinTin = kLatticeConstant / (2 * std::sqrt(2.0)) * LwConst::Angstrom_m;
    LwAtomicPotentialTable table =
        example::MakeMuffinTinTable(kCopperZ, neighbours, kRMin, rMuffinTin, kGridPoints);

    LwPhaseShiftEntry entry;
    entry.Ek_eV = kKineticEnergy;
    entry.AtomName = "Cu";
    entry.AtomElement = "Cu";
    entry.FileName = "make_example";
    entry.AtomicPotential.table = &table;
    entry.AtomicPotential.E = kKineticEnergy;
    const example::RadialSolutions solutions =
        example::IntegrateRadialEquation(entry.AtomicPotential, table.x, kLCount, kStepsPerInterval);
    // The table lives only here; the entry keeps no link to it.
    entry.AtomicPotential.table = nullptr;

    std::vector<double> gEnd(kLCount), dgEnd(kLCount);
    for (int l = 0; l < kLCount; ++l) {
        gEnd[l] = solutions.g[l].back();
        dgEnd[l] = solutions.dg[l].back();
    }
    const std::vector<double> delta =
        example::PhaseShiftsFromMatching(gEnd, dgEnd, example::WaveNumber(kKineticEnergy), rMuffinTin);

    entry.PhaseShiftValue.Create(kLCount);
    for (int l = 0; l < kLCount; ++l)
        entry.PhaseShiftValue[l] = delta[l] * 180.0 / LwConst::Pi;

    // Radial data: P_l = R_l = r^l g_l and its derivative r dR_l/dr =
    // r^l (l g_l + g_l'); L_l = g_l and DLDLnX_l = g_l'.
    entry.LnX = table.x;
    entry.P.assign(kLCount, std::vector<double>(table.x.size()));
    entry.DPDLnX = entry.P;
    entry.L = solutions.g;
    entry.DLDLnX = solutions.dg;
    for (int l = 0; l < kLCount; ++l)
        for (std::size_t i = 0; i < table.x.size(); ++i) {
            const double rl = std::pow(table.a[i], l);
            entry.P[l][i] = rl * solutions.g[l][i];
            entry.DPDLnX[l][i] = rl * (l * solutions.g[l][i] + solutions.dg[l][i]);
        }
    return entry;
}

// The `count` atoms of the half crystal z <= 0 nearest to the origin, an
// atom of the surface layer.
std::vector<Point> HemisphereAtoms(const LwCrystalCell& cell, int count)
{
    // A half ball of radius R holds about (2 pi / 3) R^3 / (a^3 / 4) atoms;
    // twice that radius (and one lattice constant) leaves room for whole shells.
    const double radius =
        2 * kLatticeConstant * std::cbrt(count * 3.0 / (8 * LwConst::Pi)) + kLatticeConstant;
    std::vector<Point> atoms;
    for (const Point& p : CrystalAtoms(cell, radius))
        if (p.z <= 1e-9)
            atoms.push_back(p);
    if (static_cast<int>(atoms.size()) < count)
        throw LwError("make_example: the hemisphere search radius holds too few atoms");
    // Shells are told apart by distances that differ by far more than 1e-6 A.
    const auto nearer = [](const Point& a, const Point& b) {
        if (std::fabs(a.Length() - b.Length()) > 1e-6)
            return a.Length() < b.Length();
        if (a.z != b.z)
            return a.z > b.z;
        if (a.y != b.y)
            return a.y < b.y;
        return a.x < b.x;
    };
    std::sort(atoms.begin(), atoms.end(), nearer);
    atoms.resize(count);
    return atoms;
}

LwCluster MakeHemisphereCluster(const LwCrystalCell& cell, int count)
{
    std::vector<Point> atoms = HemisphereAtoms(cell, count);
    std::printf("hemisphere: outermost atom at %.4f A\n", atoms.back().Length());
    return ClusterOf(atoms);
}

template <class Write>
void WriteDocument(const std::string& fileName, Write write)
{
    LwBarnFile file(fileName, "w");
    write(file);
    file.Save();
    std::printf("wrote %s\n", fileName.c_str());
}
}  // namespace

int main(int argc, char** argv)
{
    int hemisphereAtoms = 0;
    int arg = 1;
    if (arg < argc && std::string(argv[arg]) == "--hemisphere") {
        if (arg + 1 >= argc || std::sscanf(argv[arg + 1], "%d", &hemisphereAtoms) != 1 ||
            hemisphereAtoms < 1) {
            std::fprintf(stderr, "usage: make_example [--hemisphere ATOMS] [output folder]\n");
            return 2;
        }
        arg += 2;
    }
    const std::string folder = arg < argc ? std::string(argv[arg]) + "/" : std::string();
    try {
        LwCrystalCell cell;
        cell.MakeFccCell("Cu", "Cu", kLatticeConstant);
        if (hemisphereAtoms > 0) {
            LwCluster cluster = MakeHemisphereCluster(cell, hemisphereAtoms);
            WriteDocument(folder + "cluster.xml_cl",
                          [&](LwBarnXml& doc) { LoadSaveCrystalStructureData(cluster, doc, false); });
            std::printf("cluster: %d atoms\n", int(cluster[0].size()));
            return 0;
        }

        LwCluster cluster = MakeCluster(cell);
        WriteDocument(folder + "cluster.xml_cl",
                      [&](LwBarnXml& doc) { LoadSaveCrystalStructureData(cluster, doc, false); });
        std::printf("cluster: %d atoms\n", int(cluster[0].size()));

        LwDocFinalState emitted;
        LwEmitterEntry wave;
        wave.Ek = kKineticEnergy;
        wave.Ratio = 1.0;
        wave.coeff.SetSizeZero(2);
        wave.coeff(1, 0) = LComplex(1, 0);
        emitted.ListEmitter.push_back(wave);
        WriteDocument(folder + "emitter.xml_emt", [&](LwBarnXml& doc) { emitted.LoadSave(doc); });

        LwDocScatteringPhaseShift phaseShifts;
        phaseShifts.ListScatteringPhaseShift.push_back(MakePhaseShiftEntry(cell));
        const LwLDoubleMatrix& delta = phaseShifts.ListScatteringPhaseShift[0].PhaseShiftValue;
        for (int l = 0; l < kLCount; ++l)
            std::printf("delta_%d = %10.4f deg\n", l, double(delta[l]));
        WriteDocument(folder + "phaseshift.xml_ph", [&](LwBarnXml& doc) { phaseShifts.LoadSave(doc); });

        LwDocFluctuation fluctuation;
        fluctuation.Temperature_K_ = kTemperature;
        fluctuation.DebyeElement_ = {"Cu"};
        fluctuation.DebyeTemperature_K_ = {kDebyeTemperature};
        fluctuation.IsUseUisoDebyeModel_ = true;
        WriteDocument(folder + "fluctuation.xml_flu", [&](LwBarnXml& doc) { fluctuation.LoadSave(doc); });
    } catch (const LwError& e) {
        std::fprintf(stderr, "make_example: %s\n", e.what());
        return 1;
    }
    return 0;
}
