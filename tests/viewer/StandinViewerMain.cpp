// The stand-in image viewer as a program, for tests that run the viewer in a
// process of its own:
//   standin_viewer [-P port] [-L local server name] [-log file] [-S size]
// (defaults 14112 and "zyvraimage"; port 0 picks a free one). With -log it
// writes, when it ends, one line per request it served ("REQUEST <command>
// <window id>") and one line per window it holds ("WINDOW <id> caption=<text>
// image=<columns>x<rows> series=<entries>"), for tests that run a program
// against it. "-S" opens an image window of size x size pixels holding a
// bright screen (radius size / 3, centred off the image centre by size / 16
// columns) on a dark rim, focused. When it listens it prints "READY <port>"
// on one line of standard output. The line "report" on standard input
// prints one line "REPORT <window count> <command> <command> ..." with the
// commands received so far. It ends, removing its socket file and
// shared-memory blocks, when standard input reaches its end or reads the
// line "quit".
#include "StandinViewer.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::uint16_t port = standin::StandinViewer::kDefaultPort;
    QString localName = standin::StandinViewer::kDefaultLocalName;
    std::string logPath;
    int seedSize = 0;
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
        } else if (option == "-S") {
            seedSize = std::atoi(argv[i + 1]);
        }
    }
    standin::StandinViewer viewer;
    if (!viewer.Start(port, localName)) {
        std::fprintf(stderr, "cannot listen: %s\n", viewer.ErrorText().toUtf8().constData());
        return 1;
    }
    if (seedSize > 0) {
        LwFloatMatrix screen(seedSize, seedSize);
        const double cx = seedSize / 2 + seedSize / 16, cy = seedSize / 2, radius = seedSize / 3;
        for (int y = 0; y < seedSize; ++y)
            for (int x = 0; x < seedSize; ++x)
                screen(x, y) =
                    std::hypot(x - cx, y - cy) < radius ? static_cast<float>(100 + (x + y) % 17) : 2.0f;
        viewer.AddImageWindow(screen);
    }
    std::printf("READY %u\n", static_cast<unsigned>(viewer.Port()));
    std::fflush(stdout);
    // Standard input is read on a thread of its own so that the event loop
    // keeps serving; its end quits the loop.
    std::thread input([&app, &viewer] {
        std::string line;
        while (std::getline(std::cin, line) && line != "quit") {
            if (line == "report") {
                std::string report = "REPORT " + std::to_string(viewer.WindowIds().size());
                for (const std::string& command : viewer.Commands())
                    report += " " + command;
                std::printf("%s\n", report.c_str());
                std::fflush(stdout);
            }
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
