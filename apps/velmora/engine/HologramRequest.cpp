#include "apps/velmora/engine/HologramRequest.h"

#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "pattern/LwProjection.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

// Six significant digits, as a default text stream writes a number.
std::string StreamNumber(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

// The shortest text that reads back as the same double: two energies that
// differ show different texts.
std::string ExactNumber(double value)
{
    char text[64];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

// A JSON string body: quotes, backslashes and control characters escaped.
std::string JsonEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += buffer;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string AnomalousTermsJson(const std::map<std::string, ElementRow>& elements)
{
    std::string json = "[";
    bool first = true;
    for (const auto& entry : elements) {
        if (!first)
            json += ",";
        first = false;
        json += "{\"element\":\"" + JsonEscape(entry.first) + "\",\"f1\":" + StreamNumber(entry.second.F1) +
                ",\"f2\":" + StreamNumber(entry.second.F2) + "}";
    }
    return json + "]";
}

std::string SeriesImageFileName(const std::string& base, double energy_eV)
{
    return base + "_" + StreamNumber(energy_eV) + ".xml_vra";
}

void CheckSeriesImageNames(const std::vector<double>& energies_keV)
{
    std::map<std::string, double> names;
    for (double e : energies_keV) {
        const std::string name = SeriesImageFileName("", e * 1000.0);
        const auto [named, added] = names.emplace(name, e);
        if (!added && named->second != e)
            throw LwError("Photon energies " + ExactNumber(named->second) + " and " + ExactNumber(e) +
                          " keV give the same image file name (" + name.substr(1) +
                          "): please give energies that differ in six significant digits");
    }
}

void CheckPhotonEnergies(const std::vector<double>& energies_keV)
{
    if (energies_keV.empty())
        throw LwError("Energy list of incident photon is empty");
    for (double e : energies_keV)
        if (!std::isfinite(e) || !(e > 0))
            throw LwError("Illegal photon energy: " + DoubleToString(e) +
                          " keV (the energy should be a number above 0)");
}

void CheckElementTerms(const std::map<std::string, ElementRow>& elements, double temperature_K)
{
    bool vibrates = false;
    for (const auto& [symbol, row] : elements) {
        const std::pair<const char*, double> terms[] = {{"f1", row.F1}, {"f2", row.F2}};
        for (const auto& [field, value] : terms)
            if (!std::isfinite(value))
                throw LwError("Illegal " + std::string(field) + " of " + symbol + ": " +
                              DoubleToString(value) + " (a finite number is needed)");
        if (!std::isfinite(row.Debye_K_) || row.Debye_K_ < 0)
            throw LwError("Illegal TD(K) of " + symbol + ": " + DoubleToString(row.Debye_K_) +
                          " (the Debye temperature should be a finite number of 0 K or more)");
        vibrates = vibrates || row.Debye_K_ > 0;
    }
    if (vibrates && (!std::isfinite(temperature_K) || temperature_K < 0))
        throw LwError("Illegal Temperature of Sample (K): " + DoubleToString(temperature_K) +
                      " (a finite number of 0 K or more is needed)");
}

void CheckResolutionGrid(LwProjection projection, double resolutionDeg, const std::string& shown)
{
    const std::string named = shown.empty() ? DoubleToString(resolutionDeg) : shown;
    if (!(resolutionDeg > 0) || !std::isfinite(resolutionDeg))
        throw LwError("Illegal resolution: " + named + " (a positive number of degrees is needed)");
    int columns = 0, rows = 0;
    if (!projection.IsSizedByResolution())
        projection.GridSize(resolutionDeg, columns, rows);  // its LwError names the projection
    try {
        projection.GridSize(resolutionDeg, columns, rows);
    } catch (const LwError&) {
        // A positive resolution whose pixel count does not fit.
        throw LwError("Illegal resolution: " + named + " (the image would be too large)");
    }
    const std::string size = IntToString(columns) + " x " + IntToString(rows) + " pixels";
    if (columns < 1 || rows < 2)
        throw LwError("Degree/ Pix = " + named + " gives an image of " + size +
                      ": the image would be too small (please give fewer degrees per pixel)");
    if (static_cast<long long>(columns) * rows > kMaxImagePixels)
        throw LwError("Degree/ Pix = " + named + " gives an image of " + size + " (at most " +
                      std::to_string(kMaxImagePixels) + ")");
}

void CheckSizeGrid(LwProjection projection, int size)
{
    if (size < 2 || static_cast<long long>(size) * size > kMaxImagePixels)
        throw LwError(std::string("Image pix size of ") + projection.GetName() + " should be 2 to " +
                      IntToString(static_cast<int>(std::sqrt(static_cast<double>(kMaxImagePixels)))) + ": " +
                      IntToString(size));
}

void CheckViewAngle(LwProjection projection, double angleDeg, double maxDeg)
{
    if (!(angleDeg > 0) || !(angleDeg < maxDeg))
        throw LwError(std::string("Max angle of ") + projection.GetName() + " should be above 0 and below " +
                      DoubleToString(maxDeg) + ": " + DoubleToString(angleDeg));
}
