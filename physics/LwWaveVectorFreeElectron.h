#pragma once
// A free-electron wave (a list of partial-wave sources) seen as an
// LwWaveFunction, so that the re-expansion can sample it. The wave is not
// owned: it is attached and must outlive every evaluation.

#include "physics/LwWaveFunction.h"

class LwVectorFreeElectron;

class LwWaveVectorFreeElectron : public LwWaveFunction
{
public:
    LwWaveVectorFreeElectron() = default;

    void Attach(LwVectorFreeElectron* wave) { wave_ = wave; }

    // The attached wave's value about its origin. Each operation throws
    // LwError "pointer is not defined" when nothing is attached.
    LComplex GetValue(double r, double theta, double phi) override;
    // The sines and cosines of the direction once for all radii.
    void GetValuesAlong(double theta, double phi, const double* radii, LwLong count,
                        LComplex* values) override;
    // k of the wave's source 0 (1/m); std::out_of_range when it has none.
    double GetWaveNumber() override;
    double GetKineticEnergy() override;
    // Brings the Legendre normalisation cache of every source to the size its
    // own evaluations need, so that concurrent evaluations only read it.
    void PrepareConcurrentEvaluation() override;

private:
    LwVectorFreeElectron* wave_ = nullptr;
};
