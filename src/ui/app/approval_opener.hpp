#pragma once

#include <set>
#include <string>

#include <QObject>

namespace vardex::ui {

class StoreWatcher;

// Opens the approval window whenever a question comes in that was not waiting before: the first
// one, and also one more while others wait (the user may have put the window away with Escape).
// The store only keeps the list; the shell decides when a window comes up.
class ApprovalOpener final : public QObject {
    Q_OBJECT
public:
    explicit ApprovalOpener(StoreWatcher& watcher, QObject* parent = nullptr);

private:
    std::set<std::string> waiting_;
};

}  // namespace vardex::ui
