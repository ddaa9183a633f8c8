#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vardex::ui {

// The on-device language model behind the helper cards. Linux has none (`NoHelperModel`); tests
// put a scripted one behind it.
class HelperModel {
public:
    // The reply's text, or absent on any failure (missing, refused, interrupted).
    using Reply = std::function<void(std::optional<std::string>)>;

    virtual ~HelperModel() = default;
    virtual bool available() const = 0;
    // Answers `prompt` under `instructions`; `done` may be called on any thread, exactly once.
    virtual void respond(const std::string& instructions, const std::string& prompt, Reply done) = 0;
};

class NoHelperModel final : public HelperModel {
public:
    bool available() const override { return false; }
    void respond(const std::string&, const std::string&, Reply done) override { done(std::nullopt); }
};

}  // namespace vardex::ui
