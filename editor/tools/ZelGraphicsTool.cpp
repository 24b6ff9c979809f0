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
  Document->AddCommandState(std::make_unique<TZelGraphicsCommandState>(this, rect, Document));
  TZelPixels& committed = Document->CommittedCopy;
  if (committed.GetBounds() == Live->GetBounds() && committed.PixelFormat() == Live->PixelFormat()) {
    committed.CopyRect(rect.Left, rect.Top, *Live, rect);
  } else {
    Document->SyncCommittedCopy();
  }
}

void TZelGraphicsTool::BeginOperation(TZelGraphicsView* view) {
  TZelGraphicsDocument* document = view->Document;
  document->BeginOperation(this);
  View = view;
  Document = document;
  Committed = &document->CommittedCopy;
  Live = &document->GetCurrentPixels();
  Original = &document->GetOriginalPixels();
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
    Live->CopyFrom(*Committed);
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
  Document->NotifyCommandState(Tool, Rect);
}

void TZelCustomGraphicsCommandState::Undo() { Document->NotifyCommandState(Tool, Rect); }

void TZelCustomGraphicsCommandState::Redo() { Document->NotifyCommandState(Tool, Rect); }

TZelGraphicsCommandState::TZelGraphicsCommandState(TZelGraphicsTool* tool, const quill::TRect& rect,
                                                   TZelGraphicsDocument* document)
    : TZelCustomGraphicsCommandState(tool, rect, document) {
  const TZelPixels& live = document->GetCurrentPixels();
  Before.Allocate(live.PixelFormat(), rect);
  Before.CopyFrom(document->CommittedCopy);
  After.Allocate(live.PixelFormat(), rect);
  After.CopyFrom(live);
  document->Saved = false;
}

void TZelGraphicsCommandState::Undo() {
  Apply(Before);
  TZelCustomGraphicsCommandState::Undo();
}

void TZelGraphicsCommandState::Redo() {
  Apply(After);
  Document->Saved = false;
  TZelCustomGraphicsCommandState::Redo();
}

int64_t TZelGraphicsCommandState::GetSize() const {
  return static_cast<int64_t>(sizeof(*this)) + BufferBytes(Before) + BufferBytes(After);
}

void TZelGraphicsCommandState::Apply(const TZelPixels& pixels) {
  TZelPixels& live = Document->GetCurrentPixels();
  live.CopyFrom(pixels);
  Document->InvalidateImageRect(pixels.GetBounds());
  // Outside a running operation the committed copy equals the live image everywhere
  // else, so copying the record's rectangle keeps them equal: no whole-image copy per
  // step. Only a committed copy of another size takes the whole image.
  TZelPixels& committed = Document->CommittedCopy;
  if (committed.GetBounds() == live.GetBounds() && committed.PixelFormat() == live.PixelFormat()) {
    committed.CopyFrom(pixels);
  } else {
    Document->SyncCommittedCopy();
  }
}
