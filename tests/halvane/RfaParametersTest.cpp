// The parameter record: its document (26 keys in order, partial and foreign
// files, values that are not finite), the ini file beside the program, and
// the exchange with the form, which brings values into the widgets' ranges.
#include "core/LwBarnXml.h"
#include "core/LwQBarnFile.h"
#include "apps/halvane/app/RfaParametersForm.h"
#include "apps/halvane/engine/RfaParameters.h"
#include "ErrorText.h"

#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QTextStream>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

std::string Write(RfaParameters p)
{
    LwBarnXml doc("w");
    p.Serialize(doc, "ini");
    std::string text;
    doc.ToString(text);
    return text;
}

RfaParameters Read(const std::string& text, RfaParameters start = RfaParameters(), bool* found = nullptr)
{
    LwBarnXml doc("r");
    doc.FromString(text);
    const bool ok = start.Serialize(doc, "ini");
    if (found != nullptr)
        *found = ok;
    return start;
}

const char* const kDefaultDocument =
    "<ini><Sx_>100</Sx_>\n<Sy_>100</Sy_>\n<Sr_>100</Sr_>\n<SMargin_>10</SMargin_>\n"
    "<MappingIsGnomonic_>false</MappingIsGnomonic_>\n<MappingIsAz_>false</MappingIsAz_>\n"
    "<MappingAzThetaMax_deg_>90</MappingAzThetaMax_deg_>\n<Size_l_>5</Size_l_>\n<Ax_>128</Ax_>\n"
    "<Ay_>128</Ay_>\n<AdjThres_>0.1</AdjThres_>\n<AdjSize_>10</AdjSize_>\n"
    "<UseAllSphere_>false</UseAllSphere_>\n<IsShowTmp_>false</IsShowTmp_>\n<McpDipCx_>166</McpDipCx_>\n"
    "<McpDipCy_>150</McpDipCy_>\n<McpDipR_>10</McpDipR_>\n<MaskCx_>150</MaskCx_>\n<MaskCy_>150</MaskCy_>\n"
    "<MaskRx_>128</MaskRx_>\n<MaskRy_>128</MaskRy_>\n<IsMoveCenter_>true</IsMoveCenter_>\n"
    "<IsBgSh_>true</IsBgSh_>\n<IsBgAz_>true</IsBgAz_>\n<IsMaskMcpDip_>true</IsMaskMcpDip_>\n"
    "<IsMaskOutside_>true</IsMaskOutside_>\n</ini>\n";

TEST(RfaParameters, DefaultsAreWrittenAsTheTwentySixKeysInOrder)
{
    const RfaParameters p;
    EXPECT_EQ(p.Version_, "0.0.5");
    EXPECT_TRUE(p.MappingIsAzM2_);
    EXPECT_EQ(Write(p), kDefaultDocument);
}

TEST(RfaParameters, EveryKeyRoundTrips)
{
    RfaParameters p;
    p.Sx_ = 1.5;
    p.Sy_ = -2.25;
    p.Sr_ = 300;
    p.SMargin_ = -7;
    p.MappingIsGnomonic_ = true;
    p.MappingIsAz_ = true;
    p.MappingAzThetaMax_deg_ = 45.5L;
    p.Size_l_ = 12;
    p.Ax_ = 3;
    p.Ay_ = 4;
    p.AdjThres_ = 0.25L;
    p.AdjSize_ = 3;
    p.UseAllSphere_ = true;
    p.IsShowTmp_ = true;
    p.McpDipCx_ = 5;
    p.McpDipCy_ = 6;
    p.McpDipR_ = 7.5;
    p.MaskCx_ = 8;
    p.MaskCy_ = 9;
    p.MaskRx_ = 10.5;
    p.MaskRy_ = 11;
    p.IsMoveCenter_ = p.IsBgSh_ = p.IsBgAz_ = p.IsMaskMcpDip_ = p.IsMaskOutside_ = false;
    p.MappingIsAzM2_ = false;  // not stored
    const RfaParameters back = Read(Write(p));
    EXPECT_EQ(Write(back), Write(p));
    EXPECT_TRUE(back.MappingIsAzM2_);
    EXPECT_EQ(back.SMargin_, -7);
    EXPECT_EQ(back.MappingAzThetaMax_deg_, 45.5L);
    EXPECT_EQ(back.MaskRx_, 10.5);
}

