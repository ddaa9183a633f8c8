// The policy file in the user's configuration folder.

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "policy/user_policy_file.hpp"

namespace vardex {

UserPolicyFile UserPolicyFile::loadFromHome() {
    auto loaded = load(VardexPaths::userPolicyURL());
    return loaded ? std::move(*loaded) : empty;
}

Result<void, PolicyFileError> UserPolicyFile::writeToHome() const {
    if (auto folder = VardexPaths::ensureDirectory(VardexPaths::userConfigDirectory()); !folder) {
        return fail(PolicyFileError::writeFailed(folder.error().path.string(), folder.error().code.message()));
    }
    return writeTextFileAtomically(VardexPaths::userPolicyURL(), yaml());
}

}  // namespace vardex
