#include "pattern/LwDocScatteringPatternMatrix.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"
#include "physics/LwPartialWaveSource.h"
#include "pattern/LwBlurForSPattern.h"

#include <algorithm>
#include <cmath>

namespace {

LwLDoubleMatrix Zero(int cols, int rows)
{
    LwLDoubleMatrix m(cols, rows);
    m.SetZero();
    return m;
}

// a and b of the same shape combined element by element.
template <class F>
LwLDoubleMatrix Combine(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b, F f)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize)
        throw LwError("ColSize or RowSize is different");
    LwLDoubleMatrix r(a.ColSize, a.RowSize);
    for (int c = 0; c < a.RowSize; ++c)
        for (int e = 0; e < a.ColSize; ++e)
            r(e, c) = f(a(e, c), b(e, c));
    return r;
}

LwLDoubleMatrix Sum(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b)
{
    return Combine(a, b, [](LDouble x, LDouble y) { return x + y; });
}

LwLDoubleMatrix Difference(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b)
{
    return Combine(a, b, [](LDouble x, LDouble y) { return x - y; });
}

LwLDoubleMatrix Product(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b)
{
    return Combine(a, b, [](LDouble x, LDouble y) { return x * y; });
}

// Row step of the equal-cos grid from -1 to 1 over n rows.
double CosStep(int n, const char* what)
{
    if (n < 2)
        throw LwError(std::string(what) + ": at least two cos(theta) rows are needed");
    return 2.0 / (n - 1);
}

}  // namespace

void SetThermalWaveNumber(LwThermalDamping& d, double ek)
{
    d.K = ElectronWaveNumber_perm(ek);
}

std::vector<double> ThermalDampingFactors(const LwThermalDamping& d, const std::vector<double>& cosValues)
{
    const double a = std::sqrt(2.0) * d.K *
                     std::sqrt(d.Temperature_K * LwConst::Boltzmann_JperK / LwConst::EinsteinSpring_Nperm);
    std::vector<double> f;
    f.reserve(cosValues.size());
    for (double c : cosValues)
        f.push_back(std::exp(-(1 - c) * a * a));
    return f;
}

LwLDoubleMatrix ApplyThermalDamping(const LwThermalDamping& d, const LwLDoubleMatrix& x)
{
    const int n = x.RowSize;
    const double step = CosStep(n, "ApplyThermalDamping");
    std::vector<double> cosValues(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c)
        cosValues[static_cast<size_t>(c)] = c * step - 1;
    const std::vector<double> f = ThermalDampingFactors(d, cosValues);
    LwLDoubleMatrix r(x);
    for (int c = 0; c < n; ++c)
        for (int e = 0; e < x.ColSize; ++e)
            r(e, c) *= f[static_cast<size_t>(c)];
    return r;
}

LwLDoubleMatrix InterferenceTerm(const LwLDoubleMatrix& x, const LwLDoubleMatrix& s, const LwLDoubleMatrix& d)
{
    const LwLDoubleMatrix xd = Difference(x, d);
    return Combine(xd, s, [](LDouble v, LDouble sv) { return (v - sv) / std::sqrt(sv); });
}

LwLDoubleMatrix ForwardContrast(const LwLDoubleMatrix& s)
{
    const int n = s.RowSize;
    LwLDoubleMatrix r(s.ColSize, n);
    for (int e = 0; e < s.ColSize; ++e) {
        const LDouble f = 1 / std::sqrt(s(e, n - 1));
        for (int c = 0; c < n; ++c)
            r(e, c) = 1 - std::sqrt(s(e, c)) * f;
    }
    return r;
}

LwLDoubleMatrix ConcatColumns(const LwLDoubleMatrix& a, const LwLDoubleMatrix& b)
{
    if (a.RowSize != b.RowSize)
        throw LwError("ConcatColumns: the row counts differ");
    LwLDoubleMatrix r(a.ColSize + b.ColSize, a.RowSize);
    for (int c = 0; c < a.RowSize; ++c) {
        for (int e = 0; e < a.ColSize; ++e)
            r(e, c) = a(e, c);
        for (int e = 0; e < b.ColSize; ++e)
            r(a.ColSize + e, c) = b(e, c);
    }
    return r;
}

