#include "core/LwMatrixBarn.h"
#include "pattern/reconstruction/LwDocCalcMem.h"
#include "ErrorText.h"
#include "ReconstructionTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>

using recon_test::Carrier;

namespace {

TEST(LwDocCalcMem, ConstructorValues)
{
    LwDocCalcMem d;
    EXPECT_EQ(d.fratio_, 0.8f);
    EXPECT_EQ(d.Lambda_, 1.0f);
    EXPECT_EQ(d.CutoffRatio_, 1e-4f);
    EXPECT_EQ(d.AutoSave_, 5);
    EXPECT_EQ(d.MinRMS_, 1e10f);
    EXPECT_EQ(d.SmoothingErrN_, 0);
    EXPECT_TRUE(d.IsUseEstimateMaxUseABS_);
    EXPECT_EQ(d.ThresholdLoops_, 1000);
    EXPECT_EQ(d.ThresholdPercentage_, 90.0f);
    EXPECT_EQ(d.CorrectionType_, 0);
    EXPECT_FALSE(d.IsGradientPostFilter_);
    EXPECT_FALSE(d.IsAutoThreshold_);
    EXPECT_EQ(d.SoftThresholdType_, 0);
    EXPECT_EQ(d.FixedThreshold_, 0.0f);
    EXPECT_EQ(d.HologramParam_.HologramMeshLevel_, 6);
    EXPECT_EQ(d.HologramParam_.NumberOfElement_, 1);
}

// Missing numbers take the reading defaults (which differ from the
// constructor's for fratio, CutoffRatio and SmoothingErrN); missing flags
// keep their values, whichever they are.
TEST(LwDocCalcMem, MissingParameterKeys)
{
    for (bool flags : {false, true}) {
        SCOPED_TRACE(flags ? "flags set" : "flags clear");
        LwDocCalcMem d;
        d.fratio_ = d.Lambda_ = d.CutoffRatio_ = d.MinRMS_ = 7.0f;
        d.DefocusWeightSurround_ = d.ReduceGradientRatio_ = d.RemoveAverageRatio_ = 7.0f;
        d.LoopCount_ = d.AutoSave_ = d.NDefocus_ = d.SmoothingErrN_ = 7;
        d.IsRemoveMinimum_ = d.IsReduceGradient_ = d.IsRemoveAverage_ = flags;
        d.IsSmoothingErr_ = d.IsUseEstimateMaxUseABS_ = flags;
        recon_test::ReadText("<calc_mem_data><parameter></parameter></calc_mem_data>",
                             [&](LwBarnXml& doc) { EXPECT_TRUE(d.LoadSave(doc)); });
        EXPECT_EQ(d.fratio_, 1.0f);
        EXPECT_EQ(d.Lambda_, 1.0f);
        EXPECT_EQ(d.CutoffRatio_, 0.0f);
        EXPECT_EQ(d.LoopCount_, 0);
        EXPECT_EQ(d.AutoSave_, 5);
        EXPECT_EQ(d.MinRMS_, 1e10f);
        EXPECT_EQ(d.NDefocus_, 0);
        EXPECT_EQ(d.DefocusWeightSurround_, 1.0f);
        EXPECT_EQ(d.ReduceGradientRatio_, 0.1f);
        EXPECT_EQ(d.RemoveAverageRatio_, 0.5f);
        EXPECT_EQ(d.SmoothingErrN_, 20);
        for (bool f : {d.IsRemoveMinimum_, d.IsReduceGradient_, d.IsRemoveAverage_, d.IsSmoothingErr_,
                       d.IsUseEstimateMaxUseABS_})
            EXPECT_EQ(f, flags);
        // The start values follow what was read.
        EXPECT_EQ(d.Startfratio_, 1.0f);
        EXPECT_EQ(d.StartCutoffRatio_, 0.0f);
        EXPECT_TRUE(d.RmsHistory_.empty());
    }
}

TEST(LwDocCalcMem, StartValuesFromTheDocument)
{
    LwDocCalcMem d;
    recon_test::ReadText("<calc_mem_data><parameter><fratio>0.5</fratio><Lambda>2</Lambda>"
                         "<CutoffRatio>0.01</CutoffRatio></parameter></calc_mem_data>",
                         [&](LwBarnXml& doc) { EXPECT_TRUE(d.LoadSave(doc)); });
    EXPECT_EQ(d.Startfratio_, 0.5f);
    EXPECT_EQ(d.StartLambda_, 2.0f);
    EXPECT_EQ(d.StartCutoffRatio_, 0.01f);
    EXPECT_EQ(d.StartTotalPower_, 1.0f);
}

// Five iterations write 3 columns x 5 rows, the first column 0 .. 4; reading
// restores both histories. Any other column count, or none, empties them.
TEST(LwDocCalcMem, Histories)
{
    LwDocCalcMem d;
    recon_test::FillSmallDocument(d);
    d.RmsHistory_ = {5.0f, 4.0f, 3.5f, 3.25f, 3.0f};
    d.MaxHistory_ = {1.0f, 2.0f, 3.0f, 4.0f, 5.5f};
    const std::string text = recon_test::WrittenText([&](LwBarnXml& doc) { d.LoadSave(doc); });

    LwFloatMatrix history;
    recon_test::ReadText(text, [&](LwBarnXml& doc) {
        ASSERT_TRUE(doc.OpenRack("calc_mem_data"));
        ASSERT_TRUE(SerializeMatrix(doc, "history_rms_max", history, "t"));
    });
    ASSERT_EQ(history.ColSize, 3);
    ASSERT_EQ(history.RowSize, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(history(0, i), static_cast<float>(i));
        EXPECT_FLOAT_EQ(history(1, i), d.RmsHistory_[i]);
        EXPECT_FLOAT_EQ(history(2, i), d.MaxHistory_[i]);
    }

    LwDocCalcMem e;
    recon_test::ReadText(text, [&](LwBarnXml& doc) { EXPECT_TRUE(e.LoadSave(doc)); });
    ASSERT_EQ(e.RmsHistory_.size(), 5u);
    ASSERT_EQ(e.MaxHistory_.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(e.RmsHistory_[i], d.RmsHistory_[i]);
        EXPECT_FLOAT_EQ(e.MaxHistory_[i], d.MaxHistory_[i]);
    }

    for (int cols : {0, 2, 4}) {
        SCOPED_TRACE(cols);
        LwDocCalcMem f;
        f.RmsHistory_ = {1.0f};
        f.MaxHistory_ = {1.0f};
        const std::string other = recon_test::WrittenText([&](LwBarnXml& doc) {
            doc.OpenRack("calc_mem_data");
            if (cols > 0) {
                LwFloatMatrix m(cols, 2);
                m.SetZero();
                SerializeMatrix(doc, "history_rms_max", m, "t");
            }
            doc.CloseRack("calc_mem_data");
        });
        recon_test::ReadText(other, [&](LwBarnXml& doc) { EXPECT_TRUE(f.LoadSave(doc)); });
        EXPECT_TRUE(f.RmsHistory_.empty());
        EXPECT_TRUE(f.MaxHistory_.empty());
    }
}

TEST(LwDocCalcMem, HologramParameterSet)
{
    LwDocCalcMem d;
    d.HologramParam_.HologramMeshLevel_ = 9;
    d.HologramParam_.Items_.resize(1);
    // No "DocCalcInfo": the set stays as it was.
    recon_test::ReadText("<calc_mem_data></calc_mem_data>",
                         [&](LwBarnXml& doc) { EXPECT_TRUE(d.LoadSave(doc)); });
    EXPECT_EQ(d.HologramParam_.HologramMeshLevel_, 9);
    EXPECT_EQ(d.HologramParam_.Items_.size(), 1u);
    // An item without "KessarEffect" reads as -1.
    recon_test::ReadText("<calc_mem_data><DocCalcInfo><HologramParam><i><Caption>a</Caption>"
                         "<KessarEffect>3</KessarEffect></i><i><Energy>2.5</Energy></i></HologramParam>"
                         "</DocCalcInfo></calc_mem_data>",
                         [&](LwBarnXml& doc) { EXPECT_TRUE(d.LoadSave(doc)); });
    EXPECT_EQ(d.HologramParam_.HologramMeshLevel_, 6);
    ASSERT_EQ(d.HologramParam_.Items_.size(), 2u);
    EXPECT_EQ(d.HologramParam_.Items_[0].KessarEffect_, 3);
    EXPECT_EQ(d.HologramParam_.Items_[1].KessarEffect_, -1);
    EXPECT_EQ(d.HologramParam_.Items_[1].Energy_, 2.5);
    EXPECT_EQ(d.HologramParam_.Items_[1].Caption_, "");
}

// A document read into a set that already holds items: an item without
// "SPatternParam" has no pattern captions, not those of the item read before
// it, and a save writes none.
TEST(LwDocCalcMem, HologramItemWithoutPatternListHasNone)
{
    LwDocCalcMem d;
    recon_test::FillSmallDocument(d);
    ASSERT_EQ(d.HologramParam_.Items_[0].Patterns_.size(), 2u);
    recon_test::ReadText("<calc_mem_data><DocCalcInfo><HologramParam><i><Caption>new</Caption></i>"
                         "<i><SPatternParam><i><Caption>q</Caption></i></SPatternParam></i>"
                         "</HologramParam></DocCalcInfo></calc_mem_data>",
                         [&](LwBarnXml& doc) { EXPECT_TRUE(d.LoadSave(doc)); });
    ASSERT_EQ(d.HologramParam_.Items_.size(), 2u);
    EXPECT_EQ(d.HologramParam_.Items_[0].Caption_, "new");
    EXPECT_TRUE(d.HologramParam_.Items_[0].Patterns_.empty());
    ASSERT_EQ(d.HologramParam_.Items_[1].Patterns_.size(), 1u);
    EXPECT_EQ(d.HologramParam_.Items_[1].Patterns_[0].Caption_, "q");
    EXPECT_EQ(d.HologramParam_.Items_[1].Energy_, 0);
    const std::string saved = recon_test::WrittenText([&](LwBarnXml& doc) { d.LoadSave(doc); });
    EXPECT_EQ(saved.find("p1"), std::string::npos);
    EXPECT_EQ(saved.find("p2"), std::string::npos);
}

// The whole document through each carrier: parameters, histories, hologram
// set and the three data sets.
TEST(LwDocCalcMem, RoundTripThroughEveryCarrier)
{
    LwDocCalcMem a;
    recon_test::FillSmallDocument(a);
    for (Carrier carrier : {Carrier::Text, Carrier::BarnFile, Carrier::QBarnFile}) {
        SCOPED_TRACE(recon_test::CarrierName(carrier));
        LwDocCalcMem b;
        recon_test::RoundTrip(
            carrier, [&](LwBarnXml& doc) { EXPECT_TRUE(a.LoadSave(doc)); },
            [&](LwBarnXml& doc) { EXPECT_TRUE(b.LoadSave(doc)); });
        EXPECT_EQ(b.fratio_, a.fratio_);
        EXPECT_EQ(b.Lambda_, a.Lambda_);
        EXPECT_EQ(b.CutoffRatio_, a.CutoffRatio_);
        EXPECT_EQ(b.LoopCount_, a.LoopCount_);
        EXPECT_EQ(b.AutoSave_, a.AutoSave_);
        EXPECT_EQ(b.MinRMS_, a.MinRMS_);
        EXPECT_EQ(b.NDefocus_, a.NDefocus_);
        EXPECT_EQ(b.DefocusWeightSurround_, a.DefocusWeightSurround_);
        EXPECT_EQ(b.IsRemoveMinimum_, a.IsRemoveMinimum_);
        EXPECT_EQ(b.IsReduceGradient_, a.IsReduceGradient_);
        EXPECT_EQ(b.ReduceGradientRatio_, a.ReduceGradientRatio_);
        EXPECT_EQ(b.IsRemoveAverage_, a.IsRemoveAverage_);
        EXPECT_EQ(b.RemoveAverageRatio_, a.RemoveAverageRatio_);
        EXPECT_EQ(b.IsSmoothingErr_, a.IsSmoothingErr_);
        EXPECT_EQ(b.SmoothingErrN_, a.SmoothingErrN_);
        EXPECT_EQ(b.IsUseEstimateMaxUseABS_, a.IsUseEstimateMaxUseABS_);
        EXPECT_EQ(b.RmsHistory_, a.RmsHistory_);
        EXPECT_EQ(b.MaxHistory_, a.MaxHistory_);
        EXPECT_EQ(b.StartTotalPower_, 2.5f);

        const LwHologramParam& h = b.HologramParam_;
        EXPECT_EQ(h.HologramMeshLevel_, 4);
        EXPECT_EQ(h.NumberOfElement_, 2);
        ASSERT_EQ(h.Items_.size(), 2u);
        EXPECT_EQ(h.Items_[0].Caption_, a.HologramParam_.Items_[0].Caption_);
        EXPECT_EQ(h.Items_[1].Energy_, static_cast<LDouble>(8.5));
        EXPECT_EQ(h.Items_[0].KessarEffect_, 1);
        ASSERT_EQ(h.Items_[1].Patterns_.size(), 2u);
        EXPECT_EQ(h.Items_[1].Patterns_[1].Caption_, "p2");

        EXPECT_EQ(b.KSpace_.NList_, 2);
        recon_test::ExpectSameMatrix(b.KSpace_.Exp_[1], a.KSpace_.Exp_[1]);
        EXPECT_EQ(b.RealSpace_.NPoint_, 125);
        recon_test::ExpectSameMatrix(b.RealSpace_.Density_[1], a.RealSpace_.Density_[1]);
        ASSERT_EQ(b.ScatteringPattern_.Pattern_.size(), 2u);
        recon_test::ExpectSameMatrix(b.ScatteringPattern_.Pattern_[1][1],
                                     a.ScatteringPattern_.Pattern_[1][1]);
        EXPECT_EQ(b.ScatteringPattern_.Element_, a.ScatteringPattern_.Element_);
    }
}

TEST(LwDocCalcMem, LoopFileNames)
{
    struct Case
    {
        const char* base;
        LwLong loop;
        const char* name;
    };
    const Case cases[] = {
        {"", 0, "_lp000.xml_rs"},
        {"base", 0, "base_lp000.xml_rs"},
        {"run", 7, "run_lp007.xml_rs"},
        {"run", 1234, "run_lp1234.xml_rs"},
        {"/data/Ni\xC3\xA9", 42, "/data/Ni\xC3\xA9_lp042.xml_rs"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CalcMemLoopFileName(QString::fromUtf8(c.base), c.loop).toStdString(), c.name) << c.base;
}

// What reading a damaged document ends in: "ok", an LwError's text, or
// "other exception" (which must never happen).
std::string ReadOutcome(const std::string& text)
{
    try {
        LwDocCalcMem d;
        LwBarnXml doc("r");
        doc.FromString(text);
        return d.LoadSave(doc) ? "ok" : "no root";
    } catch (const LwError& e) {
        return e.Message();
    } catch (...) {
        return "other exception";
    }
}

// Damaged documents are refused with an LwError (or read as far as they go),
// never a crash or a stray exception: every cut of a written document, a
// wrong root, and binary blocks whose sizes do not match their data.
TEST(LwDocCalcMemDamaged, CutShort)
{
    LwDocCalcMem a;
    recon_test::FillSmallDocument(a);
    const std::string text = recon_test::WrittenText([&](LwBarnXml& doc) { a.LoadSave(doc); });
    ASSERT_EQ(ReadOutcome(text), "ok");
    int refused = 0;
    for (std::size_t cut = 0; cut < text.size(); cut += 7) {
        const std::string outcome = ReadOutcome(text.substr(0, cut));
        ASSERT_NE(outcome, "other exception") << "cut at " << cut;
        if (outcome != "ok" && outcome != "no root")
            ++refused;
    }
    EXPECT_GT(refused, 0);
}

TEST(LwDocCalcMemDamaged, WrongRootAndBlocks)
{
    LwDocCalcMem a;
    recon_test::FillSmallDocument(a);
    const std::string text = recon_test::WrittenText([&](LwBarnXml& doc) { a.LoadSave(doc); });
    auto replaceFirst = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        const std::size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            t.replace(at, from.size(), to);
        return t;
    };
    // The sizes of the first binary block (k-space "Ux", 1 x 6).
    const std::string rows = "<RowSize>6</RowSize>";
    struct Case
    {
        const char* what;
        std::string text;
        const char* prefix;
    };
    const Case cases[] = {
        {"wrong root", replaceFirst("calc_mem_data>", "calc_mem_dat>"), "no root"},
        {"block claims more rows", replaceFirst(rows, "<RowSize>60</RowSize>"), "Error: not consistent"},
        {"block claims 2^31 elements", replaceFirst(rows, "<RowSize>2000000000</RowSize>"), ""},
        {"negative block size", replaceFirst(rows, "<RowSize>-6</RowSize>"), ""},
        {"block length mangled", replaceFirst("<base64>0000", "<base64>zzzz"), ""},
        {"block cut",
         std::regex_replace(text, std::regex("<base64>(0000[0-9a-f]{4}.{8})[^<]*"), "<base64>$1"), ""},
        {"grid step 0", replaceFirst("<dx>1e-10</dx>", "<dx>0</dx>"), "Real-space grid:"},
        {"grid element count 10", replaceFirst("<NElement>2</NElement>", "<NElement>10</NElement>"),
         "SPattern is not setted"},
        {"list element count", replaceFirst("<NElement>2</NElement>\n<el>", "<NElement>-3</NElement>\n<el>"),
         "Real-space data: element count -3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string outcome = ReadOutcome(c.text);
        EXPECT_NE(outcome, "other exception");
        EXPECT_NE(outcome, "ok");
        EXPECT_EQ(outcome.substr(0, std::string(c.prefix).size()), c.prefix) << outcome;
    }
}

}  // namespace
