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
  for (int i = 0; i < 10; ++i) keys[quill::VK_NUMPAD0 + i] = kKeypad | (Qt::Key_0 + i);
  for (int i = 0; i < 24; ++i) keys[quill::VK_F1 + i] = Qt::Key_F1 + i;
  keys[quill::VK_BACK] = Qt::Key_Backspace;
  keys[quill::VK_TAB] = Qt::Key_Tab;
  keys[quill::VK_RETURN] = Qt::Key_Return;
  keys[quill::VK_ESCAPE] = Qt::Key_Escape;
  keys[quill::VK_SPACE] = Qt::Key_Space;
  keys[quill::VK_PRIOR] = Qt::Key_PageUp;
  keys[quill::VK_NEXT] = Qt::Key_PageDown;
  keys[quill::VK_END] = Qt::Key_End;
  keys[quill::VK_HOME] = Qt::Key_Home;
  keys[quill::VK_LEFT] = Qt::Key_Left;
  keys[quill::VK_UP] = Qt::Key_Up;
  keys[quill::VK_RIGHT] = Qt::Key_Right;
  keys[quill::VK_DOWN] = Qt::Key_Down;
  keys[quill::VK_INSERT] = Qt::Key_Insert;
  keys[quill::VK_DELETE] = Qt::Key_Delete;
  keys[quill::VK_MULTIPLY] = kKeypad | Qt::Key_Asterisk;
  keys[quill::VK_ADD] = kKeypad | Qt::Key_Plus;
  keys[quill::VK_SUBTRACT] = kKeypad | Qt::Key_Minus;
  keys[quill::VK_DECIMAL] = kKeypad | Qt::Key_Period;
  keys[quill::VK_DIVIDE] = kKeypad | Qt::Key_Slash;
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
