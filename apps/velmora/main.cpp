// velmora: Simulation for X-ray fluorescence hologram. A plug-in of the
// external image viewer: it registers its menu entry, writes its menu file
// beside the program, connects over the local socket (the program also runs
// without a viewer, and connects once one is there) and runs its main window.
#include "fgraph/LwQuitOnSignals.h"
#include "fgraph/LwWaitDialog.h"
#include "fgraph/LwWindowUtilities.h"
#include "apps/velmora/app/MainWindow.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    // SIGTERM, SIGINT and SIGHUP end the event loop, so that the window and
    // its viewer client release the image block on the normal path.
    LwQuitOnSignals quitOnSignals;
    // Outlives the window, whose client tells it of every wait.
    LwWaitDialog waitDialog;
    int rc = 0;
    {
        // The window, and everything that holds widgets, goes before the
        // application object.
        MainWindow window;
        LwPluginFuncZyvra& client = window.PluginClient();
        client.SetWaitObserver(&waitDialog);
        client.InitMenuAdd("-S", "XFH", "", GetProgramTitle().toUtf8().toStdString());
        // A refused port or an unwritable menu file (a read-only program
        // folder) is reported once the window shows; the program goes on.
        const std::vector<std::string> reports = LwPluginStartUp(client, argc, argv, true);
        window.show();
        ShowStartUpReports(reports, &window);
        rc = app.exec();
    }
    return rc;
}
