#include "apps/halvane/app/HalvaneStartUp.h"

#include "fgraph/LwQuitOnSignals.h"
#include "fgraph/LwWaitDialog.h"
#include "fgraph/LwWindowUtilities.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/app/MainWindow.h"

#include <QApplication>

#include <memory>

std::vector<std::string> StartUpHalvane(LwPluginFuncZyvra& client, int argc, char** argv)
{
    client.InitMenuAdd("-O", "PEH", "", "RFA: Background: Spherical Harmonics");
    return LwPluginStartUp(client, argc, argv, false);
}

int HalvaneMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    // SIGTERM, SIGINT and SIGHUP end the event loop, so that the window and
    // its viewer client release the image block on the normal path.
    LwQuitOnSignals quitOnSignals;
    // Outlives the window, whose client tells it of every wait.
    LwWaitDialog waitDialog;
    int rc = 0;
    {
        MainWindow window;
        window.Client().SetWaitObserver(&waitDialog);
        const std::vector<std::string> reports = StartUpHalvane(window.Client(), argc, argv);
        window.show();
        ShowStartUpReports(reports, &window);
        rc = app.exec();
    }
    return rc;
}
