// The emitted-wave document: a hand-written file read with the defaults of
// missing keys, round trips, long lists, and the "i" of a list item beside
// the "i" of an imaginary part.

#include "core/LwBarnFile.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwLmArrayBarn.h"
#include "BarnText.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kFixture = std::string(LW_TEST_DATA_DIR) + "/emitted_wave_three_entries.xml_emt";

}  // namespace

TEST(LwDocFinalState, HandWrittenFileReadsWithDefaults)
{
    LwBarnFile file(kFixture, "r");
    LwDocFinalState doc;
    ASSERT_TRUE(doc.LoadSave(file));
    ASSERT_EQ(doc.ListEmitter.size(), 3u);

    const LwEmitterEntry& empty = doc.ListEmitter[0];
    EXPECT_EQ(empty.Ek, 1000.0);
    EXPECT_EQ(empty.Ratio, 1.0);
    EXPECT_EQ(empty.coeff.GetL(), 0);
    EXPECT_FALSE(empty.IsPlaneWave);
    EXPECT_EQ(empty.PlaneWaveBeta_deg, 0.0);
    EXPECT_EQ(empty.PlaneWaveGamma_deg, 0.0);

    const LwEmitterEntry& wave = doc.ListEmitter[1];
    EXPECT_EQ(wave.Ek, 500.0);
    EXPECT_EQ(wave.Ratio, 0.25);
    ASSERT_EQ(wave.coeff.GetL(), 2);
    EXPECT_EQ(wave.coeff(0, 0), LComplex(1.5, -0.5));
    EXPECT_EQ(wave.coeff(1, -1), LComplex(0, 1));
    EXPECT_EQ(wave.coeff(1, 0), LComplex(2, 0)) << "a missing imaginary part is 0";
    EXPECT_EQ(wave.coeff(1, 1), LComplex(-3, 0.125));
    EXPECT_FALSE(wave.IsPlaneWave);

    const LwEmitterEntry& plane = doc.ListEmitter[2];
    EXPECT_EQ(plane.Ek, 80.0);
    EXPECT_EQ(plane.Ratio, 1.0);
    EXPECT_TRUE(plane.IsPlaneWave);
    EXPECT_EQ(plane.PlaneWaveBeta_deg, 30.0);
    EXPECT_EQ(plane.PlaneWaveGamma_deg, -45.0);
    EXPECT_EQ(plane.coeff.GetL(), 0);
}

TEST(LwDocFinalState, RoundTripKeepsEveryEntry)
{
    std::vector<LwEmitterEntry> entries(2);
    entries[0].Ek = 123.5;
    entries[0].Ratio = 0.75;
    entries[0].coeff.SetSizeZero(3);
    for (LwLong p = 0; p < 9; ++p)
        entries[0].coeff[p] = LComplex(0.5 * p - 1, 0.25 * p);
    entries[1].IsPlaneWave = true;
    entries[1].PlaneWaveBeta_deg = 12.5;
    entries[1].PlaneWaveGamma_deg = 270;

    const std::string text =
        BarnTextOf([&](LwBarnXml& d) { EXPECT_TRUE(LwDocFinalState::LoadSave(entries, d)); });
    std::vector<LwEmitterEntry> back(5);  // whatever the list held is replaced
    EXPECT_TRUE(LwDocFinalState::LoadSave(back, *BarnReader(text)));
    ASSERT_EQ(back.size(), 2u);
    for (std::size_t e = 0; e < 2; ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(back[e].Ek, entries[e].Ek);
        EXPECT_EQ(back[e].Ratio, entries[e].Ratio);
        EXPECT_EQ(back[e].IsPlaneWave, entries[e].IsPlaneWave);
        EXPECT_EQ(back[e].PlaneWaveBeta_deg, entries[e].PlaneWaveBeta_deg);
        EXPECT_EQ(back[e].PlaneWaveGamma_deg, entries[e].PlaneWaveGamma_deg);
        ASSERT_EQ(back[e].coeff.GetL(), entries[e].coeff.GetL());
        // These values have at most six significant digits, which the text
        // form keeps exactly.
        for (LwLong p = 0; p < back[e].coeff.Size(); ++p)
            EXPECT_EQ(back[e].coeff[p], entries[e].coeff[p]);
    }
}

TEST(LwDocFinalState, ThreeHundredEntriesGrowPastTheFirstBlock)
{
    std::vector<LwEmitterEntry> entries(300);
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].Ek = double(i);
    const std::string text = BarnTextOf([&](LwBarnXml& d) { LwDocFinalState::LoadSave(entries, d); });
    std::vector<LwEmitterEntry> back;
    ASSERT_TRUE(LwDocFinalState::LoadSave(back, *BarnReader(text)));
    ASSERT_EQ(back.size(), 300u);
    EXPECT_EQ(back[255].Ek, 255.0);
    EXPECT_EQ(back[299].Ek, 299.0);
}

