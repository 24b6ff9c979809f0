#include "MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "LittleEndian.h"
#include "ZelDockablePanel.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelTypes.h"

TMainForm* MainForm = nullptr;

const QUuid TMainForm::kSettingsGuid("{7AF6D7FF-618B-41D9-882E-419D500DF28B}");

namespace {

// The resources of the preloaded images, in the order of TZelDefaultImage.
constexpr const char* kDefaultImageNames[quill::kDefaultImageCount] = {
    "New", "Open", "Save", "Print", "Cut", "Copy", "Paste", "Delete", "Undo", "Redo"};

constexpr QSize kImageSize(16, 16);

// String ids of the window's captions.
constexpr int32_t kMenuCaptionId = 161;
constexpr int32_t kFileCaptionId = 10;
constexpr int32_t kExitCaptionId = 23;
constexpr int32_t kViewCaptionId = 34;
constexpr int32_t kToolbarsCaptionId = 163;
constexpr int32_t kLanguageCaptionId = 41;
constexpr int32_t kHelpCaptionId = 46;

// ---- The placement record ----
//
// The layout of the platform's window placement, little-endian: 0 its size (44),
// 4 flags, 8 show command, 12 and 20 the minimised and maximised positions (unused,
// zeros), 28 the normal rectangle as left, top, right, bottom (right and bottom
// exclusive).

constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_SHOWMAXIMIZED = 3;

using TPlacementRecord = std::array<uint8_t, TMainForm::kPlacementSize>;

struct TPlacement {
  quill::TRect normal;  // right and bottom exclusive, as stored
  bool maximized = false;
};

TPlacementRecord EncodePlacement(const TPlacement& placement) {
  TPlacementRecord record{};
  quill::PutInt32LE(record.data(), TMainForm::kPlacementSize);
  quill::PutInt32LE(record.data() + 8, placement.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  quill::PutInt32LE(record.data() + 28, placement.normal.Left);
  quill::PutInt32LE(record.data() + 32, placement.normal.Top);
  quill::PutInt32LE(record.data() + 36, placement.normal.Right);
  quill::PutInt32LE(record.data() + 40, placement.normal.Bottom);
  return record;
}

// The placement of Record; none when its size field is wrong or its rectangle is
// empty. A minimised placement comes back as a normal one.
std::optional<TPlacement> DecodePlacement(const TPlacementRecord& record) {
  if (quill::GetInt32LE(record.data()) != TMainForm::kPlacementSize) return std::nullopt;
  TPlacement placement;
  placement.normal = {quill::GetInt32LE(record.data() + 28), quill::GetInt32LE(record.data() + 32), quill::GetInt32LE(record.data() + 36),
                      quill::GetInt32LE(record.data() + 40)};
  if (placement.normal.IsEmpty()) return std::nullopt;
  placement.maximized = quill::GetInt32LE(record.data() + 8) == SW_SHOWMAXIMIZED;
  return placement;
}

// Rect made to fit the free area of a screen: of the first screen it meets, where it
// is moved only as far as needed to lie wholly inside; else of the primary screen,
// centred. Either way it is cut down to that area's size. None without a screen.
std::optional<QRect> FittedToAScreen(const quill::TRect& rect) {
  const QScreen* target = nullptr;
  QRect area;
  for (const QScreen* screen : QGuiApplication::screens()) {
    area = screen->availableGeometry();
    const quill::TRect free{area.left(), area.top(), area.left() + area.width(),
                     area.top() + area.height()};
    if (!quill::IntersectRect(rect, free).IsEmpty()) {
      target = screen;
      break;
    }
  }
  const bool meets = target != nullptr;
  if (!meets) {
    target = QGuiApplication::primaryScreen();
    if (target == nullptr) return std::nullopt;
    area = target->availableGeometry();
  }
  const int width = static_cast<int>(std::min<int64_t>(rect.Width(), area.width()));
  const int height = static_cast<int>(std::min<int64_t>(rect.Height(), area.height()));
  if (!meets) {
    return QRect(area.left() + (area.width() - width) / 2,
                 area.top() + (area.height() - height) / 2, width, height);
  }
  return QRect(std::clamp(rect.Left, area.left(), area.left() + area.width() - width),
               std::clamp(rect.Top, area.top(), area.top() + area.height() - height), width,
               height);
}

void ConnectClick(QAction& item, quill::TZelClickHandler onClick) {
  if (!onClick) return;
  QObject::connect(&item, &QAction::triggered, &item,
                   [handler = std::move(onClick)] { quill::RunReported(handler); });
}

// Puts Item into Items just before Before, or at the end when Before is not there.
void InsertItem(QWidget& items, QAction& item, QAction* before) {
  if (before != nullptr && items.actions().contains(before)) {
    items.insertAction(before, &item);
  } else {
    items.addAction(&item);
  }
}

}  // namespace

QSize quill::FirstMainWindowSize(const QSize& available) {
  const QSize form(534, 458);
  return QSize(available.width() * 4 / 5, available.height() * 4 / 5).expandedTo(form).boundedTo(
      available.expandedTo(QSize(1, 1)));
}

QString quill::MenuCaptionText(const QString& text) {
  QString caption = text;
  return caption.replace(QLatin1Char('&'), QLatin1String("&&"));
}

TMainForm::TMainForm(quill::TZelComponent* owner)
    : TZelForm(owner),
      Menu(menuBar()),
      FileMenuItem(Menu->addMenu(QStringLiteral("File"))),
      FileMenuSeparator(FileMenuItem->addSeparator()),
      ExitMenuItem(FileMenuItem->addAction(QStringLiteral("Exit"))),
      ViewMenuItem(Menu->addMenu(QStringLiteral("View"))),
      ToolbarsMenuItem(ViewMenuItem->addMenu(QStringLiteral("Toolbars"))),
      ViewMenuSeparator(ViewMenuItem->addSeparator()),
      LanguageMenuItem(ViewMenuItem->addMenu(QStringLiteral("Language"))),
      HelpMenuItem(Menu->addMenu(QStringLiteral("Help"))),
      ClientArea(new QWidget(this)),
      StatusBar(statusBar()),
      defaultImages_(kImageSize),
      languageItems_(new QActionGroup(this)) {
  quill::InitProgramResources();
  // The icon that the desktop entry names too.
  setWindowIcon(QIcon(QStringLiteral(":/quillmere.svg")));
  const QScreen* screen = QGuiApplication::primaryScreen();
  resize(quill::FirstMainWindowSize(screen != nullptr ? screen->availableGeometry().size() : QSize(534, 458)));
  setAcceptDrops(true);
  Menu->setWindowTitle(QStringLiteral("Menu"));
  connect(ExitMenuItem, &QAction::triggered, this, [this] { ExitMenuItemClick(); });

  ClientArea->setAutoFillBackground(true);
  ClientArea->setBackgroundRole(QPalette::Dark);
  auto* clientLayout = new QVBoxLayout(ClientArea);
  clientLayout->setContentsMargins(0, 0, 0, 0);
  clientLayout->setSpacing(0);
  setCentralWidget(ClientArea);

  for (const char* name : kDefaultImageNames) {
    defaultImages_.Add(quill::LoadImageResource(QString::fromLatin1(name), defaultImages_.GetSize()));
  }
}

TMainForm::~TMainForm() {
  if (MainForm == this) MainForm = nullptr;
}

// ---- Adding to the shell ----

QAction* TMainForm::AddMenuItem(const QString& caption, quill::TShortCut shortCut, QAction* before,
                                QWidget* items, int imageIndex, quill::TZelClickHandler onClick) {
  QWidget& list = items != nullptr ? *items : *Menu;
  auto* item = new QAction(caption, &list);
  item->setShortcut(quill::ShortCutToKeySequence(shortCut));
  item->setIcon(defaultImages_.GetIcon(imageIndex));
  ConnectClick(*item, std::move(onClick));
  InsertItem(list, *item, before);
  return item;
}

QMenu* TMainForm::AddSubmenu(const QString& caption, QWidget* items, QAction* before) {
  QWidget& list = items != nullptr ? *items : *Menu;
  auto* submenu = new QMenu(caption, &list);
  InsertItem(list, *submenu->menuAction(), before);
  return submenu;
}

QAction* TMainForm::AddSeparator(QWidget* items, QAction* before) {
  QWidget& list = items != nullptr ? *items : *Menu;
  auto* separator = new QAction(&list);
  separator->setSeparator(true);
  InsertItem(list, *separator, before);
  return separator;
}

QToolBar* TMainForm::AddToolbar(const QString& caption) {
  auto* toolbar = new QToolBar(caption, this);
  toolbar->setIconSize(defaultImages_.GetSize());
  addToolBar(Qt::TopToolBarArea, toolbar);
  // The toggle item checks and unchecks itself with the toolbar's visibility, and
  // QToolBar keeps its text equal to the toolbar's caption.
  ToolbarsMenuItem->addAction(toolbar->toggleViewAction());
  return toolbar;
}

void TMainForm::SetUpToolbarButton(QAction& item, QWidget& toolbar, const quill::TZelImageList* images,
                                   QAction* before, const QString& caption, int imageIndex,
                                   quill::TZelClickHandler onClick) {
  ConnectClick(item, std::move(onClick));
  if (images != nullptr) item.setIcon(images->GetIcon(imageIndex));
  // QAction's hint is its text (without the mnemonic's ampersand) until one is set.
  item.setText(caption);
  InsertItem(toolbar, item, before);
}

int TMainForm::AddImage(const QString& resourceName) {
  const QIcon icon = quill::LoadImageResource(resourceName, defaultImages_.GetSize());
  if (icon.isNull()) return -1;
  return defaultImages_.Add(icon);
}

quill::TZelDockablePanel* TMainForm::CreateDockablePanel() { return new quill::TZelDockablePanel(this); }

// ---- Component ----

void TMainForm::Initialize() {
  std::vector<TZelLanguage> languages;
  GetLanguageList(languages);
  for (const TZelLanguage& language : languages) {
    const uint16_t langId = language.LangId;
    QAction* item = AddMenuItem(language.Name, 0, nullptr, LanguageMenuItem, -1,
                                [langId] { SetLanguage(langId); });
    item->setCheckable(true);
    item->setData(langId);
    languageItems_->addAction(item);
  }
  TZelForm::Initialize();
}

void TMainForm::Localize() {
  Menu->setWindowTitle(GetLocalizedString(kMenuCaptionId));
  FileMenuItem->setTitle(GetLocalizedString(kFileCaptionId));
  ExitMenuItem->setText(GetLocalizedString(kExitCaptionId));
  ViewMenuItem->setTitle(GetLocalizedString(kViewCaptionId));
  ToolbarsMenuItem->setTitle(GetLocalizedString(kToolbarsCaptionId));
  LanguageMenuItem->setTitle(GetLocalizedString(kLanguageCaptionId));
  HelpMenuItem->setTitle(GetLocalizedString(kHelpCaptionId));

  const uint16_t current = GetLanguage();
  for (QAction* item : languageItems_->actions()) {
    const auto langId = static_cast<uint16_t>(item->data().toUInt());
    item->setChecked(langId == current);
    QString name = item->text();
    GetLanguageName(langId, name);
    item->setText(name);
  }
}

void TMainForm::SaveState(TZelSDFWriter& writer) {
  QRect normal = normalGeometry();
  if (normal.isEmpty()) normal = geometry();
  TPlacement placement;
  placement.normal = {normal.x(), normal.y(), normal.x() + normal.width(),
                      normal.y() + normal.height()};
  placement.maximized = isMaximized();
  const TPlacementRecord record = EncodePlacement(placement);

  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteBlob(2, record.data(), kPlacementSize);
  writer.WriteInteger(1, GetLanguage());
  writer.EndNode();
}

void TMainForm::LoadState(TZelSDFReader& reader) {
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  TPlacementRecord record{};
  if (reader.ReadBlob(2, record.data(), kPlacementSize)) {
    if (const std::optional<TPlacement> placement = DecodePlacement(record)) {
      if (const std::optional<QRect> fitted = FittedToAScreen(placement->normal)) {
        setGeometry(*fitted);
      }
      setWindowState(placement->maximized ? windowState() | Qt::WindowMaximized
                                          : windowState() & ~Qt::WindowMaximized);
    }
  }
  int32_t language = GetLanguage();
  if (reader.ReadInteger(1, language)) SetLanguage(static_cast<uint16_t>(language & 0xFFFF));
  reader.LeaveNode();
}

void TMainForm::ExitMenuItemClick() { close(); }

// ---- Events ----

void TMainForm::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  if (OnCloseQuery && !quill::RunReported([this, &canClose] { OnCloseQuery(canClose); })) {
    canClose = false;
  }
  if (!canClose) {
    event->ignore();
    return;
  }
  TZelForm::closeEvent(event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  // Only the first file counts, whatever else was dropped with it. Its name is taken
  // whole: a name cut short could name another file.
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  if (urls.isEmpty() || !OnFileDrop) return;
  const QString fileName = urls.first().toLocalFile();
  if (fileName.isEmpty() || !QFileInfo(fileName).isFile()) return;
  quill::RunReported([this, &fileName] { OnFileDrop(fileName); });
}
