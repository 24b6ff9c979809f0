#include "ZelDemonstrationModule.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

#include "ImageCodecs.h"
#include "MainForm.h"
#include "ZelDemoActions.h"
#include "ZelFlowToolbar.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelUtils.h"

TZelDemonstrationModule* DemonstrationModule = nullptr;

const QUuid TZelDemonstrationModule::kSettingsGuid("{2032DB53-FE8E-4FB8-8457-43C5430C9D6B}");

namespace {

constexpr int kThumbnailSize = 64;
constexpr QRgb kThumbnailBorder = 0xCBCBCB;

// The demo list's picture for a script without one of its own: a frame of film.
QImage BuiltInThumbnail() {
  QImage image(kThumbnailSize, kThumbnailSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(0x44, 0x55, 0x66));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(8, 14, 48, 36), 4, 4);
  painter.setBrush(Qt::white);
  const QPointF play[] = {{27, 22}, {27, 42}, {43, 32}};
  painter.drawPolygon(play, 3);
  painter.setPen(QColor::fromRgb(kThumbnailBorder));
  painter.setBrush(Qt::NoBrush);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.drawRect(0, 0, kThumbnailSize - 1, kThumbnailSize - 1);
  return image;
}

// The [Info] Image of Script, fitted and centred in 64 x 64 with a grey border; a null
// image when it cannot be loaded.
QImage ScriptThumbnail(const TZelDemoScript& script, const QString& folder) {
  const std::string name = script.GetInfoValue("Image");
  if (name.empty()) return {};
  const QString path = folder + script.DecodeFileName(name);
  QImage fitted;
  if (!quill::MakeThumbnail(std::filesystem::path(QFile::encodeName(path).toStdString()), kThumbnailSize,
                            kThumbnailSize, fitted) ||
      fitted.isNull()) {
    return {};
  }
  QImage image(kThumbnailSize, kThumbnailSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  const quill::TRect box = CenterRect({0, 0, fitted.width(), fitted.height()},
                               {0, 0, kThumbnailSize, kThumbnailSize});
  QPainter painter(&image);
  painter.drawImage(QPoint(box.Left, box.Top), fitted);
  painter.setPen(QColor::fromRgb(kThumbnailBorder));
  painter.drawRect(0, 0, kThumbnailSize - 1, kThumbnailSize - 1);
  return image;
}

QString StringOf(int32_t id) { return GetLocalizedString(id); }

// String 37 names the menu item, with its mnemonic; captions show it without.
QString DemosCaption() { return StringOf(37).remove(QRegularExpression(QStringLiteral("&(?!&)"))); }

int Ask(int32_t textId, uint32_t flags) {
  return ZelApplication->MessageBoxWithCaption(StringOf(textId), DemosCaption(), flags);
}

}  // namespace

namespace quill {

bool ControlCentre(const QWidget* control, quill::TPoint& point) {
  if (control == nullptr) return false;
  const QPoint centre = control->mapToGlobal(QPoint(control->width() / 2, control->height() / 2));
  point = {centre.x(), centre.y()};
  return true;
}

bool MenuItemCentre(QAction* item, quill::TPoint& point) {
  if (item == nullptr) return false;
  auto centreIn = [&](QWidget* menu, const QRect& rect) {
    if (!rect.isValid()) return false;
    const QPoint centre = menu->mapToGlobal(rect.center());
    point = {centre.x(), centre.y()};
    return true;
  };
  if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
    if (popup->actions().contains(item)) return centreIn(popup, popup->actionGeometry(item));
  }
  for (QObject* owner : item->associatedObjects()) {
    if (auto* menu = qobject_cast<QMenu*>(owner); menu != nullptr && menu->isVisible()) {
      return centreIn(menu, menu->actionGeometry(item));
    }
    if (auto* bar = qobject_cast<QMenuBar*>(owner); bar != nullptr && bar->isVisible()) {
      return centreIn(bar, bar->actionGeometry(item));
    }
  }
  return false;
}

bool ToolbarItemCentre(QAction* item, quill::TPoint& point) {
  // A hidden item's button may stand until the toolbar's next layout.
  if (item == nullptr || !item->isVisible()) return false;
  for (QObject* owner : item->associatedObjects()) {
    QWidget* button = nullptr;
    if (auto* toolbar = qobject_cast<QToolBar*>(owner)) button = toolbar->widgetForAction(item);
    if (auto* flow = qobject_cast<TZelFlowToolbar*>(owner)) button = flow->GetItemWidget(item);
    if (button != nullptr && button->isVisible() && ControlCentre(button, point)) return true;
  }
  return false;
}

}  // namespace quill

// ---- TZelDemonstrationModule ----

