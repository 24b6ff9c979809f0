#include "ZelScrollTool.h"

#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"

TZelScrollTool::TZelScrollTool(quill::TZelComponent* owner) : TZelGraphicsTool(owner) {
  ControlClass = &MakeControl<TZelScrollToolControl>;
}

void TZelScrollToolControl::Deactivate() {
  Dragging = false;
  TZelGraphicsToolControl::Deactivate();
}

bool TZelScrollToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& /*point*/, int& cursor) {
  if (!Active) return false;
  cursor = quill::crHand;
  return true;
}

bool TZelScrollToolControl::MouseDown(quill::TMouseButton button, quill::TShiftState /*shift*/,
                                      const quill::TPoint& point) {
  if (!Active || button != quill::mbLeft) return false;
  Dragging = true;
  DragX = point.X;
  DragY = point.Y;
  return true;
}

bool TZelScrollToolControl::MouseMove(quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active || !Dragging) return false;
  int32_t dx = point.X - DragX;
  int32_t dy = point.Y - DragY;
  View->ClampScrollDelta(dx, dy);
  View->ScrollByDelta(dx, dy);
  DragX += dx;
  DragY += dy;
  return true;
}

bool TZelScrollToolControl::MouseUp(quill::TMouseButton button, quill::TShiftState /*shift*/,
                                    const quill::TPoint& /*point*/) {
  if (!Active || button != quill::mbLeft || !Dragging) return false;
  Dragging = false;
  return true;
}

bool TZelScrollToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  bool claimed = false;
  if (!Active && key == quill::VK_SPACE && GraphicsEditor != nullptr) {
    PreviousTool = GraphicsEditor->CurrentTool;
    GraphicsEditor->SetActiveTool(Tool);
    claimed = true;
  }
  if (GraphicsEditor != nullptr) {
    if (key == quill::VK_OEM_PLUS) GraphicsEditor->ZoomInClick();
    if (key == quill::VK_OEM_MINUS) GraphicsEditor->ZoomOutClick();
  }
  return claimed;
}

bool TZelScrollToolControl::KeyUp(uint16_t key, quill::TShiftState /*shift*/) {
  if (!Active || key != quill::VK_SPACE) return false;
  if (GraphicsEditor != nullptr) GraphicsEditor->SetActiveTool(PreviousTool);
  return true;
}
