#pragma once
// Diffraction pattern of the simplest cluster, an emitter at the origin and
// one scatterer of the same element on the z axis, as a matrix over the
// emitter-scatterer distance (columns, index e) and cos(theta) of the
// observation direction (rows, index c), and its post-processing (thermal
// damping, blur, normalisation, window) into one result matrix. Distances in
// metres, kinetic energies in eV, angles in degrees where stored and radians
// in the calculation. Every matrix has begins 0.

#include "core/LwMatrix.h"
#include "core/LwSThCalc.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"

#include <utility>
#include <vector>

// Thermal damping of the interference term: wave number k (1/m) and
// temperature (K).
struct LwThermalDamping
{
    double K = 0;
    double Temperature_K = 0;
};

// Puts the wave number of an electron of kinetic energy ek (eV) into d.
void SetThermalWaveNumber(LwThermalDamping& d, double ek);
// exp(-(1 - cos) a^2) for each cos value, a^2 = 2 k^2 U with the mean square
// displacement U = k_B T / (70 N/m) in m^2.
std::vector<double> ThermalDampingFactors(const LwThermalDamping& d, const std::vector<double>& cosValues);
// X with row c of every column multiplied by the factor at
// cos = c 2/(n - 1) - 1 (equal cos steps from -1 to 1, n rows >= 2).
LwLDoubleMatrix ApplyThermalDamping(const LwThermalDamping& d, const LwLDoubleMatrix& x);

// (X - D - S)/sqrt(S), element by element.
LwLDoubleMatrix InterferenceTerm(const LwLDoubleMatrix& x, const LwLDoubleMatrix& s,
                                 const LwLDoubleMatrix& d);
// 1 - sqrt(S(e, c) / S(e, last row)) per column.
LwLDoubleMatrix ForwardContrast(const LwLDoubleMatrix& s);
// The columns of a followed by those of b, a's row count.
LwLDoubleMatrix ConcatColumns(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b);
// Y(e, c+1) - Y(e, c-1) on inner rows; first and last row copied from their
// neighbour.
LwLDoubleMatrix DerivativeAlongRows(const LwLDoubleMatrix& y);
// Sum of the squares of all elements.
LDouble SumOfSquares(const LwLDoubleMatrix& y);

class LwDocScatteringPatternMatrix : public LwSThCalc
{
public:
    // CalcPattern unless IsPostProcessOnly_, then PostProcess unless stopped.
    void Calculate() override;
    LwLong GetProgressMax() const override { return RCount_; }

    void CalcPattern();
    void PostProcess();

    // Position of the one set flag of PhaseShiftSelect_.
    LwLong SelectPhaseShift() const;
    // Throws unless some emitted-wave entry has exactly the kinetic energy ek.
    void CheckEmitterEnergy(double ek) const;
    void MakeRAxis();
    // Needs CosCount_ >= 2.
    void MakeCosAxis();
    LwLDoubleMatrix Normalize(const LwLDoubleMatrix& x, LwLong type);
    LwLDoubleMatrix ScaleDifference(const LwLDoubleMatrix& x);
    LwLDoubleMatrix ScaleColumns(const LwLDoubleMatrix& y);
    LwLDoubleMatrix ModifyNormalized(const LwLDoubleMatrix& x, const LwLDoubleMatrix& s,
                                     const LwLDoubleMatrix& d, LwLong maskType);
    LwLDoubleMatrix ApplyMask(const LwLDoubleMatrix& x, LwLong type);
    LwLong MaskLowerRow(LwLong e) const;
    void MakeReferenceEnvelope();

    LwLong NormalizeType_ = 0;
    LwLong NormalizeType2_ = -1;
    LwLong PanelMode_ = -1;
    LwLong MaskType_ = 0;
    LwLong MaskAdaptive_ = 0;
    double MaskPercent_ = 0;
    double ThermalTemperature_K_ = 0;
    double BlurWidth_ = 0;
    LwLDoubleMatrix IntensityDirect_;  // D: sum of |A_d|^2, emitter alone
    LwLDoubleMatrix IntensityScattered_;  // S: sum of |A_s|^2, scatterer alone
    LwLDoubleMatrix IntensityTotal_;  // T: sum of |A_d + A_s|^2
    LwLDoubleMatrix IntensityQuadrature_;  // Q: sum of |i A_d + A_s|^2
    LwLDoubleMatrix ReferencePattern_;
    LwLDoubleMatrix ReferenceDerivative_;
    LwLDoubleMatrix ReferenceEnvelope_;
    LwDocScattering* PDocScattering_ = nullptr;
    LwDocScatteringPhaseShift* PDocScatteringPhaseShift_ = nullptr;
    LwDocFinalState* PDocFinalState_ = nullptr;
    LwDocFluctuation* PDocFluctuation_ = nullptr;
    LwDebye* PDebye_ = nullptr;
    double RMin_ = 0;  // m
    double RStep_ = 0;  // m
    LwLong RCount_ = 1;
    bool IsPostProcessOnly_ = false;
    std::vector<bool> PhaseShiftSelect_;
    LwLong CosCount_ = 1;
    LwLDoubleMatrix RAxis_;
    LwLDoubleMatrix CosAxis_;
    LwLong ScaleType_ = 1;
    bool IsThetaAxis_ = false;
    std::vector<std::pair<double, LwLDoubleMatrix>> ListPattern_;
    std::vector<double> ColumnScale_;
};
