#include "pattern/LwDocScatteringPatternMatrix.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// cols x rows matrix with element (e, c) = f(e, c).
LwLDoubleMatrix Make(int cols, int rows, const std::function<double(int, int)>& f)
{
    LwLDoubleMatrix m(cols, rows);
    for (int c = 0; c < rows; ++c)
        for (int e = 0; e < cols; ++e)
            m(e, c) = f(e, c);
    return m;
}

// A pattern matrix with post-processing inputs of `cols` distances and `rows`
// equal cos steps: D = 1, S = 0.1 (1 + cos), T and Q built from D, S and an
// interference term.
void FillPostProcessInput(LwDocScatteringPatternMatrix& m, int cols, int rows)
{
    m.RCount_ = cols;
    m.CosCount_ = rows;
    m.RMin_ = 2e-10;
    m.RStep_ = 0.5e-10;
    m.MakeRAxis();
    m.MakeCosAxis();
    auto z = [rows](int c) { return c * 2.0 / (rows - 1) - 1; };
    m.IntensityDirect_ = Make(cols, rows, [](int, int) { return 1.0; });
    m.IntensityScattered_ = Make(cols, rows, [&](int, int c) { return 0.1 * (1.2 + z(c)); });
    m.IntensityTotal_ =
        Make(cols, rows, [&](int e, int c) { return 1.1 + 0.1 * z(c) + 0.3 * std::cos(5 * (e + 1) * z(c)); });
    m.IntensityQuadrature_ =
        Make(cols, rows, [&](int e, int c) { return 1.1 + 0.1 * z(c) + 0.3 * std::sin(5 * (e + 1) * z(c)); });
    m.ListPattern_.assign(1, {500.0, LwLDoubleMatrix()});
}

}  // namespace

TEST(LwDocScatteringPatternMatrix, DefaultsAfterConstruction)
{
    LwDocScatteringPatternMatrix m;
    EXPECT_EQ(m.NormalizeType_, 0);
    EXPECT_EQ(m.NormalizeType2_, -1);
    EXPECT_EQ(m.PanelMode_, -1);
    EXPECT_EQ(m.RCount_, 1);
    EXPECT_EQ(m.CosCount_, 1);
    EXPECT_EQ(m.GetProgress(), 0);
    EXPECT_EQ(m.GetProgressMax(), 1);
    EXPECT_EQ(m.GetMessage(), "");
    EXPECT_FALSE(m.IsPostProcessOnly_);
    EXPECT_EQ(m.PDocScattering_, nullptr);
    EXPECT_TRUE(m.ListPattern_.empty());
}

TEST(LwDocScatteringPatternMatrix, AxesInEqualCosOrThetaSteps)
{
    LwDocScatteringPatternMatrix m;
    m.RCount_ = 3;
    m.RMin_ = 1e-10;
    m.RStep_ = 2e-10;
    m.MakeRAxis();
    for (int k = 0; k < 3; ++k)
        EXPECT_DOUBLE_EQ(static_cast<double>(m.RAxis_[k]), 1e-10 + k * 2e-10);
    m.CosCount_ = 5;
    m.MakeCosAxis();
    for (int k = 0; k < 5; ++k)
        EXPECT_NEAR(static_cast<double>(m.CosAxis_[k]), -1 + 0.5 * k, 1e-15);
    m.IsThetaAxis_ = true;
    m.MakeCosAxis();
    for (int k = 0; k < 5; ++k)
        EXPECT_NEAR(static_cast<double>(m.CosAxis_[k]), std::cos(k * Reference::Pi / 4), 1e-15);
    m.CosCount_ = 1;
    EXPECT_EQ(ErrorText([&] { m.MakeCosAxis(); }), "MakeCosAxis: at least two cos(theta) rows are needed");
}

