#include <gtest/gtest.h>

#include <QApplication>

// One application object for every test of the process; widgets need it before anything else.
// Screens are tested offscreen unless a test run asks for a real display.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
