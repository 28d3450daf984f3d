#include "transmit/transmit_edit_rules.h"

#include <algorithm>
#include <limits>

#include "gui/key_codes.h"

namespace {

using namespace transmitwire;

constexpr uint32_t kNodeIdMask = 0xFF;
constexpr int kHexBase = 16;

// The value of a hexadecimal digit, or -1.
int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    return -1;
}

bool isHexDigit(QChar c) {
    return hexValue(c) >= 0;
}

uint8_t nodeIdOf(const QString& text) {
    return static_cast<uint8_t>(ReadHex(text) & kNodeIdMask);
}

QString hex(uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, kHexBase, QLatin1Char('0')).toUpper();
}

}  // namespace

uint32_t ReadHex(const QString& text) {
    uint64_t value = 0;
    for (QChar c : text) {
        const int digit = hexValue(c);
        if (digit < 0) break;
        value = value * kHexBase + static_cast<uint64_t>(digit);
        value = std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max());
    }
    return static_cast<uint32_t>(value);
}

StrippedText StripNonHex(const QString& text, int caret) {
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (isHexDigit(c)) kept.append(c);
    }
    return {kept, std::clamp(caret, 0, static_cast<int>(kept.size()))};
}

TransmitMessage RecordFromControls(const TransmitControlValues& v) {
    TransmitMessage m;
    m.enable = v.enable;
    m.name = v.name.toStdString();
    m.id = std::min(ReadHex(v.idText), kMaxId);
    m.transmitid = v.transmitId;
    m.transmitpdo = v.transmitPdo;
    m.nodeid = std::min(nodeIdOf(v.nodeIdText), kMaxNodeId);
    if (m.nodeid == 0) m.nodeid = kMinNodeId;
    m.pdotype = v.pdoIndex;
    m.keytrigger = v.keyTrigger;
    m.key = KeyCodeOfSelectorIndex(v.keyIndex);
    m.rxtrigger = v.rxTrigger;
    m.rxid = std::min(ReadHex(v.rxIdText), kMaxId);
    m.dlc = static_cast<uint8_t>(v.dlcIndex);
    for (int byte = 0; byte < kDataBytes; ++byte) {
        m.data[byte] = static_cast<uint8_t>(ReadHex(v.dataTexts[byte]));
    }
    m.timestamp = v.timestamp ? 1 : 0;
    return m;
}

TransmitControlValues ControlsFromRecord(const TransmitMessage& m) {
    TransmitControlValues v;
    v.enable = m.enable;
    v.name = QString::fromStdString(m.name);
    v.idText = hex(m.id, 3);
    v.transmitId = m.transmitid;
    v.transmitPdo = m.transmitpdo;
    v.nodeIdText = hex(m.nodeid, 2);
    v.pdoIndex = m.pdotype;
    v.keyTrigger = m.keytrigger;
    v.keyIndex = SelectorIndexOfKeyCode(m.key);
    v.rxTrigger = m.rxtrigger;
    v.rxIdText = hex(m.rxid, 3);
    v.dlcIndex = m.dlc;
    for (int byte = 0; byte < kDataBytes; ++byte) v.dataTexts[byte] = hex(m.data[byte], 2);
    v.timestamp = m.timestamp != 0;
    return v;
}

QStringList TransmitInputProblems(const TransmitControlValues& v) {
    QStringList problems;
    if (v.transmitId && ReadHex(v.idText) > kMaxId) {
        problems << QStringLiteral("The ID must be in the range 0x000 - 0x7FF.");
    }
    const uint8_t node = nodeIdOf(v.nodeIdText);
    if (v.transmitPdo && (node == 0 || node > kMaxNodeId)) {
        problems << QStringLiteral("The Node ID must be in the range 0x01 - 0x7F.");
    }
    if (v.rxTrigger && ReadHex(v.rxIdText) > kMaxId) {
        problems << QStringLiteral(
            "The ID to check for reception must be in the range 0x000 - 0x7FF.");
    }
    return problems;
}

QString TransmitListItem(int i, const QString& displayName) {
    QString item = QString::number(i);
    if (!displayName.isEmpty()) item += QStringLiteral(" (") + displayName + QLatin1Char(')');
    return item;
}
