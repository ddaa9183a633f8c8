#include "strings/platform_words.hpp"

// The words of a Mac.
namespace vardex::UIStrings {

extern const std::string_view aboutWhy = "Vardex checks what your AI apps do before it happens, right on this Mac.";
extern const std::string_view activityFootnote = "The log is kept on this Mac and is tamper-evident.";
extern const std::string_view adminWhy = "Admin commands can change the whole Mac.";
extern const std::string_view appNotInstalledHere = "This app is not installed on this Mac.";
extern const std::string_view beatWatchesUploads = "Watches what leaves your Mac.";
extern const std::string_view connectConsentBody = "Cursor on this Mac is connected first. Claude Code, Codex, Windsurf, GitHub Copilot and others are connected when they are installed. You can disconnect any app later.";
extern const std::string_view dmgStep1 = "Drag Vardex into Applications.";
extern const std::string_view dmgStep2 = "Open Vardex from Applications.";
extern const std::string_view flagsBody = "These extra layers need your permission in System Settings.";
extern const std::string_view foundAppsTitle = "AI apps on this Mac";
extern const std::string_view healthBinaryMissing = "This Mac app could not find its helper.";
extern const std::string_view healthBinaryOk = "This Mac app is installed.";
extern const std::string_view installCLIWhy = "Lets you use vardex in Terminal.";
extern const std::string_view installTerminalTool = "Install the Terminal tool (optional)";
extern const std::string_view keychainWhy = "Keychain items are the passwords you told macOS to remember.";
extern const std::string_view livesInMenuBar = "Vardex lives in your menu bar.";
extern const std::string_view modelFetchNote = "Explanations are written on this Mac. Nothing is sent anywhere.";
extern const std::string_view noAgentsDetected = "No AI apps found on this Mac yet.";
extern const std::string_view notOnThisMac = "Not on this Mac";
extern const std::string_view nothingLeftYourMac = "Nothing left your Mac.";
extern const std::string_view openSystemSettings = "Open System Settings";
extern const std::string_view possibleConnectionsFree = "No connections leave this Mac.";
extern const std::string_view protectMyMac = "Protect my Mac";
extern const std::string_view remoteControlWhy = "That can let someone else control this Mac.";
extern const std::string_view runsOnDevice = "Runs on your Mac";
extern const std::string_view secretLeavesWhy = "Once a key leaves your Mac, you cannot take it back.";
extern const std::string_view setupMacLayers = "Extra Mac layers";
extern const std::string_view startupThing = "changing what starts with your Mac";
extern const std::string_view startupVerb = "change what starts with your Mac";
extern const std::string_view supportingTagline = "Runs on your Mac. Your code and secrets never leave it.";
extern const std::string_view thisMacApp = "This Mac app";
extern const std::string_view turnOffEveryAppConfirm = "Disconnect Vardex from every AI app on this Mac?";
extern const std::string_view v2RunsOnDevice = "Runs on this Mac";
extern const std::string_view v3MoveBody = "Vardex works best from your Applications folder. We'll copy it there and open it.";
extern const std::string_view v3MoveButton = "Move to Applications";
extern const std::string_view v3MoveTitle = "Move Vardex to Applications?";
extern const std::string_view v3RunsOnDevice = "Runs on your Mac";
extern const std::string_view whyUploads = "Once a file leaves your Mac, you can't take it back.";

}  // namespace vardex::UIStrings
