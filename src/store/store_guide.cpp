#include <system_error>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {

void VardexStore::openReadme(const std::filesystem::path& guide) {
    std::error_code error;
    if (std::filesystem::is_regular_file(guide, error) && ports_.windows.openFile(guide)) {
        lastMessage = std::string(UIStrings::openedReadme);
    } else {
        lastMessage = std::string(UIStrings::readmeMissing);
    }
    publish();
}

}  // namespace vardex
