// The tables that grow on first use, hit by several threads at once: the
// process-wide Bessel series coefficients, a source's Legendre normalisation
// cache and the per-thread far-field tables. Every case starts its threads
// together, before anything has been evaluated in the process (CTest runs
// each case in a process of its own), and compares with a serial run. Run
// under ThreadSanitizer (-fsanitize=thread) these cases also show that no
// access races.
#include "physics/LwSphericalBesselTable.h"
#include "physics/LwVectorFreeElectron.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <complex>
#include <functional>
#include <thread>
#include <vector>

namespace {
constexpr int kThreads = 4;

// Runs work(t) on kThreads threads released at the same moment.
void RunTogether(const std::function<void(int)>& work)
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads)
                std::this_thread::yield();
            work(t);
        });
    for (std::thread& th : threads)
        th.join();
}

LwPartialWaveSource Scatterer(LwLong L, LDouble x, LDouble y, LDouble z)
{
    LwPartialWaveSource s;
    s.SetPosition(x, y, z);
    s.Outgoing().SetSize(L);
    s.Incoming().SetSize(L - 2);
    for (LwLong l = 0; l < L; ++l)
        for (LwLong m = -l; m <= l; ++m) {
            s.Outgoing()(l, m) = LComplex(1.0 / (l + 1), 0.1 * m);
            if (l < L - 2)
                s.Incoming()(l, m) = LComplex(0.2 * m, 0.5 / (l + 1));
        }
    return s;
}

// Points x = k r spread over the series, Miller and overflow regimes.
double Argument(int i)
{
    return 1e-4 * std::pow(1.25, i % 64);
}
}  // namespace

TEST(LwCacheThreadSafety, BesselCoefficientsBuiltOnceUnderConcurrentFirstUse)
{
    constexpr int kPoints = 256;
    std::vector<std::vector<double>> results(kThreads * kPoints);
    RunTogether([&](int t) {
        LwSphericalBesselTable table;
        for (int i = 0; i < kPoints; ++i) {
            table.Set(30, Argument(i));
            table.GetJ(results[t * kPoints + i]);
        }
    });
    LwSphericalBesselTable serial;
    std::vector<double> j;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPoints; ++i) {
            serial.Set(30, Argument(i));
            serial.GetJ(j);
            ASSERT_EQ(results[t * kPoints + i], j) << "thread " << t << " point " << i;
        }
}

TEST(LwCacheThreadSafety, OneSourceEvaluatedFromSeveralThreads)
{
    // The source's normalisation cache is empty when the threads start; the
    // first evaluations grow it while the others wait for it.
    LwPartialWaveSource shared = Scatterer(14, 0, 0, 0);
    shared.SetKineticEnergy(150);
    const LwPartialWaveSource pristine = shared;  // evaluated serially below

    constexpr int kPoints = 200;
    std::vector<LComplex> results(kThreads * kPoints);
    auto point = [](int t, int i, LDouble& x, LDouble& y, LDouble& z) {
        x = 1e-10 * std::cos(0.1 * i + t);
        y = 1e-10 * std::sin(0.3 * i - t);
        z = 0.5e-10 * (i % 7 - 3);
    };
    RunTogether([&](int t) {
        for (int i = 0; i < kPoints; ++i) {
            LDouble x, y, z;
            point(t, i, x, y, z);
            results[t * kPoints + i] = shared.GetValueXYZ(x, y, z);
        }
    });
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPoints; ++i) {
            LDouble x, y, z;
            point(t, i, x, y, z);
            ASSERT_EQ(results[t * kPoints + i], pristine.GetValueXYZ(x, y, z))
                << "thread " << t << " point " << i;
        }
}

TEST(LwCacheThreadSafety, FarFieldFromSeveralThreads)
{
    LwVectorFreeElectron wave;
    wave.Sources().push_back(Scatterer(10, 0, 0, 0));
    for (int j = 1; j < 30; ++j)
        wave.Sources().push_back(Scatterer(6 + j % 5, 1e-10 * std::cos(j), 1e-10 * std::sin(j), 0.3e-10 * j));
    wave.SetKineticEnergy(300);
    wave.SetMeanFreePath_m(1e-9);

    constexpr int kDirections = 100;
    std::vector<LComplex> results(kThreads * kDirections);
    const LwLong automaticL = 0;
    RunTogether([&](int t) {
        for (int i = 0; i < kDirections; ++i)
            results[t * kDirections + i] = wave.GetFarFieldAmplitude(0.03 * i, 0.5 * t, automaticL);
    });
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kDirections; ++i)
            ASSERT_EQ(results[t * kDirections + i], wave.GetFarFieldAmplitude(0.03 * i, 0.5 * t, automaticL))
                << "thread " << t << " direction " << i;
}
