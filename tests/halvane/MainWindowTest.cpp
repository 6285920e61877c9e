// The main window against the stand-in viewer (on a thread of its own):
// start-up and its command line, the menu file, running on without a viewer,
// the drawing slots' regions, move to centre and the masks with their new
// windows, keys and logs, the mask read back from a region, the parameter
// files of the File menu, and the ini file written before each operation.
#include "core/LwBarnXml.h"
#include "core/LwQBarnFile.h"
#include "core/LwWaitObserver.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "ErrorText.h"
#include "HalvaneTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QTcpServer>
#include <QTest>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace halvanetest;

std::string ProgramName()
{
    return QFileInfo(ProgramPath()).fileName().toStdString();
}

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
        if (args.empty())
            args = {"-P", port_};
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
    EXPECT_EQ(w.reports[0].rfind("The menu file through which the image viewer lists this program cannot be "
                                 "written\nCannot File Open ",
                                 0),
              0u)
        << w.reports[0];
    EXPECT_FALSE(w.window->Client().IsConnected());
    EXPECT_TRUE(w.window->isVisible());
    EXPECT_EQ(w.Form().dspSr->value(), 100);

    ModalWatcher watcher;
    w.Form().pushButton_6->click();
    ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[0].title, "ERROR");
    EXPECT_EQ(watcher.boxes[0].text.rfind(
                  "The image viewer is not reachable (port " + freePort + ")\nSocket is not active", 0),
              0u)
        << watcher.boxes[0].text;
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
        // A port that is no number is refused and reported as such; the
        // default stays.
        StartedWindow w({"-P", "word"});
        EXPECT_EQ(w.window->Client().Port(), 14112);
        ASSERT_EQ(w.reports.size(), 1u);
        EXPECT_EQ(w.reports[0].rfind("Port number is not a number: word/", 0), 0u) << w.reports[0];
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
            if (out.image((c + 28) % 256, (r + 10) % 240) != image(c, r))
                ++wrong;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(out.keyDouble.at("E"), (std::vector<double>{12.5, -1}));
    EXPECT_EQ(out.keyString.at("note"), std::vector<std::string>{"a<b"});
    ASSERT_EQ(out.keyString.at("log").size(), 2u);
    EXPECT_EQ(out.keyString.at("log")[0], "older");
    EXPECT_EQ(out.keyString.at("log")[1], LogText("<func><name>MoveToCenter</name>\n" + Item("Sx", "100") +
                                                  Item("Sy", "110") + "</func>\n"));
    ASSERT_EQ(out.regions.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(out.regions[i].cx, 128);
        EXPECT_EQ(out.regions[i].cy, 120);
        EXPECT_FALSE(out.regions[i].isMovable);
    }
    EXPECT_EQ(out.regions[0].w, 201);
    EXPECT_EQ(out.regions[1].w, 181);
    const std::vector<std::string> expected = {"WindowGetFocusedID",
                                               "FIImageGetBySharedMemory",
                                               "ImageKeyDoubleGet",
                                               "ImageKeyStringGet",
                                               "ImageNewWindow",
                                               "FIImageSetBySharedMemory",
                                               "ImageKeyDoubleSet",
                                               "ImageKeyStringSet",
                                               "RegionAdd",
                                               "RegionAdd",
                                               "Update"};
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

    // A file holding one key changes that widget only; the other widgets
    // keep their unsaved edits.
    const QString partial = folder + "/partial.rfa_bg";
    {
        QFile out(partial);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("<ini><Sr_>120</Sr_>\n</ini>\n");
    }
    Form().dspSx->setValue(11);
    Form().cbBgAz->setChecked(false);
    watcher.files = {QString()};
    started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
    EXPECT_EQ(Form().dspSx->value(), 11);  // cancelled: the form keeps its edits
    watcher.files = {partial};
    started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
    EXPECT_EQ(Form().dspSr->value(), 120);
    EXPECT_EQ(Form().spSizel->value(), 8);
    EXPECT_EQ(Form().dspSx->value(), 11);
    EXPECT_FALSE(Form().cbBgAz->isChecked());
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
    SaveIni(stored);
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
    for (const std::string& c : Viewer().Commands())
        updates += c == "Update";
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
    watcher.files = {QDir::currentPath() + "/during.rfa_bg"};
    // While the shift waits for the viewer, the form changes and "Save
    // Parameters" copies it into the record.
    QTimer::singleShot(100, [this] {
        Form().dspSx->setValue(10);
        started_->window->findChild<QAction*>("actionSave_Parameters")->trigger();
    });
    Form().pushButton_7->click();
    Viewer().SetFaults(standin::Faults());
    EXPECT_EQ(GetRfaParameters().Sx_, 10);
    EXPECT_EQ(watcher.fileDialogs, 1);
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    const standin::Window out = Newest();
    EXPECT_EQ(out.keyString.at("log").back(), LogText("<func><name>MoveToCenter</name>\n" + Item("Sx", "32") +
                                                      Item("Sy", "32") + "</func>\n"));
    EXPECT_EQ(out.image(0, 0), NumberedImage(64, 64)(0, 0));  // no shift
}

// The state of the window seen while the viewer keeps an operation waiting.
struct Snapshot
{
    bool taken = false;
    std::vector<std::string> enabled;  // operation buttons, "Cancel", "Load Parameters"
    std::string progressLabel;  // of the visible progress dialog
    bool progressCancel = false;  // it offers Cancel
    std::string boxes;  // after a second button was clicked
};

TEST_F(HalvaneWindowTest, WhileAnyOperationRunsNoOtherStartsAndTheProgressShowsAtOnce)
{
    Seed(NumberedImage(64, 64));
    Start();
    Form().dspSr->setValue(20);
    Form().spMargin->setValue(2);
    Form().spSizel->setValue(1);
    ModalWatcher watcher;
    watcher.answerYes = false;
    standin::Faults slow;
    slow.delayMs = 60;
    struct Case
    {
        QPushButton* button;
        const char* progress;  // empty: none
        bool cancel;
    };
    const Case cases[] = {
        {Form().pushButton_6, "", false},
        {Form().pushButton_7, "1) Move to center", false},
        {Form().pushButton_5, "2) Remove BG", true},
        {Form().pushButton, "3) Remove Az. BG", false},
        {Form().pushButton_2, "Adjust Screen", true},
        {Form().pushButton_10, "", false},
        {Form().pushButton_4, "", false},
        {Form().pushButton_9, "4) Mask MCP dip", false},
        {Form().pushButton_11, "5) Mask Outside", false},
        {Form().pushButton_12, "", false},
        {Form().pushButton_8, "", false},
    };
    QAction* load = started_->window->findChild<QAction*>("actionLoad_parameters");
    for (const Case& k : cases) {
        SCOPED_TRACE(k.button->text().toStdString());
        Viewer().SetFocused(1);
        Viewer().SetFaults(slow);
        watcher.boxes.clear();
        Snapshot seen;
        QTimer::singleShot(20, [&] {
            seen.taken = true;
            for (QPushButton* b : Form().centralWidget->findChildren<QPushButton*>())
                if (b->isEnabled())
                    seen.enabled.push_back(b->text().toStdString());
            if (load->isEnabled())
                seen.enabled.push_back("Load Parameters");
            for (QProgressDialog* d : started_->window->findChildren<QProgressDialog*>())
                if (d->isVisible()) {
                    seen.progressLabel = d->labelText().toStdString();
                    seen.progressCancel = d->findChild<QPushButton*>() != nullptr;
                }
            // A second operation asked for meanwhile does not start.
            Form().pushButton_6->click();
            Form().pushButton_3->click();
            seen.boxes = watcher.Texts();
        });
        k.button->click();
        Viewer().SetFaults(standin::Faults());
        ASSERT_TRUE(seen.taken);
        EXPECT_TRUE(seen.enabled.empty()) << seen.enabled.front();
        EXPECT_EQ(seen.progressLabel, k.progress);
        EXPECT_EQ(seen.progressCancel, k.cancel);
        EXPECT_EQ(seen.boxes, "");
        EXPECT_TRUE(started_->window->isVisible());
        // Every button is back afterwards.
        for (QPushButton* b : Form().centralWidget->findChildren<QPushButton*>())
            EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
        EXPECT_TRUE(load->isEnabled());
    }
}

TEST_F(HalvaneWindowTest, CancelClosesTheWindow)
{
    Start();
    EXPECT_TRUE(started_->window->isVisible());
    Form().pushButton_3->click();
    EXPECT_FALSE(started_->window->isVisible());
}

