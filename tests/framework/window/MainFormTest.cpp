#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>
#include <QUrl>
#include <QtEndian>

#include <optional>
#include <stdexcept>

#include "MainWindowTesting.h"
#include "QtPrinters.h"
#include "ZelFlowToolbar.h"
#include "ZelSDFFormat.h"

namespace {

QStringList Captions(const QWidget& items) {
  QStringList captions;
  for (const QAction* item : items.actions()) {
    captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
  }
  return captions;
}

QByteArray Int32Bytes(int32_t value) {
  QByteArray bytes(4, '\0');
  qToLittleEndian<qint32>(value, bytes.data());
  return bytes;
}

// A placement record: its size field, show command and normal rectangle.
QByteArray Placement(int32_t showCommand, QRect rect, int32_t size = TMainForm::kPlacementSize) {
  QByteArray bytes =
      Int32Bytes(size) + Int32Bytes(0) + Int32Bytes(showCommand) + QByteArray(16, '\0');
  bytes += Int32Bytes(rect.x()) + Int32Bytes(rect.y()) + Int32Bytes(rect.x() + rect.width()) +
           Int32Bytes(rect.y() + rect.height());
  return bytes;
}

// The main window's settings node holding Placement as value 2 and, unless it is
// left out, Language as value 1.
QByteArray SettingsNode(const QByteArray& placement, std::optional<int32_t> language) {
  return quill::SavedBytes([&](TZelSDFWriter& writer) {
    writer.BeginGuidNode(1, TMainForm::kSettingsGuid);
    if (!placement.isEmpty()) {
      writer.WriteBlob(2, placement.constData(), static_cast<uint32_t>(placement.size()));
    }
    if (language) writer.WriteInteger(1, *language);
    writer.EndNode();
  });
}

// Drops Files onto Window as a file manager would.
void DropFiles(QWidget& window, const QStringList& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  data.setUrls(urls);
  // Qt delivers a drop only to the widget that accepted the drag when it entered.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
}

// Re-reads the toolbar captions on every language change, as the editor does.
class ToolbarCaption {
 public:
  explicit ToolbarCaption(QToolBar* toolbar) : toolbar_(toolbar) {
    AddLocalizeHandler(quill::TZelMethod(this, &ToolbarCaption::Localize));
  }
  ~ToolbarCaption() { RemoveLocalizeHandler(quill::TZelMethod(this, &ToolbarCaption::Localize)); }
  void Localize() { toolbar_->setWindowTitle(GetLocalizedString(162)); }

