// The crop tool: the user draws a rectangle over the image, adjusts it with eight
// handles or moves it, optionally under a fixed aspect ratio, and crops the document
// to it. The tool holds the rectangle and the ratio (one of each for the whole
// program, kept across documents); its control in each view (ZelCrop2ToolControl.h)
// draws and edits the rectangle; its frame in the tool panel chooses the ratio: free
// (typed as a width and a height, reduced by their greatest common divisor), one of
// the photo print formats or one of the screen formats.
//
// A crop is one undoable operation: the record keeps copies of both images and the
// JPEG object's geometry as they were, taken before anything changes, so a copy that
// cannot be had leaves the document and the history alone (with a message). A
// rectangle that misses the image crops nothing and adds no record.
//
// While a rectangle exists the editor is locked to this tool; performing or
// cancelling it, or any change of the image's geometry (a turn, a resize, a crop, their
// undo and redo), releases the lock. The tool is exclusive and not available in
// plug-in mode; every entry point first asks whether it may work
// (quill::ToolMayStart).
//
// Script name "Crop". Commands: Crop (select), CropPerform (crop to the rectangle
// last drawn), CropCancel. Target: Crop (the toolbar button). Whether the further
// options are shown is kept in the settings file (node 1 tagged kSettingsGuid, value 1
// as 0 or 1). Main thread only.

#ifndef QUILL_EDITOR_ZELCROP2TOOL_H_
#define QUILL_EDITOR_ZELCROP2TOOL_H_

#include <QPointer>
#include <QStringList>
#include <QUuid>

#include <cstdint>
#include <memory>

#include "LosslessJpeg.h"
#include "ZelBitmap.h"
#include "ZelForms.h"
#include "ZelFramedTool.h"
#include "ZelGraphicsTool.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TZelCrop2Tool;
class TZelCrop2ToolControl;
class TZelGraphicsDocument;

namespace quill {
class TZelShowOptionsLink;
}  // namespace quill

// A + B when either is 0; otherwise the greatest common divisor of |A| and |B|.
int32_t GreatestCommonDivisor(int32_t a, int32_t b);

// Two lines: text 2890 ": " width "x" height, then text 2891 ": " the screen's ratio
// reduced ("5:4" for 1280 x 1024).
QString ScreenResolutionText();

class TZelCrop2Frame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelCrop2Frame(TZelComponent* owner);

  // ---- Controls, top to bottom ----
  QLabel* TitleLabel;
  QLabel* DescriptionLabel;
  QRadioButton* rbFree;  // checked at start
  QRadioButton* rbFoto;
  QRadioButton* rbScreen;
  QWidget* SizePanel;
  QLabel* WidthLabel;
  QSpinBox* WidthEdit;  // 0 and up; an empty text reads as 0
  QLabel* HeightLabel;
  QSpinBox* HeightEdit;
  QPushButton* btClear;
  QWidget* panelFoto;
  QComboBox* cmbFoto;  // print formats, "3x4" .. "40x30"
  QWidget* panelScreen;
  QComboBox* cmbScreen;  // screen formats, "4x3" .. "16x10"
  QGroupBox* gbListResolution;
  QLabel* lblListResolution;  // the resolutions of the selected screen format
  QGroupBox* gbCurrentResolution;
  QLabel* lblCurrentResolution;  // ScreenResolutionText, bold
  quill::TZelShowOptionsLink* ShowOptions;

  // The tool the frame serves; cleared when the tool goes.
  TZelCrop2Tool* Tool = nullptr;

  // ---- Handlers ----
  // Options shown toggled on the tool, rbFree checked, setRatio(0).
  void ShowOptionsButtonClick();
  // The layout, then setRatio(0, 1 or 2) for the checked radio button.
  void OnRadioGroupClick();
  void cmbFotoChange();
  void cmbScreenChange();
  // Both edits' change: an empty or negative width, an empty or negative height, or
  // both 0 make the rectangle free; otherwise the ratio is width : height reduced.
  void WidthEditChange();
  void HeightEditChange();
  // Empties both edits and frees the rectangle.
  void btClearClick();
  // Kind 0: the ratio := the edits' values as they stand. Kind 1 (2): the ratio := the
  // selected print (screen) format's "WxH" reduced; a screen format also shows its
  // resolutions and the screen's own. An empty text leaves the ratio.
  void setRatio(int kind);

 private:
  // An edit's value: its text as a number, 0 when empty or not a number.
  static int32_t EditValue(const QSpinBox* edit);
};