TEST(LwDocScatteringPatternMatrix, PhaseShiftSelection)
{
    LwDocScatteringPatternMatrix m;
    const struct
    {
        std::vector<bool> flags;
        std::string result;
    } cases[] = {{{}, "Error: Please check a phase shift"},
                 {{false, false}, "Error: Please check a phase shift"},
                 {{true, false, true}, "Error: Please check one phase shift."},
                 {{false, false, true}, "2"}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.result);
        m.PhaseShiftSelect_ = tc.flags;
        std::string got;
        const std::string error = ErrorText([&] { got = std::to_string(m.SelectPhaseShift()); });
        EXPECT_EQ(error == "(no error)" ? got : error, tc.result);
    }
}

TEST(LwDocScatteringPatternMatrix, FreeFunctionsOnMatrices)
{
    const LwLDoubleMatrix d = Make(2, 3, [](int, int) { return 1.0; });
    const LwLDoubleMatrix s = Make(2, 3, [](int e, int c) { return (e + 1) * (c + 1) * 0.25; });
    const LwLDoubleMatrix x = Make(2, 3, [](int e, int c) { return 2.0 + e - c; });
    const LwLDoubleMatrix it = InterferenceTerm(x, s, d);
    const LwLDoubleMatrix fc = ForwardContrast(s);
    for (int e = 0; e < 2; ++e)
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(static_cast<double>(it(e, c)),
                        (x(e, c) - 1 - s(e, c)) / std::sqrt(static_cast<double>(s(e, c))), 1e-12);
            EXPECT_NEAR(static_cast<double>(fc(e, c)), 1 - std::sqrt((c + 1) / 3.0), 1e-12);
        }
    const LwLDoubleMatrix cc = ConcatColumns(x, s);
    ASSERT_EQ(cc.ColSize, 4);
    EXPECT_EQ(cc(1, 2), x(1, 2));
    EXPECT_EQ(cc(3, 2), s(1, 2));
    const LwLDoubleMatrix y = Make(1, 5, [](int, int c) { return c * c; });
    const LwLDoubleMatrix dy = DerivativeAlongRows(y);
    const double expected[] = {4, 4, 8, 12, 12};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(static_cast<double>(dy(0, c)), expected[c]);
    EXPECT_EQ(static_cast<double>(SumOfSquares(y)), 0 + 1 + 16 + 81 + 256);
}

TEST(LwDocScatteringPatternMatrix, ThermalDampingFactor)
{
    LwThermalDamping d;
    SetThermalWaveNumber(d, 500);
    // k = sqrt(2 m e E)/hbar with the constants of the physics.
    const double k = Reference::ElectronWaveNumber_perm(500);
    EXPECT_NEAR(d.K, k, 1e-9 * k);
    d.Temperature_K = 300;
    const double u = Reference::Boltzmann_JperK * 300 / Reference::EinsteinSpring_Nperm;
    const std::vector<double> f = ThermalDampingFactors(d, {1.0, 0.0, -1.0});
    EXPECT_DOUBLE_EQ(f[0], 1.0);
    EXPECT_NEAR(f[1], std::exp(-2 * k * k * u), 1e-12);
    EXPECT_NEAR(f[2], std::exp(-4 * k * k * u), 1e-12);
    const LwLDoubleMatrix x = Make(2, 3, [](int, int) { return 2.0; });
    const LwLDoubleMatrix damped = ApplyThermalDamping(d, x);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(static_cast<double>(damped(1, c)), 2 * f[2 - c], 1e-12);
}