TZelDemonstrationModule::TZelDemonstrationModule(TZelComponent* owner)
    : TZelModuleWithControls(owner), Playback(std::make_unique<TZelDemoPlayback>()) {
  DemonstrationModule = this;
  Playback->OnUserCommand = [this](TZelDemoPlayback* sender, const std::string& name, bool& handled,
                                   TZelDemoScriptUserAction* action, const TZelDemoScriptParams& params) {
    ExecuteCommand(sender, name, handled, action, params);
  };
  Playback->OnTargetPoint = [this](TZelDemoPlayback* sender, const TZelDemoScriptParams& params,
                                   bool& found, quill::TPoint& point) { GetTargetPoint(sender, params, found, point); };
  Playback->OnBeforePlay = [this](TZelDemoPlayback* sender, bool& cancel) { PlaybackBeforePlay(sender, cancel); };
  Playback->OnStopQuery = [this](TZelDemoPlayback* sender, bool& stop) { PlaybackStopQuery(sender, stop); };
  Playback->OnFinished = [this](TZelDemoPlayback* sender) { PlaybackEnded(sender); };
  Playback->OnError = [this](TZelDemoPlayback* sender, const QString& message, bool& stop,
                             const std::string& line) { PlaybackError(sender, message, stop, line); };
  if (MainForm != nullptr) {
    DemoMenuItem = MainForm->AddMenuItem(StringOf(37), 0, MainForm->HelpMenuItem->menuAction(), nullptr,
                                         -1, [this] { ShowDemoDialog(); });
  }
}

TZelDemonstrationModule::~TZelDemonstrationModule() {
  delete DemoMenuItem.data();
  Playback.reset();
  if (DemonstrationModule == this) DemonstrationModule = nullptr;
}

void TZelDemonstrationModule::AddCommand(TCommand command) {
  command.Name = command.Name.toUpper();
  commands_.push_back(std::move(command));
}

bool TZelDemonstrationModule::Live(const TCommand& command) {
  return !command.Alive.expired() && (!command.GuardsWidget || !command.Widget.isNull());
}

void TZelDemonstrationModule::RegisterControl(const QString& name, QWidget* control) {
  if (control == nullptr) return;
  targets_.push_back({name.toUpper(), control, nullptr});
}

void TZelDemonstrationModule::RegisterControl(const QString& name, QAction* item) {
  if (item == nullptr) return;
  targets_.push_back({name.toUpper(), nullptr, item});
}

void TZelDemonstrationModule::RecordLine(const std::string& line) {
  if (Playback->IsRecording()) Playback->RecordLine(line);
}

void TZelDemonstrationModule::RecordMouseMove(const QString& target) {
  RecordLine(("MouseCurvedMove " + target).toStdString());
}

void TZelDemonstrationModule::RecordClick(const QString& target, const QString& value) {
  if (!Playback->IsRecording()) return;
  RecordMouseMove(target);
  RecordLine((value.isEmpty() ? target : target + " " + value).toStdString());
}

void TZelDemonstrationModule::PlayDemo(const QString& name) {
  const QString path = DemoFolder + name + ".dsc";
  if (!QFileInfo(path).isFile()) return;
  TZelDemoScript script;
  if (!script.LoadFromFile(path)) return;
  PlayScript(script);
}

bool TZelDemonstrationModule::PlayScript(const TZelDemoScript& script) {
  Playback->AssignScript(script);
  Playback->Play(0);
  return Playback->IsPlaying();
}

QStringList TZelDemonstrationModule::ListDemoFiles(const QString& folder) {
  QDir dir(folder);
  QStringList files;
  for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.dsc")},
                                                 QDir::Files | QDir::Hidden | QDir::System)) {
    files.append(info.filePath());
  }
  std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  return files;
}

void TZelDemonstrationModule::ShowDemoDialog() {
  auto* form = ZelCreate<TZelDemonstrationForm>(nullptr, *this);
  std::unique_ptr<TZelDemonstrationForm> owned(form);
  const bool start = form->ShowModal() == quill::IDOK && form->SelectedScript != nullptr;
  LastDemoIndex = form->GetSelectedIndex();
  bool playing = false;
  if (start) {
    if (EditorLink != nullptr) EditorLink->ShowToolsPanel();
    ++LastDemoIndex;
    playing = PlayScript(*form->SelectedScript);
    StartedFromDialog = playing;
  }
  if (!playing) ReopenExchangeFile();
}

void TZelDemonstrationModule::ShowDemoDialogDeferred() {
  ZelApplication->PostDeferredCall(quill::TZelMethod(this, &TZelDemonstrationModule::ShowDemoDialog));
}