TEST_F(HalvaneWindowTest, UpdateMaskShowsEveryRegionTheFormCanHoldAndRefusesOthersInWords)
{
    const std::int32_t id = Seed(NumberedImage(64, 64));
    Start();
    ModalWatcher watcher;
    LwPluginFuncZyvra& client = started_->window->Client();
    // An ellipse reaching far beyond the image, its centre left of it.
    client.RegionAdd(id, "ELLIPSE", -40, 20000, 30001, 9, LwColorRgb{255, 0, 0}, true);
    Form().pushButton_12->click();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    EXPECT_EQ(Form().sbMaskCx->value(), -40);
    EXPECT_EQ(Form().sbMaskCy->value(), 20000);
    EXPECT_EQ(Form().sbMaskRx->value(), 15000);
    EXPECT_EQ(Form().sbMaskRy->value(), 4);
    EXPECT_EQ(GetRfaParameters().MaskCy_, 20000);

    // A centre beyond any image is refused, the form and record unchanged.
    client.RegionClear(id);
    client.RegionAdd(id, "ELLIPSE", 3e9f, 5, 11, 11, LwColorRgb{255, 0, 0}, true);
    Form().pushButton_12->click();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text.rfind("Update Mask found a value the form cannot show", 0), 0u)
        << watcher.boxes[0].text;
    EXPECT_NE(watcher.boxes[0].text.find("\"MaskCx_\" = 3000000000"), std::string::npos)
        << watcher.boxes[0].text;
    EXPECT_EQ(Form().sbMaskCx->value(), -40);
    EXPECT_EQ(GetRfaParameters().MaskCx_, -40);
    EXPECT_EQ(GetRfaParameters().MaskRx_, 15000);
}

TEST_F(HalvaneWindowTest, LoadingAFileThatIsNoParameterFileIsRefusedAndKeepsTheEdits)
{
    Start();
    ModalWatcher watcher;
    const QString folder = QDir::currentPath() + "/bad";
    QDir().mkpath(folder);
    QByteArray noise;
    std::uint32_t x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1664525u + 1013904223u;
        noise.append(static_cast<char>(x >> 24));
    }
    struct Case
    {
        const char* name;
        QByteArray text;
        std::string reason;  // what the box says beside the file's name
    };
    const Case cases[] = {
        {"noise", noise, ""},
        {"empty", "", "it holds no rack \"ini\""},
        {"other", "<series><Sr_>120</Sr_>\n</series>\n", "it holds no rack \"ini\""},
        {"foreign", "<ini><Energy>5</Energy>\n</ini>\n", "its rack \"ini\" holds none of the parameters"},
        {"cut", "<ini><Sr_>120</Sr_>\n<Sx_>5", "it is cut short"},
        {"cutintag", "<ini><Sr_>120</Sr_>\n</S", "Illigal Tag Structure"},
        {"abc", "<ini><Sr_>120</Sr_>\n<Sx_>abc</Sx_>\n</ini>\n",
         "\"Sx_\" holds \"abc\", which is not a finite"},
        {"nan", "<ini><Sr_>nan</Sr_>\n</ini>\n", "\"Sr_\" holds \"nan\""},
        {"inf", "<ini><Sr_>inf</Sr_>\n</ini>\n", "\"Sr_\" holds \"inf\""},
        {"huge", "<ini><Sr_>1e999</Sr_>\n</ini>\n", "\"Sr_\" holds \"1e999\""},
        {"tail", "<ini><Sr_>12px</Sr_>\n</ini>\n", "\"Sr_\" holds \"12px\""},
        {"int", "<ini><SMargin_>2.5</SMargin_>\n</ini>\n",
         "\"SMargin_\" holds \"2.5\", which is not a whole"},
        {"flag", "<ini><IsBgSh_>yes</IsBgSh_>\n</ini>\n", "\"IsBgSh_\" holds \"yes\", which is neither"},
        {"range", "<ini><Sr_>5e9</Sr_>\n</ini>\n", "\"Sr_\" = 5000000000 lies outside the form's range 0 to"},
    };
    // Every file is there before the first dialog lists the folder.
    auto write = [](const QString& file, const QByteArray& text) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(text) == text.size();
    };
    for (const Case& k : cases)
        ASSERT_TRUE(write(folder + "/" + k.name + ".rfa_bg", k.text));
    const QString good = folder + "/good.rfa_bg";
    ASSERT_TRUE(
        write(good, "<ini><Sr_> 1500.5 </Sr_>\n<SMargin_>150</SMargin_>\n<IsBgSh_>true</IsBgSh_>\n</ini>\n"));
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const QString file = folder + "/" + k.name + ".rfa_bg";
        // Unsaved edits in the form.
        Form().dspSx->setValue(11);
        Form().dspSr->setValue(33);
        Form().cbBgSh->setChecked(false);
        const RfaParameters before = GetRfaParameters();
        watcher.boxes.clear();
        watcher.files = {file};
        started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
        ASSERT_EQ(watcher.boxes.size(), 1u);
        const std::string& text = watcher.boxes[0].text;
        EXPECT_EQ(watcher.boxes[0].title, "ERROR");
        EXPECT_EQ(text.rfind("The parameter file " + file.toStdString() + " was not loaded: ", 0), 0u)
            << text;
        EXPECT_NE(text.find(k.reason), std::string::npos) << text;
        EXPECT_EQ(Form().dspSx->value(), 11);
        EXPECT_EQ(Form().dspSr->value(), 33);
        EXPECT_FALSE(Form().cbBgSh->isChecked());
        EXPECT_EQ(GetRfaParameters().Sr_, before.Sr_);
        EXPECT_EQ(GetRfaParameters().Sx_, before.Sx_);
        EXPECT_EQ(GetRfaParameters().SMargin_, before.SMargin_);
    }
    // Blanks around a value and a partial file are still a parameter file.
    watcher.boxes.clear();
    watcher.files = {good};
    started_->window->findChild<QAction*>("actionLoad_parameters")->trigger();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    EXPECT_EQ(Form().dspSr->value(), 1500.5);
    EXPECT_TRUE(Form().cbBgSh->isChecked());
    EXPECT_EQ(GetRfaParameters().SMargin_, 150);
}

TEST_F(HalvaneWindowTest, AnIniFileKeepsEveryUsableValueAndIsNotOverwrittenUnseen)
{
    struct Case
    {
        const char* name;
        QByteArray text;
        std::vector<std::string> said;  // what the box says, each in turn
        double sx, sy, sr;  // the form after the start
        int degree;
        bool kept;  // a copy of the file is kept aside
    };
    const std::string ini = IniPath().toStdString();
    const Case cases[] = {
        // Written when the degree box still went to 99.
        {"older form",
         "<ini><Sx_>121.5</Sx_>\n<Sy_>133.5</Sy_>\n<Sr_>96</Sr_>\n<Size_l_>20</Size_l_>\n</ini>\n",
         {"The settings file " + ini + " holds values the form cannot take; its other values are shown.",
          "\"Size_l_\" = 20 lies outside the form's range 0 to 14: 14 is taken instead."},
         121.5,
         133.5,
         96,
         14,
         false},
        {"negative",
         "<ini><Sx_>121.5</Sx_>\n<Sr_>-3</Sr_>\n<Size_l_>-2</Size_l_>\n</ini>\n",
         {"The settings file " + ini,
          "\"Sr_\" = -3 lies outside the form's range 0 to 1073741824: 0 is taken",
          "\"Size_l_\" = -2 lies outside the form's range 0 to 14: 0 is taken"},
         121.5,
         100,
         0,
         0,
         false},
        {"text",
         "<ini><Sr_>90</Sr_>\n<Sx_>abc</Sx_>\n</ini>\n",
         {"The settings file " + ini,
          "\"Sx_\" holds \"abc\", which is not a finite number: the default is taken instead."},
         100,
         100,
         90,
         5,
         false},
        {"cut short",
         "<ini><Sr_>90</Sr_>\n<Sx_>5",
         {"The parameter file " + ini + " was not loaded: it is cut short",
          "The default parameters are shown.", "The file is kept as " + ini + ".bak."},
         100,
         100,
         100,
         5,
         true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        GetRfaParameters() = RfaParameters();
        QFile::remove(IniPath() + ".bak");
        {
            QFile out(IniPath());
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(k.text);
        }
        ModalWatcher watcher;
        Start();
        ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
        std::size_t at = 0;
        for (const std::string& part : k.said) {
            at = watcher.boxes[0].text.find(part, at);
            EXPECT_NE(at, std::string::npos) << part << "\n in: " << watcher.boxes[0].text;
        }
        EXPECT_EQ(Form().dspSx->value(), k.sx);
        EXPECT_EQ(Form().dspSy->value(), k.sy);
        EXPECT_EQ(Form().dspSr->value(), k.sr);
        EXPECT_EQ(Form().spSizel->value(), k.degree);
        EXPECT_EQ(QFile::exists(IniPath() + ".bak"), k.kept);
        if (k.kept) {
            QFile copy(IniPath() + ".bak");
            ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
            EXPECT_EQ(copy.readAll(), k.text);
        }
        // The start wrote nothing; the first operation writes what the form
        // shows.
        {
            QFile file(IniPath());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), k.text);
        }
        Form().pushButton_6->click();
        LwQBarnFile doc(IniPath(), "r");
        RfaParameters written;
        ASSERT_TRUE(written.Serialize(doc, "ini"));
        EXPECT_EQ(written.Sx_, k.sx);
        EXPECT_EQ(written.Sy_, k.sy);
        EXPECT_EQ(written.Sr_, k.sr);
        EXPECT_EQ(written.Size_l_, k.degree);
        started_.reset();
    }
    QFile::remove(IniPath() + ".bak");
}