 private:
  QToolBar* toolbar_;
};

using MainFormTest = quill::MainWindowTest;

void LoadMainForm(const QByteArray& bytes) {
  quill::LoadBytes(bytes, [](TZelSDFReader& reader) { MainForm->LoadState(reader); });
}

TEST_F(MainFormTest, BuildsTheShellAndLocalizesItsCaptions) {
  TMainForm& form = *MainForm;
  // The program's icon, the one the installation puts into the desktop's icon theme.
  EXPECT_FALSE(form.windowIcon().pixmap(48, 48).isNull());
  EXPECT_EQ(Captions(*form.Menu), QStringList({"File", "View", "Help"}));
  EXPECT_EQ(Captions(*form.FileMenuItem), QStringList({"-", "Exit"}));
  EXPECT_EQ(Captions(*form.ViewMenuItem), QStringList({"Toolbars", "-", "Language"}));

  ZelApplication->LoadSettings();  // no settings file: the base language
  EXPECT_EQ(GetLanguage(), 1033);
  EXPECT_EQ(form.Menu->windowTitle(), "Menu");
  EXPECT_EQ(Captions(*form.Menu), QStringList({"&File", "&View", "&Help"}));
  EXPECT_EQ(Captions(*form.FileMenuItem), QStringList({"-", "E&xit"}));
  EXPECT_EQ(Captions(*form.ViewMenuItem), QStringList({"&Toolbars", "-", "&Language"}));

  // The preloaded images keep their fixed places.
  const quill::TZelImageList& images = form.GetImageList();
  ASSERT_EQ(images.GetCount(), quill::kDefaultImageCount);
  for (int index : {quill::kOpenImage, quill::kSaveImage, quill::kPrintImage, quill::kUndoImage, quill::kRedoImage}) {
    EXPECT_FALSE(images.GetIcon(index).isNull()) << index;
  }
  EXPECT_TRUE(images.GetIcon(-1).isNull());
}

TEST_F(MainFormTest, AddsItemsBeforeAGivenItemOrAtTheEnd) {
  TMainForm& form = *MainForm;
  form.AddMenuItem("Open...", quill::scCtrl | 'O', form.FileMenuSeparator, form.FileMenuItem, quill::kOpenImage,
                   {});
  QAction* print = form.AddMenuItem("Print...", 16464, form.FileMenuSeparator, form.FileMenuItem,
                                    quill::kPrintImage, {});
  form.AddSeparator(form.FileMenuItem, print);
  EXPECT_EQ(Captions(*form.FileMenuItem), QStringList({"Open...", "-", "Print...", "-", "Exit"}));
  EXPECT_EQ(print->parent(), form.FileMenuItem);
  EXPECT_EQ(print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
  EXPECT_FALSE(print->icon().isNull());

  // A Before that is not among the items appends.
  QAction* recent = form.AddMenuItem("Recent", 0, form.ExitMenuItem, form.ViewMenuItem, -1, {});
  EXPECT_EQ(form.ViewMenuItem->actions().last(), recent);
  EXPECT_TRUE(recent->icon().isNull());
  EXPECT_TRUE(recent->shortcut().isEmpty());

  // Without Items the menu bar takes them.
  form.AddSubmenu("Edit", nullptr, form.ViewMenuItem->menuAction());
  form.AddMenuItem("Demos", 0, form.HelpMenuItem->menuAction(), nullptr, -1, {});
  EXPECT_EQ(Captions(*form.Menu), QStringList({"File", "Edit", "View", "Demos", "Help"}));
}

TEST_F(MainFormTest, WhatAClickHandlerThrowsIsShownNotPassedOn) {
  QStringList shown;
  ZelApplication->SetMessageBoxAnswerer([&shown](const QString& text, const QString&, uint32_t) {
    shown << text;
    return quill::IDOK;
  });
  int clicks = 0;
  MainForm->AddMenuItem("Count", 0, nullptr, MainForm->HelpMenuItem, -1, [&clicks] { ++clicks; })
      ->trigger();
  MainForm
      ->AddMenuItem("Fail", 0, nullptr, MainForm->HelpMenuItem, -1,
                    [] { throw std::runtime_error("print failed"); })
      ->trigger();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(shown, QStringList({"print failed"}));
}

TEST_F(MainFormTest, ToolbarsComeWithAShowHideItemThatFollowsTheirCaption) {
  TMainForm& form = *MainForm;
  QToolBar* standard = form.AddToolbar("Standard");
  QToolBar* zoom = form.AddToolbar("Zoom");
  EXPECT_EQ(form.toolBarArea(standard), Qt::TopToolBarArea);
  EXPECT_EQ(Captions(*form.ToolbarsMenuItem), QStringList({"Standard", "Zoom"}));

  QAction* toggle = form.ToolbarsMenuItem->actions()[1];
  form.show();
  toggle->trigger();
  EXPECT_TRUE(zoom->isHidden());
  EXPECT_FALSE(toggle->isChecked());
  toggle->trigger();
  EXPECT_FALSE(zoom->isHidden());

  // After a language change the items show the toolbars' new captions.
  ZelApplication->LoadSettings();
  ToolbarCaption caption(standard);
  SetLanguage(1031);
  EXPECT_EQ(form.ToolbarsMenuItem->actions()[0]->text(), "Standard-Leiste");
  form.close();
}

TEST_F(MainFormTest, ToolbarButtonsGoOnEitherKindOfToolbar) {
  TMainForm& form = *MainForm;
  QToolBar* standard = form.AddToolbar("Standard");
  QAction* save = nullptr;
  QAction* open = nullptr;
  QAction* print = nullptr;
  form.AddToolbarButton(standard, &form.GetImageList(), nullptr, "&Save", quill::kSaveImage, {}, save);
  form.AddToolbarButton(standard, &form.GetImageList(), save, "Open", quill::kOpenImage, {}, open);
  form.AddToolbarButton(standard, nullptr, form.ExitMenuItem, "Print", quill::kPrintImage, {}, print);
  EXPECT_EQ(standard->actions(), QList<QAction*>({open, save, print}));
  EXPECT_EQ(save->parent(), standard);
  EXPECT_EQ(save->toolTip(), "Save");
  EXPECT_FALSE(save->icon().isNull());
  EXPECT_TRUE(print->icon().isNull());  // no image list

  quill::TZelFlowToolbar tools;
  QAction* tool = nullptr;
  form.AddToolbarButton(&tools, &form.GetImageList(), nullptr, "Tool", quill::kUndoImage, {}, tool);
  EXPECT_NE(tools.GetItemWidget(tool), nullptr);

  EXPECT_EQ(form.AddToolbarButton(nullptr, nullptr, nullptr, "None", -1, {}, tool), nullptr);
  EXPECT_EQ(tool, nullptr);
}

TEST_F(MainFormTest, AddImageFindsResourcesWithoutRegardToCase) {
  EXPECT_EQ(MainForm->AddImage("undo"), quill::kDefaultImageCount);
  EXPECT_EQ(MainForm->AddImage("PRINT"), quill::kDefaultImageCount + 1);
  EXPECT_FALSE(MainForm->GetImageList().GetIcon(quill::kDefaultImageCount).isNull());
  EXPECT_EQ(MainForm->AddImage("NoSuchImage"), -1);
  EXPECT_EQ(MainForm->AddImage("../icons/Undo"), -1);
  EXPECT_EQ(MainForm->GetImageList().GetCount(), quill::kDefaultImageCount + 2);
}

TEST_F(MainFormTest, TheLanguageMenuChecksExactlyTheCurrentLanguage) {
  TMainForm& form = *MainForm;
  ZelApplication->LoadSettings();
  auto checked = [&form] {
    QStringList names;
    for (const QAction* item : form.LanguageMenuItem->actions()) {
      if (item->isChecked()) names << item->text();
    }
    return names;
  };
  EXPECT_EQ(form.LanguageMenuItem->actions().size(), 2);
  EXPECT_EQ(checked(), QStringList({"English"}));

  for (QAction* item : form.LanguageMenuItem->actions()) {
    if (item->text() == "Deutsch") item->trigger();
  }
  EXPECT_EQ(GetLanguage(), 1031);
  EXPECT_EQ(checked(), QStringList({"Deutsch"}));
  EXPECT_EQ(Captions(*form.Menu), QStringList({"&Datei", "&Ansicht", "&Hilfe"}));
}

TEST_F(MainFormTest, SavesThePlacementBeforeTheLanguage) {
  MainForm->setGeometry(40, 30, 500, 400);
  SetLanguage(1031);
  const QByteArray saved = quill::SavedBytes([](TZelSDFWriter& writer) { MainForm->SaveState(writer); });

  const auto guid = quill::sdf::GuidBytes(TMainForm::kSettingsGuid);
  QByteArray expected("\xD5\x01\x0D\x10", 4);
  expected += QByteArray(reinterpret_cast<const char*>(guid.data()), quill::sdf::kGuidSize);
  expected += QByteArray("\x55\x02\x0E\x2C", 4) + Placement(1, QRect(40, 30, 500, 400));
  expected += QByteArray("\x55\x01\x05\x04", 4) + Int32Bytes(1031) + '\0';
  EXPECT_EQ(saved.toHex(' '), expected.toHex(' '));
}

TEST_F(MainFormTest, RestoresAValidPlacementOfExactly44Bytes) {
  const QRect rect(60, 50, 420, 300);
  LoadMainForm(SettingsNode(Placement(1, rect), std::nullopt));
  EXPECT_EQ(MainForm->geometry(), rect);
  EXPECT_FALSE(MainForm->isMaximized());

  // Maximised, with the normal rectangle kept beneath it for the next save.
  const QByteArray maximized = Placement(3, QRect(70, 80, 300, 200));
  Start();
  LoadMainForm(SettingsNode(maximized, std::nullopt));
  EXPECT_TRUE(MainForm->isMaximized());
  EXPECT_TRUE(
      quill::SavedBytes([](TZelSDFWriter& writer) { MainForm->SaveState(writer); }).contains(maximized));
}

TEST_F(MainFormTest, IgnoresPlacementsOfAnotherSizeOrWithoutArea) {
  const QRect initial = MainForm->geometry();
  const QRect rect(60, 50, 420, 300);
  for (const QByteArray& placement :
       {Placement(1, rect).left(43), Placement(1, rect) + '\0', Placement(1, rect, 40),
        Placement(1, QRect(60, 50, 0, 300)), Placement(1, QRect(60, 50, 420, -5))}) {
    LoadMainForm(SettingsNode(placement, std::nullopt));
    EXPECT_EQ(MainForm->geometry(), initial) << placement.toHex().constData();
  }
}

TEST_F(MainFormTest, MovesAPlacementOffEveryScreenOntoOne) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  LoadMainForm(SettingsNode(Placement(1, QRect(screen.right() + 500, 100, 300, 200)), {}));
  EXPECT_TRUE(screen.contains(MainForm->geometry()));
  EXPECT_EQ(MainForm->geometry().size(), QSize(300, 200));

  LoadMainForm(SettingsNode(Placement(1, QRect(-90000, -90000, 50000, 50000)), {}));
  EXPECT_TRUE(screen.contains(MainForm->geometry()));  // made to fit as well

  // Edges at the 32-bit limits are off every screen too.
  for (const QPoint corner : {QPoint(INT32_MIN, 100), QPoint(100, INT32_MIN)}) {
    LoadMainForm(SettingsNode(Placement(1, QRect(corner, QSize(300, 200))), {}));
    EXPECT_TRUE(screen.contains(MainForm->geometry())) << corner.x() << ", " << corner.y();
    EXPECT_EQ(MainForm->geometry().size(), QSize(300, 200));
  }
}

TEST_F(MainFormTest, KeepsAPlacementThatMeetsAScreenInsideItsFreeArea) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  LoadMainForm(SettingsNode(Placement(1, QRect(screen.topLeft() + QPoint(10, 10),
                                               QSize(40000, 40000))), {}));
  EXPECT_EQ(MainForm->geometry(), screen);

