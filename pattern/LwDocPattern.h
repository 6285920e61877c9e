#pragma once
// Pattern documents: the settings of one angular pattern calculation, its
// projection grid and the working state of the calculation. LwDocPattern is
// the base; each subclass builds the grid of one projection from its own
// parameters (InitSphericalMap). Documents are held by value.
//
// Units: angles in degrees, lengths in metres (as in the scattered-wave
// document).

#include "core/LwMatrix.h"
#include "core/LwTypes.h"
#include "physics/LwVectorFreeElectron.h"
#include "pattern/LwSphericalMapGrid.h"

#include <array>
#include <vector>

class LwDebye;
class LwDocFluctuation;
class LwDocScattering;
class LwNotifyTerminate;

class LwDocPattern
{
public:
    virtual ~LwDocPattern() = default;

    // The whole calculation: Prepare, then CalcStructureLoop. It never
    // reports an error: any exception of either ends it quietly, with the
    // planes as far as they were filled (LwDocPatternRecords.cpp).
    virtual void Calculate(LwNotifyTerminate& stop, LwDocScattering& scattering,
                           const LwDocFluctuation& fluctuation, const LwDebye& debye);
    // Builds the projection grid from N and the subclass's parameters and
    // assigns it to Grid: every plane starts at 0 again.
    virtual void InitSphericalMap() = 0;

    // Record selection: a bit list over the records of a scattering
    // document, record i being bit i % 32 of word i / 32.
    // SetRecordSelection gives it `count` bits, all set or all clear
    // (a negative count is refused with an LwError).
    void SetRecordSelection(int count, bool selected);
    // Bit i; false for an i outside the list.
    bool IsRecordSelected(int i) const;
    // Sets or clears bit i; an i outside the list is refused with an LwError.
    void SelectRecord(int i, bool selected);
    int RecordSelectionLength() const { return SelectBitCount_; }

    // --- Pattern calculation (LwDocPatternCalculation.cpp) ---------------
    //
    // The far field of the working wave is summed over the pixels of the
    // grid: for the direction of pixel (i, j), turned into the cluster frame
    // by Rotation, A is the sum of the scattered waves and B the direct wave
    // of the emitter, both coefficients of e^{ikR}/(kR). Planes 0 to 3 gain
    //   plane 0: |A + B|^2  (the pattern)
    //   plane 1: |B|^2      (the direct wave alone, the I0 image)
    //   plane 2: |A|^2      (the scattered waves alone)
    //   plane 3: |A + iB|^2 (the pattern with the direct wave turned by 90 deg)
    // times the depth factor. Planes 4 and up are not written.

    // Refuses Type 1 with scattering versions 1 and 2 (LwError "The
    // conbination of Version and Type is not permitted").
    static void CheckVersionAndType(const LwDocScattering& scattering, LwLong type);

    // Checks Version and Type, builds Rotation and a new grid (zero planes),
    // and, unless the fluctuation settings keep the cluster's U, sets U of
    // both wave lists of every record by the Einstein or the Debye model.
    // Changes the scattering document's records in place.
    void Prepare(LwDocScattering& scattering, const LwDocFluctuation& fluctuation, const LwDebye& debye);

    // PrepareWorkingWave with record i's ListScatterer; LwError "ERROR
    // INDEX" for an i outside the record list.
    void PrepareStructure(const LwDocScattering& scattering, int i);

    // The angles of the grid once, then every selected record in index
    // order: "START: STRUCTURE LOOP=i/n" before and "END: STRUCTURE LOOP=i"
    // after each computed record on standard output, the stop query asked
    // before each record.
    void CalcStructureLoop(LwNotifyTerminate& stop, const LwDocScattering& scattering);

    // Rotation = EulerRotationMatrix(-a, b, -c) of the Euler angles (radians).
    void SetRotationFromEulerAngles();

    // THETA and PHI (radians) of every pixel's direction turned by Rotation;
    // 0 for pixels outside the projected area (W = 0). Sized like the grid.
    void CalcDirectionAngles(LwLDoubleMatrix& theta, LwLDoubleMatrix& phi) const;

