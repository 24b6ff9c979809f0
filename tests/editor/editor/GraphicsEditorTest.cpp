// The graphics editor's flows: open, close, Save As, recent files, folder browsing,
// settings and recorded commands.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include "EditorTesting.h"
#include "ZelFileDialogs.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"

namespace quilltest {
namespace {

QByteArray Saved(const std::function<void(TZelSDFWriter&)>& save) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    TZelSDFWriter writer(&buffer, false);
    save(writer);
  }
  return buffer.data();
}

void Load(const QByteArray& bytes, const std::function<void(TZelSDFReader&)>& load) {
  auto* buffer = new QBuffer();
  buffer->setData(bytes);
  buffer->open(QIODevice::ReadOnly);
  TZelSDFReader reader(buffer, true);
  load(reader);
}

void Touch(const QString& name) {
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

class GraphicsEditorTest : public EditorTest {
 protected:
  QStringList RecentItemTexts() const {
    QStringList texts;
    for (QAction* item : editor_->GetRecentFileItems()) texts.append(item->text());
    return texts;
  }

  QTemporaryDir folder_;
};

TEST_F(GraphicsEditorTest, OpenShowsTheImageAndAFailedOpenReportsTheFileByName) {
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/a.png"), MakePicture(64, 48));
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(editor_->GetCurrentDocument(), document);
  EXPECT_EQ(MainForm->windowTitle(), "Quillmere - a.png");
  EXPECT_EQ(editor_->WStatusPanel->text(), "64");
  EXPECT_EQ(editor_->HStatusPanel->text(), "48");
  EXPECT_TRUE(document->IsSaved());
  EXPECT_EQ(document->FormatId, 0);
  EXPECT_EQ(editor_->RecentFiles, QStringList{"/photos/a.png"});
  ASSERT_NE(View(), nullptr);
  EXPECT_TRUE(View()->DocumentView->GetVisible());

  TZelDocument* failed = document;
  EXPECT_FALSE(editor_->OpenFile(QStringLiteral("/photos/missing.png"), failed, true));
  EXPECT_EQ(failed, nullptr);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file /photos/missing.png cannot be opened.");
  EXPECT_EQ(boxes_[0].Flags, MB_ICONERROR);
  EXPECT_EQ(editor_->GetDocumentCount(), 0);  // the previous document was closed first
  EXPECT_EQ(MainForm->windowTitle(), "Quillmere");
  // With no document the size panels show no size, not the closed photo's.
  EXPECT_EQ(editor_->WStatusPanel->text(), "");
  EXPECT_EQ(editor_->HStatusPanel->text(), "");

  // A photo that needs more memory than there is gets the same message, never the
  // exception's own text.
  editor_->formats.outOfMemoryName = QStringLiteral("/photos/huge.png");
  boxes_.clear();
  TZelDocument* huge = nullptr;
  EXPECT_NO_THROW(EXPECT_FALSE(editor_->OpenFile(QStringLiteral("/photos/huge.png"), huge, true)));
  EXPECT_EQ(huge, nullptr);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file /photos/huge.png cannot be opened.");
  EXPECT_EQ(boxes_[0].Flags, MB_ICONERROR);
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
}

TEST_F(GraphicsEditorTest, TheSaveQuestionCanKeepTheModifiedDocument) {
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/a.png"), MakePicture(8, 8));
  ASSERT_NE(document, nullptr);
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  tool->Invert(View(), {0, 0, 4, 4});
  answer_ = [](const QString&, uint32_t) { return quill::IDCANCEL; };
  editor_->formats.pictures[QStringLiteral("/photos/b.png")] = {MakePicture(9, 9), 2};
  TZelDocument* opened = nullptr;
  EXPECT_FALSE(editor_->OpenFile(QStringLiteral("/photos/b.png"), opened, true));
  EXPECT_EQ(editor_->GetCurrentDocument(), document);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "Save changes to a.png?");
  EXPECT_EQ(boxes_[0].Flags, quill::MB_YESNOCANCEL | quill::MB_ICONWARNING);
  bool canClose = true;
  editor_->CloseQuery(canClose);
  EXPECT_FALSE(canClose);

  answer_ = [](const QString&, uint32_t) { return quill::IDNO; };
  EXPECT_TRUE(editor_->OpenFile(QStringLiteral("/photos/b.png"), opened, true));
  EXPECT_EQ(editor_->GetDocumentCount(), 1);
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, "/photos/b.png");

  // A document opened by a script closes without the question.
  tool->Invert(View(), {0, 0, 4, 4});
  ASSERT_FALSE(editor_->GetCurrentDocument()->IsSaved());
  editor_->GetCurrentDocument()->OpenedByScript = true;
  boxes_.clear();
  editor_->CloseClick();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
}

