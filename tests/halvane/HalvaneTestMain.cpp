// Main of halvane's tests. halvane keeps its ini and menu files beside the
// program and "filepath.ini" in the working directory, so that test runs in
// parallel never share them, every run first copies this binary into a
// folder of its own, works there and runs the copy; the folder is also the
// run's TMPDIR, where Qt keeps the keys of shared-memory blocks and local
// sockets. The folder is removed at the end.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kRunDirVariable = "HALVANE_TEST_RUN_DIR";

}  // namespace

int main(int argc, char** argv)
{
    const char* runDir = std::getenv(kRunDirVariable);
    if (runDir == nullptr || *runDir == '\0') {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lwhalvane.XXXXXX";
        std::vector<char> path(pattern.begin(), pattern.end());
        path.push_back('\0');
        if (mkdtemp(path.data()) == nullptr)
            return 3;
        const std::string dir = path.data();
        const std::string copy = dir + "/halvane_test";
        if (!QFile::copy("/proc/self/exe", QString::fromStdString(copy)))
            return 3;
        QFile::setPermissions(QString::fromStdString(copy), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        setenv(kRunDirVariable, dir.c_str(), 1);
        setenv("TMPDIR", dir.c_str(), 1);
        if (chdir(dir.c_str()) != 0)
            return 3;
        std::vector<char*> args(argv, argv + argc);
        args[0] = const_cast<char*>(copy.c_str());
        args.push_back(nullptr);
        execv(copy.c_str(), args.data());
        return 3;
    }
    // The test discovery runs the binary without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int rc;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    QDir(QString::fromLocal8Bit(runDir)).removeRecursively();
    return rc;
}
