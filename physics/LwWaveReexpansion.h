#pragma once
// Re-expansion of a wave about a new centre.
//
// Given a wave psi that is regular near the origin, CalcCoefficients finds
// a_lm (l < L) with
//     psi(r) = sum_lm a_lm j_l(k r) Y_lm(theta, phi)
// from values of the wave alone. The wave is sampled on one sphere per block
// of eight l values (LwSamplingRadii); the samples are projected on
// sin(theta) Y*_lm with the rectangle rule on direction grids that double in
// size from one iteration to the next (MakeSphereGrid), so every iteration
// only adds new directions to running sums. From iteration 5 on, the
// estimates of two successive grids are extrapolated ((4 A_n - A_{n-1}) / 3)
// and divided by j_l(k r_b); the run stops when the relative change of two
// successive results falls below EPS.
//
// Both sums over the directions run in OpenMP loops with a static schedule:
// the wave values (one row per direction) and the projection (one sum per
// (l, m)). Every sum is formed in the same order whatever the number of
// threads, so the result does not depend on it.

#include "core/LwTypes.h"
#include "physics/LwLmArray.h"
#include "physics/LwSamplingRadii.h"

#include <memory>
#include <vector>

class LwPartialWaveSource;
class LwWaveFunction;

class LwWaveReexpansion
{
public:
    LwWaveReexpansion();
    ~LwWaveReexpansion();
    LwWaveReexpansion(const LwWaveReexpansion&) = delete;
    LwWaveReexpansion& operator=(const LwWaveReexpansion&) = delete;

    // Number of l values of the result (l = 0 ... L - 1), L >= 1.
    void SetSize_l(LwLong L);
    LwLong GetSize_l() const { return L_; }
    // Accuracy goal: the largest relative change between two successive
    // results that ends the iteration.
    void SetEPS(double eps) { EPS_ = eps; }
    double GetEPS() const { return EPS_; }
    // Relative change found by the last convergence test, -1 before any.
    double GetAccuracy() const { return accuracy_; }
    // Index n of the last grid iteration of the last run.
    LwLong GetIteration() const { return iteration_; }
    // Directions summed so far in this run.
    LwLong GetPointCount() const { return pointCount_; }
    LwLong GetIterationLimit() const { return iterationLimit_; }
    // Threads of the sampling and projection loops: 0 (the default) takes
    // OpenMP's setting, 1 runs them on the calling thread alone, as a
    // calculator used inside an outer parallel loop must. The result does not
    // depend on it.
    void SetThreadCount(int threads) { threadCount_ = threads < 0 ? 0 : threads; }
    int GetThreadCount() const { return threadCount_; }

    // Makes target the regular wave sum a_lm j_l(kr) Y_lm about the origin:
    // both coefficient arrays receive a_lm / 2, since (h+ + h-) / 2 = j_l; its
    // kinetic energy becomes the wave's and its position (0, 0, 0).
    void ExpandToSource(LwPartialWaveSource& target, LwWaveFunction& wave);
    // The coefficients a_lm for l < L.
    LwLmComplexArray CalcCoefficients(LwWaveFunction& wave);
    // One grid iteration (the current iteration index): adds its directions
    // to the running sums and gives the estimate
    //   A(l, m) = 2 pi^2 / count * sum over directions of sin(theta) Y*_lm psi,
    // which approximates a_lm j_l(k r_b).
    void ProjectOnSpheres(LwLmComplexArray& out);
    // Rebuilds the sampling table when its L changed.
    void SetSamplingRadii();
    // Converts the sampling radii for wave number k (1/m).
    void SetWaveNumber(double k);
    // The sampling radii in metres, one per block of eight l values.
    void GetSamplingRadii(std::vector<double>& radii) const;
    const LwSamplingRadii& GetSamplingTable() const { return *sampling_; }

private:
    using Complex = LComplex;

    void PrepareTables(LwLong directionCount);
    void SampleDirection(LwLong d, LwLong row);
    void ProjectChunk(LwLong p0, LwLong p1, LwLong first, LwLong count);

    LwLmDoubleArray cache_;  // Legendre normalisation of the grid angles
    LwLong iteration_ = 0;
    LwLong pointCount_ = 0;
    LwLmComplexArray sums_;  // running projection sums S_lm of this run
    double EPS_ = 0.001;
    double accuracy_ = -1.0;
    LwLong iterationLimit_;
    LwLong L_ = 1;
    LwWaveFunction* wave_ = nullptr;
    int threadCount_ = 0;
    std::unique_ptr<LwSamplingRadii> sampling_;

    // Scratch of one grid iteration, kept between iterations and runs so that
    // the sums allocate only when the grid or L grows.
    std::vector<double> u_;  // coordinate values of the grid
    std::vector<LwLong> thetaIndex_;  // per direction: index into u_
    std::vector<LwLong> phiIndex_;
    std::vector<LDouble> thetaTable_;  // per coordinate, L*L: sin(theta) N_lm P_lm(cos theta)
    // Per coordinate, 2L-1 values: e^{-i m phi} / sqrt(2 pi) for
    // m = -(L-1) ... L-1, real and imaginary parts apart so that the
    // projection loop runs over contiguous m.
    std::vector<LDouble> phiRe_;
    std::vector<LDouble> phiIm_;
    std::vector<Complex> values_;  // per direction of a batch: the wave on every sampling sphere
    std::vector<LDouble> iterationRe_;  // per (l, m): this iteration's sum S
    std::vector<LDouble> iterationIm_;
    std::vector<LwLong> blockOfL_;  // per l: its sampling sphere
    LwLmDoubleArray legendre_;  // scratch of CalcNormalizedLegendre
    LwLmComplexArray expPhi_;  // scratch of CalcExpPhiTable
};

// out := e^{i m phi} / sqrt(2 pi) at every (l, m), l < L: (cos, sin) of m phi
// at m >= 0 and (cos, -sin) at -m.
void CalcExpPhiTable(LwLmComplexArray& out, LwLong L, LDouble phi);
