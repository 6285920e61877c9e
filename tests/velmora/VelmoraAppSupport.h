#pragma once
// Helpers of the tests of velmora's windows: an answerer of the modal
// windows that a slot opens (message boxes, file dialogs, dialogs), and the
// hologram of a document computed straight by the engine.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace velmoratest {

struct Box
{
    std::string title;
    std::string text;
};

// Watches for modal windows every 20 ms while the test's slot runs: message
// boxes are recorded and accepted (or given to `onBox`), a file dialog gets the next queued path
// (or is cancelled when none is left), any other dialog is handed to
// `onDialog` once (or closed when that is not set).
class ModalAnswerer
{
public:
    ModalAnswerer()
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    void QueueFile(const QString& path) { files_.push_back(path); }
    std::function<void(QWidget*)> onDialog;
    // Answers a message box (after it was recorded) instead of accepting it;
    // it must close the box.
    std::function<void(QMessageBox*)> onBox;
    std::vector<Box> boxes;
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const Box& b : boxes)
            t.push_back(b.text);
        return t;
    }
    bool HasText(const std::string& part) const
    {
        for (const Box& b : boxes)
            if (b.text.find(part) != std::string::npos)
                return true;
        return false;
    }

private:
    void Poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
                if (onBox)
                    onBox(box);
                else
                    box->accept();
                return;
            }
            if (auto* files = qobject_cast<QFileDialog*>(w)) {
                // The dialog may refuse an accept while its folder loads:
                // the same dialog gets the same answer again.
                if (files != answered_) {
                    tries_ = 0;
                    answered_ = files;
                    answer_.clear();
                    if (!files_.empty()) {
                        answer_ = files_.front();
                        files_.erase(files_.begin());
                    }
                } else if (++tries_ > 100) {
                    answer_.clear();  // refused for good: cancel
                }
                if (answer_.isEmpty()) {
                    files->reject();
                } else {
                    files->selectFile(answer_);
                    // The typed name decides what the dialog accepts.
                    if (auto* edit = files->findChild<QLineEdit*>("fileNameEdit"))
                        edit->setText(answer_);
                    static_cast<QDialog*>(files)->accept();
                }
                return;
            }
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || qobject_cast<QDialog*>(modal) == nullptr) {
            handled_ = nullptr;
            return;
        }
        if (modal != handled_) {
            handled_ = modal;
            // Outside this timer's callback, so that what the handler
            // starts may open modal windows that this answerer serves.
            QTimer::singleShot(0, modal, [this, modal] {
                if (onDialog)
                    onDialog(modal);
                else
                    modal->close();
            });
        }
    }

    QTimer timer_;
    std::vector<QString> files_;
    QWidget* handled_ = nullptr;
    QPointer<QFileDialog> answered_;
    QString answer_;
    int tries_ = 0;
};

// Runs the event loop until `done` or `ms` have passed.
inline bool SpinUntil(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace velmoratest
