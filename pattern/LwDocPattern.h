#pragma once
// Pattern documents: the settings of one angular pattern calculation, its
// projection grid and the working state of the calculation. LwDocPattern is
// the base; each subclass builds the grid of one projection from its own
// parameters (InitSphericalMap). Documents are held by value.
//
// Units: angles in degrees, lengths in metres (as in the scattered-wave
// document).

#include "LwMatrix.h"
#include "LwSphericalMapGrid.h"
#include "LwTypes.h"

#include <vector>

class LwDocPattern
{
public:
    virtual ~LwDocPattern() = default;

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

    // Fields, in order.
    LwLong Type = 0;                 // 1 is refused with scattering versions 1 and 2
    LwLong N = 6;                    // number of intensity planes of the grid
    double EulerA_deg_ = 0;          // Euler angles of the pattern frame
    double EulerB_deg_ = 0;
    double EulerC_deg_ = 0;
    double Phase_deg_ = 0;           // global phase of the emitter's outgoing coefficients
    double ClusterSizeLimit_m_ = 0;  // sources at this distance or farther dropped; 0 = none
    double DepthLimit_m_ = 0;        // sources with z above it dropped; <= 0 = none
    double LowerLimit_m_ = 0;        // sources at this distance or nearer dropped (not the emitter)
    double MeanFreePath_m_ = 0;      // inelastic mean free path of the attenuations
    bool IsAttenuateByEmitterDistance_ = false; // scattered waves by their distance from the emitter
    bool IsAttenuateByDepth_ = false;           // the pattern by the path to the surface
    std::vector<LwULong> SelectBits_; // record selection, 32 records per word
    LwLong SelectBitCount_ = 0;       // its length in bits
    LwSphericalMapGrid Grid;          // built by InitSphericalMap
    LwLong L = 0;                     // l range of the far-field sums; 0 = the sources' largest
    LwLDoubleMatrix Rotation;         // 3 x 3, from the Euler angles
};

class LwDocPattern_AzimuthalEquidistant : public LwDocPattern
{
public:
    void InitSphericalMap() override;
    double Resolution_deg_ = 1.0;    // degrees per pixel
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
    double ViewAngle_deg_ = 60.0;    // polar angle at the image's half width
    LwLong ImageSize_ = 181;         // pixels per side
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
