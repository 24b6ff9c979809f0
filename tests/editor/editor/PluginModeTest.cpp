// Plug-in mode (an exchange file opened, OK and Cancel, the exit code) and the editor's
// script commands and targets played through a demo player.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolBar>

#include <algorithm>

#include "EditorTesting.h"
#include "HostProcess.h"
#include "PointerDriver.h"
#include "ProcessTesting.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScriptable.h"
#include "ZelEditorDemoLink.h"

namespace quilltest {
namespace {

const QString kExchangeFile = QStringLiteral("/tmp/PSPabc.tmp");

class PluginModeTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    quill::ExitCode = 0;
    tool_ = ZelApplication->NewComponent<InvertTool>();
  }

  TZelGraphicsDocument* OpenExchangeFile() { return Open(kExchangeFile, MakePicture(30, 20), -1); }

  InvertTool* tool_ = nullptr;
};

TEST_F(PluginModeTest, AnExchangeFileShowsOnlyWhatEditsItsOneImage) {
  ASSERT_NE(OpenExchangeFile(), nullptr);
  EXPECT_TRUE(editor_->PluginMode);
  EXPECT_EQ(quill::ExitCode, -1);
  EXPECT_EQ(MainForm->windowTitle(), "Quillmere Plug-in");
  EXPECT_FALSE(MainForm->FileMenuItem->menuAction()->isVisible());
  for (QAction* item : {editor_->OpenToolButton, editor_->SaveToolButton, editor_->PrevImageButton,
                        editor_->NextImageButton, editor_->EditToolbarSeparator}) {
    EXPECT_FALSE(item->isVisible()) << item->toolTip().toStdString();
  }
  EXPECT_TRUE(editor_->RecentFiles.isEmpty());
  // A dropped photo does not replace the host's image.
  TZelDocument* exchange = editor_->GetLastDocument();
  editor_->formats.pictures[QStringLiteral("/photos/b.png")] = {MakePicture(8, 8), 2};
  MainForm->OnFileDrop(QStringLiteral("/photos/b.png"));
  EXPECT_EQ(editor_->GetLastDocument(), exchange);
  const QList<QAction*> items = editor_->StandardToolbar->actions();
  ASSERT_GE(items.size(), 3);
  EXPECT_TRUE(items[items.size() - 3]->isSeparator());
  EXPECT_EQ(items[items.size() - 2], editor_->OkButton);
  EXPECT_EQ(items.back(), editor_->CancelButton);
  EXPECT_EQ(editor_->OkButton->text(), "OK");
  EXPECT_EQ(editor_->CancelButton->text(), "Cancel");

  // A second call adds nothing.
  editor_->SetPluginMode(true);
  EXPECT_EQ(editor_->StandardToolbar->actions().size(), items.size());
  EXPECT_EQ(MainForm->windowTitle(), "Quillmere Plug-in");
}

// Exit code 0 tells the host to take the file's pixels: it must never stand for an
// image that did not reach the file.
TEST_F(PluginModeTest, OkSetsZeroOnlyOnceTheImageWasWrittenBack) {
  TZelGraphicsDocument* document = OpenExchangeFile();
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(tool_->BeginOperation(View()));
  tool_->InvertRect({0, 0, 5, 5});
  editor_->formats.saveResult = false;
  editor_->OkButtonClick();
  EXPECT_EQ(quill::ExitCode, -1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, GetLocalizedString(1031));
  EXPECT_EQ(boxes_[0].Flags, MB_ICONERROR);
  EXPECT_TRUE(MainForm->isVisible());
  // The running operation ended without an undo record; its pixels stay.
  EXPECT_FALSE(document->Running);
  EXPECT_FALSE(document->GetHistory().CanUndo());

  editor_->formats.saveResult = true;
  editor_->OkButtonClick();
  EXPECT_EQ(quill::ExitCode, 0);
  ASSERT_EQ(editor_->formats.saves.size(), 2u);
  EXPECT_EQ(editor_->formats.saves[1].FileName, kExchangeFile);
  EXPECT_EQ(editor_->formats.saves[1].FormatId, -1);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(MainForm->isVisible());
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
}

