// The stand-in image viewer as a program, for tests that run the viewer in a
// process of its own:
//   standin_viewer [-P port] [-L local server name] [-log file]
// (defaults 14112 and "zyvraimage"; port 0 picks a free one). With -log it
// writes, when it ends, one line per request it served ("REQUEST <command>
// <window id>") and one line per window it holds ("WINDOW <id> caption=<text>
// image=<columns>x<rows> series=<entries>"), for tests that run a program
// against it. When it
// listens it prints "READY <port>" on one line of standard output. It ends,
// removing its socket file and shared-memory blocks, when standard input
// reaches its end or reads the line "quit".
#include "StandinViewer.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <fstream>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::uint16_t port = standin::StandinViewer::kDefaultPort;
    QString localName = standin::StandinViewer::kDefaultLocalName;
    std::string logPath;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-P") {
            const long value = std::strtol(argv[i + 1], nullptr, 10);
            if (value < 0 || value > 65535) {
                std::fprintf(stderr, "port out of range: %s\n", argv[i + 1]);
                return 2;
            }
            port = static_cast<std::uint16_t>(value);
        } else if (option == "-L") {
            localName = QString::fromUtf8(argv[i + 1]);
        } else if (option == "-log") {
            logPath = argv[i + 1];
        }
    }
    standin::StandinViewer viewer;
    if (!viewer.Start(port, localName)) {
        std::fprintf(stderr, "cannot listen: %s\n", viewer.ErrorText().toUtf8().constData());
        return 1;
    }
    std::printf("READY %u\n", static_cast<unsigned>(viewer.Port()));
    std::fflush(stdout);
    // Standard input is read on a thread of its own so that the event loop
    // keeps serving; its end quits the loop.
    std::thread input([&app] {
        std::string line;
        while (std::getline(std::cin, line) && line != "quit") {
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const int rc = app.exec();
    viewer.Stop();
    input.join();
    if (!logPath.empty()) {
        std::ofstream log(logPath);
        for (const standin::LoggedRequest& r : viewer.Requests())
            log << "REQUEST " << r.command << " " << r.windowId << "\n";
        for (std::int32_t id : viewer.WindowIds()) {
            const standin::Window w = viewer.GetWindow(id);
            log << "WINDOW " << id << " caption=" << w.caption << " image=" << w.image.ColSize << "x"
                << w.image.RowSize << " series=" << w.entries.size() << "\n";
        }
    }
    return rc;
}
