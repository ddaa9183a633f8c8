#include "ui/helper/local_helper.hpp"

#include <QMetaObject>
#include <QPointer>

#include "store/preferences.hpp"
#include "ui/helper/helper_model.hpp"

namespace vardex::ui {

namespace {

constexpr std::string_view instructions = "Explain to a 10-year-old in one or two short, calm sentences. Plain words only.";
constexpr std::string_view modelSource = "on-device model";
constexpr std::string_view builtInSource = "built-in";

}  // namespace

LocalHelper::LocalHelper(HelperModel& model, const Preferences& preferences, QObject* parent)
    : QObject(parent), model_(model), preferences_(preferences) {}

bool LocalHelper::switchedOn(const Preferences& preferences) {
    const auto off = preferences.value("localHelperOff");
    const auto* flag = off ? std::get_if<bool>(&*off) : nullptr;
    return !(flag && *flag);
}

void LocalHelper::explain(const std::string& prompt, const std::string& fallback) {
    if (!switchedOn(preferences_) || !model_.available()) {
        settle(std::nullopt, fallback);
        return;
    }
    busy_ = true;
    Q_EMIT changed();
    // The reply may come on any thread and after this helper is gone.
    model_.respond(std::string(instructions), prompt, [self = QPointer<LocalHelper>(this), fallback](std::optional<std::string> reply) {
        if (!self) return;
        QMetaObject::invokeMethod(
            self.data(), [self, reply = std::move(reply), fallback]() mutable {
                if (self) self->settle(std::move(reply), fallback);
            },
            Qt::QueuedConnection);
    });
}

void LocalHelper::settle(std::optional<std::string> reply, const std::string& fallback) {
    source_ = std::string(reply ? modelSource : builtInSource);
    answer_ = reply ? std::move(*reply) : fallback;
    busy_ = false;
    Q_EMIT changed();
}

}  // namespace vardex::ui
