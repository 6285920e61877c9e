// The record loop of the pattern calculation on hand-built scattering
// documents: selection, progress lines, the thermal models, and the quiet end
// of a calculation on any error.

#include "core/LwError.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwDebye.h"
#include "physics/LwDocFluctuation.h"
#include "physics/LwDocScattering.h"
#include "pattern/LwDocPattern.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {
constexpr double kRelTol = 1e4 * std::numeric_limits<double>::epsilon();

// A record whose wave is an s-wave emitter c00 at the origin and one s-wave
// scatterer below it.
LwScatteringData Record(LComplex c00, double z, LwLong atomicNumber = 29)
{
    LwScatteringData r;
    LwPartialWaveSource emitter, scatterer;
    emitter.SetPosition(0, 0, 0);
    emitter.Outgoing().SetSizeZero(1);
    emitter.Outgoing()(0, 0) = c00;
    emitter.SetAtomicNumber(atomicNumber);
    scatterer.SetPosition(0, 0, z);
    scatterer.Outgoing().SetSizeZero(1);
    scatterer.Outgoing()(0, 0) = LComplex(0.1, 0.05);
    scatterer.SetAtomicNumber(atomicNumber);
    r.ListScatterer.Sources() = {emitter, scatterer};
    r.ListScatterer.SetKineticEnergy(600.0);
    r.NextListScatterer = r.ListScatterer;
    return r;
}

LwDocScattering TwoRecords()
{
    LwDocScattering doc;
    doc.ListScatteringData.push_back(Record(LComplex(1.0, 0.0), -2e-10));
    doc.ListScatteringData.push_back(Record(LComplex(0.0, 2.0), -3e-10));
    return doc;
}

LwDocPattern_AzimuthalEquidistant Pattern(int records)
{
    LwDocPattern_AzimuthalEquidistant p;
    p.Resolution_deg_ = 6.0;
    p.SetRecordSelection(records, true);
    return p;
}

std::string RunCalculation(LwDocPattern& p, LwDocScattering& s, const LwDocFluctuation& f = {},
                           const LwDebye& d = {})
{
    LwNotifyTerminateThreadCalculation never;
    testing::internal::CaptureStdout();
    p.Calculate(never, s, f, d);
    return testing::internal::GetCapturedStdout();
}

LDouble Centre(const LwDocPattern& p, int plane)
{
    const int c = p.Grid.W.ColSize / 2;
    return p.Grid.Planes[plane](c, c);
}

bool AllZero(const LwDocPattern& p)
{
    for (const auto& m : p.Grid.Planes)
        for (int k = 0; k < m.ElementCount(); ++k)
            if (m.Buffer()[k] != 0)
                return false;
    return true;
}

}  // namespace

TEST(DocPatternRecords, PlanesSumTheSelectedRecords)
{
    LwDocScattering s = TwoRecords();
    auto p = Pattern(2);
    const std::string out = RunCalculation(p, s);
    EXPECT_EQ(out, "START: STRUCTURE LOOP=0/2\nEND: STRUCTURE LOOP=0\n"
                   "START: STRUCTURE LOOP=1/2\nEND: STRUCTURE LOOP=1\n");
    // |c00|^2 / 4 pi of the two emitters, 1 and 4.
    EXPECT_NEAR(double(Centre(p, 1)), 5.0 / (4 * Reference::Pi), kRelTol);
    // The working wave keeps the last record.
    EXPECT_EQ(p.WorkingWave.Sources()[1].Z(), -3e-10);

    // Only record 1: the planes hold its share alone, and a second
    // calculation starts from zero planes.
    p.SelectRecord(0, false);
    const std::string one = RunCalculation(p, s);
    EXPECT_EQ(one, "START: STRUCTURE LOOP=0/2\nSTART: STRUCTURE LOOP=1/2\nEND: STRUCTURE LOOP=1\n");
    EXPECT_NEAR(double(Centre(p, 1)), 4.0 / (4 * Reference::Pi), kRelTol);
}

TEST(DocPatternRecords, NothingSelectedOrNoRecords)
{
    LwDocScattering s = TwoRecords();
    auto clear = Pattern(2);
    clear.SetRecordSelection(2, false);
    EXPECT_EQ(RunCalculation(clear, s), "START: STRUCTURE LOOP=0/2\nSTART: STRUCTURE LOOP=1/2\n");
    EXPECT_TRUE(AllZero(clear));
    EXPECT_EQ(clear.Grid.W.ColSize, 31);

    // A stop request before the first record: no line, nothing computed.
    class StopAlways : public LwNotifyTerminate
    {
    public:
        bool IsTerminate() override { return true; }
    } stop;
    auto stopped = Pattern(2);
    testing::internal::CaptureStdout();
    stopped.Calculate(stop, s, LwDocFluctuation(), LwDebye());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(AllZero(stopped));

    LwDocScattering empty;
    auto none = Pattern(0);
    EXPECT_EQ(RunCalculation(none, empty), "");
    EXPECT_TRUE(AllZero(none));
    EXPECT_EQ(none.Grid.Planes.size(), 6u);
}

