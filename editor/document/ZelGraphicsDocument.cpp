#include "ZelGraphicsDocument.h"

#include <QCoreApplication>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelGraphicsView.h"
#include "ZelResample.h"
#include "ZelUtils.h"
#include "ZelViewCanvas.h"

namespace {

// Rect clipped to Image's bounds; empty when that leaves nothing or the whole image.
quill::TRect NormalizedSelection(const quill::TRect& rect, const quill::TRect& image) {
  const quill::TRect clipped = quill::IntersectRect(rect, image);
  if (clipped.IsEmpty() || clipped == image) return quill::TRect();
  return clipped;
}

// Image resampled (Lanczos, radius 3) onto a new Width x Height 24-bit Target; false
// when Target cannot be allocated.
bool ResampledInto(const TZelLTBitmap& image, int32_t width, int32_t height, TZelLTBitmap& target) {
  if (!target.SetSize(width, height, quill::kPixelFormat24)) return false;
  ResamplePixels(target.GetPixels(), target.GetBounds(), target.GetBounds(), image.GetPixels(),
                 image.GetBounds(), TLanczosResampler());
  return true;
}

// Whether A and B have the same bounds, format and pixels (row padding aside).
bool SamePixels(const TZelPixels& a, const TZelPixels& b) {
  if (a.GetBounds() != b.GetBounds() || a.PixelFormat() != b.PixelFormat()) return false;
  const size_t rowBytes = static_cast<size_t>(int64_t{a.Width()} * a.BytesPerPixel());
  for (int32_t y = a.Top(); y < a.Top() + a.Height(); ++y) {
    if (std::memcmp(a.GetScanLine(a.Left(), y), b.GetScanLine(b.Left(), y), rowBytes) != 0) return false;
  }
  return true;
}

// Copies Source's rows from Ready on into Target (of the same bounds and format), at
// least one row and about Budget bytes; Ready counts the rows done. True when the
// last row is done.
bool CopyRows(const TZelPixels& source, TZelPixels& target, int32_t& ready, int64_t budget) {
  const int64_t rowBytes = std::max<int64_t>(source.Stride(), 1);
  const int64_t rows = std::clamp<int64_t>(budget / rowBytes, 1, int64_t{source.Height()} - ready);
  const quill::TRect band{source.Left(), source.Top() + ready, source.Left() + source.Width(),
                          static_cast<int32_t>(source.Top() + ready + rows)};
  target.CopyRect(band.Left, band.Top, source, band);
  ready += static_cast<int32_t>(rows);
  return ready >= source.Height();
}

}  // namespace

TZelGraphicsDocument::TZelGraphicsDocument(TZelEditor* editor)
    : TZelDocument(editor), JPEG(std::make_unique<quill::TLosslessJpeg>()) {}

TZelGraphicsDocument::~TZelGraphicsDocument() {
  // The view goes first: it reads the images while it is taken down.
  DestroyComponents();
}

QWidget* TZelGraphicsDocument::CreateView() { return new TZelGraphicsView(this); }

void TZelGraphicsDocument::Opened() {
  quill::ForEachGraphicsTool([this](TZelGraphicsTool& tool) { tool.DocumentOpened(this); });
}

void TZelGraphicsDocument::BeforeSave() {
  quill::ForEachGraphicsTool([this](TZelGraphicsTool& tool) { tool.DocumentSaving(this); });
}

void TZelGraphicsDocument::BeforeClose() {
  quill::ForEachGraphicsTool([this](TZelGraphicsTool& tool) { tool.DocumentClosing(this); });
}

TZelGraphicsView* TZelGraphicsDocument::GetGraphicsView() const {
  QWidget* view = nullptr;
  if (!TryGetView(view)) return nullptr;
  return static_cast<TZelGraphicsView*>(view);
}

void TZelGraphicsDocument::SyncCommittedCopy() {
  // The current image may have changed from outside: nothing prepared from it, and no
  // knowledge of its pixels, holds any more.
  DropPreparation();
  FOriginalMatches = false;
  Recommit();
}

