#include "agents/config_install.hpp"

#include <system_error>

#include "policy/text_file.hpp"
#include "text/unicode_text.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

// A configuration file kept elsewhere and linked in (as dotfile managers do) is edited where it
// lies, so the link stays a link.
fs::path resolved(const fs::path& file) {
    std::error_code code;
    if (!fs::is_symlink(file, code)) return file;
    auto target = fs::canonical(file, code);
    return code ? file : target;
}

Result<std::optional<std::string>, AgentConfigError> currentText(const fs::path& file) {
    std::error_code code;
    if (!fs::exists(file, code)) return std::optional<std::string>();
    auto text = readFileBytes(file);
    if (!text) return fail(AgentConfigError::readFailed(file.string(), text.error().reason()));
    if (!unicode::isValidUTF8(*text)) return fail(AgentConfigError::malformed(file.string(), "is not UTF-8 text"));
    return std::optional<std::string>(std::move(*text));
}

Result<void, AgentConfigError> write(const fs::path& file, const std::string& text) {
    if (auto written = writeTextFileAtomically(file, text); !written) {
        return fail(AgentConfigError::writeFailed(file.string(), written.error().reason()));
    }
    return {};
}

std::vector<std::string> missingFolders(const fs::path& folder) {
    std::vector<std::string> missing;
    std::error_code code;
    for (fs::path f = folder; !f.empty() && !fs::exists(f, code); f = f.parent_path()) {
        missing.insert(missing.begin(), f.string());
        if (f == f.parent_path()) break;
    }
    return missing;
}

void removeEmptyFolders(const std::vector<std::string>& outermostFirst) {
    for (auto it = outermostFirst.rbegin(); it != outermostFirst.rend(); ++it) {
        std::error_code code;
        if (!fs::is_directory(*it, code) || !fs::is_empty(*it, code)) return;
        fs::remove(*it, code);
    }
}

}  // namespace

std::optional<std::string> readConfig(const fs::path& file) {
    auto text = currentText(resolved(file));
    if (!text) return std::nullopt;
    return *text;
}

Result<bool, AgentConfigError> addToConfig(const fs::path& link, const ConfigEdit& edit, InstallRecords& records,
                                           bool create) {
    const fs::path file = resolved(link);
    auto current = currentText(file);
    if (!current) return fail(current.error());
    if (!*current && !create) return false;
    auto added = edit.add(*current);
    if (!added) return fail(AgentConfigError::malformed(file.string(), added.error().problem));
    if (*current && **current == *added) return false;

    const bool heldOurs = *current && edit.remove(**current).has_value();
    if (!heldOurs) {
        InstallRecord record{*current, edit.remove(*added).value_or(*added), missingFolders(file.parent_path())};
        records.byPath[file.string()] = std::move(record);
        if (auto saved = records.save(); !saved) return fail(saved.error());
    }
    if (!*current) {
        std::error_code code;
        fs::create_directories(file.parent_path(), code);
        if (code) return fail(AgentConfigError::writeFailed(file.string(), code.message()));
    }
    if (auto written = write(file, *added); !written) return fail(written.error());
    return true;
}

Result<bool, AgentConfigError> removeFromConfig(const fs::path& link, const ConfigEdit& edit,
                                                InstallRecords& records) {
    const fs::path file = resolved(link);
    auto current = currentText(file);
    if (!current) return fail(current.error());
    const auto found = records.byPath.find(file.string());
    const InstallRecord* record = found == records.byPath.end() ? nullptr : &found->second;
    // Once the entries are gone (or when the user took them out by hand) the record must not be
    // applied to the file of a later install. One left behind by a failed save is harmless:
    // every install that starts from a file without entries replaces it.
    const auto forgetRecord = [&] {
        if (found == records.byPath.end()) return;
        records.byPath.erase(found);
        (void)records.save();
    };
    const std::optional<std::string> cleaned = *current ? edit.remove(**current) : std::nullopt;
    if (!cleaned) {
        forgetRecord();
        return false;
    }
    if (record && *cleaned == record->clean) {
        if (!record->original) {
            std::error_code code;
            fs::remove(file, code);
            if (code) return fail(AgentConfigError::writeFailed(file.string(), code.message()));
            removeEmptyFolders(record->createdFolders);
        } else if (auto written = write(file, *record->original); !written) {
            return fail(written.error());
        }
    } else if (auto written = write(file, *cleaned); !written) {
        return fail(written.error());
    }
    forgetRecord();
    return true;
}

}  // namespace vardex::engine