LwLDoubleMatrix DerivativeAlongRows(const LwLDoubleMatrix& y)
{
    const int n = y.RowSize;
    LwLDoubleMatrix r = Zero(y.ColSize, n);
    for (int e = 0; e < y.ColSize; ++e) {
        for (int c = 1; c < n - 1; ++c)
            r(e, c) = y(e, c + 1) - y(e, c - 1);
        if (n >= 3) {
            r(e, 0) = r(e, 1);
            r(e, n - 1) = r(e, n - 2);
        }
    }
    return r;
}

LDouble SumOfSquares(const LwLDoubleMatrix& y)
{
    LDouble s = 0;
    for (int c = 0; c < y.RowSize; ++c)
        for (int e = 0; e < y.ColSize; ++e)
            s += y(e, c) * y(e, c);
    return s;
}

void LwDocScatteringPatternMatrix::Calculate()
{
    if (!IsPostProcessOnly_)
        CalcPattern();
    if (!StopRequested())
        PostProcess();
}

LwLong LwDocScatteringPatternMatrix::SelectPhaseShift() const
{
    LwLong count = 0;
    LwLong position = -1;
    for (size_t i = 0; i < PhaseShiftSelect_.size(); ++i)
        if (PhaseShiftSelect_[i]) {
            ++count;
            position = static_cast<LwLong>(i);
        }
    if (count == 0)
        throw LwError("Error: Please check a phase shift");
    if (count > 1)
        throw LwError("Error: Please check one phase shift.");
    return position;
}

void LwDocScatteringPatternMatrix::CheckEmitterEnergy(double ek) const
{
    for (const LwEmitterEntry& entry : PDocFinalState_->ListEmitter)
        if (entry.Ek == ek)
            return;
    throw LwError("Error: Emitter settings is not good. Corresponding kinetic energy is not found");
}

void LwDocScatteringPatternMatrix::MakeRAxis()
{
    RAxis_ = LwLDoubleMatrix(RCount_);
    for (int k = 0; k < RCount_; ++k)
        RAxis_[k] = RMin_ + k * RStep_;
}

void LwDocScatteringPatternMatrix::MakeCosAxis()
{
    const int n = CosCount_;
    const double step = CosStep(n, "MakeCosAxis");
    CosAxis_ = LwLDoubleMatrix(n);
    for (int k = 0; k < n; ++k) {
        if (IsThetaAxis_)
            CosAxis_[k] = std::cos(k * (180.0 / (n - 1)) * LwConst::Pi / 180);
        else
            CosAxis_[k] = std::min(1.0, k * step - 1);
    }
}

