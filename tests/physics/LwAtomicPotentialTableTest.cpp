// The tabulated atomic potential: r·V interpolated on x = ln r.
#include "core/LwError.h"
#include "physics/LwAtomicPotentialTable.h"
#include "PotentialTestTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
constexpr double kEps = std::numeric_limits<double>::epsilon();
}  // namespace

TEST(LwAtomicPotentialTable, PrepareSplineTabulatesRTimesV)
{
    LwAtomicPotentialTable t = CoulombTable(29.0, 1e-14, 2e-10, 40);
    t.PrepareSpline();
    ASSERT_EQ(t.f.size(), t.b.size());
    ASSERT_EQ(t.f2.size(), t.b.size());
    for (std::size_t i = 0; i < t.f.size(); ++i) {
        EXPECT_EQ(t.f[i], t.b[i] * t.a[i]);
        EXPECT_NEAR(t.f2[i], 0.0, 1e-6 * std::fabs(t.f[i]));
    }
}

TEST(LwAtomicPotentialTable, PotentialInsideBelowAndBeyondTheGrid)
{
    LwAtomicPotentialTable t = CoulombTable(29.0, 1e-14, 2e-10, 40);
    t.PrepareSpline();
    const double x0 = t.x.front();
    const double xn = t.x.back();

    // Between the grid points: the Coulomb potential itself.
    for (int k = 1; k < 100; ++k) {
        const double x = x0 + (xn - x0) * (k + 0.37) / 100.0;
        if (x >= xn)
            break;
        const double expected = CoulombPotential(29.0, std::exp(x));
        EXPECT_NEAR(t.GetPotential(x), expected, 1e-9 * std::fabs(expected)) << "x = " << x;
    }
    // At the first point r·V/r, below it the first tabulated V unchanged.
    EXPECT_NEAR(t.GetPotential(x0), t.b.front(), 4 * kEps * std::fabs(t.b.front()));
    EXPECT_EQ(t.GetPotential(x0 - 1.0), t.b.front());
    EXPECT_EQ(t.GetPotential(x0 - 50.0), t.b.front());
    // The atom ends at the last grid point.
    EXPECT_EQ(t.GetPotential(xn), 0.0);
    EXPECT_EQ(t.GetPotential(xn + 1e-3), 0.0);
}

TEST(LwAtomicPotentialTable, BadTablesAreRejected)
{
    LwAtomicPotentialTable unprepared = CoulombTable(8.0, 1e-13, 1e-10, 10);
    EXPECT_THROW(unprepared.GetPotential(-25.0), LwError);

    LwAtomicPotentialTable onePoint = CoulombTable(8.0, 1e-13, 1e-10, 1);
    EXPECT_THROW(onePoint.PrepareSpline(), LwError);

    LwAtomicPotentialTable shortRadii = CoulombTable(8.0, 1e-13, 1e-10, 10);
    shortRadii.a.pop_back();
    EXPECT_THROW(shortRadii.PrepareSpline(), LwError);
}
