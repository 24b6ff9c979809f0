// TZelGraphicsDocument: one open image with everything the tools work on.
//
// Three images of equal size are kept in step by every operation:
// - CurrentImage, the live image the view shows and the tools edit in place;
// - OriginalImage, the image as opened, following every geometry change so that it
//   always lines up with CurrentImage (the undo brush and the original-image tool
//   show it);
// - CommittedCopy, CurrentImage as it stood after the last finished operation; undo
//   records take the pixels before a change from it. Outside a running tool operation
//   it equals CurrentImage pixel for pixel.
// OriginalImage and CommittedCopy are views that anyone may read at any time. After a
// load they view CurrentImage's own pixels, which they equal, so opening a photo copies
// none. The original image gets a block of its own before a tool can write
// CurrentImage, and keeps it from then on (only SetOriginalToCurrent, which a load
// calls, and a resize of an original equal to CurrentImage share it again). The committed copy views the original's block
// while the two are known to be equal (from the load until the first change is
// committed), else CurrentImage's pixels outside an operation, until it has a block of
// its own; every operation begins with it viewing a block that CurrentImage is not.
// So CurrentImage is written only inside an operation (after BeginOperation) or by the
// document's own operations, which keep the views in step; whoever replaces its pixels
// from outside sets the original image and calls SyncCommittedCopy.
//
// Those blocks are made in idle time, a slice of rows at a time (PrepareSlice, driven
// by a zero-interval timer that the view's first paint, every beginning and end of an
// operation and every geometry change start), so that neither opening a photo nor the
// first press of a tool waits for fresh memory; BeginOperation finishes whatever is
// left. The committed copy's block is begun in the first operation that finds the
// committed copy viewing the original's block: it is copied from that block, which
// the operation does not write, between the operation's events and a slice with each
// change the operation reports (AddDirtyRect) after its first (the press's, whose
// paint waits for no fresh memory), or at its commit when nothing copied one yet, and
// takes the operation's rectangles at its commit; so the commit of a first stroke
// leaves at most the rows not yet copied (none after a stroke of a few dozen slices'
// time) for the idle time after it, and the press after it seldom finds any.
// Beside them: the image's property items (EXIF and the like), the lossless-JPEG
// object that mirrors every geometry change so that a JPEG can be saved back without
// recompression, the selection, and the state of the one tool operation that may run.
//
// The document also keeps the quarter turns and mirrors made since the image was
// opened, composed into one of the eight orientations of a rectangle (crops and
// resizes change none). Undo and redo run the inverse and the same operations, so the
// composition follows them exactly: after four turns, two equal flips or everything
// undone it is none again. A save uses it to tell whether the EXIF orientation still
// describes the pixels (IsReoriented).
//
// The selection is empty (all zero) or lies inside the image and is never the whole
// image; GetBounds gives it, or the whole image without one, and saving, crop and
// resize work on that rectangle.
//
// An operation: BeginOperation(Tool) (ending a running one first through its tool, so
// that its changes become one undo record), AddDirtyRect for every change, then the
// tool's EndOperation commits or ResetOperation drops it.
//
// Memory: whatever an operation or an undo step needs is allocated before anything
// changes, and every function that can run short says so in its result, which callers
// must check: BeginOperation, the turns, flips and crop, Resize, Snapshot and Restore.
// Refused, they leave the images, the selection, the history and the modified mark as
// they were. Outside an
// operation the committed copy equals CurrentImage, so its own block is only a cache:
// when a geometry change cannot get a new one, the committed copy shares CurrentImage's
// pixels again, as after a load, and the next BeginOperation makes it anew (or refuses).
//
// The document tells every TZelGraphicsTool of the application object, in component
// order, when it was opened, is about to be saved or closed, around every undo and
// redo, whenever an undo record is made, undone or redone, and whenever the image's
// size or layout or the selection changed.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELGRAPHICSDOCUMENT_H_
#define QUILL_EDITOR_ZELGRAPHICSDOCUMENT_H_

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "LosslessJpeg.h"
#include "ZelBitmap.h"
#include "ZelEditor.h"
#include "ZelLTBitmap.h"
#include "ZelProperties.h"
#include "ZelTypes.h"

