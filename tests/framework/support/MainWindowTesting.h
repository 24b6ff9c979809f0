// What the tests of the main window and the modules in it share: a localizer over two
// small language files, the application object with its main window, and settings
// kept in memory.

#ifndef QUILL_TESTS_FRAMEWORK_MAINWINDOWTESTING_H_
#define QUILL_TESTS_FRAMEWORK_MAINWINDOWTESTING_H_

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "MainForm.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"

namespace quill {

// The bytes that Save writes.
inline QByteArray SavedBytes(const std::function<void(TZelSDFWriter&)>& save) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    TZelSDFWriter writer(&buffer, false);
    save(writer);
  }
  return buffer.data();
}

// Lets Load read Bytes.
inline void LoadBytes(const QByteArray& bytes, const std::function<void(TZelSDFReader&)>& load) {
  auto* buffer = new QBuffer();
  buffer->setData(bytes);
  buffer->open(QIODevice::ReadOnly);
  TZelSDFReader reader(buffer, true);
  load(reader);
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    locale_ = QLocale();
    WriteLanguage("en.ini",
                  "[Language]\nLangId=1033\nLanguage=English\n[Strings]\n"
                  "10=&File\n23=E&xit\n34=&View\n41=&Language\n46=&Help\n"
                  "161=Menu\n162=Standard\n163=&Toolbars\n176=Tools\n"
                  "47=About Quillmere\n53=Credits\n54=Web site\n56=Support\n"
                  "128=Contents\n131=Technical Support\n156=Photo retouching\n"
                  "165=Getting Started\n167=License\n");
    WriteLanguage("de.ini",
                  "[Language]\nLangId=1031\nLanguage=Deutsch\n[Strings]\n"
                  "10=&Datei\n23=&Beenden\n34=&Ansicht\n41=&Sprache\n46=&Hilfe\n"
                  "161=Menü\n162=Standard-Leiste\n163=Sym&bolleisten\n176=Werkzeuge\n"
                  "47=Über Quillmere\n53=Mitwirkende\n128=Inhalt\n131=Technischer Support\n"
                  "165=Erste Schritte\n167=Lizenz\n");
    localizer_ = std::make_unique<TZelLocalizer>(languages_.path(), 1033);
    Localizer = localizer_.get();
    RemoveSettings();
    Start();
  }

  void TearDown() override {
    unit_.reset();
    Localizer = nullptr;
    localizer_.reset();
    RemoveSettings();
    QLocale::setDefault(locale_);
  }

  static void RemoveSettings() {
    QDir(QFileInfo(TZelApplication::GetSettingsFileName()).absolutePath()).removeRecursively();
  }

  // A fresh application object with a new main window, as at a start of the program.
  void Start() {
    unit_.reset();
    unit_ = std::make_unique<TZelFormsUnit>();
    ZelApplication->CreateForm(MainForm);
  }

  void WriteLanguage(const QString& name, const QByteArray& contents) {
    QFile file(QDir(languages_.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
  }

  // Delivers the layout requests and deferred deletions that a running event loop would.
  static void ProcessEvents() {
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

 private:
  QTemporaryDir languages_;
  QLocale locale_;
  std::unique_ptr<TZelLocalizer> localizer_;
  std::unique_ptr<TZelFormsUnit> unit_;
};

}  // namespace quill

#endif  // QUILL_TESTS_FRAMEWORK_MAINWINDOWTESTING_H_
