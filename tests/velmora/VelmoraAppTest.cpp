// velmora's windows against the stand-in viewer (on a thread of its own, over
// the local socket): start-up, loading a cluster, holograms for one energy
// and for a series in every projection, stopping a run, the refusals of the
// dialog, the scattering pattern matrix and the cluster view.
#include "core/LwBarnXml.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwQBarnFile.h"
#include "fgraph/LwFileDialogs.h"
#include "fgraph/LwQuitOnSignals.h"
#include "fgraph/LwWaitDialog.h"
#include "apps/velmora/app/DlgHologram.h"
#include "apps/velmora/app/DlgViewClusterStructure.h"
#include "apps/velmora/app/MainForm.h"
#include "apps/velmora/app/MainWindow.h"
#include "apps/velmora/app/ScatteringPatternMatrixSend.h"
#include "apps/velmora/app/SimulationSettings.h"
#include "ErrorText.h"
#include "PendingQuit.h"
#include "ReferenceConstants.h"
#include "StandinViewer.h"
#include "VelmoraAppSupport.h"

#include "ui_DlgHologram.h"
#include "ui_DlgViewClusterStructure.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

using velmoratest::ModalAnswerer;
using velmoratest::SpinUntil;

const QString kLocalName = "velmoratest";

std::string ReadDataFile(const std::string& name)
{
    std::ifstream in(QCoreApplication::applicationDirPath().toStdString() + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

LwClusterAtom Atom(const std::string& symbol, double xA, double yA, double zA)
{
    LwClusterAtom atom;
    atom.Atom_ = atom.Name_ = symbol;
    atom.Position_[0] = xA * Reference::Angstrom_m;
    atom.Position_[1] = yA * Reference::Angstrom_m;
    atom.Position_[2] = zA * Reference::Angstrom_m;
    return atom;
}

// Two structures of an iron oxide fragment, the emitter at the origin.
LwCluster SmallCluster()
{
    LwCluster c(2);
    c[0] = {Atom("Fe", 0, 0, 0), Atom("O", 1.9, 0, 0), Atom("O", 0, 1.9, 0), Atom("O", 0, 0, -1.9),
            Atom("Fe", 2.6, 2.6, 0)};
    c[1] = {Atom("Fe", 0, 0, 0), Atom("O", -1.9, 0, 0), Atom("Fe", 0, 2.9, 1.0)};
    return c;
}

// One structure of 3000 atoms: a run at 0.25 degree per pixel takes long
// enough to be stopped part-way.
LwCluster LargeCluster()
{
    LwCluster c(1, LwStructure{Atom("Fe", 0, 0, 0)});
    for (int i = 1; i < 3000; ++i)
        c[0].push_back(Atom(i % 2 ? "O" : "Fe", 2.0 + 0.01 * i, 0.5 * (i % 7), 0.3 * (i % 11)));
    return c;
}

bool SameImage(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    return a.ColSize == b.ColSize && a.RowSize == b.RowSize && a.ColBegin == b.ColBegin &&
           a.RowBegin == b.RowBegin && a.ElementCount() > 0 &&
           std::memcmp(a.Buffer(), b.Buffer(), 4 * static_cast<std::size_t>(a.ElementCount())) == 0;
}

// The document of a projection tab with the dialog's default fields.
std::unique_ptr<LwDocPattern> TabDocument(int tab)
{
    switch (tab) {
    case 0: {
        auto d = std::make_unique<LwDocPattern_AzimuthalEquidistant>();
        d->Resolution_deg_ = 1.0;
        return d;
    }
    case 1: {
        auto d = std::make_unique<LwDocPattern_Diana>();
        d->ViewAngle_deg_ = 60;
        d->ImageSize_ = 100;
        return d;
    }
    case 2: {
        auto d = std::make_unique<LwDocPattern_StereoProjection>();
        d->ViewAngle_deg_ = 90;
        d->ImageSize_ = 100;
        return d;
    }
    case 3: {
        auto d = std::make_unique<LwDocPattern_Orthographic>();
        d->ImageSize_ = 100;
        return d;
    }
    default: {
        auto d = std::make_unique<LwDocPattern_EquidistantCylindrical>();
        d->Resolution_deg_ = 1.0;
        return d;
    }
    }
}

// The hologram computed straight by the engine, with tables read from the
// data files beside the test and the settings' element map.
LwFloatMatrix EngineImage(int tab, const LwCluster& cluster, double energy_eV)
{
    HologramCalculation calc;
    LoadAsfTable(calc.AsfTable, ReadDataFile("velmora_AtomicScatteringTable.csv"));
    HologramCalculation::LoadAtomicWeight(calc.AtomicWeights, ReadDataFile("AtomicWeight.txt"));
    const SimulationSettings& s = GetSimulationSettings();
    calc.ElementMap = s.Calculation_.ElementMap;
    calc.Temperature_K = s.Calculation_.Temperature_K;
    calc.SetPhotonEnergy_eV(energy_eV);
    std::unique_ptr<LwDocPattern> doc = TabDocument(tab);
    doc->SetRecordSelection(static_cast<int>(cluster.size()), true);
    doc->InitSphericalMap();
    calc.Run(*doc, cluster);
    return LwMatrixArithmetic().ToFloatMatrix(doc->Grid.Planes[0]);
}

const char* const kProjectionNames[5] = {"AzimuthalEquidistant", "Gnomonic", "Stereographic", "Orthographic",
                                         "EquidistantCylindrical"};

// A main window whose client is connected to a stand-in viewer over the
// local socket, started as velmora starts; the settings are reset, and the
// ini file lives in the test's folder.
class VelmoraAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        ASSERT_TRUE(viewer_.Start(0, kLocalName));
        focused_ = Viewer().AddImageWindow(LwFloatMatrix(2, 2));
        ResetSettings();
        GetSimulationSettings().IniFileName_ = Path("velmora.ini");
        QDir::setCurrent(folder_.path());  // "filepath.ini" of the file dialogs
        window_ = std::make_unique<MainWindow>();
        LwPluginFuncZyvra& client = window_->PluginClient();
        client.SetExchangeLimits(3, 300);
        client.InitMenuAdd("-S", "XFH", "", GetProgramTitle().toStdString());
        std::vector<std::string> args = {Path("velmora").toStdString(), "-L", kLocalName.toStdString()};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        startUpReports_ = LwPluginStartUp(client, static_cast<int>(argv.size()), argv.data(), true);
        window_->onInitTimer();
    }
    void TearDown() override
    {
        window_.reset();
        viewer_.Stop();
        GetSimulationSettings().IniFileName_.clear();
    }

    static void ResetSettings()
    {
        SimulationSettings& s = GetSimulationSettings();
        s.Cluster_.clear();
        s.PhotonEnergyList_keV = {12.0};
        s.ListElementRow_.assign(6, ElementRow());
        s.CurrentMapTabIndex_ = 4;
        s.IsTerminateRequest_ = s.IsCalculating_ = false;
        s.IsUseAnomalous_ = s.IsUseDebye_ = s.IsUseUiso_ = false;
        s.Temperature_K_ = 0;
        s.Calculation_.ElementMap.clear();
        s.ElementValues_.clear();
    }
    QString Path(const QString& name) const { return folder_.filePath(name); }
    // Shows the dialog with every structure checked on projection tab `tab`
    // and presses that tab's Calculate.
    static void Calculate(DlgHologram& dialog, int tab)
    {
        dialog.FillStructureList();
        dialog.show();
        dialog.Form().tabWidget->setCurrentIndex(tab);
        dialog.CalculateButtons()[static_cast<std::size_t>(tab)]->click();
    }
    // The large cluster, and the dialog shown with every structure checked
    // and a resolution that makes the run long enough to be stopped.
    static void ShowLongRun(DlgHologram& dialog)
    {
        GetSimulationSettings().Cluster_ = LargeCluster();
        dialog.FillStructureList();
        dialog.show();
        dialog.Form().lineEdit->setText("0.25");
    }
    standin::StandinViewer& Viewer() { return viewer_.Viewer(); }
    std::vector<std::string> Commands() { return Viewer().Commands(); }
    int Count(const std::string& command)
    {
        int n = 0;
        for (const std::string& c : Commands())
            n += c == command;
        return n;
    }
    // "(1) Load Cluster" with the file `path`; the answerer closes the
    // cluster view. The event loop runs a little after it, so that the
    // answerer sees the view gone and also answers the next one (which may
    // get the same address).
    void LoadCluster(ModalAnswerer& answers, const QString& path)
    {
        answers.QueueFile(path);
        window_->Form().pushButton_2->click();
        SpinUntil([] { return false; }, 60);
    }
    // The series window of the run, -1 when none.
    std::int32_t SeriesWindowId()
    {
        std::int32_t series = -1;
        for (std::int32_t id : Viewer().WindowIds())
            if (Viewer().GetWindow(id).isSeries)
                series = id;
        return series;
    }
    // The image windows that the run made (all but the focused one of the set-up).
    std::vector<standin::Window> NewImageWindows()
    {
        std::vector<standin::Window> windows;
        for (std::int32_t id : Viewer().WindowIds())
            if (id != focused_ && !Viewer().GetWindow(id).isSeries)
                windows.push_back(Viewer().GetWindow(id));
        return windows;
    }

    QTemporaryDir folder_;
    standin::StandinViewerThread viewer_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> startUpReports_;
    std::int32_t focused_ = -1;
};

