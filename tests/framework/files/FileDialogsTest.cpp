#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <semaphore>
#include <vector>

#include "QtPrinters.h"
#include "TestLanguage.h"
#include "ZelFileDialogs.h"
#include "ZelUtils.h"
#include "ZelViewCanvas.h"

namespace {

std::atomic<int> gAlive{0};  // thumbnails not yet freed
int gDraws = 0;              // main thread only

// A 10 x 10 red square, centred in the box it is drawn into.
class FakeThumbnail : public TZelThumbnail {
 public:
  explicit FakeThumbnail(QString name) : Name(std::move(name)) { ++gAlive; }
  ~FakeThumbnail() override { --gAlive; }
  bool Draw(QPainter& painter, const quill::TRect& box, quill::TRect& drawnRect) const override {
    ++gDraws;
    drawnRect = CenterRect({0, 0, 10, 10}, box);
    painter.fillRect(quill::RectToQRect(drawnRect), Qt::red);
    return true;
  }
  const QString Name;
};

struct Request {
  QString Name;
  int32_t Width;
  int32_t Height;
};

// Two formats; files ending in ".a" or ".b" are described and previewed. The preview
// of GatedName waits, once started, until the test releases it, and notes whether it
// was told to stop meanwhile.
class FakeFormats : public TZelFileFormats {
 public:
  int GetCount() const override { return 2; }
  const TZelFileFormatInfo* GetFormat(int index) const override {
    return index >= 0 && index < 2 ? &rows_[index] : nullptr;
  }
  bool GetFileInfo(const QString& fileName, std::unique_ptr<TZelFileInfo>& info) const override {
    if (OnFileInfo) OnFileInfo(fileName);
    if (!fileName.endsWith(".a") && !fileName.endsWith(".b")) return false;
    struct Info : TZelFileInfo {
      using TZelFileInfo::TZelFileInfo;
      QString GetDescription() const override { return "About " + FileName; }
    };
    info = std::make_unique<Info>(fileName);
    return true;
  }
  bool GetThumbnail(const QString& fileName, int32_t maxWidth, int32_t maxHeight,
                    std::unique_ptr<TZelThumbnail>& thumbnail, std::stop_token stop) const override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back({fileName, maxWidth, maxHeight});
    }
    if (fileName == GatedName) {
      Started.release();
      Released.acquire();
      StopSeen = stop.stop_requested();
    }
    thumbnail = std::make_unique<FakeThumbnail>(fileName);
    return true;
  }
  std::vector<QString> Made() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<QString> names;
    for (const Request& request : requests_) names.push_back(request.Name);
    return names;
  }
  Request LastRequest() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_.back();
  }

  std::function<void(const QString&)> OnFileInfo;  // main thread
  QString GatedName;
  mutable std::binary_semaphore Started{0};
  mutable std::binary_semaphore Released{0};
  // Whether the gated preview had been told to stop when the test released it.
  mutable std::atomic<bool> StopSeen{false};

 private:
  TZelFileFormatInfo rows_[2] = {{0, "Alpha", "*.a;*.aa", ".a"}, {1, "Beta", "*.b", ".b"}};
  mutable std::mutex mutex_;
  mutable std::vector<Request> requests_;
};

QString ShownName(const TZelOpenDialog& dialog) {
  const auto* preview = dynamic_cast<const FakeThumbnail*>(dialog.GetPreview());
  return preview != nullptr ? preview->Name : QString();
}

// Runs the event loop until Done holds; false when ten seconds pass first. Waits for
// events (the worker's delivery), never for time.
bool ProcessEventsUntil(const std::function<bool()>& done) {
  bool expired = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&expired] { expired = true; });
  guard.start(10000);
  while (!done() && !expired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

class FileDialogsTest : public testing::Test {
 protected:
  void SetUp() override { gDraws = 0; }
  void TearDown() override { EXPECT_EQ(gAlive, 0); }  // every picture freed

  quill::ScopedTestLanguage language_{"12=Open\n15=Save As\n146=All supported formats\n147=All files\n"};
  FakeFormats formats_;
};

}  // namespace

TEST_F(FileDialogsTest, OpenDialogOffersTheOpenListAndStartsOnAllSupported) {
  TZelOpenDialog dialog(nullptr, formats_);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog.nameFilters(), (QStringList{"Alpha (*.a *.aa)", "Beta (*.b)",
                                               "All supported formats (*.a *.aa *.b)",
                                               "All files (*)"}));
  EXPECT_EQ(dialog.GetFilterIndex(), 3);
  dialog.SetFilterIndex(4);
  EXPECT_EQ(dialog.GetFilterIndex(), 4);
  dialog.SetFilterIndex(0);  // not in the list: the first entry
  EXPECT_EQ(dialog.GetFilterIndex(), 1);
  dialog.SetFilterIndex(5);
  EXPECT_EQ(dialog.GetFilterIndex(), 1);
}

