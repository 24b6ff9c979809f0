// TMainForm: the program's one main window.
//
// A shell with no document logic of its own: a menu bar, toolbar areas on every side,
// dock areas for panels, a client area for the document's view, a status bar and the
// image list of every menu item and toolbar button. The modules put their menus,
// toolbars, buttons and panels into it at start, only through its Add operations. It
// keeps the Language menu, stores its placement and the chosen language in the
// settings file, and hands a file dropped on it to OnFileDrop.
//
// The graphics editor creates it with ZelApplication->CreateForm(MainForm), before
// every other module, so the modules created after it find it in MainForm.
//
// Menus are Qt's: a submenu is a QMenu, an item a QAction. An item list ("Items") is a
// QMenu, the menu bar, or a toolbar; nullptr stands for the menu bar. Shortcuts are
// TShortCut values (ZelShortCut.h); image indices are those of GetImageList(), -1 for
// none.

#ifndef QUILL_FRAMEWORK_MAINFORM_H_
#define QUILL_FRAMEWORK_MAINFORM_H_

#include <QAction>
#include <QString>
#include <QUuid>

#include <functional>
#include <type_traits>
#include <utility>

#include "ZelForms.h"
#include "ZelImageList.h"
#include "ZelShortCut.h"

class QActionGroup;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;

namespace quill {

class TZelDockablePanel;

// A click handler of a menu item or button. An exception it throws is shown in an
// error box; it never reaches Qt's event dispatch.
using TZelClickHandler = std::function<void()>;

// The preloaded images, in their fixed order at the start of the main image list.
enum TZelDefaultImage : int {
  kNewImage = 0,
  kOpenImage = 1,
  kSaveImage = 2,
  kPrintImage = 3,
  kCutImage = 4,
  kCopyImage = 5,
  kPasteImage = 6,
  kDeleteImage = 7,
  kUndoImage = 8,
  kRedoImage = 9,
  kDefaultImageCount = 10,
};

// Text as a menu item's caption shows it: every "&" doubled, so that none marks the
// letter after it as the item's access key. For captions made from file names.
QString MenuCaptionText(const QString& text);

// The main window's size at its first start on a screen whose available area is
// Available: four fifths of that area, so that the tool panel shows an open fill's
// buttons, but never less than the form's own 534 x 458 while the area has room for it
// (the screen fit then bounds a larger window to the area).
QSize FirstMainWindowSize(const QSize& available);

}  // namespace quill

class TMainForm : public TZelForm {
  Q_OBJECT

 public:
  // The settings node's tag.
  static const QUuid kSettingsGuid;
  // The size of the placement record (value 2 of the settings node).
  static constexpr int kPlacementSize = 44;

  explicit TMainForm(quill::TZelComponent* owner);
  ~TMainForm() override;

  // ---- Adding to the shell ----

  // A new item with Caption, the shortcut, the main image list's ImageIndex and
  // OnClick (may be empty), owned by Items. It goes just before Before when Before is
  // one of Items' items, otherwise at the end.
  QAction* AddMenuItem(const QString& caption, quill::TShortCut shortCut, QAction* before, QWidget* items,
                       int imageIndex, quill::TZelClickHandler onClick);
  // A new submenu with Caption, placed in Items as AddMenuItem places an item. Its
  // item in Items is its menuAction().
  QMenu* AddSubmenu(const QString& caption, QWidget* items, QAction* before);
  // A new separator, placed in Items as AddMenuItem places an item.
  QAction* AddSeparator(QWidget* items, QAction* before);
  // A new toolbar with Caption at the top of the window, showing the main image list's
  // images, and its show/hide item at the end of View > Toolbars. The item's caption
  // follows the toolbar's caption.
  QToolBar* AddToolbar(const QString& caption);
  // A new item of class TItem (a QAction) owned by Toolbar (a QToolBar or a
  // TZelFlowToolbar), stored into Item before it is set up and cleared when setting up
  // throws (the exception passes on). Set up: OnClick, Images' ImageIndex (no image
  // without Images) and Caption, which is also the hint (less the mnemonic's
  // ampersand) until a hint is set; placed before Before when Before is on Toolbar,
  // otherwise at the end. Nothing, and Item cleared, without a toolbar.
  template <class TItem>
  TItem* AddToolbarButton(QWidget* toolbar, const quill::TZelImageList* images, QAction* before,
                          const QString& caption, int imageIndex, quill::TZelClickHandler onClick,
                          TItem*& item);
  // Appends the image resource ResourceName (ZelImageList.h) to the main image list and
  // returns its index; -1, and nothing added, when there is no such resource or it
  // cannot be read.
  int AddImage(const QString& resourceName);
  quill::TZelImageList& GetImageList() { return defaultImages_; }
  // A new panel owned by the window, not yet docked: its creator sets it up and docks
  // it with addDockWidget.
  quill::TZelDockablePanel* CreateDockablePanel();