TEST_F(VelmoraAppTest, StartsWritesItsMenuFileAndAsksForTheFocusedWindow)
{
    EXPECT_TRUE(startUpReports_.empty());
    EXPECT_EQ(window_->windowTitle(), QString("Simulation for X-ray fluorescence hologram[fast] 2.0.11"));
    QFile menu(Path("velmora.menu"));
    ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
    const std::string text = menu.readAll().toStdString();
    EXPECT_NE(text.find("XFH"), std::string::npos) << text;
    EXPECT_NE(text.find("Simulation for X-ray fluorescence hologram[fast]<"), std::string::npos) << text;
    EXPECT_NE(text.find("-S"), std::string::npos) << text;

    const SimulationSettings& s = GetSimulationSettings();
    EXPECT_EQ(s.WindowID_, focused_);
    EXPECT_EQ(s.Plugin_, &window_->PluginClient());
    EXPECT_EQ(Commands(), std::vector<std::string>{"WindowGetFocusedID"});
    // The tables were read from the program's folder.
    EXPECT_GT(s.Calculation_.AsfTable.size(), 200u);
    EXPECT_GT(s.Calculation_.AtomicWeights.size(), 90u);
    EXPECT_FALSE(s.Calculation_.DebyeTemperatures.empty());
    // The form: the energy list, disabled anomalous rows, the element combo.
    Ui_MainWindow& f = window_->Form();
    EXPECT_EQ(f.plainTextEdit->toPlainText(), QString("12"));
    EXPECT_FALSE(f.le_f1_0->isEnabled());
    EXPECT_FALSE(f.le_el_5->isEnabled());
    EXPECT_EQ(f.comboBox->currentText(), QString("29Cu"));
    EXPECT_TRUE(window_->isEnabled());
}

// Started before its viewer: the window stays, says in words that the viewer
// is not reachable, and the next request reaches the viewer once it runs.
TEST_F(VelmoraAppTest, StartWithoutViewerReportsAndKeepsTheWindow)
{
    viewer_.Stop();
    MainWindow second;
    second.PluginClient().SetExchangeLimits(1, 20);
    second.PluginClient().SetUseLocalSocket(true);
    second.show();
    {
        ModalAnswerer answers;
        second.onInitTimer();
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].title, "ERROR");
        EXPECT_EQ(
            answers.boxes[0].text.rfind("The image viewer is not reachable (local socket zyvraimage)\n", 0),
            0u)
            << answers.boxes[0].text;
    }
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(GetSimulationSettings().WindowID_, -1);
    EXPECT_EQ(GetSimulationSettings().Plugin_, &second.PluginClient());

    ASSERT_TRUE(viewer_.Start(0, "zyvraimage"));
    const std::int32_t window = Viewer().AddImageWindow(LwFloatMatrix(2, 2));
    Viewer().SetFocused(window);
    EXPECT_EQ(window, second.PluginClient().WindowGetFocusedID());
}

// An ini file with element entries that cannot be used is named once, at
// start, with those entries; one cut short is no failure.
TEST_F(VelmoraAppTest, UnusableIniEntriesAreToldOnceAtStart)
{
    const std::string entries =
        "<velmor><PhotonEnergyList_keV><i>11</i></PhotonEnergyList_keV><ElementValues>"
        "<i><Element>Fe</Element><F1>nan</F1><F2>0</F2><Debye_K_>470</Debye_K_></i>"
        "<i><Element>Fe</Element><F1>1</F1><F2>0</F2><Debye_K_>470</Debye_K_></i>";
    const std::string ini = GetSimulationSettings().IniFileName().toStdString();
    {
        std::ofstream out(ini, std::ios::binary);
        out << entries << "</ElementValues></velmor>\n";
    }
    {
        ModalAnswerer answers;
        window_->onInitTimer();
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].text, "Entries of the ini file " + ini +
                                             " were not used (the table's or the default values are taken "
                                             "instead):\n\"ElementValues\" entry 1 (Fe): F1 \"nan\" is not a "
                                             "finite number");
        EXPECT_EQ(GetSimulationSettings().ElementValues_.at("Fe").F1, 1.0);
    }
    {
        std::ofstream out(ini, std::ios::binary);
        out << entries.substr(0, entries.size() - 20);
    }
    ModalAnswerer answers;
    window_->onInitTimer();
    EXPECT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
    EXPECT_EQ(window_->Form().plainTextEdit->toPlainText(), QString("11"));
}

TEST_F(VelmoraAppTest, LoadClusterFillsTheElementRowsAndShowsTheClusterView)
{
    const QString xyz = Path("cluster.xyz");
    {
        QFile file(xyz);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("5\nfrag\nFe 0 0 0\nO 1.9 0 0\nSr 0 2.5 0\nC 0 0 1.5\nO -1.9 0 0\n");
    }
    ModalAnswerer answers;
    answers.QueueFile(xyz);
    QStringList listed;
    answers.onDialog = [&listed](QWidget* w) {
        if (auto* view = qobject_cast<DlgViewClusterStructure*>(w)) {
            for (int i = 0; i < view->Form().listWidget->count(); ++i)
                listed << view->Form().listWidget->item(i)->text();
        }
        w->close();
    };
    window_->Form().pushButton_2->click();
    for (const auto& b : answers.boxes)
        ADD_FAILURE() << b.text;
    EXPECT_EQ(listed, QStringList{"Cluster 0,N=5"});
    const SimulationSettings& s = GetSimulationSettings();
    ASSERT_EQ(s.Cluster_.size(), 1u);
    Ui_MainWindow& f = window_->Form();
    const QList<QLineEdit*> anomalous = {f.le_el_0, f.le_el_1, f.le_el_2, f.le_el_3, f.le_el_4};
    const QStringList expected = {"C", "Fe", "O", "Sr", ""};
    for (int i = 0; i < anomalous.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(anomalous[i]->text(), expected[i]);
    }
    EXPECT_EQ(f.le_el_1_1->text(), QString("Fe"));
    EXPECT_TRUE(f.le_f1_3->isEnabled());
    EXPECT_FALSE(f.le_f1_4->isEnabled());
    EXPECT_TRUE(f.le_TD_3->isEnabled());
    EXPECT_FALSE(f.le_TD_4->isEnabled());
    EXPECT_FALSE(f.le_TDE_1->text().isEmpty());

    // A document without the cluster rack is refused and keeps the cluster.
    const QString other = Path("other.xml_cl");
    {
        QFile file(other);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<something><a>1</a></something>\n");
    }
    answers.QueueFile(other);
    window_->Form().pushButton_2->click();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text, "This is not Cluster data");
    EXPECT_EQ(s.Cluster_.size(), 1u);
}

// A cluster file in the test's folder.
QString WriteFile(const QTemporaryDir& folder, const QString& name, const char* text)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

