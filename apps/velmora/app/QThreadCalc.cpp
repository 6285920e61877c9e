#include "apps/velmora/app/QThreadCalc.h"

#include "core/LwError.h"
#include "apps/velmora/app/SimulationSettings.h"

#include <exception>

QThreadCalc::~QThreadCalc()
{
    if (isRunning()) {
        GetSimulationSettings().Calculation_.IsTerminate.store(true);
        wait();
    }
}

void QThreadCalc::run()
{
    try {
        SimulationSettings& s = GetSimulationSettings();
        if (s.CurrentDoc_ == nullptr)
            throw LwError("No pattern document is selected");
        s.Calculation_.Run(*s.CurrentDoc_, s.Cluster_);
    } catch (const LwError& e) {
        ErrorText_ = QString::fromUtf8(e.Message().c_str());
    } catch (const std::exception& e) {
        ErrorText_ = "Undefined error:" + QString::fromLocal8Bit(e.what());
    } catch (...) {
        ErrorText_ = "Undefined error:";
    }
}
