#include "ZelEditor.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <new>

#include "MainForm.h"
#include "ZelDemonstrationModule.h"
#include "ZelFileDialogs.h"
#include "ZelLocalizer.h"
#include "ZelProperties.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelStringIds.h"

namespace quill {

int ExitCode = 0;

}  // namespace quill

namespace {

// String ids of the texts shown here.
constexpr int32_t kCloseText = 13;
constexpr int32_t kSaveAsText = 16;
constexpr int32_t kEditText = 24;
constexpr int32_t kUndoText = 25;
constexpr int32_t kRedoText = 26;
constexpr int32_t kUntitledText = 74;
constexpr int32_t kSaveChangesText = 94;
constexpr int32_t kStandardToolbarText = 162;
constexpr int32_t kOverwriteText = 164;
constexpr int32_t kUndoAllText = 168;
constexpr int32_t kRedoAllText = 169;
constexpr int32_t kOpenErrorText = 1030;
constexpr int32_t kSaveErrorText = 1034;

QString Ellipsis(int32_t id) { return GetLocalizedString(id) + QStringLiteral("..."); }

// The extension of Name from its last "." after the last folder separator, the dot
// included, lower-cased; empty without one.
QString LowerExtension(const QString& name) {
  const qsizetype separator = name.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0 || dot < separator) return QString();
  return name.mid(dot).toLower();
}

// Name without the extension LowerExtension finds.
QString WithoutExtension(const QString& name) {
  const qsizetype separator = name.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0 || dot < separator) return name;
  return name.left(dot);
}

}  // namespace

// ---- TZelDocumentFormats ----

bool TZelDocumentFormats::Save(TZelDocument* document, const QString& fileName, int32_t formatId) {
  TZelSaveFailure failure;
  return Save(document, fileName, formatId, failure);
}

// ---- TZelDocument ----

TZelDocument::TZelDocument(TZelEditor* editor) : quill::TZelComponent(nullptr), editor_(editor) {}

TZelDocument::~TZelDocument() {
  DestroyComponents();
  view_ = nullptr;
}

QWidget* TZelDocument::GetView() {
  if (view_ == nullptr) view_ = CreateView();
  return view_;
}