TEST(LwDocScatteringPatternMatrix, WindowWeights)
{
    LwDocScatteringPatternMatrix m;
    const LwLDoubleMatrix ones = Make(1, 9, [](int, int) { return 1.0; });  // cos steps of 0.25
    const LwLDoubleMatrix hann = m.ApplyMask(ones, 2);
    const LwLDoubleMatrix hamming = m.ApplyMask(ones, 3);
    const LwLDoubleMatrix half = m.ApplyMask(ones, 1);
    for (int c = 0; c < 9; ++c) {
        const double u = c * 0.25 - 1;
        SCOPED_TRACE(u);
        const double xx = Reference::Pi * (1 - u);
        EXPECT_NEAR(static_cast<double>(hann(0, c)), u < 0 ? 0 : 0.5 * std::cos(xx) + 0.5, 1e-15);
        EXPECT_NEAR(static_cast<double>(hamming(0, c)), u < 0 ? 0 : 0.46 * std::cos(xx) + 0.54, 1e-15);
        EXPECT_NEAR(static_cast<double>(half(0, c)), u < 0 ? 0 : std::cos(xx / 2), 1e-15);
    }
    EXPECT_NEAR(static_cast<double>(hann(0, 8)), 1.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(hann(0, 6)), 0.5, 1e-15);
    EXPECT_NEAR(static_cast<double>(hamming(0, 4)), 0.08, 1e-15);
    EXPECT_EQ(ErrorText([&] { m.ApplyMask(ones, 4); }), "Proc Mask ERROR, undefined type:4");
    EXPECT_EQ(ErrorText([&] { m.ApplyMask(ones, -1); }), "Proc Mask ERROR, undefined type:-1");
}

// A flat reference has no derivative, so its envelope is itself; the lower
// end is then the row at which the sum from the top reaches the fraction
// (1 - percent/100) of the rows from a quarter of the way up. Nine rows: the
// sum runs over rows 2 to 8 and 50 % reaches 3.5 rows at row 5 (cos 0.25).
TEST(LwDocScatteringPatternMatrix, AdaptiveWindowFollowsTheReferenceEnvelope)
{
    LwDocScatteringPatternMatrix m;
    const int n = 9;
    m.MaskAdaptive_ = 1;
    m.ReferencePattern_ = Make(2, n, [](int e, int) { return 1.0 + e; });
    const LwLDoubleMatrix ones = Make(2, n, [](int, int) { return 1.0; });
    const struct
    {
        double percent;
        int lowerRow;
    } cases[] = {{50, 5}, {0, 2}, {100, 8}, {80, 7}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.percent);
        m.MaskPercent_ = tc.percent;
        const LwLDoubleMatrix r = m.ApplyMask(ones, 2);
        for (int e = 0; e < 2; ++e) {
            EXPECT_EQ(m.MaskLowerRow(e), tc.lowerRow);
            EXPECT_EQ(m.ReferenceEnvelope_(e, 3), m.ReferencePattern_(e, 3));
            const double u0 = tc.lowerRow * 0.25 - 1;
            for (int c = 0; c < n; ++c) {
                const double u = c * 0.25 - 1;
                const double w =
                    u < u0 ? 0.0 : (u0 < 1 ? 0.5 * std::cos(Reference::Pi * (1 - u) / (1 - u0)) + 0.5 : 1.0);
                EXPECT_NEAR(static_cast<double>(r(e, c)), w, 1e-15) << "row " << c;
            }
        }
    }
}

// The envelope of a sloped reference combines it with its derivative scaled
// to the same overall size.
TEST(LwDocScatteringPatternMatrix, ReferenceEnvelopeOfASlope)
{
    LwDocScatteringPatternMatrix m;
    m.ReferencePattern_ = Make(1, 4, [](int, int c) { return 1.0 + c; });
    m.MakeReferenceEnvelope();
    const double deriv[4] = {2, 2, 2, 2};
    const double scale = std::sqrt(1 + 4 + 9 + 16.0) / std::sqrt(16.0);
    for (int c = 0; c < 4; ++c) {
        const double dv = deriv[c] * scale;
        EXPECT_NEAR(static_cast<double>(m.ReferenceDerivative_(0, c)), dv, 1e-14);
        EXPECT_NEAR(static_cast<double>(m.ReferenceEnvelope_(0, c)),
                    std::sqrt(dv * dv + (1.0 + c) * (1.0 + c)), 1e-14);
    }
}

