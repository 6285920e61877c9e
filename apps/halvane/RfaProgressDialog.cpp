#include "apps/halvane/RfaProgressDialog.h"

#include <QCoreApplication>

bool RfaKeepProgressAlive(const QProgressDialog& dialog)
{
    QCoreApplication::processEvents();
    return !dialog.wasCanceled();
}

RfaOperationProgress::RfaOperationProgress(const QString& label, QWidget* parent)
    : dialog_(label, "Cancel", 0, 1, parent)
{
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(500);
}

RfaProgress RfaOperationProgress::Callback()
{
    return [this](int done, int total) {
        dialog_.setMaximum(total);
        dialog_.setValue(done);
        return RfaKeepProgressAlive(dialog_);
    };
}
