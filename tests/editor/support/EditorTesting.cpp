#include "EditorTesting.h"

#include <new>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "ImageCodecs.h"
#include "ZelDemoScript.h"
#include "ZelFileDialogs.h"
#include "ZelLTBitmap.h"
#include "ZelSDFReader.h"

namespace quilltest {

bool RunScriptLine(IZelDemoScriptable& component, std::string_view line) {
  const size_t blank = std::min(line.find(' '), line.size());
  TZelDemoScriptParams params;
  ParseScriptArguments(params, quill::TrimBlanks(line.substr(blank)));
  const QString command = QString::fromStdString(quill::UpperCase(line.substr(0, blank)));
  bool handled = false;
  component.ExecuteCommand(nullptr, command, handled, &params);
  return handled;
}

bool FindsScriptTarget(IZelDemoScriptable& component, std::string_view arguments) {
  TZelDemoScriptParams params;
  ParseScriptArguments(params, arguments);
  bool found = false;
  quill::TPoint point{};
  component.GetTargetPoint(nullptr, &params, found, point);
  return found;
}

QImage MakePicture(int width, int height, int seed) {
  QImage picture(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7 + y * 3 + seed);
      row[3 * x + 1] = static_cast<uint8_t>(x * 5 + y * 11 + seed * 3);
      row[3 * x + 2] = static_cast<uint8_t>((x ^ y) * 13 + seed * 5);
    }
  }
  return picture;
}

void PutPixels(TZelGraphicsDocument& document, const QImage& picture) {
  QImage source = picture.convertToFormat(QImage::Format_BGR888);
  TZelPixels pixels;
  pixels.Attach({0, 0, source.width(), source.height()}, source.bits(),
                static_cast<int32_t>(source.bytesPerLine()), quill::kPixelFormat24);
  document.CurrentImage.AssignPixels(pixels);
  document.SetOriginalImage(pixels);
  document.ClearSelection();
  document.SyncCommittedCopy();
}

QImage ReadPicture(const QString& fileName) {
  TZelLTBitmap bitmap;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  if (!quill::LoadImageFile(fileName.toStdString(), bitmap, format, metadata)) return {};
  return PicturePixels(bitmap.GetPixels());
}

uint64_t Fingerprint(const TZelPixels& pixels) {
  // FNV-1a over the bounds, then the rows without their padding.
  uint64_t hash = 14695981039346656037u;
  const auto add = [&hash](uint8_t byte) { hash = (hash ^ byte) * 1099511628211u; };
  for (int32_t value : {pixels.Left(), pixels.Top(), pixels.Width(), pixels.Height()}) {
    for (int shift = 0; shift < 32; shift += 8) add(static_cast<uint8_t>(value >> shift));
  }
  const int64_t rowBytes = int64_t{pixels.Width()} * pixels.BytesPerPixel();
  for (int32_t y = pixels.Top(); y < pixels.Top() + pixels.Height(); ++y) {
    const uint8_t* row = pixels.GetScanLine(pixels.Left(), y);
    for (int64_t i = 0; i < rowBytes; ++i) add(row[i]);
  }
  return hash;
}

QImage PicturePixels(const TZelPixels& pixels) {
  QImage picture(pixels.Width(), pixels.Height(), QImage::Format_BGR888);
  for (int y = 0; y < pixels.Height(); ++y) {
    std::copy_n(pixels.GetScanLine(pixels.Left(), pixels.Top() + y), pixels.Width() * 3,
                picture.scanLine(y));
  }
  return picture;
}

bool PictureFormats::Load(TZelDocument* document, const QString& fileName, int32_t& formatId) {
  auto* graphics = dynamic_cast<TZelGraphicsDocument*>(document);
  if (fileName == outOfMemoryName) throw std::bad_alloc();
  const auto it = pictures.find(fileName);
  if (graphics == nullptr || it == pictures.end()) return false;
  PutPixels(*graphics, it->second.first);
  formatId = it->second.second;
  return true;
}

bool PictureFormats::Save(TZelDocument* /*document*/, const QString& fileName, int32_t formatId,
                          TZelSaveFailure& failure) {
  saves.push_back({fileName, formatId});
  failure = saveResult ? TZelSaveFailure() : saveFailure;
  return saveResult;
}

void EditorTest::SetUp() {
  localizerUnit_ = std::make_unique<quill::TZelLocalizerUnit>();
  SetLanguage(1033);
  formsUnit_ = std::make_unique<quill::TZelFormsUnit>();
  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ZelApplication->SetMessageBoxAnswerer([this](const QString& text, const QString&, uint32_t flags) {
    boxes_.push_back({text, flags});
    return answer_ ? answer_(text, flags) : quill::IDOK;
  });
  ZelApplication->CreateComponent(editor_);
  GraphicsEditor = editor_;
  ZelApplication->LoadSettings();
  MainForm->resize(900, 700);
  MainForm->show();
  ProcessEvents();
}