// A file that cannot be read as a cluster keeps the loaded one, and the
// message names the file (and the symbol that is no element).
TEST_F(VelmoraAppTest, FailedLoadKeepsTheClusterAndNamesTheFile)
{
    ModalAnswerer answers;
    answers.onDialog = [](QWidget* w) { w->close(); };
    LoadCluster(answers, WriteFile(folder_, "good.xyz", "2\nfrag\nFe 0 0 0\nO 1.9 0 0\n"));
    ASSERT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
    const SimulationSettings& s = GetSimulationSettings();
    const LwCluster loaded = s.Cluster_;
    ASSERT_EQ(loaded.size(), 1u);

    struct Case
    {
        const char* name;
        const char* text;
        const char* message;  // the file's path follows, but for "This is not Cluster data"
    };
    const Case cases[] = {
        {"columns.xyz", "2\nfrag\nFe 0 0 0\nO 1.9 0\n", "File is not XYZ structure in file "},
        {"element.xyz", "2\nfrag\nFe 0 0 0\nQq 1.9 0 0\n", "Error in element name: \"Qq\" in file "},
        {"tags.xml_cl", "<lw_crystal_structure_data><a>1</a", "Illigal Tag Structure in file "},
        {"empty.xml_cl", "<lw_crystal_structure_data></lw_crystal_structure_data>",
         "This is not Cluster data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = WriteFile(folder_, c.name, c.text);
        answers.boxes.clear();
        LoadCluster(answers, path);
        ASSERT_EQ(answers.boxes.size(), 1u);
        const std::string& text = answers.boxes[0].text;
        EXPECT_EQ(answers.boxes[0].title, "ERROR");
        const std::string expected =
            c.message + (std::strcmp(c.message, "This is not Cluster data") == 0 ? "" : path.toStdString());
        EXPECT_NE(text.find(expected), std::string::npos) << text;
        ASSERT_EQ(s.Cluster_.size(), loaded.size());
        ASSERT_EQ(s.Cluster_[0].size(), loaded[0].size());
        for (std::size_t i = 0; i < loaded[0].size(); ++i)
            EXPECT_EQ(s.Cluster_[0][i].Atom_, loaded[0][i].Atom_);
        EXPECT_EQ(window_->Form().le_el_0->text(), QString("Fe"));
        EXPECT_EQ(window_->Form().le_el_1->text(), QString("O"));
    }
}

// The f1, f2 and Debye temperature typed for an element stay with that
// element: the next cluster's elements show their own values (the Debye
// temperature of the table when none was typed), and the first element's
// values come back with it.
TEST_F(VelmoraAppTest, ElementValuesFollowTheirElementAcrossClusters)
{
    Ui_MainWindow& f = window_->Form();
    ModalAnswerer answers;
    answers.onDialog = [](QWidget* w) { w->close(); };
    const QString copper = WriteFile(folder_, "cu.xyz", "2\ncopper\nCu 0 0 0\nCu 2.55 0 0\n");
    const QString salt = WriteFile(folder_, "nacl.xyz", "2\nsalt\nNa 0 0 0\nCl 2.82 0 0\n");
    LoadCluster(answers, copper);
    f.le_f1_0->setText("-2.5");
    f.le_f2_0->setText("0.5");
    f.le_TD_0->setText("300");
    LoadCluster(answers, salt);
    ASSERT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
    // Rows in byte order: Cl, Na. Cl has no listed Debye temperature, Na 158 K.
    EXPECT_EQ(f.le_el_0->text(), QString("Cl"));
    EXPECT_EQ(f.le_f1_0->text(), QString("0"));
    EXPECT_EQ(f.le_f2_0->text(), QString("0"));
    EXPECT_EQ(f.le_TD_0->text(), QString("0"));
    EXPECT_EQ(f.le_el_1->text(), QString("Na"));
    EXPECT_EQ(f.le_f1_1->text(), QString("0"));
    EXPECT_EQ(f.le_TD_1->text(), QString("158"));
    f.le_f1_1->setText("0.125");

    // The hologram button moves the rows into the element map and the ini.
    f.rb_use_anomalous->setChecked(true);
    f.rb_use_debye->setChecked(true);
    f.pushButton_5->click();
    SimulationSettings& s = GetSimulationSettings();
    const auto& map = s.Calculation_.ElementMap;
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("Cl").F1, 0.0);
    EXPECT_EQ(map.at("Cl").F2, 0.0);
    EXPECT_EQ(map.at("Cl").Debye_K_, 0.0);
    EXPECT_EQ(map.at("Na").F1, 0.125);
    EXPECT_EQ(map.at("Na").Debye_K_, 158.0);
    SimulationSettings stored;
    stored.IniFileName_ = Path("velmora.ini");
    stored.ReadIni();
    ASSERT_EQ(stored.ListElementRow_.size(), 6u);
    const ElementRow& cl = stored.ListElementRow_[0];
    EXPECT_EQ(cl.Element, "Cl");
    EXPECT_EQ(cl.F1, 0.0);
    EXPECT_EQ(cl.F2, 0.0);
    EXPECT_EQ(cl.Debye_K_, 0.0);

    LoadCluster(answers, copper);
    EXPECT_EQ(f.le_el_0->text(), QString("Cu"));
    EXPECT_EQ(f.le_f1_0->text(), QString("-2.5"));
    EXPECT_EQ(f.le_f2_0->text(), QString("0.5"));
    EXPECT_EQ(f.le_TD_0->text(), QString("300"));
    EXPECT_EQ(f.le_TD_1->text(), QString("0"));
    EXPECT_FALSE(f.le_TD_1->isEnabled());
    EXPECT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
}

// One energy in each projection: the image window, its caption and keys, and
// the image equal to the engine's.
class VelmoraProjectionTest : public VelmoraAppTest, public ::testing::WithParamInterface<int>
{};

TEST_P(VelmoraProjectionTest, OneEnergyGivesOneImageWindowEqualToTheEngine)
{
    const int tab = GetParam();
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.ListElementRow_[0] = {"O", 0.05, 0.03, 0};
    s.ListElementRow_[1] = {"Fe", -1.5, 0.4, 0};
    s.IsUseAnomalous_ = true;
    s.BuildElementMap();
    Viewer().ClearRequests();

    DlgHologram dialog(window_.get());
    ModalAnswerer answers;
    Calculate(dialog, tab);

    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes.front().text;
    EXPECT_EQ(answers.boxes[0].title, "Information");
    EXPECT_EQ(answers.boxes[0].text, "Finished");
    EXPECT_TRUE(dialog.Form().label_3->text().startsWith("TIME="));
    EXPECT_EQ(s.CurrentMapTabIndex_, tab);

    const std::vector<standin::Window> windows = NewImageWindows();
    ASSERT_EQ(windows.size(), 1u);
    const standin::Window& w = windows[0];
    EXPECT_EQ(w.caption, "Pattern");
    EXPECT_EQ(w.keyDouble.at("__XFH.PhotonEnergy_eV"), std::vector<double>{12000.0});
    EXPECT_EQ(w.keyDouble.at("__XFH.Partial"), std::vector<double>{0.0});
    EXPECT_EQ(w.keyString.at("__SphereProjection.Name"), std::vector<std::string>{kProjectionNames[tab]});
    EXPECT_EQ(w.keyString.at("__XFH.Anormalous"),
              std::vector<std::string>{"[{\"element\":\"Fe\",\"f1\":-1.5,\"f2\":0.4},"
                                       "{\"element\":\"O\",\"f1\":0.05,\"f2\":0.03}]"});
    EXPECT_TRUE(SameImage(w.image, EngineImage(tab, s.Cluster_, 12000.0)));

    // The requests of one send, in order; at least the intermediate send at
    // the first poll and the final one. The final one marks its image
    // complete only after the pixels have gone.
    const std::vector<std::string> send = {
        "GetIsModeImage",           "SetCaption", "ImageKeyDoubleSet", "ImageKeyStringSet", "Update",
        "FIImageSetBySharedMemory", "Update",     "ImageKeyDoubleSet"};
    const std::vector<std::string> log = Commands();
    ASSERT_GE(log.size(), 2 * send.size());
    EXPECT_EQ(log[0], "GetIsModeImage");
    EXPECT_EQ(log[1], "ImageNewWindow");
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(send.size()), log.end()), send);
    EXPECT_EQ(Count("ImageNewWindow"), 1);
    EXPECT_GE(Count("FIImageSetBySharedMemory"), 2);
    // The request text carries the keys as written.
    bool sawKeys = false;
    for (const standin::LoggedRequest& r : Viewer().Requests())
        if (r.command == "ImageKeyStringSet")
            sawKeys = r.text.find("__XFH.Anormalous") != std::string::npos &&
                      r.text.find("__SphereProjection.Name") != std::string::npos;
    EXPECT_TRUE(sawKeys);
    for (QPushButton* b : dialog.CalculateButtons())
        EXPECT_TRUE(b->isEnabled());
    EXPECT_FALSE(s.IsCalculating_);
}

INSTANTIATE_TEST_SUITE_P(Projections, VelmoraProjectionTest, ::testing::Range(0, 5),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(kProjectionNames[info.param]);
                         });

// A list of energies: a series window with one saved image per energy.
class VelmoraSeriesTest : public VelmoraAppTest, public ::testing::WithParamInterface<int>
{};

TEST_P(VelmoraSeriesTest, EnergyListBecomesASeriesWithDistinctImageFiles)
{
    const int tab = GetParam();
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.PhotonEnergyList_keV = {10.0, 12.0};
    Viewer().ClearRequests();

    DlgHologram dialog(window_.get());
    ModalAnswerer answers;
    const QString seriesPath = Path("run.xmlsrs");
    answers.QueueFile(seriesPath);
    Calculate(dialog, tab);
    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes.front().text;
    EXPECT_EQ(answers.boxes[0].text, "Finished");

    const std::int32_t series = SeriesWindowId();
    ASSERT_GE(series, 0);
    const standin::Window w = Viewer().GetWindow(series);
    EXPECT_EQ(w.seriesMode, "image");
    EXPECT_EQ(w.seriesPath, seriesPath.toStdString());
    EXPECT_EQ(w.saveCount, 2);
    ASSERT_EQ(w.entries.size(), 2u);
    const double energies[2] = {10000.0, 12000.0};
    const std::string base = Path("run").toStdString();
    const std::string names[2] = {base + "_10000.xml_vra", base + "_12000.xml_vra"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const standin::SeriesEntry& e = w.entries[static_cast<std::size_t>(i)];
        EXPECT_TRUE(e.saved);
        EXPECT_EQ(e.fileName, names[i]);
        EXPECT_EQ(e.indexKeyDouble.at("X"), std::vector<double>{energies[i]});
        EXPECT_EQ(e.imageKeyDouble.at("__XFH.PhotonEnergy_eV"), std::vector<double>{energies[i]});
        EXPECT_EQ(e.imageKeyString.at("__SphereProjection.Name"),
                  std::vector<std::string>{kProjectionNames[tab]});
        EXPECT_EQ(e.imageKeyString.at("__XFH.Anormalous"), std::vector<std::string>{"[]"});
        EXPECT_TRUE(SameImage(e.image, EngineImage(tab, s.Cluster_, energies[i])));
    }
    EXPECT_TRUE(NewImageWindows().empty());
    EXPECT_EQ(Count("SeriesNewWindow"), 1);
}

