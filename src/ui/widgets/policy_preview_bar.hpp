#pragma once

#include <QWidget>

namespace vardex {
class VardexStore;
}

namespace vardex::ui {

class ConfirmationBar;

// The store's waiting policy change asked about in place: what it would have decided
// differently over the last 7 days, "Save change" (greyed while the engine is still working it
// out) and "Cancel". Hidden while no change waits.
class PolicyPreviewBar final : public QWidget {
    Q_OBJECT
public:
    PolicyPreviewBar(VardexStore& store, QWidget* parent);

    // Follows the store's `policyPreview`; the page calls it from its redraw.
    void redraw();

private:
    VardexStore& store_;
    ConfirmationBar* bar_;
};

}  // namespace vardex::ui
