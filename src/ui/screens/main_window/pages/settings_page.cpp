#include "ui/screens/main_window/pages/settings_page.hpp"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/home_status.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/helper_card.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

namespace {

// A switch beside a setting's title reads "On"; a screen reader names it by the setting.
QCheckBox* checkBox(const char* objectName, std::string_view setting, QWidget* parent) {
    auto* box = new QCheckBox(qs(UIStrings::on), parent);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setAccessibleName(qs(setting));
    return box;
}

std::string_view protectionLine(const VardexStore& store) {
    switch (homeStatusKind(store)) {
        case HomeStatusKind::paused: return store.agentsStopped ? UIStrings::v3StoppedSubtitle : UIStrings::v3PausedSubtitle;
        case HomeStatusKind::off: return UIStrings::protectionOff;
        case HomeStatusKind::needsFix:
        case HomeStatusKind::protected_: return UIStrings::protectionOn;
    }
    return UIStrings::protectionOn;
}

QLineEdit* field(const char* objectName, std::string_view accessible, QWidget* parent, int width) {
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setAccessibleName(qs(accessible));
    line->setFixedWidth(width);
    return line;
}

// A titled row of the settings list: the title, its explanation below, the control on the right.
QWidget* settingRow(std::string_view title, std::string_view why, QWidget* control, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(2 * kit::grid);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(kit::grid / 2);
    texts->addWidget(kit::paragraph(title, row));
    if (!why.empty()) texts->addWidget(kit::paragraph(why, row, true));
    line->addLayout(texts, 1);
    if (control) {
        control->setParent(row);
        line->addWidget(control, 0, Qt::AlignVCenter);
    }
    return row;
}

}  // namespace

SettingsPage::SettingsPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::settings, parent) {
    QVBoxLayout* simple = nullptr;
    auto* simpleCard = kit::card(this, &simple);
    simpleCard->setObjectName(QStringLiteral("simpleSettings"));
    auto* pauseRow = new QHBoxLayout;
    pausedLine_ = kit::paragraph({}, simpleCard);
    pausedLine_->setObjectName(QStringLiteral("pausedLine"));
    pause_ = kit::symbolButton("pause", UIStrings::pauseForOneHour, "pause", simpleCard);
    resume_ = kit::symbolButton("resume", UIStrings::v3Resume, "play.fill", simpleCard, true);
    pauseRow->addWidget(pausedLine_, 1);
    pauseRow->addWidget(pause_);
    pauseRow->addWidget(resume_);
    simple->addLayout(pauseRow);
    pauseConfirm_ = new QWidget(simpleCard);
    pauseConfirm_->setObjectName(QStringLiteral("pauseConfirm"));
    auto* confirmRow = new QHBoxLayout(pauseConfirm_);
    confirmRow->setContentsMargins(0, 0, 0, 0);
    confirmRow->addWidget(kit::paragraph(UIStrings::pauseConfirm, pauseConfirm_), 1);
    auto* cancelPause = kit::button("pauseCancel", UIStrings::cancel, pauseConfirm_);
    auto* confirmPause = kit::button("pauseYes", UIStrings::pauseForOneHour, pauseConfirm_, true);
    confirmRow->addWidget(cancelPause);
    confirmRow->addWidget(confirmPause);
    simple->addWidget(pauseConfirm_);
    simple->addWidget(new HelperCard(context.helperModel, context.preferences,
                                     {std::string(UIStrings::pauseHelperPrompt), std::string(UIStrings::pauseHelperFallback)},
                                     true, simpleCard));
    column().addWidget(simpleCard);

    more_ = kit::button("more", UIStrings::v3More, this);
    more_->setCheckable(true);
    column().addWidget(more_, 0, Qt::AlignLeft);
    moreBox_ = buildMore();
    column().addWidget(moreBox_);
    message_ = kit::paragraph({}, this, true);
    message_->setObjectName(QStringLiteral("lastMessage"));
    column().addWidget(message_);

    connect(pause_, &QPushButton::clicked, this, [this] {
        store().confirmPause = true;
        store().publish();
    });
    connect(cancelPause, &QPushButton::clicked, this, [this] {
        store().confirmPause = false;
        store().publish();
    });
    connect(confirmPause, &QPushButton::clicked, this, [this] { store().confirmPauseForOneHour(); });
    connect(resume_, &QPushButton::clicked, this, [this] { store().resumeProtection(); });
    connect(more_, &QPushButton::toggled, this, [this](bool open) {
        store().advancedOpen = open;
        store().publish();
    });
    ready();
}