// A demo started in plug-in mode first writes the image back; a write that fails is
// reported as on OK, and the image stays open for the demo not to start.
TEST_F(PluginModeTest, AWriteBackBeforeADemoThatFailsIsReported) {
  TZelGraphicsDocument* document = OpenExchangeFile();
  ASSERT_NE(document, nullptr);
  tool_->Invert(View(), {0, 0, 5, 5});
  quill::TZelEditorDemoLink link;
  editor_->formats.saveResult = false;
  EXPECT_TRUE(link.SaveAndCloseExchangeDocument().isEmpty());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, GetLocalizedString(1031));
  EXPECT_EQ(boxes_[0].Flags, MB_ICONERROR);
  EXPECT_EQ(editor_->GetLastDocument(), document);
  EXPECT_EQ(quill::ExitCode, -1);

  editor_->formats.saveResult = true;
  EXPECT_EQ(link.SaveAndCloseExchangeDocument(), kExchangeFile);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
}

TEST_F(PluginModeTest, ClosingAnEditedImageAsksAboutTheImage) {
  ASSERT_NE(OpenExchangeFile(), nullptr);
  tool_->Invert(View(), {0, 0, 5, 5});
  answer_ = [](const QString&, uint32_t) { return quill::IDCANCEL; };
  MainForm->close();
  EXPECT_TRUE(MainForm->isVisible());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "Save changes to the image?");

  // Yes with a failed write: reported, the window stays and so does -1.
  editor_->formats.saveResult = false;
  answer_ = [](const QString& text, uint32_t) { return text.startsWith("Save") ? quill::IDYES : quill::IDOK; };
  MainForm->close();
  EXPECT_TRUE(MainForm->isVisible());
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].Text, GetLocalizedString(1031));
  EXPECT_EQ(quill::ExitCode, -1);

  answer_ = [](const QString&, uint32_t) { return quill::IDNO; };
  MainForm->close();
  EXPECT_FALSE(MainForm->isVisible());
  EXPECT_EQ(quill::ExitCode, -1);
}

TEST_F(PluginModeTest, YesToTheQuestionWritesBackAndCancelLeavesWithoutAsking) {
  ASSERT_NE(OpenExchangeFile(), nullptr);
  tool_->Invert(View(), {0, 0, 5, 5});
  answer_ = [](const QString&, uint32_t) { return quill::IDYES; };
  MainForm->close();
  EXPECT_FALSE(MainForm->isVisible());
  EXPECT_EQ(quill::ExitCode, 0);
  EXPECT_EQ(editor_->formats.saves.size(), 1u);

  // Cancel after edits: no question, no write, -1.
  MainForm->show();
  quill::ExitCode = 0;
  boxes_.clear();
  editor_->formats.saves.clear();
  ASSERT_NE(Open(QStringLiteral("/tmp/PSPdef.tmp"), MakePicture(30, 20), -1), nullptr);
  tool_->Invert(View(), {0, 0, 5, 5});
  editor_->CancelButtonClick();
  EXPECT_FALSE(MainForm->isVisible());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(editor_->formats.saves.empty());
}

// Once the host has ended nothing reads the file back: OK and Yes to the question say
// so, write nothing and end with -1, and the image counts as handled, so that closing
// asks nothing more.
TEST_F(PluginModeTest, OnceTheHostHasEndedOkAndYesWriteNothing) {
  const QString hostEnded = GetLocalizedString(1032);
  EXPECT_EQ(hostEnded.toStdString(), "The host program has ended, so the edited image cannot be handed back to "
                                     "it. Quillmere closes without saving it.");
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Yes");
    MainForm->show();
    boxes_.clear();
    editor_->formats.saves.clear();
    ASSERT_NE(OpenExchangeFile(), nullptr);
    tool_->Invert(View(), {0, 0, 5, 5});
    // The host ends while the user edits.
    editor_->PluginHost = quill::TPluginHost(quill::test::EndedProcessDescriptor());
    ASSERT_TRUE(editor_->PluginHost.Ended());
    answer_ = [](const QString& text, uint32_t) { return text.startsWith("Save") ? quill::IDYES : quill::IDOK; };
    if (ok) {
      editor_->OkButtonClick();
    } else {
      MainForm->close();
    }
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_TRUE(editor_->formats.saves.empty());
    EXPECT_EQ(quill::ExitCode, -1);
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back().Text, hostEnded);
    EXPECT_EQ(boxes_.back().Flags, quill::MB_ICONWARNING);
    EXPECT_EQ(boxes_.size(), ok ? 1u : 2u);  // Yes came after the question
  }
}

