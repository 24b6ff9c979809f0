// The editor's flows over real files with the program's own format table: a photo
// with EXIF opened from the open dialog (with its preview), by a drop and from the
// command line; saved as every format (an edited PNG as a JPEG at the quality asked)
// and browsed back, a read-only .zli among them; failed opens; failed saves reported
// on every path; the EXIF orientation after turns and flips; geometry edits undone
// and redone before a lossless save; and the first edit after opening.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CodecTestSupport.h"
#include "EditorTesting.h"
#include "ImageCodecs.h"
#include "Module.h"
#include "ZelFileDialogs.h"
#include "ZelGraphicsTool.h"
#include "ZelJPEGOptionsForm.h"
#include "ZelRotateTool.h"
#include "ZelToolPanelModule.h"

namespace quilltest {
namespace {

namespace fs = std::filesystem;

// Delivers events until Done holds or ten seconds pass (a guard, not a wait).
bool ProcessEventsUntil(const std::function<bool()>& done) {
  bool expired = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&expired] { expired = true; });
  guard.start(10000);
  while (!done() && !expired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

// The undo record of a crop, as the crop tool keeps it: both images and the JPEG
// object's geometry before the crop.
class CropState : public TZelCustomGraphicsCommandState {
 public:
  CropState(TZelGraphicsDocument* document, const quill::TRect& rect)
      : TZelCustomGraphicsCommandState(nullptr, rect, document) {
    EXPECT_TRUE(document->Snapshot(current_, original_, jpeg_));
    EXPECT_TRUE(document->Crop(rect));
  }
  void Undo() override {
    EXPECT_TRUE(Document->Restore(current_, original_, jpeg_));
    TZelCustomGraphicsCommandState::Undo();
  }
  void Redo() override {
    EXPECT_TRUE(Document->Crop(Rect));
    TZelCustomGraphicsCommandState::Redo();
  }
  int64_t GetSize() const override { return 0; }

 private:
  TZelPixelBuffer current_;
  TZelPixelBuffer original_;
  quill::TLosslessJpeg::TGeometry jpeg_;
};

// The undo record of a quarter turn to the left.
class TurnState : public TZelCustomGraphicsCommandState {
 public:
  explicit TurnState(TZelGraphicsDocument* document)
      : TZelCustomGraphicsCommandState(nullptr, document->CurrentImage.GetBounds(), document) {
    EXPECT_TRUE(document->RotateLeft());
  }
  void Undo() override {
    EXPECT_TRUE(Document->RotateRight());
    TZelCustomGraphicsCommandState::Undo();
  }
  void Redo() override {
    EXPECT_TRUE(Document->RotateLeft());
    TZelCustomGraphicsCommandState::Redo();
  }
  int64_t GetSize() const override { return 0; }
};

class EditorFilesTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    editor_->realFormats = true;
    folder_ = fs::temp_directory_path() /
              ("quill-editor-files-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    // A save that asks for a quality fails the test: every JPEG here is saved losslessly.
    quill::SetJPEGQualityAsker([](int32_t&) {
      ADD_FAILURE() << "the quality was asked";
      return false;
    });
    // The photo: the rocket launch with a camera's EXIF.
    TZelLTBitmap rocket;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    ASSERT_TRUE(quill::LoadImageFile(QUILL_TEST_DATA_DIR "/rocket.jpg", rocket, format, metadata));
    metadata.Items = quill::SampleProperties();
    // Without its orientation: how a turned TIFF is read is the codecs' matter.
    std::erase_if(metadata.Items, [](const quill::TImagePropertyItem& item) { return item.Id == 0x0112; });
    ASSERT_TRUE(quill::SaveImageFile(folder_ / "camera.jpg", rocket.GetPixels(), "image/jpeg", 90, metadata));
    photo_ = Name("camera.jpg");
  }
  void TearDown() override {
    quill::SetJPEGQualityAsker({});
    fs::remove_all(folder_);
    EditorTest::TearDown();
  }

  QString Name(const std::string& name) const {
    return QString::fromStdString((folder_ / name).string());
  }
  TZelGraphicsDocument* OpenFile(const QString& name) {
    TZelDocument* document = nullptr;
    if (!editor_->OpenFile(name, document, true)) return nullptr;
    ProcessEvents();
    return static_cast<TZelGraphicsDocument*>(document);
  }
  QImage Screen() const { return PicturePixels(editor_->GetCurrentDocument()->GetCurrentPixels()); }
  std::string Make() const {
    quill::TImageMetadata metadata;
    WriteImageProperties(editor_->GetCurrentDocument()->Properties, metadata);
    return ReadPropertyText(metadata.Items, quill::kPropertyMake);
  }
  // The picture a file decodes to through the codecs.
  static QImage Decoded(const QString& name) {
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(name.toStdString(), image, format, metadata)) return {};
    return PicturePixels(image.GetPixels());
  }
  static double Difference(const QImage& a, const QImage& b) {
    const auto pixels = [](const QImage& picture) {
      TZelPixels view;
      view.Attach({0, 0, picture.width(), picture.height()}, const_cast<uint8_t*>(picture.constBits()),
                  static_cast<int32_t>(picture.bytesPerLine()), quill::kPixelFormat24);
      return view;
    };
    return quill::MeanDifference(pixels(a), pixels(b));
  }