INSTANTIATE_TEST_SUITE_P(Projections, VelmoraSeriesTest, ::testing::Range(0, 5),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(kProjectionNames[info.param]);
                         });

// A viewer that does not answer the first send during a run costs neither
// the calculation nor its image: the run goes on, and the hologram arrives
// at the end in a new window.
TEST_F(VelmoraAppTest, AnUnansweredSendDuringTheRunCostsNoHologram)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.BuildElementMap();
    window_->PluginClient().SetExchangeLimits(1, 20);
    standin::Faults lost;
    lost.dropReplies = 1;
    Viewer().SetFaults(lost);
    Viewer().ClearRequests();

    DlgHologram dialog(window_.get());
    ModalAnswerer answers;
    Calculate(dialog, 4);

    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes.front().text;
    EXPECT_EQ(answers.boxes[0].text, "Finished");
    const std::vector<standin::Window> windows = NewImageWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(SameImage(windows[0].image, EngineImage(4, s.Cluster_, 12000.0)));
    EXPECT_EQ(Commands().front(), "GetIsModeImage");  // the one left unanswered
}

TEST_F(VelmoraAppTest, EnergiesThatDifferButShareAFileNameAreRefusedBeforeTheSeriesStarts)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.PhotonEnergyList_keV = {10.0, 12.0, 12.0000001};
    Viewer().ClearRequests();
    DlgHologram dialog(window_.get());
    ModalAnswerer answers;
    Calculate(dialog, 4);
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].title, "ERROR");
    EXPECT_EQ(
        answers.boxes[0].text.rfind("Photon energies 12 and 12.0000001 keV give the same image file name "
                                    "(12000.xml_vra)",
                                    0),
        0u)
        << answers.boxes[0].text;
    EXPECT_EQ(Count("SeriesNewWindow"), 0);
    EXPECT_FALSE(s.IsCalculating_);
    EXPECT_EQ(dialog.Form().label_3->text(), QString("Failed"));
}

// The same energy twice gives the same image: both run and go to one file.
TEST_F(VelmoraAppTest, RepeatedEnergyIsAccepted)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.PhotonEnergyList_keV = {12.0, 12.0};
    DlgHologram dialog(window_.get());
    ModalAnswerer answers;
    answers.QueueFile(Path("twice.xmlsrs"));
    Calculate(dialog, 4);
    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes[0].text;
    EXPECT_EQ(answers.boxes[0].text, "Finished");
    EXPECT_EQ(Count("SeriesImageSave"), 2);
    const std::int32_t series = SeriesWindowId();
    ASSERT_GE(series, 0);
    const standin::Window w = Viewer().GetWindow(series);
    ASSERT_EQ(w.entries.size(), 2u);
    for (const standin::SeriesEntry& e : w.entries)
        EXPECT_EQ(e.fileName, Path("twice_12000.xml_vra").toStdString());
}

// Energies that are no finite positive number are refused before anything
// is computed or sent, and no "Finished" follows.
TEST_F(VelmoraAppTest, MeaninglessEnergiesAreRefused)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<double>> lists = {{0.0},       {-12.0}, {std::nan("")}, {inf}, {-inf},
                                                    {12.0, 0.0}, {}};
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    Viewer().ClearRequests();
    for (const std::vector<double>& list : lists) {
        SCOPED_TRACE(list.empty() ? std::string("empty") : std::to_string(list.back()));
        s.PhotonEnergyList_keV = list;
        DlgHologram dialog(window_.get());
        ModalAnswerer answers;
        answers.QueueFile(Path("never.xmlsrs"));
        Calculate(dialog, 4);
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].title, "ERROR");
        EXPECT_TRUE(answers.boxes[0].text.rfind("Illegal photon energy", 0) == 0 ||
                    answers.boxes[0].text == "Energy list of incident photon is empty")
            << answers.boxes[0].text;
        EXPECT_FALSE(s.IsCalculating_);
    }
    EXPECT_TRUE(Commands().empty());
}

// A long run: Terminate stops it, and while it runs no second calculation
// can start and the dialog does not close.
TEST_F(VelmoraAppTest, TerminateStopsARunThatLocksTheDialog)
{
    SimulationSettings& s = GetSimulationSettings();
    DlgHologram dialog(window_.get());
    ShowLongRun(dialog);
    dialog.Form().label_3->setText("TIME=1.5");  // as after an earlier run
    ModalAnswerer answers;
    bool locked = true, stayedOpen = false, running = false;
    std::size_t cautions = 0;
    QString status;
    // Once the first column is done (the image then has something in it).
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (s.Calculation_.ColumnsDone.load() < 1)
            return;
        probe.stop();
        running = s.IsCalculating_;
        status = dialog.Form().label_3->text();
        for (QPushButton* b : dialog.CalculateButtons())
            locked = locked && !b->isEnabled();
        dialog.close();
        dialog.reject();  // what Escape does
        dialog.Form().pushButton_4->click();
        stayedOpen = dialog.isVisible();
        cautions = answers.boxes.size();
        dialog.Form().pushButton_3->click();
    });
    probe.start(20);
    dialog.Form().pushButton_2->click();

    EXPECT_TRUE(running);
    EXPECT_EQ(status, QString("Calculating..."));
    EXPECT_EQ(dialog.Form().label_3->text(), QString("Terminated"));
    EXPECT_TRUE(locked);
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(cautions, 3u);
    for (std::size_t i = 0; i < cautions; ++i) {
        EXPECT_EQ(answers.boxes[i].title, "Caution");
        EXPECT_EQ(answers.boxes[i].text, "Hologram is calculating. Please terminate");
    }
    ASSERT_EQ(answers.boxes.size(), 4u);
    EXPECT_EQ(answers.boxes[3].text, "Terminated");
    // The image stopped part-way: its last column was never computed, and
    // its keys say so.
    const std::vector<standin::Window> windows = NewImageWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].keyDouble.at("__XFH.Partial"), std::vector<double>{1.0});
    const LwFloatMatrix& image = windows[0].image;
    ASSERT_EQ(image.ColSize, 1440);
    bool firstColumnSet = false, lastColumnZero = true;
    for (int j = 0; j < image.RowSize; ++j) {
        firstColumnSet = firstColumnSet || image(0, j) != 0.0f;
        lastColumnZero = lastColumnZero && image(image.ColSize - 1, j) == 0.0f;
    }
    EXPECT_TRUE(firstColumnSet);
    EXPECT_TRUE(lastColumnZero);
    EXPECT_FALSE(s.IsCalculating_);
    for (QPushButton* b : dialog.CalculateButtons())
        EXPECT_TRUE(b->isEnabled());
    // Once the run has ended the dialog closes.
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
}

// Terminate during a series: the energy that runs is not saved as if it were
// complete and no later energy starts.
TEST_F(VelmoraAppTest, TerminateEndsASeries)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = LargeCluster();
    s.PhotonEnergyList_keV = {10.0, 12.0, 14.0};
    DlgHologram dialog(window_.get());
    dialog.FillStructureList();
    dialog.show();
    dialog.Form().lineEdit->setText("0.25");
    ModalAnswerer answers;
    answers.QueueFile(Path("stopped.xmlsrs"));
    // Terminate once the first energy runs (the file dialog comes first).
    QString status;
    QTimer terminate;
    QObject::connect(&terminate, &QTimer::timeout, [&] {
        if (!s.IsCalculating_ || s.Calculation_.ColumnsDone.load() < 1)
            return;
        terminate.stop();
        status = dialog.Form().label_3->text();
        dialog.Form().pushButton_3->click();
    });
    terminate.start(50);
    Viewer().ClearRequests();
    dialog.Form().pushButton_2->click();

    EXPECT_EQ(status, QString("Calculating 1/3: 10 keV"));
    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes[0].text;
    EXPECT_EQ(answers.boxes[0].text, "Terminated");
    EXPECT_EQ(dialog.Form().label_3->text(), QString("Terminated"));
    EXPECT_EQ(Count("SeriesImageIndexSet"), 1);
    EXPECT_EQ(Count("SeriesImageSave"), 0);
    const std::int32_t series = SeriesWindowId();
    ASSERT_GE(series, 0);
    const standin::Window w = Viewer().GetWindow(series);
    ASSERT_EQ(w.entries.size(), 1u);
    EXPECT_FALSE(w.entries[0].saved);
    EXPECT_EQ(w.entries[0].imageKeyDouble.at("__XFH.Partial"), std::vector<double>{1.0});
    EXPECT_FALSE(s.IsCalculating_);
}

