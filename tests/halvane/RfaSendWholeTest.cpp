// The sends of an operation's results (RfaSendWhole): whole or not at all.
// A viewer paused with SIGSTOP (or ended) during a send: the computed
// results are kept, offered again with Retry, and the viewer is left no
// empty window. A quit signal during the fit stops the operation before any
// send; one during the sends lets them finish, and a series entry is saved
// whole.
#include "core/LwMatrixArithmetic.h"
#include "core/LwWaitObserver.h"
#include "fgraph/LwQuitOnSignals.h"
#include "fgraph/LwWaitDialog.h"
#include "HalvaneTestSupport.h"
#include "PendingQuit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

using namespace halvanetest;

// The form set for a small spherical-harmonics fit of Screen().
void SetSmallFit(Ui_MainWindow& f, int degree = 2)
{
    f.dspSr->setValue(40);
    f.spMargin->setValue(5);
    f.spSizel->setValue(degree);
}

// ---- A paused or ended viewer ---------------------------------------------

// Watches the client's exchanges: before the `occurrence`-th request whose
// text holds `command` goes out, `act` runs (it pauses or ends the viewer);
// the wait of that request is then cancelled after 300 ms, as a user's
// Cancel in the wait dialog would.
class InterruptingObserver : public LwWaitObserver
{
public:
    InterruptingObserver(LwPluginFuncZyvra& client, std::string command, int occurrence,
                         std::function<void()> act)
        : client_(client), command_(std::move(command)), occurrence_(occurrence), act_(std::move(act))
    {}
    void WaitStarted(const std::string&) override
    {
        interrupted_ = false;
        if (client_.RequestText().find(command_) != std::string::npos && ++seen_ == occurrence_) {
            act_();
            interrupted_ = true;
        }
    }
    bool IsWaitCancelled(std::int64_t elapsedMs) override { return interrupted_ && elapsedMs >= 300; }
    void WaitEnded() override {}

private:
    LwPluginFuncZyvra& client_;
    std::string command_;
    int occurrence_;
    std::function<void()> act_;
    int seen_ = 0;
    bool interrupted_ = false;
};

// Answers the Retry box: records its text, runs `beforeRetry`, then presses
// Retry. Any other box is recorded in `others` and closed.
class RetryAnswerer
{
public:
    explicit RetryAnswerer(std::function<void()> beforeRetry) : beforeRetry_(std::move(beforeRetry))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            if (box->button(QMessageBox::Retry) == nullptr) {
                others += box->text().toStdString() + "\n";
                box->done(QMessageBox::Ok);
                return;
            }
            texts.push_back(box->text().toStdString());
            beforeRetry_();
            box->button(QMessageBox::Retry)->click();
        });
        timer_.start(20);
    }
    std::vector<std::string> texts;
    std::string others;

private:
    std::function<void()> beforeRetry_;
    QTimer timer_;
};

class RfaSendWholeViewerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(IniPath());
        GetRfaParameters() = RfaParameters();
        viewer_ = std::make_unique<viewertest::ViewerProcess>(LW_STANDIN_VIEWER_EXE, "halvanesend",
                                                              QStringList{"-S", "128"});
        ASSERT_NE(viewer_->Port(), 0);
        port_ = std::to_string(viewer_->Port());
        window_ = std::make_unique<StartedWindow>(std::vector<std::string>{"-P", port_});
        // Every check of an image window answers at once; only the
        // interrupted wait lasts.
        Client().SetExchangeLimits(1, 1000);
    }
    void TearDown() override
    {
        Client().SetWaitObserver(nullptr);
        window_.reset();
        viewer_.reset();
        QFile::remove(IniPath());
    }
    LwPluginFuncZyvra& Client() { return window_->window->Client(); }
    pid_t Pid() const { return static_cast<pid_t>(viewer_->Pid()); }

    // The image of viewer window `id`, read through the program's client;
    // empty when the window is none.
    LwFloatMatrix ImageOf(std::int32_t id)
    {
        LwFloatMatrix m;
        if (Client().GetIsModeImage(id))
            Client().ImageGetBySharedMemory(id, m);
        return m;
    }

    std::unique_ptr<viewertest::ViewerProcess> viewer_;
    std::string port_;
    std::unique_ptr<StartedWindow> window_;
};

