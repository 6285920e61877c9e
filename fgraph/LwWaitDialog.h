#pragma once
// The wait dialog of both graphical programs: the observer (LwWaitObserver)
// that the program installs in its viewer client, so that a viewer that
// stops answering never holds the program without a way out.
//
// During a wait:
//   - from its start, the user's input (mouse, keys, wheel, closing a
//     window) reaches no window but the dialog, so no second operation can
//     start while the program waits;
//   - once the wait has lasted ShowAfterMs (1000 ms), an application-modal
//     progress dialog "Waiting for <what> ..." with Cancel shows, and the
//     program's other windows are disabled until the wait ends;
//   - Cancel, or a quit signal (LwQuitOnSignals::StopsWaits), ends the wait
//     as cancelled.
// A short wait shows nothing and changes no window's state. GUI thread only.

#include "core/LwWaitObserver.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class QProgressDialog;
class QWidget;

class LwWaitDialog : public QObject, public LwWaitObserver
{
public:
    static constexpr int kShowAfterMs = 1000;

    LwWaitDialog();
    ~LwWaitDialog() override;
    LwWaitDialog(const LwWaitDialog&) = delete;
    LwWaitDialog& operator=(const LwWaitDialog&) = delete;

    void WaitStarted(const std::string& what) override;
    bool IsWaitCancelled(std::int64_t elapsedMs) override;
    void WaitEnded() override;

    // How long a wait lasts before the dialog shows (for tests; 1000 ms).
    void SetShowAfterMs(int ms) { showAfterMs_ = ms; }
    // The dialog while it shows, else nullptr.
    QProgressDialog* Dialog() const { return dialog_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsInDialog(const QObject* object) const;

    int showAfterMs_ = kShowAfterMs;
    bool waiting_ = false;
    QString what_;
    std::unique_ptr<QProgressDialog> dialog_;
    std::vector<QPointer<QWidget>> disabled_;
};