// The viewer is lost while the second of three energies runs, and a new one
// is started under the same name. Answered Retry, the series goes on into a
// new series window under the same series file that holds every energy,
// the one saved before included, and only then says "Finished"; answered
// Discard, it stops and names the energies that were not saved.
TEST_F(VelmoraAppTest, ASeriesCarriesOnIntoARestartedViewerOrNamesWhatWasNotSaved)
{
    for (const bool retry : {true, false}) {
        SCOPED_TRACE(retry ? "Retry" : "Discard");
        SimulationSettings& s = GetSimulationSettings();
        s.Cluster_ = SmallCluster();
        s.PhotonEnergyList_keV = {10.0, 12.0, 14.0};
        const QString seriesPath = Path(retry ? "kept.xmlsrs" : "stopped.xmlsrs");
        window_->PluginClient().SetExchangeLimits(1, 50);
        DlgHologram dialog(window_.get());
        standin::StandinViewerThread restarted;
        ModalAnswerer answers;
        answers.QueueFile(seriesPath);
        answers.onBox = [&](QMessageBox* box) {
            if (box->button(QMessageBox::Retry) == nullptr)
                return box->accept();
            if (!retry)
                return box->button(QMessageBox::Discard)->click();
            EXPECT_TRUE(restarted.Start(0, kLocalName));
            box->button(QMessageBox::Retry)->click();
        };
        // The viewer goes once the second energy has started.
        QTimer kill;
        QObject::connect(&kill, &QTimer::timeout, [&] {
            if (!dialog.Form().label_3->text().startsWith("Calculating 2/3"))
                return;
            kill.stop();
            viewer_.Stop();
        });
        kill.start(5);
        Calculate(dialog, 4);
        kill.stop();

        ASSERT_GE(answers.boxes.size(), 2u);
        EXPECT_EQ(answers.boxes[0].text.rfind("The image viewer is not reachable", 0), 0u)
            << answers.boxes[0].text;
        EXPECT_NE(answers.boxes[0].text.find("Send it to the image viewer again?"), std::string::npos);
        ASSERT_EQ(answers.boxes.size(), 2u) << answers.boxes[1].text;
        if (!retry) {
            EXPECT_EQ(answers.boxes[1].title, "ERROR");
            EXPECT_EQ(answers.boxes[1].text,
                      "The series stopped before every energy was saved: 12, 14 keV not "
                      "saved (10 keV saved in " +
                          seriesPath.toStdString() + ")");
            EXPECT_EQ(dialog.Form().label_3->text(), QString("Failed"));
            EXPECT_FALSE(s.IsCalculating_);
            continue;
        }
        EXPECT_EQ(answers.boxes[1].text, "Finished");
        EXPECT_TRUE(dialog.Form().label_3->text().startsWith("TIME="));
        // The new viewer: one series window under the series file with all
        // three energies saved, and no plain image window.
        standin::StandinViewer& viewer = restarted.Viewer();
        std::vector<standin::Window> series;
        for (std::int32_t id : viewer.WindowIds()) {
            const standin::Window w = viewer.GetWindow(id);
            EXPECT_TRUE(w.isSeries) << "window " << id;
            if (w.isSeries)
                series.push_back(w);
        }
        ASSERT_EQ(series.size(), 1u);
        const standin::Window& w = series[0];
        EXPECT_EQ(w.seriesPath, seriesPath.toStdString());
        EXPECT_GE(w.saveCount, 1);
        ASSERT_EQ(w.entries.size(), 3u);
        const std::string base = Path("kept").toStdString();
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const double energy = 10000.0 + 2000.0 * i;
            const standin::SeriesEntry& e = w.entries[static_cast<std::size_t>(i)];
            EXPECT_TRUE(e.saved);
            EXPECT_EQ(e.fileName, base + "_" + std::to_string(static_cast<int>(energy)) + ".xml_vra");
            EXPECT_EQ(e.indexKeyDouble.at("X"), std::vector<double>{energy});
            EXPECT_EQ(e.imageKeyDouble.at("__XFH.PhotonEnergy_eV"), std::vector<double>{energy});
            EXPECT_EQ(e.imageKeyDouble.at("__XFH.Partial"), std::vector<double>{0.0});
            EXPECT_TRUE(SameImage(e.image, EngineImage(4, s.Cluster_, energy)));
        }
        restarted.Stop();
        ASSERT_TRUE(viewer_.Start(0, kLocalName));  // for the next round
    }
}

// A quit signal during a calculation stops it at once and nothing more goes
// to the viewer: no closing image, no box; what went before says partial.
TEST_F(VelmoraAppTest, AQuitSignalStopsTheCalculationBeforeAnyFurtherSend)
{
    SimulationSettings& s = GetSimulationSettings();
    DlgHologram dialog(window_.get());
    ShowLongRun(dialog);
    LwQuitOnSignals quitOnSignals;
    ModalAnswerer answers;
    std::size_t sentBeforeSignal = 0;
    QTimer signal;
    QObject::connect(&signal, &QTimer::timeout, [&] {
        // Between two sends, once the first column is there.
        if (s.Calculation_.ColumnsDone.load() < 1 || window_->PluginClient().IsBusy())
            return;
        signal.stop();
        sentBeforeSignal = Commands().size();
        std::raise(SIGTERM);
    });
    signal.start(20);
    QElapsedTimer clock;
    clock.start();
    dialog.Form().pushButton_2->click();
    const qint64 ms = clock.elapsed();

    EXPECT_TRUE(LwQuitOnSignals::IsQuitRequested());
    ASSERT_GT(sentBeforeSignal, 0u);
    EXPECT_EQ(Commands().size(), sentBeforeSignal);
    EXPECT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
    EXPECT_LT(s.Calculation_.ColumnsDone.load(), s.DocEquidistantCylindrical_.Grid.Planes[0].ColSize);
    EXPECT_LT(ms, 60000);
    for (const standin::Window& w : NewImageWindows())
        EXPECT_EQ(w.keyDouble.at("__XFH.Partial"), std::vector<double>{1.0});
    EXPECT_FALSE(s.IsCalculating_);
    ClearPendingQuit();
}

// A run that fails shows the worker's error, sends no image and does not
// say "Finished"; neither does a series whose file dialog is cancelled.
TEST_F(VelmoraAppTest, FailedOrCancelledRunSendsNoImageAndIsNotFinished)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_.assign(1,
                      LwStructure{Atom("O", 1.9, 0, 0), Atom("Fe", 0, 0, 1.0)});  // no emitter at the origin
    Viewer().ClearRequests();
    {
        DlgHologram dialog(window_.get());
        ModalAnswerer answers;
        Calculate(dialog, 4);
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].title, "Warning");
        EXPECT_EQ(answers.boxes[0].text, "Center atom (0,0,0) is not exist. Please check cluster file.");
        EXPECT_EQ(dialog.Form().label_3->text(), QString("Failed"));
    }
    EXPECT_TRUE(NewImageWindows().empty());
    EXPECT_EQ(Count("FIImageSetBySharedMemory"), 0);
    EXPECT_FALSE(s.IsCalculating_);

    s.Cluster_ = SmallCluster();
    s.PhotonEnergyList_keV = {10.0, 12.0};
    DlgHologram dialog(window_.get());
    ModalAnswerer answers;  // no file queued: the file dialog is cancelled
    Calculate(dialog, 4);
    EXPECT_TRUE(answers.boxes.empty()) << answers.boxes[0].text;
    EXPECT_TRUE(Commands().empty());
}

// An unchecked "Use Cluster Size limit(A)" is no limit, also after a run
// that had one.
TEST_F(VelmoraAppTest, UncheckedClusterSizeLimitIsNoLimit)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    {
        DlgHologram dialog(window_.get());
        dialog.Form().checkBox->setChecked(true);
        dialog.Form().doubleSpinBox->setValue(2.0);
        ModalAnswerer answers;
        Calculate(dialog, 4);
        ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes[0].text;
        EXPECT_EQ(s.DocEquidistantCylindrical_.ClusterSizeLimit_m_, 2.0e-10);
    }
    DlgHologram dialog(window_.get());
    EXPECT_FALSE(dialog.Form().checkBox->isChecked());
    ModalAnswerer answers;
    Calculate(dialog, 4);
    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes[0].text;
    EXPECT_EQ(s.DocEquidistantCylindrical_.ClusterSizeLimit_m_, 0.0);
    const std::vector<standin::Window> windows = NewImageWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_FALSE(SameImage(windows[0].image, windows[1].image));
    EXPECT_TRUE(SameImage(windows[1].image, EngineImage(4, s.Cluster_, 12000.0)));
    EXPECT_EQ(windows[1].keyDouble.at("__XFH.Partial"), std::vector<double>{0.0});
}