  fs::path folder_;
  QString photo_;
};

TEST_F(EditorFilesTest, APhotoOpensFromTheDialogWithItsPreviewFromADropAndFromTheCommandLine) {
  const QImage photo = Decoded(photo_);
  ASSERT_FALSE(photo.isNull());

  // File > Open: the dialog previews and describes the photo, then opens it.
  QString description;
  bool previewed = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = dynamic_cast<TZelOpenDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialog->selectFile(photo_);
    // The folder's listing fills in later; the selection is the dialog's own call.
    dialog->SelectionChanged(photo_);
    previewed = ProcessEventsUntil([dialog] { return dialog->GetPreview() != nullptr; });
    description = dialog->findChild<QLabel*>("DescriptionLabel")->text();
    static_cast<QDialog*>(dialog)->accept();
  });
  editor_->OpenClick();
  ProcessEvents();
  EXPECT_TRUE(previewed);
  // The label leaves a line between the picture and the text.
  EXPECT_EQ(description.toStdString(),
            "\nFormat: JPEG\nSize: 640 x 427\nDate: 2024:05:06 07:08:09\nCamera: Quillmere Optics QM-1");
  TZelGraphicsDocument* document = editor_->GetCurrentDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->FileName, photo_);
  EXPECT_EQ(document->FormatId, 0);
  EXPECT_TRUE(document->JPEG->HasImage());
  EXPECT_EQ(Screen(), photo);
  EXPECT_EQ(Make(), "Quillmere Optics");
  EXPECT_EQ(MainForm->windowTitle(), "Quillmere - camera.jpg");
  EXPECT_EQ(editor_->WStatusPanel->text(), "640");
  EXPECT_EQ(editor_->HStatusPanel->text(), "427");
  EXPECT_EQ(editor_->RecentFiles, QStringList{photo_});

  // A drop of a file (with another behind it: only the first counts).
  ASSERT_TRUE(QFile::copy(photo_, Name("dropped.jpg")));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Name("dropped.jpg")), QUrl::fromLocalFile(photo_)});
  // Qt delivers a drop only to the widget that accepted the drag when it entered.
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(MainForm, &enter);
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(MainForm, &drop);
  ProcessEvents();
  ASSERT_NE(editor_->GetCurrentDocument(), nullptr);
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, Name("dropped.jpg"));
  EXPECT_EQ(Screen(), photo);

  // The command line: only the first argument, only an existing file that is no
  // folder, a relative name as a full path.
  editor_->OpenFileArgument({"Quillmere"});
  editor_->OpenFileArgument({"Quillmere", Name("missing.jpg"), photo_});
  editor_->OpenFileArgument({"Quillmere", QString::fromStdString(folder_.string())});
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, Name("dropped.jpg"));
  const QString startFolder = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder_.string())));
  editor_->OpenFileArgument({"Quillmere", "camera.jpg", Name("dropped.jpg")});
  QDir::setCurrent(startFolder);
  ProcessEvents();
  ASSERT_NE(editor_->GetCurrentDocument(), nullptr);
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, photo_);
  EXPECT_EQ(editor_->RecentFiles.front(), photo_);
  EXPECT_EQ(editor_->FolderIndex, 0);  // camera.jpg, dropped.jpg
  EXPECT_EQ(Screen(), photo);
  EXPECT_TRUE(boxes_.empty());
}

