#include "ui/screens/main_window/pages/health_page.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/row_name.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

QLabel* stateLine(const char* objectName, QWidget* parent) {
    auto* label = kit::paragraph({}, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

void setState(QLabel* label, std::string_view text, bool ok) {
    setPlainText(label, text);
    kit::tint(label, ok ? label->parentWidget()->palette().color(QPalette::Text) : theme::denyColor());
}

QWidget* agentRow(const AgentInstallRow& row, QWidget* parent, QPushButton** action) {
    auto* item = new QWidget(parent);
    item->setObjectName(QStringLiteral("agent_") + qs(row.id));
    auto* line = new QHBoxLayout(item);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(kit::grid);
    auto* mark = new QLabel(item);
    mark->setPixmap(symbolIcon(row.installed ? "checkmark.circle.fill" : "exclamationmark.shield.fill",
                               row.installed ? theme::allowColor() : theme::askColor())
                        .pixmap(20, 20));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(kit::paragraph(row.title, item));
    texts->addWidget(kit::paragraph(row.statusLabel(), item, true));
    line->addWidget(mark, 0, Qt::AlignTop);
    line->addLayout(texts, 1);
    *action = row.installed ? kit::button("agentDisconnect", UIStrings::disconnectApp, item)
                            : kit::button("agentConnect", UIStrings::connectApp, item, true);
    (*action)->setAccessibleName(rowName(row.installed ? UIStrings::disconnectApp : UIStrings::connectApp, qs(row.title)));
    line->addWidget(*action, 0, Qt::AlignVCenter);
    return item;
}

}  // namespace

HealthPage::HealthPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::doctor, parent) {
    auto* tools = new QHBoxLayout;
    checked_ = kit::paragraph({}, this, true);
    checked_->setObjectName(QStringLiteral("checkedLine"));
    fixAll_ = kit::symbolButton("fixAll", UIStrings::fixAll, "wrench.and.screwdriver", this, true);
    refresh_ = kit::symbolButton("refresh", UIStrings::refresh, "arrow.clockwise", this);
    tools->addWidget(checked_, 1);
    tools->addWidget(refresh_);
    tools->addWidget(fixAll_);
    column().addLayout(tools);

    QVBoxLayout* stateColumn = nullptr;
    auto* stateCard = kit::card(this, &stateColumn);
    stateCard->setObjectName(QStringLiteral("stateCard"));
    stateColumn->addWidget(kit::sectionTitle(UIStrings::thisAppState, stateCard));
    binary_ = stateLine("binaryState", stateCard);
    service_ = stateLine("serviceState", stateCard);
    sandbox_ = stateLine("sandboxState", stateCard);
    daemonError_ = kit::errorLine("daemonError", stateCard);
    error_ = kit::errorLine("doctorError", stateCard);
    stateColumn->addWidget(binary_);
    stateColumn->addWidget(service_);
    stateColumn->addWidget(sandbox_);
    stateColumn->addWidget(daemonError_);
    stateColumn->addWidget(error_);
    column().addWidget(stateCard);

    QVBoxLayout* agentColumn = nullptr;
    auto* agentCard = kit::card(this, &agentColumn);
    agentCard->setObjectName(QStringLiteral("agentsCard"));
    agentColumn->addWidget(kit::sectionTitle(UIStrings::toolsFound, agentCard));
    agents_ = new QVBoxLayout;
    agents_->setSpacing(kit::grid);
    agentColumn->addLayout(agents_);
    addApp_ = kit::button("addAnotherApp", UIStrings::addAnotherAppPlus, agentCard);
    agentColumn->addWidget(addApp_, 0, Qt::AlignLeft);
    column().addWidget(agentCard);

    addBox_ = new QWidget(this);
    addBox_->setObjectName(QStringLiteral("addAppBox"));
    auto* addColumn = new QVBoxLayout(addBox_);
    addColumn->setContentsMargins(0, 0, 0, 0);
    addColumn->setSpacing(2 * kit::grid);
    QVBoxLayout* otherColumn = nullptr;
    auto* otherCard = kit::card(addBox_, &otherColumn);
    otherCard_ = otherCard;
    otherColumn->addWidget(kit::sectionTitle(UIStrings::toolsMissing, otherCard));
    otherApps_ = new QVBoxLayout;
    otherApps_->setSpacing(kit::grid);
    otherColumn->addLayout(otherApps_);
    addColumn->addWidget(otherCard);
    QVBoxLayout* protectColumn = nullptr;
    auto* protectCard = kit::card(addBox_, &protectColumn);
    protectCard->setObjectName(QStringLiteral("protectApps"));
    protectColumn->addWidget(kit::sectionTitle(UIStrings::protectTheseApps, protectCard));
    protectColumn->addWidget(kit::paragraph(UIStrings::protectThisAppWhy, protectCard, true));
    protectApps_ = new QVBoxLayout;
    protectApps_->setSpacing(kit::grid / 2);
    protectColumn->addLayout(protectApps_);
    addColumn->addWidget(protectCard);
    column().addWidget(addBox_);

    QVBoxLayout* setupColumn = nullptr;
    auto* setupCard = kit::card(this, &setupColumn);
    setupCard->setObjectName(QStringLiteral("setupStatus"));
    auto* setupRow = new QHBoxLayout;
    auto* done = new QLabel(setupCard);
    done->setPixmap(symbolIcon("checkmark.circle.fill", theme::allowColor()).pixmap(20, 20));
    auto* setupTexts = new QVBoxLayout;
    setupTexts->setSpacing(0);
    auto* setupTitle = kit::paragraph(UIStrings::setupComplete, setupCard);
    setupTitle->setObjectName(QStringLiteral("setupTitle"));
    setupTexts->addWidget(setupTitle);
    auto* nothingDue = kit::paragraph(UIStrings::setupNothingDue, setupCard, true);
    nothingDue->setObjectName(QStringLiteral("setupDone"));
    setupTexts->addWidget(nothingDue);
    setupRow->addWidget(done, 0, Qt::AlignTop);
    setupRow->addLayout(setupTexts, 1);
    setupColumn->addLayout(setupRow);
    column().addWidget(setupCard);
    message_ = kit::paragraph({}, this, true);
    message_->setObjectName(QStringLiteral("lastMessage"));
    column().addWidget(message_);

    connect(fixAll_, &QPushButton::clicked, this, [this] { store().fixAll(); });
    connect(refresh_, &QPushButton::clicked, this, [this] { store().refreshDashboard(); });
    connect(addApp_, &QPushButton::clicked, this, [this] {
        store().showAddAppList = !store().showAddAppList;
        if (store().showAddAppList) store().loadProtectApps();
        store().publish();
    });
    ready();
}

