#include "ToolTesting.h"

#include <QProcess>

#include "Module.h"
#include "ZelHandInpaintingTool.h"
#include "ZelToolPanelModule.h"
#include "ZelWireEraserTool.h"

namespace quilltest {

void BrushToolTest::SetUp() {
  EditorTest::SetUp();
  ZelApplication->CreateComponent(ToolPanelModule);
  ZelApplication->CreateComponent(WireEraserTool);
  ZelApplication->CreateComponent(HandInpaintingTool);
  editor_->SetActiveTool(WireEraserTool);
  // Room for the whole sample photo at 1:1 beside the tool panel.
  MainForm->resize(1100, 900);
  ProcessEvents();
  pointer_.BeginDriving();
}

void BrushToolTest::TearDown() {
  pointer_.EndDriving();
  EditorTest::TearDown();
}

TZelGraphicsDocument* BrushToolTest::OpenSample() {
  return OpenAtActualSize(ReadPicture(QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.png")));
}

TZelGraphicsDocument* BrushToolTest::OpenAtActualSize(const QImage& picture) {
  document_ = Open(QStringLiteral("/photos/sample.png"), picture);
  if (document_ != nullptr) View()->SetZoom(1, 1);
  ProcessEvents();
  return document_;
}

void BrushToolTest::MoveTo(const quill::TPoint& point) {
  const quill::TPoint device = View()->GetMapMode().LogicalToDevice(point);
  const QPoint screen = View()->mapToGlobal(QPoint(device.X, device.Y));
  pointer_.SetPosition({screen.x(), screen.y()});
  ProcessEvents();
}

void BrushToolTest::Buttons(uint32_t flags) {
  pointer_.SendButtons(flags);
  ProcessEvents();
}

void BrushToolTest::Command(TZelGraphicsTool* tool, const QString& command, int32_t value) {
  TZelProperties params;
  params.SetInteger(0, value);
  bool handled = false;
  tool->ExecuteCommand(nullptr, command, handled, &params);
  EXPECT_TRUE(handled) << command.toStdString();
}

void BrushToolTest::Command(TZelGraphicsTool* tool, const QString& command, const char* text) {
  TZelProperties params;
  params.SetString(0, text);
  bool handled = false;
  tool->ExecuteCommand(nullptr, command, handled, &params);
  EXPECT_TRUE(handled) << command.toStdString();
}

QString BrushToolTest::RunDriver(const QString& program, const QStringList& arguments) {
  QProcess driver;
  driver.start(program, arguments);
  const bool finished = driver.waitForFinished(-1);
  const QString output = QString::fromUtf8(driver.readAllStandardOutput());
  EXPECT_TRUE(finished && driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0)
      << program.toStdString() << ": " << driver.readAllStandardError().toStdString();
  return output;
}

}  // namespace quilltest