// Save As in every format through the dialog; then the folder is browsed from the
// first file to the last, and each opens with the photo's pixels and, where the
// format carries it, its EXIF.
TEST_F(EditorFilesTest, SavedInEveryFormatAndBrowsedBackThePhotoKeepsItsPixelsAndExif) {
  ASSERT_NE(OpenFile(photo_), nullptr);
  const QImage photo = Screen();
  TZelGraphicsDocument* document = editor_->GetCurrentDocument();

  struct TCase {
    int Filter;
    const char* Typed;
    const char* Saved;
    int32_t FormatId;
  };
  const TCase cases[] = {{3, "again", "again.png", 2},     {2, "again.TIF", "again.TIF", 1},
                         {4, "again.dib", "again.dib.bmp", 3}, {1, "again.jpeg", "again.jpeg.jpg", 0},
                         {5, "again", "again.zli", 4}};
  for (const TCase& each : cases) {
    SCOPED_TRACE(each.Saved);
    ASSERT_TRUE(SaveAs(each.Filter, Name(each.Typed)));
    EXPECT_EQ(document->FileName, Name(each.Saved));
    EXPECT_EQ(document->FormatId, each.FormatId);
    EXPECT_TRUE(document->IsSaved());
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Quillmere - ") + each.Saved);
  }
  if (quill::HaveTool("exiftool")) {
    for (const char* name : {"again.png", "again.TIF", "again.jpeg.jpg"}) {
      std::string values;
      quill::RunCommand("exiftool -s -s -s -Make -Model -GPSLatitudeRef '" + Name(name).toStdString() + "'", &values);
      EXPECT_EQ(values, "Quillmere Optics\nQM-1\nNorth\n") << name;
    }
  }

  // A read-only .zli opens too: its header is restored in memory, never in the file.
  ASSERT_EQ(::chmod(Name("again.zli").toLocal8Bit().constData(), 0444), 0);
  // In name order, without regard to case.
  ASSERT_NE(OpenFile(Name("again.dib.bmp")), nullptr);
  const QStringList expected = {Name("again.dib.bmp"), Name("again.jpeg.jpg"), Name("again.png"),
                                Name("again.TIF"), Name("again.zli"), Name("camera.jpg")};
  EXPECT_EQ(editor_->FolderFiles, expected);
  const int32_t formats[] = {3, 0, 2, 1, 4, 0};
  for (int i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].toStdString());
    if (i > 0) editor_->NextImageClick();
    ProcessEvents();
    ASSERT_NE(editor_->GetCurrentDocument(), nullptr);
    EXPECT_EQ(editor_->GetCurrentDocument()->FileName, expected[i]);
    EXPECT_EQ(editor_->GetCurrentDocument()->FormatId, formats[i]);
    EXPECT_EQ(editor_->FolderIndex, i);
    // The lossless saves of the unedited photo keep every coefficient.
    EXPECT_EQ(Screen(), photo);
    EXPECT_EQ(Make(), i == 0 ? "" : "Quillmere Optics");
  }
  editor_->NextImageClick();
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, Name("camera.jpg"));
  EXPECT_TRUE(boxes_.empty());

  // An edited picture from another format is saved as JPEG at the quality asked (a
  // Cancel saves nothing), with the photo's EXIF.
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  ASSERT_NE(OpenFile(Name("again.png")), nullptr);
  tool->Invert(View(), {100, 100, 300, 250});
  const QImage edited = Screen();
  std::vector<int32_t> asked;
  quill::SetJPEGQualityAsker([&asked](int32_t& quality) {
    asked.push_back(quality);
    return false;
  });
  EXPECT_FALSE(SaveAs(1, Name("edited.jpg")));
  EXPECT_FALSE(fs::exists(folder_ / "edited.jpg"));
  quill::SetJPEGQualityAsker([&asked](int32_t& quality) {
    asked.push_back(quality);
    quality = 95;
    return true;
  });
  ASSERT_TRUE(SaveAs(1, Name("edited.jpg")));
  EXPECT_EQ(asked, (std::vector<int32_t>{80, 80}));
  ASSERT_NE(OpenFile(Name("edited.jpg")), nullptr);
  EXPECT_EQ(editor_->GetCurrentDocument()->FormatId, 0);
  EXPECT_EQ(Make(), "Quillmere Optics");
  EXPECT_LE(Difference(Screen(), edited), 1.5);
  EXPECT_GT(Difference(Screen(), photo), 10.0);  // the edit was saved
}