void TZelDemonstrationModule::ExecuteCommand(TZelDemoPlayback* sender, const std::string& name,
                                             bool& handled, TZelDemoScriptUserAction* /*action*/,
                                             const TZelDemoScriptParams& params) {
  const QString upper = QString::fromStdString(name).toUpper();
  for (const TCommand& command : commands_) {
    if (command.Name != upper || !Live(command)) continue;
    command.Call(params);
    handled = true;
    return;
  }
  quill::OfferCommand(sender, upper, handled, &params);
}

void TZelDemonstrationModule::GetTargetPoint(TZelDemoPlayback* sender, const TZelDemoScriptParams& params,
                                             bool& found, quill::TPoint& point) {
  const QString name = QString::fromStdString(quill::VariantToText(quill::ParamAt(params, 0))).toUpper();
  for (const TTarget& target : targets_) {
    if (target.Name != name) continue;
    if (target.Control != nullptr) {
      found = quill::ControlCentre(target.Control, point);
    } else if (target.Item != nullptr) {
      found = quill::ToolbarItemCentre(target.Item, point) || quill::MenuItemCentre(target.Item, point);
    }
    if (found) return;
  }
  quill::OfferTargetPoint(sender, &params, found, point);
}

void TZelDemonstrationModule::PlaybackBeforePlay(TZelDemoPlayback* sender, bool& cancel) {
  if (EditorLink != nullptr) {
    if (EditorLink->HasDocument() && EditorLink->DocumentOpenedByScript()) EditorLink->CloseDocumentNow();
    if (EditorLink->HasDocument()) cancel = Ask(173, MB_YESNO | MB_ICONQUESTION) != quill::IDYES;
    if (EditorLink->HasDocument() && !cancel) {
      if (EditorLink->PluginMode()) {
        PluginFileName = EditorLink->SaveAndCloseExchangeDocument();
        cancel = PluginFileName.isEmpty();
      } else if (!EditorLink->CloseDocument()) {
        cancel = true;
      }
    }
  }
  if (cancel) return;
  SavedTitle = ZelApplication->GetTitle();
  ZelApplication->SetTitle(SavedTitle + " - " + sender->GetScript().GetTitle());
}

void TZelDemonstrationModule::PlaybackStopQuery(TZelDemoPlayback* sender, bool& stop) {
  stop = Ask(172, MB_YESNO | MB_ICONQUESTION) == quill::IDYES;
  if (!stop) return;
  if (EditorLink != nullptr) {
    if (sender->GetButtonHeld()) EditorLink->AbortStroke();
    EditorLink->CancelPendingWork();
  }
  DemoOver(StartedFromDialog);
}

void TZelDemonstrationModule::PlaybackEnded(TZelDemoPlayback* /*sender*/) {
  ZelApplication->SetTitle(SavedTitle);
  Ask(725, MB_OK | MB_ICONINFORMATION);
  DemoOver(StartedFromDialog);
}

void TZelDemonstrationModule::PlaybackError(TZelDemoPlayback* /*sender*/, const QString& message,
                                            bool& stop, const std::string& line) {
  ZelApplication->MessageBoxWithCaption(message + "\n" + quill::ShownScriptText(line), DemosCaption(),
                                        MB_OK | MB_ICONERROR);
  if (stop) DemoOver(false);
}

void TZelDemonstrationModule::DemoOver(bool reopenList) {
  ZelApplication->SetTitle(SavedTitle);
  StartedFromDialog = false;
  if (reopenList) {
    ShowDemoDialogDeferred();
  } else {
    ReopenExchangeFile();
  }
}

void TZelDemonstrationModule::ReopenExchangeFile() {
  if (PluginFileName.isEmpty() || EditorLink == nullptr || !EditorLink->PluginMode()) return;
  const QString fileName = PluginFileName;
  PluginFileName.clear();
  EditorLink->OpenFile(fileName);
}

void TZelDemonstrationModule::Localize() {
  if (DemoMenuItem != nullptr) DemoMenuItem->setText(StringOf(37));
}

void TZelDemonstrationModule::LoadState(TZelSDFReader& reader) {
  TZelModuleWithControls::LoadState(reader);
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  bool value = false;
  if (reader.ReadBoolean(1, value)) ShowAtStartup = value;
  reader.LeaveNode();
}

void TZelDemonstrationModule::SaveState(TZelSDFWriter& writer) {
  TZelModuleWithControls::SaveState(writer);
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteByte(1, ShowAtStartup ? 1 : 0);
  writer.EndNode();
}

void TZelDemonstrationModule::Initialize() {
  if (ShowAtStartup) ShowDemoDialogDeferred();
  TZelModuleWithControls::Initialize();
}

