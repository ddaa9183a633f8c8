#include <cstdio>
#include <cstring>

#include <QApplication>

// The desktop app's entry; the shell (tray, popover, windows) is built in VardexBarApp.
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vardex-bar %s\n", VARDEX_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    return 0;
}
