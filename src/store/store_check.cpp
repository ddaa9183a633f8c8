#include "store/vardex_store.hpp"

namespace vardex {

// Two presses start two runs: the later-finishing one is left on screen, and `busy` clears with
// whichever finishes first.
void VardexStore::runCheck() {
    busy = true;
    publish();
    runThenApply(
        WorkPriority::userInitiated,
        [kind = checkKind, shell = checkShell, read = checkRead, server = checkMcpServer, tool = checkMcpTool,
         json = checkMcpJSON, limit = options_.engineTimeLimit] {
            return CheckOutcome::run(kind, shell, read, server, tool, json, limit);
        },
        [](VardexStore& store, CheckOutcome outcome) {
            store.checkOutcome = std::move(outcome);
            store.busy = false;
            store.publish();
            // The engine logs a trial like any other action; show it at once.
            store.refreshAuditFeed();
        });
}

}  // namespace vardex
