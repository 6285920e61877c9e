#pragma once
// A wave field as the re-expansion sees it: a value at every point, a wave
// number and a kinetic energy. Points are given in spherical coordinates
// about the origin of the wave's frame (r in metres, theta and phi in
// radians).

#include "core/LwTypes.h"

class LwWaveFunction
{
public:
    virtual ~LwWaveFunction() = default;

    // Value of the wave at (r, theta, phi). The re-expansion calls it from
    // several threads at once after PrepareConcurrentEvaluation.
    virtual LComplex GetValue(double r, double theta, double phi) = 0;
    // The values at radii[0 .. count-1] along one direction, into
    // values[0 .. count-1]: the same numbers as GetValue at each radius. A
    // wave may share the direction's trigonometry between the radii; the
    // default asks GetValue for each. Called concurrently like GetValue.
    virtual void GetValuesAlong(double theta, double phi, const double* radii, LwLong count, LComplex* values)
    {
        for (LwLong i = 0; i < count; ++i)
            values[i] = GetValue(radii[i], theta, phi);
    }
    // Wave number k in 1/m.
    virtual double GetWaveNumber() = 0;
    // Kinetic energy in eV.
    virtual double GetKineticEnergy() = 0;

    // Called on one thread before GetValue is called from several threads:
    // a wave that builds tables lazily on evaluation builds them here, so
    // that the concurrent evaluations only read shared state.
    virtual void PrepareConcurrentEvaluation() {}
};