void TZelGraphicsDocument::CommitRect(const quill::TRect& rect) {
  // The commit of an operation of one change (a click) that found no idle time copies
  // the slice its change left to the idle time.
  if (CopiesCommittedFromOriginal() && FCommittedRows == 0) PrepareSlice(kPrepareSliceBytes);
  const TZelPixels& live = CurrentImage.GetPixels();
  if (!FCommittedShared) {
    if (FCommittedBlock.GetBounds() == live.GetBounds() && FCommittedBlock.PixelFormat() == live.PixelFormat()) {
      FCommittedBlock.CopyRect(rect.Left, rect.Top, live, rect);
    } else {
      Recommit();
    }
    return;
  }
  // Without a block of its own the committed copy views the live image from now on;
  // a block being prepared takes the rectangle too, wherever its copy has got to.
  if (FCommittedRows > 0) FCommittedBlock.CopyRect(rect.Left, rect.Top, live, rect);
  if (!rect.IsEmpty()) FOriginalMatches = false;
  if (FCommittedRows >= live.Height()) {
    // Made whole from the original while the operation ran: the block is ready.
    FCommittedShared = false;
    FCommittedRows = 0;
  }
  AttachViews();
  SchedulePreparation();
}

bool TZelGraphicsDocument::NeedsPreparation() const {
  return !CurrentImage.IsEmpty() && (FOriginalShared || (FCommittedShared && !FOriginalMatches));
}

bool TZelGraphicsDocument::PrepareSlice(int64_t budget) {
  if (Running) {
    // Only the original's block, which the operation does not write, is copied then.
    const TZelPixels& original = FOriginalBlock.GetPixels();
    if (!CopiesCommittedFromOriginal() || FCommittedRows >= original.Height()) return false;
    if (FCommittedRows == 0 && !FCommittedBlock.Allocate(original.PixelFormat(), original.GetBounds())) return false;
    return !CopyRows(original, FCommittedBlock, FCommittedRows, budget);
  }
  PrepareRows(budget);
  return NeedsPreparation();
}

bool TZelGraphicsDocument::CopiesCommittedFromOriginal() const {
  return Running && FCommittedShared && FOriginalMatches && !FOriginalShared;
}

void TZelGraphicsDocument::SchedulePreparation() {
  if (!(NeedsPreparation() || CopiesCommittedFromOriginal()) || QCoreApplication::instance() == nullptr) return;
  if (FPrepareTimer == nullptr) {
    FPrepareTimer = std::make_unique<QTimer>();
    FPrepareTimer->setSingleShot(true);
    QObject::connect(FPrepareTimer.get(), &QTimer::timeout, FPrepareTimer.get(), [this] {
      if (PrepareSlice(kPrepareSliceBytes)) FPrepareTimer->start(0);
    });
  }
  if (!FPrepareTimer->isActive()) FPrepareTimer->start(kPrepareDelayMs);
}

void TZelGraphicsDocument::SetOriginalToCurrent() {
  DropPreparation();
  FOriginalBlock.Clear();
  FOriginalShared = true;
  FOriginalMatches = false;
  AttachViews();
  // The image as opened: nothing turned yet.
  FTurn = kNoTurn;
}

bool TZelGraphicsDocument::SetOriginalImage(const TZelPixels& pixels) {
  DropPreparation();
  if (HasJpeg()) {
    // Another original no longer shows what the JPEG object decoded.
    quill::TLosslessJpeg::TGeometry geometry = JPEG->GetGeometry();
    geometry.ReferenceFollows = false;
    JPEG->SetGeometry(geometry);
  }
  FOriginalShared = false;
  FOriginalMatches = false;
  const bool assigned = FOriginalBlock.AssignPixels(pixels);
  AttachViews();
  return assigned;
}

quill::TRect TZelGraphicsDocument::GetBounds() const {
  if (HasSelection()) return Selection;
  return CurrentImage.GetBounds();
}

