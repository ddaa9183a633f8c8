#include "core/secret_paths.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <vector>

#include "core/path_match.hpp"
#include "core/secret_catalogue.hpp"

namespace vardex::engine {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Files in ~/.ssh that hold no secret: public halves and lists of hosts or keys that may log in.
bool sshPublic(std::string_view name) {
    return endsWith(name, ".pub") || startsWith(name, "known_hosts") || name == "authorized_keys" ||
           name == "config";
}

// The part of `path` below a home folder, when it lies in one.
std::optional<std::string_view> belowHome(std::string_view path, std::string_view home) {
    if (!home.empty() && home != "/" && isUnder(path, home)) {
        return path.size() == home.size() ? std::string_view{} : path.substr(home.size() + 1);
    }
    for (std::string_view root : {"/home/", "/Users/"}) {
        if (!startsWith(path, root)) continue;
        const auto rest = path.substr(root.size());
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return std::string_view{};
        return rest.substr(slash + 1);
    }
    if (isUnder(path, "/root")) return path.size() == 5 ? std::string_view{} : path.substr(6);
    return std::nullopt;
}

bool isDotenv(std::string_view name) {
    if (name == ".env") return true;
    if (startsWith(name, ".env.")) {
        const auto suffix = name.substr(5);
        return !(suffix == "example" || suffix == "sample" || suffix == "template" || suffix == "dist" ||
                 suffix == "defaults" || suffix == "schema");
    }
    return endsWith(name, ".env") && name.size() > 4;
}

SecretKind literalKind(std::string_view path, std::string_view home) {
    const auto name = baseName(path);
    if (isUnder(path, "/etc/ssh") && startsWith(name, "ssh_host_") && endsWith(name, "_key")) return SecretKind::sshKey;
    if (const auto rest = belowHome(path, home)) {
        for (const auto& place : secretPlaces()) {
            if (place.folder ? isUnder(*rest, place.relative) : *rest == place.relative) {
                if (place.kind == SecretKind::sshKey && *rest != place.relative && sshPublic(name)) return SecretKind::none;
                return place.kind;
            }
        }
    }
    return isDotenv(name) ? SecretKind::dotenv : SecretKind::none;
}

bool hasWildcard(std::string_view path) { return path.find_first_of("*?[") != std::string_view::npos; }

// Variables and substitutions left in a path could stand for anything within one component.
std::string variablesAsWildcards(std::string_view path) {
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '$' && path[i] != '`') {
            out += path[i];
            continue;
        }
        if (path[i] == '`') {
            const auto close = path.find('`', i + 1);
            i = close == std::string_view::npos ? path.size() : close;
        } else if (i + 1 < path.size() && (path[i + 1] == '{' || path[i + 1] == '(')) {
            const char close = path[i + 1] == '{' ? '}' : ')';
            const auto end = path.find(close, i + 2);
            i = end == std::string_view::npos ? path.size() : end;
        } else {
            while (i + 1 < path.size() && (std::isalnum(static_cast<unsigned char>(path[i + 1])) || path[i + 1] == '_')) ++i;
        }
        out += '*';
    }
    return out;
}

// Secret files a wildcard path is tried against, below each home folder.
constexpr std::array<std::string_view, 26> samples{
    ".ssh/id_rsa", ".ssh/deploy_key", ".ssh/key.pem", ".ssh/id_ed25519", ".ssh/id_ecdsa", ".ssh/id_dsa", ".ssh/identity",
    ".aws/credentials", ".aws/config", ".kube/config", ".gnupg/private-keys-v1.d/k.key",
    ".config/gcloud/credentials.db", ".config/gcloud/application_default_credentials.json",
    ".azure/accessTokens.json", ".local/share/keyrings/login.keyring", ".password-store/p.gpg",
    ".mozilla/firefox/p.default/logins.json", ".config/google-chrome/Default/Login Data",
    ".config/chromium/Default/Cookies", ".npmrc", ".pypirc", ".netrc", ".git-credentials",
    ".config/gh/hosts.yml", ".docker/config.json", ".cargo/credentials.toml"};

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto slash = path.find('/');
        if (slash != 0) parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

// The shell's wildcards do not match a leading dot: "~/*" lists no hidden files.
bool globReaches(const std::string& pattern, std::string_view candidate) {
    if (!globMatch(pattern, candidate, true)) return false;
    if (pattern.find("**") != std::string::npos) return true;
    const auto wanted = components(pattern);
    const auto found = components(candidate);
    if (wanted.size() != found.size()) return true;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (!found[i].empty() && found[i].front() == '.' && (wanted[i].empty() || wanted[i].front() != '.')) return false;
    }
    return true;
}

SecretKind wildcardKind(const std::string& pattern, std::string_view home) {
    const auto name = baseName(pattern);
    if (!name.empty() && name.front() == '.') {
        for (std::string_view env : {".env", ".env.local", ".env.production"}) {
            if (globMatch(name, env, true)) return SecretKind::dotenv;
        }
    }
    for (std::string_view base : {std::string_view(home), std::string_view("/home/user"), std::string_view("/root")}) {
        for (auto sample : samples) {
            const auto candidate = std::string(base) + "/" + std::string(sample);
            if (globReaches(pattern, candidate)) return literalKind(candidate, home);
        }
    }
    return SecretKind::none;
}

}  // namespace

SecretKind secretKind(std::string_view path, std::string_view home) {
    if (path.find_first_of("$`") != std::string_view::npos) {
        const auto pattern = variablesAsWildcards(path);
        return hasWildcard(pattern) ? wildcardKind(pattern, home) : literalKind(pattern, home);
    }
    if (hasWildcard(path)) return wildcardKind(std::string(path), home);
    return literalKind(path, home);
}

bool isSecretFolder(std::string_view path, std::string_view home) {
    const auto rest = belowHome(path, home);
    if (!rest) return false;
    const auto places = secretPlaces();
    return std::any_of(places.begin(), places.end(), [&](const SecretPlace& p) { return p.folder && *rest == p.relative; });
}

SecretKind printedSecret(std::string_view program, const std::vector<std::string>& args) {
    std::vector<std::string_view> operands;
    for (const auto& arg : args) {
        if (!arg.empty() && arg.front() != '-') operands.push_back(arg);
    }
    const auto hasOption = [&](std::string_view option) {
        return std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
            return arg == option || (startsWith(arg, option) && arg.size() > option.size() && arg[option.size()] == '=');
        });
    };
    for (const auto& printer : secretPrinters()) {
        if (printer.program != program) continue;
        // The words in order, with global options and their values allowed between them.
        std::size_t next = 0;
        bool all = true;
        std::string_view rest = printer.words;
        while (all && !rest.empty()) {
            const auto blank = rest.find(' ');
            const auto word = rest.substr(0, blank);
            rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
            if (word.front() == '-') {
                all = hasOption(word);
                continue;
            }
            while (next < operands.size() && operands[next] != word) ++next;
            all = next++ < operands.size();
        }
        if (all) return printer.kind;
    }
    return SecretKind::none;
}

}  // namespace vardex::engine
