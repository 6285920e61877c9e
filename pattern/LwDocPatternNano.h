#pragma once
// The real-space field scan: a pattern document that samples the scattered
// wave itself on a rectangular grid of a plane through the cluster, at
// nanometre scale, instead of its far field.
//
// For every point r of the grid the wave of each selected record is
// evaluated (inside an atom's sphere from the radial solutions of its
// phase-shift entry, elsewhere from the partial-wave sources), turned by a
// phase angle and advanced in time, optionally multiplied by the
// holographic kernel and weighted by |r|, and its real part, imaginary part
// or intensity, limited to [-1000, 1000], is added into plane 0 times the
// record's Ratio.
//
// Units: lengths in metres, the phase angle in radians, the time in seconds.
// Plane 0 is addressed (column, row) = (outer index, inner index).

#include "core/LwTypes.h"
#include "pattern/LwDocPattern.h"

#include <vector>

class LwDocScatteringPhaseShift;
class LwPhaseShiftEntry;

class LwDocPatternNano : public LwDocPattern
{
public:
    // Output modes; any other value gives the intensity as well.
    static constexpr LwLong kRealPart = 0;
    static constexpr LwLong kImaginaryPart = 1;
    static constexpr LwLong kIntensity = 2;

    LwDocPatternNano() { Type = 0; }

    // 3 zero planes of ColumnCount() x RowCount() and zero X, Y, Z and W
    // (the points carry no directions). A step that is not positive and
    // finite, or a range whose point count does not fit a 32-bit integer,
    // is refused with an LwError before anything changes.
    void InitSphericalMap() override;

    // Prepare (check, rotation, the grid above, thermal models), then every
    // selected record summed into plane 0 point by point. Never reports an
    // error: a missing phase-shift document, an atom without radial data,
    // an unknown record index or a failing preparation ends the calculation
    // quietly with plane 0 as far as it was filled. A stop request ends it
    // between columns and skips the rest of the current column.
    void Calculate(LwNotifyTerminate& stop, LwDocScattering& scattering, const LwDocFluctuation& fluctuation,
                   const LwDebye& debye) override;

    // Grid size: (int)((maximum - minimum) / step + 1) of each range,
    // truncated; 0 for a range whose maximum lies a step or more below its
    // minimum. LwError for a bad step or a count beyond a 32-bit integer.
    int ColumnCount() const;
    int RowCount() const;

    // The point of grid position (p, q) in the cluster frame (m), by the
    // scan plane: 0 (x, y, 0), 1 (0, y, z), 2 (x, 0, z) with x, y or z the
    // outer coordinate as listed in the fields below.
    void ScanPoint(int p, int q, LDouble r[3]) const;

    // Fields, in order.
    double OuterMin_m_ = -1e-9;  // range of the outer scan coordinate
    double OuterMax_m_ = 1e-9;
    double InnerMin_m_ = -1e-9;  // range of the inner scan coordinate
    double InnerMax_m_ = 1e-9;
    double Step_m_ = 1e-11;  // spacing of both coordinates
    double PhaseAngle_rad_ = 0;  // the wave is multiplied by cos a - i sin a
    double Time_s_ = 0;  // the wave is multiplied by exp(-i E t / hbar)
    LwLong OutputMode = kRealPart;  // kRealPart, kImaginaryPart, other: intensity
    // 0: outer x, inner y (z = 0); 1: outer y, inner z (x = 0); 2: outer z,
    // inner x (y = 0); any other value as 0.
    LwLong ScanPlane = 0;
    bool IsWithoutEmitterWave_ = false;  // the emitter's outgoing coefficients zeroed
    bool IsHolographicKernel_ = false;  // multiplied by the holographic kernel
    bool IsRadiusWeight_ = false;  // the value weighted by |r| * 1e11
    // Phase shifts and radial solutions of the atoms; not owned.
    const LwDocScatteringPhaseShift* pDocScatteringPaseShift_ = nullptr;

private:
    // What one source needs for the interior of its atom.
    struct AtomInterior
    {
        const LwPhaseShiftEntry* entry = nullptr;
        LwLmComplexArray B;  // interior coefficients B(l, m)
        double limit2 = 0;  // (0.68 rc)^2, m^2
    };

    // Everything the points of one record read; built before the parallel
    // region and only read inside it.
    struct RecordScan
    {
        LwVectorFreeElectron wave;  // W, emitter zeroed on request
        std::vector<AtomInterior> atoms;  // per source of W
        LComplex factor;  // P_a * P_t
        double k0 = 0;  // wave number of W's emitter
        std::vector<LComplex> kernelInverse;  // 1 / psi_0(r_j), j >= 1
        bool kernelZero = false;  // some psi_0(r_j) is 0
        bool kernelFailed = false;  // psi_0 could not be evaluated
        double ratio = 0;
    };

    void SetUpRecord(const LwDocScattering& scattering, int i, RecordScan& scan) const;
    // The wave at r before the phase, time and kernel factors.
    static LComplex WaveAt(const RecordScan& scan, const LDouble r[3], LwLmDoubleArray& cache,
                           LwLmComplexArray& Y);
    // The clamped value v of point r.
    double PointValue(const RecordScan& scan, const LDouble r[3], LwLmDoubleArray& cache,
                      LwLmComplexArray& Y) const;
    // Adds every point of column p; false when a stop request was seen.
    bool ScanColumn(const RecordScan& scan, int p, int rows, LwNotifyTerminate& stop);
};