bool TZelGraphicsDocument::ReshapeImages(const TReshape& reshape) {
  // The committed copy equals CurrentImage here (no operation is running, or the one
  // running has changed nothing yet): its block makes room and is made again after.
  DropPreparation();
  const bool ownCommittedBlock = !FCommittedShared;
  ShareCommittedCopy();
  TZelLTBitmap originalBefore;
  const bool reshaped = (FOriginalShared || reshape(FOriginalBlock, &originalBefore)) && reshape(CurrentImage, nullptr);
  if (!reshaped && !FOriginalShared && !originalBefore.IsEmpty()) FOriginalBlock.Swap(originalBefore);
  originalBefore.Clear();
  FCommittedShared = !ownCommittedBlock;
  if (!reshaped) Recommit();
  return reshaped;
}

void TZelGraphicsDocument::SetSelection(const quill::TRect& rect) {
  Selection = NormalizedSelection(rect, CurrentImage.GetBounds());
  GeometryChanged();
}

// ---- Operation state ----

bool TZelGraphicsDocument::BeginOperation(TZelGraphicsTool* tool) {
  // A running operation has separated the images already, so a refusal never comes
  // after its commit.
  if (!SeparateImages()) return false;
  if (Running) EndOperation(this);
  DirtyRect = quill::TRect();
  RunningTool = tool;
  Running = true;
  SchedulePreparation();
  return true;
}

void TZelGraphicsDocument::EndOperation(const void* requester) {
  Running = false;
  if (requester == this && RunningTool != nullptr) RunningTool->EndOperation();
  DirtyRect = quill::TRect();
  SchedulePreparation();
}

void TZelGraphicsDocument::ResetOperation() {
  Running = false;
  RunningTool = nullptr;
  DirtyRect = quill::TRect();
  SchedulePreparation();
}

void TZelGraphicsDocument::AddDirtyRect(const quill::TRect& rect, bool replace) {
  const bool firstChange = DirtyRect.IsEmpty();
  DirtyRect = replace || firstChange ? rect : quill::UnionRect(DirtyRect, rect);
  InvalidateImageRect(rect);
  // A stroke whose events come faster than the program handles them leaves no idle
  // time: every change of the first operation after its first copies a slice as well.
  // The first (the press's dab) copies none: a slice of fresh memory costs several
  // milliseconds of page faults, which the press's paint would wait for; the idle
  // time right after that paint copies it instead, or the operation's end.
  if (!firstChange && CopiesCommittedFromOriginal()) PrepareSlice(kPrepareSliceBytes);
}

void TZelGraphicsDocument::InvalidateImageRect(const quill::TRect& rect) {
  TZelGraphicsView* view = GetGraphicsView();
  if (view == nullptr) return;
  const quill::TRect device = InflatedRect(view->GetMapMode().LogicalToDeviceRect(rect), 1, 1);
  view->update(quill::RectToQRect(device));
}

// ---- Geometry ----

void TZelGraphicsDocument::Turn(const TTurn& step) {
  const TTurn t = FTurn;
  FTurn = {static_cast<int8_t>(step[0] * t[0] + step[1] * t[2]), static_cast<int8_t>(step[0] * t[1] + step[1] * t[3]),
           static_cast<int8_t>(step[2] * t[0] + step[3] * t[2]), static_cast<int8_t>(step[2] * t[1] + step[3] * t[3])};
}

bool TZelGraphicsDocument::RotateLeft() {
  const int32_t w = CurrentImage.GetWidth();
  if (!ReshapeImages([](TZelLTBitmap& image, TZelLTBitmap* previous) { return image.RotateLeft(previous); })) {
    return false;
  }
  if (HasSelection()) {
    const quill::TRect s = Selection;
    Selection = {s.Top, w - s.Right, s.Bottom, w - s.Left};
  }
  Recommit();
  if (HasJpeg()) JPEG->RotateLeft();
  Turn({0, 1, -1, 0});
  GeometryChanged();
  return true;
}

bool TZelGraphicsDocument::RotateRight() {
  const int32_t h = CurrentImage.GetHeight();
  if (!ReshapeImages([](TZelLTBitmap& image, TZelLTBitmap* previous) { return image.RotateRight(previous); })) {
    return false;
  }
  if (HasSelection()) {
    const quill::TRect s = Selection;
    Selection = {h - s.Bottom, s.Left, h - s.Top, s.Right};
  }
  Recommit();
  if (HasJpeg()) JPEG->RotateRight();
  Turn({0, -1, 1, 0});
  GeometryChanged();
  return true;
}

