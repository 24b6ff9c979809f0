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

// The key sequence of ShortCut; empty for 0 and for a key code the program does not
// map (bits 0x0100 to 0x1000 are not part of any shortcut and are ignored).
QKeySequence ShortCutToKeySequence(TShortCut shortCut);

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELSHORTCUT_H_
