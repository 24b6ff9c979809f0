// The scroll (hand) tool: drags the image inside the view with the left button.
//
// It has no button and no options: holding Space switches to it from any tool until
// Space is released (its control claims Space even while another tool is current).
// Its control also carries the main keyboard's zoom keys, "=" / "+" zooming in and
// "-" out whatever tool is current; those keys are not claimed. The graphics editor
// creates it first of all tools, so its control is asked last.

#ifndef QUILL_EDITOR_ZELSCROLLTOOL_H_
#define QUILL_EDITOR_ZELSCROLLTOOL_H_

#include <cstdint>

#include "ZelGraphicsTool.h"

class TZelScrollTool : public TZelGraphicsTool {
 public:
  explicit TZelScrollTool(quill::TZelComponent* owner);
};

class TZelScrollToolControl : public TZelGraphicsToolControl {
 public:
  using TZelGraphicsToolControl::TZelGraphicsToolControl;

  // Dragging := false, then the inherited.
  void Deactivate() override;
  // Active: the hand (100), claimed.
  bool SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& cursor) override;
  // Active and the left button: the drag starts at Point; claimed.
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Active and dragging: the view scrolls by the pointer's move, limited to the range;
  // the anchor moves only as far as the view did. Claimed.
  bool MouseMove(quill::TShiftState shift, const quill::TPoint& point) override;
  // Active, dragging and the left button: the drag ends; claimed.
  bool MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Space while inactive: the scroll tool becomes current (the previous tool is
  // remembered); claimed. Keys 187 and 189 zoom in and out; not claimed.
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;
  // Space while active: the previous tool becomes current again; claimed.
  bool KeyUp(uint16_t key, quill::TShiftState shift) override;

  bool Dragging = false;
  int32_t DragX = 0;
  int32_t DragY = 0;
  TZelGraphicsTool* PreviousTool = nullptr;
};

#endif  // QUILL_EDITOR_ZELSCROLLTOOL_H_
