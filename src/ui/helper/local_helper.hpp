#pragma once

#include <optional>
#include <string>

#include <QObject>

namespace vardex {
class Preferences;
}

namespace vardex::ui {

class HelperModel;

// One helper card's explanation: the model's reply when the model may and can answer, else the
// card's own fallback text. Every field changes on the main thread, then `changed` fires.
class LocalHelper final : public QObject {
    Q_OBJECT
public:
    LocalHelper(HelperModel& model, const Preferences& preferences, QObject* parent = nullptr);

    void explain(const std::string& prompt, const std::string& fallback);

    const std::optional<std::string>& answer() const { return answer_; }
    bool busy() const { return busy_; }
    const std::string& source() const { return source_; }

    // The user's switch: "localHelperOff" true turns the model off.
    static bool switchedOn(const Preferences& preferences);

Q_SIGNALS:
    void changed();

private:
    void settle(std::optional<std::string> reply, const std::string& fallback);

    HelperModel& model_;
    const Preferences& preferences_;
    std::optional<std::string> answer_;
    bool busy_ = false;
    std::string source_;
};

}  // namespace vardex::ui
