// What the editor's tests share: a recorder that keeps the lines, pictures made in
// memory, a format table that "loads" those pictures by name (the pixels are put into
// the document directly, no file is read) and records saves, and a fixture with the
// application object, the localizer over the program's language files and a graphics
// editor on that table, its main window shown.

#ifndef QUILL_TESTS_EDITOR_EDITORTESTING_H_
#define QUILL_TESTS_EDITOR_EDITORTESTING_H_

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "MainForm.h"
#include "ZelDemoScriptable.h"
#include "ZelForms.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsFormats.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelRecorder.h"

namespace quilltest {

class RecordingRecorder : public quill::TZelRecorder {
 public:
  bool IsRecording() const override { return recording; }
  void RecordLine(const QString& line) override { lines.append(line); }
  bool GetRecordMessages() const override { return recordMessages; }
  QString GetMessageText() const override { return QStringLiteral("Click"); }

  bool recording = true;
  bool recordMessages = false;
  QStringList lines;
};

// Line ("Command arguments") as the player runs a command no registration covers: the
// command word upper-cased, its arguments parsed, offered to Component's
// ExecuteCommand. Whether Component took it.
bool RunScriptLine(IZelDemoScriptable& component, std::string_view line);
// Whether Component finds the script target that Arguments name (a pointer command's
// argument text), as the player asks for it.
bool FindsScriptTarget(IZelDemoScriptable& component, std::string_view arguments);

// A Width x Height picture (pixel format 4114) whose every pixel differs from its
// neighbours, varied by Seed.
QImage MakePicture(int width, int height, int seed = 0);

// The document's three images := Picture, the selection cleared.
void PutPixels(TZelGraphicsDocument& document, const QImage& picture);

// The pixels of Pixels as a picture (a copy).
QImage PicturePixels(const TZelPixels& pixels);

// The picture a file holds, read through the program's codecs; null when unreadable.
QImage ReadPicture(const QString& fileName);

// A fingerprint of Pixels' bounds and bytes, taken without allocating: what a test
// compares where memory has run out.
uint64_t Fingerprint(const TZelPixels& pixels);

// A table whose Load gives the pictures registered under a file name (format id
// Format) and fails for every other name, and throws std::bad_alloc for
// OutOfMemoryName (a picture larger than the memory there is); Save records its calls
// and answers SaveResult, with SaveFailure when that is false.
class PictureFormats : public TZelGraphicsFormats {
 public:
  struct TSave {
    QString FileName;
    int32_t FormatId;
  };

  bool Load(TZelDocument* document, const QString& fileName, int32_t& formatId) override;
  using TZelGraphicsFormats::Save;
  bool Save(TZelDocument* document, const QString& fileName, int32_t formatId,
            TZelSaveFailure& failure) override;

  std::map<QString, std::pair<QImage, int32_t>> pictures;
  std::vector<TSave> saves;
  bool saveResult = true;
  TZelSaveFailure saveFailure;
  QString outOfMemoryName;
};

// A graphics editor on the picture table, or with realFormats on the program's own.
class PictureEditor : public TZelGraphicsEditor {
 public:
  using TZelGraphicsEditor::TZelGraphicsEditor;
  TZelDocumentFormats& GetFormats() override {
    return realFormats ? TZelGraphicsEditor::GetFormats() : formats;
  }
  PictureFormats formats;
  bool realFormats = false;
};

class EditorTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Registers Picture under FileName and opens it.
  TZelGraphicsDocument* Open(const QString& fileName, const QImage& picture, int32_t formatId = 0);
  TZelGraphicsView* View() const { return editor_->GetCurrentView(); }
  // Answers the next Save As dialog, once its modal loop runs, with the filter
  // FilterIndex and the typed name Name; Shown tells whether it came.
  static void AnswerSaveDialog(int filterIndex, const QString& name, bool& shown);
  // Runs the Save As flow on the current document, answering its dialog with the
  // filter FilterIndex and the typed name Name. The flow's result.
  bool SaveAs(int filterIndex, const QString& name);
  // The same with the PNG filter and the program's own format table, whichever table
  // opened the document: the picture the file then holds, null when nothing was saved.
  QImage SaveAsPng(const QString& name);
  // The current document stands at its saved step, showing Saved: an undo shows Before
  // and makes closing ask (answered Cancel); a redo shows Saved again, and closing then
  // asks nothing and closes the document.
  void ExpectClosingAsksOnlyAwayFromTheSave(const QImage& before, const QImage& saved);
  // Delivers what a running event loop would: posted events, layouts, deletions.
  static void ProcessEvents();

  PictureEditor* editor_ = nullptr;
  // The message boxes shown: text and flags; Answer gives the button.
  struct TBox {
    QString Text;
    uint32_t Flags;
  };
  std::vector<TBox> boxes_;
  std::function<int(const QString&, uint32_t)> answer_;

 private:
  std::unique_ptr<quill::TZelLocalizerUnit> localizerUnit_;
  std::unique_ptr<quill::TZelFormsUnit> formsUnit_;
};

// A control that records the events offered to it and claims what its test says.
class ProbeControl : public TZelGraphicsToolControl {
 public:
  using TZelGraphicsToolControl::TZelGraphicsToolControl;
  bool MouseWheel(quill::TShiftState shift, int delta, const quill::TPoint& point) override;
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;
  bool KeyUp(uint16_t key, quill::TShiftState shift) override;
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Records what the cursor was asked for; claims nothing.
  bool SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& cursor) override;

  std::vector<int> wheelDeltas;
  quill::TShiftState cursorShift = 0;
  quill::TPoint cursorPoint;
  std::vector<uint16_t> keysDown;
  std::vector<uint16_t> keysUp;
  std::vector<quill::TPoint> downs;
  bool claim = false;
};

// A tool whose control is a ProbeControl.
class ProbeTool : public TZelGraphicsTool {
 public:
  explicit ProbeTool(quill::TZelComponent* owner);
  ProbeControl* Probe() const { return static_cast<ProbeControl*>(GetControl(0)); }
};

// The stand-in of a painting tool: one operation inverts a rectangle of the live image.
class InvertTool : public TZelGraphicsTool {
 public:
  explicit InvertTool(quill::TZelComponent* owner) : TZelGraphicsTool(owner) {
    Name = QStringLiteral("Invert");
  }
  // Inverts Rect (clipped to the image) in the running operation and adds it, as
  // given, to the dirty rectangle.
  void InvertRect(const quill::TRect& rect);
  // BeginOperation, InvertRect, EndOperation.
  void Invert(TZelGraphicsView* view, const quill::TRect& rect);
};

}  // namespace quilltest

#endif  // QUILL_TESTS_EDITOR_EDITORTESTING_H_
