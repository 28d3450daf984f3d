#include "gui/key_codes.h"

#include <QKeyEvent>

#include "transmit/core/transmit_message.h"

namespace {

using namespace transmitwire;

constexpr uint16_t kKeyLetterA = 0x41;
constexpr uint16_t kKeyNumpad0 = 0x60;
constexpr int kFunctionKeys = 24;

// XKB keycodes (evdev codes + 8) of the keys with trigger codes: `count`
// keys from `keycode` carry the codes from `code` on.
struct XkbRun {
    uint32_t keycode;
    uint32_t count;
    uint16_t code;
};
constexpr XkbRun kXkbRuns[] = {
    {10, 9, 0x31},    // digit row 1-9
    {19, 1, 0x30},    // digit row 0
    {67, 10, 0x70},   // F1-F10
    {79, 3, 0x67},    // keypad 7-9
    {83, 3, 0x64},    // keypad 4-6
    {87, 3, 0x61},    // keypad 1-3
    {90, 1, 0x60},    // keypad 0
    {95, 2, 0x7A},    // F11, F12
    {191, 12, 0x7C},  // F13-F24
};

// The code of the key the event's native codes name; nullopt when they name
// no digit, keypad digit or function key.
std::optional<uint16_t> nativeKeyCode(const QKeyEvent& event) {
#if defined(Q_OS_WIN)
    const quint32 key = event.nativeVirtualKey();  // the virtual key itself
    const bool named = (key >= kKeyDigit0 && key <= kKeyDigit9) ||
                       (key >= kKeyNumpad0 && key < kKeyNumpad0 + 10) ||
                       (key >= kKeyF1 && key < kKeyF1 + kFunctionKeys);
    return named ? std::optional<uint16_t>(static_cast<uint16_t>(key)) : std::nullopt;
#else
    return VirtualKeyCodeOfXkbKeycode(event.nativeScanCode());
#endif
}

bool hasNativeCodes(const QKeyEvent& event) {
#if defined(Q_OS_WIN)
    return event.nativeVirtualKey() != 0;
#else
    return event.nativeScanCode() != 0;
#endif
}

// Index 10 ("F1") maps to 0x70.
constexpr int kFunctionIndexOffset = kKeyF1 - 10;
// "F%d" of key - 111: 0x70 is "F1".
constexpr int kFunctionCaptionOffset = kKeyF1 - 1;

}  // namespace

std::optional<uint16_t> VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        const uint16_t base = modifiers.testFlag(Qt::KeypadModifier) ? kKeyNumpad0 : kKeyDigit0;
        return static_cast<uint16_t>(base + (qtKey - Qt::Key_0));
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return static_cast<uint16_t>(kKeyLetterA + (qtKey - Qt::Key_A));
    }
    if (qtKey >= Qt::Key_F1 && qtKey < Qt::Key_F1 + kFunctionKeys) {
        return static_cast<uint16_t>(kKeyF1 + (qtKey - Qt::Key_F1));
    }
    return std::nullopt;
}

std::optional<uint16_t> VirtualKeyCodeOfXkbKeycode(uint32_t keycode) {
    for (const XkbRun& run : kXkbRuns) {
        if (keycode >= run.keycode && keycode - run.keycode < run.count) {
            return static_cast<uint16_t>(run.code + (keycode - run.keycode));
        }
    }
    return std::nullopt;
}

std::optional<uint16_t> VirtualKeyCode(const QKeyEvent& event) {
    const auto qtKey = event.key();
    if (!hasNativeCodes(event)) return VirtualKeyCode(qtKey, event.modifiers());
    if (const std::optional<uint16_t> code = nativeKeyCode(event)) return code;
    // Letters follow the layout; digits and function keys come from the
    // physical key only.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return static_cast<uint16_t>(kKeyLetterA + (qtKey - Qt::Key_A));
    }
    return std::nullopt;
}

uint16_t KeyCodeOfSelectorIndex(int index) {
    return static_cast<uint16_t>(index < 10 ? kKeyDigit0 + index : kFunctionIndexOffset + index);
}

int SelectorIndexOfKeyCode(uint16_t keyCode) {
    return keyCode > kKeyDigit9 ? keyCode - kFunctionIndexOffset : keyCode - kKeyDigit0;
}

std::optional<int> SelectorIndexOfPressedKey(uint16_t keyCode) {
    if (keyCode >= kKeyDigit0 && keyCode <= kKeyDigit9) return keyCode - kKeyDigit0;
    if (keyCode >= kKeyF1 && keyCode <= kKeyF12) return keyCode - kFunctionIndexOffset;
    return std::nullopt;
}

QString KeyCaption(uint16_t keyCode) {
    if (keyCode > kKeyDigit9) return QStringLiteral("F%1").arg(keyCode - kFunctionCaptionOffset);
    return QString(QChar(keyCode));
}
