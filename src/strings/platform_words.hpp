#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The texts that name the computer, its system or the system's own places (the computer by its
// make, the password store, where programs are installed). Each platform has its own words for them, in its own
// file (platform_words_linux.cpp, platform_words_macos.cpp); the build compiles the one for its
// target. Everything else in the catalogue is the same everywhere.
namespace vardex::UIStrings {

#define VARDEX_PLATFORM_WORDS(X) \
    X(aboutWhy) \
    X(activityFootnote) \
    X(adminWhy) \
    X(appNotInstalledHere) \
    X(beatWatchesUploads) \
    X(connectConsentBody) \
    X(dmgStep1) \
    X(dmgStep2) \
    X(flagsBody) \
    X(foundAppsTitle) \
    X(healthBinaryMissing) \
    X(healthBinaryOk) \
    X(installCLIWhy) \
    X(installTerminalTool) \
    X(keychainWhy) \
    X(livesInMenuBar) \
    X(modelFetchNote) \
    X(noAgentsDetected) \
    X(notOnThisMac) \
    X(nothingLeftYourMac) \
    X(openSystemSettings) \
    X(possibleConnectionsFree) \
    X(protectMyMac) \
    X(remoteControlWhy) \
    X(runsOnDevice) \
    X(secretLeavesWhy) \
    X(setupMacLayers) \
    X(startupThing) \
    X(startupVerb) \
    X(supportingTagline) \
    X(thisMacApp) \
    X(turnOffEveryAppConfirm) \
    X(v2RunsOnDevice) \
    X(v3MoveBody) \
    X(v3MoveButton) \
    X(v3MoveTitle) \
    X(v3RunsOnDevice) \
    X(whyUploads)

#define VARDEX_DECLARE_PLATFORM_WORD(name) extern const std::string_view name;
VARDEX_PLATFORM_WORDS(VARDEX_DECLARE_PLATFORM_WORD)
#undef VARDEX_DECLARE_PLATFORM_WORD

// Every platform word with its name, for review and for the check that this platform's texts
// name nothing of another.
const std::vector<std::pair<std::string_view, std::string_view>>& platformWords();

}  // namespace vardex::UIStrings
