#include "core/LwMatrixBarn.h"
#include "pattern/reconstruction/LwKSpaceData.h"
#include "ErrorText.h"
#include "ReconstructionTestSupport.h"

#include <gtest/gtest.h>

using recon_test::Carrier;

namespace {

TEST(LwKSpaceData, RoundTripThroughEveryCarrier)
{
    LwDocCalcMem source;
    recon_test::FillSmallDocument(source);
    LwKSpaceData& a = source.KSpace_;
    for (Carrier carrier : {Carrier::Text, Carrier::BarnFile, Carrier::QBarnFile}) {
        SCOPED_TRACE(recon_test::CarrierName(carrier));
        LwKSpaceData b;
        recon_test::RoundTrip(
            carrier, [&](LwBarnXml& doc) { EXPECT_TRUE(a.LoadSave(doc)); },
            [&](LwBarnXml& doc) { EXPECT_TRUE(b.LoadSave(doc)); });
        ASSERT_EQ(b.NList_, 2);
        EXPECT_EQ(b.NPoint_, 6);
        EXPECT_EQ(b.E_, a.E_);
        recon_test::ExpectSameMatrix(b.Ux_, a.Ux_);
        recon_test::ExpectSameMatrix(b.Uy_, a.Uy_);
        recon_test::ExpectSameMatrix(b.Uz_, a.Uz_);
        for (int i = 0; i < 2; ++i) {
            recon_test::ExpectSameMatrix(b.Exp_[i], a.Exp_[i]);
            recon_test::ExpectSameMatrix(b.Cal_[i], a.Cal_[i]);
            recon_test::ExpectSameMatrix(b.Err_[i], a.Err_[i]);
            // The forward gradient is not stored: zeros of the measured shape.
            ASSERT_EQ(b.ForwardGradient_.size(), 2u);
            EXPECT_EQ(b.ForwardGradient_[i].VectorSize(), 6);
            EXPECT_EQ(b.ForwardGradient_[i][3], 0.0f);
        }
    }
}

// Items without "Cal" and "Err" read with zero vectors of the measured
// hologram's shape; "E" defaults to 0. Every item of a long list is read,
// and reading twice leaves every list with exactly NList entries.
TEST(LwKSpaceData, ItemDefaultsAndLongLists)
{
    LwKSpaceData full;
    full.Ux_ = full.Uy_ = full.Uz_ = LwFloatMatrix(1, 3);
    full.Ux_.SetZero();
    full.Uy_.SetZero();
    full.Uz_.SetZero();
    full.NPoint_ = 3;
    const int items = 150;
    for (int i = 0; i < items; ++i) {
        LwFloatMatrix v(1, 3);
        v.SetZero();
        v[1] = static_cast<float>(i);
        full.E_.push_back(static_cast<float>(i));
        full.Exp_.push_back(v);
        full.Cal_.push_back(v);
        full.Err_.push_back(v);
    }
    full.NList_ = items;
    std::string text = recon_test::WrittenText([&](LwBarnXml& doc) { full.LoadSave(doc); });

    LwKSpaceData b;
    for (int pass = 0; pass < 2; ++pass) {
        recon_test::ReadText(text, [&](LwBarnXml& doc) { ASSERT_TRUE(b.LoadSave(doc)); });
        ASSERT_EQ(b.NList_, items);
        for (auto* list : {&b.Exp_, &b.Cal_, &b.Err_, &b.ForwardGradient_})
            EXPECT_EQ(list->size(), static_cast<std::size_t>(items));
        EXPECT_EQ(b.E_.size(), static_cast<std::size_t>(items));
        EXPECT_EQ(b.Exp_[149][1], 149.0f);
    }

    // One item with only a measured hologram (a 2-D shape to see it copied).
    const std::string sparse = recon_test::WrittenText([&](LwBarnXml& doc) {
        doc.OpenRack("k_space_all");
        SerializeMatrix(doc, "Ux", full.Ux_, "b");
        SerializeMatrix(doc, "Uy", full.Uy_, "b");
        SerializeMatrix(doc, "Uz", full.Uz_, "b");
        doc.OpenRack("list");
        doc.OpenRack("i");
        LwFloatMatrix exp(1, 3);
        exp.RowBegin = 2;
        exp[2] = 1;
        exp[3] = 2;
        exp[4] = 3;
        SerializeMatrix(doc, "Exp", exp, "b");
        doc.CloseRack("i");
        doc.CloseRack("list");
        doc.CloseRack("k_space_all");
    });
    recon_test::ReadText(sparse, [&](LwBarnXml& doc) { ASSERT_TRUE(b.LoadSave(doc)); });
    ASSERT_EQ(b.NList_, 1);
    EXPECT_EQ(b.E_[0], 0.0f);
    EXPECT_EQ(b.Cal_[0].RowSize, 3);
    EXPECT_EQ(b.Cal_[0].Buffer()[2], 0.0f);
    EXPECT_EQ(b.Err_[0].RowBegin, 2);
    EXPECT_EQ(b.Err_[0][4], 0.0f);
    EXPECT_EQ(b.ForwardGradient_[0].RowBegin, 2);
}

TEST(LwKSpaceData, BrokenInvariants)
{
    struct Case
    {
        const char* what;
        void (*breakIt)(LwKSpaceData&);
    };
    const Case cases[] = {
        {"short Uy", [](LwKSpaceData& k) { k.Uy_.Create(5); }},
        {"short Uz", [](LwKSpaceData& k) { k.Uz_.Create(7); }},
        {"E missing", [](LwKSpaceData& k) { k.E_.pop_back(); }},
        {"Err missing", [](LwKSpaceData& k) { k.Err_.pop_back(); }},
        {"short Cal", [](LwKSpaceData& k) { k.Cal_[1].Create(2); }},
        {"negative count", [](LwKSpaceData& k) { k.NList_ = -1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwDocCalcMem d;
        recon_test::FillSmallDocument(d);
        EXPECT_EQ(ErrorText([&] { d.KSpace_.CheckConsistency(); }), "(no error)");
        c.breakIt(d.KSpace_);
        EXPECT_EQ(ErrorText([&] { d.KSpace_.CheckConsistency(); }), "Error: not consistent");
        EXPECT_EQ(
            ErrorText([&] { recon_test::WrittenText([&](LwBarnXml& doc) { d.KSpace_.LoadSave(doc); }); }),
            "Error: not consistent");
    }
    LwKSpaceData k;
    recon_test::ReadText("<x></x>", [&](LwBarnXml& doc) { EXPECT_FALSE(k.LoadSave(doc)); });
}

}  // namespace
