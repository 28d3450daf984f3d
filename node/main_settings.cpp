#include "node/main_settings.h"

#include "gui/settings_store.h"

namespace {

// Loads one value in place: keeps the default and writes it back when the
// stored value is missing or unusable.
class Loader {
public:
    explicit Loader(QSettings& settings) : settings_(settings) {}

    void text(const char* key, QString& value) {
        if (const auto stored = ReadString(settings_, QLatin1String(key))) {
            value = *stored;
        } else {
            WriteString(settings_, QLatin1String(key), value);
        }
    }
    void flag(const char* key, bool& value) {
        if (const auto stored = ReadBool(settings_, QLatin1String(key))) {
            value = *stored;
        } else {
            WriteBool(settings_, QLatin1String(key), value);
        }
    }
    void integer(const char* key, int& value, int low, int high) {
        const auto stored = ReadInt(settings_, QLatin1String(key));
        if (stored && *stored >= low && *stored <= high) {
            value = *stored;
        } else {
            WriteInt(settings_, QLatin1String(key), value);
        }
    }
    // The node ID is kept as decimal text.
    void numberText(const char* key, int& value) {
        const auto stored = ReadString(settings_, QLatin1String(key));
        bool ok = false;
        const int number = stored ? stored->trimmed().toInt(&ok, 10) : 0;
        if (ok) {
            value = number;
        } else {
            WriteString(settings_, QLatin1String(key), QString::number(value));
        }
    }

private:
    QSettings& settings_;
};

}  // namespace

MainSettings LoadMainSettings(QSettings* settings) {
    MainSettings values;
    if (settings == nullptr) return values;
    Loader load(*settings);
    load.numberText("nodeid", values.nodeid);
    load.text("readindex", values.readindex);
    load.text("readsubindex", values.readsubindex);
    load.flag("readstore", values.readstore);
    load.text("readpath", values.readpath);
    load.text("writeindex", values.writeindex);
    load.text("writesubindex", values.writesubindex);
    load.flag("writeenter", values.writeenter);
    load.text("writepath", values.writepath);
    load.text("writedata", values.writedata);
    load.integer("writebase", values.writebase, 0, 2);
    load.text("writelength", values.writelength);
    load.flag("allnodes", values.allnodes);
    load.flag("usepennorak", values.usepennorak);
    return values;
}

void SaveMainSettings(QSettings* settings, const MainSettings& values) {
    if (settings == nullptr) return;
    QSettings& s = *settings;
    WriteString(s, QStringLiteral("nodeid"), QString::number(values.nodeid));
    WriteString(s, QStringLiteral("readindex"), values.readindex);
    WriteString(s, QStringLiteral("readsubindex"), values.readsubindex);
    WriteBool(s, QStringLiteral("readstore"), values.readstore);
    WriteString(s, QStringLiteral("readpath"), values.readpath);
    WriteString(s, QStringLiteral("writeindex"), values.writeindex);
    WriteString(s, QStringLiteral("writesubindex"), values.writesubindex);
    WriteBool(s, QStringLiteral("writeenter"), values.writeenter);
    WriteString(s, QStringLiteral("writedata"), values.writedata);
    WriteString(s, QStringLiteral("writepath"), values.writepath);
    WriteInt(s, QStringLiteral("writebase"), values.writebase);
    WriteString(s, QStringLiteral("writelength"), values.writelength);
    WriteBool(s, QStringLiteral("allnodes"), values.allnodes);
    WriteBool(s, QStringLiteral("usepennorak"), values.usepennorak);
    s.sync();
}
