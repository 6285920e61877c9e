#pragma once
// Gaussian blur of an azimuthally symmetric scattering pattern. The pattern
// is an LwFloatMatrix whose rows are cos(theta) in equal steps from -1 (row 0)
// to +1 (last row) and whose columns are another quantity (the
// emitter-scatterer distance of a scattering pattern matrix). Because the
// pattern is the same for every azimuth, a blur of angular width sigma on the
// sphere mixes rows only. Angles are given in degrees and used in radians.

#include "core/LwMatrix.h"
#include "core/LwSThCalc.h"

// (sigma, -1/(2 sigma^2), 1/sqrt(2 pi sigma^2)) of a normalised Gaussian.
struct LwGaussTriple
{
    double Sigma;
    double Exponent;
    double Norm;
};

class LwBlurForSPattern : public LwSThCalc
{
public:
    explicit LwBlurForSPattern(double angularWidth = 0, double columnStep = 0, double columnSigma = 0,
                               LwLong progressMax = 0)
        : AngularWidth(angularWidth), ColumnStep(columnStep), ColumnSigma(columnSigma),
          ProgressMax(progressMax)
    {}

    // Output = Ver5(Input, AngularWidth), then the column blur of that result
    // with ColumnStep and ColumnSigma.
    void Calculate() override;
    LwLong GetProgressMax() const override { return ProgressMax; }

    // Sampled angular blur: the Gaussian is sampled on a square grid of
    // offsets in the tangent plane (step sigma/N, out to 3 sigma) and each
    // offset picks the nearest row. Output gets input's size (begins 0).
    // Offsets beyond 1 radian (sigma above about 19.1 degrees) have no row
    // and throw "ERR". A pattern of fewer than two rows is copied unchanged.
    void Ver5(LwFloatMatrix& output, const LwFloatMatrix& input, double sigmaDeg);
    // Angular blur integrated over the sphere ring piece by ring piece, out
    // to 4 sigma; weight exp(-sin^2(angle)/(2 sigma^2)) times the area of the
    // piece. A pattern of fewer than two rows is copied unchanged.
    void Ver6(LwFloatMatrix& output, const LwFloatMatrix& input, double sigmaDeg);
    // Gaussian blur along the columns, columns `step` apart in the unit of
    // `sigma`; sigma <= 0 or step <= 0 copies the input. Polls the stop
    // request after each column; columns not reached stay 0.
    void ColumnBlur(LwFloatMatrix& output, const LwFloatMatrix& input, double step, double sigma);

    // Throws "FuncGauss: Sigma should be positive" for sigma <= 0.
    static LwGaussTriple FuncGauss(double sigma);

private:
    // Common start of Ver5 and Ver6: progress 0 of the row count, output
    // zeroed in input's shape; false (output a copy of input) for fewer than
    // two rows, where the row step 2/(rows - 1) is not defined.
    bool BeginRowBlur(LwFloatMatrix& output, const LwFloatMatrix& input);

public:
    double AngularWidth = 0;  // degrees, for Calculate
    double ColumnStep = 0;  // spacing of two columns, unit of ColumnSigma
    double ColumnSigma = 0;  // <= 0: no column blur
    LwFloatMatrix Input;
    LwFloatMatrix Output;
    LwLong ProgressMax = 0;  // rows (Ver5, Ver6) or columns (column blur)
};
