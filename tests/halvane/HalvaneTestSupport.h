#pragma once
// Helpers of halvane's window tests: a watcher that answers modal boxes and
// file dialogs, a main window started against the stand-in viewer, and
// synthetic images.

#include "apps/halvane/app/HalvaneStartUp.h"
#include "apps/halvane/app/MainWindow.h"
#include "apps/halvane/app/RfaParametersForm.h"
#include "apps/halvane/engine/RfaParameters.h"
#include "StandinViewer.h"
#include "ViewerTestSupport.h"

#include "ui_MainWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace halvanetest {

using viewertest::Spin;

// Polls for modal widgets every 10 ms: a message box is recorded (title and
// text) and closed; a file dialog gets the next answer of `files` (a path to
// choose, or an empty text to cancel).
class ModalWatcher
{
public:
    struct Box
    {
        std::string title;
        std::string text;
    };

    ModalWatcher()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
        timer_.start();
    }
    std::vector<Box> boxes;
    std::vector<QString> files;
    int fileDialogs = 0;
    // The answer to a box with Yes and No buttons; a box whose text begins
    // with one of `answerNoTo` gets No whatever `answerYes` says.
    bool answerYes = true;
    std::vector<std::string> answerNoTo;
    // A box offering Retry gets Retry when this says so for its text, else
    // Discard.
    std::function<bool(const std::string&)> retry;

    std::string Texts() const
    {
        std::string all;
        for (const Box& b : boxes)
            all += "[" + b.title + "] " + b.text + "\n";
        return all;
    }

private:
    void Check()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
            bool yes = answerYes;
            for (const std::string& no : answerNoTo)
                yes = yes && boxes.back().text.rfind(no, 0) != 0;
            if (box->button(QMessageBox::Retry) != nullptr)
                box->button(retry && retry(boxes.back().text) ? QMessageBox::Retry : QMessageBox::Discard)
                    ->click();
            else if (box->button(QMessageBox::Yes) != nullptr)
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            else
                box->done(QMessageBox::Ok);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
            // A dialog may still be reading its folder when first answered;
            // the same answer is given again until it closes.
            const bool first = dialog != pending_;
            if (first) {
                pending_ = dialog;
                ++fileDialogs;
                answer_.clear();
                if (!files.empty()) {
                    answer_ = files.front();
                    files.erase(files.begin());
                }
            }
            if (answer_.isEmpty()) {
                dialog->reject();
            } else {
                // The folder is set once: setting it again would start its
                // listing again, which the selection waits for.
                if (first)
                    dialog->setDirectory(QFileInfo(answer_).absolutePath());
                dialog->selectFile(answer_);
                // selectFile leaves the name box alone while it has the
                // focus, which the dialog may already have given it; the
                // dialog accepts what the box holds.
                if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
                    edit->setText(answer_);
                static_cast<QDialog*>(dialog)->accept();
            }
        } else {
            pending_ = nullptr;
        }
    }
    QPointer<QFileDialog> pending_;
    QString answer_;
    QTimer timer_;
};

// The program's path (the run folder's copy of the test binary), under which
// the ini and menu files lie.
inline QString ProgramPath()
{
    return QCoreApplication::applicationFilePath();
}
inline QString IniPath()
{
    return GetIniFileNameQString(".ini");
}

// A main window started as main starts it, with the given plug-in arguments
// after the program path; the start timer has fired when it returns.
struct StartedWindow
{
    explicit StartedWindow(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> args = {ProgramPath().toStdString()};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        window = std::make_unique<MainWindow>();
        reports = StartUpHalvane(window->Client(), static_cast<int>(argv.size()), argv.data());
        window->Client().SetExchangeLimits(2, 300);
        window->show();
        QElapsedTimer t;
        t.start();
        while (window->StartTimer().isActive() && t.elapsed() < 5000)
            Spin(5);
    }
    Ui_MainWindow& Form() { return window->Form(); }

    std::unique_ptr<MainWindow> window;
    std::vector<std::string> reports;
};

// The form set to mask outside an ellipse of radii 5 around (8, 8) and to do
// nothing else: a series of 16 x 16 images runs fast and keeps its middle.
inline void SetMaskOutsideOnly(Ui_MainWindow& f)
{
    for (QCheckBox* box : {f.cbMoveCenter, f.cbBgSh, f.cbBgAz, f.cbMaskMcpDip})
        box->setChecked(false);
    f.cbMaskOutside->setChecked(true);
    f.sbMaskCx->setValue(8);
    f.sbMaskCy->setValue(8);
    f.sbMaskRx->setValue(5);
    f.sbMaskRy->setValue(5);
}

// Pixel (c, r) holds a value unique to its position, never 0.
inline LwFloatMatrix NumberedImage(int cols, int rows)
{
    LwFloatMatrix m(cols, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            m(c, r) = 1.0f + static_cast<float>(c) + 1000.0f * static_cast<float>(r);
    return m;
}

// A screen: a bright disc of radius 40 around (64, 64) on a dim rim, 128 x 128.
inline LwFloatMatrix Screen()
{
    LwFloatMatrix m(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            m(x, y) = std::hypot(x - 64.0, y - 64.0) < 40 ? static_cast<float>(50 + (x * 3 + y) % 11) : 2.0f;
    return m;
}

inline bool SameImage(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize || a.ColBegin != b.ColBegin ||
        a.RowBegin != b.RowBegin)
        return false;
    for (int i = 0; i < a.ElementCount(); ++i) {
        const float x = a.Buffer()[i], y = b.Buffer()[i];
        if (!(x == y || (x != x && y != y)))
            return false;
    }
    return true;
}

}  // namespace halvanetest
