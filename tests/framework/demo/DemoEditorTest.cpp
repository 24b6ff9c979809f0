// The demo editor: tabs and their text, languages, code pages and the switch to UTF-8,
// a save that fails, and the player's events given back when Play or Record is refused.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "MainWindowTesting.h"
#include "ZelDemoEditor.h"
#include "ZelDemonstrationModule.h"

namespace {

using namespace quill;

// An editor with a document the user opened, or none.
class FakeLink : public quill::TZelDemoEditorLink {
 public:
  bool HasDocument() const override { return document; }
  bool DocumentOpenedByScript() const override { return false; }
  void CloseDocumentNow() override {}
  bool PluginMode() const override { return false; }
  QString SaveAndCloseExchangeDocument() override { return {}; }
  bool CloseDocument() override { return true; }
  void OpenFile(const QString&) override {}
  void AbortStroke() override {}
  void CancelPendingWork() override {}
  void ShowToolsPanel() override {}
  bool document = true;
};

class DemoEditorTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    MainForm->show();
    ZelApplication->CreateComponent(DemonstrationModule);
    ZelApplication->CreateComponent(DemoEditorModule);
    ZelApplication->SetMessageBoxAnswerer([this](const QString& text, const QString&, uint32_t flags) {
      boxes_.push_back(text);
      return (flags & 0xF) == MB_YESNO ? answer_ : quill::IDOK;
    });
    DemoEditorModule->CmDemoEditor();
    form_ = DemoEditorModule->GetEditorForm();
    ASSERT_NE(form_, nullptr);
  }

  QStringList Tabs() const {
    QStringList tabs;
    for (int i = 0; i < form_->SectionsTabControl->count(); ++i) tabs.append(form_->SectionsTabControl->tabText(i));
    return tabs;
  }
  QString Path(const QString& name) const { return QDir(folder_.path()).filePath(name); }
  QByteArray Bytes(const QString& name) const {
    QFile file(Path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  TZelDemoEditorForm* form_ = nullptr;
  QTemporaryDir folder_;
  QStringList boxes_;
  int answer_ = quill::IDYES;
};

TEST_F(DemoEditorTest, LanguagesAddAsTabsAndEachTabKeepsItsTextAndCursor) {
  EXPECT_EQ(Tabs(), (QStringList{"Info", "Script"}));
  EXPECT_EQ(form_->GetSelectedTab(), 1);
  form_->ScriptMemo->setPlainText("Pause 1\nZoomIn");
  QTextCursor cursor = form_->ScriptMemo->textCursor();
  cursor.setPosition(3);
  form_->ScriptMemo->setTextCursor(cursor);

  form_->AddLanguage(" 1033 ");
  EXPECT_EQ(Tabs(), (QStringList{"Info", "Script", "1033"}));
  EXPECT_EQ(form_->GetSelectedTab(), 2);
  EXPECT_TRUE(form_->ScriptMemo->toPlainText().isEmpty());
  form_->ScriptMemo->setPlainText("Title=Tour");
  form_->AddLanguage("Script");  // exists: selected, showing its own lines
  EXPECT_EQ(form_->GetSelectedTab(), 1);
  EXPECT_EQ(form_->ScriptMemo->toPlainText(), "Pause 1\nZoomIn");
  EXPECT_EQ(form_->ScriptMemo->textCursor().position(), 3);
  form_->SelectTab(2);
  EXPECT_EQ(form_->ScriptMemo->toPlainText(), "Title=Tour");

  form_->UpdateControls();
  EXPECT_TRUE(form_->DeleteLanguageMenuItem->isEnabled());
  form_->CmDeleteLanguage();
  EXPECT_EQ(Tabs(), (QStringList{"Info", "Script"}));
  form_->UpdateControls();
  EXPECT_FALSE(form_->DeleteLanguageMenuItem->isEnabled());
}

// A file whose "Script" is not among its first two sections: neither it nor "Info"
// can be deleted as a language.
TEST_F(DemoEditorTest, InfoAndScriptAreNeverDeleted) {
  Write("a.dsc", "[1033]\r\nTitle=A\r\n[1031]\r\nTitle=B\r\n[Info]\r\n[Script]\r\nPause 1\r\n");
  ASSERT_TRUE(form_->OpenFile(Path("a.dsc")));
  EXPECT_EQ(Tabs(), (QStringList{"1033", "1031", "Info", "Script"}));
  for (int tab : {3, 2}) {
    form_->SelectTab(tab);
    form_->UpdateControls();
    EXPECT_FALSE(form_->DeleteLanguageMenuItem->isEnabled());
    form_->CmDeleteLanguage();
    EXPECT_EQ(Tabs().size(), 4);
  }
}

// Each section reads and writes in its language's code page; a character that code
// page lacks turns the whole script into UTF-8, every section converted.
TEST_F(DemoEditorTest, SectionsUseTheirOwnCodePageAndAForeignCharacterMakesTheScriptUtf8) {
  Write("a.dsc", "[Info]\r\n[Script]\r\nPause 1\r\n[1031]\r\nA=f\xfcr\r\n[1049]\r\nA=\xcf\xf0\xe8\r\n");
  ASSERT_TRUE(form_->OpenFile(Path("a.dsc")));
  form_->SelectTab(2);
  EXPECT_EQ(form_->ScriptMemo->toPlainText(), QString::fromUtf8("A=für"));
  form_->SelectTab(3);
  EXPECT_EQ(form_->ScriptMemo->toPlainText(), QString::fromUtf8("A=При"));
  form_->ScriptMemo->setPlainText(QString::fromUtf8("A=Привет"));
  ASSERT_TRUE(form_->SaveFile(Path("b.dsc")));
  EXPECT_EQ(Bytes("b.dsc"),
            QByteArray("[Info]\r\n[Script]\r\nPause 1\r\n[1031]\r\nA=f\xfcr\r\n[1049]\r\nA=\xcf\xf0\xe8\xe2\xe5\xf2\r\n"));

  form_->SelectTab(2);
  form_->ScriptMemo->setPlainText(QString::fromUtf8("A=für Привет"));  // Cyrillic in cp1252
  ASSERT_TRUE(form_->SaveFile(Path("c.dsc")));
  EXPECT_EQ(Bytes("c.dsc"), QByteArray("\xef\xbb\xbf[Info]\r\n[Script]\r\nPause 1\r\n[1031]\r\n") +
                                QString::fromUtf8("A=für Привет\r\n[1049]\r\nA=Привет\r\n").toUtf8());
  // And it reads back as typed.
  ASSERT_TRUE(form_->OpenFile(Path("c.dsc")));
  form_->SelectTab(2);
  EXPECT_EQ(form_->ScriptMemo->toPlainText(), QString::fromUtf8("A=für Привет"));
}

TEST_F(DemoEditorTest, AFailedSaveSaysSoAndKeepsTheOldFile) {
  Write("a.dsc", "[Script]\r\nold\r\n");
  ASSERT_TRUE(QFile::setPermissions(Path("a.dsc"), QFileDevice::ReadOwner));
  form_->ScriptMemo->setPlainText("new");
  EXPECT_FALSE(form_->SaveFile(Path("a.dsc")));
  ASSERT_EQ(boxes_.size(), 1);
  EXPECT_TRUE(boxes_[0].contains("cannot be saved"));
  EXPECT_EQ(Bytes("a.dsc"), QByteArray("[Script]\r\nold\r\n"));
}

// When the start-of-demo flow cancels Play, or the player refuses to record, the
// editor gives the player's events back and stays shown.
TEST_F(DemoEditorTest, RefusedPlayOrRecordGivesThePlayersEventsBack) {
  TZelDemoPlayback& player = DemonstrationModule->GetPlayback();
  FakeLink link;
  DemonstrationModule->EditorLink = &link;
  answer_ = quill::IDNO;  // keep the user's document: the demo is cancelled
  form_->ScriptMemo->setPlainText("Pause 1");
  form_->CmPlay();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(form_->isVisible());
  // The module's own end flow answers again: the editor does not show itself.
  form_->hide();
  boxes_.clear();
  player.OnFinished(&player);
  EXPECT_EQ(boxes_.size(), 1);
  EXPECT_FALSE(form_->isVisible());
  form_->show();

  // Recording is refused while a demo plays.
  link.document = false;
  TZelDemoScript script;
  script.Reset();
  script.GetScriptLines() = {"Pause 5"};
  ASSERT_TRUE(DemonstrationModule->PlayScript(script));
  form_->CmRecord();
  EXPECT_FALSE(player.IsRecording());
  EXPECT_FALSE(player.OnStartRecording);
  EXPECT_FALSE(player.OnStopRecording);
  EXPECT_TRUE(form_->ScriptMemo->isEnabled());
  DemonstrationModule->EditorLink = nullptr;
}

// Esc and Yes: the stop question, the end-of-demo box, the editor back with the
// module's own events in the player.
TEST_F(DemoEditorTest, AStoppedPlayEndsWithTheEndBoxAndTheEditorShownAgain) {
  TZelDemoPlayback& player = DemonstrationModule->GetPlayback();
  form_->ScriptMemo->setPlainText("Pause 5");
  form_->CmPlay();
  ASSERT_TRUE(player.IsPlaying());
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(player.RequestStop());
  EXPECT_EQ(boxes_, (QStringList{GetLocalizedString(172), GetLocalizedString(725)}));
  EXPECT_TRUE(form_->isVisible());
  form_->hide();
  boxes_.clear();
  player.OnFinished(&player);
  EXPECT_EQ(boxes_.size(), 1);
  EXPECT_FALSE(form_->isVisible());
}

}  // namespace
