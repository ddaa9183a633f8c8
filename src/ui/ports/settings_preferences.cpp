#include "ui/ports/settings_preferences.hpp"

#include <chrono>
#include <cstdlib>

#include <QJsonArray>
#include <QJsonDocument>

#include "bridge/vardex_paths.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

QString tagged(const char* tag, const QString& text) { return QLatin1String(tag) + QLatin1Char(':') + text; }

}  // namespace

QString encodePreference(const PreferenceValue& value) {
    return std::visit(
        Overloaded{
            [](bool flag) { return tagged("bool", flag ? QStringLiteral("true") : QStringLiteral("false")); },
            [](std::int64_t number) { return tagged("int", QString::number(number)); },
            [](double number) { return tagged("double", QString::number(number, 'g', 17)); },
            [](const std::string& text) { return tagged("text", qs(text)); },
            [](const std::vector<std::string>& list) {
                QJsonArray array;
                for (const auto& item : list) array.append(qs(item));
                return tagged("list", QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
            },
            [](TimePoint time) {
                const std::chrono::duration<double> since = time.time_since_epoch();
                return tagged("time", QString::number(since.count(), 'f', 6));
            },
        },
        value);
}

std::optional<PreferenceValue> decodePreference(const QString& text) {
    const auto colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) return std::nullopt;
    const QString tag = text.left(colon);
    const QString body = text.mid(colon + 1);
    bool ok = false;
    if (tag == QLatin1String("bool")) {
        if (body == QLatin1String("true")) return true;
        if (body == QLatin1String("false")) return false;
        return std::nullopt;
    }
    if (tag == QLatin1String("int")) {
        const qlonglong number = body.toLongLong(&ok);
        if (ok) return static_cast<std::int64_t>(number);
        return std::nullopt;
    }
    if (tag == QLatin1String("double")) {
        const double number = body.toDouble(&ok);
        if (ok) return number;
        return std::nullopt;
    }
    if (tag == QLatin1String("text")) return utf8(body);
    if (tag == QLatin1String("list")) {
        const auto document = QJsonDocument::fromJson(body.toUtf8());
        if (!document.isArray()) return std::nullopt;
        std::vector<std::string> list;
        for (const auto& item : document.array()) {
            if (!item.isString()) return std::nullopt;
            list.push_back(utf8(item.toString()));
        }
        return list;
    }
    if (tag == QLatin1String("time")) {
        const double seconds = body.toDouble(&ok);
        if (!ok) return std::nullopt;
        return TimePoint(std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds)));
    }
    return std::nullopt;
}

QString SettingsPreferences::domainFromEnvironment() {
    if (const auto suite = VardexPaths::env("VARDEX_DEFAULTS_SUITE")) return QString::fromStdString(*suite);
    return QStringLiteral("vardex-bar");
}

SettingsPreferences::SettingsPreferences(const QString& domain)
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Talvenor"), domain) {}

SettingsPreferences::SettingsPreferences(AtFile file) : settings_(file.path, QSettings::IniFormat) {}

std::optional<PreferenceValue> SettingsPreferences::value(const std::string& key) const {
    const QVariant stored = settings_.value(qs(key));
    if (!stored.isValid()) return std::nullopt;
    return decodePreference(stored.toString());
}

void SettingsPreferences::setValue(const std::string& key, const PreferenceValue& value) {
    settings_.setValue(qs(key), encodePreference(value));
    settings_.sync();
}

}  // namespace vardex::ui