TEST(RfaParameters, PartialForeignAndNonFiniteDocuments)
{
    RfaParameters start;
    start.Sx_ = 77;
    bool found = false;
    const RfaParameters partial = Read("<ini><Sr_>120</Sr_>\n</ini>\n", start, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(partial.Sr_, 120);
    RfaParameters expected = start;
    expected.Sr_ = 120;
    EXPECT_EQ(Write(partial), Write(expected));

    const RfaParameters foreign = Read("<other><Sr_>120</Sr_>\n</other>\n", start, &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(Write(foreign), Write(start));

    // Texts without a number read 0 and numbers beyond the range the
    // largest double: never NaN or infinity.
    const RfaParameters bad =
        Read("<ini><Sx_>nan</Sx_>\n<Sy_>inf</Sy_>\n<Sr_>1e999</Sr_>\n<MappingAzThetaMax_deg_>-1e999"
             "</MappingAzThetaMax_deg_>\n<MaskCx_>42</MaskCx_>\n</ini>\n",
             start);
    for (double v : {bad.Sx_, bad.Sy_, bad.Sr_, static_cast<double>(bad.MappingAzThetaMax_deg_)})
        EXPECT_TRUE(std::isfinite(v)) << v;
    EXPECT_EQ(bad.Sr_, std::numeric_limits<double>::max());
    EXPECT_EQ(bad.MaskCx_, 42);
}

TEST(RfaParameters, IniFileLiesBesideTheProgramAndIsWrittenWhole)
{
    const QString program = QCoreApplication::applicationFilePath();
    const QString ini = GetIniFileNameQString(".ini");
    EXPECT_EQ(ini, QFileInfo(program).path() + "/" + QFileInfo(program).completeBaseName() + ".ini");

    QFile::remove(ini);
    RfaParameters p;
    p.Sr_ = 123;
    SaveIni(p);
    LwQBarnFile doc(ini, "r");
    RfaParameters back;
    ASSERT_TRUE(back.Serialize(doc, "ini"));
    EXPECT_EQ(Write(back), Write(p));
    QFile::remove(ini);
}

TEST(RfaParameters, UnwritableIniFileIsAnErrorAndKeepsTheOldFile)
{
    const QString ini = GetIniFileNameQString(".ini");
    RfaParameters p;
    p.Sr_ = 55;
    SaveIni(p);
    // A folder in place of a file that the writer would need: the ini name
    // is a directory now.
    const QString saved = ini + ".keep";
    QFile::rename(ini, saved);
    ASSERT_TRUE(QDir().mkdir(ini));
    EXPECT_EQ(ErrorText([&] { SaveIni(p); }), "FILE CANNOT WRITE:" + ini.toStdString());
    QDir().rmdir(ini);
    QFile::rename(saved, ini);
    LwQBarnFile doc(ini, "r");
    RfaParameters back;
    back.Serialize(doc, "ini");
    EXPECT_EQ(back.Sr_, 55);
    QFile::remove(ini);
}

class ExchangeTest : public ::testing::Test
{
protected:
    void SetUp() override { ui_.setupUi(&window_); }
    QMainWindow window_;
    Ui_MainWindow ui_;
};

TEST_F(ExchangeTest, RecordToFormAndBackClampsPerWidget)
{
    RfaParameters p;
    p.MaskRx_ = 10.5;
    p.Sx_ = 1500;
    p.McpDipR_ = 10.25;
    p.MaskCx_ = -3.7;
    p.MaskRy_ = 1e300;
    p.MaskCy_ = std::numeric_limits<double>::quiet_NaN();
    p.AdjThres_ = 0.001L;
    p.MappingAzThetaMax_deg_ = 170;
    p.MappingIsAzM2_ = false;
    ExchangeWithUi(p, 0, ui_);
    EXPECT_TRUE(p.MappingIsAzM2_);
    EXPECT_EQ(ui_.sbMaskRx->value(), 10);
    EXPECT_EQ(ui_.dspSx->value(), 1500);
    EXPECT_EQ(ui_.sbMaskCx->value(), -3);
    EXPECT_EQ(ui_.sbMaskRy->value(), kRfaFormPixelRange);
    EXPECT_EQ(ui_.sbMaskCy->value(), -kRfaFormPixelRange);
    EXPECT_DOUBLE_EQ(ui_.dsbThres->value(), 0.01);
    EXPECT_LT(ui_.dspMaxAngle->value(), 100.01);

    p.MappingIsAzM2_ = false;
    ExchangeWithUi(p, 1, ui_);
    EXPECT_TRUE(p.MappingIsAzM2_);
    EXPECT_EQ(p.MaskRx_, 10);
    EXPECT_EQ(p.Sx_, 1500);
    EXPECT_EQ(p.MaskRy_, kRfaFormPixelRange);
    // One decimal: the box's rounding of 10.25.
    EXPECT_NEAR(p.McpDipR_, 10.25, 0.05 + 1e-12);
    EXPECT_NEAR(p.McpDipR_ * 10, std::round(p.McpDipR_ * 10), 1e-9);
    EXPECT_DOUBLE_EQ(static_cast<double>(p.AdjThres_), 0.01);
}

TEST_F(ExchangeTest, DefaultsSurviveTheFormUnchanged)
{
    RfaParameters p;
    ExchangeWithUi(p, 0, ui_);
    RfaParameters back;
    back.Sx_ = back.Sy_ = back.Sr_ = -1;
    back.IsMoveCenter_ = false;
    ExchangeWithUi(back, 1, ui_);
    EXPECT_EQ(Write(back), Write(p));
    EXPECT_TRUE(ui_.cbBgSh->isChecked());
}

TEST_F(ExchangeTest, ValuesTheFormCannotHoldAreNamedNotClamped)
{
    const RfaParameters defaults;
    EXPECT_NO_THROW(CheckFitsForm(defaults, ui_));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        std::function<void(RfaParameters&)> set;
        std::string error;  // empty: fits
    };
    const Case cases[] = {
        {[](RfaParameters& p) {
             p.Sx_ = 4096;
             p.Sr_ = 1800;
             p.MaskCx_ = -1e9;
         },
         ""},
        {[](RfaParameters& p) { p.Sy_ = -0.5; },
         "\"Sy_\" = -0.5 lies outside the form's range 0 to 1073741824"},
        {[](RfaParameters& p) { p.Sr_ = 2e9; },
         "\"Sr_\" = 2000000000 lies outside the form's range 0 to 1073741824"},
        {[nan](RfaParameters& p) { p.McpDipR_ = nan; }, "\"McpDipR_\" = nan lies outside"},
        {[](RfaParameters& p) { p.MaskCy_ = -2e9; },
         "\"MaskCy_\" = -2000000000 lies outside the form's range "
         "-1073741824 to 1073741824"},
        {[](RfaParameters& p) { p.AdjThres_ = 0.001L; }, "\"AdjThres_\" = 0.001 lies outside"},
        {[](RfaParameters& p) { p.SMargin_ = -1; }, "\"SMargin_\" = -1 lies outside"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        RfaParameters p;
        k.set(p);
        const std::string error = ErrorText([&] { CheckFitsForm(p, ui_); });
        if (k.error.empty())
            EXPECT_EQ(error, "(no error)");
        else
            EXPECT_EQ(error.rfind(k.error, 0), 0u) << error;
    }
}

}  // namespace
