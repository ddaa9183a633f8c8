#include "core/secret_catalogue.hpp"

#include <array>

namespace vardex::engine {
namespace {

constexpr std::array places = std::to_array<SecretPlace>({
    {".ssh", SecretKind::sshKey, true},
    {".gnupg", SecretKind::keychain, true},
    {".aws", SecretKind::cloud, true},
    {".kube", SecretKind::cloud, true},
    {".config/gcloud", SecretKind::cloud, true},
    {".azure", SecretKind::cloud, true},
    {".oci", SecretKind::cloud, true},
    {".config/doctl", SecretKind::cloud, true},
    {".terraform.d/credentials.tfrc.json", SecretKind::cloud, false},
    {".config/hcloud", SecretKind::cloud, true},
    {".local/share/keyrings", SecretKind::keychain, true},
    {".password-store", SecretKind::keychain, true},
    {"Library/Keychains", SecretKind::keychain, true},
    {".mozilla", SecretKind::browser, true},
    {".config/google-chrome", SecretKind::browser, true},
    {".config/chromium", SecretKind::browser, true},
    {".config/BraveSoftware", SecretKind::browser, true},
    {".config/microsoft-edge", SecretKind::browser, true},
    {".config/vivaldi", SecretKind::browser, true},
    {"snap/firefox", SecretKind::browser, true},
    {"Library/Application Support/Google/Chrome", SecretKind::browser, true},
    {"Library/Application Support/Firefox", SecretKind::browser, true},
    {"Library/Application Support/BraveSoftware", SecretKind::browser, true},
    {"Library/Cookies", SecretKind::browser, true},
    {"Library/Safari", SecretKind::browser, true},
    {".npmrc", SecretKind::packageToken, false},
    {".pypirc", SecretKind::packageToken, false},
    {".netrc", SecretKind::packageToken, false},
    {".git-credentials", SecretKind::packageToken, false},
    {".config/gh/hosts.yml", SecretKind::packageToken, false},
    {".docker/config.json", SecretKind::packageToken, false},
    {".cargo/credentials", SecretKind::packageToken, false},
    {".cargo/credentials.toml", SecretKind::packageToken, false},
    {".gem/credentials", SecretKind::packageToken, false},
    {".config/hub", SecretKind::packageToken, false},
    {".yarnrc.yml", SecretKind::packageToken, false},
    {".composer/auth.json", SecretKind::packageToken, false},
    {".m2/settings-security.xml", SecretKind::packageToken, false},
});

}  // namespace

std::span<const SecretPlace> secretPlaces() { return places; }

}  // namespace vardex::engine