TEST_F(HalvaneWindowTest, SqueezedBelowItsMinimumTheWindowTakesItBack)
{
    Start();
    MainWindow& w = *started_->window;
    // As a window manager that ignores the minimum size does.
    w.windowHandle()->resize(300, 300);
    Spin(100);
    EXPECT_GE(w.width(), w.minimumSizeHint().width());
    EXPECT_GE(w.height(), w.minimumSizeHint().height());
    int checked = 0;
    for (QWidget* c : Form().centralWidget->findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(c) && !qobject_cast<QAbstractButton*>(c) &&
            !qobject_cast<QAbstractSpinBox*>(c))
            continue;
        SCOPED_TRACE(c->objectName().toStdString());
        ++checked;
        EXPECT_GE(c->width(), c->minimumSizeHint().width());
        EXPECT_GE(c->height(), c->minimumSizeHint().height());
    }
    EXPECT_GE(checked, 50);
}

// ---- Backgrounds, screen adjustment, checked operations, series --------

TEST_F(HalvaneWindowTest, BackgroundButtonsOpenBackgroundAndRatioWithTheirLogs)
{
    const LwFloatMatrix image = Screen();
    const std::int32_t source = Seed(image);
    Start();
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(2);
    ModalWatcher watcher;
    Viewer().ClearRequests();
    Form().pushButton_5->click();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    const auto ids = Viewer().WindowIds();
    ASSERT_EQ(ids.size(), 3u);
    const standin::Window background = Viewer().GetWindow(ids[1]);
    const standin::Window ratio = Viewer().GetWindow(ids[2]);
    RfaParameters p;
    p.Sr_ = 40;
    p.SMargin_ = 5;
    p.Size_l_ = 2;
    EXPECT_TRUE(SameImage(background.image, p.FitBackgroundSh(image)));
    EXPECT_NEAR(ratio.image(64, 64) * background.image(64, 64), image(64, 64), 1e-3);
    EXPECT_EQ(ratio.image(2, 2), 0);
    const std::string record = "<func><name>RFA_background</name>\n" + Item("ScreenRadius", "40") +
                               Item("ScreenMargin", "5") + Item("MappingIsGnomonic", "false") +
                               Item("MappingIsAz_", "false") + Item("MappingIsAzM2_", "true") +
                               Item("MappingAzThetaMax_deg", "90") + Item("Size_l", "2") +
                               Item("UseAllSphere", "false") + "</func>\n";
    for (const standin::Window* w : {&background, &ratio}) {
        EXPECT_EQ(w->keyString.at("log"), (std::vector<std::string>{"older", LogText(record)}));
        EXPECT_EQ(w->keyDouble.at("E"), (std::vector<double>{12.5, -1}));
    }
    const std::vector<std::string> expected = {"WindowGetFocusedID",
                                               "FIImageGetBySharedMemory",
                                               "ImageKeyDoubleGet",
                                               "ImageKeyStringGet",
                                               "ImageNewWindow",
                                               "FIImageSetBySharedMemory",
                                               "ImageKeyDoubleSet",
                                               "ImageKeyStringSet",
                                               "ImageNewWindow",
                                               "FIImageSetBySharedMemory",
                                               "ImageKeyDoubleSet",
                                               "ImageKeyStringSet",
                                               "Update"};
    EXPECT_EQ(Viewer().Commands(), expected);
    EXPECT_TRUE(Form().pushButton_5->isEnabled());

    // The azimuthal background around the screen centre: ratio 1 on the rim.
    Viewer().SetFocused(source);
    Form().dsbAx->setValue(64);
    Form().dsbAy->setValue(64);
    Form().pushButton->click();
    const standin::Window azRatio = Newest();
    EXPECT_NEAR(azRatio.image(1, 64), 1.0f, 1e-6);
    EXPECT_EQ(azRatio.keyString.at("log").back(),
              LogText("<func><name>AverageAlong</name>\n" + Item("CenterX", "64") + Item("CenterY", "64") +
                      "</func>\n"));

    // A fit radius of 0 is refused before anything is asked of the viewer.
    Form().dspSr->setValue(5);
    Viewer().ClearRequests();
    Form().pushButton_5->click();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Screen R minus Screen Margin must be greater than 0");
    EXPECT_TRUE(Viewer().Commands().empty());
}

TEST_F(HalvaneWindowTest, AdjustScreenFindsTheEdgeAndShowsItInTheForm)
{
    const std::int32_t source = Seed(Screen());
    Start();
    Form().dsbThres->setValue(0.5);
    Form().cbShowTmp->setChecked(true);
    ModalWatcher watcher;
    Form().pushButton_2->click();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    RfaParameters p;
    p.AdjThres_ = 0.5L;
    const RfaParameters::ScreenEdge edge = p.FindScreenEdge(Screen());
    ASSERT_TRUE(edge.found);
    EXPECT_NEAR(edge.x, 64, 1);
    EXPECT_NEAR(edge.radius, 40, 2);
    EXPECT_EQ(Form().dspSx->value(), edge.x);
    EXPECT_EQ(Form().dspSy->value(), edge.y);
    EXPECT_EQ(Form().dspSr->value(), edge.radius);
    const standin::Window src = Viewer().GetWindow(source);
    ASSERT_EQ(src.regions.size(), 1u);
    EXPECT_TRUE(src.regions[0].isMovable);
    EXPECT_EQ(src.regions[0].w, 2 * edge.radius - 1);
    const standin::Window tmp = Newest();
    EXPECT_NE(tmp.id, source);
    EXPECT_EQ(tmp.regions.size(), 1u);
    EXPECT_TRUE(tmp.keyString.empty());

    // A flat image has no edge: reported, the form unchanged.
    LwFloatMatrix flat(64, 64);
    for (int i = 0; i < flat.ElementCount(); ++i)
        flat.Buffer()[i] = 3;
    Seed(flat);
    Form().dspSr->setValue(33);
    Form().pushButton_2->click();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Adjust Screen found no screen edge in the image");
    EXPECT_EQ(Form().dspSr->value(), 33);
    EXPECT_EQ(GetRfaParameters().Sr_, 33);
}

// With no window focused, every operation on the focused image says so in
// the same words, before it asks for an image.
TEST_F(HalvaneWindowTest, WithNoWindowFocusedEveryOperationAsksForAnImageWindow)
{
    Seed(Screen());
    Start();
    ModalWatcher watcher;
    Viewer().SetFocused(-1);
    const auto windows = Viewer().WindowIds();
    for (QPushButton* button :
         {Form().pushButton_7, Form().pushButton_5, Form().pushButton, Form().pushButton_2,
          Form().pushButton_9, Form().pushButton_11, Form().pushButton_8, Form().pushButton_12}) {
        SCOPED_TRACE(button->text().toStdString());
        watcher.boxes.clear();
        Viewer().ClearRequests();
        button->click();
        ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
        EXPECT_EQ(watcher.boxes[0].title, "ERROR");
        EXPECT_EQ(watcher.boxes[0].text, "Please select image window");
        const std::vector<std::string> commands = Viewer().Commands();
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands[0], "WindowGetFocusedID");
        for (const std::string& c : commands)
            EXPECT_TRUE(c == "WindowGetFocusedID" || c == "GetIsModeImage") << c;
    }
    EXPECT_EQ(Viewer().WindowIds(), windows);
}