TEST_F(EditorFilesTest, EveryFailedOpenNamesTheFile) {
  const std::vector<uint8_t> jpeg = quill::FileBytes(folder_ / "camera.jpg");
  quill::WriteBytes(folder_ / "half.jpg", {jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2)});
  quill::WriteBytes(folder_ / "text.jpg", {'n', 'o', ' ', 'p', 'h', 'o', 't', 'o', ' ', 'h', 'e', 'r', 'e', '!', '!', '!', '!'});
  // A bitmap header for 100000 x 100000 pixels, beyond what any image may hold.
  std::vector<uint8_t> huge = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0xA0, 0x86, 0x01,
                               0,   0xA0, 0x86, 0x01, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                               0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0};
  huge.resize(4096, 0x80);
  quill::WriteBytes(folder_ / "huge.bmp", huge);
  // A 2 x 2 bitmap whose pixels would start inside its own info header (at 30).
  std::vector<uint8_t> inside(huge.begin(), huge.begin() + 54);
  inside[10] = 30;
  inside[18] = 2, inside[19] = 0, inside[20] = 0;
  inside[22] = 2, inside[23] = 0, inside[24] = 0;
  inside.resize(54 + 16, 0x80);
  quill::WriteBytes(folder_ / "inside.bmp", inside);
  quill::WriteBytes(folder_ / "locked.jpg", jpeg);
  ::chmod((folder_ / "locked.jpg").c_str(), 0);
  fs::create_directories(folder_ / "folder.jpg");
  ASSERT_EQ(::mkfifo((folder_ / "pipe.jpg").c_str(), 0600), 0);

  std::vector<const char*> names = {"missing.jpg", "half.jpg", "text.jpg", "huge.bmp", "inside.bmp", "folder.jpg",
                                    "pipe.jpg"};
  if (::geteuid() != 0) names.push_back("locked.jpg");  // root reads it anyway
  for (const char* name : names) {
    SCOPED_TRACE(name);
    ASSERT_NE(OpenFile(photo_), nullptr);
    boxes_.clear();
    EXPECT_EQ(OpenFile(Name(name)), nullptr);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Text, "The file " + Name(name) + " cannot be opened.");
    EXPECT_EQ(boxes_[0].Flags, MB_ICONERROR);
    EXPECT_EQ(editor_->GetDocumentCount(), 0);  // the photo was closed first
    EXPECT_EQ(MainForm->windowTitle(), "Quillmere");
  }
}