QWidget* SettingsPage::buildMore() {
    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("moreSettings"));
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(2 * kit::grid);

    // Asking: waiting time and caution level, saved together.
    QVBoxLayout* asking = nullptr;
    auto* askingCard = kit::card(box, &asking);
    timeout_ = field("askTimeout", UIStrings::askTimeout, askingCard, 96);
    threshold_ = field("askThreshold", UIStrings::askThreshold, askingCard, 96);
    asking->addWidget(settingRow(UIStrings::waitingSeconds, UIStrings::askTimeoutWhy, timeout_, askingCard));
    asking->addWidget(settingRow(UIStrings::askThreshold, UIStrings::askThresholdWhy, threshold_, askingCard));
    policyError_ = kit::errorLine("settingsError", askingCard);
    asking->addWidget(policyError_);
    auto* save = kit::button("saveSettings", UIStrings::save, askingCard, true);
    asking->addWidget(save, 0, Qt::AlignRight);
    stack->addWidget(askingCard);

    // Starting and connecting.
    QVBoxLayout* starting = nullptr;
    auto* startingCard = kit::card(box, &starting);
    login_ = checkBox("startAtLogin", UIStrings::startAtLogin, startingCard);
    autoProtect_ = checkBox("autoProtectNew", UIStrings::autoProtectNewAgents, startingCard);
    starting->addWidget(settingRow(UIStrings::startAtLogin, UIStrings::startAtLoginWhy, login_, startingCard));
    starting->addWidget(settingRow(UIStrings::autoProtectNewAgents, UIStrings::autoProtectNewAgentsWhy, autoProtect_,
                                   startingCard));
    stack->addWidget(startingCard);

    // Quiet hours and notifications.
    QVBoxLayout* notices = nullptr;
    auto* noticesCard = kit::card(box, &notices);
    quiet_ = checkBox("quietHours", UIStrings::quietHours, noticesCard);
    notices->addWidget(settingRow(UIStrings::quietHours, UIStrings::quietHoursWhy, quiet_, noticesCard));
    auto* hours = new QHBoxLayout;
    hours->setSpacing(kit::grid);
    quietStart_ = field("quietStart", UIStrings::quietHoursStart, noticesCard, 72);
    quietEnd_ = field("quietEnd", UIStrings::quietHoursEnd, noticesCard, 72);
    hours->addWidget(kit::paragraph(UIStrings::quietHoursStart, noticesCard));
    hours->addWidget(quietStart_);
    hours->addSpacing(kit::grid);
    hours->addWidget(kit::paragraph(UIStrings::quietHoursEnd, noticesCard));
    hours->addWidget(quietEnd_);
    hours->addStretch(1);
    notices->addLayout(hours);
    notices->addWidget(settingRow(UIStrings::notifications, UIStrings::notificationsWhy, nullptr, noticesCard));
    stack->addWidget(noticesCard);

    // Tools: verify the log, the command-line tool, protection on and off, setup again.
    QVBoxLayout* tools = nullptr;
    auto* toolsCard = kit::card(box, &tools);
    verify_ = kit::button("verifyLog", UIStrings::v2VerifyLog, toolsCard);
    tools->addWidget(settingRow(UIStrings::logVerify, UIStrings::logVerifyWhy, verify_, toolsCard));
    verifyResult_ = kit::paragraph({}, toolsCard, true);
    verifyResult_->setObjectName(QStringLiteral("verifyResult"));
    tools->addWidget(verifyResult_);
    auto* cli = kit::button("installCli", UIStrings::installCLI, toolsCard);
    tools->addWidget(settingRow(UIStrings::commandLineTool, UIStrings::installCLIWhy, cli, toolsCard));
    protection_ = kit::button("protectionToggle", UIStrings::turnOnProtection, toolsCard);
    tools->addWidget(settingRow(UIStrings::protectionService, {}, protection_, toolsCard));
    auto* rerun = kit::button("rerunSetup", UIStrings::rerunSetup, toolsCard);
    tools->addWidget(settingRow(UIStrings::onboardingWelcome, {}, rerun, toolsCard));
    stack->addWidget(toolsCard);

    QVBoxLayout* limits = nullptr;
    auto* limitsCard = kit::card(box, &limits);
    auto* cantStop = kit::button("whatICantStop", UIStrings::whatICantStop, limitsCard);
    cantStop->setCheckable(true);
    cantStopBody_ = kit::paragraph(UIStrings::whatICantStopBody, limitsCard, true);
    cantStopBody_->setObjectName(QStringLiteral("whatICantStopBody"));
    cantStopBody_->hide();
    limits->addWidget(cantStop, 0, Qt::AlignLeft);
    limits->addWidget(cantStopBody_);
    stack->addWidget(limitsCard);

    connect(timeout_, &QLineEdit::textEdited, this, [this](const QString& text) { store().askTimeoutText = utf8(text); });
    connect(threshold_, &QLineEdit::textEdited, this, [this](const QString& text) { store().askThresholdText = utf8(text); });
    connect(save, &QPushButton::clicked, this, [this] { store().saveSettings(); });
    connect(login_, &QCheckBox::clicked, this, [this](bool on) { store().setStartAtLogin(on); });
    connect(autoProtect_, &QCheckBox::clicked, this, [this](bool on) { store().setAutoProtectNew(on); });
    connect(quiet_, &QCheckBox::clicked, this, [this](bool on) {
        store().quietHoursEnabled = on;
        store().persistNoticePolicy();
        store().publish();
    });
    const auto saveHours = [this] {
        store().quietHoursStart = utf8(quietStart_->text());
        store().quietHoursEnd = utf8(quietEnd_->text());
        store().persistNoticePolicy();
        store().publish();
    };
    connect(quietStart_, &QLineEdit::editingFinished, this, saveHours);
    connect(quietEnd_, &QLineEdit::editingFinished, this, saveHours);
    connect(verify_, &QPushButton::clicked, this, [this] { store().verifyActivityLog(); });
    connect(cli, &QPushButton::clicked, this, [this] { store().installCommandLineTool(); });
    connect(protection_, &QPushButton::clicked, this, [this] {
        if (store().connected) {
            store().stopProtection();
        } else {
            store().startProtection();
        }
    });
    connect(rerun, &QPushButton::clicked, this, [this] { store().rerunOnboarding(); });
    connect(cantStop, &QPushButton::toggled, cantStopBody_, &QWidget::setVisible);
    return box;
}