TEST_F(FileDialogsTest, SaveDialogOffersTheFormatsAndLeavesOverwritingToTheCaller) {
  TZelSaveDialog dialog(nullptr, formats_);
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(dialog.nameFilters(), (QStringList{"Alpha (*.a *.aa)", "Beta (*.b)"}));
  dialog.SetFilterIndex(2);
  EXPECT_EQ(dialog.GetFilterIndex(), 2);
}

TEST_F(FileDialogsTest, ExecuteReportsTheChoiceUnderTheLocalizedTitle) {
  QTemporaryDir folder;
  const QString name = QDir(folder.path()).filePath("picture.b");
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  TZelOpenDialog open(nullptr, formats_);
  QString title;
  QTimer::singleShot(0, &open, [&] {
    title = open.windowTitle();
    open.selectFile(name);
    static_cast<QDialog&>(open).accept();  // QFileDialog hides it
  });
  EXPECT_TRUE(open.Execute());
  EXPECT_EQ(title, "Open");
  EXPECT_EQ(open.GetFileName(), name);

  TZelSaveDialog save(nullptr, formats_);
  save.SetFileName(QDir(folder.path()).filePath("copy"));
  QTimer::singleShot(0, &save, [&] {
    title = save.windowTitle();
    save.reject();
  });
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(title, "Save As");
  EXPECT_EQ(save.GetFileName(), QDir(folder.path()).filePath("copy"));
}

TEST_F(FileDialogsTest, ANameInAFolderThatIsGoneIsKeptAsGiven) {
  // The folder of the document was deleted since it was opened.
  QTemporaryDir folder;
  const QString name = QDir(folder.path()).filePath("gone/deeper/photo");
  for (const bool save : {true, false}) {
    std::unique_ptr<TZelOpenDialog> dialog =
        save ? std::make_unique<TZelSaveDialog>(nullptr, formats_)
             : std::make_unique<TZelOpenDialog>(nullptr, formats_);
    dialog->SetFileName(name);
    EXPECT_EQ(dialog->GetFileName(), name);
    EXPECT_EQ(dialog->directory(), QDir(folder.path()));  // the nearest folder that exists
  }

  // Confirmed unchanged, the name reaches the caller as given (which then reports the
  // missing folder).
  TZelSaveDialog dialog(nullptr, formats_);
  dialog.SetFileName(name);
  QTimer::singleShot(0, &dialog, [&dialog] { static_cast<QDialog&>(dialog).accept(); });
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.GetFileName(), name);
}

TEST_F(FileDialogsTest, SelectionShowsTheDescriptionAndAsksForABoxSizedPreview) {
  TZelOpenDialog dialog(nullptr, formats_);
  dialog.GetPreviewThread().Stop();  // driven by hand
  auto* label = dialog.findChild<QLabel*>("DescriptionLabel");
  auto* box = dialog.findChild<QWidget*>("PreviewBox");
  ASSERT_NE(label, nullptr);
  ASSERT_NE(box, nullptr);
  box->resize(170, 120);

  dialog.SelectionChanged("/photos/one.a");
  EXPECT_EQ(label->text(), "\nAbout /photos/one.a");
  EXPECT_EQ(label->textFormat(), Qt::PlainText);  // descriptions carry file text
  ASSERT_TRUE(dialog.GetPreviewThread().ProcessRequest());
  const Request request = formats_.LastRequest();
  EXPECT_EQ(request.Width, 168);
  EXPECT_EQ(request.Height, 118);

  // A file the formats cannot describe clears the description and asks for nothing.
  dialog.SelectionChanged("/photos/notes.txt");
  EXPECT_TRUE(label->text().isEmpty());
  EXPECT_FALSE(dialog.GetPreviewThread().ProcessRequest());
  QCoreApplication::processEvents();  // the picture of one.a arrives late
  EXPECT_EQ(dialog.GetPreview(), nullptr);
  EXPECT_EQ(gAlive, 0);

  // A description that runs out of memory leaves the file undescribed; nothing reaches
  // Qt's event dispatch.
  formats_.OnFileInfo = [](const QString& name) {
    if (name.endsWith("huge.a")) throw std::bad_alloc();
  };
  dialog.SelectionChanged("/photos/one.a");
  ASSERT_FALSE(label->text().isEmpty());
  EXPECT_NO_THROW(dialog.SelectionChanged("/photos/huge.a"));
  EXPECT_TRUE(label->text().isEmpty());
}

// Qt reports no current item for a file selected before the folder was listed: the
// file the dialog starts with is described and previewed once it shows.
TEST_F(FileDialogsTest, TheFileTheDialogStartsWithIsPreviewedWhenItShows) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString name = folder.filePath("start.a");
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  TZelOpenDialog dialog(nullptr, formats_);
  dialog.SetFileName(name);
  dialog.show();
  EXPECT_TRUE(ProcessEventsUntil([&] { return ShownName(dialog) == name; }));
  EXPECT_EQ(dialog.findChild<QLabel*>("DescriptionLabel")->text(), "\nAbout " + name);
  dialog.reject();
}

