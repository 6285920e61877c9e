#pragma once
// Spherical Bessel functions j_l(x) and Neumann functions n_l(x) of all
// orders l up to a limit at one argument x = k r >= 0, and the spherical
// Hankel functions h+_l = j_l + i n_l (outgoing) and h-_l = j_l - i n_l
// (incoming).
//
// Sign convention: n_0(x) = -cos x / x (the y_l of the usual tables), so
// h+_0(x) = -i e^{ix} / x.
//
// Orders whose Neumann function would exceed 1e55 in magnitude carry the
// marker 1e55 in n, and j_l = 0 above the first such order; an argument of
// magnitude <= 1e-18 marks every order (j_0 = 1, other j_l = 0). Nothing
// is ever infinite or NaN. All arithmetic is in double.
//
// One table object belongs to one thread. The process-wide coefficients of
// the small-argument series are built once, thread-safely, on the first
// evaluation in the process.

#include "core/LwTypes.h"

#include <complex>
#include <vector>

class LwSphericalBesselTable
{
public:
    // Marker stored for Neumann functions beyond the representable range.
    static constexpr double kNeumannMarker = 1e55;

    LwSphericalBesselTable() = default;

    // Empties both tables and releases their storage; lmax = -1.
    void Clear();

    // Evaluates the orders 0..L at x (one more than handed out) and sets
    // lmax = L - 1. The tables keep their storage, so a reused object
    // allocates only when L grows.
    void Set(LwLong L, double x);

    // Fills positions 1..N+1 of j and n with j_l(x), n_l(x) for l = 0..N
    // (position 0 is not touched); nothing for N < 0. Both vectors must hold
    // at least N + 2 entries.
    static void Compute(LwLong N, double x, std::vector<double>& j, std::vector<double>& n);

    // h+_l(x) = j_l(x) + i n_l(x) for l = 0 .. L-1 into h[0 .. L-1] by the
    // upward recurrence h_{l+1} = (2l+1)/x h_l - h_{l-1} from h+_0 and h+_1.
    // |h+_l| grows with l at fixed x, so the recurrence keeps its relative
    // accuracy (a few units in the last place times l) at every x > 0; the
    // real part j_l alone loses its digits where j_l << |n_l| (l well above
    // x), which is harmless wherever only the sum with i n_l is used. Needs
    // no table and no search. False, with h partly written, when x <= 0 or
    // some |n_l| would reach kNeumannMarker: the caller then takes Set.
    static bool OutgoingHankelUpward(LwLong L, double x, std::complex<double>* h);

    // Each getter resizes its output to lmax + 1; entry l is the order l.
    void GetJ(std::vector<double>& out) const;
    void GetHankelPlus(std::vector<std::complex<double>>& out) const;
    void GetHankelMinus(std::vector<std::complex<double>>& out) const;
    void GetHankel(std::vector<std::complex<double>>& plus, std::vector<std::complex<double>>& minus) const;

    LwLong GetLmax() const { return lmax_; }
    double GetX() const { return x_; }

private:
    LwLong lmax_ = -1;
    double x_ = 0;
    std::vector<double> j_;  // j_l at position l + 1
    std::vector<double> n_;  // n_l at position l + 1
};
