#include "apps/halvane/app/RfaProgressDialog.h"

#include "fgraph/LwQuitOnSignals.h"

#include <QCoreApplication>

bool RfaKeepProgressAlive(const QProgressDialog& dialog)
{
    QCoreApplication::processEvents();
    return !RfaIsStopped(dialog);
}

bool RfaIsStopped(const QProgressDialog& dialog)
{
    return dialog.wasCanceled() || LwQuitOnSignals::IsQuitRequested();
}

void RfaShowProgressAtOnce(QProgressDialog& dialog)
{
    // A bar that reaches its maximum must not close or reset the dialog
    // (a reset would also forget a Cancel).
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(0);
    dialog.show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

RfaOperationProgress::RfaOperationProgress(const QString& label, QWidget* parent, Stop stop)
    : dialog_(label, stop == Stop::Offered ? QString("Cancel") : QString(), 0, 0, parent)
{
    RfaShowProgressAtOnce(dialog_);
}

RfaProgress RfaOperationProgress::Callback()
{
    return [this](int done, int total) {
        dialog_.setMaximum(total);
        dialog_.setValue(done);
        return RfaKeepProgressAlive(dialog_);
    };
}