// A save that fails says so on every path that saves, naming the file and the
// system's reason; the old file stays whole, no temporary file is left behind, and
// the document keeps its name, format and modified mark. The full file system is a
// file size limit: the encoded photo no longer fits.
TEST_F(EditorFilesTest, AFailedSaveNamesTheFileAndTheReasonOnEveryPath) {
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  TZelGraphicsDocument* document = OpenFile(photo_);
  ASSERT_NE(document, nullptr);
  tool->Invert(View(), {10, 10, 40, 40});
  const std::vector<uint8_t> photo = quill::FileBytes(folder_ / "camera.jpg");
  quill::WriteBytes(folder_ / "locked.png", {'o', 'l', 'd'});
  ::chmod((folder_ / "locked.png").c_str(), 0444);
  const auto expectNothingChanged = [&] {
    EXPECT_EQ(quill::FileBytes(folder_ / "camera.jpg"), photo);
    EXPECT_EQ(quill::FileBytes(folder_ / "locked.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2)
        << "a file was left";
    ASSERT_EQ(editor_->GetCurrentDocument(), document);
    EXPECT_EQ(document->FileName, photo_);
    EXPECT_EQ(document->FormatId, 0);
    EXPECT_FALSE(document->IsSaved());
    EXPECT_EQ(MainForm->windowTitle(), "Quillmere - camera.jpg");
  };
  const auto saveError = [](const QString& name, const QString& reason) {
    return "The file " + name + " cannot be saved.\n" + reason;
  };
  const auto systemReason = [](int error) { return QString::fromLocal8Bit(std::strerror(error)) + u'.'; };
  const QString tooLarge = systemReason(EFBIG);
  // Yes to every question; OK to the error.
  answer_ = [](const QString&, uint32_t flags) { return flags == MB_ICONERROR ? quill::IDOK : quill::IDYES; };
  bool shown = false;

  // File > Close, Yes to saving, the photo's own name (replaced): the close stops.
  AnswerSaveDialog(1, photo_, shown);
  {
    const quill::FileSizeLimit full(4096);
    editor_->CloseClick();
  }
  EXPECT_TRUE(shown);
  ASSERT_EQ(boxes_.size(), 3u);  // save changes, replace, the error
  EXPECT_EQ(boxes_[2].Text, saveError(photo_, tooLarge));
  EXPECT_EQ(boxes_[2].Flags, MB_ICONERROR);
  expectNothingChanged();

  // Opening another photo asks the same; the failed save keeps this one open.
  boxes_.clear();
  AnswerSaveDialog(1, photo_, shown);
  {
    const quill::FileSizeLimit full(4096);
    EXPECT_EQ(OpenFile(Name("locked.png")), nullptr);
  }
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].Text, saveError(photo_, tooLarge));
  expectNothingChanged();

  // Save As from the menu (Ctrl+S) onto a read-only file: the refusal is its reason.
  ASSERT_EQ(editor_->SaveAsMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  boxes_.clear();
  AnswerSaveDialog(3, Name("locked.png"), shown);
  editor_->SaveAsMenuItem->trigger();
  ASSERT_EQ(boxes_.size(), 2u);  // replace, the error
  EXPECT_EQ(boxes_[1].Text, saveError(Name("locked.png"), "The file is read-only."));
  expectNothingChanged();

  // The toolbar's button, a .zli through the JPEG object, on the full file system.
  boxes_.clear();
  AnswerSaveDialog(5, Name("camera"), shown);
  {
    const quill::FileSizeLimit full(4096);
    editor_->SaveToolButton->trigger();
  }
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, saveError(Name("camera.zli"), tooLarge));
  expectNothingChanged();

  // A PNG into a folder that is not there.
  boxes_.clear();
  EXPECT_FALSE(SaveAs(3, Name("gone/photo.png")));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, saveError(Name("gone/photo.png"), systemReason(ENOENT)));
  expectNothingChanged();

  // Cancel in the quality dialog is the user's own choice: nothing to report.
  document->JPEG = nullptr;  // as without the lossless library: JPEG asks the quality
  quill::SetJPEGQualityAsker([](int32_t&) { return false; });
  boxes_.clear();
  EXPECT_FALSE(SaveAs(1, Name("new.jpg")));
  EXPECT_TRUE(boxes_.empty());
  expectNothingChanged();
}

