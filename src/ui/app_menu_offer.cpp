#include "ui/app_menu_offer.hpp"

#include <cstdlib>
#include <system_error>

#include <QMessageBox>
#include <QPushButton>

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "store/preferences.hpp"
#include "strings/ui_strings.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

std::filesystem::path realPath(const std::filesystem::path& path) {
    std::error_code error;
    auto resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path.lexically_normal() : resolved;
}

bool environmentSkips() {
    if (VardexPaths::env("VARDEX_CAPTURE_DIR")) return true;
    return VardexPaths::env("VARDEX_SKIP_MOVE_PROMPT") == std::optional<std::string>("1");
}

// Desktop entries quote arguments with double quotes and escape these four inside them.
std::string quotedExec(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

bool runsOutsidePrefix(const std::filesystem::path& executable, const std::filesystem::path& installPrefix) {
    const auto program = realPath(executable);
    const auto prefix = realPath(installPrefix);
    auto inside = program.begin();
    for (auto part = prefix.begin(); part != prefix.end(); ++part, ++inside) {
        if (part->empty()) continue;  // the empty last part of a prefix ending in "/"
        if (inside == program.end() || *inside != *part) return true;
    }
    return false;
}

std::string desktopEntry(const std::filesystem::path& executable, std::string_view iconName) {
    std::string text = "[Desktop Entry]\nType=Application\nName=";
    text += UIStrings::product;
    text += "\nComment=";
    text += UIStrings::menuOfferComment;
    text += "\nExec=" + quotedExec(executable.string());
    text += "\nIcon=";
    text += iconName;
    text += "\nTerminal=false\nCategories=Utility;Security;\nStartupNotify=false\n";
    return text;
}

std::filesystem::path userDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "") / ".local" / "share";
}

AppMenuOffer::AppMenuOffer(Preferences& preferences, std::filesystem::path executable, std::filesystem::path installPrefix,
                           Ask ask)
    : preferences_(preferences),
      executable_(std::move(executable)),
      installPrefix_(std::move(installPrefix)),
      ask_(std::move(ask)) {}

bool AppMenuOffer::offerIfNeeded() {
    if (environmentSkips()) return false;
    const auto offered = preferences_.value(std::string(offeredKey));
    if (offered && std::holds_alternative<bool>(*offered) && std::get<bool>(*offered)) return false;
    if (!runsOutsidePrefix(executable_, installPrefix_)) return false;
    // Remembered before asking, so a crash or a closed dialog never brings the question back.
    preferences_.setValue(std::string(offeredKey), true);
    if (!ask_()) return false;
    return writeEntry();
}

bool AppMenuOffer::writeEntry() const {
    const auto data = userDataFolder();
    const auto icons = data / "icons" / "hicolor" / "scalable" / "apps";
    const auto applications = data / "applications";
    std::error_code error;
    std::filesystem::create_directories(icons, error);
    std::filesystem::create_directories(applications, error);
    const QByteArray svg = symbolSvg("checkmark.shield.fill", theme::allowColor());
    const auto iconWritten = writeTextFileAtomically(icons / (std::string(entryName) + ".svg"),
                                                     std::string_view(svg.constData(), static_cast<std::size_t>(svg.size())));
    if (!iconWritten) return false;
    const auto entry = desktopEntry(realPath(executable_), entryName);
    return static_cast<bool>(writeTextFileAtomically(applications / (std::string(entryName) + ".desktop"), entry));
}

bool askToAddToMenu() {
    QMessageBox box;
    box.setObjectName(QStringLiteral("appMenuOffer"));
    box.setWindowTitle(qs(UIStrings::product));
    box.setText(qs(UIStrings::menuOfferTitle));
    box.setInformativeText(qs(UIStrings::menuOfferBody));
    box.setIconPixmap(symbolIcon("checkmark.shield.fill", theme::allowColor()).pixmap(48, 48));
    auto* add = box.addButton(qs(UIStrings::menuOfferButton), QMessageBox::AcceptRole);
    add->setObjectName(QStringLiteral("appMenuAdd"));
    auto* later = box.addButton(qs(UIStrings::v3MoveLater), QMessageBox::RejectRole);
    later->setObjectName(QStringLiteral("appMenuLater"));
    box.setDefaultButton(add);
    box.raise();
    box.activateWindow();
    box.exec();
    return box.clickedButton() == add;
}

}  // namespace vardex::ui
