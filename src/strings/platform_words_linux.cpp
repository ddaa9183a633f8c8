#include "strings/platform_words.hpp"

// The words of a Linux desktop: "this computer", "the keyring", "the applications menu".
namespace vardex::UIStrings {

extern const std::string_view aboutWhy = "Vardex checks what your AI apps do before it happens, right on this computer.";
extern const std::string_view activityFootnote = "The log is kept on this computer and is tamper-evident.";
extern const std::string_view adminWhy = "Admin commands can change the whole computer.";
extern const std::string_view appNotInstalledHere = "This app is not installed on this computer.";
extern const std::string_view beatWatchesUploads = "Watches what leaves your computer.";
extern const std::string_view connectConsentBody = "Cursor on this computer is connected first. Claude Code, Codex, Windsurf, GitHub Copilot and others are connected when they are installed. You can disconnect any app later.";
extern const std::string_view dmgStep1 = "Install Vardex with your package manager.";
extern const std::string_view dmgStep2 = "Open Vardex from the applications menu.";
extern const std::string_view flagsBody = "These extra layers need your permission in the system settings.";
extern const std::string_view foundAppsTitle = "AI apps on this computer";
extern const std::string_view healthBinaryMissing = "This desktop app could not find its helper.";
extern const std::string_view healthBinaryOk = "This desktop app is installed.";
extern const std::string_view installCLIWhy = "Lets you use vardex in a terminal.";
extern const std::string_view installTerminalTool = "Install the command-line tool (optional)";
extern const std::string_view keychainWhy = "Keyring items are the passwords you told your desktop to remember.";
extern const std::string_view livesInMenuBar = "Vardex lives in your panel's tray.";
extern const std::string_view modelFetchNote = "Explanations are written on this computer. Nothing is sent anywhere.";
extern const std::string_view noAgentsDetected = "No AI apps found on this computer yet.";
extern const std::string_view notOnThisMac = "Not on this computer";
extern const std::string_view nothingLeftYourMac = "Nothing left your computer.";
extern const std::string_view openSystemSettings = "Open Settings";
extern const std::string_view possibleConnectionsFree = "No connections leave this computer.";
extern const std::string_view protectMyMac = "Protect my computer";
extern const std::string_view remoteControlWhy = "That can let someone else control this computer.";
extern const std::string_view runsOnDevice = "Runs on your computer";
extern const std::string_view secretLeavesWhy = "Once a key leaves your computer, you cannot take it back.";
extern const std::string_view setupMacLayers = "Extra system layers";
extern const std::string_view startupThing = "changing what starts with your computer";
extern const std::string_view startupVerb = "change what starts with your computer";
extern const std::string_view supportingTagline = "Runs on your computer. Your code and secrets never leave it.";
extern const std::string_view thisMacApp = "This desktop app";
extern const std::string_view turnOffEveryAppConfirm = "Disconnect Vardex from every AI app on this computer?";
extern const std::string_view v2RunsOnDevice = "Runs on this computer";
extern const std::string_view v3MoveBody = "Vardex is running from a folder outside the installed programs. Add it to the applications menu to start it like any other app.";
extern const std::string_view v3MoveButton = "Add to menu";
extern const std::string_view v3MoveTitle = "Add Vardex to your applications menu?";
extern const std::string_view v3RunsOnDevice = "Runs on your computer";
extern const std::string_view whyUploads = "Once a file leaves your computer, you can't take it back.";

}  // namespace vardex::UIStrings
