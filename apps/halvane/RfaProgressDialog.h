#pragma once
// The progress dialogs of halvane's long operations.

#include "apps/halvane/RfaParameters.h"

#include <QProgressDialog>
#include <QString>

class QWidget;

// Lets the event loop run, so that the dialog repaints and its Cancel
// button is seen; false once Cancel was pressed.
bool RfaKeepProgressAlive(const QProgressDialog& dialog);

// The progress dialog of one long operation: window-modal, shown once the
// operation has run for half a second. Its callback moves the bar, lets the
// event loop run and answers false once Cancel was pressed.
class RfaOperationProgress
{
public:
    RfaOperationProgress(const QString& label, QWidget* parent);
    RfaProgress Callback();

private:
    QProgressDialog dialog_;
};