  // Partly off the screen: moved in, its size kept.
  LoadMainForm(SettingsNode(Placement(1, QRect(screen.right() - 100, screen.top() - 50,
                                               300, 200)), {}));
  EXPECT_EQ(MainForm->geometry(),
            QRect(screen.right() + 1 - 300, screen.top(), 300, 200));
}

TEST_F(MainFormTest, AppliesTheLowWordOfTheSavedLanguage) {
  LoadMainForm(SettingsNode({}, 0x10000 + 1031));
  EXPECT_EQ(GetLanguage(), 1031);
  LoadMainForm(SettingsNode({}, 1049));  // no such language file
  EXPECT_EQ(GetLanguage(), 1031);
}

class DropTest : public quill::MainWindowTest {
 protected:
  void SetUp() override {
    quill::MainWindowTest::SetUp();
    MainForm->OnFileDrop = [this](const QString& name) { dropped_ << name; };
  }
  QString MakeFile(const QString& name) {
    const QString path = QDir(folder_.path()).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
  }
  QTemporaryDir folder_;
  QStringList dropped_;
};

TEST_F(DropTest, OnlyTheFirstDroppedFileIsOpened) {
  const QString a = MakeFile("a.jpg");
  const QString b = MakeFile("b.jpg");
  DropFiles(*MainForm, {a, b, MakeFile("c.jpg")});
  EXPECT_EQ(dropped_, QStringList({a}));

  // A first name that is no file is ignored, and so are the rest.
  DropFiles(*MainForm, {QDir(folder_.path()).filePath("missing.jpg"), b});
  DropFiles(*MainForm, {folder_.path(), b});
  EXPECT_EQ(dropped_, QStringList({a}));
}