bool TZelGraphicsDocument::FlipHorizontal() {
  const int32_t w = CurrentImage.GetWidth();
  if (!ReshapeImages([](TZelLTBitmap& image, TZelLTBitmap* previous) { return image.FlipHorizontal(previous); })) {
    return false;
  }
  if (HasSelection()) {
    const quill::TRect s = Selection;
    Selection = {w - s.Right, s.Top, w - s.Left, s.Bottom};
  }
  Recommit();
  if (HasJpeg()) JPEG->FlipHorizontal();
  Turn({-1, 0, 0, 1});
  GeometryChanged();
  return true;
}

bool TZelGraphicsDocument::FlipVertical() {
  const int32_t h = CurrentImage.GetHeight();
  if (!ReshapeImages([](TZelLTBitmap& image, TZelLTBitmap* previous) { return image.FlipVertical(previous); })) {
    return false;
  }
  if (HasSelection()) {
    const quill::TRect s = Selection;
    Selection = {s.Left, h - s.Bottom, s.Right, h - s.Top};
  }
  Recommit();
  if (HasJpeg()) JPEG->FlipVertical();
  Turn({1, 0, 0, -1});
  GeometryChanged();
  return true;
}

bool TZelGraphicsDocument::Crop(const quill::TRect& rect) {
  const quill::TRect r = quill::IntersectRect(rect, CurrentImage.GetBounds());
  if (r.IsEmpty()) return true;
  if (!ReshapeImages([&r](TZelLTBitmap& image, TZelLTBitmap* previous) { return image.Crop(r, previous); })) {
    return false;
  }
  ClearSelection();
  Recommit();
  if (HasJpeg()) JPEG->Crop(r);
  GeometryChanged();
  return true;
}

bool TZelGraphicsDocument::Resize(int32_t newWidth, int32_t newHeight,
                                  TZelLTBitmap* previousCurrent, TZelLTBitmap* previousOriginal) {
  const int32_t w = CurrentImage.GetWidth();
  const int32_t h = CurrentImage.GetHeight();
  if (w < 1 || h < 1 || newWidth < 1 || newHeight < 1) return false;
  quill::TRect selection;
  if (HasSelection()) {
    const double sx = static_cast<double>(newWidth) / w;
    const double sy = static_cast<double>(newHeight) / h;
    selection = {static_cast<int32_t>(std::ceil(Selection.Left * sx)),
                 static_cast<int32_t>(std::ceil(Selection.Top * sy)),
                 static_cast<int32_t>(std::floor(Selection.Right * sx)),
                 static_cast<int32_t>(std::floor(Selection.Bottom * sy))};
  }
  DropPreparation();
  // Both new images are made before either replaces its old one, so a failure leaves
  // the document as it was.
  TZelLTBitmap current;
  TZelLTBitmap original;
  if (!ResampledInto(CurrentImage, newWidth, newHeight, current)) return false;
  // An original equal to the current image shares the new current image's pixels, as
  // after a load, until idle time copies them; one that differs (after an edit) is
  // resampled on its own.
  bool originalShares = false;
  if (FOriginalShared) {
    // It stays shared; the caller may still want the image as it stood.
    if (previousOriginal != nullptr && !original.AssignPixels(CurrentImage.GetPixels())) return false;
  } else if (FOriginalMatches || SamePixels(FOriginalBlock.GetPixels(), CurrentImage.GetPixels())) {
    originalShares = true;
  } else if (!ResampledInto(FOriginalBlock, newWidth, newHeight, original)) {
    return false;
  }
  CurrentImage.Swap(current);
  if (!FOriginalShared) {
    FOriginalBlock.Swap(original);
    FOriginalShared = originalShares;
    FOriginalMatches = false;
  }
  if (previousCurrent != nullptr) previousCurrent->Swap(current);
  if (previousOriginal != nullptr) previousOriginal->Swap(original);
  // The scaled selection may come out empty or inverted (a thin one shrunk), or as
  // the whole image: it must still be a valid selection, as SetSelection makes it.
  Selection = NormalizedSelection(selection, CurrentImage.GetBounds());
  // The committed copy, too, views the new pixels until idle time (or the next
  // operation) gives it a block of its own; the resize waits for no fresh memory.
  ShareCommittedCopy();
  if (HasJpeg()) JPEG->Resize(newWidth, newHeight);
  GeometryChanged();
  return true;
}

