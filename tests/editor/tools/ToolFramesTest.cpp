// The tools' option frames in the tool panel of the program as its composition root
// builds it, on the sample photo: every frame, in every state of its options and in
// English and German, fits the panel at the composition root's width; every frame
// shows or hides its options with the same link; the text frame's size and font are
// chosen, never typed.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFontComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOption>
#include <QTest>

#include <functional>
#include <vector>

#include "MainForm.h"
#include "Module.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelCrop2Tool.h"
#include "ZelDemonstrationModule.h"
#include "ZelDockablePanel.h"
#include "ZelGraphicsEditor.h"
#include "ZelHandInpaintingTool.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelTextTool.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

namespace {

// The tool panel's client width as the composition root fixes it.
constexpr int kPanelWidth = 264;

// One state of a tool's options: Arrange puts the tool into it with the tool selected.
struct TFrameState {
  QString Name;
  TZelGraphicsTool* Tool;
  QWidget* Frame;
  std::function<void()> Arrange;
};

// A widget named for a failure message: its class and its text.
QString Describe(const QWidget& widget) {
  QString text;
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) text = label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) text = button->text();
  const QString name = QString::fromLatin1(widget.metaObject()->className());
  return text.isEmpty() ? name : name + QStringLiteral(" \"") + text + QLatin1Char('"');
}

