#include "physics/LwSphericalBesselTable.h"

#include <cassert>
#include <cmath>

namespace {
// Arguments at or below this are treated as 0.
constexpr double kZeroArgument = 1e-18;
// Below this x, j_0 and j_1 come from their power series (sin x / x loses
// digits to cancellation in j_1 = sin x / x^2 - cos x / x).
constexpr double kSeriesArgument = 0.1;
// The series of j_0 and j_1 stop once a term of j_0 is this small.
constexpr double kSeriesTerm = 1e-18;
// Miller's recurrence starts where n_l has grown by this factor beyond the
// highest order wanted: the start error then decays to ~1e-36 at order N.
constexpr double kMillerGrowth = 1e-18;
// Above this argument, and for orders below x / 2, both recurrences run
// upwards: j_l and n_l oscillate with slowly varying amplitude there, so the
// upward recurrence is stable, while Miller's start order would lie near x
// (the search for it would take of the order of x steps).
constexpr double kUpwardArgument = 1000.0;
// The power series of j_l near the overflow order stop at this absolute term.
constexpr double kOverflowSeriesTerm = 1e-74;

// Coefficients of the small-argument series:
//   j_0(x) = sum_k c_k x^{2k},   c_k = (-1)^k / (2k+1)!
//   j_1(x) = x sum_k d_k x^{2k}, d_k = (-1)^k (2k+2)/(2k+3)!
struct SeriesCoefficients
{
    static constexpr int kTerms = 11;
    double c[kTerms];
    double d[kTerms];

    SeriesCoefficients()
    {
        // a[n] = 1/n!, each from the previous by one division.
        double a[23];
        a[0] = 1;
        a[1] = 1;
        for (int n = 2; n <= 22; ++n)
            a[n] = a[n - 1] / n;
        for (int k = 0; k < kTerms; ++k) {
            const double sign = (k % 2 == 0) ? 1.0 : -1.0;
            c[k] = sign * a[2 * k + 1];
            d[k] = (k < 10) ? sign * (a[2 * k + 2] - a[2 * k + 3]) : 0.0;
        }
    }
};

// Built on first use; the initialisation of a function-local static is
// thread-safe, so two threads making their first evaluation at once see one
// complete table.
const SeriesCoefficients& Coefficients()
{
    static const SeriesCoefficients table;
    return table;
}

// j_{L2} and j_{L2-1} from their power series in h = x/2, for the orders at
// which the Neumann recurrence overflowed (x is small there compared with
// the order, so the series converges without cancellation).
void SeriesPair(LwLong L2, double x, double& jL, double& jLm1)
{
    const double h = x / 2;
    double P = 1, Pm1 = 1;
    for (LwLong i = 1; i <= L2; ++i) {
        if (i < L2)
            Pm1 *= h / (i + 0.5);
        P *= h / (i + 0.5);
    }
    const double h2 = h * h;
    double e = 1, em1 = 1, sum = 1, summ1 = 1;
    for (int k = 1;; ++k) {
        e = -e * h2 / (k * (L2 + k + 0.5));
        em1 = -em1 * h2 / (k * (L2 + k - 0.5));
        sum += e;
        summ1 += em1;
        if (std::fabs(P * e) <= kOverflowSeriesTerm)
            break;
    }
    jL = P * sum;
    jLm1 = Pm1 * summ1;
}
}  // namespace

void LwSphericalBesselTable::Clear()
{
    std::vector<double>().swap(j_);
    std::vector<double>().swap(n_);
    lmax_ = -1;
}

void LwSphericalBesselTable::Set(LwLong L, double x)
{
    // A negative L is an empty table, like L = 0 without its evaluation.
    lmax_ = L > 0 ? L - 1 : -1;
    x_ = x;
    const std::size_t size = L >= 0 ? static_cast<std::size_t>(L) + 2 : 0;
    j_.assign(size, 0.0);
    n_.assign(size, 0.0);
    Compute(L, x, j_, n_);
}