    // The working wave becomes a copy of a record's scatterer list without
    // the sources that the distance limits drop (the emitter, at the origin,
    // always stays); its mean free path is MeanFreePath_m_ when the scattered
    // waves are attenuated by their distance from the emitter, else 0; the
    // emitter's outgoing coefficients are turned by the phase; L = 0.
    // A negative mean free path that would be used fails with an LwError.
    void PrepareWorkingWave(const LwVectorFreeElectron& scatterers);

    // Height of the surface above the emitter (m): the largest source z, at
    // least 0, plus 5e-11 m.
    static double SurfaceHeight(const LwVectorFreeElectron& scatterers);

    // One parallel region over the grid's columns (static schedule, one
    // column at a time): every pixel inside the projected area gains its
    // four intensities times the depth factor for the surface height zs. The
    // far-field tables of the working wave are built once before the region;
    // an l range L that a scatterer exceeds fails for every pixel, and then
    // no pixel gains anything. An error raised while evaluating a pair of
    // pixels is dropped with that pair and the loop goes on; a stop request
    // skips the remaining pixels. Each thread writes only its own columns,
    // and each pixel depends on nothing but its own angles, so the planes do
    // not depend on the thread count (OpenMP's setting, omp_set_num_threads).
    void CalcPixelColumns(const LwLDoubleMatrix& theta, const LwLDoubleMatrix& phi, LwNotifyTerminate& stop,
                          double zs);

    // (|A + B|^2, |B|^2, |A|^2, |A + iB|^2) of the working wave in the
    // direction (theta, phi) of the cluster frame, radians, from the
    // per-source far-field sums of LwVectorFreeElectron. CalcPixelColumns
    // gets the same values, to rounding, from LwFarFieldSum tables built
    // once per record.
    std::array<double, 4> PixelIntensity(LDouble theta, LDouble phi) const;

    // Attenuation of the pattern by the path zs / cos(theta) to the surface:
    // 1 without depth attenuation or with a mean free path of 0, 0 beyond 90
    // degrees, else exp(-(zs / cos theta) / mean free path).
    double DepthFactor(LDouble theta, double zs) const;

    // Fields, in order.
    LwLong Type = 0;  // 1 is refused with scattering versions 1 and 2
    LwLong N = 6;  // number of intensity planes of the grid
    double EulerA_deg_ = 0;  // Euler angles of the pattern frame
    double EulerB_deg_ = 0;
    double EulerC_deg_ = 0;
    double Phase_deg_ = 0;  // global phase of the emitter's outgoing coefficients
    double ClusterSizeLimit_m_ = 0;  // sources at this distance or farther dropped; 0 = none
    double DepthLimit_m_ = 0;  // sources with z above it dropped; <= 0 = none
    double LowerLimit_m_ = 0;  // sources at this distance or nearer dropped (not the emitter)
    double MeanFreePath_m_ = 0;  // inelastic mean free path of the attenuations
    bool IsAttenuateByEmitterDistance_ = false;  // scattered waves by their distance from the emitter
    bool IsAttenuateByDepth_ = false;  // the pattern by the path to the surface
    std::vector<LwULong> SelectBits_;  // record selection, 32 records per word
    LwLong SelectBitCount_ = 0;  // its length in bits
    LwSphericalMapGrid Grid;  // built by InitSphericalMap
    LwVectorFreeElectron WorkingWave;  // prepared copy of one record's scatterer list
    LwLong L = 0;  // l range of the far-field sums; 0 = the sources' largest
    LwLDoubleMatrix Rotation;  // 3 x 3, from the Euler angles

private:
    std::array<double, 4> PixelIntensity(LDouble theta, LDouble phi, const LwLong& L) const;
};

class LwDocPattern_AzimuthalEquidistant : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    double Resolution_deg_ = 1.0;  // degrees per pixel
};

class LwDocPattern_EquidistantCylindrical : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    double Resolution_deg_ = 1.0;
};

// Gnomonic projection.
class LwDocPattern_Diana : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    double ViewAngle_deg_ = 60.0;  // polar angle at the image's half width
    LwLong ImageSize_ = 181;  // pixels per side
};

class LwDocPattern_StereoProjection : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    double ViewAngle_deg_ = 90.0;
    LwLong ImageSize_ = 181;
};

class LwDocPattern_Orthographic : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    LwLong ImageSize_ = 181;
};

// One row of polar angles in the x-z plane.
class LwDocPattern_OneDimensional : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    double Resolution_deg_ = 1.0;
};
