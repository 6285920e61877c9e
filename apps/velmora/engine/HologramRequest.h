#pragma once
// What the hologram dialog sends and checks that is not about its widgets:
// the keys' JSON, the file names of an image series, and the checks of the
// photon energies and of the projection tabs' grid parameters.

#include "pattern/LwProjection.h"
#include "apps/velmora/engine/ElementRow.h"

#include <map>
#include <string>
#include <vector>

// The JSON array of "__XFH.Anormalous": one object {"element","f1","f2"} per
// entry in key order, numbers with six significant digits, no blanks.
std::string AnomalousTermsJson(const std::map<std::string, ElementRow>& elements);

// The file of energy `energy_eV` in a series: base "_" E ".xml_vra".
std::string SeriesImageFileName(const std::string& base, double energy_eV);
// LwError when two different energies of the list (keV) give the same image
// file name; a repeated energy gives the same image and is accepted.
void CheckSeriesImageNames(const std::vector<double>& energies_keV);
// LwError unless the list (keV) holds at least one energy and every energy
// is a finite number above 0.
void CheckPhotonEnergies(const std::vector<double>& energies_keV);

// LwError naming the element and the field ("f1", "f2", "TD(K)") unless
// every f1 and f2 of `elements` is a finite number and every Debye
// temperature a finite number of 0 K or more; and, when an element vibrates
// (a Debye temperature above 0), unless the sample temperature is one too.
void CheckElementTerms(const std::map<std::string, ElementRow>& elements, double temperature_K);

// Grid sizes of the projection tabs: LwError unless the parameters give an
// image of 1 to kMaxImagePixels pixels with directions in it.
// CheckResolutionGrid is for the projections sized by a resolution
// (LwProjection::IsSizedByResolution; LwProjection::GridSize's LwError for
// another); its message names the resolution as `shown` (the text the user
// typed), or in six digits when that is empty. The messages of the other
// two name the projection.
constexpr long long kMaxImagePixels = 1LL << 24;
void CheckResolutionGrid(LwProjection projection, double resolutionDeg, const std::string& shown = {});
void CheckSizeGrid(LwProjection projection, int size);
void CheckViewAngle(LwProjection projection, double angleDeg, double maxDeg);