class QTimer;
class TZelCommandState;
class TZelGraphicsTool;
class TZelGraphicsView;

// The image's property items, each {id, size, type, value bytes}: filled by the format
// table on every load and written back on every save that can carry them.
class TZelGraphicsDocumentProperties : public TZelCustomProperties {
 public:
  // Dots per inch as the file gave them; 0 when it gave none.
  int32_t HorizontalResolution = 0;
  int32_t VerticalResolution = 0;
};

class TZelGraphicsDocument : public TZelDocument {
 public:
  // Empty images and properties, and a lossless-JPEG object without an image.
  explicit TZelGraphicsDocument(TZelEditor* editor);
  ~TZelGraphicsDocument() override;

  // ---- Fields ----

  // Image coordinates; empty when there is none. Change it through SetSelection.
  quill::TRect Selection;
  // Mirrors every geometry change while it holds an image (the format table loads it).
  std::unique_ptr<quill::TLosslessJpeg> JPEG;
  // The image area changed by the running operation; empty when none.
  quill::TRect DirtyRect;
  // A tool operation is running.
  bool Running = false;
  // The tool of the running (or last) operation; not owned.
  TZelGraphicsTool* RunningTool = nullptr;
  TZelLTBitmap CurrentImage;
  // Views of the original image and the committed copy (see above); only the document
  // writes OriginalImage. A pointer to either stays valid for the document's life.
  TZelPixels OriginalImage;
  TZelPixels CommittedCopy;
  TZelGraphicsDocumentProperties Properties;

  // ---- TZelDocument ----

  // A TZelGraphicsView on this document.
  QWidget* CreateView() override;
  // Each tells every graphics tool: DocumentOpened, DocumentSaving, DocumentClosing.
  void Opened() override;
  void BeforeSave() override;
  void BeforeClose() override;

  // ---- Images and view ----

  TZelPixels& GetCurrentPixels() { return CurrentImage.GetPixels(); }
  TZelPixels& GetOriginalPixels() { return OriginalImage; }
  // The view when it exists; null otherwise (never creates one).
  TZelGraphicsView* GetGraphicsView() const;
  // CommittedCopy := CurrentImage (format, bounds and pixels): shared with it until
  // the next operation while the committed copy has no block of its own (or its block
  // cannot be had), else copied. Whoever replaces CurrentImage from outside (the format
  // table after every successful load) calls it.
  void SyncCommittedCopy();
  // The live image's Rect is final, outside an operation (a commit, an undo or a redo
  // step): the committed copy takes it, or views the live image from now on while it
  // has no block of its own. The commit of a first operation whose block is not begun
  // copies a slice of it first (see the top of this file).
  void CommitRect(const quill::TRect& rect);
  // Whether a block for the next operation is still to be made (see the top of this
  // file).
  bool NeedsPreparation() const;
  // Outside an operation: copies about Budget bytes (at least a row) of the block
  // still to be made. During one: the same of the committed copy's block from the
  // original's, while the committed copy views that block (see the top of this file).
  // True while more remains; false when done, during an operation that copies
  // nothing, or when the block cannot be had (BeginOperation then tries once more and
  // refuses).
  bool PrepareSlice(int64_t budget);
  // Starts the idle-time preparation when a block is still to be made (needs a Qt
  // application; nothing without one).
  void SchedulePreparation();
  // The bytes one idle slice copies: one huge page, a millisecond or two of fresh
  // memory, so that input arriving meanwhile hardly waits.
  static constexpr int64_t kPrepareSliceBytes = int64_t{2} << 20;
  // How long the first slice waits after SchedulePreparation; the others follow at
  // once. The frame just painted (a press's dab) reaches the screen meanwhile: on a
  // busy machine a slice at once (milliseconds of page faults) took the processor the
  // display server needed to show it.
  static constexpr int kPrepareDelayMs = 10;
  // The original image := CurrentImage, sharing its pixels until the next operation,
  // as every load ends.
  void SetOriginalToCurrent();
  // The original image := a copy of Pixels in a block of its own (a stand-in for a
  // load that gives another original). False when that block cannot be had.
  bool SetOriginalImage(const TZelPixels& pixels);
  // Selection when set, else (0, 0, width, height) of CurrentImage.
  quill::TRect GetBounds() const;
  // Whether the quarter turns and mirrors since the image was opened add up to a turn
  // or a mirror (see the top of this file). False again once SetOriginalToCurrent runs.
  bool IsReoriented() const { return FTurn != kNoTurn; }

