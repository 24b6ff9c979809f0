// Keeps windows on the screen: a window whose minimum or first size is larger than the
// available area of its screen (the screen less its panels and docks) would show its
// buttons and edges off screen, where the user cannot reach them.
//
// FitToScreen bounds a top-level window's minimum size and size to the available area
// of its screen and moves it, frame included, inside that area; a window that fits
// keeps its size and place. Where a window's layout asks for more than the area, the
// window's explicit minimum wins, so its controls share the smaller space.
//
// TScreenFit is an event filter for the application: every top-level window (main
// window, dialog, message box) is fitted each time it is shown, before it appears.
// Pop-up menus, tool tips and other pop-ups place themselves and are left alone.
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_SCREENFIT_H_
#define QUILL_FRAMEWORK_SCREENFIT_H_

#include <QObject>
#include <QRect>

class QWidget;

namespace quill {

// The available area of Window's screen (the primary screen when it has none yet); an
// empty rectangle without any screen.
QRect AvailableScreenArea(const QWidget& window);

// Fits the top-level Window to AvailableScreenArea (see above).
void FitToScreen(QWidget& window);

class TScreenFit : public QObject {
  Q_OBJECT

 public:
  explicit TScreenFit(QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quill

#endif  // QUILL_FRAMEWORK_SCREENFIT_H_
