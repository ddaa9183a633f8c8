#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QWidget>

#include "support/fake_engine_store.hpp"
#include "support/store_harness.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/helper/helper_model.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui::testing {

// An engine for the pages: a healthy report, two rules (one of them critical), a policy check
// that refuses any file naming "refused.example", and a trial check that always blocks.
inline constexpr std::string_view pageEngine = R"(case "$1" in
  doctor) echo '{"schema_version":1,"status":"ok","binary":{"status":"ok","message":"ok"},"hooks":[]}' ;;
  rules) case "$2" in
    list) echo '{"rules":[{"id":"secrets.dotenv","description":"Secrets files","severity":"high","decision":"deny","layer":"embedded"},{"id":"destructive.disk","description":"Disk erase","severity":"critical","decision":"deny","layer":"embedded"}]}' ;;
    validate) if grep -q refused.example "$3"; then echo 'That site is not allowed here.'; exit 1; fi ;;
  esac ;;
  protect) [ "$2" = list ] && echo '[]' ;;
  connect) echo '{}' ;;
  check) echo '{"outcome":"deny","rule_id":"secrets.ssh_private_key","reason_user":"Reading your SSH key.","reason_agent":"","risk_score":0.9,"severity":"critical"}' ;;
esac
exit 0
)";

// One line of the engine's activity log, written into the real log file.
struct LogLine {
    int second;  // since the start of the store's day (UTC); negative for the day before
    std::string agent;
    std::string command;
    std::string decision;
    std::string ruleId;  // empty: none
};

// A real store in a temporary home with a fake engine script, and the context screens are built
// with. The day is the UTC day, and the first run is counted from its start, so log lines of
// the day's first seconds belong to "today" and are shown.
class ScreenHarness {
public:
    explicit ScreenHarness(std::string_view engine = vardex::testing::quietEngine);

    VardexStore& store() { return harness.store(); }
    ScreenContext& context() { return *context_; }

    // Runs what the store posted to its queue and the watcher's redraw.
    void settle();
    void writeLog(const std::vector<LogLine>& lines);
    std::vector<std::string> engineCalls() const { return harness.engineCalls(); }

    // The log's time text of `second` into the store's day.
    std::string timestamp(int second) const;

private:
    vardex::testing::ScopedEnv zone_{"TZ", "UTC0"};

public:
    vardex::testing::StoreHarness harness;

private:
    TimePoint dayStart_;
    NoHelperModel model_;
    std::unique_ptr<StoreWatcher> watcher_;
    std::unique_ptr<ScreenContext> context_;
};

// The child of `root` with this object name and type; fails the test when there is none.
template <class Widget>
Widget* child(const QWidget& root, const char* name) {
    auto* found = root.findChild<Widget*>(QString::fromLatin1(name));
    if (!found) ADD_FAILURE() << "no " << name << " under " << root.objectName().toStdString();
    return found;
}

// Light or dark, set on the application so every widget built afterwards takes it.
enum class Scheme { light, dark };
void applyScheme(Scheme scheme);

}  // namespace vardex::ui::testing