  // ---- Selection ----

  // Stores Rect clipped to the image; an empty result or the whole image clears it.
  // Then GeometryChanged.
  void SetSelection(const quill::TRect& rect);
  void ClearSelection() { Selection = quill::TRect(); }
  bool HasSelection() const { return !Selection.IsEmpty(); }

  // ---- Operation state ----

  // The original image and the committed copy get blocks of their own (where they
  // still share CurrentImage's) before anyone writes it; a running operation is ended
  // (its tool commits it); then DirtyRect := empty, RunningTool := Tool, Running :=
  // true. False, with nothing changed (a running operation still runs), when those
  // blocks cannot be had.
  [[nodiscard]] bool BeginOperation(TZelGraphicsTool* tool);
  // Running := false; when Requester is this document and RunningTool is set, the
  // running tool's EndOperation commits the operation; then DirtyRect := empty. Any
  // other requester ends it without a commit. RunningTool keeps its value.
  void EndOperation(const void* requester);
  // Running := false, RunningTool := null, DirtyRect := empty.
  void ResetOperation();
  // DirtyRect := Rect when Replace or DirtyRect is empty, else their union; then
  // InvalidateImageRect(Rect), and, for every change after the operation's first, a
  // slice of the committed copy's block while the operation copies it from the
  // original's (see the top of this file).
  void AddDirtyRect(const quill::TRect& rect, bool replace);
  // Repaints the window area of the image rectangle Rect (grown by one pixel) when
  // the view exists.
  void InvalidateImageRect(const quill::TRect& rect);

  // ---- Geometry (each ends with GeometryChanged and re-commits) ----

  // 90 degrees counter-clockwise: the images, the selection and the JPEG object. False,
  // with nothing changed, when the turned images cannot be allocated (so for each
  // geometry change below).
  [[nodiscard]] bool RotateLeft();
  [[nodiscard]] bool RotateRight();
  [[nodiscard]] bool FlipHorizontal();
  [[nodiscard]] bool FlipVertical();
  // Keeps Rect of the image (clipped to it; nothing at all when that is empty, which
  // counts as done) and clears the selection. The JPEG object's region starts at the
  // block-aligned origin with the crop's own size.
  [[nodiscard]] bool Crop(const quill::TRect& rect);
  // Resamples both images (Lanczos, radius 3) to NewWidth x NewHeight; the selection
  // shrinks to the whole pixels inside its scaled area and is cleared when that leaves
  // it empty or the whole image. The JPEG object's region becomes the new size. While
  // the original image equals the current one it is resampled once, for both: the
  // original then shares the new current image's pixels, as after a load. The
  // committed copy views them too; idle time makes the blocks of both again.
  // PreviousCurrent and PreviousOriginal, when given, receive the images as they stood
  // before (moved there; an original still sharing the current image's pixels is
  // copied), which Restore takes back. False, with nothing changed, for a size below 1
  // or when the new images cannot be allocated.
  [[nodiscard]] bool Resize(int32_t newWidth, int32_t newHeight, TZelLTBitmap* previousCurrent = nullptr,
              TZelLTBitmap* previousOriginal = nullptr);
  // Copies OriginalImage into Original, CurrentImage into Current and the JPEG
  // object's geometry into Jpeg: what Restore needs to bring this state back. False
  // when a copy cannot be allocated.
  [[nodiscard]] bool Snapshot(TZelPixelBuffer& current, TZelPixelBuffer& original,
                quill::TLosslessJpeg::TGeometry& jpeg) const;
  // Puts back a Snapshot: both images (size, format, pixels) and the JPEG object's
  // geometry, then re-commits. The selection is the caller's to set afterwards. False,
  // with nothing changed, when the two images cannot be allocated.
  [[nodiscard]] bool Restore(const TZelPixels& current, const TZelPixels& original,
                             const quill::TLosslessJpeg::TGeometry& jpeg);

