#include "ZelDemoEditor.h"

#include <iconv.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBlock>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

#include "MainForm.h"
#include "ZelDemoScriptable.h"
#include "ZelDemonstrationModule.h"
#include "ZelImageList.h"
#include "ZelLanguageIds.h"
#include "ZelShortCut.h"
#include "ZelStrings.h"

TZelDemoEditorModule* DemoEditorModule = nullptr;

namespace {

constexpr uint16_t kUtf8CodePage = 65001;
const QString kFilter = QStringLiteral("Demo Script (*.dsc)");
const QString kUnrecordableMessage =
    QStringLiteral("This message cannot be recorded: it holds both \" and ', or \\n.");

}  // namespace

namespace quill {

uint16_t SectionCodePage(const TZelDemoScript& script, int index) {
  bool decimal = false;
  const uint32_t langId = QString::fromStdString(script.GetSectionName(index)).toUInt(&decimal);
  if (!script.Utf8 && decimal && langId <= 0xFFFF) {
    if (const uint16_t codePage = AnsiCodePageOfLangId(static_cast<uint16_t>(langId))) return codePage;
  }
  return script.TextCodePage();
}

bool EncodeCodePage(const QString& text, uint16_t codePage, std::string& bytes) {
  const QByteArray utf8 = text.toUtf8();
  bytes.clear();
  if (codePage == kUtf8CodePage) {
    bytes.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
    return true;
  }
  const iconv_t converter = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(utf8.constData());
  size_t inLeft = static_cast<size_t>(utf8.size());
  // A character takes at most two bytes in these code pages; a UTF-8 character at
  // least one: twice the input always suffices.
  bytes.resize(inLeft * 2 + 4);
  char* out = bytes.data();
  size_t outLeft = bytes.size();
  const bool done = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
                    iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  bytes.resize(bytes.size() - outLeft);
  return done && inLeft == 0;
}

QString DecodeCodePage(const std::string& bytes, uint16_t codePage) {
  if (codePage == kUtf8CodePage) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  const std::u16string wide = AnsiToWideCP(bytes, codePage);
  return QString::fromStdU16String(wide);
}

void ConvertScriptToUtf8(TZelDemoScript& script) {
  if (script.Utf8) return;
  for (int i = 0; i < script.GetSectionCount(); ++i) {
    const uint16_t codePage = SectionCodePage(script, i);
    for (std::string& line : script.GetSection(i)) {
      const QByteArray utf8 = DecodeCodePage(line, codePage).toUtf8();
      line.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
    }
  }
  script.Utf8 = true;
}

}  // namespace quill

// ---- TZelDemoEditorModule ----

TZelDemoEditorModule::TZelDemoEditorModule(TZelComponent* owner) : TZelModuleWithControls(owner) {
  DemoEditorModule = this;
  if (MainForm == nullptr) return;
  DemoEditorMenuItem = MainForm->AddMenuItem(QStringLiteral("Demo"), quill::scCtrl | quill::scShift | 'D',
                                             MainForm->FileMenuSeparator, MainForm->FileMenuItem, -1,
                                             [this] { CmDemoEditor(); });
  DemoEditorMenuItem->setVisible(false);
  // A hidden item's shortcut does not fire: the main window carries it.
  shortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), MainForm);
  QObject::connect(shortcut_, &QShortcut::activated, [this] { CmDemoEditor(); });
}

TZelDemoEditorModule::~TZelDemoEditorModule() {
  delete shortcut_.data();
  delete DemoEditorMenuItem.data();
  if (DemoEditorModule == this) DemoEditorModule = nullptr;
}

void TZelDemoEditorModule::CmDemoEditor() {
  TZelDemoEditorForm* form = GetEditorForm();
  if (form == nullptr) return;
  form->show();
  form->raise();
  form->activateWindow();
}

TZelDemoEditorForm* TZelDemoEditorModule::GetEditorForm() {
  if (form_ == nullptr && DemonstrationModule != nullptr) {
    form_ = ZelCreate<TZelDemoEditorForm>(this, *DemonstrationModule);
  }
  return form_;
}