TEST_F(GraphicsEditorTest, SaveAsAppendsTheChosenFiltersExtensionAndAsksBeforeOverwriting) {
  const QString folder = folder_.path() + QLatin1Char('/');
  ASSERT_NE(Open(folder + QStringLiteral("photo.png"), MakePicture(8, 8), 2), nullptr);
  PictureFormats& formats = editor_->formats;

  // JPEG chosen, "photo.jpeg" typed: the test is a plain comparison with ".jpg".
  EXPECT_TRUE(SaveAs(1, folder + QStringLiteral("photo.jpeg")));
  ASSERT_EQ(formats.saves.size(), 1u);
  EXPECT_EQ(formats.saves[0].FileName, folder + QStringLiteral("photo.jpeg.jpg"));
  EXPECT_EQ(formats.saves[0].FormatId, 0);
  TZelGraphicsDocument* document = editor_->GetCurrentDocument();
  EXPECT_EQ(document->FileName, folder + QStringLiteral("photo.jpeg.jpg"));
  EXPECT_EQ(document->FormatId, 0);
  EXPECT_EQ(MainForm->windowTitle(), "Quillmere - photo.jpeg.jpg");

  // TIFF chosen, "copy.TIF" typed: the extension matches without regard to case.
  EXPECT_TRUE(SaveAs(2, folder + QStringLiteral("copy.TIF")));
  EXPECT_EQ(formats.saves.back().FileName, folder + QStringLiteral("copy.TIF"));
  EXPECT_EQ(formats.saves.back().FormatId, 1);

  // An existing file needs Yes.
  Touch(folder + QStringLiteral("old.png"));
  answer_ = [](const QString&, uint32_t) { return quill::IDNO; };
  EXPECT_FALSE(SaveAs(3, folder + QStringLiteral("old")));
  EXPECT_EQ(formats.saves.size(), 2u);
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_.back().Text, folder + QStringLiteral("old.png already exists. Do you want to replace it?"));
  EXPECT_EQ(boxes_.back().Flags, MB_YESNO | quill::MB_ICONWARNING);
  answer_ = [](const QString&, uint32_t) { return quill::IDYES; };
  EXPECT_TRUE(SaveAs(3, folder + QStringLiteral("old")));
  EXPECT_EQ(formats.saves.back().FileName, folder + QStringLiteral("old.png"));

  // A failed save says so, naming the file; the document keeps name, format and mark.
  ZelApplication->NewComponent<InvertTool>()->Invert(View(), {0, 0, 4, 4});
  formats.saveResult = false;
  boxes_.clear();
  EXPECT_FALSE(SaveAs(3, folder + QStringLiteral("other")));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file " + folder + "other.png cannot be saved.");
  EXPECT_EQ(boxes_[0].Flags, MB_ICONERROR);
  EXPECT_EQ(document->FileName, folder + QStringLiteral("old.png"));
  EXPECT_EQ(document->FormatId, 2);
  EXPECT_FALSE(document->IsSaved());
  // With the system's reason on a line of its own.
  formats.saveFailure.Reason = QStringLiteral("Disk quota exceeded.");
  boxes_.clear();
  EXPECT_FALSE(SaveAs(3, folder + QStringLiteral("other")));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file " + folder + "other.png cannot be saved.\nDisk quota exceeded.");
  // A save the user cancelled on the way shows nothing.
  formats.saveFailure.Cancelled = true;
  boxes_.clear();
  EXPECT_FALSE(SaveAs(3, folder + QStringLiteral("other")));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(document->IsSaved());
}

