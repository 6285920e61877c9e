// velmora's settings record, its ini rack and the exchange with the main
// form: values through a write and a read, the energy list, the element map
// and the vibration display.
#include "core/LwBarnXml.h"
#include "apps/velmora/app/MainForm.h"
#include "apps/velmora/app/MainWindow.h"
#include "apps/velmora/app/SimulationSettings.h"
#include "ReferenceConstants.h"
#include "VelmoraAppSupport.h"

#include "ui_MainWindow.h"

#include <QGraphicsTextItem>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

std::string WriteRack(SimulationSettings& s)
{
    LwBarnXml doc("w");
    s.LoadSave(doc, "velmor");
    std::string text;
    doc.ToString(text);
    return text;
}

void ReadRack(SimulationSettings& s, const std::string& text)
{
    LwBarnXml doc("r");
    doc.FromString(text);
    s.LoadSave(doc, "velmor");
}

TEST(VelmoraSettings, IniRackKeepsItsKeysThroughAWriteAndARead)
{
    SimulationSettings written;
    written.CurrentMapTabIndex_ = 2;
    written.Temperature_K_ = 295.5;
    written.IsUseAnomalous_ = true;
    written.IsUseUiso_ = true;
    written.PhotonEnergyList_keV = {12.3456789, 0.015};
    written.ListElementRow_ = {{"A&<b", 1.5, -0.25, 470}, {"O", 0, 0.1, 0}};
    const std::string text = WriteRack(written);
    EXPECT_NE(text.find("<i>12.3457</i>"), std::string::npos) << text;
    EXPECT_NE(text.find("<i>0.015</i>"), std::string::npos) << text;

    SimulationSettings read;
    ReadRack(read, text);
    EXPECT_EQ(read.CurrentMapTabIndex_, 2);
    EXPECT_EQ(read.Temperature_K_, 295.5);
    EXPECT_TRUE(read.IsUseAnomalous_);
    EXPECT_FALSE(read.IsUseDebye_);
    EXPECT_TRUE(read.IsUseUiso_);
    EXPECT_EQ(read.PhotonEnergyList_keV, (std::vector<double>{12.3457, 0.015}));
    ASSERT_EQ(read.ListElementRow_.size(), 2u);
    EXPECT_EQ(read.ListElementRow_[0].Element, "A&<b");
    EXPECT_EQ(read.ListElementRow_[0].F2, -0.25);
    EXPECT_EQ(read.ListElementRow_[0].Debye_K_, 470.0);
    EXPECT_EQ(read.ListElementRow_[1].F1, 0.0);
}

// The values of every element given so far go through the ini file; a file
// without them (written before they were kept) takes them from its rows.
TEST(VelmoraSettings, ElementValuesAreKeptPerElementThroughTheIni)
{
    SimulationSettings written;
    written.ListElementRow_ = {{"Na", 0.125, 0, 158}, {"Cl", 0, 0.25, 0}};
    written.ElementValues_["Cu"] = {"Cu", -2.5, 0.5, 300};
    written.ElementValues_["Na"] = {"Na", 9, 9, 9};  // older than the row
    SimulationSettings read;
    ReadRack(read, WriteRack(written));
    ASSERT_EQ(read.ElementValues_.size(), 3u);
    const ElementRow& cu = read.ElementValues_.at("Cu");
    EXPECT_EQ(cu.F1, -2.5);
    EXPECT_EQ(cu.F2, 0.5);
    EXPECT_EQ(cu.Debye_K_, 300.0);
    EXPECT_EQ(read.ElementValues_.at("Na").F1, 0.125);
    EXPECT_EQ(read.ElementValues_.at("Cl").F2, 0.25);
    ASSERT_EQ(read.ListElementRow_.size(), 2u);
    EXPECT_EQ(read.ListElementRow_[0].Element, "Na");

    SimulationSettings older;
    ReadRack(older, "<velmor><Anormalous><i><Element>Fe</Element><F1>-1.5</F1><F2>0.5</F2>"
                    "<Debye_K_>470</Debye_K_></i><i><Element></Element></i></Anormalous></velmor>");
    ASSERT_EQ(older.ElementValues_.size(), 1u);
    EXPECT_EQ(older.ElementValues_.at("Fe").F1, -1.5);
    EXPECT_EQ(older.ElementValues_.at("Fe").Debye_K_, 470.0);
    ASSERT_EQ(older.ListElementRow_.size(), 2u);
}