TEST(LwDocScatteringPatternMatrix, ScaleColumnsByType)
{
    LwDocScatteringPatternMatrix m;
    m.RCount_ = 2;
    m.RMin_ = 2.5e-10;
    m.RStep_ = 1.5e-10;
    m.MakeRAxis();
    const int n = 7;
    // A column with its first peak, seen from the last row, at row 4.
    const double col[n] = {0.5, 3.0, 1.0, 1.5, 2.0, 1.8, 1.0};
    const LwLDoubleMatrix y = Make(2, n, [&](int e, int c) { return col[c] * (e + 1); });
    auto sumSq = [&](int e) {
        double s = 0;
        for (int c = 0; c < n; ++c)
            s += col[c] * (e + 1) * col[c] * (e + 1);
        return s;
    };
    auto weighted = [&](int e) {
        double s = 0;
        for (int c = 0; c < n; ++c) {
            const double t = (n - 1.0 - c) / (n - 1);
            const double v = col[c] * (e + 1) * std::exp(-16 * t * t);
            s += v * v;
        }
        return s;
    };
    const struct
    {
        LwLong type;
        std::function<double(int)> factor;
    } cases[] = {{0, [](int e) { return 2.5 + 1.5 * e; }},
                 {1, [](int) { return 1.0; }},
                 {2, [&](int e) { return 1 / std::sqrt(sumSq(e)); }},
                 {3, [&](int e) { return 1 / (2.0 * (e + 1)); }},
                 {4, [&](int e) { return 1 / weighted(e); }},
                 {5, [](int e) { return std::sqrt(2.5 + 1.5 * e); }}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.type);
        m.ScaleType_ = tc.type;
        const LwLDoubleMatrix r = m.ScaleColumns(y);
        EXPECT_EQ(m.CosCount_, n);
        ASSERT_EQ(m.ColumnScale_.size(), 2u);
        for (int e = 0; e < 2; ++e) {
            const double f = tc.factor(e);
            EXPECT_NEAR(m.ColumnScale_[static_cast<size_t>(e)], f, 1e-12 * f);
            for (int c = 0; c < n; ++c)
                EXPECT_NEAR(static_cast<double>(r(e, c)), col[c] * (e + 1) * f,
                            1e-12 * std::fabs(col[c] * (e + 1) * f));
        }
    }
    m.ScaleType_ = 3;
    const LwLDoubleMatrix rising = Make(2, n, [](int, int c) { return 1.0 + c; });
    EXPECT_EQ(ErrorText([&] { m.ScaleColumns(rising); }), "ScaleColumns: no peak in column 0");
    m.ScaleType_ = 6;
    EXPECT_EQ(ErrorText([&] { m.ScaleColumns(y); }), "ScaleColumns: undefined scale type: 6");
}

TEST(LwDocScatteringPatternMatrix, PostProcessPanelsAndNormalisations)
{
    const int cols = 3, rows = 11;
    {
        LwDocScatteringPatternMatrix m;
        FillPostProcessInput(m, cols, rows);
        m.NormalizeType_ = 1;  // T unchanged, no window
        m.PostProcess();
        const LwLDoubleMatrix& r = m.ListPattern_[0].second;
        ASSERT_EQ(r.ColSize, cols);
        for (int c = 0; c < rows; ++c)
            EXPECT_EQ(r(2, c), m.IntensityTotal_(2, c));
    }
    {
        LwDocScatteringPatternMatrix m;
        FillPostProcessInput(m, cols, rows);
        m.NormalizeType_ = 3;
        m.NormalizeType2_ = 1;
        m.PanelMode_ = 0;
        m.PostProcess();
        const LwLDoubleMatrix& r = m.ListPattern_[0].second;
        ASSERT_EQ(r.ColSize, 2 * cols);
        const LwLDoubleMatrix it =
            InterferenceTerm(m.IntensityTotal_, m.IntensityScattered_, m.IntensityDirect_);
        for (int c = 0; c < rows; ++c) {
            EXPECT_NEAR(static_cast<double>(r(1, c)), static_cast<double>(it(1, c)), 1e-12);
            EXPECT_EQ(r(cols + 1, c), m.IntensityTotal_(1, c));
        }
    }
    {
        LwDocScatteringPatternMatrix m;
        FillPostProcessInput(m, cols, rows);
        m.NormalizeType_ = 1;
        m.NormalizeType2_ = 1;
        m.PanelMode_ = 1;
        m.PostProcess();
        const LwLDoubleMatrix& r = m.ListPattern_[0].second;
        ASSERT_EQ(r.ColSize, 3 * cols);
        for (int c = 0; c < rows; ++c)
            EXPECT_EQ(r(2 * cols, c), m.IntensityQuadrature_(0, c));
    }
    for (LwLong panel : {0, 1}) {
        LwDocScatteringPatternMatrix m;
        FillPostProcessInput(m, cols, rows);
        m.NormalizeType_ = 7;
        m.NormalizeType2_ = 1;
        m.PanelMode_ = panel;
        EXPECT_EQ(ErrorText([&] { m.PostProcess(); }), "Not imprimented");
    }
}