TEST(LwDocFinalState, MissingRacks)
{
    struct Case
    {
        const char* name;
        const char* text;
        bool result;
        std::size_t entries;  // the list starts with one entry
    };
    const Case cases[] = {
        {"no root rack", "<other></other>", false, 1},
        {"no data rack", "<emitted_wave_data></emitted_wave_data>", true, 1},
        {"no list rack", "<emitted_wave_data><data></data></emitted_wave_data>", true, 1},
        {"empty list", "<emitted_wave_data><data><list_emitter></list_emitter></data></emitted_wave_data>",
         true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<LwEmitterEntry> entries(1);
        entries[0].Ek = 7;
        EXPECT_EQ(LwDocFinalState::LoadSave(entries, *BarnReader(c.text)), c.result);
        ASSERT_EQ(entries.size(), c.entries);
        if (c.entries == 1) {
            EXPECT_EQ(entries[0].Ek, 7.0);
        }
    }
}

TEST(LwDocFinalState, CoefficientsShortOfTheirSizeFail)
{
    const char* text =
        "<emitted_wave_data><data><list_emitter><i><coeff><Size_l>2</Size_l>"
        "<Value><l><m><r>1</r></m></l></Value></coeff></i></list_emitter></data></emitted_wave_data>";
    std::vector<LwEmitterEntry> entries;
    // The second "l" is missing: the "l" racks are counted before the array
    // is sized.
    EXPECT_EQ(ErrorText([&] { LwDocFinalState::LoadSave(entries, *BarnReader(text)); }),
              "Emitted wave 1: Coefficient array \"coeff\": Size_l 2 but the \"Value\" rack holds 1 \"l\" "
              "racks");
}

// An 80-byte document that declares 12000 l values (2.3 GB of coefficients)
// and holds none is refused in words before any coefficient is allocated.
TEST(LwDocFinalState, HugeDeclaredSizeWithoutDataIsRefused)
{
    LwBarnFile file(std::string(LW_TEST_DATA_DIR) + "/emitted_wave_size_l_12000.xml_emt", "r");
    LwDocFinalState doc;
    EXPECT_EQ(ErrorText([&] { doc.LoadSave(file); }),
              "Emitted wave 1: Coefficient array \"coeff\": Size_l 12000 is not a number of l values from 0 "
              "to 1000");
}

// Entries that declare 1000 l values (16 MB of coefficients each) and hold
// none: the reading stops at the first of them, naming it, instead of sizing
// an array for every entry and leaving the refusal to a check of the whole
// list. A 1.4 KB file of 24 such entries would otherwise take 384 MB.
TEST(LwDocFinalState, EntriesDeclaringCoefficientsWithoutDataAreRefusedOneByOne)
{
    {
        LwBarnFile file(std::string(LW_TEST_DATA_DIR) + "/emitted_wave_entries_without_data.xml_emt", "r");
        LwDocFinalState doc;
        EXPECT_EQ(ErrorText([&] { doc.LoadSave(file); }),
                  "Emitted wave 1: Coefficient array \"coeff\": Size_l 1000 but no coefficients (neither a "
                  "\"Value\" rack nor a \"base64\" block)");
    }
    struct Case
    {
        const char* what;
        std::string entries;
        const char* message;
    };
    LwLmComplexArray one;
    one.SetSizeZero(1);
    one(0, 0) = LComplex(0.5, -2);
    const std::string wave = "<i><coeff><Size_l>1</Size_l><Value><l><m><r>1</r></m></l></Value></coeff></i>";
    const Case cases[] = {
        {"a sound wave, then one without data", "<i><coeff><Size_l>3</Size_l></coeff></i>",
         "Emitted wave 2: Coefficient array \"coeff\": Size_l 3 but no coefficients (neither a \"Value\" "
         "rack nor a \"base64\" block)"},
        // A plane wave declaring coefficients must hold them too.
        {"a plane wave without its declared data",
         "<i><coeff><Size_l>2</Size_l></coeff><IsPlaneWave>true</IsPlaneWave></i>",
         "Emitted wave 2: Coefficient array \"coeff\": Size_l 2 but no coefficients (neither a \"Value\" "
         "rack nor a \"base64\" block)"},
        {"coefficients in binary form",
         "<i><coeff><Size_l>1</Size_l><base64>" + LmComplexArrayBinaryText(one) + "</base64></coeff></i>",
         "(no error)"},
        {"no coefficients declared", "<i><coeff><Size_l>0</Size_l></coeff></i><i></i>", "(no error)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = "<emitted_wave_data><data><list_emitter>" + wave + c.entries +
                                 "</list_emitter></data></emitted_wave_data>";
        std::vector<LwEmitterEntry> entries;
        EXPECT_EQ(ErrorText([&] { LwDocFinalState::LoadSave(entries, *BarnReader(text)); }), c.message);
    }
}
