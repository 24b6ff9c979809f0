// The tool framework: the tool module, its per-view input handler and the undo records.
//
// TZelGraphicsTool is a module with a script name, a control in every graphics view
// and the operation it runs on a document. It reaches the document, the view and the
// pixels only through its own fields, which BeginOperation sets and EndOperation and
// CancelOperation clear:
//
//   if (!BeginOperation(view)) return;  // ends any running operation first
//   ... edit *Live in place, AddDirtyRect(changed, false) for every change ...
//   EndOperation();                // commits one undo record of the dirty rectangle
//   // or CancelOperation();       // puts the committed copy back, no record
//
// Undo is recorded while painting and added afterwards: the committed copy keeps the
// image as it stood before the operation, the dirty rectangle grows with every change,
// and the commit cuts the before and after copies to that rectangle (clipped to the
// image). Only CommitOperation copies pixels for undo.
//
// Memory never runs short halfway: BeginOperation refuses when the document cannot
// keep the image as it stood, and a commit whose undo record cannot get its copies
// takes the edit back; either way the user sees the program's memory message and the
// image, the history and the modified mark stay as they were.
//
// TZelGraphicsToolControl is the tool's view object in one view: an overlay layer
// that the view offers every mouse, wheel, key and cursor event, from the last control
// to the first, until one claims it by returning true. Every control sees the events,
// whether its tool is active or not, and decides by its own state. Points are the
// view's client coordinates; the wheel's delta is +1 or -1. A control's paint only
// reads the tool's state.
//
// TZelCustomGraphicsCommandState is the base of every undo record of the editor and
// reports the bytes it holds (the history has no depth limit); TZelGraphicsCommandState
// keeps the pixels of one rectangle before and after an edit.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELGRAPHICSTOOL_H_
#define QUILL_EDITOR_ZELGRAPHICSTOOL_H_

#include <QObject>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "ZelBitmap.h"
#include "ZelCommandHistoryList.h"
#include "ZelDemoScriptable.h"
#include "ZelForms.h"
#include "LosslessJpeg.h"
#include "ZelRecorder.h"
#include "ZelTypes.h"
#include "ZelViewObject.h"

class TZelGraphicsDocument;
class TZelGraphicsToolControl;
class TZelGraphicsView;
class TZelProperties;

namespace quill {

// The mouse button of an event.
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// The modifier keys and mouse buttons held during an event, as bits.
using TShiftState = uint8_t;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;

// Screen cursor ids the controls choose.
constexpr int crNone = -1;     // no pointer shown
constexpr int crDefault = 0;   // the arrow
constexpr int crCross = -3;
constexpr int crSizeNESW = -6;  // the arrows north-east and south-west
constexpr int crSizeNS = -7;
constexpr int crSizeNWSE = -8;
constexpr int crSizeWE = -9;
constexpr int crSizeAll = -22;  // the four arrows of a move
constexpr int crHand = 100;    // the "Hand" cursor, loaded by the graphics editor

}  // namespace quill

class TZelGraphicsTool : public TZelModuleWithControls, public IZelDemoScriptable {
 public:
  // Makes this tool's control in View (appended to the view's objects) or none.
  using TControlClass = TZelGraphicsToolControl* (*)(TZelGraphicsTool* tool, TZelGraphicsView* view);

  // Available; inactive, not plug-in capable, not exclusive; no controls.
  explicit TZelGraphicsTool(quill::TZelComponent* owner);
  // The views own the controls: each is told that its tool is gone.
  ~TZelGraphicsTool() override;
  // RegisterDemoTargets, once.
  void AfterConstruction() override;

  // ---- The running operation (all null while none runs) ----
  TZelGraphicsView* View = nullptr;
  TZelGraphicsDocument* Document = nullptr;
  TZelPixels* Original = nullptr;   // the document's original-image pixels
  TZelPixels* Committed = nullptr;  // the committed copy
  TZelPixels* Live = nullptr;       // the current image, edited in place

  // Script name; prefixes the tool's commands, targets and recorded lines. Empty: no
  // script command.
  QString Name;
  // The class of the per-view control; null: the tool has no control.
  TControlClass ControlClass = nullptr;
  // The recorder while a recording runs, else null.
  quill::TZelRecorder* Playback = nullptr;
  bool Active = false;
  // Offered to the user.
  bool Available = true;
  // Stays available in plug-in mode.
  bool PluginCapable = false;
  // While it runs an operation, no other tool may work.
  bool Exclusive = false;
  // The receiver of every connection from a widget (of the tool's frame) to the tool:
  // destroyed with the tool, it ends them, whoever owns the widgets.
  QObject WidgetLinks;

  // ---- Virtual operations ----

