#include "ui/app/approval_opener.hpp"

#include "store/vardex_store.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui {

ApprovalOpener::ApprovalOpener(StoreWatcher& watcher, QObject* parent) : QObject(parent) {
    connect(&watcher, &StoreWatcher::changed, this, [this, &watcher] {
        auto& store = watcher.store();
        std::set<std::string> waiting;
        bool arrived = false;
        for (const auto& ask : store.pending) {
            arrived = arrived || !waiting_.contains(ask.request.id);
            waiting.insert(ask.request.id);
        }
        waiting_ = std::move(waiting);
        if (arrived) store.openApprovalWindow();
    });
}

}  // namespace vardex::ui
