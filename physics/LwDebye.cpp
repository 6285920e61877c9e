#include "physics/LwDebye.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"
#include "physics/LwVectorFreeElectron.h"

#include <QDebug>

#include <cmath>
#include <map>

namespace {

// 3 hbar^2 in J^2 s^2.
constexpr double kThreeHbarSquared = 3 * LwConst::Hbar_Js * LwConst::Hbar_Js;

}  // namespace

void LwDebye::LoadAtomicWeight(const std::string& text)
{
    weights_.clear();
    weights_.push_back(0.0);

    std::vector<std::string> lines;
    SplitLines(lines, text);
    std::vector<std::string> fields;
    for (std::size_t k = 1; k <= lines.size(); ++k) {
        SplitFields(fields, lines[k - 1]);
        if (fields.size() < 4)
            throw LwError("Debye:LoadAtomicWeight File: too few fields in line " +
                          IntToString(static_cast<int>(k)));
        if (StringToInt(fields[0]) != static_cast<int>(k))
            throw LwError("Debye:LoadAtomicWeight File: order is not correct.");
        weights_.push_back(StringToDouble(fields[3]));
    }

    for (std::size_t z = 0; z < weights_.size(); ++z)
        qDebug().nospace() << z << " " << weights_[z];
}

double LwDebye::GetAtoicWeight(int atomicNumber) const
{
    if (atomicNumber < 1 || static_cast<std::size_t>(atomicNumber) >= weights_.size())
        throw LwError("LwDebye::GetAtoicWeight(), not good atomic number=" + IntToString(atomicNumber));
    return weights_[static_cast<std::size_t>(atomicNumber)];
}

double LwDebye::GetMSD(double temperatureK, int atomicNumber, double debyeTemperatureK) const
{
    if (weights_.empty())
        throw LwError("Atomic weight parameter is not loaded");
    if (debyeTemperatureK <= 0)
        return 0.0;
    return DebyeMeanSquareDisplacement_m2(temperatureK, GetAtoicWeight(atomicNumber), debyeTemperatureK);
}

double DebyeMeanSquareDisplacement_m2(double temperatureK, double weightAmu, double debyeTemperatureK)
{
    if (debyeTemperatureK <= 0)
        return 0.0;
    return (temperatureK * kThreeHbarSquared) /
           (weightAmu * LwConst::AtomicMassUnit_kg * LwConst::Boltzmann_JperK * debyeTemperatureK *
            debyeTemperatureK);
}

void SetDebyeModel(const LwDocFluctuation& fluctuation, LwVectorFreeElectron& wave, const LwDebye& debye)
{
    // Debye temperature by atomic number; an element listed twice keeps its
    // first pair.
    std::map<int, double> thetaByZ;
    const std::vector<std::string>& symbols = fluctuation.DebyeElement_;
    const std::vector<double>& thetas = fluctuation.DebyeTemperature_K_;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        LwAtomName name;
        name.SetAtomName(symbols[i]);
        if (i >= thetas.size())
            throw LwError("SetDebyeModel():Debye temperature is not given for " + symbols[i]);
        thetaByZ.emplace(name.GetAtomicNumber(), thetas[i]);
    }

    for (LwPartialWaveSource& source : wave.Sources()) {
        const int z = source.GetAtomicNumber();
        if (z == 0)
            throw LwError("SetDebyeModel():Atomic Number is zero");
        const auto it = thetaByZ.find(z);
        if (it == thetaByZ.end())
            throw LwError("SetDebyeModel():Atomic Number is not defined");
        source.SetU(debye.GetMSD(fluctuation.Temperature_K_, z, it->second));
    }
}

void SetEinsteinModel(const LwDocFluctuation& fluctuation, LwVectorFreeElectron& wave,
                      const LwDebye& /*debye*/)
{
    const double a =
        std::sqrt(fluctuation.Temperature_K_ * LwConst::Boltzmann_JperK / LwConst::EinsteinSpring_Nperm);
    for (LwPartialWaveSource& source : wave.Sources())
        source.SetU(a * a);
}