void LwDocScatteringPatternMatrix::CalcPattern()
{
    try {
        if (!PDocScattering_)
            throw LwError("ERROR LwDocScatteringPatternMatrix():PDocScattering_==NULL");
        if (!PDocScatteringPhaseShift_)
            throw LwError("ERROR LwDocScatteringPatternMatrix():PDocScatteringPhaseShift_==NULL");
        if (!PDocFinalState_)
            throw LwError("ERROR LwDocScatteringPatternMatrix():PDocFinalState_==NULL");
        if (!PDocFluctuation_)
            throw LwError("ERROR LwDocScatteringPatternMatrix():PDocFluctuation_==NULL");
        if (!PDebye_)
            throw LwError("ERROR LwDocScatteringPatternMatrix():PDebye_==NULL");
        const LwLong j = SelectPhaseShift();
        const auto& entries = PDocScatteringPhaseShift_->ListScatteringPhaseShift;
        if (j >= static_cast<LwLong>(entries.size()))
            throw LwError("Error: the checked phase shift is not in the phase-shift document");
        const LwPhaseShiftEntry& p = entries[static_cast<size_t>(j)];
        const double ek = p.Ek_eV;
        ListPattern_.assign(1, {ek, Zero(RCount_, CosCount_)});
        CheckEmitterEnergy(ek);
        MakeCosAxis();
        MakeRAxis();
        IntensityDirect_ = Zero(RCount_, CosCount_);
        IntensityScattered_ = Zero(RCount_, CosCount_);
        IntensityTotal_ = Zero(RCount_, CosCount_);
        IntensityQuadrature_ = Zero(RCount_, CosCount_);
        SetProgress(0);
        for (const LwEmitterEntry& emitter : PDocFinalState_->ListEmitter) {
            if (emitter.Ek != ek)
                continue;
            LwLDoubleMatrix td = Zero(RCount_, CosCount_);
            LwLDoubleMatrix ts = Zero(RCount_, CosCount_);
            LwLDoubleMatrix tt = Zero(RCount_, CosCount_);
            LwLDoubleMatrix tq = Zero(RCount_, CosCount_);
            LwScatteringData record;
            record.SetListScattererDimerOnZ(emitter.coeff, ek, 0, p.AtomName, p.AtomElement, j,
                                            *PDocFluctuation_, *PDebye_);
            for (int e = 0; e < RCount_; ++e) {
                if (StopRequested())
                    return;
                AddProgress();
                LwPartialWaveSource& scatterer = record.ListScatterer.Sources()[1];
                scatterer.SetPosition(0, 0, RAxis_[e]);
                record.NextListScatterer = record.ListScatterer;
                PDocScattering_->OneCalculate(record, *PDocScatteringPhaseShift_, 0, 0);
                PDocScattering_->OneCalculate(record, *PDocScatteringPhaseShift_, 0, 1);
                record.NextListScatterer.Sources()[0] = record.ListScatterer.Sources()[0];
                LwVectorFreeElectron wd = record.NextListScatterer;
                LwVectorFreeElectron ws = record.NextListScatterer;
                // Direct wave alone: the scatterer's outgoing part cleared;
                // scattered wave alone: the emitter's.
                LwLmComplexArray& scatteredPart = wd.Sources()[1].Outgoing();
                scatteredPart.SetSizeZero(scatteredPart.GetL());
                LwLmComplexArray& directPart = ws.Sources()[0].Outgoing();
                directPart.SetSizeZero(directPart.GetL());
                const LwLong l = record.NextListScatterer.GetMaxL();
                for (int c = 0; c < CosCount_; ++c) {
                    const LDouble theta = std::acos(CosAxis_[c]);
                    const LComplex ad = wd.GetFarFieldAmplitude(theta, 0, l);
                    const LComplex as = ws.GetFarFieldAmplitude(theta, 0, l);
                    td(e, c) += std::norm(ad);
                    ts(e, c) += std::norm(as);
                    tt(e, c) += std::norm(ad + as);
                    tq(e, c) += std::norm(LComplex(0, 1) * ad + as);
                }
                ListPattern_[0].second = Sum(tt, IntensityTotal_);
            }
            IntensityDirect_ = Sum(IntensityDirect_, td);
            IntensityScattered_ = Sum(IntensityScattered_, ts);
            IntensityTotal_ = Sum(IntensityTotal_, tt);
            IntensityQuadrature_ = Sum(IntensityQuadrature_, tq);
        }
    } catch (const LwError& e) {
        throw LwError("CalcPattern():" + e.Message());
    } catch (...) {
        throw LwError("Undefined Error at CalcPattern()");
    }
}

void LwDocScatteringPatternMatrix::PostProcess()
{
    if (ListPattern_.empty())
        throw LwError("PostProcess: no pattern has been calculated");
    const LwLDoubleMatrix& d = IntensityDirect_;
    LwLDoubleMatrix a(IntensityTotal_);
    LwLDoubleMatrix b(a);
    LwLDoubleMatrix c(IntensityQuadrature_);
    if (ThermalTemperature_K_ > 0) {
        LwThermalDamping damping;
        damping.Temperature_K = ThermalTemperature_K_;
        SetThermalWaveNumber(damping, ListPattern_[0].first);
        a = Sum(d, ApplyThermalDamping(damping, Difference(a, d)));
        b = a;
        c = Sum(d, ApplyThermalDamping(damping, Difference(c, d)));
    }
    if (BlurWidth_ != 0) {
        LwBlurForSPattern blur(BlurWidth_);
        LwMatrixArithmetic convert;
        LwFloatMatrix in = convert.ToFloatMatrix(c);
        LwFloatMatrix out;
        blur.Ver6(out, in, BlurWidth_);
        c = convert.ToLDoubleMatrix(out);
        in = convert.ToFloatMatrix(a);
        blur.Ver6(out, in, BlurWidth_);
        a = convert.ToLDoubleMatrix(out);
        b = a;
    }
    LwLDoubleMatrix r;
    if (NormalizeType2_ == -1) {
        if (NormalizeType_ == 7)
            r = ModifyNormalized(a, IntensityScattered_, d, MaskType_);
        else
            r = ApplyMask(Normalize(a, NormalizeType_), MaskType_);
    } else if (PanelMode_ == 0) {
        b = Normalize(b, NormalizeType2_);
        a = Normalize(a, NormalizeType_);
        a = ApplyMask(a, MaskType_);
        b = ApplyMask(b, MaskType_);
        r = ConcatColumns(a, b);
    } else {
        a = ApplyMask(Normalize(a, NormalizeType_), MaskType_);
        c = Normalize(c, NormalizeType2_);
        b = Normalize(b, NormalizeType2_);
        c = ApplyMask(c, MaskType_);
        b = ApplyMask(b, MaskType_);
        r = ConcatColumns(ConcatColumns(a, b), c);
    }
    ListPattern_[0].second = r;
}