// ---- TZelDemoEditorForm ----

TZelDemoEditorForm::TZelDemoEditorForm(TZelComponent* owner, TZelDemonstrationModule& module)
    : TZelForm(owner, MainForm), module_(module), playback_(module.GetPlayback()) {
  // A tool window of the main window: above it, minimised and hidden with it.
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Demo Editor"));
  quill::TZelImageList images(QSize(16, 16));
  for (const char* name : {"Open", "Save", "Play", "Record", "Stop", "Message"}) {
    images.Add(quill::LoadImageResource(QString::fromLatin1(name), images.GetSize()));
  }

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  NewMenuItem = file->addAction(QStringLiteral("&New"), this, &TZelDemoEditorForm::CmNew);
  OpenMenuItem = file->addAction(QStringLiteral("&Open..."), this, &TZelDemoEditorForm::CmOpen);
  SaveAsMenuItem = file->addAction(QStringLiteral("Save &As..."), this, &TZelDemoEditorForm::CmSave);
  file->addSeparator();
  ExitMenuItem = file->addAction(QStringLiteral("E&xit"), this, &TZelDemoEditorForm::CmExit);
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  AddLanguageMenuItem = edit->addAction(QStringLiteral("Add &Language"), this, &TZelDemoEditorForm::CmAddLanguage);
  DeleteLanguageMenuItem =
      edit->addAction(QStringLiteral("&Delete Language"), this, &TZelDemoEditorForm::CmDeleteLanguage);
  QMenu* playbackMenu = menuBar()->addMenu(QStringLiteral("&Playback"));
  PlayMenuItem = playbackMenu->addAction(QStringLiteral("&Play"), this, &TZelDemoEditorForm::CmPlay);
  RecordMenuItem = playbackMenu->addAction(QStringLiteral("&Record"), this, &TZelDemoEditorForm::CmRecord);
  StopMenuItem = playbackMenu->addAction(QStringLiteral("&Stop"), this, &TZelDemoEditorForm::CmStop);

  Toolbar = addToolBar(QStringLiteral("Toolbar"));
  Toolbar->setMovable(false);
  Toolbar->setIconSize(images.GetSize());
  OpenToolButton = Toolbar->addAction(images.GetIcon(0), QStringLiteral("Open"), this, &TZelDemoEditorForm::CmOpen);
  SaveToolButton = Toolbar->addAction(images.GetIcon(1), QStringLiteral("Save"), this, &TZelDemoEditorForm::CmSave);
  Toolbar->addSeparator();
  PlayToolButton = Toolbar->addAction(images.GetIcon(2), QStringLiteral("Play"), this, &TZelDemoEditorForm::CmPlay);
  RecordToolButton =
      Toolbar->addAction(images.GetIcon(3), QStringLiteral("Record"), this, &TZelDemoEditorForm::CmRecord);
  StopToolButton = Toolbar->addAction(images.GetIcon(4), QStringLiteral("Stop"), this, &TZelDemoEditorForm::CmStop);
  Toolbar->addSeparator();
  MessageComboBox = new QComboBox(Toolbar);
  MessageComboBox->setEditable(true);
  MessageComboBox->setInsertPolicy(QComboBox::InsertAtBottom);
  MessageComboBox->setMinimumWidth(100);
  MessageComboBox->setToolTip(QStringLiteral("Message"));
  Toolbar->addWidget(MessageComboBox);
  MessageToolButton = Toolbar->addAction(images.GetIcon(5), QStringLiteral("Show Messages"));
  MessageToolButton->setCheckable(true);
  connect(MessageToolButton, &QAction::triggered, this, [this](bool checked) { playback_.RecordMessages = checked; });
  connect(MessageComboBox, &QComboBox::currentTextChanged, this, &TZelDemoEditorForm::MessageComboBoxChange);

  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(0);
  SectionsTabControl = new QTabBar(client);
  SectionsTabControl->setExpanding(false);
  SectionsTabControl->setDrawBase(true);
  ScriptMemo = new QPlainTextEdit(client);
  ScriptMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  ScriptMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono = ScriptMemo->font();
  mono.setFamily(QStringLiteral("Monospace"));
  mono.setStyleHint(QFont::TypeWriter);
  ScriptMemo->setFont(mono);
  layout->addWidget(SectionsTabControl);
  layout->addWidget(ScriptMemo, 1);
  setCentralWidget(client);
  statusBar();
  connect(SectionsTabControl, &QTabBar::currentChanged, this, [this](int) {
    StoreSection();
    ShowSelectedSection();
  });
  resize(476, 358);  // 381 x 286 at 96 pixels per inch, at 120

  if (MainForm != nullptr) {
    const QRect area = QRect(MainForm->ClientArea->mapToGlobal(QPoint(0, 0)), MainForm->ClientArea->size());
    move(area.right() - frameGeometry().width() - 4, area.top() + 4);
  }
  CmNew();
  MessageComboBox->setEditText(module_.MessageText);
}

