// The text tool: stamps one or more lines of text into the image.
//
// The user types the text in the tool's frame, picks font, size (8..400 points),
// style and colour, and drags a box over the image (TZelTextToolControl). The text is
// rendered once as a grey-level mask, white on black at the font's own size (pixel
// size MulDiv(points, 96, 72), smoothed without sub-pixel colour), then stretched to
// fill the box, so the font size sets only the resolution of the letters and the
// proportions of the lines. The mask is blended into the live image whenever the box
// or the text changes: in the chosen colour (colour mode 0) or, per pixel, in the
// inverse of the committed image beneath (colour mode 1; with MaxInverse each channel
// becomes 0 or 255). Enter or a click outside the box commits the text as one undo
// step, and so does a save, which writes what the window shows; Esc, a right click or
// closing the document removes it.
//
// The box's operation: the first mouse down of a box begins the tool's document
// operation; while it runs the live image holds the text and the committed copy does
// not, so moving the box restores the pixels under the previous box from the
// committed copy before blending into the new one. The commit blends once more and
// records the box clipped to the image.
//
// The rendered text (ZelTextMask.h) is kept to quill::kMaxTextSide on each side and
// quill::kMaxTextPixels in all: a larger text is drawn whole at a lower resolution, so
// that it still fills the box, however long it is.
//
// The colour is stored red-first (red in bits 0..7, then green, then blue) in scripts
// and settings.
//
// Script commands: "Text" selects the tool; "TextFontColor" (colour mode), "TextColor",
// "TextMaxInverse", "TextFontSize", "TextFontBI" (style bits: bold 1, italic 2,
// underline 4, strikeout 8) each take an integer (a missing or non-numeric argument
// keeps the value; values out of range are clamped); "TextMemoYalta" types a short
// demo text. Targets: "Text" (the toolbar button), "TextFontColor", "TextColor",
// "TextMaxInverse", "TextFontSize", "TextFontBI", "TextMemo". Every entry point does
// nothing while the editor does not let the tool work.
//
// Settings: a node tagged {663FE753-B6FB-4703-B7E5-6E8A8E0DD5E0} with the font size
// (1), colour mode (2), colour (3), MaxInverse (4) and style bits (5).
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELTEXTTOOL_H_
#define QUILL_EDITOR_ZELTEXTTOOL_H_

#include <QImage>
#include <QUuid>

#include <cstdint>
#include <functional>

#include "ZelForms.h"
#include "ZelFramedTool.h"
#include "ZelGraphicsTool.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;
class QToolButton;
class TZelTextTool;
class TZelTextToolControl;

// The tool's options in the tool panel.
class TZelTextFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelTextFrame(TZelComponent* owner, QWidget* parent = nullptr);

  // The tool the controls drive; cleared when the tool goes.
  TZelTextTool* Tool = nullptr;

  QLabel* const TitleLabel;
  QGroupBox* const FontTntGroupBox;
  QToolButton* const BoldTBXButton;
  QToolButton* const ItalicTBXButton;
  QToolButton* const UnderlineTBXButton;
  QToolButton* const StrikeoutTBXButton;
  // The installed fonts, each drawn in itself; a font is chosen, never typed.
  QFontComboBox* const FontNameComboBox;
  QLabel* const SizeTBXLabel;
  // 8..400, stepped by its arrows only: its text cannot be typed.
  QSpinBox* const SizeSpinEdit;
  QGroupBox* const FontColorTntRadioGroup;
  QButtonGroup* const FontColorButtons;  // item 0 the selected colour, 1 inverted
  QRadioButton* const SelectedColorRadio;
  QRadioButton* const InvertedColorRadio;
  // The standard and extended colours under their names; the item data is the colour.
  QComboBox* const ColorBox;
  QCheckBox* const MaxInverseTBXCheckBox;
  QPlainTextEdit* const TextMemo;

  // Selects the item of Color, adding one named by its hex value when none has it.
  void SelectColor(uint32_t color);

  // Event handlers.
  void BITBXButtonClick();
  void ColorBoxSelect();
  void FontColorTntRadioGroupClick();
  void MaxInverseTBXCheckBoxChange();
  // Sets the font size; the arrows' step becomes a hundredth of it (at least 1).
  void SizeSpinEditChange();
  void TextMemoChange();
};

class TZelTextTool : public quill::TZelFramedTool<TZelGraphicsTool, TZelTextFrame> {
 public:
  static const QUuid kSettingsGuid;
  static constexpr int32_t kMinFontSize = 8;
  static constexpr int32_t kMaxFontSize = 400;
  static constexpr int32_t kBold = 1;
  static constexpr int32_t kItalic = 2;
  static constexpr int32_t kUnderline = 4;
  static constexpr int32_t kStrikeout = 8;
  // The panel's client width the frame needs.
  static constexpr int kPanelWidth = 272;

  // Its button and frame (both need the main window and the tool panel module); size
  // 32, colour mode 0, black, no MaxInverse, plain style.
  explicit TZelTextTool(TZelComponent* owner);

  // ---- Fields ----
  int32_t FontSize = 32;
  int32_t ColorMode = 0;
  uint32_t Color = 0;  // red-first
  bool MaxInverse = false;
  int32_t Style = 0;
  // The box (image coordinates) the text was last blended into, and whether it is.
  quill::TRect LastBox;
  bool TextShown = false;
  // The mask is read right to left, bottom to top.
  bool MirrorX = false;
  bool MirrorY = false;
  // White text on black at the font's own size (Grayscale8); null with no text.
  QImage TextBitmap;
  // The text bitmap stretched to the box (Grayscale8): the mask that is blended.
  QImage BoxBitmap;
  // Waits the given milliseconds between the demo text's steps.
  std::function<void(int)> DemoWait;

  // ---- Module ----
  void Localize() override;
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  // The button checked while the tool is current and enabled while it may work; the
  // frame's controls while both. (While a box exists its operation runs, and the
  // editor keeps undo and redo off.)
  void UpdateControls() override;

  // ---- Tool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // The pixels under the text back, the box gone, the image as committed.
  void CancelOperation() override;
  // A box that exists is cancelled.
  void DocumentClosing(TZelGraphicsDocument* document) override;
  // A box that exists is committed (one undo step) before the file is written.
  void DocumentSaving(TZelGraphicsDocument* document) override;
  // Only while the tool may work.
  void Select() override;

  // ---- Own operations ----
  void SetFontSize(int32_t value);
  void SetColorMode(int32_t value);
  void SetColor(uint32_t value);
  void SetMaxInverse(bool value);
  void SetStyle(int32_t value);
  // The first of the usual font names the list holds, else DejaVu Sans.
  void SelectDefaultFont();

  // The text bitmap from the memo's lines up to the last non-empty one
  // (quill::RenderTextMask), then StretchToBox and BlendAndShow.
  void RenderText();
  // The box bitmap := the text bitmap stretched to the box (when both have an area).
  void StretchToBox();
  // The committed pixels back under the last box (within the image).
  void RestoreUnderText();
  // RestoreUnderText when shown, then the mask blended into the live image within the
  // box, the image and the box bitmap.
  void BlendText();
  // While a box exists: BlendText, the text shown in the box, the old and new boxes
  // repainted.
  void BlendAndShow();
  // Blends the text once more, records the box (clipped to the image) as one undo
  // step and resets the box.
  void CommitText();
  // Types "Yalta" letter by letter into the memo, DemoWait between the steps.
  void TypeDemoText();

  // The first control, or null.
  TZelTextToolControl* Control() const;
};

#endif  // QUILL_EDITOR_ZELTEXTTOOL_H_