TEST(DocPatternRecords, VersionAndTypeCheck)
{
    for (LwLong version : {0, 1, 2}) {
        for (LwLong type : {0, 1}) {
            SCOPED_TRACE("version " + std::to_string(version) + " type " + std::to_string(type));
            LwDocScattering s = TwoRecords();
            s.Version = version;
            auto p = Pattern(2);
            p.Type = type;
            const bool refused = version != 0 && type == 1;
            try {
                LwDocPattern::CheckVersionAndType(s, type);
                EXPECT_FALSE(refused);
            } catch (const LwError& e) {
                EXPECT_TRUE(refused);
                EXPECT_EQ(e.Message(), "The conbination of Version and Type is not permitted");
            }
            // Calculate returns quietly; a refused pair leaves the planes as
            // they were before the call (here: a marked grid).
            p.InitSphericalMap();
            p.Grid.Planes[0](0, 0) = 42;
            RunCalculation(p, s);
            EXPECT_EQ(p.Grid.Planes[0](0, 0), refused ? 42 : 0);
            EXPECT_EQ(Centre(p, 1) > 0, !refused);
        }
    }
}

TEST(DocPatternRecords, ErrorsEndTheCalculationQuietly)
{
    // A selection longer than the record list: record 2 fails with
    // "ERROR INDEX" after records 0 and 1 were added.
    LwDocScattering s = TwoRecords();
    auto p = Pattern(3);
    EXPECT_THROW(p.PrepareStructure(s, 2), LwError);
    try {
        p.PrepareStructure(s, 2);
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "ERROR INDEX");
    }
    const std::string out = RunCalculation(p, s);
    EXPECT_NE(out.find("END: STRUCTURE LOOP=1\nSTART: STRUCTURE LOOP=2/3\n"), std::string::npos);
    EXPECT_EQ(out.find("END: STRUCTURE LOOP=2"), std::string::npos);
    EXPECT_NEAR(double(Centre(p, 1)), 5.0 / (4 * Reference::Pi), kRelTol);

    // A negative mean free path used for the emitter distance fails in the
    // first record: all planes stay 0.
    auto bad = Pattern(2);
    bad.IsAttenuateByEmitterDistance_ = true;
    bad.MeanFreePath_m_ = -1e-9;
    RunCalculation(bad, s);
    EXPECT_TRUE(AllZero(bad));
}

TEST(DocPatternRecords, ThermalModelsSetTheRecordsU)
{
    // Einstein model: U = kB T / 70 N/m on both wave lists of every record.
    LwDocFluctuation einstein;
    einstein.Temperature_K_ = 300;
    einstein.IsUseUisoEinsteinModel_ = true;
    const double u = 300 * Reference::Boltzmann_JperK / Reference::EinsteinSpring_Nperm;
    LwDocScattering s = TwoRecords();
    auto p = Pattern(2);
    LwDebye noWeights;
    p.Prepare(s, einstein, noWeights);
    for (const auto& r : s.ListScatteringData)
        for (const LwVectorFreeElectron* w : {&r.ListScatterer, &r.NextListScatterer})
            for (const auto& src : w->Sources())
                EXPECT_NEAR(src.GetU(), u, 1e-12 * u);

    // The cluster's own U wins over both models.
    LwDocFluctuation inCluster = einstein;
    inCluster.IsUseUisoInCluster_ = true;
    inCluster.IsUseUisoDebyeModel_ = true;
    LwDocScattering kept = TwoRecords();
    kept.ListScatteringData[0].ListScatterer.Sources()[1].SetU(3e-22);
    p.Prepare(kept, inCluster, noWeights);
    EXPECT_EQ(kept.ListScatteringData[0].ListScatterer.Sources()[1].GetU(), 3e-22);
    EXPECT_EQ(kept.ListScatteringData[1].ListScatterer.Sources()[1].GetU(), 0);

    // The Debye model without atomic weights fails in Prepare and ends
    // Calculate quietly with the freshly built, zero planes.
    LwDocFluctuation debye;
    debye.Temperature_K_ = 300;
    debye.IsUseUisoDebyeModel_ = true;
    debye.DebyeElement_ = {"Cu"};
    debye.DebyeTemperature_K_ = {343};
    LwDocScattering d = TwoRecords();
    EXPECT_THROW(p.Prepare(d, debye, noWeights), LwError);
    RunCalculation(p, d, debye, noWeights);
    EXPECT_TRUE(AllZero(p));
}
