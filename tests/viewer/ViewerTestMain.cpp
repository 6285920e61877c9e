// Main of the test programs that talk to the stand-in viewer. Every run gets
// a temporary folder of its own as TMPDIR before Qt starts, because Qt keeps
// the key files of shared-memory blocks and the local socket files there:
// tests running in parallel then never meet each other's blocks or sockets.
// The folder is removed at the end. Built with LW_VIEWER_TEST_WIDGETS, the
// binary gets a QApplication on the offscreen platform (unless another is
// named) for tests of windows.
#ifdef LW_VIEWER_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lwviewer.XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    if (mkdtemp(path.data()) == nullptr)
        return 3;
    setenv("TMPDIR", path.data(), 1);
    int rc;
    {
#ifdef LW_VIEWER_TEST_WIDGETS
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        TestApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    QDir(QString::fromLocal8Bit(path.data())).removeRecursively();
    return rc;
}
