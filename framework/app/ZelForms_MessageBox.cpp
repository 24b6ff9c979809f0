// TZelApplication: message boxes with the platform's flags and button ids.

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

#include <vector>

#include "EventFilter.h"
#include "ZelForms.h"

namespace {

QMessageBox::Icon IconOf(uint32_t flags) {
  switch (flags & 0xF0) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case quill::MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// The buttons of the box, in the order the default-button flags count them.
std::vector<QMessageBox::StandardButton> ButtonsOf(uint32_t flags) {
  switch (flags & 0xF) {
    case quill::MB_OKCANCEL: return {QMessageBox::Ok, QMessageBox::Cancel};
    case quill::MB_ABORTRETRYIGNORE: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case quill::MB_YESNOCANCEL: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MB_YESNO: return {QMessageBox::Yes, QMessageBox::No};
    case quill::MB_RETRYCANCEL: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};
  }
}

int ButtonId(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return quill::IDOK;
    case QMessageBox::Abort: return quill::IDABORT;
    case QMessageBox::Retry: return quill::IDRETRY;
    case QMessageBox::Ignore: return quill::IDIGNORE;
    case QMessageBox::Yes: return quill::IDYES;
    case QMessageBox::No: return quill::IDNO;
    default: return quill::IDCANCEL;
  }
}

}  // namespace

int TZelApplication::MessageBox(const QString& text, uint32_t flags) {
  return MessageBoxWithCaption(text, title_, flags);
}

int TZelApplication::MessageBoxWithCaption(const QString& text, const QString& caption,
                                           uint32_t flags) {
  if (answerer_) return answerer_(text, caption, flags);

  QWidget* owner = QApplication::activeWindow();
  if (owner == nullptr) owner = mainForm_;
  QMessageBox box(IconOf(flags), caption, text, QMessageBox::NoButton, owner);
  const std::vector<QMessageBox::StandardButton> buttons = ButtonsOf(flags);
  for (const QMessageBox::StandardButton button : buttons) box.addButton(button);
  const size_t defaultIndex = (flags >> 8) & 0xF;
  box.setDefaultButton(buttons[defaultIndex < buttons.size() ? defaultIndex : 0]);
  // Esc answers Cancel where there is one, and OK in a box with OK alone. A Yes/No
  // question has no answer for Esc: it must be answered.
  if (box.button(QMessageBox::Cancel) != nullptr) {
    box.setEscapeButton(QMessageBox::Cancel);
  } else if (buttons.size() == 1) {
    box.setEscapeButton(buttons.front());
  }
  quill::EventFilter ignoreEsc([](QObject*, QEvent* event) {
    return event->type() == QEvent::KeyPress &&
           static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
  });
  if ((flags & 0xF) == MB_YESNO) box.installEventFilter(&ignoreEsc);
  box.exec();
  return ButtonId(box.standardButton(box.clickedButton()));
}