// The thermal damping acts on the interference part only: the result minus D
// is (T - D) times the factor of its row.
TEST(LwDocScatteringPatternMatrix, PostProcessDampsTheInterferencePart)
{
    const int cols = 2, rows = 9;
    LwDocScatteringPatternMatrix m;
    FillPostProcessInput(m, cols, rows);
    m.IsThetaAxis_ = true;  // the damping still uses equal cos steps
    m.NormalizeType_ = 1;
    m.ThermalTemperature_K_ = 300;
    m.PostProcess();
    LwThermalDamping d;
    SetThermalWaveNumber(d, 500);
    d.Temperature_K = 300;
    std::vector<double> cosValues;
    for (int c = 0; c < rows; ++c)
        cosValues.push_back(c * 0.25 - 1);
    const std::vector<double> f = ThermalDampingFactors(d, cosValues);
    const LwLDoubleMatrix& r = m.ListPattern_[0].second;
    for (int e = 0; e < cols; ++e)
        for (int c = 0; c < rows; ++c)
            EXPECT_NEAR(static_cast<double>(r(e, c)),
                        1 + (static_cast<double>(m.IntensityTotal_(e, c)) - 1) * f[static_cast<size_t>(c)],
                        1e-12);
}

// ModifyNormalized removes the S component of each windowed column and
// normalises it: the result is orthogonal to S on the rows it keeps and has
// unit length.
TEST(LwDocScatteringPatternMatrix, ModifyNormalizedGivesUnitColumns)
{
    const int cols = 2, rows = 21;
    LwDocScatteringPatternMatrix m;
    FillPostProcessInput(m, cols, rows);
    m.NormalizeType_ = 7;
    m.MaskType_ = 2;
    m.PostProcess();
    const LwLDoubleMatrix& r = m.ListPattern_[0].second;
    for (int e = 0; e < cols; ++e) {
        double sumSq = 0;
        for (int c = 0; c < rows; ++c)
            sumSq += static_cast<double>(r(e, c) * r(e, c));
        EXPECT_NEAR(sumSq, 1.0, 1e-12);
        for (int c = 0; c < rows / 2; ++c)
            EXPECT_EQ(r(e, c), 0.0);  // below cos(theta) = 0 the window is 0
    }
}

TEST(LwDocScatteringPatternMatrix, BlurredPostProcessKeepsAConstantPattern)
{
    const int cols = 2, rows = 31;
    LwDocScatteringPatternMatrix m;
    FillPostProcessInput(m, cols, rows);
    m.IntensityTotal_ = Make(cols, rows, [](int e, int) { return 2.0 + e; });
    m.NormalizeType_ = 1;
    m.BlurWidth_ = 5;
    m.PostProcess();
    const LwLDoubleMatrix& r = m.ListPattern_[0].second;
    for (int e = 0; e < cols; ++e)
        for (int c = 0; c < rows; ++c)
            EXPECT_NEAR(static_cast<double>(r(e, c)), 2.0 + e, 1e-4);
}

// Post-processing before any calculation has no pattern entry to write.
TEST(LwDocScatteringPatternMatrix, PostProcessOnlyWithoutAPatternIsRefused)
{
    LwDocScatteringPatternMatrix m;
    m.IsPostProcessOnly_ = true;
    EXPECT_EQ(ErrorText([&] { m.Calculate(); }), "PostProcess: no pattern has been calculated");
    EXPECT_TRUE(m.ListPattern_.empty());
}