// The seeded screen is window 1. Each operation, its button and the windows
// it makes; the viewer is paused as it is asked for the first, and for the
// last, of them.
TEST_F(RfaSendWholeViewerProcessTest, APausedViewerLeavesNoEmptyWindowAndTheResultGoesOnRetry)
{
    Ui_MainWindow& f = window_->Form();
    struct Case
    {
        const char* name;
        QPushButton* button;
        int windows;
        int pauseAt;  // which ImageNewWindow
    };
    const Case cases[] = {
        {"Move to center", f.pushButton_7, 1, 1},
        {"Remove BG, first window", f.pushButton_5, 2, 1},
        {"Remove BG, second window", f.pushButton_5, 2, 2},
        {"New Image", f.pushButton_8, 1, 1},
        {"Mask Outside", f.pushButton_11, 1, 1},
    };
    SetSmallFit(f);
    f.dspSx->setValue(72);  // the seeded screen's centre
    f.dspSy->setValue(64);
    for (QCheckBox* box : {f.cbBgSh, f.cbBgAz, f.cbMaskMcpDip})
        box->setChecked(false);
    std::int32_t next = 2;  // the next window the viewer makes
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        InterruptingObserver pause(Client(), "ImageNewWindow", k.pauseAt,
                                   [this] { ASSERT_EQ(0, ::kill(Pid(), SIGSTOP)); });
        Client().SetWaitObserver(&pause);
        RetryAnswerer retry([this] {
            ASSERT_EQ(0, ::kill(Pid(), SIGCONT));
            QThread::msleep(300);  // the late reply arrives
        });
        k.button->click();
        Client().SetWaitObserver(nullptr);
        ASSERT_EQ(retry.texts.size(), 1u) << retry.others;
        EXPECT_EQ(retry.texts[0].rfind(
                      "Sending to the image viewer was cancelled (port " + port_ + ")\nCANCELED", 0),
                  0u)
            << retry.texts[0];
        EXPECT_NE(retry.texts[0].find("kept. Send"), std::string::npos);
        EXPECT_TRUE(retry.others.empty()) << retry.others;
        // Every result in a window of its own, and no window more.
        for (int w = 0; w < k.windows; ++w) {
            EXPECT_EQ(ImageOf(next + w).ElementCount(), 128 * 128) << "window " << next + w;
        }
        EXPECT_FALSE(Client().GetIsModeImage(next + k.windows));
        next += k.windows;
    }
}

// The viewer ends as the result's window is asked for, and a new one starts
// on the same port: Retry sends the kept result to the new viewer.
TEST_F(RfaSendWholeViewerProcessTest, AfterTheViewerEndedRetrySendsTheKeptResultToTheNewOne)
{
    Ui_MainWindow& f = window_->Form();
    SetSmallFit(f);
    f.dspSx->setValue(72);
    f.dspSy->setValue(64);
    LwFloatMatrix source;
    Client().ImageGetBySharedMemory(1, source);
    InterruptingObserver end(Client(), "ImageNewWindow", 2, [this] { viewer_->Quit(); });
    Client().SetWaitObserver(&end);
    RetryAnswerer retry([this] {
        viewer_ = std::make_unique<viewertest::ViewerProcess>(
            LW_STANDIN_VIEWER_EXE, "halvanesend2",
            QStringList{"-P", QString::fromStdString(port_), "-S", "128"});
    });
    f.pushButton_5->click();
    Client().SetWaitObserver(nullptr);
    ASSERT_EQ(retry.texts.size(), 1u) << retry.others;
    EXPECT_NE(retry.texts[0].find("kept. Send"), std::string::npos);
    EXPECT_TRUE(retry.others.empty()) << retry.others;
    ASSERT_NE(viewer_->Port(), 0);
    // The new viewer holds its own screen, the background and the ratio,
    // nothing else.
    RfaParameters p = GetRfaParameters();
    EXPECT_TRUE(SameImage(ImageOf(1), source));
    const LwFloatMatrix background = ImageOf(2);
    EXPECT_TRUE(SameImage(background, p.FitBackgroundSh(source)));
    EXPECT_EQ(ImageOf(3).ElementCount(), 128 * 128);
    EXPECT_FALSE(Client().GetIsModeImage(4));
}

// ---- Quit signals -----------------------------------------------------------

class RfaSendWholeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(IniPath());
        GetRfaParameters() = RfaParameters();
        ASSERT_TRUE(viewer_.Start(0, "halvanequit"));
        window_ =
            std::make_unique<StartedWindow>(std::vector<std::string>{"-P", std::to_string(Viewer().Port())});
        wait_.SetShowAfterMs(5000);
        Client().SetWaitObserver(&wait_);
    }
    void TearDown() override
    {
        Client().SetWaitObserver(nullptr);
        window_.reset();
        QFile::remove(IniPath());
        ClearPendingQuit();
    }
    standin::StandinViewer& Viewer() { return viewer_.Viewer(); }
    LwPluginFuncZyvra& Client() { return window_->window->Client(); }
    Ui_MainWindow& Form() { return window_->Form(); }
    // Raises SIGTERM once `when` holds, checked whenever events run.
    void RaiseWhen(std::function<bool()> when)
    {
        when_ = std::move(when);
        QObject::connect(&raiser_, &QTimer::timeout, [this] {
            if (!raised_ && when_()) {
                raised_ = true;
                ::raise(SIGTERM);
            }
        });
        raiser_.start(0);
    }
    // Whether the client waits for the reply to a request holding `command`.
    bool Waiting(const char* command)
    {
        return Client().IsBusy() && Client().RequestText().find(command) != std::string::npos;
    }

    standin::StandinViewerThread viewer_;
    std::unique_ptr<StartedWindow> window_;
    LwWaitDialog wait_;
    QTimer raiser_;
    std::function<bool()> when_;
    bool raised_ = false;
};

