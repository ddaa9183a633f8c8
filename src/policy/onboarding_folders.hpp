#pragma once

#include <string>
#include <vector>

// Well-known sensitive places, guarded from the start. Home is HOME, else the account's home
// folder; every path is absolute, without a trailing slash.
namespace vardex::OnboardingFolders {

std::string sshPath();
// Passwords live all over the home folder, so the home folder itself stands for them.
std::string passwordsPath();
std::string cloudPath();
std::string documentsPath();
std::string envGlob();
// The system keychains on macOS, the user's keyrings on Linux.
std::string keyringsPath();
// Home, ".ssh", ".env", ".aws", the keychains or keyrings, then "/etc".
std::vector<std::string> defaultGuardPaths();

}  // namespace vardex::OnboardingFolders