  // A new bitmap of CurrentImage fitted into a Size x Size square with its
  // proportions kept (a smaller image is enlarged), Lanczos-resampled; each side is at
  // least 1. Null for an empty image or a Size below 1.
  std::unique_ptr<TZelLTBitmap> ResampledCopy(int32_t size) const;

  // ---- Tool notifications, to every graphics tool in component order ----

  // BeforeUndo(the history's next state to undo); AfterUndo(the next after the step).
  void NotifyBeforeUndo();
  void NotifyAfterUndo();
  void NotifyBeforeRedo();
  void NotifyAfterRedo();
  // CommandStateApplied(this, Tool, Rect).
  void NotifyCommandState(TZelGraphicsTool* tool, const quill::TRect& rect);

 private:
  // The last step of every size or layout change: the view's image layer takes the
  // new bounds, the scroll origin comes back into range, the editor's size panels
  // show the new size, and every graphics tool hears of it (DocumentGeometryChanged).
  void GeometryChanged();
  // CommittedCopy := CurrentImage (SyncCommittedCopy), and both views described anew
  // after CurrentImage or the original's own block changed. A committed block that
  // cannot be had leaves the committed copy sharing CurrentImage's pixels (see the top
  // of this file), so this cannot fail.
  void Recommit();
  // Finishes the blocks the next operation needs (see the top of this file), before
  // anyone writes CurrentImage. False, the views unchanged, when a block cannot be had.
  [[nodiscard]] bool SeparateImages();
  // Copies about Budget bytes of the block being made: the original's while it shares
  // CurrentImage's pixels, else the committed copy's while it needs one.
  void PrepareRows(int64_t budget);
  // An operation runs while the committed copy views the original's own block: its
  // own block is copied from that one meanwhile.
  bool CopiesCommittedFromOriginal() const;
  // Forgets a block half made: the current image is about to change.
  void DropPreparation();
  // The committed copy shares CurrentImage's pixels and its own block is released:
  // room for a geometry change, valid only outside a running operation.
  void ShareCommittedCopy();
  // Reshape(image, previous) changes Image in place, handing its old content to
  // Previous when given; false, unchanged, when it cannot.
  using TReshape = std::function<bool(TZelLTBitmap& image, TZelLTBitmap* previous)>;
  // Reshape on the original image (while it has its own block) and on CurrentImage:
  // both or neither. The committed block is given up for room and made again.
  [[nodiscard]] bool ReshapeImages(const TReshape& reshape);
  // Describes OriginalImage and CommittedCopy anew over the blocks they use.
  void AttachViews();
  // Whether the JPEG object exists and holds an image.
  bool HasJpeg() const { return JPEG != nullptr && JPEG->HasImage(); }
  // FTurn := Step after FTurn. Step and FTurn are 2 x 2 matrices {A, B, C, D} of
  // integer pixel offsets (x, y grows right and down): (x, y) goes to
  // (A x + B y, C x + D y).
  using TTurn = std::array<int8_t, 4>;
  static constexpr TTurn kNoTurn = {1, 0, 0, 1};
  void Turn(const TTurn& step);

  // The original image's and the committed copy's own blocks, used once they stop
  // sharing CurrentImage's.
  TZelLTBitmap FOriginalBlock;
  TZelPixelBuffer FCommittedBlock;
  bool FOriginalShared = true;
  // No block of its own: the committed copy views the original's (while
  // FOriginalMatches) or CurrentImage's.
  bool FCommittedShared = true;
  // The original's own block equals the committed image pixel for pixel.
  bool FOriginalMatches = false;
  // The rows of a block being made that are copied so far.
  int32_t FOriginalRows = 0;
  int32_t FCommittedRows = 0;
  std::unique_ptr<QTimer> FPrepareTimer;
  // The quarter turns and mirrors since the image was opened, composed.
  TTurn FTurn = kNoTurn;
};

#endif  // QUILL_EDITOR_ZELGRAPHICSDOCUMENT_H_
