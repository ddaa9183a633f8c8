#include <gtest/gtest.h>

#include <QApplication>

// The tray tests need a real X display (the xcb platform): offscreen has no tray.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