void SettingsPage::redraw() {
    auto& s = store();
    const bool paused = s.isPaused();
    pause_->setVisible(!paused);
    resume_->setVisible(paused);
    pauseConfirm_->setVisible(s.confirmPause && !paused);
    pausedLine_->setText(qs(protectionLine(s)));
    more_->setChecked(s.advancedOpen);
    moreBox_->setVisible(s.advancedOpen);

    kit::setTextKeepingCursor(timeout_, qs(s.askTimeoutText));
    kit::setTextKeepingCursor(threshold_, qs(s.askThresholdText));
    kit::showError(policyError_, s.policyError ? qs(*s.policyError) : QString());
    login_->setChecked(s.startAtLogin);
    autoProtect_->setChecked(s.autoProtectNew);
    quiet_->setChecked(s.quietHoursEnabled);
    quietStart_->setEnabled(s.quietHoursEnabled);
    quietEnd_->setEnabled(s.quietHoursEnabled);
    if (!quietStart_->hasFocus()) kit::setTextKeepingCursor(quietStart_, qs(s.quietHoursStart));
    if (!quietEnd_->hasFocus()) kit::setTextKeepingCursor(quietEnd_, qs(s.quietHoursEnd));
    kit::showError(verifyResult_, s.logVerifyMessage ? qs(*s.logVerifyMessage) : QString());
    const auto toggle = s.connected ? UIStrings::turnOffProtection : UIStrings::turnOnProtection;
    protection_->setText(qs(toggle));
    protection_->setAccessibleName(qs(toggle));
    protection_->setEnabled(!s.startingProtection);
    kit::showError(message_, s.lastMessage ? qs(*s.lastMessage) : QString());
}

}  // namespace vardex::ui
