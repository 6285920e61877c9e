#pragma once
// The progress dialogs of halvane's long operations.

#include "apps/halvane/engine/RfaParameters.h"

#include <QProgressDialog>
#include <QString>

class QWidget;

// Lets the event loop run, so that the dialog repaints and its Cancel
// button is seen; false once the operation is to stop (RfaIsStopped).
bool RfaKeepProgressAlive(const QProgressDialog& dialog);
// Whether the operation is to stop before its next send: Cancel was pressed,
// or a quit signal (LwQuitOnSignals) came, which stops an operation as its
// Cancel does, so that the program can end.
bool RfaIsStopped(const QProgressDialog& dialog);

// Shows `dialog` at once and paints it, so that the window never looks
// frozen while an operation runs; the bar stays up until the dialog is
// destroyed. The dialog is not modal: the main window keeps its own input
// off meanwhile, and takes the close from its title bar.
void RfaShowProgressAtOnce(QProgressDialog& dialog);

// The progress dialog of one long operation, shown at once. Its bar runs as
// a busy indicator until the callback gives it a range; the callback moves
// the bar, lets the event loop run and answers false once Cancel was
// pressed. An operation that reports no progress and cannot stop halfway
// gets no Cancel button (`Stop::NotOffered`).
class RfaOperationProgress
{
public:
    enum class Stop { Offered, NotOffered };
    RfaOperationProgress(const QString& label, QWidget* parent, Stop stop = Stop::Offered);
    RfaProgress Callback();

private:
    QProgressDialog dialog_;
};
