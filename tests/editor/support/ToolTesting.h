// What the brush tools' tests share: the program's tool panel with the Wire Eraser and
// Hand Inpainting in it (as the composition root creates them), the bundled sample
// photo with its cable read through the program's own codecs, the demo player's
// pointer driver moving and clicking over the view at 1:1, and the command-line
// drivers of bench/quality run on the same photo for the pixels to compare with.

#ifndef QUILL_TESTS_EDITOR_TOOLTESTING_H_
#define QUILL_TESTS_EDITOR_TOOLTESTING_H_

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

#include "EditorTesting.h"
#include "PointerDriver.h"
#include "ZelProperties.h"
#include "ZelTypes.h"

namespace quilltest {

class BrushToolTest : public EditorTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens the sample photo (astronaut-wire.png) at 1:1.
  TZelGraphicsDocument* OpenSample();
  // Opens Picture at 1:1.
  TZelGraphicsDocument* OpenAtActualSize(const QImage& picture);

  // The pointer driver: to the screen point over image pixel Point, delivered.
  void MoveTo(const quill::TPoint& point);
  // MOUSEEVENTF_* flags at the present position, delivered.
  void Buttons(uint32_t flags);
  // One script command with an integer, or a text, as its first argument.
  void Command(TZelGraphicsTool* tool, const QString& command, int32_t value);
  void Command(TZelGraphicsTool* tool, const QString& command, const char* text);

  // Runs a bench/quality driver with Arguments; its stdout, or fails the test.
  QString RunDriver(const QString& program, const QStringList& arguments);

  QImage Live() const { return PicturePixels(document_->GetCurrentPixels()); }

  TZelGraphicsDocument* document_ = nullptr;
  quill::QtPointerDriver pointer_;
  QTemporaryDir scratch_;
  RecordingRecorder recorder_;
};

}  // namespace quilltest

#endif  // QUILL_TESTS_EDITOR_TOOLTESTING_H_
