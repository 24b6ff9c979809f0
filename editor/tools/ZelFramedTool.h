// A tool with a checkable button on the tool panel's toolbar and an option frame in the
// tool panel: what every such tool shares, once.
//
// Ownership: the tool panel owns the frame (it is a component of the panel and a
// widget in one of its scroll areas) and frees it with itself; the toolbar owns the
// button until the tool deletes it. The tool holds both through guarded pointers, so
// either may go first: a frame the panel has freed reads as null, and a tool that is
// gone leaves its frame behind with no way back into it (a frame's Tool field is
// cleared, and the frame's widgets reach the tool only through connections whose
// receiver is the tool's WidgetLinks, which end with the tool).
//
//   class TZelRotateTool : public quill::TZelFramedTool<TZelGraphicsTool, TZelRotateFrame> {
//     ...
//   };
//   TZelRotateTool::TZelRotateTool(TZelComponent* owner)
//       : TZelFramedTool(owner, RotateTitle(), QStringLiteral("Rotate")) { Frame->Tool = this; ... }
//
// Availability shows or hides the button and the frame together; activation brings the
// frame to the front of the tool panel. Main thread only.

#ifndef QUILL_EDITOR_ZELFRAMEDTOOL_H_
#define QUILL_EDITOR_ZELFRAMEDTOOL_H_

#include <QAction>
#include <QPointer>
#include <QString>

#include "MainForm.h"
#include "ZelGraphicsTool.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"

namespace quill {

template <class TBase, class TFrame>
class TZelFramedTool : public TBase {
 public:
  // The button, captioned Caption with the main window's image ImageName, appended to
  // the tool panel's toolbar (a click selects the tool); the frame made in the tool
  // panel. Both need the main window and the tool panel.
  TZelFramedTool(TZelComponent* owner, const QString& caption, const QString& imageName) : TBase(owner) {
    Button = AddToolButton(ToolPanelModule->GetToolbar(), *this, caption, MainForm->AddImage(imageName));
    TFrame* frame = nullptr;
    ToolPanelModule->CreateToolArea(frame);
    Frame = frame;
  }
  // Deletes the button; the frame stays with the panel, its Tool (where it has one)
  // cleared.
  ~TZelFramedTool() override {
    delete Button;
    if constexpr (requires(TFrame& f) { f.Tool = nullptr; }) {
      if (Frame != nullptr) Frame->Tool = nullptr;
    }
  }

  // The button and the frame shown or hidden with the tool, then the inherited.
  void SetAvailable(bool value) override {
    ShowToolButtonAndFrame(Button, Frame, value);
    TBase::SetAvailable(value);
  }
  // The inherited, then the frame in front of the tool panel.
  void Activate() override {
    TBase::Activate();
    BringToolFrameToFront(Frame);
  }

  QPointer<QAction> Button;
  QPointer<TFrame> Frame;
};

}  // namespace quill

#endif  // QUILL_EDITOR_ZELFRAMEDTOOL_H_