// The window closed from its title bar while an operation runs (the
// system's close, which QWindow::close delivers as the window manager
// does) asks first: No lets the operation end with its windows, Yes stops
// it as its Cancel does and closes the window once it has.
TEST_F(HalvaneWindowTest, ClosingFromTheTitleBarDuringAnOperationAsksFirst)
{
    const std::int32_t source = Seed(Screen());
    Start();
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(2);
    const std::string question = "An operation is running. Stop it and close the window?";
    ModalWatcher watcher;
    standin::Faults slow;
    slow.delayMs = 30;
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        watcher.answerYes = yes;
        watcher.boxes.clear();
        Viewer().SetFocused(source);
        Viewer().SetFaults(slow);
        const auto windows = Viewer().WindowIds().size();
        bool closedWhileRunning = false;
        QTimer::singleShot(5, [&] {
            closedWhileRunning = !Form().pushButton_5->isEnabled();
            started_->window->windowHandle()->close();
        });
        Form().pushButton_5->click();
        Viewer().SetFaults(standin::Faults());
        ASSERT_TRUE(closedWhileRunning);
        ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
        EXPECT_EQ(watcher.boxes[0].text, question);
        EXPECT_EQ(started_->window->isVisible(), !yes);
        EXPECT_EQ(Viewer().WindowIds().size(), yes ? windows : windows + 2);
    }
}

// A button pressed from the keyboard has the focus again when its
// operation ends (disabling it moved the focus on), so that the next Space
// presses it again instead of ticking or unticking the widget after it.
TEST_F(HalvaneWindowTest, TheFocusGoesBackToThePressedButtonWhenTheOperationEnds)
{
    const std::int32_t source = Seed(Screen());
    Start();
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(2);
    ModalWatcher watcher;
    // Activates the main window, as the window manager does when the
    // progress dialog closes, and presses Space on its focus widget.
    auto space = [this] {
        QApplication::setActiveWindow(started_->window.get());
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(target, &release);
    };
    for (QPushButton* button : {Form().pushButton_5, Form().pushButton_7, Form().pushButton_2}) {
        SCOPED_TRACE(button->text().toStdString());
        QApplication::setActiveWindow(started_->window.get());
        button->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), button);
        const bool azimuthal = Form().cbBgAz->isChecked();
        const bool spherical = Form().cbBgSh->isChecked();
        for (int press = 0; press < 2; ++press) {
            Viewer().SetFocused(source);
            Viewer().ClearRequests();
            space();
            const std::vector<std::string> commands = Viewer().Commands();
            EXPECT_NE(std::find(commands.begin(), commands.end(), "FIImageGetBySharedMemory"),
                      commands.end());
            EXPECT_EQ(started_->window->focusWidget(), button);
        }
        EXPECT_EQ(Form().cbBgAz->isChecked(), azimuthal);
        EXPECT_EQ(Form().cbBgSh->isChecked(), spherical);
        EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    }
}

// Images on which the edge search cannot find a screen inside the image
// are refused in words; the record and the form keep their values.
TEST_F(HalvaneWindowTest, AdjustScreenSaysWhenTheImageIsTooSmallOrTooNarrow)
{
    Start();
    Form().dspSx->setValue(60);
    ModalWatcher watcher;
    struct Case
    {
        int cols, rows;
        const char* text;
    };
    const Case cases[] = {
        {16, 16, "The image (16 x 16 pixels) is too small for the edge search of Adjust Screen"},
        {2048, 64, "The image (2048 x 64 pixels) is too narrow for the edge search of Adjust Screen"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        // A centred screen whose radius is 0.4 of the shorter side.
        LwFloatMatrix image(k.cols, k.rows);
        const double radius = 0.4 * std::min(k.cols, k.rows);
        for (int y = 0; y < k.rows; ++y)
            for (int x = 0; x < k.cols; ++x)
                image(x, y) = std::hypot(x - k.cols / 2.0, y - k.rows / 2.0) < radius ? 50.0f : 2.0f;
        const std::int32_t id = Seed(image);
        watcher.boxes.clear();
        Form().pushButton_2->click();
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].text.rfind(k.text, 0), 0u) << watcher.boxes[0].text;
        EXPECT_TRUE(Viewer().GetWindow(id).regions.empty());
        EXPECT_EQ(Form().dspSx->value(), 60);
        EXPECT_EQ(GetRfaParameters().Sx_, 60);
    }
}

