#include "gui/key_codes.h"

#include "transmit/core/transmit_message.h"

namespace {

using namespace transmitwire;

constexpr uint16_t kKeyLetterA = 0x41;
constexpr uint16_t kKeyNumpad0 = 0x60;
constexpr int kFunctionKeys = 24;
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
