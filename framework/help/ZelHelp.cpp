#include "ZelHelp.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include <stdexcept>
#include <utility>

#include "HelpViewer.h"
#include "MainForm.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"

namespace {

// String ids of the menu captions.
constexpr int32_t kContentsCaptionId = 128;
constexpr int32_t kGettingStartedCaptionId = 165;
constexpr int32_t kTechnicalSupportCaptionId = 131;
// The message of a page or address that the desktop cannot open.
constexpr int32_t kCannotOpenTextId = 1040;

constexpr quill::TShortCut kContentsShortCut = 0x70;  // F1

// The page of each topic in the help folder; the contents for any other context.
QString TopicPage(int32_t context) {
  switch (context) {
    case TZelHelp::kGettingStartedTopic:
      return QStringLiteral("getting-started.html");
    case TZelHelp::kTechnicalSupportTopic:
      return QStringLiteral("support.html");
    default:
      return QStringLiteral("index.html");
  }
}

TMainForm& RequireMainForm() {
  if (MainForm == nullptr) throw std::logic_error("Help needs the main window.");
  return *MainForm;
}

}  // namespace

void quill::OpenHelpUrl(const QUrl& url) {
  GetHelpViewer().Open(url, [url] {
    if (ZelApplication == nullptr) return;
    const QString name = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile())
                                           : url.toString();
    const QString text = GetLocalizedString(
        kCannotOpenTextId,
        QStringLiteral("%s cannot be opened: no web browser or other program to open it was found."));
    ZelApplication->MessageBox(FormatText(text, name), MB_ICONERROR);
  });
}

const QUuid TZelHelp::kSettingsGuid("{3F084D7D-FB21-44A5-BA4F-B6FF3AE0B41D}");

TZelHelp::TZelHelp(quill::TZelComponent* owner) : TZelModule(owner) {
  QString name = ZelApplication != nullptr ? ZelApplication->GetHelpFile() : QString();
  if (name.isEmpty()) name = ProgramHelpFolder();
  SetHelpFile(name);
}

TZelHelp::~TZelHelp() {
  delete ContentsMenuItem;
  delete ContentsMenuSeparator;
  delete GettingStartedMenuItem;
  delete TechnicalSupportMenuItem;
}

void TZelHelp::AfterConstruction() { CreateMenu(); }

QString TZelHelp::ProgramHelpFolder() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
}

void TZelHelp::SetHelpFile(const QString& fileName) {
  helpFile_ = fileName;
  isHtmlHelp_ = !QFileInfo(fileName).isFile();
}

void TZelHelp::CreateMenu() {
  TMainForm& mainForm = RequireMainForm();
  QMenu* menu = mainForm.HelpMenuItem;
  ContentsMenuItem = mainForm.AddMenuItem(GetLocalizedString(kContentsCaptionId), kContentsShortCut,
                                          nullptr, menu, -1, [this] { ShowTopic(kContentsTopic); });
  ContentsMenuSeparator = mainForm.AddSeparator(menu, nullptr);
  GettingStartedMenuItem =
      mainForm.AddMenuItem(GetLocalizedString(kGettingStartedCaptionId), 0, nullptr, menu, -1,
                           [this] { ShowTopic(kGettingStartedTopic); });
  TechnicalSupportMenuItem =
      mainForm.AddMenuItem(GetLocalizedString(kTechnicalSupportCaptionId), 0, nullptr, menu, -1,
                           [this] { ShowTopic(kTechnicalSupportTopic); });
}

QUrl TZelHelp::TopicUrl(int32_t context) const {
  if (!isHtmlHelp_) return QUrl::fromLocalFile(QFileInfo(helpFile_).absoluteFilePath());
  return QUrl::fromLocalFile(QFileInfo(QDir(helpFile_), TopicPage(context)).absoluteFilePath());
}

void TZelHelp::ShowTopic(int32_t context) { quill::OpenHelpUrl(TopicUrl(context)); }

void TZelHelp::Localize() {
  const std::pair<QAction*, int32_t> captions[] = {
      {ContentsMenuItem, kContentsCaptionId},
      {GettingStartedMenuItem, kGettingStartedCaptionId},
      {TechnicalSupportMenuItem, kTechnicalSupportCaptionId}};
  for (const auto& [item, id] : captions) {
    if (item != nullptr) item->setText(GetLocalizedString(id));
  }
}

void TZelHelp::LoadState(TZelSDFReader& reader) {
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  if (showGettingStarted_) reader.ReadBoolean(1, showGettingStarted_);
  reader.LeaveNode();
}

void TZelHelp::SaveState(TZelSDFWriter& writer) {
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteByte(1, showGettingStarted_ ? 1 : 0);
  writer.EndNode();
}

void TZelHelp::Initialize() {
  if (showGettingStarted_ && ZelApplication != nullptr) {
    ZelApplication->PostDeferredCall(quill::TZelMethod(this, &TZelHelp::ShowGettingStartedOnce));
  }
  TZelModule::Initialize();
}

void TZelHelp::ShowGettingStartedOnce() {
  ShowTopic(kGettingStartedTopic);
  showGettingStarted_ = false;
}
