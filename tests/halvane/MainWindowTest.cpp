// The main window against the stand-in viewer (on a thread of its own):
// start-up and its command line, the menu file, running on without a viewer,
// the drawing slots' regions, move to centre and the masks with their new
// windows, keys and logs, the mask read back from a region, the parameter
// files of the File menu, and the ini file written before each operation.
#include "HalvaneTestSupport.h"

#include "apps/halvane/LwProcessLog.h"

#include "core/LwBarnXml.h"
#include "core/LwQBarnFile.h"

#include <QDir>
#include <QTcpServer>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>
#include <limits>

namespace {

using namespace halvanetest;

std::string ProgramName() { return QFileInfo(ProgramPath()).fileName().toStdString(); }

std::string LogText(const std::string& records)
{
    return "<app><name>" + ProgramName() + "</name>\n<ver>0.0.5</ver>\n" + records + "</app>\n";
}

std::string Item(const std::string& key, const std::string& value)
{
    return "<i><key>" + key + "</key>\n<value>" + value + "</value>\n</i>\n";
}

class HalvaneWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(IniPath());
        QFile::remove("filepath.ini");
        GetRfaParameters() = RfaParameters();
        ASSERT_TRUE(viewer_.Start(0, "halvanetest"));
        port_ = std::to_string(Viewer().Port());
    }
    void TearDown() override
    {
        started_.reset();
        QDir().rmdir(IniPath());
        QFile::remove(IniPath());
    }

    StartedWindow& Start(std::vector<std::string> args = {})
    {
        if (args.empty()) args = {"-P", port_};
        started_ = std::make_unique<StartedWindow>(args);
        return *started_;
    }
    standin::StandinViewer& Viewer() { return viewer_.Viewer(); }
    Ui_MainWindow& Form() { return started_->Form(); }
    std::int32_t Seed(const LwFloatMatrix& image)
    {
        return Viewer().AddImageWindow(image, {{"E", {12.5, -1}}}, {{"log", {"older"}}, {"note", {"a<b"}}});
    }
    // The window the last operation made (the highest id).
    standin::Window Newest()
    {
        const auto ids = Viewer().WindowIds();
        return Viewer().GetWindow(ids.empty() ? -1 : ids.back());
    }

    standin::StandinViewerThread viewer_;
    std::string port_;
    std::unique_ptr<StartedWindow> started_;
};

TEST_F(HalvaneWindowTest, StartUpReadsThePortWritesTheMenuFileConnectsAndShowsTheRecord)
{
    StartedWindow& w = Start({"-P", port_, "-L", "elsewhere"});
    EXPECT_TRUE(w.reports.empty());
    LwPluginFuncZyvra& client = w.window->Client();
    EXPECT_EQ(client.Port(), Viewer().Port());
    EXPECT_EQ(client.LocalServerName(), "elsewhere");
    EXPECT_FALSE(client.UseLocalSocket());
    EXPECT_TRUE(client.IsConnected());
    ASSERT_EQ(client.MenuEntries().size(), 1u);
    EXPECT_EQ(client.MenuEntries()[0].Title, "RFA: Background: Spherical Harmonics");
    EXPECT_EQ(client.MenuEntries()[0].TitleMenu, "PEH");
    EXPECT_EQ(client.MenuEntries()[0].Parameter, "-O");
    EXPECT_EQ(w.window->windowTitle(), "RFA: Background: Spherical Harmonics 0.0.5");

    QFile menu(GetIniFileNameQString(".menu"));
    ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
    const QByteArray text = menu.readAll();
    EXPECT_TRUE(text.contains("RFA: Background: Spherical Harmonics")) << text.toStdString();
    EXPECT_TRUE(text.contains("<TitleMenu>PEH</TitleMenu>")) << text.toStdString();

    // The record's defaults replaced the form's own values.
    EXPECT_EQ(w.Form().dspSy->value(), 100);
    EXPECT_EQ(w.Form().dsbDipCx->value(), 166);
    EXPECT_EQ(w.Form().sbMaskRx->value(), 128);
    EXPECT_TRUE(w.Form().cbBgSh->isChecked());
}

TEST_F(HalvaneWindowTest, WithoutAViewerOrMenuFileTheWindowOpensAndReportsInTheErrorBox)
{
    const QString menu = GetIniFileNameQString(".menu");
    QFile::remove(menu);
    ASSERT_TRUE(QDir().mkdir(menu));  // the menu file cannot be written
    // A port where nothing listens.
    std::string freePort;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        freePort = std::to_string(probe.serverPort());
    }
    StartedWindow& w = Start({"-P", freePort});
    QDir().rmdir(menu);
    ASSERT_EQ(w.reports.size(), 1u);
    EXPECT_NE(w.reports[0].find("Cannot File Open"), std::string::npos) << w.reports[0];
    EXPECT_FALSE(w.window->Client().IsConnected());
    EXPECT_TRUE(w.window->isVisible());
    EXPECT_EQ(w.Form().dspSr->value(), 100);

    ModalWatcher watcher;
    w.Form().pushButton_6->click();
    ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[0].title, "ERROR");
    EXPECT_EQ(watcher.boxes[0].text.rfind("Socket is not active", 0), 0u) << watcher.boxes[0].text;
    EXPECT_TRUE(w.window->isVisible());
}

