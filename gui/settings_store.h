// The per-user settings store of quorvane: QSettings("Trelvik-System",
// "Quorvane"), an INI file under $XDG_CONFIG_HOME/Trelvik-System/.
// Strings stay strings; numbers and booleans are written as integers. UI thread.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

// The store, or nullptr when it cannot be read or written (loading and
// saving are then skipped silently).
std::unique_ptr<QSettings> OpenSettings();

// Typed reads that tell a missing or malformed value (nullopt) from a
// present one. Integers must be plain decimal text within 32 bits; booleans
// are integers 0 or 1 (true/false text is accepted too).
std::optional<QString> ReadString(const QSettings& settings, const QString& key);
std::optional<int32_t> ReadInt(const QSettings& settings, const QString& key);
std::optional<bool> ReadBool(const QSettings& settings, const QString& key);

void WriteString(QSettings& settings, const QString& key, const QString& value);
void WriteInt(QSettings& settings, const QString& key, int32_t value);
void WriteBool(QSettings& settings, const QString& key, bool value);