TEST(LwDocScatteringPatternMatrix, CalcPatternChecksItsInputsInOrder)
{
    LwDocScatteringPatternMatrix m;
    LwDocScattering scattering;
    LwDocScatteringPhaseShift phaseShift;
    LwDocFinalState finalState;
    LwDocFluctuation fluctuation;
    LwDebye debye;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():ERROR LwDocScatteringPatternMatrix():PDocScattering_==NULL");
    m.PDocScattering_ = &scattering;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():ERROR LwDocScatteringPatternMatrix():PDocScatteringPhaseShift_==NULL");
    m.PDocScatteringPhaseShift_ = &phaseShift;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():ERROR LwDocScatteringPatternMatrix():PDocFinalState_==NULL");
    m.PDocFinalState_ = &finalState;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():ERROR LwDocScatteringPatternMatrix():PDocFluctuation_==NULL");
    m.PDocFluctuation_ = &fluctuation;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():ERROR LwDocScatteringPatternMatrix():PDebye_==NULL");
    m.PDebye_ = &debye;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }), "CalcPattern():Error: Please check a phase shift");
    m.PhaseShiftSelect_ = {false, true};
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():Error: the checked phase shift is not in the phase-shift document");
    phaseShift.ListScatteringPhaseShift.resize(2);
    phaseShift.ListScatteringPhaseShift[1].Ek_eV = 321;
    finalState.ListEmitter.resize(1);
    finalState.ListEmitter[0].Ek = 320;
    m.CosCount_ = 3;
    EXPECT_EQ(ErrorText([&] { m.CalcPattern(); }),
              "CalcPattern():Error: Emitter settings is not good. Corresponding kinetic energy is not found");
}

namespace {

// k = sqrt(2 m_e e E) / hbar (1/m) for E in eV.
double WaveNumber(double ekEv)
{
    return Reference::ElectronWaveNumber_perm(ekEv);
}

// An s-wave phase-shift entry: t_0 = e^{2 i delta0} - 1.
LwPhaseShiftEntry SWavePhaseShift(const std::string& name, double ek, double delta0)
{
    LwPhaseShiftEntry entry;
    entry.AtomName = name;
    entry.AtomElement = "Cu";
    entry.Ek_eV = ek;
    entry.TVector.Create(1);
    entry.PhaseShiftValue.Create(1);
    entry.PhaseShiftValue[0] = delta0 * 180 / Reference::Pi;
    entry.TVector[0] = std::exp(LComplex(0, 2 * delta0)) - LComplex(1, 0);
    entry.LnX = {std::log(1.0e-10)};
    return entry;
}

LwEmitterEntry SWaveEmitter(double ek, LComplex c00)
{
    LwEmitterEntry e;
    e.Ek = ek;
    e.coeff.SetSizeZero(1);
    e.coeff(0, 0) = c00;
    return e;
}

// The five documents a pattern matrix calculation reads.
struct Documents
{
    LwDocScattering scattering;
    LwDocScatteringPhaseShift phaseShift;
    LwDocFinalState finalState;
    LwDocFluctuation fluctuation;
    LwDebye debye;

    void Attach(LwDocScatteringPatternMatrix& m)
    {
        m.PDocScattering_ = &scattering;
        m.PDocScatteringPhaseShift_ = &phaseShift;
        m.PDocFinalState_ = &finalState;
        m.PDocFluctuation_ = &fluctuation;
        m.PDebye_ = &debye;
    }
};

}  // namespace

