// What the tools with a button and an option frame share: whether a tool may start
// work, how the button and frame follow the tool's availability and activation, the
// hourglass around long operations, the screen points of their script targets, the
// title and show/hide-options link of their frames and a paint box. Their script commands read
// their arguments by the rules of ZelDemoScriptable.h.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELTOOLSUPPORT_H_
#define QUILL_EDITOR_ZELTOOLSUPPORT_H_

#include <QString>
#include <QToolButton>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "ZelDemoScriptable.h"
#include "ZelDemonstrationModule.h"  // ControlCentre, ToolbarItemCentre: where targets lie
#include "ZelTypes.h"

class QAction;
class QLabel;
class QPainter;
class TZelGraphicsTool;
class TZelProperties;

namespace quill {

// String ids of the show/hide-options link.
constexpr int32_t kShowOptionsText = 2019;
constexpr int32_t kHideOptionsText = 2020;

// Whether Tool may start work on the current document now: it is offered (in plug-in
// mode only when plug-in mode does not withdraw it), the editor has a current document with a
// view, and the editor's ToolMayWork allows it (no lock held by another tool, no
// exclusive operation of another tool running). Every entry point of a tool's
// operation asks this first: buttons, keys, mouse and script commands.
bool ToolMayStart(TZelGraphicsTool& tool);

// A tool's Button and options Frame follow its availability: both shown or hidden
// (each when it exists). The tools call it from SetAvailable, before the inherited.
void ShowToolButtonAndFrame(QAction* button, QWidget* frame, bool visible);
// The tool's options Frame (when it exists) brought to the front of the tool panel:
// what a tool with a frame does on activation, after the inherited.
void BringToolFrameToFront(QWidget* frame);

// The hourglass cursor while it lives (nothing without a widget application).
class TZelHourglass {
 public:
  TZelHourglass();
  ~TZelHourglass();
  TZelHourglass(const TZelHourglass&) = delete;
  TZelHourglass& operator=(const TZelHourglass&) = delete;

 private:
  bool shown_;
};

// A widget of a tool's frame as a script target, named by the tool's upper-cased Name
// followed by the suffix (upper case).
using TNamedWidget = std::pair<QString, const QWidget*>;
// The screen point of the script target that Params names (ScriptTargetName): the
// tool's shown Button (may be null) for its upper-cased Name, a widget of Widgets
// (when not null; a check box kept hidden stays a target that scripts name) for that
// name followed by its suffix. False for any other name, and for every name when the
// tool has none. Every tool finds its targets with it.
bool FindToolTarget(const TZelProperties* params, const QString& name, QAction* button,
                    const std::vector<TNamedWidget>& widgets, TPoint& point);

// Appends Tool's checkable button, Caption and the main image list's ImageIndex, to
// Toolbar (the tool panel's); a click selects the tool. The new button.
QAction* AddToolButton(QWidget* toolbar, TZelGraphicsTool& tool, const QString& caption, int imageIndex);

// "MouseCurvedMove " + Target, then Line, while Recorder records.
void RecordMoveAndLine(TZelGraphicsTool& tool, const QString& target, const QString& line);

// A tool frame's title at its top: a label in Parent showing Text as plain text, bold,
// and underlined when Underlined.
QLabel* NewTitleLabel(const QString& text, bool underlined, QWidget* parent);

// The link at the foot of a tool frame that shows or hides the tool's further
// options: a flat button with a small arrow and the text "Show More Options" (string
// 2019) or "Hide Options" (string 2020). Its owner decides what a click does.
class TZelShowOptionsLink : public QToolButton {
  Q_OBJECT

 public:
  explicit TZelShowOptionsLink(QWidget* parent);
  // The caption and arrow for options shown (true) or hidden.
  void SetShown(bool shown);
};

// A widget that leaves its painting to OnPaint.
class TZelPaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit TZelPaintBox(QWidget* parent) : QWidget(parent) {}

  std::function<void(QPainter& painter)> OnPaint;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quill

#endif  // QUILL_EDITOR_ZELTOOLSUPPORT_H_