void TZelDemonstrationModule::UpdateControls() {
  if (DemoMenuItem != nullptr) DemoMenuItem->setEnabled(!Playback->IsPlaying());
}

QStringList TZelDemonstrationModule::GetCommandNames() const {
  QStringList names;
  for (const TCommand& command : commands_) names.append(command.Name);
  return names;
}

QStringList TZelDemonstrationModule::GetTargetNames() const {
  QStringList names;
  for (const TTarget& target : targets_) names.append(target.Name);
  return names;
}

// ---- TZelDemonstrationForm ----

TZelDemonstrationForm::TZelDemonstrationForm(TZelComponent* owner, TZelDemonstrationModule& module)
    : TZelForm(owner), module_(module) {
  setWindowModality(Qt::ApplicationModal);
  setWindowFlag(Qt::Dialog);
  auto* client = new QWidget(this);
  setCentralWidget(client);
  auto* layout = new QVBoxLayout(client);
  SelectLabel = new QLabel(client);
  DemoListView = new QListWidget(client);
  DemoListView->setViewMode(QListView::IconMode);
  DemoListView->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
  DemoListView->setGridSize(QSize(150, 112));
  DemoListView->setResizeMode(QListView::Adjust);
  DemoListView->setMovement(QListView::Static);
  DemoListView->setWordWrap(true);
  DemoListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DemoListView->setSelectionMode(QAbstractItemView::SingleSelection);
  EscTntLabel = new QLabel(client);
  EscTntLabel->setWordWrap(true);
  ShowAtStartupCheckBox = new QCheckBox(client);
  StartButton = new QPushButton(client);
  CloseButton = new QPushButton(client);
  SetDialogButtons(StartButton, CloseButton);
  StartButton->setEnabled(false);
  layout->addWidget(SelectLabel);
  layout->addWidget(DemoListView, 1);
  layout->addWidget(EscTntLabel);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ShowAtStartupCheckBox);
  buttons->addStretch(1);
  buttons->addWidget(StartButton);
  buttons->addWidget(CloseButton);
  layout->addLayout(buttons);
  resize(554, 438);

  connect(DemoListView, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
  connect(DemoListView, &QListWidget::itemDoubleClicked, this, [this] {
    if (StartButton->isEnabled()) StartButton->click();
  });
  connect(ShowAtStartupCheckBox, &QCheckBox::clicked, this,
          [this](bool checked) { module_.ShowAtStartup = checked; });
  connect(StartButton, &QPushButton::clicked, this, [this] { SetModalResult(quill::IDOK); });
  connect(CloseButton, &QPushButton::clicked, this, [this] { SetModalResult(quill::IDCANCEL); });

  Fill();
  if (DemoListView->count() > 0) {
    module_.LastDemoIndex = std::clamp(module_.LastDemoIndex, 0, DemoListView->count() - 1);
    DemoListView->setCurrentRow(module_.LastDemoIndex);
  }
  ShowAtStartupCheckBox->setChecked(module_.ShowAtStartup);
  if (MainForm != nullptr) {
    move(MainForm->geometry().center() - QPoint(width() / 2, height() / 2));
  }
}

void TZelDemonstrationForm::Fill() {
  const QIcon builtIn(QPixmap::fromImage(BuiltInThumbnail()));
  for (const QString& path : TZelDemonstrationModule::ListDemoFiles(module_.DemoFolder)) {
    auto script = std::make_unique<TZelDemoScript>();
    script->LoadFromFile(path);
    const QImage thumbnail = ScriptThumbnail(*script, module_.DemoFolder);
    auto* item = new QListWidgetItem(thumbnail.isNull() ? builtIn : QIcon(QPixmap::fromImage(thumbnail)),
                                     script->GetTitle(), DemoListView);
    item->setData(Qt::UserRole, static_cast<qulonglong>(scripts_.size()));
    scripts_.push_back(std::move(script));
  }
}

int TZelDemonstrationForm::GetSelectedIndex() const {
  const QList<QListWidgetItem*> selected = DemoListView->selectedItems();
  return selected.isEmpty() ? -1 : DemoListView->row(selected.first());
}

void TZelDemonstrationForm::SelectionChanged() {
  const int index = GetSelectedIndex();
  StartButton->setEnabled(index >= 0);
  SelectedScript = index >= 0 ? scripts_[static_cast<size_t>(index)].get() : nullptr;
}

void TZelDemonstrationForm::Localize() {
  setWindowTitle(DemosCaption());
  SelectLabel->setText(StringOf(910));
  ShowAtStartupCheckBox->setText(StringOf(802));
  StartButton->setText(StringOf(75));
  CloseButton->setText(StringOf(13));
  EscTntLabel->setText(StringOf(2925));
}
