// TZelApplication: start-up, the event loop and the settings file.

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>

#include "ZelForms.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelStrings.h"

namespace {

// Calls Visit for every component of Application that implements IZelModule, in
// creation order. The count is taken before the first visit.
template <class Visit>
void ForEachModule(const TZelApplication& application, Visit visit) {
  const int count = application.GetComponentCount();
  for (int i = 0; i < count && i < application.GetComponentCount(); ++i) {
    if (auto* module = dynamic_cast<IZelModule*>(application.GetComponent(i))) visit(*module);
  }
}

}  // namespace

QString TZelApplication::SettingsFileNameFor(const QString& programPath,
                                             const QString& configFolder) {
  const QString name = QString::fromStdString(FileNameWithoutExt(programPath.toStdString()));
  if (configFolder.isEmpty()) {
    const qsizetype slash = programPath.lastIndexOf(QLatin1Char('/'));
    return programPath.left(slash + 1) + name + QStringLiteral(".cfg");
  }
  QString folder = configFolder;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder + name + QLatin1Char('/') + name + QStringLiteral(".cfg");
}

QString TZelApplication::GetSettingsFileName() {
  return SettingsFileNameFor(
      QCoreApplication::applicationFilePath(),
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

void TZelApplication::LoadSettings() {
  InitializeModules();
  StartModules();
}

void TZelApplication::InitializeModules() {
  std::unique_ptr<TZelSDFReader> reader;
  QFile file(GetSettingsFileName());
  if (QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly)) {
    auto* contents = new QBuffer();
    contents->setData(file.read(kMaxSettingsFileSize));
    contents->open(QIODevice::ReadOnly);
    reader = std::make_unique<TZelSDFReader>(contents, true);
    file.close();
  }
  ForEachModule(*this, [&reader](IZelModule& module) {
    if (reader != nullptr) module.LoadState(*reader);
    module.Initialize();
  });
}

void TZelApplication::StartModules() {
  ForEachModule(*this, [](IZelModule& module) { module.Started(); });
}

void TZelApplication::SaveSettings() {
  auto* contents = new QBuffer();
  contents->open(QIODevice::WriteOnly);
  TZelSDFWriter writer(contents, true);
  ForEachModule(*this, [&writer](IZelModule& module) { module.SaveState(writer); });
  if (contents->data().isEmpty()) return;

  const QString fileName = GetSettingsFileName();
  QDir().mkpath(QFileInfo(fileName).absolutePath());
  // Written beside the old file and renamed over it, so a failed or interrupted
  // write leaves the old settings as they were. A read-only file is not replaced.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(contents->data());
  file.commit();
}

void TZelApplication::Run() {
  InitializeModules();
  // The loop ends when the main window closes, whatever other windows are open.
  const bool quitOnLastWindowClosed = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  if (mainForm_ != nullptr) mainForm_->show();
  StartModules();
  SetShowHint(true);
  // A window closed during start-up asked to quit before there was a loop to end.
  if (mainForm_ != nullptr && mainForm_->isVisible()) QCoreApplication::exec();
  QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed);
  SaveSettings();
}