// Hand-edited element entries: a value that is no finite number, a negative
// Debye temperature or a second entry of an element makes the entry unused
// (its element then shows the table's and the default values), and each
// such entry is named once; usable entries around them are kept.
TEST(VelmoraSettings, UnusableElementEntriesAreNotUsedAndNamed)
{
    SimulationSettings s;
    s.Calculation_.DebyeTemperatures.emplace(27, 445.0);
    ReadRack(s, "<velmor><Anormalous>"
                "<i><Element>Fe</Element><F1>nan</F1><F2>0.5</F2><Debye_K_>470</Debye_K_></i>"
                "<i><Element>O</Element><F1>0.05</F1><F2>0.03</F2><Debye_K_>0</Debye_K_></i>"
                "</Anormalous><ElementValues>"
                "<i><Element>Cu</Element><F1>1e999</F1><F2>0</F2><Debye_K_>343</Debye_K_></i>"
                "<i><Element>Ni</Element><F1>0</F1><F2>abc</F2><Debye_K_>450</Debye_K_></i>"
                "<i><Element>Co</Element><F1>0</F1><F2>0</F2><Debye_K_>-5</Debye_K_></i>"
                "<i><Element>Zn</Element><F1>-2</F1><F2>0.5</F2><Debye_K_>327</Debye_K_></i>"
                "<i><Element>Zn</Element><F1>7</F1><F2>7</F2><Debye_K_>7</Debye_K_></i>"
                "<i><Element>Mn</Element><F1> 1.5 </F1><F2>+2</F2><Debye_K_>inf</Debye_K_></i>"
                "<i><Element>Cr</Element><F1>1e-3</F1><F2>-0</F2><Debye_K_>630</Debye_K_></i>"
                "</ElementValues></velmor>");
    EXPECT_EQ(s.UnusedIniEntries_,
              (std::vector<std::string>{
                  "\"Anormalous\" entry 1 (Fe): F1 \"nan\" is not a finite number",
                  "\"ElementValues\" entry 1 (Cu): F1 \"1e999\" is not a finite number",
                  "\"ElementValues\" entry 2 (Ni): F2 \"abc\" is not a finite number",
                  "\"ElementValues\" entry 3 (Co): Debye_K_ \"-5\" is negative",
                  "\"ElementValues\" entry 5 (Zn): a second entry of Zn",
                  "\"ElementValues\" entry 6 (Mn): Debye_K_ \"inf\" is not a finite number"}));
    // The form's rows keep their places; the unusable one is empty.
    ASSERT_EQ(s.ListElementRow_.size(), 2u);
    EXPECT_EQ(s.ListElementRow_[0].Element, "");
    EXPECT_EQ(s.ListElementRow_[1].Element, "O");
    std::vector<std::string> kept;
    for (const auto& entry : s.ElementValues_)
        kept.push_back(entry.first);
    EXPECT_EQ(kept, (std::vector<std::string>{"Cr", "O", "Zn"}));
    const ElementRow zn = s.ElementValues_.at("Zn");
    EXPECT_EQ(zn.F1, -2.0);
    EXPECT_EQ(zn.Debye_K_, 327.0);
    EXPECT_EQ(s.ElementValues_.at("Cr").F1, 1e-3);
    // The elements of unused entries: f1 = f2 = 0 and the table's Debye
    // temperature.
    const ElementRow co = s.ElementValues("Co", 27);
    EXPECT_EQ(co.F1, 0.0);
    EXPECT_EQ(co.Debye_K_, 445.0);
    EXPECT_EQ(s.ElementValues("Fe", 26).F1, 0.0);

    // A later read that uses everything names nothing.
    ReadRack(s,
             "<velmor><ElementValues><i><Element>Fe</Element><F1>1</F1><F2>2</F2><Debye_K_>3</Debye_K_></i>"
             "</ElementValues></velmor>");
    EXPECT_TRUE(s.UnusedIniEntries_.empty());
}

TEST(VelmoraSettings, MissingKeysKeepTheirValuesAndAnEmptyListEmpties)
{
    SimulationSettings s;
    ReadRack(s, "<velmor><Temperature_K_>10</Temperature_K_><IsUseDebye_>maybe</IsUseDebye_></velmor>");
    EXPECT_EQ(s.Temperature_K_, 10.0);
    EXPECT_FALSE(s.IsUseDebye_);
    EXPECT_EQ(s.PhotonEnergyList_keV, std::vector<double>{12.0});
    EXPECT_EQ(s.ListElementRow_.size(), 6u);
    EXPECT_EQ(s.CurrentMapTabIndex_, 4);
    ReadRack(s, "<velmor><PhotonEnergyList_keV></PhotonEnergyList_keV><Anormalous></Anormalous></velmor>");
    EXPECT_TRUE(s.PhotonEnergyList_keV.empty());
    EXPECT_TRUE(s.ListElementRow_.empty());
    // A document without the rack changes nothing.
    LwBarnXml doc("r");
    doc.FromString("<other></other>");
    EXPECT_FALSE(s.LoadSave(doc, "velmor"));
}

