#pragma once
// One source of a photoelectron wave in the cluster: an outgoing spherical
// wave sum_lm c_lm h+_l(kr) Y_lm(theta, phi) about the source's position,
// optionally with an incoming part sum_lm d_lm h-_l(kr) Y_lm, or a plane wave
// c_00 e^{i K.r}.
//
// Units: lengths in metres, wave numbers in 1/m, kinetic energies in eV,
// mean-square displacements in m^2, angles in radians.
//
// Evaluating a source whose kinetic energy is not set (negative) throws the
// bare text "Kinetic energy is not deined" (a const char*, not an LwError).
//
// Concurrency: the evaluations grow this source's Legendre normalisation
// cache the first time they need a larger L. The growth is guarded, so
// several threads may evaluate the same source at once, provided nobody
// changes the source (coefficients, energy, position) meanwhile.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"
#include "physics/LwLmArray.h"

#include <atomic>
#include <mutex>

class LwPartialWaveSource
{
public:
    // Every number 0, not a plane wave, empty coefficients and cache,
    // position (0, 0, 0).
    LwPartialWaveSource();
    LwPartialWaveSource(const LwPartialWaveSource& other);
    LwPartialWaveSource& operator=(const LwPartialWaveSource& other);

    // Ek in eV; k = sqrt(2 m_e e Ek) / hbar in 1/m.
    void SetKineticEnergy(double ek);
    double GetKineticEnergy() const { return ek_; }
    double GetWaveNumber() const { return k_; }

    // Makes the source a plane wave along `direction` (3-vector, non-zero,
    // any length) with wave vector k * direction / |direction|; the outgoing
    // coefficients become L = 1 with c_00 = amplitude. k must be set first.
    void SetPlaneWave(const LwLDoubleMatrix& direction, const LComplex& amplitude);
    bool IsPlaneWave() const { return isPlaneWave_; }
    void SetIsPlaneWave(bool planeWave) { isPlaneWave_ = planeWave; }
    // k times the unit propagation direction (1/m); empty unless a plane wave.
    LwLDoubleMatrix& PlaneWaveVector() { return planeWaveVector_; }
    const LwLDoubleMatrix& PlaneWaveVector() const { return planeWaveVector_; }

    // Isotropic mean-square displacement of the atom (m^2).
    double GetU() const { return u_; }
    void SetU(double u) { u_ = u; }
    LwLong GetAtomicNumber() const { return atomicNumber_; }
    void SetAtomicNumber(LwLong z) { atomicNumber_ = z; }

    // c_lm (times h+_l) and d_lm (times h-_l; L = 0 for no incoming part).
    LwLmComplexArray& Outgoing() { return outgoing_; }
    const LwLmComplexArray& Outgoing() const { return outgoing_; }
    LwLmComplexArray& Incoming() { return incoming_; }
    const LwLmComplexArray& Incoming() const { return incoming_; }

    // 3-element vector (x, y, z) in metres, read from its first index on.
    LwLDoubleMatrix& Position() { return position_; }
    const LwLDoubleMatrix& Position() const { return position_; }
    void SetPosition(LDouble x, LDouble y, LDouble z);
    LDouble X() const { return position_[position_.VectorBegin()]; }
    LDouble Y() const { return position_[position_.VectorBegin() + 1]; }
    LDouble Z() const { return position_[position_.VectorBegin() + 2]; }

    // The wave at (r, theta, phi) about the source. 0 for r <= 0, k r < 0.001
    // or no coefficients (the plane wave excepted).
    LComplex GetValueLocal(LDouble r, LDouble theta, LDouble phi) const;
    // The wave at (x, y, z) relative to the source.
    LComplex GetValueRelative(LDouble x, LDouble y, LDouble z) const;
    // GetValueRelative by a quicker route for a source with outgoing
    // coefficients only (every scattered wave, most emitters) and L <= 86:
    // h+_l by upward recurrence, Y_lm from the offset's Cartesian components
    // (no inverse trigonometric function), no table beyond per-thread
    // scratch that only grows. Other sources, and offsets where some n_l
    // would overflow, take GetValueRelative. Both agree to rounding.
    LComplex GetValueAtOffset(LDouble x, LDouble y, LDouble z) const;
    // The wave at the absolute point (x, y, z).
    LComplex GetValueXYZ(LDouble x, LDouble y, LDouble z) const;
    // The wave at the absolute point (r sin theta cos phi, r sin theta sin phi,
    // r cos theta), by GetValueAtOffset.
    LComplex GetValueRThetaPhi(LDouble r, LDouble theta, LDouble phi) const;

    // The coefficient of e^{ikR}/(kR) of the outgoing wave far away in the
    // direction whose Y_lm are given (Y must hold the outgoing L), referred to
    // the origin: sum_l (-i)^{l+1} sum_m c_lm Y_lm times e^{-ikd}, with d the
    // unit direction dotted with the source position (m) and k in 1/m.
    LComplex GetFarFieldTerm(const LwLmComplexArray& Y, double k, double d) const;

private:
    // Makes the normalisation cache cover L (thread-safe, see above).
    void EnsureNormalization(LwLong L) const;

    double ek_ = 0;
    double k_ = 0;
    mutable LwLmDoubleArray normalization_;
    bool isPlaneWave_ = false;
    LwLDoubleMatrix planeWaveVector_;
    double u_ = 0;
    LwLong atomicNumber_ = 0;
    LwLmComplexArray outgoing_;
    LwLmComplexArray incoming_;
    LwLDoubleMatrix position_;

    // L the cache is known to cover, published after the cache is complete.
    mutable std::atomic<LwLong> coveredL_{0};
    mutable std::mutex growth_;
};
