// TZelDockablePanel: a panel that docks at a side of the main window, with a caption
// bar and, inside a border, its client area. The main window makes the panels
// (TMainForm::CreateDockablePanel) and owns them; their owners put their controls into
// the client area.
//
// The client width can be bounded, so that the option frames laid out for one width
// keep it; the panel's docked width follows from the client width and the border.

#ifndef QUILL_FRAMEWORK_ZELDOCKABLEPANEL_H_
#define QUILL_FRAMEWORK_ZELDOCKABLEPANEL_H_

#include <QDockWidget>

class QVBoxLayout;

namespace quill {

class TZelDockablePanel : public QDockWidget {
  Q_OBJECT

 public:
  // A panel of Window, not yet docked (QMainWindow::addDockWidget docks it).
  explicit TZelDockablePanel(QWidget* window);

  // The area inside the border, where the panel's contents go. It has no layout.
  QWidget* GetClient() const { return client_; }

  int GetBorderSize() const;
  void SetBorderSize(int size);

  int GetMinClientWidth() const;
  void SetMinClientWidth(int width);
  int GetMaxClientWidth() const;
  void SetMaxClientWidth(int width);

  // Asks the main window to give the docked panel Width pixels; the client-width
  // bounds win over it. Nothing while the panel is not in a main window.
  void SetDockedWidth(int width);

 private:
  QVBoxLayout* border_;
  QWidget* client_;
};

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELDOCKABLEPANEL_H_