// The host runs: OK writes back as ever.
TEST_F(PluginModeTest, WhileTheHostRunsOkWritesBack) {
  ASSERT_NE(OpenExchangeFile(), nullptr);
  editor_->PluginHost = quill::TPluginHost(quill::OpenProcessDescriptor(::getpid()));
  ASSERT_TRUE(editor_->PluginHost.Watched());
  editor_->OkButtonClick();
  EXPECT_EQ(quill::ExitCode, 0);
  EXPECT_EQ(editor_->formats.saves.size(), 1u);
  EXPECT_TRUE(boxes_.empty());
}

// When the run ends, the files of a host that has ended go: the exchange file and the
// runtime folder the plug-in made beside it (XDG_RUNTIME_DIR); whatever the exit code
// said, nothing was handed back. While the host runs, they are the plug-in's.
TEST_F(PluginModeTest, AtTheEndTheFilesOfAnEndedHostAreRemoved) {
  QTemporaryDir folder;
  const QString exchange = folder.filePath(QStringLiteral("PSPa1b2c3.tmp"));
  const QString runtime = folder.filePath(QStringLiteral("PSPd4e5f6"));
  const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
  const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
  for (const bool ended : {false, true}) {
    SCOPED_TRACE(ended ? "ended" : "running");
    QFile(exchange).open(QIODevice::WriteOnly);
    QDir().mkpath(runtime);
    ASSERT_NE(Open(exchange, MakePicture(30, 20), -1), nullptr);
    const int host = ended ? quill::test::EndedProcessDescriptor() : quill::OpenProcessDescriptor(::getpid());
    editor_->PluginHost = quill::TPluginHost(host);
    editor_->OkButtonClick();
    editor_->EndPluginRun();
    EXPECT_EQ(QFile::exists(exchange), !ended);
    EXPECT_EQ(QFile::exists(runtime), !ended);
    EXPECT_EQ(quill::ExitCode, ended ? -1 : 0);
    MainForm->show();
  }
  if (hadRuntime) {
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
  } else {
    qunsetenv("XDG_RUNTIME_DIR");
  }
}

// The program started on a file that begins as an exchange file but does not load
// (here: one row short) shows the open error and ends at once with -1, no result for
// the host; a "PSPF" file of another mode is no exchange file and leaves the program in
// normal mode. A host that has ended meanwhile leaves the exchange file to the program.
TEST_F(PluginModeTest, AnExchangeFileThatDoesNotLoadEndsTheProgramWithoutAResult) {
  editor_->realFormats = true;
  QTemporaryDir folder;
  const auto write = [&](const QString& name, int32_t mode) {
    const int32_t header[8] = {32, mode, 0, 0, 40, 30, 120, 3};
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("PSPF");
    file.write(reinterpret_cast<const char*>(header), sizeof header);
    file.write(QByteArray(120 * 29, '\0'));
    return file.fileName();
  };
  const QString other = write(QStringLiteral("other.tmp"), 1);
  editor_->OpenFileArgument({"Quillmere", other});
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file " + other + " cannot be opened.");
  EXPECT_EQ(quill::ExitCode, 0);
  EXPECT_TRUE(MainForm->isVisible());

  const QString exchange = write(QStringLiteral("PSPabc.tmp"), 3);
  editor_->OpenFileArgument({"Quillmere", exchange});
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].Text, "The file " + exchange + " cannot be opened.");
  EXPECT_EQ(boxes_[1].Flags, MB_ICONERROR);
  EXPECT_EQ(quill::ExitCode, -1);
  EXPECT_FALSE(MainForm->isVisible());
  EXPECT_FALSE(editor_->PluginMode);

  editor_->PluginHost = quill::TPluginHost(quill::test::EndedProcessDescriptor());
  editor_->EndPluginRun();
  EXPECT_FALSE(QFile::exists(exchange));
  EXPECT_TRUE(QFile::exists(other));
}

