#pragma once
// The worker thread of one hologram calculation: HologramCalculation::Run on
// the settings' calculation, current document and cluster.
//
// Nothing thrown by the calculation leaves the thread: its text becomes
// ErrorText() (an exception that is no LwError reads "Undefined error:" and
// its text). ErrorText() may be read once isFinished() is true. The
// destructor asks a running calculation to stop and waits for the thread,
// so the object never goes while its thread runs.

#include <QString>
#include <QThread>

class QThreadCalc : public QThread
{
public:
    QThreadCalc() = default;
    ~QThreadCalc() override;

    const QString& ErrorText() const { return ErrorText_; }

protected:
    void run() override;

private:
    QString ErrorText_;
};
