#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QDBusConnection>

#include "strings/ui_strings.hpp"
#include "ui/app/quit_on_signals.hpp"
#include "ui/app/single_instance.hpp"
#include "ui/app/vardex_bar_app.hpp"
#include "ui/tray/menu_bar_status.hpp"

namespace {

bool hasDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

// The desktop app's entry; the shell (tray, popover, windows) is built in VardexBarApp.
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vardex-bar %s\n", VARDEX_VERSION);
            return 0;
        }
    }
    if (!hasDisplay()) {
        const auto text = vardex::UIStrings::runUnderXvfb;
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
        return 2;
    }
    QApplication::setOrganizationName(QStringLiteral("Talvenor"));
    QApplication::setApplicationName(QStringLiteral("vardex-bar"));
    QApplication::setDesktopFileName(QStringLiteral("com.talvenor.VardexBar"));
    QApplication app(argc, argv);
    vardex::ui::SingleInstance instance(QDBusConnection::sessionBus());
    if (!instance.claim()) return 0;
    const vardex::ui::QuitOnSignals quitOnSignals;
    vardex::ui::VardexBarApp vardexBar;
    QObject::connect(&instance, &vardex::ui::SingleInstance::raiseRequested, &app,
                     [&vardexBar] {
                         vardexBar.status().bringBack();
                         vardexBar.windows().show(vardex::ui::WindowKind::dashboard);
                     });
    return QApplication::exec();
}