LwLDoubleMatrix LwDocScatteringPatternMatrix::Normalize(const LwLDoubleMatrix& x, LwLong type)
{
    const LwLDoubleMatrix& d = IntensityDirect_;
    const LwLDoubleMatrix& s = IntensityScattered_;
    switch (type) {
    case 0: return ScaleDifference(x);
    case 1: return x;
    case 2: return ScaleColumns(s);
    case 3: return InterferenceTerm(x, s, d);
    case 4: return ForwardContrast(s);
    case 5: return Product(ScaleColumns(Difference(x, d)), ForwardContrast(s));
    case 6: return Product(InterferenceTerm(x, s, d), ForwardContrast(s));
    default: throw LwError("Not imprimented");
    }
}

LwLDoubleMatrix LwDocScatteringPatternMatrix::ScaleDifference(const LwLDoubleMatrix& x)
{
    return ScaleColumns(Difference(x, IntensityDirect_));
}

LwLDoubleMatrix LwDocScatteringPatternMatrix::ScaleColumns(const LwLDoubleMatrix& y)
{
    if (RAxis_.IsEmpty() || RAxis_.VectorSize() < y.ColSize)
        throw LwError("ScaleColumns: the distance axis does not cover the columns");
    LwLDoubleMatrix r(y);
    const int n = y.RowSize;
    ColumnScale_.assign(static_cast<size_t>(RCount_), 0.0);
    CosCount_ = n;
    for (int e = 0; e < y.ColSize; ++e) {
        const double dist = RAxis_[e];
        LDouble f = 1;
        switch (ScaleType_) {
        case 0: f = dist * LwConst::AngstromPerMetre; break;
        case 1: f = 1; break;
        case 2:
            f = 1 / std::sqrt(SumOfSquares([&] {
                    LwLDoubleMatrix col(1, n);
                    for (int c = 0; c < n; ++c)
                        col(0, c) = y(e, c);
                    return col;
                }()));
            break;
        case 3: {
            // The first peak seen from the last row: the values rise (towards
            // lower rows) and then fall for the first time.
            int k = -1;
            bool risen = false;
            for (int c = n - 1; c >= 1; --c) {
                if (y(e, c - 1) > y(e, c))
                    risen = true;
                else if (risen && y(e, c - 1) < y(e, c)) {
                    k = c;
                    break;
                }
            }
            if (k < 0)
                throw LwError("ScaleColumns: no peak in column " + IntToString(e));
            f = 1 / y(e, k);
            break;
        }
        case 4: {
            LDouble sum = 0;
            for (int c = 0; c < n; ++c) {
                const double t = static_cast<double>(n - 1 - c) / (n - 1);
                const LDouble v = y(e, c) * std::exp(-16 * t * t);
                sum += v * v;
            }
            f = 1 / sum;
            break;
        }
        case 5: f = std::sqrt(dist * LwConst::AngstromPerMetre); break;
        default: throw LwError("ScaleColumns: undefined scale type: " + IntToString(ScaleType_));
        }
        for (int c = 0; c < n; ++c)
            r(e, c) *= f;
        if (e < RCount_)
            ColumnScale_[static_cast<size_t>(e)] = static_cast<double>(f);
    }
    return r;
}