  // Command equal to the upper-cased Name (a non-empty one): Select, Handled := true.
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                      const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* /*params*/,
                      bool& /*found*/, quill::TPoint& /*point*/) override {}
  // A recording of Sender begins: Playback becomes a recorder over it (ZelRecorder.h).
  void RecordingStarted(TZelDemoPlayback* sender) override;
  // RecordingStopped, and that recorder freed.
  void RecordingStopped(TZelDemoPlayback* sender) override;
  virtual void RecordingStarted(quill::TZelRecorder* playback) { Playback = playback; }
  virtual void RecordingStopped() { Playback = nullptr; }
  virtual void AddControl(TZelGraphicsToolControl* control);
  virtual void RemoveControl(TZelGraphicsToolControl* control);
  // A control of ControlClass for View, when ControlClass is set.
  virtual void CreateControl(TZelGraphicsView* view);
  // Adds the undo record of the dirty rectangle (clipped to the image; none when
  // empty) and brings the committed copy up to date: only the dirty rectangle when
  // its bounds equal the live image's, else the whole image. When the record's copies
  // cannot be allocated, the dirty rectangle takes the committed pixels back instead,
  // no record is added and the memory message is shown.
  virtual void CommitOperation();
  // The document's BeginOperation (a running operation is ended first), then the
  // fields from View and its document. False, with the memory message shown and
  // nothing changed, when the document refuses for want of memory.
  [[nodiscard]] virtual bool BeginOperation(TZelGraphicsView* view);
  // With a document: CommitOperation, then the document's operation ends. The fields
  // are cleared in any case.
  virtual void EndOperation();
  // Only while the document's operation runs: the committed copy goes back over the
  // whole live image, the view repaints, the document's operation is reset. The
  // fields are cleared.
  virtual void CancelOperation();
  // In plug-in mode: SetAvailable(PluginCapable).
  virtual void DocumentOpened(TZelGraphicsDocument* document);
  // Whether the tool may not work in plug-in mode: when it is not plug-in capable. A
  // tool that replaces DocumentOpened to stay available there says false.
  virtual bool WithdrawnInPluginMode() const { return !PluginCapable; }
  virtual void DocumentClosing(TZelGraphicsDocument* /*document*/) {}
  // Document is about to be written: a tool whose open work shows in the window
  // confirms it here, as an undo record, so that the file holds what the window shows
  // and the saved mark rests after it. Nothing here.
  virtual void DocumentSaving(TZelGraphicsDocument* /*document*/) {}
  // Document's image changed its size or layout, or its selection changed: a turn, a
  // mirror, a resize, a crop, their undo and redo. Whatever a tool holds in image
  // coordinates may no longer fit the image.
  virtual void DocumentGeometryChanged(TZelGraphicsDocument* /*document*/) {}
  virtual void BeforeUndo(TZelCommandState* /*state*/) {}
  virtual void BeforeRedo(TZelCommandState* /*state*/) {}
  virtual void RegisterDemoTargets() {}
  virtual void AfterUndo(TZelCommandState* /*state*/) {}
  virtual void AfterRedo(TZelCommandState* /*state*/) {}
  virtual void SetAvailable(bool value) { Available = value; }
  // An undo record of Tool over Rect was made, undone or redone.
  virtual void CommandStateApplied(TZelGraphicsDocument* /*document*/, TZelGraphicsTool* /*tool*/,
                                   const quill::TRect& /*rect*/) {}
  // Makes this tool current; while recording: "MouseCurvedMove " + Name, the MESSAGE
  // line with Name, Name.
  virtual void Select();
  // Every control's Activate (Deactivate), first to last; then Active follows.
  virtual void Activate();
  virtual void Deactivate();
  // Ends a stroke the demo player's held button started; nothing here.
  virtual TZelGraphicsTool* AbortStroke() { return this; }
  // Drops an interaction waiting for a second click; nothing here.
  virtual TZelGraphicsTool* CancelPendingWork() { return this; }

  // ---- Non-virtual ----

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  // Null at or beyond the count.
  TZelGraphicsToolControl* GetControl(int index) const;
  // The document's AddDirtyRect (the running operation's document).
  void AddDirtyRect(const quill::TRect& rect, bool replace);

  // A TControlClass for the control class T.
  template <class T>
  static TZelGraphicsToolControl* MakeControl(TZelGraphicsTool* tool, TZelGraphicsView* view);

 private:
  void ClearOperationFields();

  std::vector<TZelGraphicsToolControl*> controls_;
  // The recorder over the player that records, while one does.
  std::unique_ptr<quill::TZelRecorder> playerRecorder_;
};