// The editor's commands and targets as a demo script reaches them: through a player
// whose commands and targets go to the application's scriptable components.
class EditorScriptTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    editor_->ImagesFolder = images_.path() + QStringLiteral("/");
    quill::ConnectScriptables(player_);
    player_.OnError = [this](TZelDemoPlayback*, const QString& message, bool& stop,
                             const std::string&) {
      errors_.append(message);
      stop = false;
    };
  }

  void Play(std::vector<std::string> lines) {
    player_.GetScript().GetScriptLines() = std::move(lines);
    player_.Play(0);
    for (int i = 0; i < 100 && player_.Step(); ++i) now_ += 100;
    ProcessEvents();
  }

  QTemporaryDir images_;
  QStringList errors_;
  int64_t now_ = 0;
  quill::RecordingPointerDriver pointer_;
  TZelDemoPlayback player_{&pointer_, [this] { return now_; }};
};

TEST_F(EditorScriptTest, ImageOpenFindsTheDemoImageAndReportsWhatItCannotOpen) {
  const QString demo = editor_->ImagesFolder + QStringLiteral("demo.png");
  QFile(demo).open(QIODevice::WriteOnly);
  editor_->formats.pictures[demo] = {MakePicture(40, 30), 2};
  Play({"ImageOpen \"demo.png\", 700, 500", "ZoomIn", "SetMinViewSize 1", "Frobnicate"});
  TZelGraphicsDocument* document = editor_->GetCurrentDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->FileName, demo);
  EXPECT_TRUE(document->OpenedByScript);
  EXPECT_GE(View()->width(), 700);
  EXPECT_GE(View()->height(), 500);
  EXPECT_EQ(View()->CompareZoom(3, 2), 0);  // 1:1 on opening, then one step in
  EXPECT_EQ(errors_, QStringList{"Unknown command: \"FROBNICATE\""});

  // A full path as given; a script's document closes without the question.
  errors_.clear();
  Play({"ImageOpen \"/photos/missing.png\""});
  EXPECT_EQ(errors_, QStringList{"Cannot open the file."});
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, "The file /photos/missing.png cannot be opened.");
}

TEST_F(EditorScriptTest, TargetsAreTheButtonsAndImagePointsOnTheScreen) {
  ASSERT_NE(Open(QStringLiteral("/photos/a.png"), MakePicture(800, 600)), nullptr);
  View()->SetZoom(2, 1);
  View()->CenterOnPoint({0, 0});
  TZelDemoScriptParams params;
  ParseScriptArguments(params, "Image, 10, 20");
  quill::TPoint point;
  ASSERT_TRUE(player_.ResolveTarget(params, point));
  const QPoint expected = View()->mapToGlobal(QPoint(20, 40));
  EXPECT_EQ(point, (quill::TPoint{expected.x(), expected.y()}));
  // Fractional image coordinates round halves to even, as every integer argument.
  ParseScriptArguments(params, "Image, 10.5, 19.5");
  ASSERT_TRUE(player_.ResolveTarget(params, point));
  EXPECT_EQ(point, (quill::TPoint{expected.x(), expected.y()}));

  QWidget* button = editor_->StandardToolbar->widgetForAction(editor_->ZoomInButton);
  const QPoint centre = button->mapToGlobal(QPoint(button->width() / 2, button->height() / 2));
  ParseScriptArguments(params, "zoomin");
  ASSERT_TRUE(player_.ResolveTarget(params, point));
  EXPECT_EQ(point, (quill::TPoint{centre.x(), centre.y()}));

  ParseScriptArguments(params, "Nowhere");
  EXPECT_FALSE(player_.ResolveTarget(params, point));
}