TEST_F(DropTest, ALongPathIsPassedWhole) {
  const QString name =
      QStringLiteral("a-rather-long-folder-name-for-the-photographs-of-the-trip/").repeated(6) +
      QStringLiteral("wires.jpg");
  const QString path = MakeFile(name);
  ASSERT_GT(path.size(), 260);
  DropFiles(*MainForm, {path});
  EXPECT_EQ(dropped_, QStringList({path}));
}

TEST_F(MainFormTest, ExitClosesTheWindowUnlessTheCloseQuestionSaysNo) {
  bool allow = false;
  MainForm->OnCloseQuery = [&allow](bool& canClose) { canClose = allow; };
  MainForm->show();
  MainForm->ExitMenuItem->trigger();
  EXPECT_TRUE(MainForm->isVisible());
  allow = true;
  MainForm->ExitMenuItem->trigger();
  EXPECT_FALSE(MainForm->isVisible());
}

TEST(ShortCutTest, MapsVirtualKeysAndModifiersToKeySequences) {
  EXPECT_EQ(quill::ShortCutToKeySequence(quill::scCtrl | quill::scShift | 'D'),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
  EXPECT_EQ(quill::ShortCutToKeySequence(quill::scCtrl | quill::scAlt | '0'),
            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0));
  EXPECT_EQ(quill::ShortCutToKeySequence(0x70), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(quill::ShortCutToKeySequence(quill::scCtrl | 0x6B),  // numeric-keypad plus
            QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus));
  EXPECT_TRUE(quill::ShortCutToKeySequence(0).isEmpty());
  EXPECT_TRUE(quill::ShortCutToKeySequence(quill::scCtrl | 0xFF).isEmpty());
}

}  // namespace
