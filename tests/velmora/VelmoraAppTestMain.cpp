// Main of the tests of velmora's windows: one QApplication on the offscreen
// platform, and a temporary folder of its own as TMPDIR (shared-memory key
// files and the local socket of the stand-in viewer live there), removed at
// the end.
#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lwvelmora.XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    if (mkdtemp(path.data()) == nullptr) return 3;
    setenv("TMPDIR", path.data(), 1);
    int rc;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    QDir(QString::fromLocal8Bit(path.data())).removeRecursively();
    return rc;
}