void HealthPage::redraw() {
    auto& s = store();
    if (s.lastHealthCheck) {
        checked_->setText(qs(UIStrings::checkedLine(*s.lastHealthCheck, s.now)));
    } else {
        checked_->clear();
    }
    setState(binary_, UIStrings::healthBinary(s.doctor && s.doctor->binary.status == DoctorStatus::ok),
             s.doctor && s.doctor->binary.status == DoctorStatus::ok);
    setState(service_, UIStrings::healthService(s.connected), s.connected);
    // The engine's own sentence: it alone knows why its sandbox cannot run and what fixes that.
    const auto& sandbox = s.doctor ? s.doctor->sandbox : std::nullopt;
    sandbox_->setVisible(sandbox.has_value());
    if (sandbox) setState(sandbox_, sandbox->message, sandbox->status == DoctorStatus::ok);
    // Why a daemon that does not answer stopped, in its own words; an impostor on its socket
    // first, and what a running daemon said about itself.
    QString daemonText;
    if (!s.connected && s.daemonUntrusted) {
        daemonText = qs(*s.daemonUntrusted);
    } else if (!s.connected && s.daemonLastError) {
        daemonText = qs(UIStrings::daemonSaid(*s.daemonLastError));
    } else if (s.connected && s.daemonNotice) {
        daemonText = qs(*s.daemonNotice);
    }
    kit::showError(daemonError_, daemonText);
    kit::showError(error_, s.doctorError ? qs(*s.doctorError) : QString());
    refresh_->setEnabled(!s.refreshing);
    fixAll_->setEnabled(!s.fixingAll);

    const auto wire = [this](const AgentInstallRow& row, QPushButton* action) {
        QObject::connect(action, &QPushButton::clicked, this, [this, row] {
            if (row.installed) {
                store().disconnectAgent(row.kind);
            } else {
                store().runCli({"install", "--" + row.id}, std::string(UIStrings::installing));
            }
        });
    };
    kit::clear(agents_);
    const auto detected = s.detectedCodingAgents();
    if (detected.empty()) agents_->addWidget(kit::paragraph(UIStrings::noAgentsDetected, this, true));
    for (const auto& row : detected) {
        QPushButton* action = nullptr;
        agents_->addWidget(agentRow(row, this, &action));
        wire(row, action);
    }

    addBox_->setVisible(s.showAddAppList);
    kit::clear(otherApps_);
    kit::clear(protectApps_);
    if (s.showAddAppList) {
        const auto missing = s.undetectedCodingAgents();
        otherCard_->setVisible(!missing.empty());
        for (const auto& row : missing) {
            QPushButton* action = nullptr;
            otherApps_->addWidget(agentRow(row, this, &action));
            wire(row, action);
        }
        for (const auto& app : s.protectApps) {
            auto* box = new QCheckBox(qs(app.displayName), this);
            box->setObjectName(QStringLiteral("protect_") + qs(app.id));
            box->setAccessibleName(qs(UIStrings::protectThisApp) + QStringLiteral(": ") + qs(app.displayName));
            box->setToolTip(qs(UIStrings::protectThisApp));
            box->setChecked(app.protect);
            QObject::connect(box, &QCheckBox::clicked, this, [this, id = app.id](bool on) { store().setProtect(id, on); });
            protectApps_->addWidget(box);
        }
    }
    kit::showError(message_, s.lastMessage ? qs(*s.lastMessage) : QString());
}

}  // namespace vardex::ui
