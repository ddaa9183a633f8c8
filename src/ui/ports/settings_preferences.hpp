#pragma once

#include <optional>
#include <string>

#include <QSettings>
#include <QString>

#include "store/preferences.hpp"

namespace vardex::ui {

// A preference as one text that keeps its type ("bool:true", "int:3", "list:[\"a\"]"), so a
// value reads back as what was written, whatever the settings file's format makes of it.
QString encodePreference(const PreferenceValue& value);
std::optional<PreferenceValue> decodePreference(const QString& text);

// The user's preferences in a QSettings file of the organisation "Talvenor". QSettings replaces
// the file whole on each sync, so a failed write leaves the previous file.
class SettingsPreferences final : public Preferences {
public:
    // The domain named by VARDEX_DEFAULTS_SUITE, else the app's own.
    static QString domainFromEnvironment();
    // The per-user file of the domain.
    explicit SettingsPreferences(const QString& domain);
    // A settings file at a given path (tests, a portable setup).
    struct AtFile {
        QString path;
    };
    explicit SettingsPreferences(AtFile file);

    std::optional<PreferenceValue> value(const std::string& key) const override;
    void setValue(const std::string& key, const PreferenceValue& value) override;

private:
    mutable QSettings settings_;
};

}  // namespace vardex::ui
