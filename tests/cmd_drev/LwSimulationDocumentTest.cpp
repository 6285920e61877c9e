#include "LwSimulationDocument.h"

#include <gtest/gtest.h>

namespace {

TEST(LwSimulationDocument, HoldsANanoScanWithItsDefaults)
{
    const LwDocPatternNano& nano = LwSimulationDocument::Instance().Nano;
    EXPECT_EQ(-1e-9, nano.OuterMin_m_);
    EXPECT_EQ(1e-9, nano.InnerMax_m_);
    EXPECT_EQ(1e-11, nano.Step_m_);
    EXPECT_EQ(nullptr, nano.pDocScatteringPaseShift_);
    EXPECT_EQ(201, nano.ColumnCount());
}

// The simulation document holds the reconstruction data, its engine data
// and the job, the latter two bound to the former.
TEST(LwSimulationDocument, HoldsTheReconstructionBoundToItsData)
{
    LwSimulationDocument& s = LwSimulationDocument::Instance();
    EXPECT_EQ(&s.CalcMemWork.Document(), &s.DocCalcMem);
    EXPECT_EQ(s.DocCalcMem.AutoSave_, 5);
    EXPECT_TRUE(s.CalcMemWork.BaseName_.isEmpty());
    EXPECT_FALSE(s.CalcMemWork.SaveRequest_);
}

}  // namespace
