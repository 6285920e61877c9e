#pragma once
// An Xvfb server on a free display that it chooses itself (-displayfd), for
// tests that run a window program on a real X server. Ends the server when
// destroyed.

#include <QStandardPaths>
#include <QString>

#include <csignal>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

class XvfbServer
{
public:
    XvfbServer() = default;
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server with one screen of `screen` ("WxHxD"); false when
    // Xvfb is missing or reports no display.
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
            execl(path.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                  "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        display_ = number.empty() ? QString() : ":" + QString::fromStdString(number);
        return !display_.isEmpty();
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
    pid_t pid_ = -1;
    QString display_;
};