void TZelDemoEditorForm::MessageComboBoxChange(const QString& text) {
  module_.MessageText = text;
  // A script line has no escape for its quotes: say at once what would be left out.
  QString quoted;
  if (!quill::QuoteScriptText(text, quoted)) {
    statusBar()->showMessage(kUnrecordableMessage);
  } else if (statusBar()->currentMessage() == kUnrecordableMessage) {
    statusBar()->clearMessage();
  }
}

TZelDemoEditorForm::~TZelDemoEditorForm() {
  if (savedFinished_ || savedStopQuery_ || savedError_) RestorePlaybackEvents();
  if (savedStartRecording_ || savedStopRecording_ || savedLineAdded_) RestoreRecordingEvents();
}

int TZelDemoEditorForm::GetSelectedTab() const { return SectionsTabControl->currentIndex(); }

void TZelDemoEditorForm::ShowSections() {
  const QSignalBlocker blocker(SectionsTabControl);
  while (SectionsTabControl->count() > 0) SectionsTabControl->removeTab(0);
  for (int i = 0; i < Script.GetSectionCount(); ++i) {
    SectionsTabControl->addTab(QString::fromStdString(Script.GetSectionName(i)));
  }
  selections_.assign(static_cast<size_t>(Script.GetSectionCount()), {0, 0});
  int index = 0;
  Script.FindSection("Script", index);
  SectionsTabControl->setCurrentIndex(index);
  ShowSelectedSection();
}

void TZelDemoEditorForm::StoreSection() {
  const int index = shownTab_;
  if (index < 0 || index >= Script.GetSectionCount()) return;
  const QStringList lines = ScriptMemo->toPlainText().split(QLatin1Char('\n'));
  TZelDemoScript::TLines bytes;
  std::string line;
  for (const QString& text : lines) {
    if (!quill::EncodeCodePage(text, quill::SectionCodePage(Script, index), line)) {
      quill::ConvertScriptToUtf8(Script);
      quill::EncodeCodePage(text, quill::SectionCodePage(Script, index), line);
      statusBar()->showMessage(QStringLiteral("The script is now saved as UTF-8."));
    }
    bytes.push_back(line);
  }
  while (!bytes.empty() && bytes.back().empty()) bytes.pop_back();
  Script.GetSection(index) = std::move(bytes);
  const QTextCursor cursor = ScriptMemo->textCursor();
  selections_[static_cast<size_t>(index)] = {cursor.anchor(), cursor.position() - cursor.anchor()};
}

void TZelDemoEditorForm::ShowSelectedSection() {
  const int index = GetSelectedTab();
  shownTab_ = index;
  if (index < 0 || index >= Script.GetSectionCount()) {
    ScriptMemo->clear();
    return;
  }
  const uint16_t codePage = quill::SectionCodePage(Script, index);
  QStringList lines;
  for (const std::string& line : Script.GetSection(index)) lines.append(quill::DecodeCodePage(line, codePage));
  ScriptMemo->setPlainText(lines.join(QLatin1Char('\n')));
  const auto [start, length] = selections_[static_cast<size_t>(index)];
  QTextCursor cursor = ScriptMemo->textCursor();
  const int end = static_cast<int>(ScriptMemo->toPlainText().size());
  cursor.setPosition(std::min(start, end));
  cursor.setPosition(std::clamp(start + length, 0, end), QTextCursor::KeepAnchor);
  ScriptMemo->setTextCursor(cursor);
}