void TZelDocument::AddObserver(IZelDocumentObserver* observer) {
  if (observer == nullptr) return;
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void TZelDocument::RemoveObserver(IZelDocumentObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

bool TZelDocument::Load(const QString& fileName) {
  int32_t formatId = FormatId;
  if (!editor_->GetFormats().Load(this, fileName, formatId)) return false;
  FormatId = formatId;
  FileName = fileName;
  Changed();
  MarkSaved();
  return true;
}

bool TZelDocument::SaveAs(const QString& fileName, int32_t formatId, TZelSaveFailure& failure) {
  if (!editor_->GetFormats().Save(this, fileName, formatId, failure)) return false;
  MarkSaved();
  FileName = fileName;
  FormatId = formatId;
  editor_->UpdateTitle();
  return true;
}

bool TZelDocument::SaveAs(const QString& fileName, int32_t formatId) {
  TZelSaveFailure failure;
  return SaveAs(fileName, formatId, failure);
}

bool TZelDocument::Save() {
  if (FileName.isEmpty()) return false;
  return SaveAs(FileName, FormatId);
}

bool TZelDocument::CloseQuery() {
  BeforeClose();
  bool result = OpenedByScript || IsSaved();
  if (!result) {
    const int answer = editor_->AskSaveChanges(GetDisplayName());
    if (answer == quill::IDYES) {
      result = editor_->QuerySaveDocument(this);
    } else {
      result = answer == quill::IDNO;
    }
  }
  if (result) {
    NotifyClosing();
    TZelEditor* editor = editor_;
    editor->RemoveDocument(this);  // frees this document
    editor->UpdateTitle();
  }
  return result;
}

void TZelDocument::Changed() {
  // A copy: an observer may leave the list while it is told.
  const std::vector<IZelDocumentObserver*> observers = observers_;
  for (auto it = observers.rbegin(); it != observers.rend(); ++it) (*it)->DocumentChanged(this);
}

void TZelDocument::NotifyClosing() {
  const std::vector<IZelDocumentObserver*> observers = observers_;
  for (auto it = observers.rbegin(); it != observers.rend(); ++it) (*it)->DocumentClosing(this);
}

QString TZelDocument::GetDisplayName() const {
  if (FileName.isEmpty()) return GetLocalizedString(kUntitledText);
  return QFileInfo(FileName).fileName();
}

bool TZelDocument::TryGetView(QWidget*& view) const {
  view = view_;
  return view_ != nullptr;
}

void TZelDocument::AddCommandState(std::unique_ptr<TZelCommandState> state) {
  history_.Add(std::move(state));
}

// ---- TZelEditor ----

const QUuid TZelEditor::kSettingsGuid("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");

TZelEditor::TZelEditor(quill::TZelComponent* owner)
    : TZelModuleWithControls(owner), Arguments(QCoreApplication::arguments()) {
  ZelApplication->CreateForm(MainForm);
  ZelApplication->OnTitleChange = [this](TZelApplication*) { UpdateTitle(); };
  TMainForm& form = *MainForm;

  OpenMenuItem = form.AddMenuItem(Ellipsis(quill::kOpenText), quill::scCtrl | 'O', form.FileMenuSeparator,
                                  form.FileMenuItem, quill::kOpenImage, [this] { OpenClick(); });
  SaveMenuItem = form.AddMenuItem(GetLocalizedString(quill::kSaveText), 0, form.FileMenuSeparator,
                                  form.FileMenuItem, quill::kSaveImage, [this] { SaveClick(); });
  SaveMenuItem->setVisible(false);
  SaveAsMenuItem = form.AddMenuItem(Ellipsis(kSaveAsText), quill::scCtrl | 'S', form.FileMenuSeparator,
                                    form.FileMenuItem, quill::kSaveImage, [this] { SaveClick(); });
  CloseMenuItem = form.AddMenuItem(GetLocalizedString(kCloseText), 0, form.FileMenuSeparator,
                                   form.FileMenuItem, -1, [this] { CloseClick(); });
  RecentFilesMenuSeparator = form.AddSeparator(form.FileMenuItem, form.ExitMenuItem);

  StandardToolbar = form.AddToolbar(GetLocalizedString(kStandardToolbarText));
  form.AddToolbarButton(StandardToolbar, &form.GetImageList(), nullptr,
                        GetLocalizedString(quill::kOpenText), quill::kOpenImage, [this] { OpenClick(); },
                        OpenToolButton);
  form.AddToolbarButton(StandardToolbar, &form.GetImageList(), nullptr,
                        GetLocalizedString(kSaveAsText), quill::kSaveImage, [this] { SaveClick(); },
                        SaveToolButton);

  EditMenuItem = form.AddSubmenu(GetLocalizedString(kEditText), nullptr,
                                 form.ViewMenuItem->menuAction());
  UndoMenuItem = form.AddMenuItem(GetLocalizedString(kUndoText), quill::scCtrl | 'Z', nullptr,
                                  EditMenuItem, quill::kUndoImage, [this] { UndoClick(); });
  UndoAllMenuItem = form.AddMenuItem(GetLocalizedString(kUndoAllText), 0, nullptr, EditMenuItem,
                                     -1, [this] { UndoAllClick(); });
  RedoMenuItem = form.AddMenuItem(GetLocalizedString(kRedoText), quill::scCtrl | 'Y', nullptr,
                                  EditMenuItem, quill::kRedoImage, [this] { RedoClick(); });
  RedoAllMenuItem = form.AddMenuItem(GetLocalizedString(kRedoAllText), 0, nullptr, EditMenuItem,
                                     -1, [this] { RedoAllClick(); });

  EditToolbarSeparator = form.AddSeparator(StandardToolbar, nullptr);
  form.AddToolbarButton(StandardToolbar, &form.GetImageList(), nullptr,
                        GetLocalizedString(kUndoText), quill::kUndoImage, [this] { UndoClick(); },
                        UndoToolButton);
  form.AddToolbarButton(StandardToolbar, &form.GetImageList(), nullptr,
                        GetLocalizedString(kRedoText), quill::kRedoImage, [this] { RedoClick(); },
                        RedoToolButton);

  form.OnCloseQuery = [this](bool& canClose) { CloseQuery(canClose); };
  UpdateTitle();
}

TZelEditor::~TZelEditor() {
  if (ZelApplication != nullptr) ZelApplication->OnTitleChange = nullptr;
  if (MainForm != nullptr) MainForm->OnCloseQuery = nullptr;
  RecentFiles.clear();
  documents_.clear();
}

void TZelEditor::Localize() {
  OpenMenuItem->setText(Ellipsis(quill::kOpenText));
  SaveMenuItem->setText(GetLocalizedString(quill::kSaveText));
  SaveAsMenuItem->setText(Ellipsis(kSaveAsText));
  CloseMenuItem->setText(GetLocalizedString(kCloseText));
  StandardToolbar->setWindowTitle(GetLocalizedString(kStandardToolbarText));
  OpenToolButton->setToolTip(GetLocalizedString(quill::kOpenText));
  SaveToolButton->setToolTip(GetLocalizedString(kSaveAsText));
  EditMenuItem->setTitle(GetLocalizedString(kEditText));
  UndoMenuItem->setText(GetLocalizedString(kUndoText));
  UndoAllMenuItem->setText(GetLocalizedString(kUndoAllText));
  RedoMenuItem->setText(GetLocalizedString(kRedoText));
  RedoAllMenuItem->setText(GetLocalizedString(kRedoAllText));
  UndoToolButton->setToolTip(GetLocalizedString(kUndoText));
  RedoToolButton->setToolTip(GetLocalizedString(kRedoText));
}

void TZelEditor::LoadState(TZelSDFReader& reader) {
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  if (reader.EnterNode(1)) {
    int32_t count = 0;
    reader.ReadInteger(0, count);
    // Only the MaxRecentFiles newest can stay; a corrupt count must not drive the loop.
    count = std::clamp(count, 0, MaxRecentFiles);
    for (int32_t i = count; i >= 1; --i) {
      QString path;
      if (reader.ReadWideString(i, path) && !path.isEmpty()) AddRecentFile(path);
    }
    reader.LeaveNode();
  }
  reader.LeaveNode();
}

void TZelEditor::SaveState(TZelSDFWriter& writer) {
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.BeginIntNode(1, static_cast<int32_t>(RecentFiles.size()));
  for (int i = 0; i < RecentFiles.size(); ++i) writer.WriteWideString(i + 1, RecentFiles[i]);
  writer.EndNode();
  writer.EndNode();
}

void TZelEditor::Started() { OpenFileArgument(Arguments); }

void TZelEditor::OpenFileArgument(const QStringList& arguments) {
  if (arguments.size() < 2) return;
  const QFileInfo file(arguments[1]);
  if (!file.exists() || file.isDir()) return;
  // A name relative to the folder the program started in: the recent-file list and
  // folder browsing need the full path.
  TZelDocument* document = nullptr;
  OpenFile(file.absoluteFilePath(), document, true);
}

void TZelEditor::UpdateControls() {
  TZelDocument* document = GetLastDocument();
  const bool open = document != nullptr;
  SaveMenuItem->setEnabled(open && !document->IsSaved());
  SaveAsMenuItem->setEnabled(open);
  SaveToolButton->setEnabled(open);
  CloseMenuItem->setEnabled(open);
  const bool canUndo = CanUndo();
  UndoMenuItem->setEnabled(canUndo);
  UndoAllMenuItem->setEnabled(canUndo);
  UndoToolButton->setEnabled(canUndo);
  const bool canRedo = CanRedo();
  RedoMenuItem->setEnabled(canRedo);
  RedoAllMenuItem->setEnabled(canRedo);
  RedoToolButton->setEnabled(canRedo);
}

TZelDocument* TZelEditor::GetDocument(int index) const {
  if (index < 0 || index >= GetDocumentCount()) return nullptr;
  return documents_[static_cast<size_t>(index)].get();
}

TZelDocument* TZelEditor::GetLastDocument() const {
  return documents_.empty() ? nullptr : documents_.back().get();
}

void TZelEditor::SetCurrentDocument(TZelDocument* document) {
  const auto it = std::find_if(documents_.begin(), documents_.end(),
                               [document](const auto& item) { return item.get() == document; });
  if (it == documents_.end()) return;
  std::rotate(it, it + 1, documents_.end());
  UpdateTitle();
}

void TZelEditor::UpdateTitle() {
  if (MainForm == nullptr) return;
  QString caption = ZelApplication->GetTitle();
  if (TZelDocument* document = GetLastDocument()) {
    caption += QStringLiteral(" - ") + document->GetDisplayName();
  }
  MainForm->setWindowTitle(caption);
}

void TZelEditor::RemoveDocument(TZelDocument* document) {
  const auto it = std::find_if(documents_.begin(), documents_.end(),
                               [document](const auto& item) { return item.get() == document; });
  if (it == documents_.end()) return;
  // Out of the list first: while it dies, it is no longer the current document.
  std::unique_ptr<TZelDocument> removed = std::move(*it);
  documents_.erase(it);
}

TZelCommandHistoryList* TZelEditor::GetHistory() {
  TZelDocument* document = GetLastDocument();
  return document != nullptr ? &document->GetHistory() : nullptr;
}

bool TZelEditor::CreateView(TZelDocument* document, QWidget*& view) {
  view = nullptr;
  if (document == nullptr) return false;
  view = document->GetView();
  if (view == nullptr) return false;
  if (MainForm != nullptr) {
    view->setParent(MainForm->ClientArea);
    MainForm->ClientArea->layout()->addWidget(view);
    // The view takes its size now, so that fitting the image to it can follow at once.
    MainForm->ClientArea->layout()->activate();
  }
  view->show();
  return true;
}

bool TZelEditor::OpenDialog() {
  TZelOpenDialog dialog(nullptr, GetFormats());
  const bool chosen = dialog.Execute();
  QCoreApplication::processEvents();
  if (!chosen) return false;
  TZelDocument* document = nullptr;
  if (!OpenFile(dialog.GetFileName(), document, true)) return false;
  // The photo is painted before the dialog is freed: freeing it has the toolkit write
  // the dialog's own settings to disk, which the user need not wait for.
  if (QWidget* view = document->GetView()) view->repaint();
  return true;
}

bool TZelEditor::QuerySaveDocument(TZelDocument* document) {
  if (document == nullptr) return false;
  TZelDocumentFormats& table = GetFormats();
  const TZelFileFormatArray formats = table.GetFormats();
  TZelSaveDialog dialog(nullptr, table);
  dialog.SetFileName(WithoutExtension(document->FileName));
  dialog.SetFilterIndex(IndexOfFileFormat(formats, document->FormatId) + 1);
  const bool chosen = dialog.Execute();
  QCoreApplication::processEvents();
  if (!chosen) return false;

  const int index = dialog.GetFilterIndex();
  if (index < 1 || index > static_cast<int>(formats.size())) return false;
  const TZelFileFormatInfo& format = formats[static_cast<size_t>(index - 1)];
  QString name = dialog.GetFileName();
  const QString extension = format.DefaultExt.toLower();
  // A plain comparison with the chosen filter's extension: another format's
  // extension stays in the name ("photo.jpeg" with JPEG becomes "photo.jpeg.jpg").
  if (LowerExtension(name) != extension) name += extension;

  const QFileInfo target(name);
  if (target.exists() && !target.isDir() && AskOverwrite(name) != quill::IDYES) return false;
  TZelSaveFailure failure;
  if (document->SaveAs(name, format.Id, failure)) return true;
  // A failure must not pass for the silence of a save that worked.
  if (!failure.Cancelled) {
    QString text = FormatText(GetLocalizedString(kSaveErrorText), name);
    if (!failure.Reason.isEmpty()) text += QLatin1Char('\n') + failure.Reason;
    ZelApplication->MessageBox(text, MB_ICONERROR);
  }
  return false;
}

int TZelEditor::AskSaveChanges(const QString& name) {
  return ZelApplication->MessageBox(FormatText(GetLocalizedString(kSaveChangesText), name),
                                    quill::MB_YESNOCANCEL | quill::MB_ICONWARNING);
}

int TZelEditor::AskOverwrite(const QString& name) {
  return ZelApplication->MessageBox(FormatText(GetLocalizedString(kOverwriteText), name),
                                    MB_YESNO | quill::MB_ICONWARNING);
}

void TZelEditor::CloseQuery(bool& canClose) {
  for (int i = GetDocumentCount() - 1; i >= 0; --i) {
    // A document that closes leaves the list; the index stays valid going down.
    if (i >= GetDocumentCount()) continue;
    canClose = GetDocument(i)->CloseQuery();
    if (!canClose) return;
  }
}

void TZelEditor::ExecuteCommand(TZelDemoPlayback* /*sender*/, const QString& name, bool& handled,
                                const TZelProperties* /*params*/) {
  handled = true;
  if (name == QLatin1String("UNDO")) {
    UndoClick();
  } else if (name == QLatin1String("REDO")) {
    RedoClick();
  } else {
    handled = false;
  }
}

void TZelEditor::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params,
                                bool& found, quill::TPoint& point) {
  found = false;
  if (params == nullptr || params->GetCount() == 0) return;
  quill::TZelVariant value;
  params->GetVariant(0, value);
  const std::string* text = std::get_if<std::string>(&value);
  if (text == nullptr) return;
  const QString name = QString::fromStdString(*text).toUpper();
  if (name == QLatin1String("UNDO")) {
    found = quill::ToolbarItemCentre(UndoToolButton, point);
  } else if (name == QLatin1String("REDO")) {
    found = quill::ToolbarItemCentre(RedoToolButton, point);
  }
}

void TZelEditor::RecordingStarted(quill::TZelRecorder* recorder) { Recorder = recorder; }

void TZelEditor::RecordingStarted(TZelDemoPlayback* sender) {
  playerRecorder_ = quill::MakePlayerRecorder(*sender);
  RecordingStarted(playerRecorder_.get());
}

void TZelEditor::RecordingStopped(TZelDemoPlayback* /*sender*/) {
  RecordingStopped();
  playerRecorder_.reset();
}

void TZelEditor::AfterOpen(TZelDocument* document) { AddRecentFile(document->FileName); }

void TZelEditor::SetPluginMode(bool value) {
  if (PluginMode) return;
  OpenToolButton->setVisible(false);
  SaveToolButton->setVisible(false);
  EditToolbarSeparator->setVisible(false);
  PluginMode = value;
  quill::ExitCode = -1;
}

bool TZelEditor::OpenFile(const QString& fileName, TZelDocument*& document, bool addToRecent) {
  document = nullptr;
  if (TZelDocument* current = GetLastDocument()) {
    if (!current->CloseQuery()) return false;
  }
  std::unique_ptr<TZelDocument> created = CreateDocument();
  QWidget* view = nullptr;
  // A picture that needs more memory than there is does not open, like any other file
  // that does not load.
  bool opened = false;
  try {
    opened = created->Load(fileName) && CreateView(created.get(), view);
  } catch (const std::bad_alloc&) {
    opened = false;
  }
  if (opened) {
    document = created.get();
    documents_.push_back(std::move(created));
    SetCurrentDocument(document);
    document->Opened();
    if (addToRecent) AfterOpen(document);
    return true;
  }
  created.reset();
  ZelApplication->MessageBox(FormatText(GetLocalizedString(kOpenErrorText), fileName),
                             MB_ICONERROR);
  return false;
}

bool TZelEditor::CanUndo() {
  TZelCommandHistoryList* history = GetHistory();
  return history != nullptr && history->CanUndo();
}

bool TZelEditor::CanRedo() {
  TZelCommandHistoryList* history = GetHistory();
  return history != nullptr && history->CanRedo();
}

void TZelEditor::Undo() {
  if (TZelCommandHistoryList* history = GetHistory()) history->Undo();
}

void TZelEditor::Redo() {
  if (TZelCommandHistoryList* history = GetHistory()) history->Redo();
}

void TZelEditor::OpenClick() {
  if (!PluginMode) OpenDialog();
}

void TZelEditor::CloseClick() {
  if (TZelDocument* document = GetLastDocument()) document->CloseQuery();
}

void TZelEditor::SaveClick() {
  if (PluginMode) return;
  if (TZelDocument* document = GetLastDocument()) QuerySaveDocument(document);
}

void TZelEditor::UndoClick() {
  if (CanUndo()) Undo();
  quill::RecordCommand(Recorder, QStringLiteral("Undo"), QStringLiteral("Undo"),
                       QStringLiteral("Undo"));
}

void TZelEditor::UndoAllClick() {
  if (!CanUndo()) return;
  while (CanUndo()) {
    // A step that could not be undone leaves the history where it was: stop there.
    const int cursor = GetHistory()->GetCursor();
    Undo();
    if (GetHistory()->GetCursor() == cursor) return;
  }
}

void TZelEditor::RedoClick() {
  if (CanRedo()) Redo();
  quill::RecordCommand(Recorder, QStringLiteral("Redo"), QStringLiteral("Redo"),
                       QStringLiteral("Redo"));
}

void TZelEditor::RedoAllClick() {
  while (CanRedo()) {
    // A step that could not be redone leaves the history where it was: stop there.
    const int cursor = GetHistory()->GetCursor();
    Redo();
    if (GetHistory()->GetCursor() == cursor) return;
  }
}

void TZelEditor::AddRecentFile(const QString& path) {
  qsizetype at = -1;
  for (qsizetype i = 0; i < RecentFiles.size() && at < 0; ++i) {
    if (RecentFiles[i].compare(path, Qt::CaseInsensitive) == 0) at = i;
  }
  if (at >= 0) {
    RecentFiles.move(at, 0);
  } else {
    RecentFiles.insert(0, path);
    if (RecentFiles.size() > MaxRecentFiles) RecentFiles.removeLast();
  }
  UpdateRecentFileItems();
}

std::vector<QAction*> TZelEditor::GetRecentFileItems() const {
  std::vector<QAction*> items;
  if (MainForm == nullptr) return items;
  const QList<QAction*> actions = MainForm->FileMenuItem->actions();
  const qsizetype first = actions.indexOf(MainForm->FileMenuSeparator);
  const qsizetype last = actions.indexOf(RecentFilesMenuSeparator);
  if (first < 0 || last < first) return items;
  for (qsizetype i = first + 1; i < last; ++i) items.push_back(actions[i]);
  return items;
}

void TZelEditor::UpdateRecentFileItems() {
  if (MainForm == nullptr) return;
  TMainForm& form = *MainForm;
  std::vector<QAction*> items = GetRecentFileItems();
  while (static_cast<qsizetype>(items.size()) < RecentFiles.size()) {
    auto holder = std::make_shared<QAction*>(nullptr);
    QAction* before = items.empty() ? RecentFilesMenuSeparator : items.front();
    QAction* item = form.AddMenuItem(QString(), 0, before, form.FileMenuItem, -1, [this, holder] {
      // The name itself, not the caption, which doubles every "&" of it.
      TZelDocument* document = nullptr;
      OpenFile((*holder)->data().toString(), document, true);
    });
    *holder = item;
    items.insert(items.begin(), item);
  }
  for (size_t i = 0; i < items.size() && static_cast<qsizetype>(i) < RecentFiles.size(); ++i) {
    const QString& path = RecentFiles[static_cast<qsizetype>(i)];
    items[i]->setText(QLatin1Char('&') + QString::number(i + 1) + QLatin1Char(' ') + quill::MenuCaptionText(path));
    items[i]->setData(path);
  }
}