bool TZelGraphicsDocument::Snapshot(TZelPixelBuffer& current, TZelPixelBuffer& original,
                                    quill::TLosslessJpeg::TGeometry& jpeg) const {
  if (!original.Allocate(OriginalImage.PixelFormat(), OriginalImage.GetBounds()) ||
      !CopyBitmapToBuffer(CurrentImage, current)) {
    return false;
  }
  original.CopyFrom(OriginalImage);
  jpeg = JPEG != nullptr ? JPEG->GetGeometry() : quill::TLosslessJpeg::TGeometry();
  return true;
}

bool TZelGraphicsDocument::Restore(const TZelPixels& current, const TZelPixels& original,
                                   const quill::TLosslessJpeg::TGeometry& jpeg) {
  // Both images are made before either replaces its own, so a failure changes
  // nothing; the committed block makes room for them first (restoring is never done
  // inside an operation) and is made again afterwards.
  DropPreparation();
  const bool ownCommittedBlock = !FCommittedShared;
  ShareCommittedCopy();
  TZelLTBitmap restoredOriginal;
  TZelLTBitmap restoredCurrent;
  const bool restored = restoredOriginal.AssignPixels(original) && restoredCurrent.AssignPixels(current);
  if (restored) {
    FOriginalBlock.Swap(restoredOriginal);
    FOriginalShared = false;
    FOriginalMatches = false;
    CurrentImage.Swap(restoredCurrent);
  }
  restoredOriginal.Clear();
  restoredCurrent.Clear();
  FCommittedShared = !ownCommittedBlock;
  Recommit();
  if (!restored) return false;
  // The pixels went back to an earlier geometry: so does the JPEG object, or a later
  // redo of a crop would crop it twice and a save would show a stale picture.
  if (HasJpeg()) JPEG->SetGeometry(jpeg);
  GeometryChanged();
  return true;
}

std::unique_ptr<TZelLTBitmap> TZelGraphicsDocument::ResampledCopy(int32_t size) const {
  const int32_t w = CurrentImage.GetWidth();
  const int32_t h = CurrentImage.GetHeight();
  if (CurrentImage.IsEmpty() || size < 1) return nullptr;
  int32_t newWidth = 0;
  int32_t newHeight = 0;
  if (static_cast<double>(h) / size >= static_cast<double>(w) / size) {
    newHeight = size;
    newWidth = MulDiv(w, size, h);
  } else {
    newWidth = size;
    newHeight = MulDiv(h, size, w);
  }
  // A very thin image would give a side of 0, which the resampler refuses.
  newWidth = std::max(newWidth, 1);
  newHeight = std::max(newHeight, 1);
  auto copy = std::make_unique<TZelLTBitmap>();
  if (!copy->SetSize(newWidth, newHeight, quill::kPixelFormat24)) return nullptr;
  ResamplePixels(copy->GetPixels(), copy->GetBounds(), copy->GetBounds(), CurrentImage.GetPixels(),
                 CurrentImage.GetBounds(), TLanczosResampler());
  return copy;
}

// ---- Tool notifications ----

void TZelGraphicsDocument::NotifyBeforeUndo() {
  TZelCommandState* state = GetHistory().GetUndoState();
  quill::ForEachGraphicsTool([state](TZelGraphicsTool& tool) { tool.BeforeUndo(state); });
}

void TZelGraphicsDocument::NotifyAfterUndo() {
  TZelCommandState* state = GetHistory().GetUndoState();
  quill::ForEachGraphicsTool([state](TZelGraphicsTool& tool) { tool.AfterUndo(state); });
}