TEST(VelmoraSettings, ElementMapTakesTheFirstRowOfASymbolAndTheSwitches)
{
    SimulationSettings s;
    s.ListElementRow_ = {{"", 9, 9, 9}, {"Fe", 1, 2, 470}, {"O", 3, 4, 500}, {"Fe", 5, 6, 100}};
    s.Temperature_K_ = 300;
    s.IsUseUiso_ = true;
    s.BuildElementMap();
    const auto& map = s.Calculation_.ElementMap;
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("Fe").F1, 0.0);  // anomalous terms not used
    EXPECT_EQ(map.at("Fe").Debye_K_, 0.0);
    EXPECT_EQ(s.Calculation_.Temperature_K, 300.0);
    EXPECT_TRUE(s.Calculation_.IsUseUiso);
    s.IsUseAnomalous_ = s.IsUseDebye_ = true;
    s.BuildElementMap();
    EXPECT_EQ(map.at("Fe").F1, 1.0);
    EXPECT_EQ(map.at("Fe").F2, 2.0);
    EXPECT_EQ(map.at("Fe").Debye_K_, 470.0);
    EXPECT_EQ(map.at("O").F2, 4.0);
}

// Every projection has a document of its own whose grid is that projection.
TEST(VelmoraSettings, EachProjectionHasADocumentOfItsOwn)
{
    SimulationSettings s;
    std::set<const LwDocPattern*> documents;
    for (LwProjection p : {LwProjection::AzimuthalEquidistant, LwProjection::EquidistantCylindrical,
                           LwProjection::Gnomonic, LwProjection::Stereographic, LwProjection::Orthographic}) {
        SCOPED_TRACE(p.GetName());
        LwDocPattern& document = s.Document(p);
        document.InitSphericalMap();
        EXPECT_EQ(document.Grid.Name, p.GetName());
        documents.insert(&document);
    }
    EXPECT_EQ(documents.size(), 5u);
}

// The form of a main window (no viewer: the start-up timer is stopped).
class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QTimer* start = window_.findChild<QTimer*>();
        ASSERT_NE(start, nullptr);
        start->stop();
    }
    MainWindow window_;
    Ui_MainWindow& f = window_.Form();
};

TEST_F(MainFormTest, EnergyListSkipsLinesThatAreNoNumbers)
{
    // "1,000" is no number (no group separators), not 1000.
    f.plainTextEdit->setPlainText("10\n\nabc\n12.5\n1,000\n1,5");
    ReadEnergyList(f);
    EXPECT_EQ(GetSimulationSettings().PhotonEnergyList_keV, (std::vector<double>{10, 12.5}));
    ShowEnergyList(f);
    EXPECT_EQ(f.plainTextEdit->toPlainText(), QString("10\n12.5"));
}

TEST_F(MainFormTest, LineEditsReadNumbersAndWriteSixDigits)
{
    QLineEdit edit;
    double value = -1;
    const std::pair<const char*, double> cases[] = {{"1e-3", 0.001}, {"x", 0.0}, {"", 0.0}, {"2.5", 2.5}};
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        edit.setText(text);
        ExchangeLineEditDouble(kToSettings, edit, value);
        EXPECT_EQ(value, expected);
    }
    value = 0.001;
    ExchangeLineEditDouble(kToForm, edit, value);
    EXPECT_EQ(edit.text(), QString("0.001"));
    value = 12.3456789;
    ExchangeLineEditDouble(kToForm, edit, value);
    EXPECT_EQ(edit.text(), QString("12.3457"));
}