void TZelDemoEditorForm::SelectTab(int index) { SectionsTabControl->setCurrentIndex(index); }

void TZelDemoEditorForm::CmNew() {
  shownTab_ = -1;
  Script.Reset();
  Script.FileName.clear();
  ShowSections();
}

void TZelDemoEditorForm::CmOpen() {
  const QString path = OnAskFileName
                           ? OnAskFileName(false)
                           : QFileDialog::getOpenFileName(this, QString(), QString(), kFilter, nullptr,
                                                          QFileDialog::DontUseNativeDialog);
  if (!path.isEmpty()) OpenFile(path);
}

bool TZelDemoEditorForm::OpenFile(const QString& path) {
  shownTab_ = -1;
  const bool loaded = Script.LoadFromFile(path);
  ShowSections();
  return loaded;
}

void TZelDemoEditorForm::CmSave() {
  StoreSection();
  QString path;
  if (OnAskFileName) {
    path = OnAskFileName(true);
  } else {
    QFileDialog dialog(this, QString(), QString(), kFilter);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("dsc"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) path = dialog.selectedFiles().first();
  }
  if (!path.isEmpty()) SaveFile(path);
}

bool TZelDemoEditorForm::SaveFile(const QString& path) {
  StoreSection();
  if (Script.SaveToFile(path)) return true;
  ZelApplication->MessageBoxWithCaption(QStringLiteral("The demo script cannot be saved as %1.").arg(path),
                                        QStringLiteral("Demo Editor"), MB_OK | MB_ICONERROR);
  return false;
}

void TZelDemoEditorForm::CmExit() { close(); }

void TZelDemoEditorForm::CmAddLanguage() {
  StoreSection();
  QString name;
  if (OnAskLanguageId) {
    name = OnAskLanguageId();
  } else {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Add Language"));
    auto* layout = new QFormLayout(&dialog);
    auto* edit = new QLineEdit(&dialog);
    layout->addRow(QStringLiteral("LangID:"), edit);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() == QDialog::Accepted) name = edit->text();
  }
  AddLanguage(name);
}

void TZelDemoEditorForm::AddLanguage(const QString& typed) {
  const std::string name = typed.trimmed().toStdString();
  if (name.empty()) return;
  int index = 0;
  if (!Script.FindSection(name, index)) {
    StoreSection();
    shownTab_ = -1;
    const auto saved = selections_;
    index = Script.AddSection(name);
    ShowSections();
    for (size_t i = 0; i < saved.size() && i < selections_.size(); ++i) selections_[i] = saved[i];
    ShowSelectedSection();  // the shown tab's cursor back, before leaving it
  }
  SelectTab(index);
}

void TZelDemoEditorForm::CmDeleteLanguage() {
  const int index = GetSelectedTab();
  if (index <= 1 || index >= Script.GetSectionCount()) return;
  const std::string& name = Script.GetSectionName(index);
  if (QString::fromStdString(name).compare("Info", Qt::CaseInsensitive) == 0 ||
      QString::fromStdString(name).compare("Script", Qt::CaseInsensitive) == 0) {
    return;
  }
  StoreSection();
  shownTab_ = -1;
  Script.DeleteSection(index);
  ShowSections();
}

void TZelDemoEditorForm::CmPlay() {
  StoreSection();
  savedFinished_ = std::move(playback_.OnFinished);
  savedStopQuery_ = std::move(playback_.OnStopQuery);
  savedError_ = std::move(playback_.OnError);
  playback_.OnFinished = [this](TZelDemoPlayback*) { PlaybackDone(); };
  playback_.OnStopQuery = [this](TZelDemoPlayback*, bool& stop) { PlaybackStopQuery(stop); };
  playback_.OnError = [this](TZelDemoPlayback*, const QString& message, bool& stop, const std::string& line) {
    PlaybackError(message, stop, line);
  };
  if (!module_.PlayScript(Script)) {
    RestorePlaybackEvents();
    return;
  }
  hide();
}

