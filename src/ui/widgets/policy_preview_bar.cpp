#include "ui/widgets/policy_preview_bar.hpp"

#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/widgets/confirmation_bar.hpp"

namespace vardex::ui {

PolicyPreviewBar::PolicyPreviewBar(VardexStore& store, QWidget* parent)
    : QWidget(parent), store_(store), bar_(new ConfirmationBar(QStringLiteral("policyPreview"), this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(bar_);
    connect(bar_, &ConfirmationBar::confirmed, this, [this] { store_.confirmPolicyPreview(); });
    connect(bar_, &ConfirmationBar::cancelled, this, [this] { store_.cancelPolicyPreview(); });
    hide();
}

void PolicyPreviewBar::redraw() {
    const auto& preview = store_.policyPreview;
    setVisible(preview.has_value());
    if (!preview) {
        bar_->hide();
        return;
    }
    bar_->ask(preview->sentence(), UIStrings::replayConfirm);
    bar_->setConfirmEnabled(!preview->running);
}

}  // namespace vardex::ui