LwLDoubleMatrix LwDocScatteringPatternMatrix::ApplyMask(const LwLDoubleMatrix& x, LwLong type)
{
    if (type == 0)
        return x;
    if (type < 0 || type > 3)
        throw LwError("Proc Mask ERROR, undefined type:" + IntToString(type));
    const int n = x.RowSize;
    const double step = CosStep(n, "ApplyMask");
    if (MaskAdaptive_ == 1)
        MakeReferenceEnvelope();
    const bool adaptive = MaskAdaptive_ == 1 && x.ColSize == ReferencePattern_.ColSize &&
                          x.RowSize == ReferencePattern_.RowSize;
    LwLDoubleMatrix r(x);
    for (int e = 0; e < x.ColSize; ++e) {
        const double u0 = adaptive ? MaskLowerRow(e) * step - 1 : 0.0;
        for (int c = 0; c < n; ++c) {
            const double u = c * step - 1;
            double w = 0;
            if (u >= u0) {
                // A lower end at cos(theta) = 1 leaves only the last row, at
                // the window's peak (x = 0) rather than 0/0.
                const double xx = u0 < 1 ? LwConst::Pi * (1 - u) / (1 - u0) : 0.0;
                if (type == 1)
                    w = std::cos(xx / 2);
                else if (type == 2)
                    w = 0.5 * std::cos(xx) + 0.5;
                else
                    w = 0.46 * std::cos(xx) + 0.54;
                w = std::max(w, 0.0);
            }
            r(e, c) *= w;
        }
    }
    return r;
}

void LwDocScatteringPatternMatrix::MakeReferenceEnvelope()
{
    ReferenceDerivative_ = DerivativeAlongRows(ReferencePattern_);
    ReferenceEnvelope_ = ReferencePattern_;
    const LDouble s1 = std::sqrt(SumOfSquares(ReferencePattern_));
    const LDouble s2 = std::sqrt(SumOfSquares(ReferenceDerivative_));
    if (s2 == 0)
        return;
    for (int c = 0; c < ReferenceDerivative_.RowSize; ++c)
        for (int e = 0; e < ReferenceDerivative_.ColSize; ++e) {
            LDouble& dv = ReferenceDerivative_(e, c);
            dv *= s1 / s2;
            const LDouble rv = ReferencePattern_(e, c);
            ReferenceEnvelope_(e, c) = std::sqrt(dv * dv + rv * rv);
        }
}

LwLong LwDocScatteringPatternMatrix::MaskLowerRow(LwLong e) const
{
    const int b = 0;
    const int l = ReferenceEnvelope_.RowSize - 1;
    const int s = static_cast<int>(0.25 * (l - b) + b);
    LDouble total = 0;
    for (int c = s; c <= l; ++c)
        total += ReferenceEnvelope_(e, c);
    const LDouble threshold = (1 - MaskPercent_ * 0.01) * total;
    LDouble running = 0;
    for (int c = l; c >= s; --c) {
        running += ReferenceEnvelope_(e, c);
        if (running >= threshold)
            return c;
    }
    return s - 1;
}

LwLDoubleMatrix LwDocScatteringPatternMatrix::ModifyNormalized(const LwLDoubleMatrix& x,
                                                               const LwLDoubleMatrix& s,
                                                               const LwLDoubleMatrix& d, LwLong maskType)
{
    LwLDoubleMatrix y = ApplyMask(InterferenceTerm(x, s, d), maskType);
    for (int e = 0; e < y.ColSize; ++e) {
        LDouble a = 0, bs = 0;
        for (int c = 0; c < y.RowSize; ++c)
            if (y(e, c) != 0) {
                a += y(e, c);
                bs += s(e, c);
            }
        if (bs == 0)
            continue;  // nothing left of this column after the window
        LDouble sq = 0;
        for (int c = 0; c < y.RowSize; ++c)
            if (y(e, c) != 0) {
                y(e, c) += (-a / bs) * s(e, c);
                sq += y(e, c) * y(e, c);
            }
        if (sq == 0)
            continue;
        const LDouble norm = std::sqrt(sq);
        for (int c = 0; c < y.RowSize; ++c)
            y(e, c) /= norm;
    }
    return y;
}
