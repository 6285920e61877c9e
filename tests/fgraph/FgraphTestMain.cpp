// One QApplication for every test of the binary. The test discovery runs the
// binary without the test environment, so the offscreen platform is the
// default here too.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The graph's scene pixels are device pixels on a 96 dpi screen; the
    // offscreen screen reports 100 unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
