#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::runCli(const std::vector<std::string>&, const std::string&) {}
void VardexStore::refreshDoctor() {}
void VardexStore::verifyActivityLog() {}
void VardexStore::installCommandLineTool() {}

}  // namespace vardex
