// Trigger keys: Qt key events to the Windows virtual key codes the messages
// store, and the key selector's items. Pure functions.
#pragma once

#include <QString>
#include <Qt>
#include <cstdint>
#include <optional>

class QKeyEvent;

// The virtual key code of a key press: main keyboard digits 0x30-0x39,
// letters 0x41-0x5A, keypad digits 0x60-0x69 (so they never match a digit),
// F1-F24 0x70-0x87; nullopt for other keys. The codes name keys, not
// characters: where the event carries the physical key (on Linux its XKB
// keycode, the evdev code + 8; on Windows its virtual key), the digit row,
// the keypad and the function keys give their codes whatever Shift or the
// layout make of them (Shift+1, the digit row of a French keyboard). Letters
// follow the layout, as Windows virtual keys do. Events without native codes
// (synthesised ones) fall back to the Qt key below.
std::optional<uint16_t> VirtualKeyCode(const QKeyEvent& event);
// The fallback: the Qt key and modifiers alone.
std::optional<uint16_t> VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);
// The code of the physical key with this XKB keycode, for the digit row,
// keypad digits and F1-F24; nullopt for every other key.
std::optional<uint16_t> VirtualKeyCodeOfXkbKeycode(uint32_t keycode);

// The key selector: items "0"-"9" (index 0-9) and "F1"-"F12" (index 10-21).
constexpr int kKeySelectorItems = 22;
uint16_t KeyCodeOfSelectorIndex(int index);
// The selector index of a stored key code (may be out of 0..21 for codes
// that are not trigger keys).
int SelectorIndexOfKeyCode(uint16_t keyCode);
// The selector index of a pressed key code, or nullopt for other keys.
std::optional<int> SelectorIndexOfPressedKey(uint16_t keyCode);
// The caption of a stored key code: "F1"-"F12" above the digits, else the
// character with that code.
QString KeyCaption(uint16_t keyCode);