TEST_F(MainFormTest, ExchangeMovesSwitchesAndRowsBothWays)
{
    SimulationSettings& s = GetSimulationSettings();
    s.IsUseDebye_ = true;
    s.IsUseAnomalous_ = false;
    s.Temperature_K_ = 77;
    s.ListElementRow_ = {{"Cu", 0.5, 1.5, 343}};
    ExchangeFormSettings(kToForm, f);
    EXPECT_TRUE(f.rb_use_debye->isChecked());
    EXPECT_TRUE(f.rb_not_use_anomalous->isChecked());
    EXPECT_EQ(f.le_temp_K->text(), QString("77"));
    EXPECT_EQ(f.le_el_1_0->text(), QString("Cu"));
    EXPECT_EQ(f.le_TD_0->text(), QString("343"));
    EXPECT_EQ(f.le_f2_0->text(), QString("1.5"));
    EXPECT_EQ(f.le_TD_1->text(), QString("0"));  // beyond the list: unchanged

    f.le_f1_2->setText("0.25");
    f.cb_dumping->setChecked(true);
    ExchangeFormSettings(kToSettings, f);
    ASSERT_EQ(s.ListElementRow_.size(), 6u);
    EXPECT_EQ(s.ListElementRow_[2].F1, 0.25);
    EXPECT_TRUE(s.IsDrawDampingFunction_);
    EXPECT_TRUE(s.IsUseDebye_);
    s.ListElementRow_.assign(6, ElementRow());
    s.IsUseDebye_ = s.IsDrawDampingFunction_ = false;
    s.Temperature_K_ = 0;
}

TEST_F(MainFormTest, ClearButtonsEmptyTheirColumns)
{
    f.le_f1_3->setText("1");
    f.le_f2_5->setText("2");
    f.le_TD_0->setText("300");
    f.le_amp_4->setText("x");
    f.le_el_1_0->setText("Fe");
    f.pushButton_7->click();
    f.pushButton_8->click();
    EXPECT_TRUE(f.le_f1_3->text().isEmpty());
    EXPECT_TRUE(f.le_f2_5->text().isEmpty());
    EXPECT_TRUE(f.le_TD_0->text().isEmpty());
    EXPECT_TRUE(f.le_amp_4->text().isEmpty());
    EXPECT_EQ(f.le_el_1_0->text(), QString("Fe"));
}

TEST_F(MainFormTest, DebyeTemperatureGivesTheVibrationOfTheDebyeModel)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Calculation_.AtomicWeights.assign(30, 0.0);
    s.Calculation_.AtomicWeights[26] = 56;
    f.le_temp_K->setText("300");
    f.le_el_1_0->setText("Fe");
    f.le_TD_0->setText("400");
    f.le_el_1_1->setText("Fe");
    f.le_TD_1->setText("0");
    f.pushButton_6->click();
    // U = 3 hbar^2 T / (M kB ThetaD^2), written out here.
    const double hbar = Reference::HbarPrinted_Js;
    const double u =
        3 * hbar * hbar * 300 / (56 * Reference::AtomicMassUnit_kg * Reference::Boltzmann_JperK * 400 * 400);
    EXPECT_EQ(f.le_amp_0->text(), QString::number(std::sqrt(u) * Reference::AngstromPerMetre, 'g', 6) +
                                      "/\t" +
                                      QString::number(u * Reference::SquareAngstromPerSquareMetre, 'g', 6));
    EXPECT_EQ(f.le_amp_0->text(), QString("0.0698033/\t0.00487251"));
    EXPECT_EQ(f.le_amp_1->text(), QString("0/\t0"));
    EXPECT_TRUE(f.le_amp_2->text().isEmpty());
    s.Calculation_.AtomicWeights.clear();
}

TEST_F(MainFormTest, AtomicStructureFactorPlotsFortyPoints)
{
    SimulationSettings& s = GetSimulationSettings();
    AsfEntry entry;
    entry.SetIon("Fe", 26);
    entry.C = 1;
    s.Calculation_.AsfTable.assign(3, entry);
    f.spinBox->setValue(2);
    velmoratest::ModalAnswerer answers;
    f.pushButton->click();
    EXPECT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
    EXPECT_EQ(f.lineEdit->text(), QString("Fe"));
    ASSERT_NE(f.graphicsView->scene(), nullptr);
    // Both axes are titled, with their units.
    QStringList texts;
    for (QGraphicsItem* item : f.graphicsView->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item))
            texts << text->toPlainText();
    EXPECT_TRUE(texts.contains(QString::fromUtf8("s = sin(\u03b8)/\u03bb (1/\u00c5)")))
        << texts.join("|").toStdString();
    EXPECT_TRUE(texts.contains("f0 (electrons)")) << texts.join("|").toStdString();
    f.spinBox->setValue(3);
    f.pushButton->click();
    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes[0].text;
    EXPECT_EQ(answers.boxes[0].text, "Atomic scattering table has no row 3");
    s.Calculation_.AsfTable.clear();
}

}  // namespace