// An image point needs two numbers; a button that is hidden (Open in plug-in mode) is
// not there to point at.
TEST_F(EditorScriptTest, AnImagePointWithoutTwoNumbersAndAHiddenButtonAreNotFound) {
  ASSERT_NE(Open(QStringLiteral("/photos/a.png"), MakePicture(80, 60)), nullptr);
  TZelDemoScriptParams params;
  quill::TPoint point;
  for (const char* arguments : {"Image", "Image, 10", "Image, x, y", "Image, 10, y", "Image, x, 20",
                                "Image, .5, 3", "Image, \"10\", 20"}) {
    ParseScriptArguments(params, arguments);
    EXPECT_FALSE(player_.ResolveTarget(params, point)) << arguments;
  }
  ParseScriptArguments(params, "image, 1.5, -3");
  EXPECT_TRUE(player_.ResolveTarget(params, point));

  ParseScriptArguments(params, "Open");
  EXPECT_TRUE(player_.ResolveTarget(params, point));
  editor_->SetPluginMode(true);
  for (const char* name : {"Open", "OpenButton"}) {
    ParseScriptArguments(params, name);
    EXPECT_FALSE(player_.ResolveTarget(params, point)) << name;
  }
  ParseScriptArguments(params, "ZoomIn");
  EXPECT_TRUE(player_.ResolveTarget(params, point));
  Play({"MouseClick Open", "MouseClick Image, x, 5"});
  EXPECT_EQ(errors_, (QStringList{"Invalid arguments.", "Invalid arguments."}));
  quill::ExitCode = 0;
}

// Sizes from a script are untrusted: the largest and smallest numbers leave the window,
// its frame included, inside the screen's work area, grown and never shrunk.
TEST_F(EditorScriptTest, HugeViewSizesKeepTheWindowOnTheScreen) {
  const QString demo = editor_->ImagesFolder + QStringLiteral("demo.png");
  QFile(demo).open(QIODevice::WriteOnly);
  editor_->formats.pictures[demo] = {MakePicture(40, 30), 2};
  const QRect work = MainForm->screen()->availableGeometry();
  for (const char* line : {"ImageOpen demo.png, 2147483647, 2147483647", "SetMinViewSize 2147483647, 2147483647",
                           "ImageOpen demo.png, -2147483648, -2147483648",
                           "SetMinViewSize -2147483648, 2147483647", "SetMinWindowSize 2147483647, 2147483647"}) {
    const QSize before = MainForm->frameGeometry().size();
    Play({line});
    EXPECT_TRUE(errors_.isEmpty()) << line;
    const QRect frame = MainForm->frameGeometry();
    EXPECT_GE(frame.width(), std::min(before.width(), work.width())) << line;
    EXPECT_GE(frame.height(), std::min(before.height(), work.height())) << line;
    EXPECT_TRUE(work.contains(frame)) << line << ": " << frame.x() << ", " << frame.y() << ", "
                                      << frame.width() << " x " << frame.height();
  }
}

// A single-byte script names its files in its own code page (1252 here); a name in
// UTF-8 is taken as it stands.
TEST_F(EditorScriptTest, ImageOpenFindsANameWrittenInTheScriptsCodePage) {
  const QString demo = editor_->ImagesFolder + QStringLiteral("Gr\u00fc\u00dfe.png");
  QFile(demo).open(QIODevice::WriteOnly);
  editor_->formats.pictures[demo] = {MakePicture(40, 30), 2};
  for (const std::string line : {"ImageOpen \"Gr\xFC\xDF" "e.png\"", "ImageOpen Gr\xC3\xBC\xC3\x9F" "e.png"}) {
    editor_->CloseClick();
    ASSERT_EQ(editor_->GetCurrentDocument(), nullptr);
    Play({line});
    EXPECT_TRUE(errors_.isEmpty()) << line << ": " << errors_.join(' ').toStdString();
    ASSERT_NE(editor_->GetCurrentDocument(), nullptr) << line;
    EXPECT_EQ(editor_->GetCurrentDocument()->FileName, demo);
  }
}

}  // namespace
}  // namespace quilltest