// A file name with "&" shows as it is in the File menu (an ampersand there would
// underline the next letter) and its item opens that file.
TEST_F(GraphicsEditorTest, RecentFilesWithAmpersandsShowTheirNamesAndOpenThem) {
  ASSERT_NE(Open(QStringLiteral("/photos/R&D.png"), MakePicture(4, 4)), nullptr);
  ASSERT_NE(Open(QStringLiteral("/photos/a&&b &c.png"), MakePicture(4, 4)), nullptr);
  const std::vector<QAction*> items = editor_->GetRecentFileItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->text(), "&1 /photos/a&&&&b &&c.png");
  EXPECT_EQ(items[1]->text(), "&2 /photos/R&&D.png");
  // What the menu shows: the item's text without its mnemonic marks.
  EXPECT_EQ(items[0]->iconText(), "1 /photos/a&&b &c.png");
  EXPECT_EQ(items[1]->iconText(), "2 /photos/R&D.png");

  items[1]->trigger();
  ASSERT_NE(editor_->GetCurrentDocument(), nullptr);
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, "/photos/R&D.png");
  EXPECT_EQ(editor_->RecentFiles, (QStringList{"/photos/R&D.png", "/photos/a&&b &c.png"}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(GraphicsEditorTest, RecentFilesKeepFiveMostRecentFirstAndSurviveACorruptCount) {
  for (int i = 1; i <= 6; ++i) {
    ASSERT_NE(Open(QStringLiteral("/photos/%1.png").arg(i), MakePicture(4, 4)), nullptr);
  }
  EXPECT_EQ(editor_->RecentFiles, (QStringList{"/photos/6.png", "/photos/5.png", "/photos/4.png",
                                               "/photos/3.png", "/photos/2.png"}));
  ASSERT_NE(Open(QStringLiteral("/PHOTOS/4.PNG"), MakePicture(4, 4)), nullptr);
  EXPECT_EQ(editor_->RecentFiles, (QStringList{"/photos/4.png", "/photos/6.png", "/photos/5.png",
                                               "/photos/3.png", "/photos/2.png"}));
  EXPECT_EQ(RecentItemTexts(), (QStringList{"&1 /photos/4.png", "&2 /photos/6.png",
                                            "&3 /photos/5.png", "&4 /photos/3.png",
                                            "&5 /photos/2.png"}));

  // The settings round trip gives the same order.
  const QByteArray saved = Saved([this](TZelSDFWriter& writer) { editor_->SaveState(writer); });
  const QStringList before = editor_->RecentFiles;
  editor_->RecentFiles.clear();
  Load(saved, [this](TZelSDFReader& reader) { editor_->LoadState(reader); });
  EXPECT_EQ(editor_->RecentFiles, before);
  EXPECT_EQ(editor_->GetRecentFileItems().size(), 5u);

  // A corrupt count of 2^31 - 1: read as the five newest it can hold.
  const QByteArray corrupt = Saved([](TZelSDFWriter& writer) {
    writer.BeginGuidNode(1, TZelEditor::kSettingsGuid);
    writer.BeginIntNode(1, INT32_MAX);
    writer.WriteWideString(1, QStringLiteral("/x/1.png"));
    writer.WriteWideString(3, QStringLiteral("/x/3.png"));
    writer.EndNode();
    writer.EndNode();
  });
  editor_->RecentFiles.clear();
  Load(corrupt, [this](TZelSDFReader& reader) { editor_->LoadState(reader); });
  EXPECT_EQ(editor_->RecentFiles, (QStringList{"/x/1.png", "/x/3.png"}));

  // An entry whose file is gone stays, and choosing it gives the open error.
  boxes_.clear();
  editor_->GetRecentFileItems()[1]->trigger();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file /x/3.png cannot be opened.");
  EXPECT_TRUE(editor_->RecentFiles.contains("/x/3.png"));
}

TEST_F(GraphicsEditorTest, BrowsingWalksTheFoldersImagesInNameOrderWithoutWrapping) {
  const QString folder = folder_.path() + QLatin1Char('/');
  for (const char* name : {"d.jpe", "a.jpg", "b.txt", "c.PNG", "B.bmp", "f.jp"}) {
    Touch(folder + QString::fromLatin1(name));
    editor_->formats.pictures[folder + QString::fromLatin1(name)] = {MakePicture(5, 5), 0};
  }
  ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("e.jpg")));  // a folder is no image
  ASSERT_NE(Open(folder + QStringLiteral("c.PNG"), MakePicture(5, 5)), nullptr);
  QStringList expected;
  for (const char* name : {"a.jpg", "B.bmp", "c.PNG", "d.jpe", "f.jp"}) {
    expected.append(folder + QString::fromLatin1(name));
  }
  EXPECT_EQ(editor_->FolderFiles, expected);
  EXPECT_EQ(editor_->FolderIndex, 2);

  editor_->NextImageClick();
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, folder + "d.jpe");
  editor_->NextImageClick();
  editor_->NextImageClick();
  EXPECT_EQ(editor_->FolderIndex, 4);
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, folder + "f.jp");
  editor_->UpdateControls();
  EXPECT_FALSE(editor_->NextImageButton->isEnabled());
  EXPECT_TRUE(editor_->PrevImageButton->isEnabled());
  for (int i = 0; i < 6; ++i) editor_->PrevImageClick();
  EXPECT_EQ(editor_->FolderIndex, 0);
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, folder + "a.jpg");
  editor_->UpdateControls();
  EXPECT_FALSE(editor_->PrevImageButton->isEnabled());

  // A dropped file opens as well.
  MainForm->OnFileDrop(folder + QStringLiteral("d.jpe"));
  EXPECT_EQ(editor_->GetCurrentDocument()->FileName, folder + "d.jpe");
}

