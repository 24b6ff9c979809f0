// The rotate tool: turns the whole image by 90 degrees to the left or right, or mirrors
// it left to right or top to bottom, each as one undoable operation. The document does
// the pixel work and turns the lossless JPEG object and the selection with the images.
//
// Its frame in the tool panel shows either four direct buttons or, with the further
// options shown, a preview thumbnail, four radio buttons and one button that performs
// the checked choice; the thumbnail shows the image as the checked choice would leave
// it, without changing the image.
//
// Kinds, shared by the tool, its frame and its undo record: 1 rotate left, 2 rotate
// right, 3 flip horizontal, 4 flip vertical; 0 in the frame means no choice.
//
// Script name "Rotation". Commands: Rotation (select), RotationLeft, RotationRight,
// RotationHorizontal, RotationVertical (the four operations), RotationLeftOption,
// RotationRightOption, RotationHorizontalOption, RotationVerticalOption (check a radio
// button), RotationPerform (the perform button), RotationShowOptions and
// RotationHideOptions (Boolean, defaults true and false). Targets: the commands'
// controls, RotationView (the thumbnail) and RotationOptions (the link).
//
// Not available in plug-in mode. Every operation, from a button or a script, first
// asks whether the tool may work (quill::ToolMayStart). Options are not kept in the
// settings file. Main thread only.

#ifndef QUILL_EDITOR_ZELROTATETOOL_H_
#define QUILL_EDITOR_ZELROTATETOOL_H_

#include <QPointer>

#include <cstdint>
#include <memory>

#include "ZelForms.h"
#include "ZelFramedTool.h"
#include "ZelGraphicsTool.h"
#include "ZelLTBitmap.h"

class QAction;
class QLabel;
class QPainter;
class QPushButton;
class QRadioButton;
class TZelGraphicsDocument;
class TZelRotateTool;

namespace quill {

constexpr uint8_t kRotateNone = 0;
constexpr uint8_t kRotateLeft = 1;
constexpr uint8_t kRotateRight = 2;
constexpr uint8_t kFlipHorizontal = 3;
constexpr uint8_t kFlipVertical = 4;

// The document operation of Kind (nothing for 0). False, with nothing changed, when
// the turned images cannot be allocated.
[[nodiscard]] bool ApplyRotation(TZelGraphicsDocument& document, uint8_t kind);
// The kind that undoes Kind: left and right swap, the flips undo themselves.
uint8_t InverseRotation(uint8_t kind);

class TZelPaintBox;
class TZelShowOptionsLink;

}  // namespace quill

class TZelRotateFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelRotateFrame(TZelComponent* owner);
  ~TZelRotateFrame() override;

  // ---- Controls, top to bottom ----
  QLabel* TitleLabel;
  QWidget* PreviewControl;  // the thumbnail, the radio buttons and RotateButton
  QWidget* PreviewPanel;
  quill::TZelPaintBox* ThumbnailView;  // 176 x 150
  QRadioButton* RotateRightRadioButton;  // checked at start
  QRadioButton* RotateLeftRadioButton;
  QRadioButton* FlipHorizontalRadioButton;
  QRadioButton* FlipVerticalRadioButton;
  QPushButton* RotateButton;
  QPushButton* RotateRightButton;
  QPushButton* RotateLeftButton;
  QPushButton* FlipHorizontalButton;
  QPushButton* FlipVerticalButton;
  quill::TZelShowOptionsLink* ShowOptions;

  // The tool the frame serves; cleared when the tool goes.
  TZelRotateTool* Tool = nullptr;
  // The document's thumbnail and that thumbnail turned by the checked kind.
  std::unique_ptr<TZelLTBitmap> SourceBitmap;
  std::unique_ptr<TZelLTBitmap> PreviewBitmap;

  // The kind of the checked radio button (left, right, horizontal, vertical tested in
  // that order); 0 when none is checked.
  uint8_t SelectedKind() const;
  // Only while the tool is active, the preview is shown and the editor has a current
  // document: a missing source is made from the current document, and the preview
  // becomes the source turned by SelectedKind; the thumbnail repaints.
  void UpdatePreview();
  // Drops the source; with Document, while the tool is active and the preview is
  // shown, makes it again: the image fitted into a square of the thumbnail's smaller
  // side less 2 (each side at least 1 pixel).
  void SetPreviewSource(TZelGraphicsDocument* document);
  // Checks RadioButton (its change handler runs).
  void SelectOption(QRadioButton* radioButton);

  // ---- Handlers ----
  // The four direct buttons: their operation, then a recorded click on the tool's
  // name followed by "Left", "Right", "Horizontal" or "Vertical".
  void RotateLeftButtonClick();
  void RotateRightButtonClick();
  void FlipHorizontalButtonClick();
  void FlipVerticalButtonClick();
  // Sender became checked: RotateButton takes its caption, the preview follows and a
  // click on Name + "LeftOption" (…) is recorded.
  void RotateRadioButtonChange(QRadioButton* sender);
  // The operation of SelectedKind (none for 0), the preview, a recorded click on
  // Name + "Perform".
  void RotateButtonClick();
  // A framed box over the thumbnail's area with the preview centred in it.
  void ThumbnailViewPaint(QPainter& painter);
  void ShowOptionsButtonClick();
};

class TZelRotateTool : public quill::TZelFramedTool<TZelGraphicsTool, TZelRotateFrame> {
 public:
  // The toolbar button ("Right" image), the frame, Name "Rotation", options hidden.
  explicit TZelRotateTool(TZelComponent* owner);

  // The kind of the operation being committed.
  uint8_t Kind = quill::kRotateNone;
  bool OptionsShown = false;

  // One operation each on the editor's current document, when the tool may work:
  // hourglass, BeginOperation, the document's operation, the preview, EndOperation
  // (which adds one TZelRotateCommandState).
  void RotateLeft();
  void RotateRight();
  void FlipHorizontal();
  void FlipVertical();
  // The operation of Kind (1 to 4; nothing for others).
  void Perform(uint8_t kind);

  // Stores Value and lays the frame out; records a move to Name + "Options" and the
  // line Name + "ShowOptions" or Name + "HideOptions".
  void SetOptionsShown(bool value);
  // The direct buttons while the options are hidden, the preview while they are shown.
  void LayoutOptions();
  // The preview source from the current document, then the preview.
  void RefreshPreview();

  // ---- TZelModule / TZelModuleWithControls ----
  void Localize() override;
  // The button is checked while this is the current tool and enabled while it may
  // work; the frame's controls are enabled when the button is both.
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  // The commands listed at the top of this file.
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  // The targets listed at the top of this file.
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // Adds the undo record of the operation of Kind.
  void CommitOperation() override;
  // The preview from Document; then the inherited.
  void DocumentOpened(TZelGraphicsDocument* document) override;
  // The inherited (the frame to the front), then the preview.
  void Activate() override;
};

// The undo record of one turn or flip: the document's bounds after it and its kind.
class TZelRotateCommandState : public TZelCustomGraphicsCommandState {
 public:
  TZelRotateCommandState(TZelRotateTool* tool, TZelGraphicsDocument* document, uint8_t kind);
  // TryUndo (TryRedo).
  void Undo() override { TryUndo(); }
  void Redo() override { TryRedo(); }
  // The inverse operation and the preview.
  bool TryUndo() override;
  // The operation again and the preview.
  // Either, when the turned images cannot be allocated, shows the memory message and
  // leaves the document (and so the history) as it was: false.
  bool TryRedo() override;
  int64_t GetSize() const override { return static_cast<int64_t>(sizeof(*this)); }

  const uint8_t Kind;

 private:
  bool Apply(uint8_t kind);
};

#endif  // QUILL_EDITOR_ZELROTATETOOL_H_