  // ---- Component ----

  // Builds the Language menu, then the inherited Initialize (which localizes).
  void Initialize() override;
  // Re-reads the captions and the Language menu's names and checks.
  void Localize() override;
  // Node 1 tagged kSettingsGuid: value 2 the placement (kPlacementSize bytes), then
  // value 1 the language id.
  void SaveState(TZelSDFWriter& writer) override;
  // Applies the placement when value 2 is exactly kPlacementSize bytes and not empty,
  // made to fit the free area of a screen: a placement that meets a screen is moved
  // into it, one off every screen is centred on the primary screen, and either is cut
  // down to that area's size. Then the language of value 1.
  void LoadState(TZelSDFReader& reader) override;

  // Closes the window (through OnCloseQuery); closing the main window ends the program.
  void ExitMenuItemClick();

  // The first file of a drop onto the window, when it exists as a file.
  std::function<void(const QString& fileName)> OnFileDrop;
  // Asked before the window closes; leaving CanClose false keeps it open.
  std::function<void(bool& canClose)> OnCloseQuery;

  // ---- The window's parts; they live as long as the window ----

  QMenuBar* const Menu;
  QMenu* const FileMenuItem;
  QAction* const FileMenuSeparator;
  QAction* const ExitMenuItem;
  QMenu* const ViewMenuItem;
  QMenu* const ToolbarsMenuItem;
  QAction* const ViewMenuSeparator;
  QMenu* const LanguageMenuItem;
  QMenu* const HelpMenuItem;
  // The area between the toolbars and panels. Widgets added to its layout fill it; its
  // background is the workspace colour while it is empty.
  QWidget* const ClientArea;
  // No panels of its own.
  QStatusBar* const StatusBar;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  static void SetUpToolbarButton(QAction& item, QWidget& toolbar, const quill::TZelImageList* images,
                                 QAction* before, const QString& caption, int imageIndex,
                                 quill::TZelClickHandler onClick);

  quill::TZelImageList defaultImages_;
  QActionGroup* const languageItems_;
};

// The main window, from its creation by the graphics editor until it is freed.
extern TMainForm* MainForm;

// ---- Templates ----

template <class TItem>
TItem* TMainForm::AddToolbarButton(QWidget* toolbar, const quill::TZelImageList* images, QAction* before,
                                   const QString& caption, int imageIndex, quill::TZelClickHandler onClick,
                                   TItem*& item) {
  static_assert(std::is_base_of_v<QAction, TItem>, "a toolbar item is an action");
  item = nullptr;
  if (toolbar == nullptr) return nullptr;
  item = new TItem(toolbar);
  try {
    SetUpToolbarButton(*item, *toolbar, images, before, caption, imageIndex, std::move(onClick));
  } catch (...) {
    delete item;
    item = nullptr;
    throw;
  }
  return item;
}

#endif  // QUILL_FRAMEWORK_MAINFORM_H_
