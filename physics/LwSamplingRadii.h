#pragma once
// Sampling spheres of the wave re-expansion.
//
// The re-expansion projects a wave on Y_lm over spheres about the new centre
// and divides the projection of order l by j_l(k r) of the sphere it was
// sampled on. One sphere serves a block of B = 8 consecutive l values; its
// radius is chosen where the product of j_l(kr) over the block is largest,
// so that no j_l of the block is near a zero and the division stays well
// conditioned. The radii are stored as dimensionless kr and converted to
// metres for the current wave number.

#include "core/LwTypes.h"
#include "physics/LwLmArray.h"

#include <vector>

class LwSamplingRadii
{
public:
    LwSamplingRadii();

    // Number of l values served; a change marks the table for a rebuild.
    void SetSize_l(LwLong L);
    LwLong GetSize_l() const { return L_; }
    LwLong GetBlockSize() const { return blockSize_; }
    LwLong GetBlockCount() const { return LwLong(kr_.size()); }
    bool NeedsRebuild() const { return rebuild_; }

    // Scans kr = 0, 0.01, 0.02, ... below 1.5 L for the best product of every
    // block, fills w_l = j_l(kr_b) and the (l, m) lookup tables, and clears
    // the rebuild flag. Nothing happens when the flag is clear.
    void Rebuild();
    // Converts the radii for wave number k (1/m) when k differs from the last.
    void SetWaveNumber(double k);

    double GetWaveNumber() const { return k_; }
    const std::vector<double>& GetKr() const { return kr_; }
    const std::vector<double>& GetRadii() const { return radii_; }
    const std::vector<double>& GetW() const { return w_; }
    const LwLmIntArray& GetLTable() const { return lTable_; }
    const LwLmIntArray& GetMTable() const { return mTable_; }

private:
    LwLong L_ = 15;
    LwLong blockSize_ = 8;
    bool rebuild_ = true;
    double k_ = 0.0;
    std::vector<double> kr_;
    std::vector<double> radii_;
    std::vector<double> w_;
    LwLmIntArray lTable_;
    LwLmIntArray mTable_;
};