TEST_F(HalvaneWindowTest, FitSettingsThatDoNotSuitTheImageAreNamedWithTheirRangeAndOpenNoWindow)
{
    Seed(Screen());  // 128 x 128
    Start();
    ModalWatcher watcher;
    struct Case
    {
        double sr;
        double angle;
        int degree;
        std::string error;
    };
    const Case cases[] = {
        {40, 0, 2, "Max angle = 0 is out of range: it must be greater than 0 and at most 100 degrees"},
        {80, 90, 2,
         "Screen R minus Screen Margin = 70 pixels reaches beyond the image of 128 x 128 pixels around its "
         "centre (64, 64): it must be less than 64"},
        {40, 90, 14,
         "Number of l = 14 is too high for this screen (Screen R minus Screen Margin = 30 pixels, Max angle "
         "= 90 "
         "degrees): the fit's equations are too ill-conditioned for the pixels with data; the highest degree "
         "that can be fitted here is "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        watcher.boxes.clear();
        Form().dspSr->setValue(k.sr);
        Form().spMargin->setValue(10);
        Form().dspMaxAngle->setValue(k.angle);
        Form().spSizel->setValue(k.degree);
        const std::size_t windows = Viewer().WindowIds().size();
        Form().pushButton_5->click();
        ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
        EXPECT_EQ(watcher.boxes[0].text.rfind(k.error, 0), 0u) << watcher.boxes[0].text;
        EXPECT_EQ(Viewer().WindowIds().size(), windows);
    }
}

// A text typed past a box's range is refused in words when an operation
// starts: nothing is asked of the viewer beyond the focused window, no
// window is made, and the box still shows the text.
TEST_F(HalvaneWindowTest, TextsTheBoxesCannotTakeAreRefusedInWordsAndNothingRuns)
{
    Seed(Screen());
    Start();
    ModalWatcher watcher;
    struct Case
    {
        QAbstractSpinBox* box;
        const char* typed;
        QPushButton* button;
        std::string error;
    };
    const Case cases[] = {
        {Form().spSizel, "20", Form().pushButton_5,
         "Number of l = 20 is out of range: it must be a whole number from 0 to 14"},
        {Form().dspMaxAngle, "120", Form().pushButton_8,
         "Max angle = 120 is out of range: it must be a number from 0 to 100 with at most 1 decimal"},
        {Form().sbMaskCy, "126.5", Form().pushButton_11,
         "Mask Cy = 126.5 is not a whole number: it must be a whole number from -1073741824 to 1073741824"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        const auto before = Viewer().WindowIds();
        watcher.boxes.clear();
        k.box->selectAll();
        QTest::keyClicks(k.box, k.typed);
        k.button->click();
        ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
        EXPECT_EQ(watcher.boxes[0].title, "ERROR");
        EXPECT_EQ(watcher.boxes[0].text, k.error);
        EXPECT_EQ(Viewer().WindowIds(), before);
        EXPECT_EQ(k.box->text(), k.typed);
        EXPECT_FALSE(QFile::exists(IniPath()));
        RfaParameters defaults;
        ExchangeWithUi(defaults, 0, Form());
    }
}

// The centres of the azimuthal average and of the masks are checked against
// the image as the screen centre of Move to center is.
TEST_F(HalvaneWindowTest, CentresFarFromTheImageAreRefusedWithTheirRangeAndOpenNoWindow)
{
    Seed(NumberedImage(64, 48));
    Start();
    ModalWatcher watcher;
    const std::string width =
        " is out of range: it must be from -32 to 96 (the image centre 32 plus or minus "
        "the image width)";
    const std::string height = " is out of range: it must be from -24 to 72 (the image centre 24 plus or "
                               "minus the image height)";
    struct Case
    {
        std::function<void()> set;
        QPushButton* button;
        std::string error;
    };
    const Case cases[] = {
        {[this] { Form().dsbAx->setValue(1e8); }, Form().pushButton, "Az. BG Cx = 1e+08" + width},
        {[this] { Form().sbMaskCy->setValue(1265); }, Form().pushButton_11, "Mask Cy = 1265" + height},
        {[this] { Form().dsbDipCx->setValue(96.5); }, Form().pushButton_9, "MCP dip Cx = 96.5" + width},
        // The checked steps check them too.
        {[this] {
             Form().dsbAy->setValue(500);
             Form().cbBgSh->setChecked(false);
         },
         Form().pushButton_8, "Az. BG Cy = 500" + height},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        RfaParameters fitting;
        fitting.Sx_ = 32;
        fitting.Sy_ = 24;
        fitting.Ax_ = fitting.Ay_ = 20;
        fitting.McpDipCx_ = fitting.McpDipCy_ = 20;
        fitting.MaskCx_ = fitting.MaskCy_ = 20;
        ExchangeWithUi(fitting, 0, Form());
        k.set();
        const auto before = Viewer().WindowIds();
        watcher.boxes.clear();
        k.button->click();
        ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
        EXPECT_EQ(watcher.boxes[0].text, k.error);
        EXPECT_EQ(Viewer().WindowIds(), before);
    }
}

// An image window whose begins are not 0 is processed as the same pixels
// from (0, 0) are: positions count from the image's first pixel, and every
// new window keeps the source's begins.
TEST_F(HalvaneWindowTest, ImagesWhoseBeginsAreNotZeroAreProcessedFromTheirFirstPixel)
{
    LwFloatMatrix shifted = Screen();
    shifted.ColBegin = -50;
    shifted.RowBegin = 30;
    const std::int32_t atZero = Seed(Screen());
    const std::int32_t moved = Seed(shifted);
    Start();
    Form().dsbThres->setValue(0.5);
    Form().dspSx->setValue(62);
    Form().dspSy->setValue(65);
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(2);
    Form().dsbAx->setValue(64);
    Form().dsbAy->setValue(64);
    ModalWatcher watcher;
    // The windows a click on `button` makes with `source` focused.
    auto made = [&](std::int32_t source, QPushButton* button) {
        Viewer().SetFocused(source);
        const auto before = Viewer().WindowIds();
        button->click();
        std::vector<standin::Window> windows;
        for (const std::int32_t id : Viewer().WindowIds())
            if (std::find(before.begin(), before.end(), id) == before.end())
                windows.push_back(Viewer().GetWindow(id));
        return windows;
    };
    for (QPushButton* button : {Form().pushButton_5, Form().pushButton_8, Form().pushButton,
                                Form().pushButton_7, Form().pushButton_9, Form().pushButton_11}) {
        SCOPED_TRACE(button->text().toStdString());
        const std::vector<standin::Window> expected = made(atZero, button);
        const std::vector<standin::Window> got = made(moved, button);
        EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            LwFloatMatrix back = got[i].image;
            EXPECT_EQ(back.ColBegin, -50);
            EXPECT_EQ(back.RowBegin, 30);
            back.ColBegin = 0;
            back.RowBegin = 0;
            EXPECT_TRUE(SameImage(back, expected[i].image));
        }
    }
    // Adjust Screen finds the screen drawn, counted from the first pixel,
    // and circles it there.
    RfaParameters p;
    p.AdjThres_ = 0.5L;
    const RfaParameters::ScreenEdge edge = p.FindScreenEdge(Screen());
    ASSERT_TRUE(edge.found);
    made(moved, Form().pushButton_2);
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    EXPECT_EQ(Form().dspSx->value(), edge.x);
    EXPECT_EQ(Form().dspSy->value(), edge.y);
    EXPECT_EQ(Form().dspSr->value(), edge.radius);
    const standin::Window source = Viewer().GetWindow(moved);
    ASSERT_EQ(source.regions.size(), 1u);
    EXPECT_EQ(source.regions[0].cx, edge.x);
    EXPECT_EQ(source.regions[0].cy, edge.y);
}

TEST_F(HalvaneWindowTest, InfinitePixelsAreTreatedAsPixelsWithoutDataAndCounted)
{
    // The screen with a block of +inf and a block of -inf on its face and a
    // NaN outside it: each operation sees them as pixels of 0, exactly as in
    // the image with those pixels set to 0, and says how many infinite
    // pixels there were.
    const float inf = std::numeric_limits<float>::infinity();
    LwFloatMatrix image = Screen();
    LwFloatMatrix zeroed = image;
    int count = 0;
    auto mark = [&](int x, int y, float value) {
        image(x, y) = value;
        zeroed(x, y) = 0;
        ++count;
    };
    for (int y = 50; y < 56; ++y)
        for (int x = 70; x < 76; ++x) {
            mark(x, y, inf);
            mark(x - 20, y + 20, -inf);
        }
    image(3, 5) = std::numeric_limits<float>::quiet_NaN();
    zeroed(3, 5) = 0;
    const std::int32_t source = Seed(image);
    Start();
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(2);
    Form().dsbAx->setValue(64);
    Form().dsbAy->setValue(64);
    Form().dsbThres->setValue(0.5);
    ModalWatcher watcher;
    RfaParameters p;
    p.Sr_ = 40;
    p.SMargin_ = 5;
    p.Size_l_ = 2;
    p.Ax_ = p.Ay_ = 64;
    p.AdjThres_ = 0.5L;
    const std::string counted =
        "<func><name>InfinitePixels</name>\n" + Item("Count", std::to_string(count)) + "</func>\n";

    struct Case
    {
        QPushButton* button;
        LwFloatMatrix background;
        std::string record;
    };
    const Case cases[] = {
        {Form().pushButton_5, p.FitBackgroundSh(zeroed), "<func><name>RFA_background</name>"},
        {Form().pushButton, p.AzimuthalBackground(zeroed), "<func><name>AverageAlong</name>"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.button->text().toStdString());
        Viewer().SetFocused(source);
        const std::size_t before = Viewer().WindowIds().size();
        k.button->click();
        EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
        const auto ids = Viewer().WindowIds();
        ASSERT_EQ(ids.size(), before + 2);
        const standin::Window background = Viewer().GetWindow(ids[before]);
        const standin::Window ratio = Viewer().GetWindow(ids[before + 1]);
        EXPECT_TRUE(SameImage(background.image, k.background));
        for (int i = 0; i < ratio.image.ElementCount(); ++i)
            ASSERT_TRUE(std::isfinite(ratio.image.Buffer()[i])) << i;
        EXPECT_EQ(ratio.image(72, 52), 0);
        EXPECT_EQ(ratio.image(52, 72), 0);
        const std::string log = ratio.keyString.at("log").back();
        EXPECT_NE(log.find(counted + k.record), std::string::npos) << log;
    }

    // Adjust Screen finds the screen of the zeroed image and says how many
    // pixels it ignored.
    const RfaParameters::ScreenEdge edge = p.FindScreenEdge(zeroed);
    ASSERT_TRUE(edge.found);
    EXPECT_NEAR(edge.x, 64, 1);
    EXPECT_NEAR(edge.y, 64, 1);
    EXPECT_NEAR(edge.radius, 40, 2);
    Viewer().SetFocused(source);
    Form().pushButton_2->click();
    ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[0].text,
              "Adjust Screen treated " + std::to_string(count) + " infinite pixels as pixels without data");
    EXPECT_EQ(Form().dspSx->value(), edge.x);
    EXPECT_EQ(Form().dspSy->value(), edge.y);
    EXPECT_EQ(Form().dspSr->value(), edge.radius);

    // An image without them (NaN pixels included) adds no record.
    LwFloatMatrix withNaN = Screen();
    withNaN(3, 5) = std::numeric_limits<float>::quiet_NaN();
    const std::int32_t clean = Seed(withNaN);
    Viewer().SetFocused(clean);
    Form().pushButton->click();
    EXPECT_EQ(Newest().keyString.at("log").back().find("InfinitePixels"), std::string::npos);
}

TEST_F(HalvaneWindowTest, AdjustScreenOnALargeScreenKeepsTheValuesItFound)
{
    // A screen of radius 1010 around (1030, 1025.5) on a 2048 x 2048 image:
    // centre and radius lie beyond a form that stops at 1000.
    constexpr int kSide = 2048;
    LwFloatMatrix image(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            image(x, y) =
                std::hypot(x - 1030.0, y - 1025.5) < 1010 ? static_cast<float>(50 + (x * 3 + y) % 11) : 2.0f;
    const std::int32_t source = Seed(image);
    Start();
    Form().dsbThres->setValue(0.5);
    ModalWatcher watcher;
    Form().pushButton_2->click();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    // The circle drawn on the image holds the values found (diameter
    // 2 R - 1); the form and the record hold the same.
    standin::Window src = Viewer().GetWindow(source);
    ASSERT_EQ(src.regions.size(), 1u);
    const double x = src.regions[0].cx, y = src.regions[0].cy, r = (src.regions[0].w + 1) / 2;
    EXPECT_NEAR(x, 1030, 2);
    EXPECT_NEAR(y, 1025.5, 2);
    EXPECT_NEAR(r, 1010, 3);
    EXPECT_EQ(Form().dspSx->value(), x);
    EXPECT_EQ(Form().dspSy->value(), y);
    EXPECT_EQ(Form().dspSr->value(), r);
    EXPECT_EQ(GetRfaParameters().Sx_, x);
    EXPECT_EQ(GetRfaParameters().Sr_, r);

    // The next operation draws and stores the values found, not a clamp.
    Form().pushButton_6->click();
    src = Viewer().GetWindow(source);
    ASSERT_EQ(src.regions.size(), 1u);
    EXPECT_EQ(src.regions[0].cx, x);
    EXPECT_EQ(src.regions[0].cy, y);
    EXPECT_EQ(src.regions[0].w, 2 * r + 1);
    LwQBarnFile doc(IniPath(), "r");
    RfaParameters saved;
    saved.Serialize(doc, "ini");
    EXPECT_EQ(saved.Sx_, x);
    EXPECT_EQ(saved.Sy_, y);
    EXPECT_EQ(saved.Sr_, r);
}

// Cancels the progress dialog of the running operation once its bar has
// moved past `after`.
class ProgressCanceller
{
public:
    explicit ProgressCanceller(int after)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, after] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(w))
                    if (progress->value() > after && !progress->wasCanceled()) {
                        seen = std::max(seen, progress->value());
                        progress->cancel();
                    }
        });
        timer_.start(0);
    }
    int seen = -1;  // the bar's value when cancelled