void EditorTest::TearDown() {
  // Nothing may ask about unsaved changes while everything goes.
  answer_ = [](const QString&, uint32_t) { return quill::IDNO; };
  formsUnit_.reset();
  editor_ = nullptr;
  localizerUnit_.reset();
  QDir(QFileInfo(TZelApplication::GetSettingsFileName()).absolutePath()).removeRecursively();
}

TZelGraphicsDocument* EditorTest::Open(const QString& fileName, const QImage& picture,
                                       int32_t formatId) {
  editor_->formats.pictures[fileName] = {picture, formatId};
  TZelDocument* document = nullptr;
  if (!editor_->OpenFile(fileName, document, true)) return nullptr;
  ProcessEvents();
  return static_cast<TZelGraphicsDocument*>(document);
}

void EditorTest::AnswerSaveDialog(int filterIndex, const QString& name, bool& shown) {
  shown = false;
  QTimer::singleShot(0, [filterIndex, name, &shown] {
    auto* dialog = dynamic_cast<TZelSaveDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    shown = true;
    dialog->SetFilterIndex(filterIndex);
    dialog->selectFile(name);
    static_cast<QDialog*>(dialog)->accept();
  });
}

bool EditorTest::SaveAs(int filterIndex, const QString& name) {
  bool shown = false;
  AnswerSaveDialog(filterIndex, name, shown);
  const bool result = editor_->QuerySaveDocument(editor_->GetCurrentDocument());
  EXPECT_TRUE(shown);
  return result;
}

QImage EditorTest::SaveAsPng(const QString& name) {
  const bool real = editor_->realFormats;
  editor_->realFormats = true;
  const bool saved = SaveAs(3, name);
  editor_->realFormats = real;
  return saved ? ReadPicture(name) : QImage();
}

void EditorTest::ExpectClosingAsksOnlyAwayFromTheSave(const QImage& before, const QImage& saved) {
  TZelGraphicsDocument* document = editor_->GetCurrentDocument();
  ASSERT_NE(document, nullptr);
  const auto live = [document] { return PicturePixels(document->GetCurrentPixels()); };
  const size_t asked = boxes_.size() + 1;
  editor_->UndoClick();
  EXPECT_EQ(live(), before);
  answer_ = [](const QString&, uint32_t) { return quill::IDCANCEL; };
  editor_->CloseClick();
  EXPECT_EQ(boxes_.size(), asked);
  ASSERT_EQ(editor_->GetDocumentCount(), 1);
  editor_->RedoClick();
  EXPECT_EQ(live(), saved);
  editor_->CloseClick();
  ProcessEvents();
  EXPECT_EQ(boxes_.size(), asked);
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
}

void EditorTest::ProcessEvents() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

bool ProbeControl::MouseWheel(quill::TShiftState /*shift*/, int delta, const quill::TPoint& /*point*/) {
  wheelDeltas.push_back(delta);
  return claim;
}

bool ProbeControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  keysDown.push_back(key);
  return claim;
}

bool ProbeControl::KeyUp(uint16_t key, quill::TShiftState /*shift*/) {
  keysUp.push_back(key);
  return claim;
}

bool ProbeControl::SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& /*cursor*/) {
  cursorShift = shift;
  cursorPoint = point;
  return false;
}

bool ProbeControl::MouseDown(quill::TMouseButton /*button*/, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  downs.push_back(point);
  return claim;
}

ProbeTool::ProbeTool(quill::TZelComponent* owner) : TZelGraphicsTool(owner) {
  ControlClass = &MakeControl<ProbeControl>;
}

void InvertTool::InvertRect(const quill::TRect& rect) {
  const quill::TRect inside = quill::IntersectRect(rect, Live->GetBounds());
  for (int32_t y = inside.Top; y < inside.Bottom; ++y) {
    uint8_t* pixel = Live->GetPixelAddress(inside.Left, y);
    for (int64_t i = 0; i < inside.Width() * 3; ++i) pixel[i] = static_cast<uint8_t>(~pixel[i]);
  }
  AddDirtyRect(rect, false);
}

void InvertTool::Invert(TZelGraphicsView* view, const quill::TRect& rect) {
  if (!BeginOperation(view)) return;
  InvertRect(rect);
  EndOperation();
}

}  // namespace quilltest