TEST_F(VelmoraAppTest, GridFieldsThatGiveNoGridAreRefused)
{
    struct Case
    {
        int tab;
        QLineEdit* Ui_DlgHologram::*field;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {0, &Ui_DlgHologram::lineEdit_2, "0", "Illegal resolution"},
        {0, &Ui_DlgHologram::lineEdit_2, "abc", "Degree/ Pix = \"abc\" is not a number"},
        {4, &Ui_DlgHologram::lineEdit, "", "Degree/ Pix = \"\" is not a number"},
        {2, &Ui_DlgHologram::lineEdit_4, "wide", "Max angle of Stereographic \"wide\" is not a number"},
        {3, &Ui_DlgHologram::lineEdit_8, "1e2",
         "Image pix size of Orthographic \"1e2\" is not a whole number"},
        {4, &Ui_DlgHologram::lineEdit, "0.001", "gives an image of"},
        {0, &Ui_DlgHologram::lineEdit_2, "1e-9", "Illegal resolution"},
        {1, &Ui_DlgHologram::lineEdit_6, "0", "Image pix size of Gnomonic should be 2 to 4096: 0"},
        {1, &Ui_DlgHologram::lineEdit_3, "90", "Max angle of Gnomonic should be above 0 and below 90: 90"},
        {2, &Ui_DlgHologram::lineEdit_7, "-5", "Image pix size of Stereographic should be 2 to 4096: -5"},
        {3, &Ui_DlgHologram::lineEdit_8, "100000",
         "Image pix size of Orthographic should be 2 to 4096: 100000"},
        // The resolution is named as typed, before the cylindrical tab's
        // single precision makes it 0 or inf.
        {4, &Ui_DlgHologram::lineEdit, "1e-300", "Illegal resolution: 1e-300 (the image would be too large)"},
        {4, &Ui_DlgHologram::lineEdit, "1e300",
         "Degree/ Pix = 1e300 gives an image of 0 x 1 pixels: the image "
         "would be too small"},
        {4, &Ui_DlgHologram::lineEdit, "360",
         "Degree/ Pix = 360 gives an image of 1 x 1 pixels: the image would "
         "be too small"},
        {0, &Ui_DlgHologram::lineEdit_2, "360",
         "Degree/ Pix = 360 gives an image of 1 x 1 pixels: the image "
         "would be too small"},
    };
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    Viewer().ClearRequests();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " on tab " + std::to_string(c.tab));
        DlgHologram dialog(window_.get());
        dialog.FillStructureList();
        (dialog.Form().*c.field)->setText(c.text);
        ModalAnswerer answers;
        dialog.CalculateButtons()[static_cast<std::size_t>(c.tab)]->click();
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].title, "ERROR");
        EXPECT_NE(answers.boxes[0].text.find(c.message), std::string::npos) << answers.boxes[0].text;
        for (QPushButton* b : dialog.CalculateButtons())
            EXPECT_TRUE(b->isEnabled());
    }
    EXPECT_TRUE(Commands().empty());
}

TEST_F(VelmoraAppTest, NoStructureCheckedIsRefused)
{
    GetSimulationSettings().Cluster_ = SmallCluster();
    DlgHologram dialog(window_.get());
    dialog.FillStructureList();
    dialog.Form().pushButton_9->click();  // Clear all
    dialog.Form().label_3->setText("TIME=1.5");  // as after an earlier run
    ModalAnswerer answers;
    dialog.Form().pushButton_5->click();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text, "List of Structure is not selected");
    // A refused run is a failed one: the earlier time goes.
    EXPECT_EQ(dialog.Form().label_3->text(), QString("Failed"));
}

// A cluster-size limit typed below the box's smallest one is refused in
// words, never replaced by the box's previous value; one at it is taken.
TEST_F(VelmoraAppTest, ClusterSizeLimitBelowTheSmallestIsRefusedAsTyped)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    Viewer().ClearRequests();
    for (const char* typed : {"0.5", "1.0"}) {
        SCOPED_TRACE(typed);
        DlgHologram dialog(window_.get());
        dialog.show();
        dialog.Form().checkBox->setChecked(true);
        QDoubleSpinBox& box = *dialog.Form().doubleSpinBox;
        box.setFocus();
        QLineEdit* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        edit->insert(typed);
        // Leaving the box settles what it holds, as a click on Calculate does.
        QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
        QApplication::sendEvent(&box, &out);
        ModalAnswerer answers;
        Calculate(dialog, 4);
        ASSERT_EQ(answers.boxes.size(), 1u);
        if (std::string(typed) == "0.5") {
            EXPECT_EQ(answers.boxes[0].title, "ERROR");
            EXPECT_EQ(answers.boxes[0].text,
                      "Use Cluster Size limit(A) 0.5 is below the smallest limit, 1 A");
            EXPECT_TRUE(Commands().empty());
        } else {
            EXPECT_EQ(answers.boxes[0].text, "Finished");
            EXPECT_EQ(s.DocEquidistantCylindrical_.ClusterSizeLimit_m_, 1.0e-10);
        }
    }
}

// f1, f2 and the temperatures that are no finite number (or a negative
// temperature) are refused before anything is sent, naming the element and
// the field, from the dialog and from the main window (which then leaves the
// ini file as it was).
TEST_F(VelmoraAppTest, ElementTermsThatAreNoFiniteNumberAreRefused)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        ElementRow row;
        bool anomalous, debye;
        double temperature;
        const char* message;
    };
    const Case cases[] = {
        {{"Fe", inf, 0, 0}, true, false, 300, "Illegal f1 of Fe: inf"},
        {{"Fe", 0, std::nan(""), 0}, true, false, 300, "Illegal f2 of Fe: nan"},
        {{"Fe", 0, -inf, 0}, true, false, 300, "Illegal f2 of Fe: -inf"},
        {{"Fe", 0, 0, -5}, false, true, 300, "Illegal TD(K) of Fe: -5"},
        {{"Fe", 0, 0, inf}, false, true, 300, "Illegal TD(K) of Fe: inf"},
        {{"Fe", 0, 0, 470}, false, true, inf, "Illegal Temperature of Sample (K): inf"},
        {{"Fe", 0, 0, 470}, false, true, -1, "Illegal Temperature of Sample (K): -1"},
    };
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    Viewer().ClearRequests();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        s.ListElementRow_.assign(6, ElementRow());
        s.ListElementRow_[0] = c.row;
        s.IsUseAnomalous_ = c.anomalous;
        s.IsUseDebye_ = c.debye;
        s.Temperature_K_ = c.temperature;
        s.BuildElementMap();
        DlgHologram dialog(window_.get());
        ModalAnswerer answers;
        Calculate(dialog, 4);
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].title, "ERROR");
        EXPECT_EQ(answers.boxes[0].text.rfind(c.message, 0), 0u) << answers.boxes[0].text;
        EXPECT_EQ(dialog.Form().label_3->text(), QString("Failed"));
    }
    // Unused terms are not looked at.
    s.ListElementRow_[0] = {"Fe", inf, inf, 0};
    s.IsUseAnomalous_ = s.IsUseDebye_ = false;
    s.BuildElementMap();
    EXPECT_EQ(ErrorText([&] { CheckElementTerms(s.Calculation_.ElementMap, -1); }), "(no error)");
    EXPECT_TRUE(Commands().empty());

    // The main window: "inf" typed as f1 of Fe.
    Ui_MainWindow& f = window_->Form();
    f.le_el_1_0->setText("Fe");
    f.le_f1_0->setText("inf");
    f.rb_use_anomalous->setChecked(true);
    ModalAnswerer answers;
    f.pushButton_5->click();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text.rfind("Illegal f1 of Fe: inf", 0), 0u) << answers.boxes[0].text;
    EXPECT_FALSE(QFile::exists(s.IniFileName()));
    EXPECT_TRUE(Commands().empty());
}

TEST_F(VelmoraAppTest, UnwritableIniFileIsReportedOnceAndTheCalculationGoesOn)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.IniFileName_ = Path("no/such/folder/velmora.ini");
    DlgHologram dialog(window_.get());
    ModalAnswerer answers;
    Calculate(dialog, 4);
    dialog.Form().pushButton_2->click();
    ASSERT_EQ(answers.boxes.size(), 3u);
    EXPECT_EQ(answers.boxes[0].title, "ERROR");
    EXPECT_EQ(answers.boxes[0].text.rfind("FILE CANNOT WRITE:", 0), 0u) << answers.boxes[0].text;
    EXPECT_EQ(answers.boxes[1].text, "Finished");
    EXPECT_EQ(answers.boxes[2].text, "Finished");
    EXPECT_EQ(NewImageWindows().size(), 2u);
}

