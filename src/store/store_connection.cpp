#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::connectLoop() {}
void VardexStore::handle(const IpcMessage&) {}
void VardexStore::answer(const ApprovalRequest&, ApprovalVerdict) {}
void VardexStore::respond(const ApprovalRequest&, ApprovalVerdict, const std::string&) {}
void VardexStore::openApprovalWindow() {}

}  // namespace vardex
