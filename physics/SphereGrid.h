#pragma once
// Direction grids on the sphere for the projection of a wave on spherical
// harmonics.
//
// A direction is given by two coordinates u in [0, 1): theta = u_theta * pi,
// phi = 2 * u_phi * pi. The grid of iteration n adds exactly the directions
// that are new to the grid of all earlier iterations, so sums over the
// directions can be accumulated from one iteration to the next:
//   - after an even n the iterations 0 ... n together hold the full
//     2^(n/2) x 2^(n/2) grid u_theta, u_phi = i / 2^(n/2);
//   - after an odd n they hold that grid plus the centres of its cells.
// Iteration n >= 1 adds 2^(n-1) directions (iteration 0 adds one), so the
// iterations 0 ... n together hold 2^n directions.

#include "core/LwTypes.h"

#include <vector>

// Fills the coordinate values u of iteration n and, per new direction, the
// index of its theta coordinate and of its phi coordinate into u.
//   n = 0      : u = (0), one direction (theta = 0, phi = 0);
//   n odd      : u_i = (2i + 1) / 2^(h+1), i < M, all pairs (a, b), a outer;
//   n even > 0 : u_i = i / 2^(h+1), i < 2M; for a outer, b inner the two
//                directions (2a + 1, 2b) and (2b, 2a + 1);
// with h = floor((n - 1) / 2) and M = 2^h. n must lie in 0 ... 40 (the coordinate indices stay 32-bit).
void MakeSphereGrid(LwLong n, std::vector<double>& u, std::vector<LwLong>& thetaIndex,
                    std::vector<LwLong>& phiIndex);