TEST_F(VelmoraAppTest, HologramButtonWritesTheIniAndRunsTheDialog)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    s.IniFileName_ = Path("velmora.ini");
    Ui_MainWindow& f = window_->Form();
    f.plainTextEdit->setPlainText("11.5\n\nabc");
    f.le_temp_K->setText("250");
    ModalAnswerer answers;
    answers.onDialog = [](QWidget* w) {
        auto* dialog = qobject_cast<DlgHologram*>(w);
        if (dialog == nullptr)
            return w->close(), void();
        dialog->Form().lineEdit->setText("3");
        dialog->Form().pushButton_2->click();
        dialog->close();
    };
    f.pushButton_5->click();
    ASSERT_EQ(answers.boxes.size(), 1u) << answers.boxes.front().text;
    EXPECT_EQ(answers.boxes[0].text, "Finished");
    EXPECT_EQ(s.PhotonEnergyList_keV, std::vector<double>{11.5});
    EXPECT_EQ(s.Calculation_.Temperature_K, 250.0);
    ASSERT_EQ(NewImageWindows().size(), 1u);
    EXPECT_EQ(NewImageWindows()[0].keyDouble.at("__XFH.PhotonEnergy_eV"), std::vector<double>{11500.0});

    // The ini file holds the run's inputs and reads back.
    s.PhotonEnergyList_keV = {1.0};
    s.Temperature_K_ = 0;
    s.ReadIni();
    EXPECT_EQ(s.PhotonEnergyList_keV, std::vector<double>{11.5});
    EXPECT_EQ(s.Temperature_K_, 250.0);
    EXPECT_EQ(s.CurrentMapTabIndex_, 4);
    EXPECT_EQ(s.ListElementRow_.size(), 6u);
}

TEST_F(VelmoraAppTest, ScatteringPatternMatrixArrivesWithItsAxisKeys)
{
    SimulationSettings& s = GetSimulationSettings();
    s.Cluster_ = SmallCluster();
    Ui_MainWindow& f = window_->Form();
    f.doubleSpinBox->setValue(1.5);
    f.doubleSpinBox_2->setValue(1.6);
    f.doubleSpinBox_3->setValue(0.03);  // 1.5, 1.53, 1.56, 1.59
    f.doubleSpinBox_5->setValue(-1.0);
    f.comboBox->setCurrentIndex(25);  // Fe
    ModalAnswerer answers;
    f.pushButton_4->click();
    EXPECT_TRUE(answers.boxes.empty()) << answers.boxes.front().text;

    const std::vector<standin::Window> windows = NewImageWindows();
    ASSERT_EQ(windows.size(), 1u);
    const standin::Window& w = windows[0];
    EXPECT_EQ(w.caption, "xfh_spattern_Fe_15000(eV)RadialExponent=-1");
    ASSERT_EQ(w.image.ColSize, 4);
    ASSERT_EQ(w.image.RowSize, 1025);
    const std::map<std::string, double> numbers = {
        {"__Axis.X.Min", 0.15},    {"__Axis.X.Max", 0.16},       {"__Axis.Y.Min", -1.0},
        {"__Axis.Y.Max", 1.0},     {"_spattern_hv_eV", 15000.0}, {"_spattern_rmin", 1.5},
        {"_spattern_rn", 4.0},     {"_spattern_rstep", 0.03},    {"_spattern_zn", 1025.0},
        {"_spattern_ek", 15000.0}, {"_radial_exponent", -1.0}};
    for (const auto& [key, value] : numbers) {
        SCOPED_TRACE(key);
        ASSERT_EQ(w.keyDouble.count(key), 1u);
        EXPECT_NEAR(w.keyDouble.at(key).at(0), value, 1e-12 * std::fabs(value) + 1e-15);
    }
    const std::map<std::string, std::string> texts = {{"__Axis.X.Name", "Atomic distance"},
                                                      {"__Axis.X.Unit", "nm"},
                                                      {"__Axis.Y.Name", "z"},
                                                      {"__Axis.Y.Unit", ""},
                                                      {"Element", "Fe"}};
    for (const auto& [key, value] : texts) {
        SCOPED_TRACE(key);
        EXPECT_EQ(w.keyString.at(key), std::vector<std::string>{value});
    }
    // Each column is the engine's hologram of the pair divided by r.
    HologramCalculation calc;
    LoadAsfTable(calc.AsfTable, ReadDataFile("velmora_AtomicScatteringTable.csv"));
    calc.SetPhotonEnergy_eV(15000.0);
    LwDocPattern_CosZ doc;
    doc.PointCount_ = 1025;
    doc.SetRecordSelection(1, true);
    doc.InitSphericalMap();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const double r = 1.5 + 0.03 * i;
        calc.Run(doc, LwCluster{{Atom("Fe", 0, 0, 0), Atom("Fe", 0, 0, r)}});
        for (int j = 0; j < 1025; j += 64)
            EXPECT_EQ(w.image(i, j), static_cast<float>(doc.Grid.Planes[0](j, 0) / r));
    }
    // The loaded cluster is kept.
    EXPECT_EQ(s.Cluster_.size(), 2u);
    EXPECT_EQ(s.Cluster_[0].size(), 5u);
}

// A "New Image" whose reply never came (the viewer made an empty window):
// the computed image is kept and, answered Retry, sent into a new window.
TEST_F(VelmoraAppTest, ScatteringPatternMatrixIsOfferedAgainAfterATimedOutNewWindow)
{
    GetSimulationSettings().Cluster_ = SmallCluster();
    Ui_MainWindow& f = window_->Form();
    f.doubleSpinBox->setValue(1.5);
    f.doubleSpinBox_2->setValue(1.6);
    f.doubleSpinBox_3->setValue(0.03);
    f.comboBox->setCurrentIndex(25);  // Fe
    window_->PluginClient().SetExchangeLimits(1, 20);
    standin::Faults f1;
    f1.dropReplies = 1;
    Viewer().SetFaults(f1);
    std::vector<std::string> texts;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        texts.push_back(box->text().toStdString());
        box->button(QMessageBox::Retry)->click();
    });
    answer.start(20);
    f.pushButton_4->click();
    answer.stop();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("The image viewer did not answer in time (local socket " +
                                 kLocalName.toStdString() + ")\nNo reply from ZYVRA-IMAGE",
                             0),
              0u)
        << texts[0];
    EXPECT_NE(texts[0].find("Send it to the image viewer again?"), std::string::npos) << texts[0];

    const std::vector<standin::Window> windows = NewImageWindows();
    ASSERT_EQ(windows.size(), 2u);  // the empty one of the lost reply, then the image
    EXPECT_EQ(windows[0].image.ElementCount(), 0);
    EXPECT_EQ(windows[1].image.ColSize, 4);
    EXPECT_EQ(windows[1].image.RowSize, 1025);
    EXPECT_EQ(windows[1].caption, "xfh_spattern_Fe_15000(eV)RadialExponent=" +
                                      QString::number(f.doubleSpinBox_5->value(), 'g', 6).toStdString());
}

// A send waiting on a viewer that does not answer: a second click on the
// operation reaches nothing (so the client's refusal of a nested call stays
// out of the user's reach), the wait dialog shows with the main window
// disabled, and its Cancel ends the send; the computed image is offered again.
TEST_F(VelmoraAppTest, AWaitingSendShowsTheWaitDialogAndItsCancelEndsTheSend)
{
    GetSimulationSettings().Cluster_ = SmallCluster();
    Ui_MainWindow& f = window_->Form();
    f.doubleSpinBox->setValue(1.5);
    f.doubleSpinBox_2->setValue(1.6);
    f.doubleSpinBox_3->setValue(0.03);
    window_->show();
    LwWaitDialog wait;
    wait.SetShowAfterMs(200);
    window_->PluginClient().SetWaitObserver(&wait);
    standin::Faults slow;
    slow.delayMs = 5000;
    Viewer().SetFaults(slow);
    int clicks = 0;
    QObject::connect(f.pushButton_4, &QPushButton::clicked, [&clicks] { ++clicks; });

    int phase = 0;
    bool mainEnabledDuringWait = true;
    QString waitText;
    std::vector<std::string> boxes;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (phase == 0 && wait.Dialog() != nullptr && wait.Dialog()->isVisible()) {
            mainEnabledDuringWait = window_->isEnabled();
            waitText = wait.Dialog()->labelText();
            const QPoint centre = f.pushButton_4->rect().center();
            QMouseEvent press(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QApplication::sendEvent(f.pushButton_4, &press);
            QApplication::sendEvent(f.pushButton_4, &release);
            wait.Dialog()->findChild<QPushButton*>()->click();  // Cancel
            phase = 1;
        } else if (phase == 1) {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            boxes.push_back(box->text().toStdString());
            box->button(QMessageBox::Discard)->click();
            phase = 2;
        }
    });
    answer.start(20);
    f.pushButton_4->click();
    answer.stop();
    window_->PluginClient().SetWaitObserver(nullptr);

    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(mainEnabledDuringWait);
    EXPECT_EQ(waitText, "Waiting for the image viewer (local socket " + kLocalName + ") ...");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Sending to the image viewer was cancelled (local socket " +
                                 kLocalName.toStdString() + ")\nCANCELED/",
                             0),
              0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find("Send it to the image viewer again?"), std::string::npos) << boxes[0];
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_EQ(wait.Dialog(), nullptr);
}