// A photo whose EXIF says it is stored turned (Orientation 6) is shown as stored.
// Saved after the user turned or mirrored it, the file says top-left (1), so that
// every viewer shows it as the user saw it; where the turns and flips cancel out, the
// item stays as it was. The net turn follows undo and redo; a crop changes nothing.
TEST_F(EditorFilesTest, ASavedTurnOrFlipSaysTopLeftAndTurnsThatCancelOutKeepTheOrientation) {
  ZelApplication->CreateComponent(ToolPanelModule);
  ZelApplication->CreateComponent(RotateTool);
  TZelLTBitmap rocket;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(QUILL_TEST_DATA_DIR "/rocket.jpg", rocket, format, metadata));
  metadata.Items = quill::SampleProperties();
  ASSERT_TRUE(quill::SaveImageFile(folder_ / "sideways.jpg", rocket.GetPixels(), "image/jpeg", 90, metadata));
  ASSERT_EQ(quill::ReadOrientation(folder_ / "sideways.jpg"), 6);

  TZelEditor& editor = *editor_;
  const auto crop = [this] {
    TZelGraphicsDocument* document = editor_->GetCurrentDocument();
    document->AddCommandState(std::make_unique<CropState>(document, quill::TRect{16, 16, 200, 160}));
  };
  struct TCase {
    const char* Name;
    std::function<void()> Steps;
    int Orientation;
  };
  const TCase cases[] = {
      {"nothing", [] {}, 6},
      {"one turn", [] { RotateTool->RotateRight(); }, 1},
      {"four turns", [] { for (int i = 0; i < 4; ++i) RotateTool->RotateLeft(); }, 6},
      {"turn then undo", [&] { RotateTool->RotateRight(); editor.UndoClick(); }, 6},
      {"turn, undo, redo", [&] { RotateTool->RotateRight(); editor.UndoClick(); editor.RedoClick(); }, 1},
      {"flip twice", [] { RotateTool->FlipHorizontal(); RotateTool->FlipHorizontal(); }, 6},
      {"flips across: a half turn", [] { RotateTool->FlipHorizontal(); RotateTool->FlipVertical(); }, 1},
      {"flips across and a half turn back",
       [] {
         RotateTool->FlipHorizontal();
         RotateTool->FlipVertical();
         RotateTool->RotateLeft();
         RotateTool->RotateLeft();
       },
       6},
      {"mirror and turn, all undone, all redone",
       [&] {
         RotateTool->FlipVertical();
         RotateTool->RotateLeft();
         editor.UndoAllClick();
         editor.RedoAllClick();
       },
       1},
      {"crop only", [&] { crop(); }, 6},
      {"turn, crop, crop undone", [&] { RotateTool->RotateLeft(); crop(); editor.UndoClick(); }, 1},
  };
  int saves = 0;
  for (const TCase& each : cases) {
    SCOPED_TRACE(each.Name);
    ASSERT_NE(OpenFile(Name("sideways.jpg")), nullptr);
    each.Steps();
    const std::string name = "case" + std::to_string(++saves) + ".jpg";
    ASSERT_TRUE(SaveAs(1, Name(name)));
    EXPECT_EQ(quill::ReadOrientation(folder_ / name), each.Orientation);
  }
  EXPECT_TRUE(boxes_.empty());
}

