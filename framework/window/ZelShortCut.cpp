#include "ZelShortCut.h"

#include <array>

namespace {

constexpr int kKeypad = static_cast<int>(Qt::KeypadModifier);

// The Qt key of every virtual-key code, keypad keys with Qt's keypad modifier; 0 for
// the codes without a key of their own here.
constexpr std::array<int, 256> kQtKeys = [] {
  std::array<int, 256> keys{};
  for (int i = 0; i < 26; ++i) keys['A' + i] = Qt::Key_A + i;
  for (int i = 0; i < 10; ++i) keys['0' + i] = Qt::Key_0 + i;
  for (int i = 0; i < 10; ++i) keys[0x60 + i] = kKeypad | (Qt::Key_0 + i);  // VK_NUMPAD0..9
  for (int i = 0; i < 24; ++i) keys[0x70 + i] = Qt::Key_F1 + i;             // VK_F1..F24
  keys[0x08] = Qt::Key_Backspace;
  keys[0x09] = Qt::Key_Tab;
  keys[0x0D] = Qt::Key_Return;
  keys[0x1B] = Qt::Key_Escape;
  keys[0x20] = Qt::Key_Space;
  keys[0x21] = Qt::Key_PageUp;
  keys[0x22] = Qt::Key_PageDown;
  keys[0x23] = Qt::Key_End;
  keys[0x24] = Qt::Key_Home;
  keys[0x25] = Qt::Key_Left;
  keys[0x26] = Qt::Key_Up;
  keys[0x27] = Qt::Key_Right;
  keys[0x28] = Qt::Key_Down;
  keys[0x2D] = Qt::Key_Insert;
  keys[0x2E] = Qt::Key_Delete;
  keys[0x6A] = kKeypad | Qt::Key_Asterisk;  // VK_MULTIPLY
  keys[0x6B] = kKeypad | Qt::Key_Plus;      // VK_ADD
  keys[0x6D] = kKeypad | Qt::Key_Minus;     // VK_SUBTRACT
  keys[0x6E] = kKeypad | Qt::Key_Period;    // VK_DECIMAL
  keys[0x6F] = kKeypad | Qt::Key_Slash;     // VK_DIVIDE
  return keys;
}();

}  // namespace

namespace quill {

QKeySequence ShortCutToKeySequence(TShortCut shortCut) {
  const int key = kQtKeys[shortCut & 0xFF];
  if (key == 0) return {};
  int combined = key;
  if ((shortCut & scShift) != 0) combined |= Qt::ShiftModifier;
  if ((shortCut & scCtrl) != 0) combined |= Qt::ControlModifier;
  if ((shortCut & scAlt) != 0) combined |= Qt::AltModifier;
  return QKeySequence(QKeyCombination::fromCombined(combined));
}

}  // namespace quill
