#pragma once
// X-ray fluorescence hologram of a cluster at one photon energy.
//
// The atom at the origin of each structure emits a fluorescent wave; every
// other atom scatters it once. For the pixel direction d the image holds, per
// atom at distance r in the direction u,
//     t = -Re[(f0(s) + f1 + i f2) e^{i k r (1 - d.u)}] / r_A
// times the Debye-Waller factor D = exp(-k^2 U (1 - d.u)), summed over the
// atoms of every checked structure. f0 is the tabulated atomic form factor at
// s = sin(theta/2) / lambda (theta the angle between d and u), f1 and f2 the
// anomalous-scattering terms, r_A the distance in Angstrom and U the summed
// mean-square displacement of the atom and the emitter (m^2). The result is
// written into plane 0 of the pattern document's grid.
//
// Units: positions and r in m, k in 1/m, wavelength in Angstrom, photon
// energy in eV, U in m^2, temperatures in K.
//
// Threads: Run computes the image in one OpenMP region (OpenMP's thread
// count) over chunks of pixels of about the same number of atom-pixel terms,
// taken in image order (column by column) by whichever thread is free; an
// image of less than about a millisecond's work is computed by the calling
// thread alone. The threads write only their own chunks of a buffer, and
// each column is copied into plane 0 under a lock once all of its pixels,
// and those of the columns before it, are done. Another thread may therefore
// read the running image through CopyImage, and may ask for a stop through
// IsTerminate at any time; the stop is seen before the next chunk, and the
// columns not complete by then stay 0. Every pixel is a sum in a fixed atom
// order computed by one thread, so the image does not depend on the number
// of threads.

#include "core/LwMatrix.h"
#include "physics/LwClusterAtom.h"
#include "apps/velmora/engine/AsfEntry.h"
#include "apps/velmora/engine/DebyeTemperatureTable.h"
#include "apps/velmora/engine/ElementRow.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class LwDocPattern;
class LwSphericalMapGrid;

// One atom of one structure, prepared for the pixel loop.
struct Scatterer
{
    double R = 0;  // distance from the origin, m
    LwLDoubleMatrix UnitPosition;  // position / R, 3-element column vector; empty when R = 0
    std::string Symbol;  // element symbol from the cluster
    int Z = 0;  // atomic number of Symbol
    int Valence = 0;  // the atom's valency truncated toward zero
    int TableIndex = -1;  // index of its AsfEntry in AsfTable
    double F1 = 0;  // anomalous-scattering terms (electrons)
    double F2 = 0;
    double U = 0;  // mean-square displacement of the damping, m^2; 0 = none
};

// The atoms of one structure by increasing distance (equal distances in the
// structure's order).
using ScattererMap = std::multimap<double, Scatterer>;
// One map per checked structure, in the cluster's order.
using ScattererList = std::vector<ScattererMap>;

// The scatterers flattened for the pixel loop (HologramTerms.h).
struct HologramTerms;

class HologramCalculation
{
public:
    HologramCalculation() = default;
    HologramCalculation(const HologramCalculation&) = delete;
    HologramCalculation& operator=(const HologramCalculation&) = delete;

    // Replaces `weights` by entry 0 = 0.0 and, for Z = 1, 2, ..., the
    // weight in atomic mass units on line Z of "AtomicWeight.txt" (field
    // 1 the atomic number, field 4 the weight; the format and the errors of
    // LwDebye::LoadAtomicWeight, among them "Debye:LoadAtomicWeight File:
    // order is not correct."). After an error `weights` holds entry 0 and
    // the lines before the failing one.
    static void LoadAtomicWeight(std::vector<double>& weights, const std::string& text);

    // PhotonEnergy_eV = E and the wavelength lambda = h c / (E e):
    // WaveLength_A = lambda / 1 Angstrom, WaveNumber_m = 2 pi / lambda.
    void SetPhotonEnergy_eV(double energy_eV);

    // Computes plane 0 of the document's grid for the cluster: clears
    // IsTerminate, prepares the scatterers (every error of the set-up is
    // thrown before plane 0 is touched), sets plane 0 to 0 and fills it
    // column by column until IsTerminate is seen. The grid (X, Y, Z and at
    // least one plane of equal size) must have been built; otherwise LwError
    // "Pattern grid is not built".
    void Run(LwDocPattern& document, const LwCluster& cluster);

    // Appends one map per checked structure of the cluster (see the header of
    // HologramCalculation.cpp for the rules). LwError texts:
    //   "Over range:: List_checked"              structure beyond the selection bits
    //   "Error in element name"                  symbol not in the element table
    //   "Not found:" symbol " " Z " " valence   no table entry for (Z, valence) nor (Z, 0)
    //   "Atomic weight is not listed: Z=" Z      Z beyond AtomicWeights (Debye model)
    //   "Atomic weight is 0: Z=" Z               zero weight (Debye model)
    //   "Center atom (0,0,0) is not exist. Please check cluster file."
    void PrepareScatterers(ScattererList& list, const LwDocPattern& document, const LwCluster& cluster) const;

    // The term of one atom for the pixel direction d (3-vector), the atom's
    // unit position u and distance r (m), its table entry, f1, f2 and U (m^2).
    // With U > 0 and drawDamping the result is the damping factor D alone.
    // LwError "AsfTable index is out of range" for a bad index and
    // InnerProduct's errors for d or u.
    double ScatteringTerm(const LwLDoubleMatrix& d, const LwLDoubleMatrix& u, double r, int tableIndex,
                          double f1, double f2, double u2, bool drawDamping) const;

    // A copy of plane 0 of the document, taken under the image lock, so that
    // it may be called while Run fills the plane on another thread.
    void CopyImage(const LwDocPattern& document, LwLDoubleMatrix& image) const;

    // Fields, in order.
    std::vector<double> AtomicWeights;  // index = Z, entry 0 = 0.0
    DebyeTemperatureMap DebyeTemperatures;  // Z -> Debye temperature (K); not read by Run
    double PhotonEnergy_eV = 0;
    double WaveLength_A = 0;
    double WaveNumber_m = 0;
    AsfEntryList AsfTable;
    bool IsDrawDampingFunction = false;  // the image shows D instead of t D
    bool IsNotUseEmitterVibration = false;  // no emitter at the origin needed, its U not added
    bool IsUseUiso = false;  // an isotropic U of the cluster replaces the Debye model's
    double Temperature_K = 0;
    std::atomic<bool> IsTerminate{false};  // stop request, read between chunks of pixels
    // Columns of plane 0 that the running or last Run has computed; -1 while
    // Run prepares (plane 0 still holds what it held before). A Run that
    // ended with fewer columns than the plane has was stopped or failed.
    std::atomic<int> ColumnsDone{-1};
    std::map<std::string, ElementRow> ElementMap;  // element symbol -> f1, f2, Debye temperature

private:
    // Plane 0 of the grid (already 0) filled with the sums of the terms, as
    // the Threads paragraph above describes; a pixel whose direction is
    // (0, 0, 0) stays 0.
    void FillPlane(LwSphericalMapGrid& grid, const HologramTerms& terms);

    mutable std::mutex imageMutex_;  // guards plane 0 of the running document
};

// bit j of the document's structure selection; LwError
// "Over range:: List_checked" for j outside it.
bool IsStructureChecked(const LwDocPattern& document, int j);

// Sum of the element products of two vectors in buffer order. A matrix is a
// vector when it is empty or one of its sizes is 1; otherwise LwError "This
// is not vector" (a tested first). Different lengths: "Vector size is not same".
double InnerProduct(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b);