void TZelGraphicsDocument::NotifyBeforeRedo() {
  TZelCommandState* state = GetHistory().GetRedoState();
  quill::ForEachGraphicsTool([state](TZelGraphicsTool& tool) { tool.BeforeRedo(state); });
}

void TZelGraphicsDocument::NotifyAfterRedo() {
  TZelCommandState* state = GetHistory().GetRedoState();
  quill::ForEachGraphicsTool([state](TZelGraphicsTool& tool) { tool.AfterRedo(state); });
}

void TZelGraphicsDocument::NotifyCommandState(TZelGraphicsTool* tool, const quill::TRect& rect) {
  quill::ForEachGraphicsTool(
      [this, tool, &rect](TZelGraphicsTool& each) { each.CommandStateApplied(this, tool, rect); });
}

// ---- Private ----

void TZelGraphicsDocument::GeometryChanged() {
  if (TZelGraphicsView* view = GetGraphicsView()) {
    view->DocumentView->UpdateBounds();
    view->ClampOrigin();
  }
  if (auto* editor = dynamic_cast<TZelGraphicsEditor*>(GetEditor())) {
    editor->SetWidthStatus(QString::number(CurrentImage.GetWidth()));
    editor->SetHeightStatus(QString::number(CurrentImage.GetHeight()));
  }
  quill::ForEachGraphicsTool([this](TZelGraphicsTool& tool) { tool.DocumentGeometryChanged(this); });
  SchedulePreparation();
}

void TZelGraphicsDocument::Recommit() {
  if (!FCommittedShared && !CopyBitmapToBuffer(CurrentImage, FCommittedBlock)) FCommittedShared = true;
  AttachViews();
}

bool TZelGraphicsDocument::SeparateImages() {
  // One call makes what is left: a shared original, once made, equals CurrentImage,
  // so the committed copy then views it and needs no block.
  PrepareRows(INT64_MAX);
  return !NeedsPreparation();
}

void TZelGraphicsDocument::PrepareRows(int64_t budget) {
  if (!NeedsPreparation()) return;
  const TZelPixels& current = CurrentImage.GetPixels();
  if (FOriginalShared) {
    if (FOriginalRows == 0 &&
        !FOriginalBlock.SetSizeForWriting(current.Width(), current.Height(), current.PixelFormat())) {
      return;
    }
    if (!CopyRows(current, FOriginalBlock.GetPixels(), FOriginalRows, budget)) return;
    // The original image as opened equals the current image: the committed copy
    // views it until the first change is committed.
    FOriginalShared = false;
    FOriginalMatches = true;
    FOriginalRows = 0;
    AttachViews();
    return;
  }
  if (FCommittedShared && !FOriginalMatches) {
    if (FCommittedRows == 0 && !FCommittedBlock.Allocate(current.PixelFormat(), current.GetBounds())) return;
    if (!CopyRows(current, FCommittedBlock, FCommittedRows, budget)) return;
    FCommittedShared = false;
    FCommittedRows = 0;
    AttachViews();
  }
}

void TZelGraphicsDocument::DropPreparation() {
  if (FOriginalShared && FOriginalRows > 0) FOriginalBlock.Clear();
  if (FCommittedShared && FCommittedRows > 0) FCommittedBlock.FreeBits();
  FOriginalRows = 0;
  FCommittedRows = 0;
}

void TZelGraphicsDocument::ShareCommittedCopy() {
  FCommittedShared = true;
  FCommittedBlock.FreeBits();
  AttachViews();
}

void TZelGraphicsDocument::AttachViews() {
  const auto attach = [](TZelPixels& view, const TZelPixels& pixels) {
    view.Attach(pixels.GetBounds(), pixels.Bits(), pixels.Stride(), pixels.PixelFormat());
  };
  attach(OriginalImage, FOriginalShared ? CurrentImage.GetPixels() : FOriginalBlock.GetPixels());
  const TZelPixels& shared =
      !FOriginalShared && FOriginalMatches ? FOriginalBlock.GetPixels() : CurrentImage.GetPixels();
  attach(CommittedCopy, FCommittedShared ? shared : FCommittedBlock);
}
