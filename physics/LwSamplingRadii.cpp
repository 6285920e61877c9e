#include "physics/LwSamplingRadii.h"

#include "physics/LwSphericalBesselTable.h"

#include <cstddef>

LwSamplingRadii::LwSamplingRadii() = default;

void LwSamplingRadii::SetSize_l(LwLong L)
{
    if (L != L_) {
        L_ = L;
        rebuild_ = true;
    }
}

void LwSamplingRadii::Rebuild()
{
    if (!rebuild_)
        return;

    kr_.clear();
    radii_.clear();
    w_.clear();
    k_ = 0.0;
    const LwLong blocks = L_ / blockSize_ + (L_ % blockSize_ != 0 ? 1 : 0);
    kr_.assign(std::size_t(blocks), 0.0);
    std::vector<double> best(std::size_t(blocks), 0.0);
    w_.assign(std::size_t(L_), 0.0);

    LwSphericalBesselTable bessel;
    std::vector<double> j;
    // x grows by repeated addition, so the scanned values are those of the
    // running sum, not multiples of 0.01.
    for (double x = 0.0; x < 1.5 * L_; x += 0.01) {
        bessel.Set(L_, x);
        bessel.GetJ(j);
        for (LwLong b = 0; b < blocks; ++b) {
            const LwLong l0 = b * blockSize_;
            const LwLong l1 = l0 + blockSize_ < L_ ? l0 + blockSize_ : L_;
            double product = 1.0;
            for (LwLong l = l0; l < l1; ++l)
                product *= j[std::size_t(l)];
            // Strictly larger: the first x of a tie wins.
            if (product > best[std::size_t(b)]) {
                best[std::size_t(b)] = product;
                kr_[std::size_t(b)] = x;
                for (LwLong l = l0; l < l1; ++l)
                    w_[std::size_t(l)] = j[std::size_t(l)];
            }
        }
    }

    lTable_.SetSize(L_);
    mTable_.SetSize(L_);
    for (LwLong l = 0; l < L_; ++l)
        for (LwLong m = -l; m <= l; ++m) {
            lTable_[lTable_.Index(l, m)] = l;
            mTable_[mTable_.Index(l, m)] = m;
        }
    rebuild_ = false;
}

void LwSamplingRadii::SetWaveNumber(double k)
{
    if (k == k_ && radii_.size() == kr_.size())
        return;
    k_ = k;
    radii_.resize(kr_.size());
    for (std::size_t b = 0; b < kr_.size(); ++b)
        radii_[b] = kr_[b] / k;
}