private:
    QTimer timer_;
};

TEST_F(HalvaneWindowTest, CancellingTheFitOfRemoveBgAdjustScreenOrApplyCheckedChangesNothing)
{
    const std::int32_t source = Seed(Screen());
    Start();
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(6);
    Form().dsbThres->setValue(0.5);
    Form().cbShowTmp->setChecked(true);
    // Apply checked: the steps around the fit too, so that a cancel must
    // also keep the shift and the masks from reaching the viewer.
    for (QCheckBox* box :
         {Form().cbMoveCenter, Form().cbBgSh, Form().cbBgAz, Form().cbMaskMcpDip, Form().cbMaskOutside})
        box->setChecked(true);
    Form().dspSx->setValue(64);
    Form().dspSy->setValue(64);
    ModalWatcher watcher;
    const auto windows = Viewer().WindowIds();
    for (QPushButton* button : {Form().pushButton_5, Form().pushButton_2, Form().pushButton_8}) {
        SCOPED_TRACE(button->text().toStdString());
        Viewer().SetFocused(source);
        ProgressCanceller canceller(2);
        button->click();
        EXPECT_GT(canceller.seen, 2);
        EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
        EXPECT_EQ(Viewer().WindowIds(), windows);
        const standin::Window src = Viewer().GetWindow(source);
        EXPECT_TRUE(src.regions.empty());
        EXPECT_EQ(src.keyString.at("log"), std::vector<std::string>{"older"});
        EXPECT_TRUE(SameImage(src.image, Screen()));
        EXPECT_EQ(GetRfaParameters().Sx_, 64);
        EXPECT_EQ(GetRfaParameters().Sy_, 64);
        EXPECT_EQ(GetRfaParameters().Sr_, 40);
        EXPECT_EQ(Form().dspSr->value(), 40);
        EXPECT_TRUE(button->isEnabled());
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(w)) {
            EXPECT_FALSE(progress->isVisible());
        }
}

TEST_F(HalvaneWindowTest, ApplyCheckedMakesOneImageWithOneLogOfTheCheckedSteps)
{
    LwFloatMatrix image = Screen();
    image(3, 3) = std::numeric_limits<float>::quiet_NaN();
    Seed(image);
    Start();
    Form().dspSx->setValue(60);
    Form().dspSy->setValue(66);
    Form().dspSr->setValue(40);
    Form().spMargin->setValue(5);
    Form().spSizel->setValue(2);
    Form().dsbAx->setValue(64);
    Form().dsbAy->setValue(64);
    Form().sbMaskCx->setValue(64);
    Form().sbMaskCy->setValue(64);
    Form().sbMaskRx->setValue(38);
    Form().sbMaskRy->setValue(38);
    Form().dsbDipCx->setValue(70);
    Form().dsbDipCy->setValue(60);
    Form().dsbDipR->setValue(3);
    for (QCheckBox* box :
         {Form().cbMoveCenter, Form().cbBgSh, Form().cbBgAz, Form().cbMaskMcpDip, Form().cbMaskOutside})
        box->setChecked(true);
    ModalWatcher watcher;
    Form().pushButton_8->click();
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
    standin::Window out = Newest();
    RfaParameters p = GetRfaParameters();
    LwFloatMatrix expected = image;
    expected(3, 3) = 0;
    LwProcessLog log;
    log.LogOpen(p.Version_);
    p.ApplyCheckedSteps(expected, log);
    EXPECT_TRUE(SameImage(out.image, expected));
    EXPECT_EQ(out.keyString.at("log"), (std::vector<std::string>{"older", log.Render()}));
    EXPECT_EQ(out.keyString.at("note"), std::vector<std::string>{"a<b"});

    // Nothing checked: the image as fetched, a log of name and version only.
    for (QCheckBox* box :
         {Form().cbMoveCenter, Form().cbBgSh, Form().cbBgAz, Form().cbMaskMcpDip, Form().cbMaskOutside})
        box->setChecked(false);
    Viewer().SetFocused(1);
    Form().pushButton_8->click();
    out = Newest();
    LwFloatMatrix fetched = image;
    fetched(3, 3) = 0;
    EXPECT_TRUE(SameImage(out.image, fetched));
    EXPECT_EQ(out.keyString.at("log").back(), LogText(""));
}

class SeriesTest : public HalvaneWindowTest
{
protected:
    // A series of `n` images in folder "in" of the run folder; the entries'
    // file names given by `name`.
    std::int32_t SeedSeries(int n, const std::function<std::string(int)>& name)
    {
        std::vector<standin::SeriesEntry> entries(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            LwFloatMatrix m(16, 16);
            for (int k = 0; k < m.ElementCount(); ++k)
                m.Buffer()[k] = static_cast<float>(1 + k + 100 * i);
            entries[static_cast<std::size_t>(i)].image = m;
            entries[static_cast<std::size_t>(i)].fileName = name(i);
            entries[static_cast<std::size_t>(i)].indexKeyDouble = {{"X", {1000.0 * i}}};
            entries[static_cast<std::size_t>(i)].indexKeyString = {{"tag", {"t" + std::to_string(i)}}};
        }
        return Viewer().AddSeriesWindow(entries, "in.xmlsrs");
    }
    QString In() { return QDir::currentPath() + "/in"; }
    QString Out() { return QDir::currentPath() + "/out"; }
    void SetUpSeries()
    {
        QDir().mkpath(In());
        QDir().mkpath(Out());
        Start();
        SetMaskOutsideOnly(Form());
        standin::Faults faults;
        faults.loadPolls = 2;
        Viewer().SetFaults(faults);
    }
    // The spherical-harmonics fit as one more step: a small one, which still
    // reports its progress within each image.
    void CheckTheFitToo()
    {
        Form().cbBgSh->setChecked(true);
        Form().dspSr->setValue(6);
        Form().spMargin->setValue(1);
        Form().spSizel->setValue(2);
    }
};

TEST_F(SeriesTest, EveryImageIsProcessedIntoANewSavedSeriesWithKeysAndLog)
{
    const std::int32_t source =
        SeedSeries(3, [this](int i) { return In().toStdString() + "/img_00" + std::to_string(i) + ".dat"; });
    SetUpSeries();
    ModalWatcher watcher;
    watcher.files = {Out() + "/_index.xmlsrs"};
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    ASSERT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[0].title, "Information");
    EXPECT_EQ(watcher.boxes[0].text, "Process All images?");
    const standin::Window out = Newest();
    ASSERT_TRUE(out.isSeries);
    EXPECT_EQ(out.seriesPath, (Out() + "/_index.xmlsrs").toStdString());
    ASSERT_EQ(out.entries.size(), 3u);
    EXPECT_EQ(out.renewCount, 3);
    const standin::Window in = Viewer().GetWindow(source);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const standin::SeriesEntry& e = out.entries[static_cast<std::size_t>(i)];
        EXPECT_TRUE(e.saved);
        EXPECT_EQ(e.fileName, "img_00" + std::to_string(i) + ".dat");
        LwFloatMatrix expected = in.entries[static_cast<std::size_t>(i)].image;
        GetRfaParameters().ApplyOutsideMask(expected);
        EXPECT_TRUE(SameImage(e.image, expected));
        EXPECT_EQ(e.indexKeyDouble.at("X"), std::vector<double>{1000.0 * i});
        ASSERT_EQ(e.indexKeyString.at("log").size(), 1u);
        EXPECT_NE(e.indexKeyString.at("log")[0].find("<name>MaskOutside</name>"), std::string::npos);
        EXPECT_EQ(e.indexKeyString.at("tag"), std::vector<std::string>{"t" + std::to_string(i)});
        EXPECT_EQ(e.imageKeyString.at("log"), e.indexKeyString.at("log"));
        EXPECT_FALSE(in.entries[static_cast<std::size_t>(i)].saved);
    }
}