void TZelDemoEditorForm::PlaybackDone() {
  // The module's end-of-demo flow first, then its handlers go back.
  const auto finished = savedFinished_;
  RestorePlaybackEvents();
  if (finished) finished(&playback_);
  show();
}

void TZelDemoEditorForm::PlaybackStopQuery(bool& stop) {
  if (savedStopQuery_) savedStopQuery_(&playback_, stop);
  if (stop) PlaybackDone();
}

void TZelDemoEditorForm::PlaybackError(const QString& message, bool& stop, const std::string& line) {
  if (savedError_) savedError_(&playback_, message, stop, line);
  if (stop) PlaybackDone();
}

void TZelDemoEditorForm::RestorePlaybackEvents() {
  playback_.OnFinished = std::move(savedFinished_);
  playback_.OnStopQuery = std::move(savedStopQuery_);
  playback_.OnError = std::move(savedError_);
  savedFinished_ = nullptr;
  savedStopQuery_ = nullptr;
  savedError_ = nullptr;
}

void TZelDemoEditorForm::CmRecord() {
  StoreSection();
  playback_.AssignScript(Script);
  savedStartRecording_ = std::move(playback_.OnStartRecording);
  savedLineAdded_ = std::move(playback_.OnLineAdded);
  savedStopRecording_ = std::move(playback_.OnStopRecording);
  playback_.OnStartRecording = [this](TZelDemoPlayback*) { RecordingStarted(); };
  playback_.OnStopRecording = [this](TZelDemoPlayback*) { RecordingStopped(); };
  playback_.OnLineAdded = [](TZelDemoPlayback*, int32_t, const std::string&) {};
  if (!playback_.StartRecording(-1)) RestoreRecordingEvents();
}

void TZelDemoEditorForm::RecordingStarted() {
  quill::OfferRecordingStarted(&playback_);
  ScriptMemo->setEnabled(false);
}

void TZelDemoEditorForm::RecordingStopped() {
  quill::OfferRecordingStopped(&playback_);
  RestoreRecordingEvents();
  Script.Assign(playback_.GetScript());
  ScriptMemo->setEnabled(true);
  ShowSelectedSection();
}

void TZelDemoEditorForm::RestoreRecordingEvents() {
  playback_.OnStartRecording = std::move(savedStartRecording_);
  playback_.OnLineAdded = std::move(savedLineAdded_);
  playback_.OnStopRecording = std::move(savedStopRecording_);
  savedStartRecording_ = nullptr;
  savedLineAdded_ = nullptr;
  savedStopRecording_ = nullptr;
}

void TZelDemoEditorForm::CmStop() {
  if (playback_.IsPlaying()) {
    playback_.RequestStop();
  } else if (playback_.IsRecording()) {
    playback_.StopRecording();
  }
}

void TZelDemoEditorForm::UpdateControls() {
  const bool idle = !playback_.IsPlaying() && !playback_.IsRecording();
  for (QAction* item : {PlayMenuItem, PlayToolButton, RecordMenuItem, RecordToolButton}) item->setEnabled(idle);
  StopMenuItem->setEnabled(!idle);
  StopToolButton->setEnabled(!idle);
  const int index = GetSelectedTab();
  bool deletable = index > 1 && index < Script.GetSectionCount();
  if (deletable) {
    const QString name = QString::fromStdString(Script.GetSectionName(index));
    deletable = name.compare("Info", Qt::CaseInsensitive) != 0 && name.compare("Script", Qt::CaseInsensitive) != 0;
  }
  DeleteLanguageMenuItem->setEnabled(deletable);
  MessageToolButton->setChecked(playback_.RecordMessages);
  MessageComboBox->setEnabled(playback_.RecordMessages);
}