TEST_F(HalvaneWindowTest, CommandLinePortsAndTheirRefusal)
{
    {
        StartedWindow w({});
        EXPECT_EQ(w.window->Client().Port(), 14112);
    }
    {
        StartedWindow w({"-P"});
        EXPECT_EQ(w.window->Client().Port(), 14112);
    }
    {
        // A port that is no number is refused and reported; the default stays.
        StartedWindow w({"-P", "word"});
        EXPECT_EQ(w.window->Client().Port(), 14112);
        ASSERT_EQ(w.reports.size(), 1u);
        EXPECT_NE(w.reports[0].find("Port number is out of range"), std::string::npos);
    }
}

TEST_F(HalvaneWindowTest, DrawingSlotsReplaceTheRegionsWithOneRedEllipseAndWriteTheIni)
{
    const std::int32_t id = Seed(NumberedImage(64, 64));
    Start();
    Form().dspSx->setValue(120);
    Form().dspSy->setValue(130);
    Form().dspSr->setValue(100.5);
    Form().dsbDipCx->setValue(10.5);
    Form().dsbDipCy->setValue(20);
    Form().dsbDipR->setValue(3);
    Form().sbMaskCx->setValue(30);
    Form().sbMaskCy->setValue(40);
    Form().sbMaskRx->setValue(128);
    Form().sbMaskRy->setValue(100);
    struct Case
    {
        QPushButton* button;
        float cx, cy, w, h;
        bool movable;
    };
    const Case cases[] = {{Form().pushButton_6, 120, 130, 202, 202, false},
                          {Form().pushButton_10, 10.5f, 20, 7, 7, false},
                          {Form().pushButton_4, 30, 40, 257, 201, true}};
    ModalWatcher watcher;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.button->text().toStdString());
        k.button->click();
        const standin::Window win = Viewer().GetWindow(id);
        ASSERT_EQ(win.regions.size(), 1u);
        const standin::Region& r = win.regions[0];
        EXPECT_EQ(r.type, "ELLIPSE");
        EXPECT_EQ(r.cx, k.cx);
        EXPECT_EQ(r.cy, k.cy);
        EXPECT_EQ(r.w, k.w);
        EXPECT_EQ(r.h, k.h);
        EXPECT_EQ(r.isMovable, k.movable);
        EXPECT_EQ(r.r, 255);
        EXPECT_EQ(r.g, 0);
        EXPECT_EQ(r.b, 0);
        EXPECT_EQ(Viewer().Commands().back(), "Update");
    }
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    // The form went into the ini file before the first drawing.
    LwQBarnFile doc(IniPath(), "r");
    RfaParameters saved;
    saved.Serialize(doc, "ini");
    EXPECT_EQ(saved.Sr_, 100.5);
    EXPECT_EQ(saved.MaskRy_, 100);
}

TEST_F(HalvaneWindowTest, MoveToCenterOpensTheShiftedImageWithKeysLogAndCircles)
{
    const LwFloatMatrix image = NumberedImage(256, 240);
    Seed(image);
    Start();
    Form().dspSx->setValue(100);
    Form().dspSy->setValue(110);
    Form().dspSr->setValue(100);
    Form().spMargin->setValue(10);
    ModalWatcher watcher;
    Viewer().ClearRequests();
    Form().pushButton_7->click();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();

    const standin::Window out = Newest();
    ASSERT_EQ(out.image.ColSize, 256);
    ASSERT_EQ(out.image.RowSize, 240);
    // Centre (128, 120): shift by (28, 10) with wrap-around.
    int wrong = 0;
    for (int r = 0; r < 240; ++r)
        for (int c = 0; c < 256; ++c)
            if (out.image((c + 28) % 256, (r + 10) % 240) != image(c, r)) ++wrong;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(out.keyDouble.at("E"), (std::vector<double>{12.5, -1}));
    EXPECT_EQ(out.keyString.at("note"), std::vector<std::string>{"a<b"});
    ASSERT_EQ(out.keyString.at("log").size(), 2u);
    EXPECT_EQ(out.keyString.at("log")[0], "older");
    EXPECT_EQ(out.keyString.at("log")[1],
              LogText("<func><name>MoveToCenter</name>\n" + Item("Sx", "100") + Item("Sy", "110") + "</func>\n"));
    ASSERT_EQ(out.regions.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(out.regions[i].cx, 128);
        EXPECT_EQ(out.regions[i].cy, 120);
        EXPECT_FALSE(out.regions[i].isMovable);
    }
    EXPECT_EQ(out.regions[0].w, 201);
    EXPECT_EQ(out.regions[1].w, 181);
    const std::vector<std::string> expected = {
        "WindowGetFocusedID", "FIImageGetBySharedMemory", "ImageKeyDoubleGet", "ImageKeyStringGet",
        "ImageNewWindow",     "FIImageSetBySharedMemory", "ImageKeyDoubleSet", "ImageKeyStringSet",
        "RegionAdd",          "RegionAdd",                "Update"};
    EXPECT_EQ(Viewer().Commands(), expected);
}

