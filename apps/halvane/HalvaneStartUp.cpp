#include "apps/halvane/HalvaneStartUp.h"

#include "apps/halvane/MainWindow.h"

#include "plugin/LwPluginFuncZyvra.h"

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
    int rc = 0;
    {
        MainWindow window;
        StartUpHalvane(window.Client(), argc, argv);
        window.show();
        rc = app.exec();
    }
    return rc;
}
