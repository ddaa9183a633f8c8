#include "ui/support/screen_harness.hpp"

#include <QPalette>
#include <QStyle>

#include <date/date.h>

#include "activity/timestamp.hpp"
#include "bridge/vardex_paths.hpp"
#include "support/temp_folder.hpp"

namespace vardex::ui::testing {

ScreenHarness::ScreenHarness(std::string_view engine) {
    ::tzset();
    dayStart_ = std::chrono::floor<std::chrono::days>(harness.queue.now());
    harness.preferences.values["v3FirstRunAt"] = dayStart_;
    harness.writeEngine(std::string(engine));
    auto& store = harness.make();
    // Each test asks for the consent screen and onboarding itself when it wants them.
    store.showConnectConsent = false;
    store.showOnboarding = false;
    watcher_ = std::make_unique<StoreWatcher>(store);
    context_ = std::make_unique<ScreenContext>(ScreenContext{store, *watcher_, harness.preferences, model_});
}

void ScreenHarness::settle() {
    for (int round = 0; round < 3; ++round) {
        harness.queue.runPending();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void ScreenHarness::writeLog(const std::vector<LogLine>& lines) {
    std::string text;
    int hash = 0;
    for (const auto& line : lines) {
        text += R"({"ts":")" + timestamp(line.second) + R"(","agent":")" + line.agent + R"(","session":"s1","action":{"raw":")" +
                line.command + R"("},"decision":")" + line.decision + "\"";
        if (!line.ruleId.empty()) text += R"(,"rule_id":")" + line.ruleId + "\"";
        text += R"(,"hash":"h)" + std::to_string(++hash) + "\"}\n";
    }
    vardex::testing::writeFile(VardexPaths::auditLogURL(), text);
    store().refreshAuditFeed();
    settle();
}

std::string ScreenHarness::timestamp(int second) const {
    return date::format("%FT%TZ", std::chrono::floor<std::chrono::seconds>(dayStart_ + std::chrono::seconds(second)));
}

void applyScheme(Scheme scheme) {
    QPalette palette = QApplication::style()->standardPalette();
    if (scheme == Scheme::dark) {
        palette.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x20));
        palette.setColor(QPalette::WindowText, QColor(0xec, 0xec, 0xee));
        palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2d));
        palette.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x36));
        palette.setColor(QPalette::Text, QColor(0xec, 0xec, 0xee));
        palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
        palette.setColor(QPalette::ButtonText, QColor(0xec, 0xec, 0xee));
        palette.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4c));
        palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7b, 0xd9));
        palette.setColor(QPalette::HighlightedText, Qt::white);
        palette.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    }
    QApplication::setPalette(palette);
}

}  // namespace vardex::ui::testing