void LwSphericalBesselTable::Compute(LwLong N, double x, std::vector<double>& jt, std::vector<double>& nt)
{
    const SeriesCoefficients& coeff = Coefficients();
    if (N < 0)
        return;
    assert(jt.size() >= static_cast<std::size_t>(N) + 2 && nt.size() >= static_cast<std::size_t>(N) + 2);
    double* j = jt.data() + 1;  // j[l] = j_l
    double* n = nt.data() + 1;  // n[l] = n_l

    if (std::fabs(x) <= kZeroArgument) {
        j[0] = 1;
        for (LwLong l = 1; l <= N; ++l)
            j[l] = 0;
        for (LwLong l = 0; l <= N; ++l)
            n[l] = kNeumannMarker;
        return;
    }

    const double c = std::cos(x);
    double s, j0, j1;
    if (x >= kSeriesArgument) {
        s = std::sin(x);
        j0 = s / x;
        j1 = j0 / x - c / x;
    } else {
        j0 = 0;
        j1 = 0;
        const double x2 = x * x;
        double p = 1;
        for (int k = 0; k < SeriesCoefficients::kTerms; ++k) {
            const double term = p * coeff.c[k];
            j0 += term;
            j1 += p * coeff.d[k] * x;
            p *= x2;
            if (std::fabs(term) <= kSeriesTerm)
                break;
        }
        s = j0 * x;
    }

    const double n0 = -c / x;
    j[0] = j0;
    n[0] = n0;
    if (N == 0)
        return;
    const double n1 = n0 / x - j0;
    j[1] = j1;
    n[1] = n1;
    if (N == 1)
        return;

    if (x > kUpwardArgument && x > 2.0 * N) {
        for (LwLong l = 1; l < N; ++l) {
            const double f = static_cast<double>(2 * l + 1) / x;
            j[l + 1] = f * j[l] - j[l - 1];
            n[l + 1] = f * n[l] - n[l - 1];
        }
        return;
    }

    // Upward recurrence of n (stable: n grows with l). It runs past N until n
    // has grown by 1/kMillerGrowth, which fixes Miller's start order M, or
    // until n would exceed the marker.
    LwLong M = -1;
    LwLong overflowOrder = -1;
    double nPrev = n0, nCur = n1, sRef = 0;
    for (LwLong l = 1;; ++l) {
        const double nNext = (static_cast<double>(2 * l + 1) / x) * nCur - nPrev;  // n_{l+1}
        if (std::fabs(nNext) >= kNeumannMarker) {
            overflowOrder = l + 1;
            break;
        }
        if (l + 1 <= N) {
            n[l + 1] = nNext;
            sRef = std::fabs(nCur) + std::fabs(nNext);
        } else if (sRef / (std::fabs(nCur) + std::fabs(nNext)) <= kMillerGrowth) {
            M = l;
            break;
        }
        nPrev = nCur;
        nCur = nNext;
    }

    if (M >= 0) {
        // Downward (Miller) recurrence for j from an arbitrary start, scaled
        // by the Wronskian combination that is 1 for the true j_0, j_1.
        double fNext = 1, fCur = 1;  // f_{l+1}, f_l
        if (M <= N)
            j[M] = fCur;
        if (M + 1 <= N)
            j[M + 1] = fNext;
        for (LwLong l = M; l >= 1; --l) {
            const double fPrev = (static_cast<double>(2 * l + 1) / x) * fCur - fNext;  // f_{l-1}
            if (l - 1 <= N)
                j[l - 1] = fPrev;
            fNext = fCur;
            fCur = fPrev;
        }
        // fCur = f_0, fNext = f_1.
        const double w = (x * s + c) * fCur - x * c * fNext;
        for (LwLong l = 0; l <= N; ++l)
            j[l] /= w;
        return;
    }

    // n overflowed at overflowOrder: mark the orders from there on, then j
    // from its series at the two highest orders kept and downward to j_0.
    const LwLong L2 = overflowOrder < N ? overflowOrder : N;
    for (LwLong l = overflowOrder; l <= N; ++l)
        n[l] = kNeumannMarker;
    for (LwLong l = overflowOrder + 1; l <= N; ++l)
        j[l] = 0;
    SeriesPair(L2, x, j[L2], j[L2 - 1]);
    for (LwLong l = L2 - 1; l >= 1; --l)
        j[l - 1] = (static_cast<double>(2 * l + 1) / x) * j[l] - j[l + 1];
}

bool LwSphericalBesselTable::OutgoingHankelUpward(LwLong L, double x, std::complex<double>* h)
{
    if (L <= 0)
        return true;
    if (!(x > 0) || !std::isfinite(x))
        return false;
    const double s = std::sin(x);
    const double c = std::cos(x);
    const double inverse = 1 / x;
    // h+_0 = (sin x - i cos x) / x; h+_1 = h+_0 / x - (cos x / x + i j_0).
    double re = s * inverse, im = -c * inverse;
    h[0] = std::complex<double>(re, im);
    if (L == 1)
        return true;
    double rePrev = re, imPrev = im;
    re = (rePrev - c) * inverse;
    im = imPrev * inverse - rePrev;
    h[1] = std::complex<double>(re, im);
    for (LwLong l = 1; l + 1 < L; ++l) {
        const double f = static_cast<double>(2 * l + 1) * inverse;
        const double reNext = f * re - rePrev;
        const double imNext = f * im - imPrev;
        if (!(std::fabs(imNext) < kNeumannMarker))
            return false;
        rePrev = re;
        imPrev = im;
        re = reNext;
        im = imNext;
        h[l + 1] = std::complex<double>(re, im);
    }
    return std::fabs(h[1].imag()) < kNeumannMarker && std::fabs(h[0].imag()) < kNeumannMarker;
}

void LwSphericalBesselTable::GetJ(std::vector<double>& out) const
{
    out.resize(static_cast<std::size_t>(lmax_ + 1));
    for (LwLong l = 0; l <= lmax_; ++l)
        out[l] = j_[l + 1];
}

void LwSphericalBesselTable::GetHankelPlus(std::vector<std::complex<double>>& out) const
{
    out.resize(static_cast<std::size_t>(lmax_ + 1));
    for (LwLong l = 0; l <= lmax_; ++l)
        out[l] = std::complex<double>(j_[l + 1], n_[l + 1]);
}

void LwSphericalBesselTable::GetHankelMinus(std::vector<std::complex<double>>& out) const
{
    out.resize(static_cast<std::size_t>(lmax_ + 1));
    for (LwLong l = 0; l <= lmax_; ++l)
        out[l] = std::complex<double>(j_[l + 1], -n_[l + 1]);
}

void LwSphericalBesselTable::GetHankel(std::vector<std::complex<double>>& plus,
                                       std::vector<std::complex<double>>& minus) const
{
    plus.resize(static_cast<std::size_t>(lmax_ + 1));
    minus.resize(static_cast<std::size_t>(lmax_ + 1));
    for (LwLong l = 0; l <= lmax_; ++l) {
        plus[l] = std::complex<double>(j_[l + 1], n_[l + 1]);
        minus[l] = std::complex<double>(j_[l + 1], -n_[l + 1]);
    }
}
