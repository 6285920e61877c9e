#pragma once
// Atomic weights and the isotropic mean-square displacement U of vibrating
// atoms.
//
// LwDebye holds the atomic-weight table (atomic mass units, index = atomic
// number, entry 0 = 0.0) read from "AtomicWeight.txt": one line per element in
// the order of Z from hydrogen, fields separated by blanks, tabs or commas,
// field 1 the atomic number and field 4 the weight.
//
// GetMSD gives the high-temperature Debye-model U = 3 hbar^2 T / (M u kB ThetaD^2)
// in square metres. SetDebyeModel and SetEinsteinModel overwrite U of every
// partial-wave source of a wave from the fluctuation settings.

#include "physics/LwDocFluctuation.h"

#include <string>
#include <vector>

class LwVectorFreeElectron;

class LwDebye
{
public:
    // Replaces the table by the weights of `text`, the whole content of
    // "AtomicWeight.txt". Line k must hold atomic number k in field 1 and the
    // weight in field 4. Failures (LwError):
    //   "Debye:LoadAtomicWeight File: order is not correct." at a line whose
    //     number is not k;
    //   "Debye:LoadAtomicWeight File: too few fields in line " k, for a line
    //     (an empty one included) of fewer than four fields.
    // After a failure the table holds entry 0 and the weights before the line.
    void LoadAtomicWeight(const std::string& text);

    // Atomic weight of element Z (amu); LwError
    // "LwDebye::GetAtoicWeight(), not good atomic number=" Z unless
    // 1 <= Z < table size.
    double GetAtoicWeight(int atomicNumber) const;

    // Debye-model U (m^2) at temperature T (K) for element Z with Debye
    // temperature ThetaD (K); 0.0 when ThetaD <= 0 (Z is then not looked up).
    // LwError "Atomic weight parameter is not loaded" before any load.
    double GetMSD(double temperatureK, int atomicNumber, double debyeTemperatureK) const;

    const std::vector<double>& Table() const { return weights_; }

private:
    std::vector<double> weights_;
};

// The high-temperature Debye-model U (m^2, one Cartesian component) of an atom
// of weight `weightAmu` (atomic mass units) at temperature T (K) with Debye
// temperature ThetaD (K): 3 hbar^2 T / (M u kB ThetaD^2); 0.0 when
// ThetaD <= 0. The weight is not checked: callers pass a positive one.
double DebyeMeanSquareDisplacement_m2(double temperatureK, double weightAmu, double debyeTemperatureK);

// The two models applied to a wave: U of every partial-wave source, the
// emitter included, from the fluctuation settings.
//
// SetDebyeModel: U = LwDebye::GetMSD(Temperature_K_, Z, ThetaD of Z), the Debye
// temperature of each element taken from the paired lists DebyeElement_ and
// DebyeTemperature_K_ (for an element listed twice the first pair counts).
// LwError texts: "Error in element name" for a symbol that is no element and
// "SetDebyeModel():Debye temperature is not given for " and the symbol when
// the temperature list is shorter than the symbol list (both before any U
// changes); "SetDebyeModel():Atomic Number is zero" for a source without
// atomic number and "SetDebyeModel():Atomic Number is not defined" for an
// element without Debye temperature, which leave the sources before the
// failing one with their new U and the rest unchanged.
void SetDebyeModel(const LwDocFluctuation& fluctuation, LwVectorFreeElectron& wave, const LwDebye& debye);

// SetEinsteinModel: U = kB T / 70 N/m for every source. The atomic weights
// are not needed; the argument keeps both models callable alike.
void SetEinsteinModel(const LwDocFluctuation& fluctuation, LwVectorFreeElectron& wave, const LwDebye& debye);
