// The free-electron wave seen through the re-expansion's wave interface.

#include "physics/LwVectorFreeElectron.h"
#include "physics/LwWaveVectorFreeElectron.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

LwVectorFreeElectron TwoSourceWave()
{
    LwVectorFreeElectron wave;
    wave.Sources().resize(2);
    wave.Sources()[0].Outgoing().SetSizeZero(2);
    wave.Sources()[0].Outgoing()(1, -1) = LComplex(0.5, 0.25);
    wave.Sources()[1].Outgoing().SetSizeZero(3);
    wave.Sources()[1].Outgoing()(2, 1) = LComplex(-1, 2);
    wave.Sources()[1].SetPosition(2e-10, -1e-10, 0.5e-10);
    wave.SetKineticEnergy(300.0);
    return wave;
}

}  // namespace

TEST(LwWaveVectorFreeElectron, NothingAttachedIsAnError)
{
    LwWaveVectorFreeElectron adapter;
    EXPECT_EQ(ErrorText([&] { adapter.GetValue(1e-10, 0.1, 0.2); }), "pointer is not defined");
    EXPECT_EQ(ErrorText([&] { adapter.GetWaveNumber(); }), "pointer is not defined");
    EXPECT_EQ(ErrorText([&] { adapter.GetKineticEnergy(); }), "pointer is not defined");
    EXPECT_EQ(ErrorText([&] { adapter.PrepareConcurrentEvaluation(); }), "pointer is not defined");
}

TEST(LwWaveVectorFreeElectron, WaveWithoutSourcesHasNoWaveNumber)
{
    LwVectorFreeElectron wave;
    LwWaveVectorFreeElectron adapter;
    adapter.Attach(&wave);
    try {
        adapter.GetWaveNumber();
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_EQ(std::string(e.what()), "invalid vector<T> subscript");
    }
    EXPECT_EQ(adapter.GetKineticEnergy(), LwVectorFreeElectron::kUndefinedEnergy);
}

TEST(LwWaveVectorFreeElectron, ForwardsTheWave)
{
    LwVectorFreeElectron wave = TwoSourceWave();
    LwWaveVectorFreeElectron adapter;
    adapter.Attach(&wave);
    EXPECT_EQ(adapter.GetKineticEnergy(), 300.0);
    EXPECT_EQ(adapter.GetWaveNumber(), wave.Sources()[0].GetWaveNumber());
    adapter.PrepareConcurrentEvaluation();
    for (double r : {0.0, 0.7e-10, 3e-10})
        for (double theta : {0.0, 1.1, 2.9}) {
            SCOPED_TRACE(r);
            const LComplex expected = wave.GetValueRThetaPhi(r, theta, -0.4);
            EXPECT_EQ(adapter.GetValue(r, theta, -0.4), expected);
        }
}
