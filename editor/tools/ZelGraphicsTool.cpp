#include "ZelGraphicsTool.h"

#include <QCursor>

#include <algorithm>

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelViewCanvas.h"

namespace quill {

void AddControlToView(TZelGraphicsView* view, std::unique_ptr<TZelViewObject> control) {
  view->GetViewObjects().Add(std::move(control));
}

}  // namespace quill

namespace {

int64_t BufferBytes(const TZelPixels& pixels) {
  return int64_t{pixels.Stride()} * pixels.Height();
}

}  // namespace

// ---- TZelGraphicsTool ----

TZelGraphicsTool::TZelGraphicsTool(quill::TZelComponent* owner) : TZelModuleWithControls(owner) {}

TZelGraphicsTool::~TZelGraphicsTool() {
  for (TZelGraphicsToolControl* control : controls_) control->Tool = nullptr;
}

void TZelGraphicsTool::AfterConstruction() {
  TZelModuleWithControls::AfterConstruction();
  RegisterDemoTargets();
}

void TZelGraphicsTool::RecordingStarted(TZelDemoPlayback* sender) {
  playerRecorder_ = quill::MakePlayerRecorder(*sender);
  RecordingStarted(playerRecorder_.get());
}

void TZelGraphicsTool::RecordingStopped(TZelDemoPlayback* /*sender*/) {
  RecordingStopped();
  playerRecorder_.reset();
}

void TZelGraphicsTool::ExecuteCommand(TZelDemoPlayback* /*sender*/, const QString& command,
                                      bool& handled, const TZelProperties* /*params*/) {
  if (Name.isEmpty() || command != Name.toUpper()) return;
  Select();
  handled = true;
}

void TZelGraphicsTool::AddControl(TZelGraphicsToolControl* control) {
  controls_.push_back(control);
}

void TZelGraphicsTool::RemoveControl(TZelGraphicsToolControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TZelGraphicsTool::CreateControl(TZelGraphicsView* view) {
  if (ControlClass != nullptr) ControlClass(this, view);
}

void TZelGraphicsTool::CommitOperation() {
  // A change reaching outside the image (a dab at the border) is kept to the image.
  const quill::TRect rect = quill::IntersectRect(Document->DirtyRect, Live->GetBounds());
  if (rect.IsEmpty()) return;
  std::unique_ptr<TZelGraphicsCommandState> state = TZelGraphicsCommandState::Make(this, rect, Document);
  if (state == nullptr) {
    // An edit that could not be undone is not kept: the image goes back to how it
    // stood, which the committed copy still holds.
    Live->CopyRect(rect.Left, rect.Top, *Committed, rect);
    Document->InvalidateImageRect(rect);
    ZelApplication->ShowMemoryMessage();
    return;
  }
  Document->AddCommandState(std::move(state));
  Document->CommitRect(rect);
}

bool TZelGraphicsTool::BeginOperation(TZelGraphicsView* view) {
  TZelGraphicsDocument* document = view->Document;
  if (!document->BeginOperation(this)) {
    ZelApplication->ShowMemoryMessage();
    return false;
  }
  View = view;
  Document = document;
  Committed = &document->CommittedCopy;
  Live = &document->GetCurrentPixels();
  Original = &document->GetOriginalPixels();
  return true;
}

void TZelGraphicsTool::EndOperation() {
  if (Document != nullptr) {
    TZelGraphicsDocument* document = Document;
    CommitOperation();
    if (document->Running) document->EndOperation(this);
  }
  ClearOperationFields();
}

void TZelGraphicsTool::CancelOperation() {
  if (Document != nullptr && Document->Running) {
    // A committed copy that shares the live image's pixels has nothing to give back.
    if (Committed->Bits() != Live->Bits()) Live->CopyFrom(*Committed);
    View->update();
    Document->ResetOperation();
    ClearOperationFields();
  }
}

void TZelGraphicsTool::DocumentOpened(TZelGraphicsDocument* /*document*/) {
  if (GraphicsEditor != nullptr && GraphicsEditor->PluginMode) SetAvailable(PluginCapable);
}

void TZelGraphicsTool::Select() {
  if (GraphicsEditor != nullptr) GraphicsEditor->SetActiveTool(this);
  quill::RecordCommand(Playback, Name, Name, Name);
}

void TZelGraphicsTool::Activate() {
  for (TZelGraphicsToolControl* control : std::vector(controls_)) control->Activate();
  Active = true;
}

void TZelGraphicsTool::Deactivate() {
  for (TZelGraphicsToolControl* control : std::vector(controls_)) control->Deactivate();
  Active = false;
}

TZelGraphicsToolControl* TZelGraphicsTool::GetControl(int index) const {
  if (index < 0 || index >= ControlCount()) return nullptr;
  return controls_[static_cast<size_t>(index)];
}

void TZelGraphicsTool::AddDirtyRect(const quill::TRect& rect, bool replace) {
  if (Document != nullptr) Document->AddDirtyRect(rect, replace);
}

void TZelGraphicsTool::ClearOperationFields() {
  View = nullptr;
  Document = nullptr;
  Original = nullptr;
  Committed = nullptr;
  Live = nullptr;
}

// ---- TZelGraphicsToolControl ----

TZelGraphicsToolControl::TZelGraphicsToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view)
    : View(view), Tool(tool) {}

