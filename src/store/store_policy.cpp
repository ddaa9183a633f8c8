#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::persistPolicy() {}
void VardexStore::addSite() {}
void VardexStore::addCustomRule() {}
void VardexStore::applyDefaultFolderGuards() {}
void VardexStore::setProtect(const std::string&, bool) {}
void VardexStore::addFolder(const std::string&) {}
void VardexStore::removeRule(const std::string&) {}
void VardexStore::setDisabled(const std::string&, bool) {}

}  // namespace vardex