// An s-wave emitter and one s-wave scatterer at distance d on z: the scattered
// far field relative to the direct one is X = f0 e^{ikd(1 - cos theta)} / d
// with f0 = (e^{2i delta0} - 1)/(2ik), and the direct intensity of c00 Y00 is
// |c00|^2 / (4 pi). Two emitted waves at the selected energy (c00 = 1 and 2)
// add up to 5 times one; a third at another energy is skipped.
TEST(LwDocScatteringPatternMatrix, OneScattererMatchesTheTwoAtomInterference)
{
    const double ek = 500, delta0 = 1.3;
    Documents docs;
    docs.scattering.Version = LwDocScattering::kSingleScattering;
    docs.scattering.EPS = 1e-6;
    docs.phaseShift.ListScatteringPhaseShift = {SWavePhaseShift("X", 300, 0.2),
                                                SWavePhaseShift("Cu", ek, delta0)};
    docs.finalState.ListEmitter = {SWaveEmitter(ek, 1.0), SWaveEmitter(300, 1.0), SWaveEmitter(ek, 2.0)};
    docs.fluctuation.IsUseUisoInCluster_ = true;  // no thermal vibration

    LwDocScatteringPatternMatrix m;
    docs.Attach(m);
    m.PhaseShiftSelect_ = {false, true};
    m.RCount_ = 2;
    m.RMin_ = 1.6 * Reference::Angstrom_m;
    m.RStep_ = 0.9 * Reference::Angstrom_m;
    m.CosCount_ = 7;
    m.IsThetaAxis_ = true;
    m.CalcPattern();

    EXPECT_EQ(m.GetProgress(), 2 * m.RCount_);
    ASSERT_EQ(m.ListPattern_.size(), 1u);
    EXPECT_EQ(m.ListPattern_[0].first, ek);
    const double k = WaveNumber(ek);
    const std::complex<double> f0 =
        (std::exp(std::complex<double>(0, 2 * delta0)) - 1.0) / std::complex<double>(0, 2 * k);
    const double direct = 5 / (4 * Reference::Pi);
    for (int e = 0; e < m.RCount_; ++e)
        for (int c = 0; c < m.CosCount_; ++c) {
            const double d = (1.6 + 0.9 * e) * Reference::Angstrom_m;
            const double cosTheta = std::cos(c * Reference::Pi / 6);
            SCOPED_TRACE(testing::Message() << "d " << d << " cos " << cosTheta);
            const std::complex<double> x = f0 * std::exp(std::complex<double>(0, k * d * (1 - cosTheta))) / d;
            const std::complex<double> i(0, 1);
            EXPECT_NEAR(static_cast<double>(m.IntensityDirect_(e, c)), direct, 1e-12 * direct);
            EXPECT_NEAR(static_cast<double>(m.IntensityScattered_(e, c)), direct * std::norm(x),
                        1e-5 * direct * std::norm(x));
            EXPECT_NEAR(static_cast<double>(m.IntensityTotal_(e, c)), direct * std::norm(1.0 + x),
                        1e-5 * direct);
            EXPECT_NEAR(static_cast<double>(m.IntensityQuadrature_(e, c)), direct * std::norm(i + x),
                        1e-5 * direct);
            EXPECT_EQ(m.ListPattern_[0].second(e, c), m.IntensityTotal_(e, c));
        }
    // The scattered part is large enough for the check to mean something.
    EXPECT_GT(std::abs(f0) / (1.6 * Reference::Angstrom_m), 0.05);
}

// A stop request ends the calculation before the first distance, keeps the
// zero intensities and skips the post-processing.
TEST(LwDocScatteringPatternMatrix, StopRequestEndsTheCalculationQuietly)
{
    Documents docs;
    docs.phaseShift.ListScatteringPhaseShift = {SWavePhaseShift("Cu", 500, 1.0)};
    docs.finalState.ListEmitter = {SWaveEmitter(500, 1.0)};
    LwDocScatteringPatternMatrix m;
    docs.Attach(m);
    m.PhaseShiftSelect_ = {true};
    m.RCount_ = 2;
    m.RMin_ = 2 * Reference::Angstrom_m;
    m.CosCount_ = 5;
    m.NormalizeType_ = 7;  // would fail on zero intensities if post-processing ran
    m.RequestStop();
    m.Calculate();
    EXPECT_EQ(m.GetProgress(), 0);
    ASSERT_EQ(m.ListPattern_.size(), 1u);
    EXPECT_EQ(m.IntensityTotal_(1, 4), 0.0);
    EXPECT_EQ(m.ListPattern_[0].second(1, 4), 0.0);
}