// Crop, turn and an edit, undone and redone in the editor, each followed by a save
// through the JPEG object: the file always shows the picture on the screen, and after
// undoing everything it is the photo again, coefficient for coefficient.
TEST_F(EditorFilesTest, CropTurnAndEditUndoneAndRedoneSaveLosslesslyWhatTheScreenShows) {
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  TZelGraphicsDocument* document = OpenFile(photo_);
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(document->JPEG->HasImage());
  const QImage photo = Screen();
  int saves = 0;
  const auto saveMatchesScreen = [&](double bound) {
    const QString name = Name("save" + std::to_string(++saves) + ".jpg");
    ASSERT_TRUE(SaveAs(1, name));
    const QImage saved = Decoded(name);
    ASSERT_EQ(saved.size(), Screen().size());
    // Kept blocks decode as before; only the chroma interpolated across new edges and
    // the re-encoded edited blocks may differ a little.
    EXPECT_LE(Difference(saved, Screen()), bound);
  };

  document->AddCommandState(std::make_unique<CropState>(document, quill::TRect{16, 16, 400, 300}));
  document->AddCommandState(std::make_unique<TurnState>(document));
  tool->Invert(View(), {20, 30, 120, 90});
  ASSERT_EQ(Screen().size(), QSize(284, 384));
  saveMatchesScreen(1.0);

  editor_->UndoClick();  // the edit
  editor_->UndoClick();  // the turn
  saveMatchesScreen(0.5);
  editor_->UndoClick();  // the crop
  EXPECT_EQ(Screen(), photo);
  ASSERT_TRUE(SaveAs(1, Name("undone.jpg")));
  EXPECT_EQ(Decoded(Name("undone.jpg")), photo);

  editor_->RedoClick();
  editor_->RedoClick();
  editor_->RedoClick();
  ASSERT_EQ(Screen().size(), QSize(284, 384));
  saveMatchesScreen(1.0);
  editor_->UndoAllClick();
  EXPECT_EQ(Screen(), photo);
  saveMatchesScreen(0.0);
}

// Opening shares the photo's pixels between the current image, the original image and
// the committed copy; a turn keeps them shared and the first edit separates them. The
// original image stays the (turned) photo through the edit, its undo and its redo. The
// JPEG object decodes what a save compares with from the bytes it read at opening, so
// the photo's file replaced or removed on disk changes no save.
TEST_F(EditorFilesTest, TheFirstEditAfterOpeningKeepsTheOriginalAndSavesNeedNotTheFile) {
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  TZelGraphicsDocument* document = OpenFile(photo_);
  ASSERT_NE(document, nullptr);
  const QImage photo = Screen();
  const QImage turned = photo.transformed(QTransform().rotate(-90));
  const auto original = [document] { return PicturePixels(document->GetOriginalPixels()); };
  const auto committed = [document] { return PicturePixels(document->CommittedCopy); };
  // Another picture under the photo's name.
  TZelLTBitmap black;
  ASSERT_TRUE(black.SetSize(64, 48, quill::kPixelFormat24));
  ASSERT_TRUE(quill::SaveImageFile(folder_ / "camera.jpg", black.GetPixels(), "image/jpeg", 90, {}));

  document->AddCommandState(std::make_unique<TurnState>(document));
  ASSERT_EQ(Screen(), turned);
  EXPECT_EQ(original(), turned);
  tool->Invert(View(), {20, 30, 120, 90});
  const QImage edited = Screen();
  ASSERT_NE(edited, turned);
  EXPECT_EQ(original(), turned);
  EXPECT_EQ(committed(), edited);
  ASSERT_TRUE(SaveAs(1, Name("edited.jpg")));
  EXPECT_LE(Difference(Decoded(Name("edited.jpg")), edited), 1.0);

  editor_->UndoClick();  // the edit
  EXPECT_EQ(Screen(), turned);
  EXPECT_EQ(committed(), turned);
  editor_->UndoClick();  // the turn
  EXPECT_EQ(Screen(), photo);
  EXPECT_EQ(original(), photo);
  fs::remove(folder_ / "camera.jpg");
  ASSERT_TRUE(SaveAs(1, Name("undone.jpg")));
  EXPECT_EQ(Decoded(Name("undone.jpg")), photo);

  editor_->RedoClick();
  editor_->RedoClick();
  EXPECT_EQ(Screen(), edited);
  EXPECT_EQ(original(), turned);
}

}  // namespace
}  // namespace quilltest
