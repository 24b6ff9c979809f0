// The resize tool: scales the whole image to a new width and height chosen in its
// frame, optionally keeping the image's proportions, as one undoable operation. The
// document resamples the current and the original image (Lanczos) and scales the
// selection with them.
//
// The chosen sizes follow the image: they are set from it when a document opens, when
// the tool becomes active, after every resize and on Cancel. Each side is kept in
// 1..32767 whatever asks for it (the frame, a script, the proportional side computed
// from the other): a size below 1, negative ones too, becomes 1, and a proportional side
// too large for 32 bits becomes 32767. A result larger than the program could open
// again is refused with a message. The undo record keeps the images as they were before (moved out of
// the document, not copied), so undo brings them back exactly instead of resampling;
// it is added only once the resize has succeeded, so a refused or failed resize leaves
// the image and the history as they were.
//
// Script name "Resize". Commands: Resize (select), ResizeWidth and ResizeHeight
// (integer, default 100), ResizePerform (the OK button's resize), ResizeCancel (the
// sizes back to the image's), ResizeProportional and ResizeDisproportional (Boolean,
// defaults true and false: the proportions constraint), ResizeShowOptions and
// ResizeHideOptions (Boolean, defaults true and false). Targets: Resize (the button),
// ResizeWidth, ResizeHeight, ResizeProportions, ResizePerform, ResizeCancel,
// ResizeOptions. The frame records the user's edits: "ResizeWidth 640",
// "ResizeHeight 480", the proportions switch and clicks on OK and Cancel.
//
// Not available in plug-in mode; every entry point first asks whether the tool may
// work (quill::ToolMayStart). Nothing is kept in the settings file. Main thread only.

#ifndef QUILL_EDITOR_ZELRESIZETOOL_H_
#define QUILL_EDITOR_ZELRESIZETOOL_H_

#include <QPointer>

#include <cstdint>
#include <memory>

#include "LosslessJpeg.h"
#include "ZelForms.h"
#include "ZelFramedTool.h"
#include "ZelGraphicsTool.h"
#include "ZelLTBitmap.h"

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TZelGraphicsDocument;
class TZelResizeTool;

namespace quill {

class TZelShowOptionsLink;

// The limits of a chosen side.
constexpr int32_t kMinResizeSide = 1;
constexpr int32_t kMaxResizeSide = 32767;

// Value kept in 1..32767: every value below 1, negative ones too, gives 1.
int32_t KeepResizeSide(int32_t value);

// Value, a side that MulDiv made proportional to the other (ProportionalWidth,
// ProportionalHeight, ScaleToFit) from positive sizes, kept in 1..32767. Its only
// negative result is MulDiv's mark (-1) of a quotient beyond 32 bits: a side too large,
// which gives 32767.
int32_t KeepProportionalSide(int32_t value);

}  // namespace quill

class TZelResizeFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelResizeFrame(TZelComponent* owner);

  // ---- Controls, top to bottom ----
  QLabel* TitleLabel;
  QWidget* SizePanel;
  QLabel* NewSizeLabel;
  QLabel* WidthLabel;
  // The edits with their up-down arrows, 1..32767.
  QSpinBox* WidthEdit;
  QLabel* HeightLabel;
  QSpinBox* HeightEdit;
  QCheckBox* ConstrainProportionsCheckBox;
  QWidget* OkPanel;
  QPushButton* OkButton;
  QPushButton* CancelButton;
  quill::TZelShowOptionsLink* ShowOptions;  // kept hidden

  // The tool the frame serves; cleared when the tool goes.
  TZelResizeTool* Tool = nullptr;

  // The edits and the check box show Value without taking it as the user's edit.
  void ShowWidth(int32_t value);
  void ShowHeight(int32_t value);
  void ShowConstrainProportions(bool value);

  // ---- Handlers ----
  // The user changed the text (typing or the arrows): when the whole text reads as a
  // whole number, the tool's SetNewWidth (SetNewHeight) and the line Name + "Width "
  // (Name + "Height ") + the number are recorded. Other texts change nothing.
  void WidthEditChange(const QString& text);
  void HeightEditChange(const QString& text);
  // The tool's SetConstrainProportions; records a move to Name + "Proportions" and the
  // line Name + "Proportional" or Name + "Disproportional".
  void ConstrainProportionsCheckBoxChange(bool checked);
  // Perform; a recorded click on Name + "Perform".
  void OkButtonClick();
  // ResetSize; a recorded click on Name + "Cancel".
  void CancelButtonClick();
  void ShowOptionsButtonClick();

 private:
  // While set, changes of the controls come from the tool, not from the user.
  bool showing_ = false;
};

