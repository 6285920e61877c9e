#pragma once
// What velmora adds to the pattern documents of the pattern library: the
// one-dimensional document over the cosine of the polar angle, the working
// wave record with a temperature and a thermal amplitude, and the
// attenuation of a pattern by its path to the surface.
//
// velmora uses the documents' data and their geometry (InitSphericalMap)
// only; the hologram is computed by HologramCalculation into plane 0.

#include "physics/LwVectorFreeElectron.h"
#include "pattern/LwDocPattern.h"
#include "pattern/LwSphericalMapGrid.h"

// n points in the x-z plane whose z runs from -1 to 1 in equal steps
// (z = i * 2 / (n - 1) - 1, x = sqrt(1 - z^2), y = 0) in a grid of n columns
// and one row with N zero planes and W = 1; the projection name is empty.
// n = 0 gives the empty grid; n = 1 (no step) and negative n are refused
// with an LwError.
LwSphericalMapGrid CreateCosZGrid(int N, int n);

// The document of the scattering-pattern matrix: a line of directions over
// the cosine of the polar angle.
class LwDocPattern_CosZ : public LwDocPattern
{
public:
    // Grid = CreateCosZGrid(N, PointCount_).
    void InitSphericalMap() override;
    LwLong PointCount_ = 1024;
};

// A working wave record with the temperature of the thermal vibration and
// the amplitude that goes with it.
class LwVectorFreeElectronThermal : public LwVectorFreeElectron
{
public:
    LwLong Reserved_ = 0;
    double Temperature_K_ = 0;
    double ThermalAmplitude_m_ = 0;  // root of twice the Einstein-model U
    double Unused_ = -1.0;
};

// Temperature_K_ = T and ThermalAmplitude_m_ = sqrt(2) sqrt(kB T / 70 N/m),
// the amplitude of an Einstein oscillator of spring constant 70 N/m.
void SetThermalAmplitude(LwVectorFreeElectronThermal& record, double temperatureK);

// Attenuation of a pattern at exit angle theta (radians from the surface
// normal) for an emitter `depth` metres below the surface: 1 unless the
// document attenuates by depth with a non-zero mean free path L; 0 beyond
// pi/2; else exp(-(depth / cos theta) / L).
double CalcMeanFreePathAttenuation(const LwDocPattern& document, double theta, double depth);
