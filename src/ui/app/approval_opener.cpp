#include "ui/app/approval_opener.hpp"

#include "store/vardex_store.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui {

ApprovalOpener::ApprovalOpener(StoreWatcher& watcher, QObject* parent) : QObject(parent) {
    connect(&watcher, &StoreWatcher::changed, this, [this, &watcher] {
        auto& store = watcher.store();
        const std::size_t waiting = store.pending.size();
        if (waiting_ == 0 && waiting > 0) store.openApprovalWindow();
        waiting_ = waiting;
    });
}

}  // namespace vardex::ui