TEST_F(RfaSendWholeTest, AQuitSignalDuringTheFitStopsRemoveBgBeforeAnySend)
{
    Viewer().AddImageWindow(Screen());
    SetSmallFit(Form(), 8);
    LwQuitOnSignals quit;
    ModalWatcher watcher;
    RaiseWhen([this] {
        for (QProgressDialog* d : window_->window->findChildren<QProgressDialog*>())
            if (d->isVisible() && d->value() > 0 && d->value() < d->maximum() / 2)
                return true;
        return false;
    });
    Viewer().ClearRequests();
    Form().pushButton_5->click();
    EXPECT_TRUE(raised_);
    EXPECT_TRUE(LwQuitOnSignals::IsQuitRequested());
    EXPECT_EQ(Viewer().WindowIds().size(), 1u);
    for (const std::string& c : Viewer().Commands())
        EXPECT_NE(c, "ImageNewWindow");
    EXPECT_TRUE(watcher.boxes.empty()) << watcher.Texts();
}

TEST_F(RfaSendWholeTest, AQuitSignalDuringTheSendsLetsThemFinishWhole)
{
    const LwFloatMatrix image = Screen();
    Viewer().AddImageWindow(image, {{"E", {12.5}}}, {{"log", {"older"}}});
    SetSmallFit(Form());
    LwQuitOnSignals quit;
    standin::Faults slow;
    slow.delayMs = 150;
    Viewer().SetFaults(slow);
    RaiseWhen([this] { return Waiting("ImageNewWindow"); });
    Form().pushButton_5->click();
    EXPECT_TRUE(raised_);
    const auto ids = Viewer().WindowIds();
    ASSERT_EQ(ids.size(), 3u);
    RfaParameters p = GetRfaParameters();
    const LwFloatMatrix background = p.FitBackgroundSh(image);
    EXPECT_TRUE(SameImage(Viewer().GetWindow(ids[1]).image, background));
    EXPECT_TRUE(
        SameImage(Viewer().GetWindow(ids[2]).image, LwMatrixArithmetic().ElementDivide(image, background)));
    for (std::size_t k = 1; k < 3; ++k) {
        const standin::Window w = Viewer().GetWindow(ids[k]);
        EXPECT_EQ(w.keyString.at("log").size(), 2u);
        EXPECT_EQ(w.keyDouble.at("E"), std::vector<double>{12.5});
    }
    EXPECT_EQ(Viewer().Commands().back(), "Update");
}

TEST_F(RfaSendWholeTest, AQuitSignalDuringASeriesEntrySavesItWholeAndStopsTheSeries)
{
    const QString in = QDir::currentPath() + "/qin", out = QDir::currentPath() + "/qout";
    QDir().mkpath(in);
    QDir().mkpath(out);
    std::vector<standin::SeriesEntry> entries(4);
    for (int i = 0; i < 4; ++i) {
        entries[i].image = NumberedImage(16, 16);
        entries[i].fileName = (in + "/e" + QString::number(i)).toStdString();
        entries[i].indexKeyDouble = {{"X", {1.0 * i}}};
    }
    const std::int32_t source = Viewer().AddSeriesWindow(entries, "qin.xmlsrs");
    SetMaskOutsideOnly(Form());
    LwQuitOnSignals quit;
    ModalWatcher watcher;
    watcher.files = {out + "/_index.xmlsrs"};
    standin::Faults slow;
    slow.delayMs = 60;
    slow.loadPolls = 1;
    Viewer().SetFaults(slow);
    // During the second entry's image send.
    int imageSends = 0;
    std::string lastKey;
    RaiseWhen([&] {
        if (Waiting("FIImageSetBySharedMemory") && Client().LastImageKey() != lastKey) {
            lastKey = Client().LastImageKey();
            ++imageSends;
        }
        return imageSends == 2;
    });
    Viewer().SetFocused(source);
    Form().pushButton_8->click();
    EXPECT_TRUE(raised_);
    const auto ids = Viewer().WindowIds();
    const standin::Window series = Viewer().GetWindow(ids.back());
    ASSERT_TRUE(series.isSeries) << watcher.Texts();
    ASSERT_EQ(series.entries.size(), 2u);
    EXPECT_EQ(series.renewCount, 2);
    for (const standin::SeriesEntry& e : series.entries) {
        EXPECT_TRUE(e.saved);
        EXPECT_EQ(e.indexKeyString.at("log").size(), 1u);
        EXPECT_EQ(e.image.ElementCount(), 256);
    }
    EXPECT_EQ(watcher.boxes.size(), 1u) << watcher.Texts();  // the question only
}

}  // namespace