TEST_F(SeriesTest, AnsweringNoProcessesTheCurrentImageAndCancellingTheDialogMakesNoSeries)
{
    const std::int32_t source =
        SeedSeries(3, [this](int i) { return In().toStdString() + "/a" + std::to_string(i); });
    SetUpSeries();
    ModalWatcher watcher;
    watcher.answerYes = false;
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    standin::Window out = Newest();
    EXPECT_FALSE(out.isSeries);
    EXPECT_EQ(out.image.ColSize, 16) << watcher.Texts();

    watcher.answerYes = true;
    watcher.files = {QString()};
    const auto windows = Viewer().WindowIds().size();
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    EXPECT_EQ(Viewer().WindowIds().size(), windows);
    EXPECT_EQ(watcher.boxes.size(), 2u) << watcher.Texts();
}

TEST_F(SeriesTest, SeriesThatWouldOverwriteAreRefusedBeforeTheImageIsSaved)
{
    struct Case
    {
        std::function<std::string(int, const QString&)> name;
        bool outputIsInput;
        int saved;  // -1: no new series window at all
        std::string error;  // after the image named, when saved >= 0
    };
    const Case cases[] = {
        {[](int i, const QString& in) { return in.toStdString() + "/s" + std::to_string(i); }, true, -1,
         "The output folder is the folder of the source images: "},
        {[](int i, const QString& in) {
             return in.toStdString() + (i == 1 ? "/" : "/b/") + "t" + std::to_string(i);
         },
         true, 1, "The output folder is the folder of the source images: "},
        {[](int i, const QString& in) { return in.toStdString() + (i == 1 ? "/b/same" : "/same"); }, false, 1,
         "Two images of the series have the file name same"},
        {[](int i, const QString& in) { return i == 0 ? in.toStdString() + "/x" : in.toStdString() + "/"; },
         false, 1, "The image has no file name"},
    };
    SetUpSeries();
    ModalWatcher watcher;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        const QString in = In();
        const std::int32_t source = SeedSeries(3, [&](int i) { return k.name(i, in); });
        watcher.boxes.clear();
        watcher.files = {(k.outputIsInput ? In() : Out()) + "/_index.xmlsrs"};
        Viewer().SetFocused(source);
        Form().pushButton_8->click();
        const standin::Window out = Newest();
        if (k.saved < 0) {
            // Refused before the new series window was made.
            EXPECT_EQ(out.id, source);
        } else {
            ASSERT_TRUE(out.isSeries);
            EXPECT_NE(out.id, source);
            int saved = 0;
            for (const standin::SeriesEntry& e : out.entries)
                saved += e.saved;
            EXPECT_EQ(saved, k.saved);
        }
        ASSERT_EQ(watcher.boxes.size(), 2u) << watcher.Texts();
        EXPECT_EQ(watcher.boxes[1].title, "ERROR");
        // A refusal of an image names it: the second of three.
        const std::string named =
            k.saved < 0 ? std::string() : "Image 2 of 3 of the series (" + k.name(1, in) + "):\n";
        EXPECT_EQ(watcher.boxes[1].text.rfind(named + k.error, 0), 0u) << watcher.boxes[1].text;
    }
}

// Settings that an image refuses: for the first image before the new series
// window is made, for a later one with the images before it saved; either
// way the error names the image and its file.
TEST_F(SeriesTest, AnImageThatRefusesTheSettingsIsNamedAndTheFirstLeavesNoSeriesWindow)
{
    SetUpSeries();
    Form().cbMoveCenter->setChecked(true);
    Form().dspSx->setValue(40);
    Form().dspSy->setValue(32);
    ModalWatcher watcher;
    struct Case
    {
        std::vector<int> sizes;
        int saved;  // -1: no new series window
        int refused;  // the image named, from 1
    };
    const Case cases[] = {{{16, 64}, -1, 1}, {{64, 16, 16}, 1, 2}};
    for (const Case& k : cases) {
        const int n = static_cast<int>(k.sizes.size());
        SCOPED_TRACE(n);
        std::vector<standin::SeriesEntry> entries(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            entries[i].image = NumberedImage(k.sizes[i], k.sizes[i]);
            entries[i].fileName = In().toStdString() + "/r" + std::to_string(n) + std::to_string(i);
        }
        const std::int32_t source = Viewer().AddSeriesWindow(entries, "in.xmlsrs");
        const std::size_t windows = Viewer().WindowIds().size();
        watcher.boxes.clear();
        watcher.files = {Out() + "/_index" + QString::number(n) + ".xmlsrs"};
        Viewer().SetFocused(source);
        Form().pushButton_8->click();
        ASSERT_EQ(watcher.boxes.size(), 2u) << watcher.Texts();
        LwFloatMatrix refused(k.sizes[k.refused - 1], k.sizes[k.refused - 1]);
        const std::string reason = ErrorText([&] { GetRfaParameters().ShiftToCenter(refused); });
        ASSERT_NE(reason, "(no error)");
        EXPECT_EQ(watcher.boxes[1].text, "Image " + std::to_string(k.refused) + " of " + std::to_string(n) +
                                             " of the series (" + entries[k.refused - 1].fileName + "):\n" +
                                             reason);
        if (k.saved < 0) {
            EXPECT_EQ(Viewer().WindowIds().size(), windows);
        } else {
            const standin::Window out = Newest();
            ASSERT_TRUE(out.isSeries);
            ASSERT_EQ(out.entries.size(), static_cast<std::size_t>(k.saved));
            EXPECT_TRUE(out.entries[0].saved);
        }
    }
}

TEST_F(SeriesTest, AnImageThatCannotBeLoadedIsNamedWithItsFile)
{
    const std::int32_t source =
        SeedSeries(3, [this](int i) { return In().toStdString() + "/u" + std::to_string(i); });
    SetUpSeries();
    standin::Faults faults;
    faults.loadPolls = 2;
    faults.failLoads = true;
    Viewer().SetFaults(faults);
    ModalWatcher watcher;
    watcher.files = {Out() + "/_index.xmlsrs"};
    const std::size_t windows = Viewer().WindowIds().size();
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    ASSERT_EQ(watcher.boxes.size(), 2u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[1].text,
              "Image 1 of 3 of the series (" + In().toStdString() + "/u0):\nFile cannot be loaded.");
    EXPECT_EQ(Viewer().WindowIds().size(), windows);
}

TEST_F(SeriesTest, CancellingTheProgressStopsCleanlyWithTheImagesDoneSaved)
{
    const std::int32_t source =
        SeedSeries(6, [this](int i) { return In().toStdString() + "/c" + std::to_string(i); });
    SetUpSeries();
    ModalWatcher watcher;
    watcher.files = {Out() + "/_index.xmlsrs"};
    // Cancel once two images of the new series are saved.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        const standin::Window out = Newest();
        int saved = 0;
        for (const standin::SeriesEntry& e : out.entries)
            saved += e.saved;
        if (!out.isSeries || saved < 2)
            return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w))
                progress->cancel();
    });
    canceller.start(5);
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    canceller.stop();
    const standin::Window out = Newest();
    int saved = 0;
    for (const standin::SeriesEntry& e : out.entries)
        saved += e.saved;
    EXPECT_GE(saved, 2);
    EXPECT_LT(saved, 6);
    EXPECT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();  // the question only
    EXPECT_TRUE(Form().pushButton_8->isEnabled());
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(w)) {
            EXPECT_FALSE(progress->isVisible());
        }
}