TEST_F(FileDialogsTest, APictureFinishedDuringASelectionChangeIsNeverShown) {
  TZelOpenDialog dialog(nullptr, formats_);
  TZelDialogPreviewThread& thread = dialog.GetPreviewThread();
  thread.Stop();
  dialog.SelectionChanged("one.a");
  // The worker finishes one.a after the old preview was freed and before two.a is
  // requested.
  formats_.OnFileInfo = [&](const QString& name) {
    if (name == "two.a") {
      EXPECT_TRUE(thread.ProcessRequest());
    }
  };
  dialog.SelectionChanged("two.a");
  formats_.OnFileInfo = nullptr;
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.GetPreview(), nullptr);
  EXPECT_EQ(gAlive, 0);  // freed, not leaked

  EXPECT_TRUE(thread.ProcessRequest());
  QCoreApplication::processEvents();
  EXPECT_EQ(ShownName(dialog), "two.a");
  EXPECT_EQ(gAlive, 1);
}

TEST_F(FileDialogsTest, OnlyTheLatestRequestIsMadeAndShown) {
  TZelOpenDialog dialog(nullptr, formats_);
  TZelDialogPreviewThread& thread = dialog.GetPreviewThread();
  thread.Stop();
  dialog.SelectionChanged("one.a");
  EXPECT_TRUE(thread.ProcessRequest());  // stored, not yet delivered
  dialog.SelectionChanged("two.a");
  dialog.SelectionChanged("three.b");  // replaces two.a before the worker takes it
  EXPECT_TRUE(thread.ProcessRequest());
  EXPECT_FALSE(thread.ProcessRequest());
  QCoreApplication::processEvents();
  EXPECT_EQ(formats_.Made(), (std::vector<QString>{"one.a", "three.b"}));
  EXPECT_EQ(ShownName(dialog), "three.b");
  EXPECT_EQ(gAlive, 1);
}

TEST_F(FileDialogsTest, PreviewPaintsCentredInsideAFrame) {
  TZelOpenDialog dialog(nullptr, formats_);
  dialog.GetPreviewThread().Stop();
  auto* box = dialog.findChild<QWidget*>("PreviewBox");
  box->grab();  // lays the pane out
  const int width = box->width(), height = box->height();
  ASSERT_GT(width, 12);
  ASSERT_GT(height, 12);
  dialog.SelectionChanged("one.a");
  dialog.GetPreviewThread().ProcessRequest();
  QCoreApplication::processEvents();
  ASSERT_NE(dialog.GetPreview(), nullptr);

  const QImage shown = box->grab().toImage();
  ASSERT_EQ(shown.size(), QSize(width, height));
  const QRgb frame = box->palette().color(QPalette::Dark).rgb();
  const QRgb fill = box->palette().color(QPalette::Window).rgb();
  EXPECT_EQ(gDraws, 1);
  EXPECT_EQ(shown.pixel(0, 0), frame);
  EXPECT_EQ(shown.pixel(width - 1, height - 1), frame);
  EXPECT_EQ(shown.pixel(1, 1), fill);
  // The square is centred in the box inside the frame.
  const int left = 1 + (width - 2 - 10) / 2, top = 1 + (height - 2 - 10) / 2;
  EXPECT_EQ(shown.pixel(left, top), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(left + 9, top + 9), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(left + 10, top + 9), fill);
  EXPECT_EQ(shown.pixel(left - 1, top), fill);
}

TEST_F(FileDialogsTest, WorkerSkipsRequestsOvertakenWhileItWorks) {
  formats_.GatedName = "one.a";
  TZelOpenDialog dialog(nullptr, formats_);
  dialog.SelectionChanged("one.a");
  formats_.Started.acquire();  // the worker is making one.a
  dialog.SelectionChanged("two.a");
  dialog.SelectionChanged("three.a");
  formats_.Released.release();
  EXPECT_TRUE(ProcessEventsUntil([&] { return dialog.GetPreview() != nullptr; }));
  EXPECT_EQ(ShownName(dialog), "three.a");
  EXPECT_EQ(formats_.Made(), (std::vector<QString>{"one.a", "three.a"}));
  EXPECT_TRUE(formats_.StopSeen) << "the overtaken picture was not told to stop";
}

TEST_F(FileDialogsTest, ClosingWhileAPictureIsMadeEndsTheWorkerWithoutShowingIt) {
  formats_.GatedName = "one.a";
  {
    TZelOpenDialog dialog(nullptr, formats_);
    dialog.SelectionChanged("one.a");
    formats_.Started.acquire();
    dialog.reject();
    formats_.Released.release();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.GetPreview(), nullptr);
  }  // waits for the worker, which drops the picture
  QCoreApplication::processEvents();
  EXPECT_EQ(gDraws, 0);
  // A large file's picture gives up instead of keeping the closing dialog waiting.
  EXPECT_TRUE(formats_.StopSeen) << "the picture being made was not told to stop";
}
