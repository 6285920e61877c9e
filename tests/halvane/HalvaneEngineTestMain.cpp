// Main of the tests of halvane's engine: the operation log names the program
// by QCoreApplication's file path, so the tests run inside one
// QCoreApplication (no windows).
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
