#pragma once
// A small reconstruction problem for the transform, correction and job tests:
// an n^3 grid of step 1e-10 m centred on the origin, unit k-space directions
// drawn at random, single-width pattern tables of random values covering
// every radius of the grid.

#include "ReconstructionTestSupport.h"

#include <cmath>
#include <random>

namespace recon_test {

struct SmallProblem
{
    int n = 7;  // grid points per axis (odd: the origin is a point)
    int directions = 60;
    int items = 1;
    int elements = 1;
    int zn = 9;  // cosine samples (odd)
    int rn = 12;  // radius samples, step 0.5e-10 m from 0
    bool doubleWidth = false;  // distinct forward and back tables
    unsigned seed = 11;
};

inline void BuildProblem(LwDocCalcMem& d, const SmallProblem& pr)
{
    std::mt19937 rng(pr.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);

    LwRealSpaceData& r = d.RealSpace_;
    SetCubeGrid(r.Grid_, pr.n, pr.n, pr.n, 1e-10f);
    r.Grid_.NElement_ = pr.elements;
    r.Grid_.IsCutoff_ = false;
    r.CreateFromGrid();
    r.ElementRatio_.assign(pr.elements, 1.0f);

    LwKSpaceData& k = d.KSpace_;
    k.NPoint_ = pr.directions;
    k.Ux_.Create(pr.directions);
    k.Uy_.Create(pr.directions);
    k.Uz_.Create(pr.directions);
    for (int q = 0; q < pr.directions; ++q) {
        double v[3] = {gauss(rng), gauss(rng), gauss(rng)};
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        k.Ux_[q] = static_cast<float>(v[0] / len);
        k.Uy_[q] = static_cast<float>(v[1] / len);
        k.Uz_[q] = static_cast<float>(v[2] / len);
    }
    k.NList_ = pr.items;
    k.E_.assign(pr.items, 1000.0f);
    k.Exp_.clear();
    k.Cal_.clear();
    k.Err_.clear();
    k.ForwardGradient_.clear();
    for (int i = 0; i < pr.items; ++i) {
        LwFloatMatrix z(1, pr.directions);
        z.SetZero();
        k.Exp_.push_back(z);
        k.Cal_.push_back(z);
        k.Err_.push_back(z);
        k.ForwardGradient_.push_back(z);
    }

    LwScatteringPattern& s = d.ScatteringPattern_;
    s.Z_N_ = pr.zn;
    s.R_N_ = pr.rn;
    s.R_Min_ = 0.0f;
    s.R_Step_ = 0.5e-10f;
    s.Ek_eV_.assign(pr.items, 1000.0f);
    s.Element_.assign(pr.elements, "X");
    s.Pattern_.assign(pr.items, std::vector<LwFloatMatrix>());
    for (auto& list : s.Pattern_)
        for (int e = 0; e < pr.elements; ++e) {
            LwFloatMatrix p(pr.rn * (pr.doubleWidth ? 2 : 1), pr.zn);
            for (int j = 0; j < p.ElementCount(); ++j)
                p.Buffer()[j] = uni(rng) - 0.5f;
            list.push_back(p);
        }
    s.InitTransposed();
}

// Table row and column of grid point p and direction q, computed here in
// double from the geometry; `nearEdge` tells when a rounding boundary is so
// close that float arithmetic may pick the neighbour.
inline void TableCell(const LwDocCalcMem& d, int p, int q, int& ir, int& idx, bool& nearEdge)
{
    const LwRealSpaceData& r = d.RealSpace_;
    const LwKSpaceData& k = d.KSpace_;
    const LwScatteringPattern& s = d.ScatteringPattern_;
    const double radius = r.R_[p];
    const double xr = (radius - s.R_Min_) / s.R_Step_ + 0.5;
    ir = static_cast<int>(xr);
    const double c = static_cast<double>(k.Ux_[q]) * r.Ux_[p] + static_cast<double>(k.Uy_[q]) * r.Uy_[p] +
                     static_cast<double>(k.Uz_[q]) * r.Uz_[p];
    const double xc = (c + 1.0) * (s.Z_N_ / 2) + 0.5;
    idx = std::min(std::max(static_cast<int>(std::floor(xc)), 0), s.Z_N_ - 1);
    nearEdge = std::fabs(xc - std::round(xc)) < 1e-4 || std::fabs(xr - std::round(xr)) < 1e-4;
}

}  // namespace recon_test