TEST_F(VelmoraAppTest, ScatteringPatternMatrixRefusesARangeWithoutDistances)
{
    Ui_MainWindow& f = window_->Form();
    f.doubleSpinBox->setValue(2.0);
    f.doubleSpinBox_2->setValue(1.0);
    ModalAnswerer answers;
    Viewer().ClearRequests();
    f.pushButton_4->click();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text.rfind("Radial range gives no distance", 0), 0u) << answers.boxes[0].text;
    EXPECT_TRUE(Commands().empty());
}

// ---- Hologram dialog layout ----------------------------------------------

// Each projection tab shows its whole title when the dialog opens: no scroll
// arrows, no clipped or elided text.
TEST(HologramDialogLayout, EveryProjectionTabIsShownWhole)
{
    DlgHologram dialog;
    dialog.show();
    QTabBar& bar = *dialog.Form().tabWidget->tabBar();
    ASSERT_EQ(bar.count(), 5);
    for (QToolButton* arrow : bar.findChildren<QToolButton*>())
        EXPECT_FALSE(arrow->isVisible());
    const QRect inDialog(bar.mapTo(&dialog, QPoint(0, 0)), bar.size());
    EXPECT_TRUE(dialog.rect().contains(inDialog));
    for (int i = 0; i < bar.count(); ++i) {
        SCOPED_TRACE(bar.tabText(i).toStdString());
        const QRect tab = bar.tabRect(i);
        EXPECT_TRUE(bar.rect().contains(tab)) << tab.x() << "+" << tab.width() << " in " << bar.width();
        EXPECT_GE(tab.width(), bar.fontMetrics().horizontalAdvance(bar.tabText(i)));
    }
}

// The Japanese names in the projection captions need a font that has their
// characters; a machine without one shows empty boxes.
TEST(HologramDialogLayout, ProjectionCaptionsHaveAFontWithTheirCharacters)
{
    DlgHologram dialog;
    QSet<uint> wide;
    for (QLabel* label : dialog.Form().tabWidget->findChildren<QLabel*>())
        for (uint c : label->text().toUcs4())
            if (c > 0x2fff)
                wide.insert(c);
    ASSERT_GE(wide.size(), 10);  // kanji and katakana of the five names
    bool covered = false;
    QStringList families = QFontDatabase().families(QFontDatabase::Japanese);
    for (const QString& family : families) {
        const QFontMetrics metrics{QFont(family)};
        bool all = true;
        for (uint c : wide)
            all = all && metrics.inFontUcs4(c);
        covered = covered || all;
    }
    EXPECT_TRUE(covered) << "Japanese fonts: " << families.join(", ").toStdString();
}

// ---- Cluster view --------------------------------------------------------

class ClusterViewTest : public ::testing::Test
{
protected:
    void SetUp() override { GetSimulationSettings().Cluster_.clear(); }
    void TearDown() override { GetSimulationSettings().Cluster_.clear(); }
};

// Discs at the rotated positions: a structure of an emitter and atoms named
// Fe and O, for several slider settings; expected positions from the
// rotation matrix applied here.
TEST_F(ClusterViewTest, AtomsAreDrawnWhereTheRotationPutsThem)
{
    GetSimulationSettings().Cluster_ = {{Atom("Fe", 0, 0, 0), Atom("O", 2, 0.5, 0.3), Atom("Fe", 0.4, 3, 0.7),
                                         Atom("O", -0.6, 0.2, 4), Atom("Fe", 1, -1.3, 1.7)}};
    DlgViewClusterStructure view;
    view.resize(485, 318);
    view.show();
    view.FillList();
    view.Form().checkBox->setChecked(false);
    const std::pair<int, int> sliders[] = {{0, 0}, {45, 0}, {10, 20}, {90, 45}};
    for (const auto& [h, v] : sliders) {
        SCOPED_TRACE(std::to_string(h) + "," + std::to_string(v));
        view.Form().horizontalSlider->setValue(h);
        view.Form().verticalSlider->setValue(v);
        view.DrawCluster();
        ASSERT_NE(view.Scene(), nullptr);
        const double a = h * 2 * Reference::Pi / 180, b = v * 2 * Reference::Pi / 180;
        const LwLDoubleMatrix R = EulerRotationMatrix(a, b, Reference::Pi / 2);
        const double w = view.Form().graphicsView->width(), hh = view.Form().graphicsView->height();
        // Items in paint order (stacking: later items on top).
        QList<QGraphicsItem*> items = view.Scene()->items(Qt::AscendingOrder);
        ASSERT_EQ(items.size(), 5);
        std::vector<double> depths;
        for (QGraphicsItem* item : items) {
            auto* disc = dynamic_cast<QGraphicsEllipseItem*>(item);
            ASSERT_NE(disc, nullptr);
            const QPointF centre = disc->rect().center();
            // Find the atom this disc belongs to.
            bool found = false;
            for (std::size_t k = 0; k < GetSimulationSettings().Cluster_[0].size(); ++k) {
                const LwLDoubleMatrix p = R * GetSimulationSettings().Cluster_[0][k].Position_;
                const double x = p[0] * Reference::AngstromPerMetre * 4 + w / 2;
                const double y = hh - (p[2] * Reference::AngstromPerMetre * 4 + hh / 2);
                if (std::fabs(centre.x() - x) < 1e-9 && std::fabs(centre.y() - y) < 1e-9) {
                    found = true;
                    depths.push_back(p[1]);
                    const std::string name = GetSimulationSettings().Cluster_[0][k].Name_;
                    const QColor expected = k == 0         ? QColor(Qt::red)
                                            : name == "Fe" ? QColor(Qt::cyan)
                                                           : QColor(Qt::yellow);
                    EXPECT_EQ(disc->brush().color(), expected) << k;
                    EXPECT_DOUBLE_EQ(disc->rect().width(), 4.0);
                }
            }
            EXPECT_TRUE(found) << centre.x() << "," << centre.y();
        }
        EXPECT_TRUE(std::is_sorted(depths.begin(), depths.end()));
    }
}

TEST_F(ClusterViewTest, TimerTurnsTheViewAndWrapsAt179)
{
    GetSimulationSettings().Cluster_ = {{Atom("Fe", 0, 0, 0)}};
    DlgViewClusterStructure view;
    view.FillList();
    view.Form().horizontalSlider->setValue(178);
    view.on_timer();
    EXPECT_EQ(view.Form().horizontalSlider->value(), 179);
    view.on_timer();
    EXPECT_EQ(view.Form().horizontalSlider->value(), 0);
    view.Form().checkBox->setChecked(false);
    view.on_timer();
    EXPECT_EQ(view.Form().horizontalSlider->value(), 0);
    ASSERT_NE(view.Scene(), nullptr);
    EXPECT_EQ(view.Scene()->items().size(), 1);
}

TEST_F(ClusterViewTest, TooManyAtomsShowATextInstead)
{
    for (int n : {50000, 50001}) {
        SCOPED_TRACE(n);
        LwStructure s(static_cast<std::size_t>(n));
        GetSimulationSettings().Cluster_ = {s};
        DlgViewClusterStructure view;
        view.show();
        view.FillList();
        view.DrawCluster();
        ASSERT_NE(view.Scene(), nullptr);
        const QList<QGraphicsItem*> items = view.Scene()->items();
        if (n == 50000) {
            EXPECT_EQ(items.size(), 50000);
        } else {
            ASSERT_EQ(items.size(), 1);
            auto* text = dynamic_cast<QGraphicsTextItem*>(items[0]);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->toPlainText(), QString("Cannot Display: too many atoms"));
            // The whole text lies inside the drawing area.
            QGraphicsView& area = *view.Form().graphicsView;
            const QRect shown = area.mapFromScene(text->sceneBoundingRect()).boundingRect();
            EXPECT_TRUE(area.viewport()->rect().contains(shown))
                << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height() << " in "
                << area.viewport()->width() << "x" << area.viewport()->height();
        }
    }
}

}  // namespace
