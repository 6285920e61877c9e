#pragma once
// The two steps of a cmd_drev run, on the members of the simulation document.

#include "core/LwTypes.h"
#include "pattern/LwProjection.h"

#include <string>

// Runs the multiple-scattering calculation of the loaded cluster, emitted
// waves and phase shifts with the given method (0 single, 1 slow multiple,
// 2 multiple scattering); the calculation saves the scattered wave under
// `scatteredWaveFileName`.
void CalculateScattering(std::string& scatteredWaveFileName, LwLong method);

// Computes the pattern of the scattering document in `projection` (azimuthal
// equidistant or equidistant cylindrical, the two sized by a resolution;
// LwError for another) and saves plane 0 (the pattern) and, when wanted,
// plane 1 (the direct wave alone, I0) as processed-image documents. Lengths
// in metres, resolution in degrees.
void CalculatePattern(double resolution_deg, double limitClusterSize_m, double lowerLimit_m,
                      const std::string& imageFileName, bool isI0, const std::string& i0FileName,
                      LwProjection projection, double meanFreePath_m, bool byEmitterDistance, bool byDepth);
