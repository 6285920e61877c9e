// The wait dialog driven as the viewer client drives it: a short wait shows
// nothing and lets no click through; a long one shows the dialog, disables
// the other windows, and its Cancel ends the wait.
#include "fgraph/LwWaitDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A program window with an operation button, shown.
struct ProgramWindow
{
    ProgramWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        button = new QPushButton("Calculate", &window);
        layout->addWidget(button);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }
    QWidget window;
    QPushButton* button = nullptr;
    bool exposed = false;
};

// The client's wait loop: polls every 10 ms, running the events, until the
// observer cancels or `limitMs` have passed; whether it was cancelled.
bool WaitLikeTheClient(LwWaitDialog& dialog, int limitMs)
{
    dialog.WaitStarted("the image viewer (port 14112)");
    QElapsedTimer clock;
    clock.start();
    bool cancelled = false;
    while (clock.elapsed() < limitMs) {
        if (dialog.IsWaitCancelled(clock.elapsed())) {
            cancelled = true;
            break;
        }
        QThread::msleep(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    dialog.WaitEnded();
    return cancelled;
}

TEST(LwWaitDialog, AShortWaitShowsNothingAndLetsNoClickThrough)
{
    ProgramWindow program;
    ASSERT_TRUE(program.exposed);
    QSignalSpy clicks(program.button, &QPushButton::clicked);
    LwWaitDialog dialog;
    bool enabledDuringWait = false;
    QTimer::singleShot(50, [&] {
        enabledDuringWait = program.window.isEnabled();
        // A second click on the operation while the first waits.
        QTest::mouseClick(program.button, Qt::LeftButton);
        QTest::keyClick(program.button, Qt::Key_Space);
    });
    EXPECT_FALSE(WaitLikeTheClient(dialog, 200));
    EXPECT_TRUE(enabledDuringWait);  // no flicker for a short wait
    EXPECT_EQ(dialog.Dialog(), nullptr);
    EXPECT_EQ(clicks.count(), 0);

    QTest::mouseClick(program.button, Qt::LeftButton);  // after the wait it works again
    EXPECT_EQ(clicks.count(), 1);
}

TEST(LwWaitDialog, ALongWaitShowsTheDialogDisablesTheWindowsAndCancelEndsIt)
{
    ProgramWindow program;
    ASSERT_TRUE(program.exposed);
    QWidget alreadyDisabled;
    alreadyDisabled.setEnabled(false);
    alreadyDisabled.show();
    QSignalSpy clicks(program.button, &QPushButton::clicked);
    LwWaitDialog dialog;
    dialog.SetShowAfterMs(100);
    QString label;
    bool buttonEnabled = true;
    std::function<void()> cancelWhenShown = [&] {
        QProgressDialog* shown = dialog.Dialog();
        if (shown == nullptr || !shown->isVisible()) {
            QTimer::singleShot(20, cancelWhenShown);
            return;
        }
        label = shown->labelText();
        buttonEnabled = program.button->isEnabled();
        QTest::mouseClick(program.button, Qt::LeftButton);
        QPushButton* cancel = shown->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QString("Cancel"));
        QTest::mouseClick(cancel, Qt::LeftButton);
    };
    QTimer::singleShot(0, cancelWhenShown);
    EXPECT_TRUE(WaitLikeTheClient(dialog, 10000));
    EXPECT_EQ(label, QString("Waiting for the image viewer (port 14112) ..."));
    EXPECT_FALSE(buttonEnabled);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(dialog.Dialog(), nullptr);
    EXPECT_TRUE(program.button->isEnabled());
    EXPECT_FALSE(alreadyDisabled.isEnabled());  // left as it was
}

}  // namespace
