#include <gtest/gtest.h>

#include <QApplication>

// One application object for every test of the process; widgets need it before anything else.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
