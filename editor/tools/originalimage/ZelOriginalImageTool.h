// The original image tool: compares the edited image with the image as it was opened.
// While the user holds down its button on the standard toolbar, or holds the O key in
// the image view, the view shows the document's original image in place of the
// current one; on release the tool that was current before comes back.
//
// Showing the original makes this tool the editor's current tool, which activates its
// control in the view: the control hides the image layer (and takes it out of the
// scroll extent), shows itself as a content layer over the original's bounds and
// repaints the view; deactivated, it hides again and the image layer comes back.
// Nothing in the document changes.
//
// The button follows the pressed state of its toolbar button (held down: shown;
// released, or the pointer dragged off it: restored), so a click does nothing more.
// The view offers keys to its controls from the last to the first and this tool is
// created first, so the O key reaches its control after every other tool's, whichever
// tool is current; the view drops X11's auto-repeat releases, so a held O gives one
// release, and the repeated presses do nothing while the original shows.
//
// The original shows only while the editor lets the tool work (a document is open, no
// other tool's exclusive operation runs, the tools are not locked to the current one);
// it only shows, so it also works in plug-in mode. A document that closes while the
// original shows brings the previous tool back. No options, no settings, no script
// commands; targets "OriginalImage" and "OriginalImageButton" (any case) give the
// button's screen point. Showing the original while a recording runs records a press
// of the button with the balloons "Original Image" and "Corrected Image".
//
// Main thread only.

#ifndef QUILL_EDITOR_TOOLS_ZELORIGINALIMAGETOOL_H_
#define QUILL_EDITOR_TOOLS_ZELORIGINALIMAGETOOL_H_

#include <QAction>
#include <QPointer>

#include <cstdint>

#include "ZelGraphicsTool.h"


class TZelOriginalImageTool : public TZelGraphicsTool {
 public:
  // Appends its text button to the editor's standard toolbar; plug-in capable.
  explicit TZelOriginalImageTool(TZelComponent* owner);
  ~TZelOriginalImageTool() override;

  QPointer<QAction> Button;
  // The editor's current tool when the original was shown.
  TZelGraphicsTool* PreviousTool = nullptr;

  // The editor's current tool is this tool.
  bool IsActive() const;
  // When not active and the editor lets the tool work: remembers the current tool and
  // makes this tool current; while recording, the five lines of the button press
  // ("MouseCurvedMove OriginalImage", "MouseDown", the balloon "Original Image",
  // "MouseUp", the balloon "Corrected Image").
  void ShowOriginal();
  // When active: the previous tool becomes current again.
  void RestorePrevious();

  // ---- Module ----
  void Localize() override;
  // The button enabled while the original may show (and while it shows); checked
  // while it shows.
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                      quill::TPoint& point) override;
  // RestorePrevious: the view that shows the original goes with the document.
  void DocumentClosing(TZelGraphicsDocument* document) override;
};

class TZelOriginalImageToolControl : public TZelGraphicsToolControl {
 public:
  using TZelGraphicsToolControl::TZelGraphicsToolControl;

  // The key that shows the original while held: O.
  uint16_t HoldKey = 'O';

  // Content layer, not part of the extent, invisible (18).
  void InitFlags() override;
  // The image layer hidden and out of the extent; this layer visible, in the extent,
  // over the original's bounds (read only now: the original is not touched while it
  // is not shown); the view's scroll range and pixels follow.
  void Activate() override;
  // The reverse of Activate.
  void Deactivate() override;
  // The original image into its device rectangle, within the clip; that rectangle is
  // then cut out of the clip.
  void PaintContent(TZelViewCanvas& canvas) override;
  // The hold key while inactive: ShowOriginal, claimed. The view repaints at once: the
  // buttons and the tool panel that follow the current tool are refreshed when the
  // program next goes idle, which comes before a pending repaint, and painting them
  // (several milliseconds) in the view's frame would delay the image the user waits for.
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;
  // The hold key while active: RestorePrevious, claimed; the view repaints at once too.
  bool KeyUp(uint16_t key, quill::TShiftState shift) override;

 private:
  TZelOriginalImageTool* OriginalTool() const { return static_cast<TZelOriginalImageTool*>(Tool); }
};

#endif  // QUILL_EDITOR_TOOLS_ZELORIGINALIMAGETOOL_H_