// Qt's own controls, whose inner widgets are Qt's to place.
bool IsControl(const QWidget& widget) {
  return qobject_cast<const QAbstractButton*>(&widget) != nullptr ||
         qobject_cast<const QLabel*>(&widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(&widget) != nullptr ||
         qobject_cast<const QComboBox*>(&widget) != nullptr ||
         qobject_cast<const QAbstractSlider*>(&widget) != nullptr ||
         qobject_cast<const QAbstractScrollArea*>(&widget) != nullptr;
}

// A widget's rectangle for a failure message.
QString Where(const QRect& rect) {
  return QStringLiteral("(%1, %2, %3 x %4)").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

// What of Parent's shown widgets is cut: a widget reaching outside its parent or
// outside Area (the part of the panel that shows them), one smaller than its minimum
// size, a wrapped text that needs more lines than it has room for.
void CollectMisfits(const QWidget& parent, const QWidget& area, QStringList& misfits) {
  for (const QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() || !child->isVisible()) continue;
    const QRect shown(child->mapTo(&area, QPoint(0, 0)), child->size());
    if (!area.rect().contains(shown)) {
      misfits << Describe(*child) + QStringLiteral(" at ") + Where(shown) + QStringLiteral(" outside the panel's ") +
                     Where(area.rect());
    } else if (!parent.rect().contains(child->geometry())) {
      misfits << Describe(*child) + QStringLiteral(" at ") + Where(child->geometry()) + QStringLiteral(" outside ") +
                     Describe(parent) + QLatin1Char(' ') + Where(parent.rect());
    }
    const QSize minimum = child->minimumSizeHint();
    if (minimum.isValid() && (child->width() < minimum.width() || child->height() < minimum.height())) {
      misfits << QStringLiteral("%1 is %2 x %3, needs %4 x %5")
                     .arg(Describe(*child))
                     .arg(child->width())
                     .arg(child->height())
                     .arg(minimum.width())
                     .arg(minimum.height());
    }
    const auto* label = qobject_cast<const QLabel*>(child);
    if (label != nullptr && label->wordWrap() && label->heightForWidth(label->width()) > label->height()) {
      misfits << QStringLiteral("%1 needs %2 pixels' height, has %3")
                     .arg(Describe(*child))
                     .arg(label->heightForWidth(label->width()))
                     .arg(label->height());
    }
    if (!IsControl(*child)) CollectMisfits(*child, area, misfits);
  }
}

// The program as its main function puts it together, its window tall enough for every
// frame, on the sample photo.
class ToolFramesTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLanguage(1033);
    ZelApplication->SetTitle(QStringLiteral("Quillmere"));
    ZelApplication->SetMessageBoxAnswerer([](const QString&, const QString&, uint32_t) { return quill::IDNO; });
    ZelApplication->CreateForm(Module);
    DemonstrationModule->ShowAtStartup = false;
    ZelApplication->LoadSettings();
    MainForm->setGeometry(0, 0, 1100, 1000);
    MainForm->show();
    TZelDocument* document = nullptr;
    ASSERT_TRUE(GraphicsEditor->OpenFile(QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"), document, true));
    Settle();
    contrast_ = BrightnessContrastTool;
    text_ = TextTool;
    ASSERT_NE(contrast_, nullptr);
    ASSERT_NE(text_, nullptr);
  }
  void TearDown() override { SetLanguage(1033); }

  // Layouts, posted events and the idle handlers, as the event loop runs them.
  static void Settle() {
    for (int i = 0; i < 3; ++i) {
      QApplication::processEvents();
      ZelApplication->DoIdle();
    }
  }

  // Every tool with a frame, in every state of its options.
  std::vector<TFrameState> States() const {
    TZelBrightnessContrastTool* contrast = contrast_;
    TZelCrop2Frame* crop = Crop2Tool->Frame;
    return {
        {"Wire Eraser", WireEraserTool, WireEraserTool->Frame, [] {}},
        {"Hand Inpainting, options hidden", HandInpaintingTool, HandInpaintingTool->Frame,
         [] { HandInpaintingTool->OptionsShown = false; }},
        {"Hand Inpainting, options shown", HandInpaintingTool, HandInpaintingTool->Frame,
         [] { HandInpaintingTool->OptionsShown = true; }},
        {"undo brush, options hidden", UndoBrushTool, UndoBrushTool->Frame,
         [] { UndoBrushTool->SetOptionsShown(false); }},
        {"undo brush, options shown", UndoBrushTool, UndoBrushTool->Frame,
         [] { UndoBrushTool->SetOptionsShown(true); }},
        {"brightness and contrast, options hidden", contrast, contrast->Frame,
         [contrast] { contrast->SetOptionsShown(false); }},
        {"brightness and contrast, options shown", contrast, contrast->Frame,
         [contrast] { contrast->SetOptionsShown(true); }},
        {"rotate, options hidden", RotateTool, RotateTool->Frame, [] { RotateTool->SetOptionsShown(false); }},
        {"rotate, options shown", RotateTool, RotateTool->Frame, [] { RotateTool->SetOptionsShown(true); }},
        {"resize, options hidden", ResizeTool, ResizeTool->Frame, [] { ResizeTool->SetOptionsShown(false); }},
        {"resize, options shown", ResizeTool, ResizeTool->Frame, [] { ResizeTool->SetOptionsShown(true); }},
        {"crop, options hidden", Crop2Tool, crop, [] { Crop2Tool->SetOptionsShown(false); }},
        {"crop, free ratio", Crop2Tool, crop,
         [crop] {
           Crop2Tool->SetOptionsShown(true);
           crop->rbFree->setChecked(true);
         }},
        {"crop, photo print ratio", Crop2Tool, crop,
         [crop] {
           Crop2Tool->SetOptionsShown(true);
           crop->rbFoto->setChecked(true);
         }},
        {"crop, screen ratio", Crop2Tool, crop,
         [crop] {
           Crop2Tool->SetOptionsShown(true);
           crop->rbScreen->setChecked(true);
         }},
        {"text", text_, text_->Frame, [] {}},
    };
  }

  TZelBrightnessContrastTool* contrast_ = nullptr;
  TZelTextTool* text_ = nullptr;

 private:
  quill::TZelLocalizerUnit localizerUnit_;
  quill::TZelFormsUnit formsUnit_;
  quill::TZelPrinterUnit printerUnit_;
};

TEST_F(ToolFramesTest, EveryFrameFitsThePanelInEveryStateInEnglishAndGerman) {
  quill::TZelDockablePanel& panel = *ToolPanelModule->GetPanel();
  panel.SetMinClientWidth(kPanelWidth);
  panel.SetMaxClientWidth(kPanelWidth);
  for (const uint16_t language : {1033, 1031}) {
    SetLanguage(language);
    for (const TFrameState& state : States()) {
      SCOPED_TRACE(QStringLiteral("%1, %2").arg(language).arg(state.Name).toStdString());
      state.Tool->Select();
      ASSERT_EQ(GraphicsEditor->CurrentTool, state.Tool);
      state.Arrange();
      Settle();
      // The frame lies in its area's viewport, which is the whole client width.
      const QWidget& viewport = *state.Frame->parentWidget();
      ASSERT_TRUE(viewport.isVisible());
      ASSERT_EQ(viewport.width(), kPanelWidth);
      QStringList misfits;
      CollectMisfits(*state.Frame, viewport, misfits);
      EXPECT_TRUE(misfits.isEmpty()) << misfits.join(QLatin1Char('\n')).toStdString();
    }
  }
}

// The window at the form's own 534 x 458, where most frames need a vertical scroll bar,
// and as it first opens on the test's 800 x 600 screen: the panel's client width stays,
// and a frame taller than the panel scrolls down, never sideways. At the first size
// only the text frame, the tallest, may scroll at all.
TEST_F(ToolFramesTest, NoFrameScrollsSidewaysAndAtTheFirstSizeOnlyTheTextFrameScrolls) {
  const QSize firstSize = quill::FirstMainWindowSize(QGuiApplication::primaryScreen()->availableGeometry().size());
  for (const QSize& size : {QSize(534, 458), firstSize}) {
    MainForm->setGeometry(QRect(QPoint(0, 0), size));
    for (const uint16_t language : {1033, 1031}) {
      SetLanguage(language);
      for (const TFrameState& state : States()) {
        SCOPED_TRACE(QStringLiteral("%1 x %2, %3, %4")
                         .arg(size.width())
                         .arg(size.height())
                         .arg(language)
                         .arg(state.Name)
                         .toStdString());
        state.Tool->Select();
        state.Arrange();
        Settle();
        const auto* area = qobject_cast<const QAbstractScrollArea*>(state.Frame->parentWidget()->parentWidget());
        ASSERT_NE(area, nullptr);
        EXPECT_EQ(area->width(), 272);
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible())
            << "the frame needs " << state.Frame->minimumSizeHint().width() << " pixels, the panel shows "
            << area->viewport()->width();
        if (size == firstSize && state.Tool != text_) EXPECT_FALSE(area->verticalScrollBar()->isVisible());
      }
    }
  }
}