TZelGraphicsToolControl::~TZelGraphicsToolControl() {
  if (Tool != nullptr) Tool->RemoveControl(this);
}

void TZelGraphicsToolControl::SetVisible(bool value) {
  if (value == GetVisible()) return;
  TZelViewObject::SetVisible(value);
  Invalidate();
}

void TZelGraphicsToolControl::InitFlags() { SetFlags(quill::kViewObjectOverlay | quill::kViewObjectNoExtent); }

void TZelGraphicsToolControl::Activate() {
  Active = true;
  if (View->MouseInside) MouseEnter();
  Invalidate();
  View->UpdateCursor();
}

void TZelGraphicsToolControl::Deactivate() {
  Active = false;
  Invalidate();
}

void TZelGraphicsToolControl::Invalidate() {
  const quill::TRect bounds = GetPaintBounds(View->GetMapMode());
  if (!bounds.IsEmpty()) View->update(quill::RectToQRect(bounds));
}

quill::TPoint TZelGraphicsToolControl::GetCursorPoint() const {
  const QPoint point = View->mapFromGlobal(QCursor::pos());
  return {point.x(), point.y()};
}

// ---- Command states ----

TZelCustomGraphicsCommandState::TZelCustomGraphicsCommandState(TZelGraphicsTool* tool,
                                                               const quill::TRect& rect,
                                                               TZelGraphicsDocument* document)
    : Tool(tool), Document(document), Rect(rect) {
  NotifyMade();
}

TZelCustomGraphicsCommandState::TZelCustomGraphicsCommandState(TZelGraphicsTool* tool,
                                                               const quill::TRect& rect,
                                                               TZelGraphicsDocument* document, TUnannounced)
    : Tool(tool), Document(document), Rect(rect) {}

void TZelCustomGraphicsCommandState::NotifyMade() { Document->NotifyCommandState(Tool, Rect); }

bool TZelCustomGraphicsCommandState::UndoGeometry(const TZelPixels& current, const TZelPixels& original,
                                                  const quill::TLosslessJpeg::TGeometry& jpeg,
                                                  const quill::TRect& selection) {
  if (!Document->Restore(current, original, jpeg)) {
    ZelApplication->ShowMemoryMessage();
    return false;
  }
  Document->SetSelection(selection);
  TZelCustomGraphicsCommandState::Undo();
  return true;
}

void TZelCustomGraphicsCommandState::Undo() { Document->NotifyCommandState(Tool, Rect); }

void TZelCustomGraphicsCommandState::Redo() { Document->NotifyCommandState(Tool, Rect); }

std::unique_ptr<TZelGraphicsCommandState> TZelGraphicsCommandState::Make(TZelGraphicsTool* tool,
                                                                        const quill::TRect& rect,
                                                                        TZelGraphicsDocument* document) {
  std::unique_ptr<TZelGraphicsCommandState> state(new TZelGraphicsCommandState(tool, rect, document));
  const TZelPixels& live = document->GetCurrentPixels();
  if (!state->Before.Allocate(live.PixelFormat(), rect) || !state->After.Allocate(live.PixelFormat(), rect)) {
    return nullptr;
  }
  state->Before.CopyFrom(document->CommittedCopy);
  state->After.CopyFrom(live);
  state->NotifyMade();
  return state;
}

TZelGraphicsCommandState::TZelGraphicsCommandState(TZelGraphicsTool* tool, const quill::TRect& rect,
                                                   TZelGraphicsDocument* document)
    : TZelCustomGraphicsCommandState(tool, rect, document, TUnannounced{}) {}

void TZelGraphicsCommandState::Undo() {
  Apply(Before);
  TZelCustomGraphicsCommandState::Undo();
}

void TZelGraphicsCommandState::Redo() {
  Apply(After);
  TZelCustomGraphicsCommandState::Redo();
}

int64_t TZelGraphicsCommandState::GetSize() const {
  return static_cast<int64_t>(sizeof(*this)) + BufferBytes(Before) + BufferBytes(After);
}

void TZelGraphicsCommandState::Apply(const TZelPixels& pixels) {
  Document->GetCurrentPixels().CopyFrom(pixels);
  Document->InvalidateImageRect(pixels.GetBounds());
  // Outside a running operation the committed copy equals the live image everywhere
  // else, so taking the record's rectangle keeps them equal: no whole-image copy per
  // step.
  Document->CommitRect(pixels.GetBounds());
}
