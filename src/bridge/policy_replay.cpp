#include "bridge/policy_replay.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "bridge/engine_json.hpp"
#include "protocol/wire_enum.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {
namespace {

using nlohmann::json;
using engine_json::member;

std::size_t readCount(const json& object, std::string_view key) {
    const auto* value = member(object, key);
    if (value == nullptr) return 0;
    if (value->is_number_unsigned()) return value->get<std::size_t>();
    if (value->is_number_integer()) return static_cast<std::size_t>(std::max<std::int64_t>(0, value->get<std::int64_t>()));
    return 0;
}

std::optional<Outcome> readOutcome(const json& object, std::string_view key) {
    const auto word = engine_json::text(member(object, key));
    if (!word) return std::nullopt;
    return parseWireText<Outcome>(engine_json::lowercased(*word));
}

std::optional<PolicyReplay::Difference> readDifference(const json& value) {
    const auto before = readOutcome(value, "before");
    const auto after = readOutcome(value, "after");
    if (!before || !after || *before == *after) return std::nullopt;
    PolicyReplay::Difference difference;
    difference.ts = engine_json::textOr(value, "ts", "");
    difference.agent = engine_json::textOr(value, "agent", "");
    difference.summary = engine_json::textOr(value, "summary", "action");
    difference.before = *before;
    difference.beforeRule = engine_json::text(member(value, "before_rule"));
    difference.after = *after;
    difference.afterRule = engine_json::text(member(value, "after_rule"));
    return difference;
}

// The candidate policy in a file only this user can read, removed when the run is over.
class PrivateFile {
public:
    explicit PrivateFile(std::string_view text) {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "vardex-policy-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());  // created 0600
        if (fd < 0) return;
        path_ = pattern;
        std::size_t written = 0;
        while (written < text.size()) {
            const auto n = ::write(fd, text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        complete_ = ::close(fd) == 0 && written == text.size();
    }
    ~PrivateFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    bool written() const { return complete_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool complete_ = false;
};

}  // namespace

std::vector<PolicyReplay::Shift> PolicyReplay::shifts(std::size_t examples) const {
    std::vector<Shift> found;
    for (const auto& difference : differences) {
        auto shift = std::find_if(found.begin(), found.end(), [&](const Shift& candidate) {
            return candidate.before == difference.before && candidate.after == difference.after;
        });
        if (shift == found.end()) shift = found.insert(found.end(), Shift{difference.before, difference.after, 0, {}});
        ++shift->count;
        if (shift->examples.size() < examples &&
            std::find(shift->examples.begin(), shift->examples.end(), difference.summary) == shift->examples.end()) {
            shift->examples.push_back(difference.summary);
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Shift& a, const Shift& b) { return a.count > b.count; });
    return found;
}

std::optional<PolicyReplay> PolicyReplay::parse(std::string_view bytes) {
    const auto document = engine_json::parse(engine_json::trimmed(bytes));
    if (!document || !document->is_object()) return std::nullopt;
    PolicyReplay replay;
    replay.since = engine_json::textOr(*document, "since", "");
    replay.checked = readCount(*document, "checked");
    replay.unreadable = readCount(*document, "unreadable");
    replay.moreDifferences = readCount(*document, "more_differences");
    if (const auto* list = member(*document, "differences"); list != nullptr && list->is_array()) {
        for (const auto& item : *list) {
            if (auto difference = readDifference(item)) replay.differences.push_back(std::move(*difference));
        }
    }
    return replay;
}

Result<PolicyReplay, std::string> PolicyReplay::run(std::string_view policyText, std::chrono::milliseconds timeLimit) {
    const PrivateFile candidate(policyText);
    if (!candidate.written()) return fail(std::string(UIStrings::replayUnavailable));
    const auto outcome =
        VardexCli::run({"replay", "--policy", candidate.path().string(), "--since", "7d", "--json"}, std::nullopt, timeLimit);
    if (!outcome) return fail(outcome.error().description());
    if (!outcome->ok()) {
        const auto said = engine_json::trimmed(outcome->stderr);
        return fail(said.empty() ? std::string(UIStrings::replayUnavailable) : said);
    }
    if (auto replay = parse(outcome->stdout)) return std::move(*replay);
    return fail(std::string(UIStrings::replayUnavailable));
}

}  // namespace vardex
