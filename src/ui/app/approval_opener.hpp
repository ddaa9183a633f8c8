#pragma once

#include <cstddef>

#include <QObject>

namespace vardex::ui {

class StoreWatcher;

// Opens the approval window whenever the number of waiting questions goes from none to one or
// more. The store only keeps the list; the shell decides when a window comes up.
class ApprovalOpener final : public QObject {
    Q_OBJECT
public:
    explicit ApprovalOpener(StoreWatcher& watcher, QObject* parent = nullptr);

private:
    std::size_t waiting_ = 0;
};

}  // namespace vardex::ui