TEST_F(GraphicsEditorTest, TheJPEGQualitySettingIsKeptWithinItsRange) {
  EXPECT_EQ(editor_->Formats.JPEGQuality, 80);
  for (const auto& [stored, read] : {std::pair{55, 55}, {500, 100}, {-3, 0}}) {
    const QByteArray bytes = Saved([stored = stored](TZelSDFWriter& writer) {
      writer.BeginGuidNode(1, TZelGraphicsEditor::kQualityGuid);
      writer.WriteInteger(1, stored);
      writer.EndNode();
    });
    Load(bytes, [this](TZelSDFReader& reader) { editor_->LoadState(reader); });
    EXPECT_EQ(editor_->Formats.JPEGQuality, read) << stored;
  }
  const QByteArray saved = Saved([this](TZelSDFWriter& writer) { editor_->SaveState(writer); });
  editor_->Formats.JPEGQuality = 80;
  Load(saved, [this](TZelSDFReader& reader) { editor_->LoadState(reader); });
  EXPECT_EQ(editor_->Formats.JPEGQuality, 0);
}

TEST_F(GraphicsEditorTest, CommandsAreRecordedAsTheyReplay) {
  RecordingRecorder recorder;
  recorder.recordMessages = true;
  editor_->RecordingStarted(&recorder);
  ASSERT_NE(Open(QStringLiteral("/photos/a.png"), MakePicture(30, 20)), nullptr);
  editor_->ZoomInClick();
  editor_->BestFitClick();
  recorder.recordMessages = false;
  editor_->UndoClick();
  editor_->ActualSizeClick();
  const QString size = QString::number(View()->width()) + ", " + QString::number(View()->height());
  EXPECT_EQ(recorder.lines,
            (QStringList{"MouseCurvedMove Open", "Message \"Open Image\"",
                         "ImageOpen \"a.png\", " + size, "MouseCurvedMove ZoomIn",
                         "Message \"Zoom In\"", "ZoomIn", "MouseCurvedMove BestFit",
                         "Message \"Best Fit\"", "BestFit", "MouseCurvedMove Undo", "Undo",
                         "MouseCurvedMove ActualSize", "ActualSize"}));
  bool handled = false;
  editor_->ExecuteCommand(nullptr, QStringLiteral("REDO"), handled, nullptr);
  EXPECT_TRUE(handled);
  editor_->ExecuteCommand(nullptr, QStringLiteral("ZOOM"), handled, nullptr);
  EXPECT_FALSE(handled);
}