class TZelCrop2Tool : public quill::TZelFramedTool<TZelGraphicsTool, TZelCrop2Frame> {
 public:
  // The settings node's tag.
  static const QUuid kSettingsGuid;

  // The toolbar button ("Crop" image), the frame, Name "Crop", the control class,
  // options hidden, exclusive, the ratio free.
  explicit TZelCrop2Tool(TZelComponent* owner);

  bool OptionsShown = false;

  // The crop rectangle in image coordinates; empty at start. Neither a perform nor a
  // cancel clears it: CropPerform crops to the rectangle last drawn.
  quill::TRect CropRect;
  // The ratio, reduced; free while either is 0 or less.
  int32_t RatioWidth = 0;
  int32_t RatioHeight = 0;
  // The resolutions of the 6 screen formats, one per line (strings 2892 to 2897).
  QStringList ScreenRatioDescriptions;

  // The control of the first view, or null.
  TZelCrop2ToolControl* FirstControl() const;

  // CropTo(CropRect), then ResetCrop on every control.
  void Perform();
  // When the tool may work and Rect meets the image: copies of both images, the
  // document's Crop(Rect), one undo record. A copy that cannot be had gives a message
  // and changes nothing.
  void CropTo(const quill::TRect& rect);
  void SetOptionsShown(bool shown);
  // The frame's rows and their visibility by OptionsShown and the checked ratio kind.
  void LayoutOptions();

  // ---- TZelModule / TZelModuleWithControls ----
  void Localize() override;
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // Empty: the crop's record is its own.
  void CommitOperation() override {}
  // ResetCrop on every control, then the inherited.
  void CancelOperation() override;
  // A rectangle that exists in Document's view is cancelled.
  void DocumentClosing(TZelGraphicsDocument* document) override;
  // A rectangle that exists in Document's view ends as a cancel ends it (state none,
  // the editor's lock released): it was drawn on the image as it stood. CropRect
  // stays; a later crop to it is clipped to the image.
  void DocumentGeometryChanged(TZelGraphicsDocument* document) override;
};

// The undo record of one crop: the rectangle asked for, the document's bounds before
// it, and the images and the JPEG object's geometry as they were.
class TZelCrop2CommandState : public TZelCustomGraphicsCommandState {
 public:
  // Takes the copies (made by the document's Snapshot before the crop).
  TZelCrop2CommandState(TZelCrop2Tool* tool, TZelGraphicsDocument* document, const quill::TRect& rect,
                        const quill::TRect& savedBounds, std::unique_ptr<TZelPixelBuffer> imageBefore,
                        std::unique_ptr<TZelPixelBuffer> originalBefore,
                        const quill::TLosslessJpeg::TGeometry& jpegBefore);
  // TryUndo.
  void Undo() override { TryUndo(); }
  // Both images and the JPEG geometry come back, then the selection. Images that
  // cannot be allocated give the memory message and leave the document (and so the
  // history) as it was: false.
  bool TryUndo() override;
  // TryRedo.
  void Redo() override { TryRedo(); }
  // The crop again. Images that cannot be allocated give the memory message and leave
  // the document (and so the history) as it was: false.
  bool TryRedo() override;
  int64_t GetSize() const override;

  const quill::TRect SavedBounds;
  const std::unique_ptr<TZelPixelBuffer> ImageBefore;
  const std::unique_ptr<TZelPixelBuffer> OriginalBefore;
  const quill::TLosslessJpeg::TGeometry JpegBefore;
};

#endif  // QUILL_EDITOR_ZELCROP2TOOL_H_
