#include "transmit/transmit_settings.h"

#include <algorithm>
#include <string>

#include "gui/settings_store.h"

namespace {

using namespace transmitwire;

QString keyOf(int index, const QString& suffix) {
    return QString::number(index) + QLatin1Char('_') + suffix;
}

// Reads an integer value and hands it to `apply`; missing or malformed: nothing.
template <class Apply>
void readInt(const QSettings& settings, int index, const char* suffix, Apply apply) {
    if (const auto value = ReadInt(settings, keyOf(index, QLatin1String(suffix)))) apply(*value);
}

}  // namespace

void LoadTransmitMessage(const QSettings& settings, int index, TransmitMessage& m) {
    if (const auto name = ReadString(settings, keyOf(index, QStringLiteral("name")))) {
        m.name = CutName(name->toStdString());
    }
    readInt(settings, index, "enable", [&](int32_t v) { m.enable = v != 0; });
    readInt(settings, index, "transmitid", [&](int32_t v) { m.transmitid = v != 0; });
    readInt(settings, index, "id",
            [&](int32_t v) { m.id = std::min(static_cast<uint32_t>(v), kMaxId); });
    readInt(settings, index, "transmitpdo", [&](int32_t v) { m.transmitpdo = v != 0; });
    readInt(settings, index, "nodeid", [&](int32_t v) {
        m.nodeid = std::min(static_cast<uint8_t>(v), kMaxNodeId);
        if (m.nodeid == 0) m.nodeid = kMinNodeId;
    });
    readInt(settings, index, "pdotype", [&](int32_t v) { m.pdotype = std::min(v, kMaxPdoType); });
    readInt(settings, index, "keytrigger", [&](int32_t v) { m.keytrigger = v != 0; });
    readInt(settings, index, "key", [&](int32_t v) { m.key = static_cast<uint16_t>(v); });
    readInt(settings, index, "rxtrigger", [&](int32_t v) { m.rxtrigger = v != 0; });
    readInt(settings, index, "rxid",
            [&](int32_t v) { m.rxid = std::min(static_cast<uint32_t>(v), kMaxId); });
    readInt(settings, index, "dlc",
            [&](int32_t v) { m.dlc = std::min(static_cast<uint8_t>(v), kMaxDlc); });
    readInt(settings, index, "timestamp", [&](int32_t v) { m.timestamp = v; });
    for (int byte = 0; byte < kDataBytes; ++byte) {
        const std::string suffix = "data" + std::to_string(byte);
        readInt(settings, index, suffix.c_str(),
                [&](int32_t v) { m.data[byte] = static_cast<uint8_t>(v); });
    }
}

void SaveTransmitMessage(QSettings& settings, int index, const TransmitMessage& m) {
    auto writeInt = [&](const char* suffix, uint32_t value) {
        WriteInt(settings, keyOf(index, QLatin1String(suffix)), static_cast<int32_t>(value));
    };
    WriteString(settings, keyOf(index, QStringLiteral("name")), QString::fromStdString(m.name));
    writeInt("enable", m.enable ? 1 : 0);
    writeInt("transmitid", m.transmitid ? 1 : 0);
    writeInt("id", m.id);
    writeInt("transmitpdo", m.transmitpdo ? 1 : 0);
    writeInt("nodeid", m.nodeid);
    writeInt("pdotype", static_cast<uint32_t>(m.pdotype));
    writeInt("keytrigger", m.keytrigger ? 1 : 0);
    writeInt("key", m.key);
    writeInt("rxtrigger", m.rxtrigger ? 1 : 0);
    writeInt("rxid", m.rxid);
    writeInt("dlc", m.dlc);
    writeInt("timestamp", static_cast<uint32_t>(m.timestamp));
    for (int byte = 0; byte < kDataBytes; ++byte) {
        const std::string suffix = "data" + std::to_string(byte);
        writeInt(suffix.c_str(), m.data[byte]);
    }
}

void SettingsTransmitStore::Load(TransmitMessage* records, int count) {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    for (int i = 0; i < count; ++i) LoadTransmitMessage(*settings, i, records[i]);
}

void SettingsTransmitStore::Save(const TransmitMessage* records, int count) {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    for (int i = 0; i < count; ++i) SaveTransmitMessage(*settings, i, records[i]);
}
