#include "policy/onboarding_folders.hpp"

#include "bridge/vardex_paths.hpp"

namespace vardex::OnboardingFolders {
namespace {

std::string plain(const std::filesystem::path& path) {
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

std::string home() { return plain(VardexPaths::homeDirectory()); }
std::string inHome(const char* name) { return plain(VardexPaths::homeDirectory() / name); }

}  // namespace

std::string sshPath() { return inHome(".ssh"); }
std::string passwordsPath() { return home(); }
std::string cloudPath() { return inHome(".aws"); }
std::string documentsPath() { return inHome("Documents"); }
std::string envGlob() { return inHome(".env"); }
std::string keyringsPath() { return plain(VardexPaths::homeLayout().keyrings); }

std::vector<std::string> defaultGuardPaths() {
    return {home(), sshPath(), envGlob(), cloudPath(), keyringsPath(), "/etc"};
}

}  // namespace vardex::OnboardingFolders
