#pragma once
// The arithmetic of the hologram: the atoms of a run flattened for the pixel
// loop, and the term of one atom (see HologramCalculation.h for the physics).
//
// Built with -ffast-math so that the compiler calls the vector forms of exp,
// sin and cos (glibc's libmvec) and sums several atoms per instruction:
// every function here works on finite numbers only, and a pixel's sum is
// taken in an order that depends on the vector width of the machine but not
// on the thread that computes it.

#include <cstddef>
#include <vector>

struct HologramTerms
{
    // The term of one atom for the cosine between pixel direction and atom
    // direction: kr = k r, g = 1 / r in 1/Angstrom, f0 = c + sum a_i
    // exp(-q_i max(0, 1 - cos)) with q_i = b_i / (2 lambda^2), the damping
    // D = exp(-kkU (1 - cos)) with kkU = k^2 U (0: D = 1), and the result
    // D alone when onlyD is non-zero, else D g (f2 sin x - (f0 + f1) cos x),
    // x = kr (1 - cos).
    static double Term(double cosine, double kr, double g, const double a[4], const double q[4], double c,
                       double f1, double f2, double kkU, double onlyD);

    // Appends one atom; a, q four values each.
    void Append(double ux, double uy, double uz, double kr, double g, const double a[4], const double q[4],
                double c, double f1, double f2, double kkU, double onlyD);

    // The sum of Term over the atoms for the unit direction (dx, dy, dz).
    // Reads only: any number of threads may call it at once.
    double PixelSum(double dx, double dy, double dz) const;

    std::size_t size() const { return g.size(); }

    // One array per quantity, index = atom in summation order.
    std::vector<double> ux, uy, uz, kr, g;
    std::vector<double> a0, a1, a2, a3;
    std::vector<double> q0, q1, q2, q3;
    std::vector<double> c, f1, f2, kkU, onlyD;
};
