#include "fgraph/LwWaitDialog.h"

#include "fgraph/LwQuitOnSignals.h"

#include <QApplication>
#include <QEvent>
#include <QProgressDialog>
#include <QWidget>
#include <QWindow>

namespace {

// The events by which a user starts something.
bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close: return true;
    default: return false;
    }
}

}  // namespace

LwWaitDialog::LwWaitDialog() = default;

LwWaitDialog::~LwWaitDialog()
{
    if (waiting_)
        WaitEnded();
}

void LwWaitDialog::WaitStarted(const std::string& what)
{
    what_ = QString::fromStdString(what);
    waiting_ = true;
    // The client runs the application's events while it waits: from here on
    // a click on another operation must not reach its button.
    qApp->installEventFilter(this);
}

bool LwWaitDialog::IsWaitCancelled(std::int64_t elapsedMs)
{
    if (LwQuitOnSignals::StopsWaits(elapsedMs))
        return true;
    if (!dialog_ && elapsedMs >= showAfterMs_) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->isEnabled()) {
                w->setEnabled(false);
                disabled_.emplace_back(w);
            }
        }
        dialog_ = std::make_unique<QProgressDialog>("Waiting for " + what_ + " ...", "Cancel", 0, 0);
        dialog_->setWindowTitle("Waiting");
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->show();
    }
    return dialog_ && dialog_->wasCanceled();
}

void LwWaitDialog::WaitEnded()
{
    qApp->removeEventFilter(this);
    waiting_ = false;
    dialog_.reset();
    for (const QPointer<QWidget>& w : disabled_)
        if (w)
            w->setEnabled(true);
    disabled_.clear();
}

bool LwWaitDialog::IsInDialog(const QObject* object) const
{
    if (!dialog_)
        return false;
    if (const auto* w = qobject_cast<const QWidget*>(object))
        return w == dialog_.get() || dialog_->isAncestorOf(w);
    if (const auto* window = qobject_cast<const QWindow*>(object))
        return window == dialog_->windowHandle();
    return false;
}

bool LwWaitDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (waiting_ && IsUserInput(event->type()) && (watched->isWidgetType() || watched->isWindowType()) &&
        !IsInDialog(watched)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
