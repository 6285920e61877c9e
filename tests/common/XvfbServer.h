#pragma once
// An Xvfb server on a free display that it chooses itself (-displayfd), for
// tests that run a window program on a real X server. Ends the server when
// destroyed.

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <csignal>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

class XvfbServer
{
public:
    XvfbServer() = default;
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server with one screen of `screen` ("WxHxD"); false when
    // Xvfb is missing, reports no display, or its socket takes no connection
    // within 10 s.
    bool Start(const std::string& screen = "1024x768x24")
    {
        const QString exe = QStandardPaths::findExecutable("Xvfb");
        if (exe.isEmpty())
            return false;
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const std::string path = exe.toStdString();
            // -noreset: a client's end (a grab, a check) must not start a
            // reset that refuses the next client for a moment.
            execl(path.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                  "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        display_ = number.empty() ? QString() : ":" + QString::fromStdString(number);
        return !display_.isEmpty() && AcceptsConnections(number);
    }
    ~XvfbServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    const QString& Display() const { return display_; }

private:
    // Whether the server's socket takes a connection, tried for up to 10 s,
    // so that the program started next meets a server that answers.
    static bool AcceptsConnections(const std::string& number)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = "/tmp/.X11-unix/X" + number;
        if (path.size() >= sizeof(address.sun_path))
            return false;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        QElapsedTimer t;
        for (t.start(); t.elapsed() < 10000; QThread::msleep(50)) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0)
                return false;
            const bool connected =
                connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            close(fd);
            if (connected)
                return true;
        }
        return false;
    }

    pid_t pid_ = -1;
    QString display_;
};
