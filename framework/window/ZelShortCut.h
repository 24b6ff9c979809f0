// Keyboard shortcuts as the program writes them: a virtual-key code of the platform in
// the low byte and the modifier bits scShift, scCtrl and scAlt, 0 for no shortcut.
// Ctrl+P, for example, is scCtrl | 'P' = 16464. Letters and digits are their upper-case
// ASCII codes; the other keys have the platform's codes (VK_F1 0x70, VK_ADD 0x6B, ...).

#ifndef QUILL_FRAMEWORK_ZELSHORTCUT_H_
#define QUILL_FRAMEWORK_ZELSHORTCUT_H_

#include <QKeySequence>

#include <cstdint>

namespace quill {

using TShortCut = uint16_t;

constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// Virtual-key codes: a shortcut's low byte, and the key codes the graphics view hands
// the tool controls. Letters and digits are their ASCII codes ('A', '0') and have no
// name here.
constexpr uint16_t VK_BACK = 0x08;
constexpr uint16_t VK_TAB = 0x09;
constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11;
constexpr uint16_t VK_MENU = 0x12;  // Alt
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_SPACE = 0x20;
constexpr uint16_t VK_PRIOR = 0x21;  // Page Up
constexpr uint16_t VK_NEXT = 0x22;   // Page Down
constexpr uint16_t VK_END = 0x23;
constexpr uint16_t VK_HOME = 0x24;
constexpr uint16_t VK_LEFT = 0x25;
constexpr uint16_t VK_UP = 0x26;
constexpr uint16_t VK_RIGHT = 0x27;
constexpr uint16_t VK_DOWN = 0x28;
constexpr uint16_t VK_INSERT = 0x2D;
constexpr uint16_t VK_DELETE = 0x2E;
constexpr uint16_t VK_NUMPAD0 = 0x60;  // to VK_NUMPAD0 + 9
constexpr uint16_t VK_MULTIPLY = 0x6A;  // the keypad's keys
constexpr uint16_t VK_ADD = 0x6B;
constexpr uint16_t VK_SUBTRACT = 0x6D;
constexpr uint16_t VK_DECIMAL = 0x6E;
constexpr uint16_t VK_DIVIDE = 0x6F;
constexpr uint16_t VK_F1 = 0x70;        // to VK_F1 + 23
constexpr uint16_t VK_OEM_PLUS = 0xBB;   // the main keyboard's "=" / "+"
constexpr uint16_t VK_OEM_MINUS = 0xBD;  // the main keyboard's "-"

// The key sequence of ShortCut; empty for 0 and for a key code the program does not
// map (bits 0x0100 to 0x1000 are not part of any shortcut and are ignored).
QKeySequence ShortCutToKeySequence(TShortCut shortCut);

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELSHORTCUT_H_