// The modified mark follows the history: a state the user stepped to after a save
// differs from the file, so closing or opening another file asks first, and stepping
// back to the saved state clears the mark again.
TEST_F(GraphicsEditorTest, TheModifiedMarkComparesTheHistoryWithItsPositionAtTheLastSave) {
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/a.png"), MakePicture(20, 20));
  ASSERT_NE(document, nullptr);
  const auto modified = [document] { return !document->IsSaved(); };
  // Cancel to the save question: whether closing asked, the document staying open.
  answer_ = [](const QString&, uint32_t) { return quill::IDCANCEL; };
  const auto closeAsks = [this, document] {
    boxes_.clear();
    bool canClose = true;
    editor_->CloseQuery(canClose);
    return !canClose && boxes_.size() == 1 && editor_->GetCurrentDocument() == document;
  };
  EXPECT_FALSE(modified());
  tool->Invert(View(), {0, 0, 5, 5});
  tool->Invert(View(), {5, 5, 10, 10});
  EXPECT_TRUE(modified());
  ASSERT_TRUE(document->Save());  // the file holds both steps
  EXPECT_FALSE(modified());

  editor_->UndoClick();
  EXPECT_TRUE(modified());
  EXPECT_TRUE(closeAsks());
  editor_->formats.pictures[QStringLiteral("/photos/b.png")] = {MakePicture(9, 9), 0};
  TZelDocument* opened = nullptr;
  boxes_.clear();
  EXPECT_FALSE(editor_->OpenFile(QStringLiteral("/photos/b.png"), opened, true));
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(editor_->GetCurrentDocument(), document);

  editor_->UndoAllClick();  // the opened photo, which is not the file either
  EXPECT_TRUE(modified());
  EXPECT_TRUE(closeAsks());
  editor_->RedoClick();
  EXPECT_TRUE(modified());
  editor_->RedoClick();  // back at the saved state
  EXPECT_FALSE(modified());
  editor_->UndoClick();
  editor_->RedoAllClick();
  EXPECT_FALSE(modified());

  boxes_.clear();
  editor_->CloseClick();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
}

// Once the records the saved state rests on are freed, no step leads back to the file
// and the document stays modified until the next save: a new edit that cuts the redo
// step the file holds, or the history's budget dropping the oldest records (Undo All
// then reaches neither the file nor the opened photo).
TEST_F(GraphicsEditorTest, ASavedStateOutOfReachLeavesTheDocumentModifiedUntilTheNextSave) {
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/a.png"), MakePicture(20, 20));
  ASSERT_NE(document, nullptr);
  tool->Invert(View(), {0, 0, 5, 5});
  tool->Invert(View(), {5, 5, 10, 10});
  ASSERT_TRUE(document->Save());
  editor_->UndoClick();
  tool->Invert(View(), {10, 10, 15, 15});  // cuts the step the file holds
  EXPECT_FALSE(document->IsSaved());
  editor_->UndoClick();
  EXPECT_FALSE(document->IsSaved());
  editor_->UndoAllClick();
  EXPECT_FALSE(document->IsSaved());
  editor_->RedoAllClick();
  EXPECT_FALSE(document->IsSaved());
  ASSERT_TRUE(document->Save());
  EXPECT_TRUE(document->IsSaved());

  // Room for two edits: the first is dropped for the third, and the opened photo with it.
  editor_->formats.pictures[QStringLiteral("/photos/b.png")] = {MakePicture(20, 20), 0};
  TZelDocument* opened = nullptr;
  ASSERT_TRUE(editor_->OpenFile(QStringLiteral("/photos/b.png"), opened, true));
  document = editor_->GetCurrentDocument();
  TZelCommandHistoryList& history = document->GetHistory();
  tool->Invert(View(), {0, 0, 5, 5});
  history.SetBudget(2 * history.GetSize());
  tool->Invert(View(), {5, 5, 10, 10});
  tool->Invert(View(), {10, 10, 15, 15});
  ASSERT_EQ(history.GetCount(), 2);
  editor_->UndoAllClick();
  EXPECT_FALSE(document->IsSaved());
  editor_->RedoAllClick();
  ASSERT_TRUE(document->Save());
  // Saved above the dropped records: the same state one position lower, still reached.
  tool->Invert(View(), {15, 15, 20, 20});
  ASSERT_EQ(history.GetCount(), 2);
  EXPECT_FALSE(document->IsSaved());
  editor_->UndoClick();
  EXPECT_TRUE(document->IsSaved());
}

}  // namespace
}  // namespace quilltest
