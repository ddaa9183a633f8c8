// Reads arbitrary bytes as a policy file, writes what was read, and reads that again. The
// reader must never fail, and the written text must keep every rule, every disabled id and the
// top-level settings, whatever odd text the values hold.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "policy/rule_ids.hpp"
#include "policy/user_policy_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vardex::UserPolicyFile first = vardex::UserPolicyFile::parse(text);
    const vardex::UserPolicyFile second = vardex::UserPolicyFile::parse(first.yaml());
    if (second.version != first.version || second.allowOverrideCritical != first.allowOverrideCritical ||
        second.askTimeoutSeconds != first.askTimeoutSeconds || second.disable != first.disable ||
        second.rules.size() != first.rules.size() || second.askThreshold.has_value() != first.askThreshold.has_value()) {
        std::abort();
    }
    // The same bytes as a typed folder or site exercise the Unicode handling.
    (void)vardex::slug(text);
    (void)vardex::normalisedDomain(text);
    return 0;
}
