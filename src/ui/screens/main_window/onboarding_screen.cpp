#include "ui/screens/main_window/onboarding_screen.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_follower.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

QWidget* centredStep(QWidget* parent, QVBoxLayout** column) {
    auto* step = new QWidget(parent);
    auto* layout = new QVBoxLayout(step);
    layout->setContentsMargins(15 * kit::grid, 6 * kit::grid, 15 * kit::grid, 6 * kit::grid);
    layout->setSpacing(2 * kit::grid);
    *column = layout;
    return step;
}

}  // namespace

OnboardingScreen::OnboardingScreen(ScreenContext& context, QWidget* parent) : QWidget(parent), context_(context) {
    setObjectName(QStringLiteral("onboardingScreen"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    steps_ = new QStackedWidget(this);
    outer->addWidget(steps_);

    QVBoxLayout* pick = nullptr;
    auto* pickStep = centredStep(steps_, &pick);
    pickStep->setObjectName(QStringLiteral("onboardingPick"));
    pick->addStretch(1);
    auto* mark = new QLabel(pickStep);
    mark->setPixmap(symbolIcon("checkmark.shield.fill", theme::allowColor()).pixmap(64, 64));
    pick->addWidget(mark, 0, Qt::AlignHCenter);
    auto* title = kit::heading(UIStrings::onboardKeepSafe, pickStep, 8);
    title->setAlignment(Qt::AlignHCenter);
    title->setObjectName(QStringLiteral("onboardingTitle"));
    pick->addWidget(title);
    auto* body = kit::paragraph(UIStrings::v3OnboardBody, pickStep, true);
    body->setAlignment(Qt::AlignHCenter);
    pick->addWidget(body);
    QVBoxLayout* list = nullptr;
    auto* listCard = kit::card(pickStep, &list);
    listCard->setObjectName(QStringLiteral("onboardingApps"));
    none_ = kit::paragraph(UIStrings::onboardNoneYet, listCard, true);
    none_->setObjectName(QStringLiteral("onboardingNone"));
    list->addWidget(none_);
    apps_ = new QVBoxLayout;
    apps_->setSpacing(kit::grid);
    list->addLayout(apps_);
    pick->addWidget(listCard);
    protect_ = kit::button("protectMyMac", UIStrings::protectMyMac, pickStep, true);
    protect_->setMinimumWidth(20 * kit::grid);
    pick->addWidget(protect_, 0, Qt::AlignHCenter);
    pick->addStretch(2);
    steps_->addWidget(pickStep);

    QVBoxLayout* finished = nullptr;
    auto* doneStep = centredStep(steps_, &finished);
    doneStep->setObjectName(QStringLiteral("onboardingDone"));
    finished->addStretch(1);
    auto* tick = new QLabel(doneStep);
    tick->setPixmap(symbolIcon("checkmark.circle.fill", theme::allowColor()).pixmap(64, 64));
    finished->addWidget(tick, 0, Qt::AlignHCenter);
    auto* allSet = kit::heading(UIStrings::onboardAllSet, doneStep, 8);
    allSet->setAlignment(Qt::AlignHCenter);
    finished->addWidget(allSet);
    auto* doneBody = kit::paragraph(UIStrings::v3OnboardDoneBody, doneStep, true);
    doneBody->setAlignment(Qt::AlignHCenter);
    finished->addWidget(doneBody);
    auto* done = kit::button("onboardingFinish", UIStrings::done, doneStep, true);
    done->setMinimumWidth(20 * kit::grid);
    finished->addWidget(done, 0, Qt::AlignHCenter);
    finished->addStretch(2);
    steps_->addWidget(doneStep);

    connect(protect_, &QPushButton::clicked, this, [this] {
        context_.store.protectSelectedApps();
        context_.store.onboardingStep = 2;
        context_.store.publish();
    });
    connect(done, &QPushButton::clicked, this, [this] { context_.store.finishOnboarding(); });
    (new StoreFollower(context.watcher, *this, {StoreSlice::engine, StoreSlice::screens}, {[this] { redraw(); }, {}}))
        ->catchUp();
}

void OnboardingScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (context_.store.onboardingStep <= 1) context_.store.prepareOnboardingSelection();
}

void OnboardingScreen::redraw() {
    auto& store = context_.store;
    steps_->setCurrentIndex(store.onboardingStep >= 2 ? 1 : 0);
    protect_->setEnabled(!store.busy);
    const auto rows = store.onboardingAppRows();
    none_->setVisible(rows.empty());
    std::vector<std::string> shown;
    for (const auto& row : rows) shown.push_back(row.id + ' ' + row.title);
    if (!kit::differs(drawnApps_, std::move(shown))) {
        // The same apps: their boxes stay (with the focus) and only follow the choices.
        for (const auto& row : rows) {
            if (auto* box = findChild<QCheckBox*>(QStringLiteral("onboard_") + qs(row.id))) {
                const QSignalBlocker quiet(box);
                box->setChecked(store.onboardingEnabled.contains(row.id));
            }
        }
        return;
    }
    kit::clear(apps_);
    for (const auto& row : rows) {
        auto* box = new QCheckBox(qs(row.title), this);
        box->setObjectName(QStringLiteral("onboard_") + qs(row.id));
        box->setAccessibleName(qs(row.title));
        box->setChecked(store.onboardingEnabled.contains(row.id));
        connect(box, &QCheckBox::toggled, this, [this, id = row.id](bool on) {
            if (on) {
                context_.store.onboardingEnabled.insert(id);
            } else {
                context_.store.onboardingEnabled.erase(id);
            }
            context_.store.publish();
        });
        apps_->addWidget(box);
    }
}

}  // namespace vardex::ui