TEST_F(SeriesTest, CancellingDuringAnImagesFitStopsTheSeriesWithoutThatImage)
{
    const std::int32_t source =
        SeedSeries(5, [this](int i) { return In().toStdString() + "/f" + std::to_string(i); });
    SetUpSeries();
    CheckTheFitToo();
    ModalWatcher watcher;
    watcher.files = {Out() + "/_index.xmlsrs"};
    // Cancel from inside the fit of the third image (the bar inside that
    // image's share): the series dialog must take events while that image
    // is fitted.
    int cancels = 0;
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w))
                if (progress->isVisible() && !progress->wasCanceled() &&
                    progress->labelText() == "Image 3 of 5" &&
                    5 * progress->value() > 2 * progress->maximum()) {
                    ++cancels;
                    progress->cancel();
                }
    });
    canceller.start(0);
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    canceller.stop();
    EXPECT_EQ(cancels, 1);
    const standin::Window out = Newest();
    ASSERT_TRUE(out.isSeries);
    // The two images before are saved with their fit; the cancelled image
    // never reached the new series.
    ASSERT_EQ(out.entries.size(), 2u);
    EXPECT_EQ(out.renewCount, 2);
    const standin::Window in = Viewer().GetWindow(source);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const standin::SeriesEntry& e = out.entries[static_cast<std::size_t>(i)];
        EXPECT_TRUE(e.saved);
        EXPECT_EQ(e.fileName, "f" + std::to_string(i));
        LwFloatMatrix expected = in.entries[static_cast<std::size_t>(i)].image;
        LwProcessLog log;
        GetRfaParameters().ApplyCheckedSteps(expected, log);
        EXPECT_TRUE(SameImage(e.image, expected));
    }
    EXPECT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();  // the question only
    EXPECT_TRUE(Form().pushButton_8->isEnabled());
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(w)) {
            EXPECT_FALSE(progress->isVisible());
        }

    // The form's record is free again: the next run takes edited values.
    Form().spSizel->setValue(3);
    Form().cbBgSh->setChecked(false);
    watcher.files = {Out() + "/_index.xmlsrs"};
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    EXPECT_EQ(GetRfaParameters().Size_l_, 3);
    const standin::Window again = Newest();
    ASSERT_TRUE(again.isSeries);
    EXPECT_NE(again.id, out.id);
    EXPECT_EQ(again.entries.size(), 5u);
}

TEST_F(SeriesTest, TheProgressShowsOneMeasureOverTheWholeSeries)
{
    const std::int32_t source =
        SeedSeries(3, [this](int i) { return In().toStdString() + "/m" + std::to_string(i); });
    SetUpSeries();
    CheckTheFitToo();
    ModalWatcher watcher;
    watcher.files = {Out() + "/_index.xmlsrs"};
    struct Seen
    {
        QString label;
        int value, maximum;
    };
    std::vector<Seen> seen;
    QTimer recorder;
    QObject::connect(&recorder, &QTimer::timeout, [&] {
        for (QProgressDialog* d : started_->window->findChildren<QProgressDialog*>())
            if (d->isVisible() && d->maximum() > 0)
                seen.push_back({d->labelText(), d->value(), d->maximum()});
    });
    recorder.start(0);
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    recorder.stop();
    ASSERT_EQ(Newest().entries.size(), 3u) << watcher.Texts();
    ASSERT_FALSE(seen.empty());
    bool insideAnImage = false;
    for (std::size_t k = 0; k < seen.size(); ++k) {
        const Seen& s = seen[k];
        SCOPED_TRACE(s.label.toStdString() + " " + std::to_string(s.value) + "/" + std::to_string(s.maximum));
        // The label names the image and nothing else measures progress.
        ASSERT_TRUE(s.label.startsWith("Image ") && s.label.endsWith(" of 3"));
        EXPECT_FALSE(s.label.contains('%'));
        const int image = s.label.mid(6, 1).toInt();
        // The bar lies within the image's share of the series.
        EXPECT_GE(3 * s.value, (image - 1) * s.maximum);
        EXPECT_LT(3 * s.value, image * s.maximum);
        if (k > 0) {
            EXPECT_GE(s.value, seen[k - 1].value);
        }
        insideAnImage = insideAnImage || 3 * s.value > (image - 1) * s.maximum;
    }
    EXPECT_TRUE(insideAnImage);  // the fit moves the bar within an image
}

TEST_F(SeriesTest, CancelIsOffDuringASeriesAndClosingAsksFirst)
{
    const std::int32_t source =
        SeedSeries(5, [this](int i) { return In().toStdString() + "/q" + std::to_string(i); });
    SetUpSeries();
    ModalWatcher watcher;
    const char* const question = "An operation is running. Stop it and close the window?";
    // Once the new series `path` holds one saved image: "Cancel" and a
    // close answered No.
    auto onceSaved = [this](const QString& path, const std::function<void()>& act) {
        auto* timer = new QTimer(started_->window.get());
        QObject::connect(timer, &QTimer::timeout, [this, timer, act, path] {
            const standin::Window out = Newest();
            int saved = 0;
            for (const standin::SeriesEntry& e : out.entries)
                saved += e.saved;
            if (out.seriesPath == path.toStdString() && saved >= 1) {
                timer->stop();
                act();
            }
        });
        timer->start(5);
    };
    bool cancelEnabled = true;
    onceSaved(Out() + "/_index.xmlsrs", [&] {
        cancelEnabled = Form().pushButton_3->isEnabled();
        Form().pushButton_3->click();
        started_->window->close();
    });
    watcher.answerNoTo = {question};
    watcher.files = {Out() + "/_index.xmlsrs"};
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    EXPECT_FALSE(cancelEnabled);
    EXPECT_TRUE(started_->window->isVisible());
    standin::Window out = Newest();
    ASSERT_TRUE(out.isSeries);
    EXPECT_EQ(out.entries.size(), 5u);
    ASSERT_EQ(watcher.boxes.size(), 2u) << watcher.Texts();
    EXPECT_EQ(watcher.boxes[1].text, question);

    // Answered Yes: the series stops as its Cancel stops it, with the images
    // saved so far, and the window closes once it has.
    onceSaved(Out() + "/_index2.xmlsrs", [&] { started_->window->close(); });
    watcher.answerNoTo.clear();
    watcher.boxes.clear();
    watcher.files = {Out() + "/_index2.xmlsrs"};
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    out = Newest();
    ASSERT_TRUE(out.isSeries);
    EXPECT_EQ(out.seriesPath, (Out() + "/_index2.xmlsrs").toStdString());
    int saved = 0;
    for (const standin::SeriesEntry& e : out.entries)
        saved += e.saved;
    EXPECT_GE(saved, 1);
    EXPECT_LT(saved, 5);
    EXPECT_EQ(static_cast<int>(out.entries.size()), saved);
    ASSERT_EQ(watcher.boxes.size(), 2u) << watcher.Texts();  // the two questions, no error
    EXPECT_FALSE(started_->window->isVisible());
}

// The viewer is lost as the second image's entry is saved, and a new one
// starts on the same port: the output series window is gone with the old
// viewer, so Retry ends the series with a word on what is saved instead of
// offering Retry again, and the new viewer is left no window.
TEST_F(SeriesTest, AViewerRestartedDuringASendStopsTheSeriesNamingWhatIsSaved)
{
    const std::int32_t source =
        SeedSeries(3, [this](int i) { return In().toStdString() + "/v" + std::to_string(i); });
    SetUpSeries();
    struct StopAtSecondSave : LwWaitObserver
    {
        StopAtSecondSave(LwPluginFuncZyvra& c, standin::StandinViewerThread& v) : client(c), viewer(v) {}
        void WaitStarted(const std::string&) override
        {
            if (client.RequestText().find("SeriesImageSave") != std::string::npos && ++saves == 2)
                viewer.Stop();
        }
        bool IsWaitCancelled(std::int64_t) override { return false; }
        void WaitEnded() override {}
        LwPluginFuncZyvra& client;
        standin::StandinViewerThread& viewer;
        int saves = 0;
    } stopper(started_->window->Client(), viewer_);
    started_->window->Client().SetWaitObserver(&stopper);
    standin::StandinViewerThread restarted;
    ModalWatcher watcher;
    const QString index = Out() + "/_index.xmlsrs";
    watcher.files = {index};
    int retries = 0;
    watcher.retry = [&](const std::string&) {
        if (retries == 0) {
            EXPECT_TRUE(restarted.Start(static_cast<std::uint16_t>(std::stoi(port_)), "halvanerestarted"));
        }
        return retries++ < 2;  // a box offered again gets Discard
    };
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    started_->window->Client().SetWaitObserver(nullptr);

    EXPECT_EQ(retries, 1) << watcher.Texts();
    ASSERT_EQ(watcher.boxes.size(), 3u) << watcher.Texts();
    EXPECT_NE(watcher.boxes[1].text.find("is computed and kept. Send it to the image viewer again?"),
              std::string::npos)
        << watcher.boxes[1].text;
    EXPECT_EQ(watcher.boxes[2].text,
              "Image 2 of 3 of the series (" + In().toStdString() +
                  "/v1):\nThe image viewer no longer has the output series window (was "
                  "it closed, or the viewer restarted?).\nImage 1 is saved with " +
                  index.toStdString() + "; this image and the ones after it are not.");
    EXPECT_TRUE(restarted.Viewer().WindowIds().empty());
    // The old viewer's output holds the first image, saved.
    const standin::Window out = Newest();
    ASSERT_TRUE(out.isSeries);
    ASSERT_GE(out.entries.size(), 1u);
    EXPECT_TRUE(out.entries[0].saved);
    EXPECT_TRUE(Form().pushButton_8->isEnabled());
}

}  // namespace