TEST_F(ToolFramesTest, EveryFrameTogglesItsOptionsWithTheSameLink) {
  struct TToggle {
    const char* Name;
    QWidget* Frame;
    QWidget* Link;
    std::function<void(bool)> SetShown;
  };
  TZelBrightnessContrastTool* contrast = contrast_;
  const TToggle toggles[] = {
      {"undo brush", UndoBrushTool->Frame, UndoBrushTool->Frame->ShowOptions,
       [](bool shown) { UndoBrushTool->SetOptionsShown(shown); }},
      {"brightness and contrast", contrast->Frame, contrast->Frame->ShowOptions,
       [contrast](bool shown) { contrast->SetOptionsShown(shown); }},
      {"rotate", RotateTool->Frame, RotateTool->Frame->ShowOptions,
       [](bool shown) { RotateTool->SetOptionsShown(shown); }},
      {"crop", Crop2Tool->Frame, Crop2Tool->Frame->ShowOptions,
       [](bool shown) { Crop2Tool->SetOptionsShown(shown); }},
  };
  for (const uint16_t language : {1033, 1031}) {
    SetLanguage(language);
    const QString hide = GetLocalizedString(quill::kHideOptionsText, QStringLiteral("Hide Options"));
    const QString show = GetLocalizedString(quill::kShowOptionsText, QStringLiteral("Show More Options"));
    for (const bool shown : {false, true}) {
      const auto* first = qobject_cast<quill::TZelShowOptionsLink*>(toggles[0].Link);
      ASSERT_NE(first, nullptr);
      toggles[0].SetShown(shown);
      for (const TToggle& toggle : toggles) {
        SCOPED_TRACE(QStringLiteral("%1, %2, %3").arg(language).arg(QLatin1String(toggle.Name)).arg(shown).toStdString());
        // The frame's one option toggle is the shared link ...
        const QList<quill::TZelShowOptionsLink*> links = toggle.Frame->findChildren<quill::TZelShowOptionsLink*>();
        ASSERT_EQ(links.size(), 1);
        ASSERT_EQ(links.front(), toggle.Link);
        const quill::TZelShowOptionsLink& link = *links.front();
        // ... captioned and drawn as every other frame's in the same state.
        toggle.SetShown(shown);
        EXPECT_EQ(link.text(), shown ? hide : show);
        EXPECT_EQ(link.arrowType(), Qt::NoArrow);
        EXPECT_EQ(link.palette().color(QPalette::ButtonText), first->palette().color(QPalette::ButtonText));
        EXPECT_EQ(link.icon().pixmap(16).toImage(), first->icon().pixmap(16).toImage());
        EXPECT_EQ(link.toolButtonStyle(), first->toolButtonStyle());
        EXPECT_EQ(link.autoRaise(), first->autoRaise());
      }
    }
  }
}

TEST_F(ToolFramesTest, TheTextSizeStepsByItsArrowsAndTheFontIsChosenFromTheList) {
  text_->Select();
  Settle();
  QSpinBox& size = *text_->Frame->SizeSpinEdit;
  ASSERT_EQ(size.value(), 32);
  // Typed digits change nothing; a selection typed over is not replaced either.
  QTest::keyClicks(&size, QStringLiteral("99"));
  size.selectAll();
  QTest::keyClicks(&size, QStringLiteral("7"));
  QTest::keyClick(&size, Qt::Key_Backspace);
  EXPECT_EQ(size.text(), QStringLiteral("32"));
  EXPECT_EQ(text_->FontSize, 32);
  // The arrows (keys and the buttons) step it.
  QTest::keyClick(&size, Qt::Key_Up);
  EXPECT_EQ(text_->FontSize, 33);
  QStyleOptionSpinBox option;
  option.initFrom(&size);
  option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
  option.frame = true;
  const QRect down = size.style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxDown, &size);
  QTest::mouseClick(&size, Qt::LeftButton, Qt::NoModifier, down.center());
  EXPECT_EQ(text_->FontSize, 32);
  EXPECT_EQ(size.text(), QStringLiteral("32"));

  // The font list has no text to edit: typing picks a font of the list, never a name
  // that is none.
  QFontComboBox& fonts = *text_->Frame->FontNameComboBox;
  EXPECT_EQ(fonts.lineEdit(), nullptr);
  QTest::keyClicks(&fonts, QStringLiteral("Zqxj"));
  EXPECT_GE(fonts.findText(fonts.currentText()), 0);
}

}  // namespace