class TZelResizeTool : public quill::TZelFramedTool<TZelGraphicsTool, TZelResizeFrame> {
 public:
  // The toolbar button ("Resize" image), the frame, Name "Resize", options hidden,
  // proportions constrained.
  explicit TZelResizeTool(TZelComponent* owner);

  bool OptionsShown = false;
  int32_t NewWidth = 1;
  int32_t NewHeight = 1;
  bool ConstrainProportions = false;

  // The current document's image size; 1 without a document.
  int32_t ImageWidth() const;
  int32_t ImageHeight() const;

  // Nothing when Value equals NewWidth. Otherwise NewWidth := Value kept in 1..32767;
  // with the proportions constrained NewHeight follows (image height * NewWidth /
  // image width, rounded, kept likewise) and the height edit shows it; the width edit
  // shows NewWidth.
  void SetNewWidth(int32_t value);
  // The same with the roles swapped.
  void SetNewHeight(int32_t value);
  // Nothing when unchanged. Otherwise stores it and sets the check box; turned on, the
  // image's proportions are fitted into NewWidth x NewHeight (one side kept, the other
  // made proportional) and both edits show the result.
  void SetConstrainProportions(bool value);
  // Stores Value and lays the frame out; records a move to Name + "Options" and the
  // line Name + "ShowOptions" or Name + "HideOptions".
  void SetOptionsShown(bool value);
  void LayoutOptions();
  // SetNewWidth(image width), SetNewHeight(image height); nothing without a document.
  void ResetSize();
  // When the tool may work: resizes the current document to NewWidth x NewHeight as
  // one undo record, then ResetSize. A result above the program's pixel budget, or
  // images that cannot be allocated, give a message and change nothing.
  void Perform();

  // ---- TZelModule / TZelModuleWithControls ----
  void Localize() override;
  // As the rotate tool's; then OK is enabled exactly when the chosen size differs from
  // the image's, and Cancel follows OK.
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // Empty: the undo record is the resize's own.
  void CommitOperation() override {}
  // The inherited; the sizes from the new image; the status bar's size panels; the
  // controls.
  void DocumentOpened(TZelGraphicsDocument* document) override;
  // The inherited (the frame to the front); the sizes from the image.
  void Activate() override;

 private:
  // Both edits and the check box show the tool's values.
  void ShowSizes();
};

// The undo record of one resize: the document's bounds before it, the new size, and
// the images and the JPEG object's geometry as they were before.
class TZelResizeCommandState : public TZelCustomGraphicsCommandState {
 public:
  // Keeps the images the resize handed back.
  TZelResizeCommandState(TZelResizeTool* tool, TZelGraphicsDocument* document, const quill::TRect& rect,
                         int32_t newWidth, int32_t newHeight,
                         std::unique_ptr<TZelLTBitmap> savedImage,
                         std::unique_ptr<TZelLTBitmap> savedOriginal,
                         const quill::TLosslessJpeg::TGeometry& savedJpeg);
  // TryUndo.
  void Undo() override { TryUndo(); }
  // Both images and the JPEG geometry come back, then the selection (the stored
  // rectangle; the whole image means none). Images that
  // cannot be allocated give the memory message and leave the document (and so the
  // history) as it was: false.
  bool TryUndo() override;
  // TryRedo.
  void Redo() override;
  // The resize again. A picture beyond the program's
  // pixel budget, or images that cannot be allocated, give the message of a failed
  // resize and leave the document (and so the history) as it was: false.
  bool TryRedo() override;
  // The record and both saved images.
  int64_t GetSize() const override;

  const int32_t NewWidth;
  const int32_t NewHeight;
  const std::unique_ptr<TZelLTBitmap> SavedImage;
  const std::unique_ptr<TZelLTBitmap> SavedOriginal;
  const quill::TLosslessJpeg::TGeometry SavedJpeg;
};

#endif  // QUILL_EDITOR_ZELRESIZETOOL_H_
