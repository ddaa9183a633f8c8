#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vardex {
class Preferences;
}

namespace vardex::ui {

// Linux has no Applications folder to move into: a copy run from outside the installed
// programs offers, once ever, to add itself to the desktop's applications menu instead (a
// desktop entry and an icon in the user's XDG data folder, pointing at the running program).

// True when `executable` (its real path) lies outside `installPrefix`.
bool runsOutsidePrefix(const std::filesystem::path& executable, const std::filesystem::path& installPrefix);

// The desktop entry for `executable`, its icon named by `iconName`.
std::string desktopEntry(const std::filesystem::path& executable, std::string_view iconName);

// The user's data folder: XDG_DATA_HOME when it is an absolute path, else HOME/.local/share.
std::filesystem::path userDataFolder();

class AppMenuOffer {
public:
    // The same names the installed package gives its desktop entry and icon.
    // Asks the user; true when they choose to add the entry.
    using Ask = std::function<bool()>;
    static constexpr std::string_view offeredKey = "appMenuOffered";
    static constexpr std::string_view entryName = "com.talvenor.VardexBar";

    AppMenuOffer(Preferences& preferences, std::filesystem::path executable, std::filesystem::path installPrefix, Ask ask);

    // Makes the offer when it is due: not skipped by VARDEX_CAPTURE_DIR or
    // VARDEX_SKIP_MOVE_PROMPT=1, never made before, and the program runs from outside the prefix.
    // The offer counts as made whatever the answer. Returns whether the entry was written.
    bool offerIfNeeded();

private:
    bool writeEntry() const;

    Preferences& preferences_;
    std::filesystem::path executable_;
    std::filesystem::path installPrefix_;
    Ask ask_;
};

// The question as a dialog with the catalogue's texts.
bool askToAddToMenu();

}  // namespace vardex::ui
