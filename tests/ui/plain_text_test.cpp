// Engine and agent text on every surface that shows it: what the label draws is what runs, even
// when the text is written as markup to hide its middle.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

#include "ui/screens/approval/approval_panel.hpp"
#include "ui/screens/main_window/pages/activity_page.hpp"
#include "ui/screens/main_window/pages/blocked_entry_card.hpp"
#include "ui/screens/main_window/pages/check_page.hpp"
#include "ui/screens/popover/popover_view.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

// Rendered as rich text, this reads ": ''; npm test".
constexpr std::string_view hiding = ": '<i><!--'; sudo rm -rf /var/lib/important; : '-->'; npm test";
constexpr std::string_view hidden = "sudo rm -rf /var/lib/important";

// The text a label draws, as a person reads it.
QString shownText(const QLabel& label) {
    const bool rich = label.textFormat() == Qt::RichText ||
                      (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
    if (!rich) return label.text();
    QTextDocument document;
    document.setHtml(label.text());
    return document.toPlainText();
}

ApprovalRequest hidingRequest() {
    ApprovalRequest request = sudoRequest("r-1");
    request.actionSummary = std::string(hiding);
    request.agent.cwd = std::string(hiding);
    request.breakdown = {{std::string(hiding), false, true, {}}};
    return request;
}

struct SurfaceCase {
    const char* name;
    std::function<std::unique_ptr<QWidget>(ScreenHarness&)> show;
    const char* label;
};

class MarkupTable : public ::testing::TestWithParam<SurfaceCase> {};

TEST_P(MarkupTable, ShowsTheWholeCommandLiterally) {
    const auto& c = GetParam();
    ScreenHarness screens;
    const auto surface = c.show(screens);
    const auto* label = child<QLabel>(*surface, c.label);
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->isVisible());
    // Wrapped lines read as one; the pending row and the "Latest" line keep the start of the text.
    const QString shown = shownText(*label).simplified();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(hidden.data(), static_cast<qsizetype>(hidden.size())))) << shown.toStdString();
}

std::unique_ptr<QWidget> asked(ScreenHarness& screens, bool popover) {
    screens.connect();
    screens.daemonAsks(hidingRequest());
    if (popover) return screens.show<PopoverView>();
    return screens.show<ApprovalPanel>();
}

std::unique_ptr<QWidget> logged(ScreenHarness& screens, int which) {
    screens.writeLog({{1, "claude", std::string(hiding), "deny", "priv.sudo"}});
    if (which == 0) return screens.show<PopoverView>();
    if (which == 1) return screens.show<ActivityPage>(nullptr);
    screens.store().blockedDetailId = screens.store().auditEntries.at(0).id();
    screens.store().publish();
    return screens.show<BlockedEntryCard>(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Surfaces, MarkupTable, ::testing::Values(
        SurfaceCase{"pendingRow", [](ScreenHarness& s) { return asked(s, true); }, "pendingSummary"},
        SurfaceCase{"approvalFolder", [](ScreenHarness& s) { return asked(s, false); }, "approvalFolder"},
        SurfaceCase{"rowBreakdown", [](ScreenHarness& s) { return asked(s, true); }, "breakdownPart0"},
        SurfaceCase{"panelBreakdown", [](ScreenHarness& s) { return asked(s, false); }, "breakdownPart0"},
        SurfaceCase{"popoverLatest", [](ScreenHarness& s) { return logged(s, 0); }, "popoverLatestWhat"},
        SurfaceCase{"activityParagraph", [](ScreenHarness& s) { return logged(s, 1); }, "rowWhat"},
        SurfaceCase{"blockedEntryCard", [](ScreenHarness& s) { return logged(s, 2); }, "blockedSentence"}), caseName);

// The row beside the answers keeps the start of a long command and says how much it left out;
// the panel holds it whole and says how many lines are below the visible ones.
TEST(LongCommand, RowShowsItsStartAndThePanelCountsTheLinesBelow) {
    ScreenHarness screens;
    screens.connect();
    ApprovalRequest request = sudoRequest("r-1");
    request.actionSummary = "echo start";
    for (int line = 0; line < 30; ++line) request.actionSummary += "\necho line " + std::to_string(line);
    request.actionSummary += "\nrm -rf ~";
    screens.daemonAsks(request);

    const auto popover = screens.show<PopoverView>();
    const QString row = child<QLabel>(*popover, "pendingSummary")->text();
    EXPECT_TRUE(row.startsWith(QStringLiteral("echo start\necho line 0\necho line 1 \u2026 "))) << row.toStdString();
    EXPECT_TRUE(row.endsWith(QStringLiteral(" more characters"))) << row.toStdString();

    const auto panel = screens.show<ApprovalPanel>();
    auto* summary = child<QPlainTextEdit>(*panel, "approvalSummary");
    EXPECT_EQ(summary->toPlainText().toStdString(), request.actionSummary);
    auto* below = child<QLabel>(*panel, "approvalLinesBelow");
    EXPECT_TRUE(below->isVisible());
    EXPECT_TRUE(below->text().startsWith(QStringLiteral("24 more lines below"))) << below->text().toStdString();
    summary->verticalScrollBar()->setValue(summary->verticalScrollBar()->maximum());
    EXPECT_FALSE(below->isVisible());
}

// The panel and "Test an action" show every command of the line, the popover's row only the one
// that made the engine ask; each says it was flagged in words, beside what it does.
TEST(CommandBreakdown, EachSurfaceShowsTheFlaggedPartAndWhatItDoes) {
    ScreenHarness screens;
    screens.connect();
    ApprovalRequest request = sudoRequest("r-1");
    request.actionSummary = "npm test && cat ~/.aws/credentials";
    request.breakdown = {{"npm test", false, false, {}}, {"cat /home/a/.aws/credentials", false, true, {"reads ~/.aws/credentials"}}};
    screens.daemonAsks(request);
    screens.store().checkOutcome.decision = Decision{};
    screens.store().checkOutcome.breakdown = request.breakdown;
    screens.store().publish();

    const auto panel = screens.show<ApprovalPanel>();
    const auto popover = screens.show<PopoverView>();
    const auto check = screens.show<CheckPage>(nullptr);
    for (QWidget* surface : std::initializer_list<QWidget*>{panel.get(), check.get()}) {
        ASSERT_TRUE(child<QLabel>(*surface, "breakdownPart0")) << surface->metaObject()->className();
        EXPECT_EQ(child<QLabel>(*surface, "breakdownNotes1")->text(),
                  QStringLiteral("Vardex flagged this part \u00b7 reads ~/.aws/credentials"));
    }
    EXPECT_EQ(popover->findChild<QLabel*>(QStringLiteral("breakdownPart0")), nullptr);
    EXPECT_TRUE(child<QLabel>(*popover, "breakdownPart1")->text().startsWith(QStringLiteral("cat /home/a/.aws/credentials")));

    screens.store().checkOutcome = CheckOutcome{};
    screens.store().publish();
    screens.settle();
    EXPECT_FALSE(child<QWidget>(*check, "commandBreakdown")->isVisibleTo(check.get()));
}

}  // namespace
}  // namespace vardex::ui::testing