TEST_F(HalvaneWindowTest, MasksOpenTheMaskedImageAndKeepNaNPixels)
{
    LwFloatMatrix image = NumberedImage(300, 280);
    image(5, 5) = std::numeric_limits<float>::quiet_NaN();
    const std::int32_t source = Seed(image);
    Start();
    ModalWatcher watcher;

    Form().pushButton_9->click();  // dip at (166, 150), radius 10 (the defaults)
    standin::Window out = Newest();
    RfaParameters p;
    LwFloatMatrix expected = image;
    p.ApplyDipMask(expected);
    EXPECT_TRUE(SameImage(out.image, expected));
    EXPECT_EQ(out.image(176, 150), 0);
    EXPECT_TRUE(std::isnan(out.image(5, 5)));
    EXPECT_EQ(out.keyString.at("log")[1],
              LogText("<func><name>MaskMcpDip</name>\n" + Item("CenterX", "166") + Item("CenterY", "150") +
                      Item("Radius", "10") + "</func>\n"));

    Viewer().SetFocused(source);
    Form().sbMaskRx->setValue(100);
    Form().pushButton_11->click();
    out = Newest();
    p.MaskRx_ = 100;
    expected = image;
    p.ApplyOutsideMask(expected);
    EXPECT_TRUE(SameImage(out.image, expected));
    EXPECT_EQ(out.image(10, 150), 0);
    EXPECT_EQ(out.keyString.at("log")[1],
              LogText("<func><name>MaskOutside</name>\n" + Item("CenterX", "150") + Item("CenterY", "150") +
                      Item("RadiusOfX", "100") + Item("RadiusOfY", "128") + "</func>\n"));
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();

    // A focus on no image window is refused before the image is asked for.
    const auto windows = Viewer().WindowIds().size();
    Viewer().SetFocused(999);
    Viewer().ClearRequests();
    Form().pushButton_9->click();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Please select image window");
    EXPECT_EQ(Viewer().Commands(), (std::vector<std::string>{"WindowGetFocusedID", "GetIsModeImage"}));
    EXPECT_EQ(Viewer().WindowIds().size(), windows);
}

TEST_F(HalvaneWindowTest, UpdateMaskReadsTheSingleRegionBack)
{
    const std::int32_t id = Seed(NumberedImage(64, 64));
    Start();
    ModalWatcher watcher;
    LwPluginFuncZyvra& client = started_->window->Client();

    Form().pushButton_12->click();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Please make singe region for mask");
    EXPECT_EQ(GetRfaParameters().MaskRx_, 128);

    client.RegionAdd(id, "ELLIPSE", 140, 120, 257, 201, LwColorRgb{255, 0, 0}, true);
    Form().pushButton_12->click();
    EXPECT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(GetRfaParameters().MaskCx_, 140);
    EXPECT_EQ(GetRfaParameters().MaskCy_, 120);
    EXPECT_EQ(GetRfaParameters().MaskRx_, 128);
    EXPECT_EQ(GetRfaParameters().MaskRy_, 100);
    EXPECT_EQ(Form().sbMaskCx->value(), 140);
    EXPECT_EQ(Form().sbMaskRy->value(), 100);

    client.RegionAdd(id, "ELLIPSE", 1, 2, 3, 4, LwColorRgb{255, 0, 0}, true);
    Form().pushButton_12->click();
    ASSERT_EQ(watcher.boxes.size(), 2u);
    EXPECT_EQ(watcher.boxes[1].text, "Please make singe region for mask");
    EXPECT_EQ(GetRfaParameters().MaskCx_, 140);

    // No focused window is an error, not an empty mask.
    Viewer().SetFocused(-1);
    Form().pushButton_12->click();
    ASSERT_EQ(watcher.boxes.size(), 3u);
    EXPECT_EQ(watcher.boxes[2].text, "Please select image window");
    EXPECT_EQ(GetRfaParameters().MaskRx_, 128);
}

