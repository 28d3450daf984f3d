#include "gui/settings_store.h"

#include <QVariant>

std::unique_ptr<QSettings> OpenSettings() {
    auto settings =
        std::make_unique<QSettings>(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    if (settings->status() != QSettings::NoError || !settings->isWritable()) return nullptr;
    return settings;
}

std::optional<QString> ReadString(const QSettings& settings, const QString& key) {
    const QVariant value = settings.value(key);
    if (!value.isValid()) return std::nullopt;
    // A list (a text with a comma written by hand) reads as QStringList.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

std::optional<int32_t> ReadInt(const QSettings& settings, const QString& key) {
    const std::optional<QString> text = ReadString(settings, key);
    if (!text) return std::nullopt;
    bool ok = false;
    const int32_t number = text->trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return number;
}

std::optional<bool> ReadBool(const QSettings& settings, const QString& key) {
    const std::optional<QString> text = ReadString(settings, key);
    if (!text) return std::nullopt;
    const QString word = text->trimmed().toLower();
    if (word == QLatin1String("1") || word == QLatin1String("true")) return true;
    if (word == QLatin1String("0") || word == QLatin1String("false")) return false;
    return std::nullopt;
}

void WriteString(QSettings& settings, const QString& key, const QString& value) {
    settings.setValue(key, value);
}

void WriteInt(QSettings& settings, const QString& key, int32_t value) {
    settings.setValue(key, value);
}

void WriteBool(QSettings& settings, const QString& key, bool value) {
    settings.setValue(key, value ? 1 : 0);
}
