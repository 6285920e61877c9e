#include "core/LwSThCalc.h"

#include <gtest/gtest.h>

namespace {

// A calculation of `steps` units that stops when asked.
class CountingCalc : public LwSThCalc
{
public:
    explicit CountingCalc(LwLong steps) : steps_(steps) {}
    void Calculate() override
    {
        for (LwLong i = 0; i < steps_ && !StopRequested(); ++i) {
            AddProgress();
            if (i == stopAt_)
                RequestStop();
        }
    }
    LwLong GetProgressMax() const override { return steps_; }
    LwLong stopAt_ = -1;

private:
    LwLong steps_;
};

}  // namespace

TEST(CalculationControl, ProgressAndStopRequest)
{
    CountingCalc fresh(10);
    EXPECT_EQ(fresh.GetProgress(), 0);
    EXPECT_EQ(fresh.GetMessage(), "");
    EXPECT_FALSE(fresh.StopRequested());
    fresh.Calculate();
    EXPECT_EQ(fresh.GetProgress(), fresh.GetProgressMax());

    CountingCalc stopped(10);
    stopped.stopAt_ = 3;  // the unit that asks to stop still counts
    stopped.Calculate();
    EXPECT_EQ(stopped.GetProgress(), 4);
}