TEST_F(HalvaneWindowTest, ParameterFilesAreSavedAndLoadedWithoutTheIni)
{
    Start();
    ModalWatcher watcher;
    const QString folder = QDir::currentPath() + "/params";
    QDir().mkpath(folder);
    const QString file = folder + "/set1.rfa_bg";

    // Cancelled: nothing written.
    watcher.files = {QString()};
    started_->window->findChild<QAction*>("actionSave_Parameters")->trigger();
    EXPECT_EQ(watcher.fileDialogs, 1);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());

    Form().dspSr->setValue(77.5);
    Form().spSizel->setValue(8);
    watcher.files = {file};
    started_->window->findChild<QAction*>("actionSave_Parameters")->trigger();
    ASSERT_TRUE(QFile::exists(file)) << watcher.Texts();
    EXPECT_FALSE(QFile::exists(IniPath()));
    QFile remembered("filepath.ini");
    ASSERT_TRUE(remembered.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(remembered.readAll()), folder);
    {
        LwQBarnFile doc(file, "r");
        RfaParameters saved;
        ASSERT_TRUE(saved.Serialize(doc, "ini"));
        EXPECT_EQ(saved.Sr_, 77.5);
        EXPECT_EQ(saved.Size_l_, 8);
    }

    // A file holding one key changes that widget only; unsaved edits of
    // other widgets give way to the record.
    const QString partial = folder + "/partial.rfa_bg";
    {
        QFile out(partial);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("<ini><Sr_>120</Sr_>\n</ini>\n");
    }
    Form().dspSx->setValue(11);
    watcher.files = {QString()};
    started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
    EXPECT_EQ(Form().dspSx->value(), 11);  // cancelled: the form keeps its edits
    watcher.files = {partial};
    started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
    EXPECT_EQ(Form().dspSr->value(), 120);
    EXPECT_EQ(Form().spSizel->value(), 8);
    EXPECT_EQ(Form().dspSx->value(), 100);
    EXPECT_FALSE(QFile::exists(IniPath()));
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();

    // An unreadable file: the reader's error, the record unchanged.
    watcher.files = {folder + "/missing.rfa_bg"};
    started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text.rfind("Cannot open:", 0), 0u) << watcher.boxes[0].text;
    EXPECT_EQ(GetRfaParameters().Sr_, 120);
}

TEST_F(HalvaneWindowTest, IniFileIsReadAtStartAndAnUnwritableOneDoesNotStopOperations)
{
    RfaParameters stored;
    stored.Sr_ = 90;
    stored.McpDipR_ = 4;
    stored.SaveIni();
    const std::int32_t id = Seed(NumberedImage(64, 64));
    Start();
    EXPECT_EQ(Form().dspSr->value(), 90);
    EXPECT_EQ(Form().dsbDipR->value(), 4);

    QFile::remove(IniPath());
    ASSERT_TRUE(QDir().mkdir(IniPath()));
    ModalWatcher watcher;
    Form().pushButton_6->click();
    Form().pushButton_6->click();
    // Shown once, and both drawings were made.
    ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[0].text, "FILE CANNOT WRITE:" + IniPath().toStdString());
    int updates = 0;
    for (const std::string& c : Viewer().Commands()) updates += c == "Update";
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(Viewer().GetWindow(id).regions.size(), 1u);
}

TEST_F(HalvaneWindowTest, AnOperationKeepsTheParametersItStartedWith)
{
    Seed(NumberedImage(64, 64));
    Start();
    Form().dspSx->setValue(32);
    Form().dspSy->setValue(32);
    standin::Faults faults;
    faults.delayMs = 300;
    Viewer().SetFaults(faults);
    ModalWatcher watcher;
    // While the shift waits for the viewer, the form changes and another
    // slot copies it into the record (its own request is refused).
    QTimer::singleShot(100, [this] {
        Form().dspSx->setValue(10);
        Form().pushButton_6->click();
    });
    Form().pushButton_7->click();
    Viewer().SetFaults(standin::Faults());
    EXPECT_EQ(GetRfaParameters().Sx_, 10);
    ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[0].text.rfind("SYSTEM ERROR:Function is doublly called", 0), 0u);
    const standin::Window out = Newest();
    EXPECT_EQ(out.keyString.at("log").back(),
              LogText("<func><name>MoveToCenter</name>\n" + Item("Sx", "32") + Item("Sy", "32") + "</func>\n"));
    EXPECT_EQ(out.image(0, 0), NumberedImage(64, 64)(0, 0));  // no shift
}

TEST_F(HalvaneWindowTest, CancelClosesTheWindow)
{
    Start();
    EXPECT_TRUE(started_->window->isVisible());
    Form().pushButton_3->click();
    EXPECT_FALSE(started_->window->isVisible());
}

}  // namespace