class TZelGraphicsToolControl : public TZelViewObject {
 public:
  // Keeps Tool and View; use TZelGraphicsTool::MakeControl, which adds the control to
  // its tool and its view and then runs Initialize.
  TZelGraphicsToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view);
  // Leaves its tool's list (when the tool still exists).
  ~TZelGraphicsToolControl() override;

  bool Active = false;
  TZelGraphicsView* const View;
  // Null once the tool is gone (the views outlive the tools at exit).
  TZelGraphicsTool* Tool;

  // When the visibility changes: the inherited, then Invalidate.
  void SetVisible(bool value) override;
  // Overlay layer, not part of the scroll extent, invisible (20).
  void InitFlags() override;

  // Finishes construction in subclasses; nothing here.
  virtual void Initialize() {}
  // Active := true; MouseEnter when the pointer is inside the view; Invalidate; the
  // view picks its cursor again.
  virtual void Activate();
  // Active := false; Invalidate.
  virtual void Deactivate();
  // The cursor id for the pointer at Point; true claims it.
  virtual bool SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& /*point*/, int& /*cursor*/) {
    return false;
  }
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  virtual bool MouseDown(quill::TMouseButton /*button*/, quill::TShiftState /*shift*/, const quill::TPoint& /*point*/) {
    return false;
  }
  virtual bool MouseMove(quill::TShiftState /*shift*/, const quill::TPoint& /*point*/) { return false; }
  virtual bool MouseUp(quill::TMouseButton /*button*/, quill::TShiftState /*shift*/, const quill::TPoint& /*point*/) {
    return false;
  }
  virtual bool MouseWheel(quill::TShiftState /*shift*/, int /*delta*/, const quill::TPoint& /*point*/) {
    return false;
  }
  // Key is a virtual-key code (the view's key table).
  virtual bool KeyDown(uint16_t /*key*/, quill::TShiftState /*shift*/) { return false; }
  virtual bool KeyUp(uint16_t /*key*/, quill::TShiftState /*shift*/) { return false; }

  // Repaints the control's paint bounds in the view.
  void Invalidate();
  // The pointer's position in the view's client coordinates.
  quill::TPoint GetCursorPoint() const;
};

// The base of every undo record of the editor: the tool that made it, its document
// and the image rectangle concerned. Made, undone and redone, it notifies the tools
// (CommandStateApplied).
class TZelCustomGraphicsCommandState : public TZelCommandState {
 public:
  TZelCustomGraphicsCommandState(TZelGraphicsTool* tool, const quill::TRect& rect,
                                 TZelGraphicsDocument* document);
  void Undo() override;
  void Redo() override;

  TZelGraphicsTool* const Tool;
  TZelGraphicsDocument* const Document;
  const quill::TRect Rect;

 protected:
  // Without the notification: for a record that tells the tools itself once it is
  // complete (NotifyMade).
  struct TUnannounced {};
  TZelCustomGraphicsCommandState(TZelGraphicsTool* tool, const quill::TRect& rect,
                                 TZelGraphicsDocument* document, TUnannounced);
  void NotifyMade();
  // The undo of a geometry record: the document's Restore of the saved images and JPEG
  // geometry, then the selection Selection and the notification. False, with the
  // memory message shown and the document as it was, when the images cannot be had.
  bool UndoGeometry(const TZelPixels& current, const TZelPixels& original,
                    const quill::TLosslessJpeg::TGeometry& jpeg, const quill::TRect& selection);
};

// The pixels of Rect before (from the committed copy) and after (from the live image)
// one edit. Made by CommitOperation, already applied.
class TZelGraphicsCommandState : public TZelCustomGraphicsCommandState {
 public:
  // The record of Rect (inside the image); null, with the document untouched, when
  // its two copies cannot be allocated.
  [[nodiscard]] static std::unique_ptr<TZelGraphicsCommandState> Make(TZelGraphicsTool* tool,
                                                                     const quill::TRect& rect,
                                                                     TZelGraphicsDocument* document);
  // The live image takes Before, and so does the committed copy; the view repaints
  // the rectangle.
  void Undo() override;
  // The same with After.
  void Redo() override;
  // The two copies and the record itself.
  int64_t GetSize() const override;

  TZelPixelBuffer Before;
  TZelPixelBuffer After;

 private:
  // Tools hear of the record only once its copies are made.
  TZelGraphicsCommandState(TZelGraphicsTool* tool, const quill::TRect& rect,
                           TZelGraphicsDocument* document);
  // The live image and the committed copy take Pixels at its own position.
  void Apply(const TZelPixels& pixels);
};

namespace quill {

// Calls Visit(tool) for every component of the application object that is a graphics
// tool, in component order.
template <class Visit>
void ForEachGraphicsTool(Visit&& visit) {
  if (ZelApplication == nullptr) return;
  for (int i = 0; i < ZelApplication->GetComponentCount(); ++i) {
    if (auto* tool = dynamic_cast<TZelGraphicsTool*>(ZelApplication->GetComponent(i))) visit(*tool);
  }
}

// The first graphics tool of class T among the application object's components, or
// null.
template <class T>
T* FindGraphicsTool() {
  T* found = nullptr;
  ForEachGraphicsTool([&found](TZelGraphicsTool& tool) {
    if (found == nullptr) found = dynamic_cast<T*>(&tool);
  });
  return found;
}

// Appends Control to View's objects, which then own it.
void AddControlToView(TZelGraphicsView* view, std::unique_ptr<TZelViewObject> control);
}  // namespace quill

// ---- Templates ----

template <class T>
TZelGraphicsToolControl* TZelGraphicsTool::MakeControl(TZelGraphicsTool* tool,
                                                       TZelGraphicsView* view) {
  auto control = std::make_unique<T>(tool, view);
  control->AfterConstruction();
  T* result = control.get();
  tool->AddControl(result);
  quill::AddControlToView(view, std::move(control));
  result->Initialize();
  return result;
}

#endif  // QUILL_EDITOR_ZELGRAPHICSTOOL_H_
