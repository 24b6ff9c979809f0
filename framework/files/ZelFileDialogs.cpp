#include "ZelFileDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include <exception>
#include <functional>
#include <utility>

#include "ZelLocalizer.h"
#include "ZelStringIds.h"
#include "ZelViewCanvas.h"

namespace {


// Room of the pane: about 28 average characters wide (the width a classic dialog gives
// it), and seven lines of description under the picture.
constexpr int kPaneWidthInCharacters = 28;
constexpr int kDescriptionLines = 7;
constexpr int kPaneBorder = 6;
// The dialog's first size, in average characters and lines, and its columns' widths:
// room for a photo's name and for its size, type and date beside it, where Qt's own
// first size cuts the columns short once the pane takes its part.
constexpr int kDialogWidthInCharacters = 140;
constexpr int kDialogHeightInLines = 40;
constexpr int kNameColumnInCharacters = 40;
constexpr int kSizeColumnInCharacters = 12;
constexpr int kTypeColumnInCharacters = 16;
constexpr int kDateColumnInCharacters = 26;

// The preview box: paints through the dialog.
class TPreviewBox : public QWidget {
  Q_OBJECT

 public:
  TPreviewBox(std::function<void(QWidget&, QPainter&)> paint, QWidget* parent)
      : QWidget(parent), paint_(std::move(paint)) {}

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    paint_(*this, painter);
  }

 private:
  std::function<void(QWidget&, QPainter&)> paint_;
};

}  // namespace

namespace quill {

QStringList NameFiltersFromFilterString(const QString& filter) {
  QStringList result;
  if (filter.isEmpty()) return result;
  const QStringList parts = filter.split(u'|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& text = parts[i];
    const QString& masks = parts[i + 1];
    QStringList patterns;
    for (const QString& mask : masks.split(u';', Qt::SkipEmptyParts)) {
      const QString pattern = mask.trimmed();
      // "*.*" means every file, also one without an extension.
      patterns.append(pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
    }
    // Qt reads the patterns from the parentheses that end the text, blank-separated.
    const QString shown = QStringLiteral(" (") + masks + u')';
    const QString name = text.endsWith(shown) ? text.chopped(shown.size()) : text;
    result.append(name + QStringLiteral(" (") + patterns.join(u' ') + u')');
  }
  return result;
}

}  // namespace quill

// ---- TZelOpenDialog ----

TZelOpenDialog::TZelOpenDialog(QWidget* owner, const TZelFileFormats& formats)
    : TZelOpenDialog(owner, formats, TKind::Open) {}

TZelOpenDialog::TZelOpenDialog(QWidget* owner, const TZelFileFormats& formats, TKind kind)
    : QFileDialog(owner),
      formats_(formats),
      kind_(kind),
      previewThread_(formats, [this] {
        // On the worker: only post; the main thread takes the picture.
        QMetaObject::invokeMethod(this, [this] { DeliverPreview(); }, Qt::QueuedConnection);
      }) {
  setOption(QFileDialog::DontUseNativeDialog);
  if (kind_ == TKind::Save) {
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
  }

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("PreviewPanel"));
  panel->setFixedWidth(fontMetrics().averageCharWidth() * kPaneWidthInCharacters);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(kPaneBorder, kPaneBorder, kPaneBorder, kPaneBorder);
  previewBox_ = new TPreviewBox(
      [this](QWidget& box, QPainter& painter) { ShowPreview(box, painter); }, panel);
  previewBox_->setObjectName(QStringLiteral("PreviewBox"));
  descriptionLabel_ = new QLabel(panel);
  descriptionLabel_->setObjectName(QStringLiteral("DescriptionLabel"));
  // File descriptions carry text from the file itself: never read it as markup.
  descriptionLabel_->setTextFormat(Qt::PlainText);
  descriptionLabel_->setWordWrap(true);
  descriptionLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  descriptionLabel_->setMinimumHeight(descriptionLabel_->fontMetrics().lineSpacing() *
                                      kDescriptionLines);
  column->addWidget(previewBox_, 1);
  column->addWidget(descriptionLabel_);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);
  }
  const int character = fontMetrics().averageCharWidth();
  resize(sizeHint().expandedTo(
      QSize(character * kDialogWidthInCharacters, fontMetrics().lineSpacing() * kDialogHeightInLines)));
  if (auto* details = findChild<QTreeView*>(QStringLiteral("treeView"))) {
    details->header()->resizeSection(0, character * kNameColumnInCharacters);
    details->header()->resizeSection(1, character * kSizeColumnInCharacters);
    details->header()->resizeSection(2, character * kTypeColumnInCharacters);
    details->header()->resizeSection(3, character * kDateColumnInCharacters);
  }

  connect(this, &QFileDialog::currentChanged, this,
          [this](const QString& path) { SelectionChanged(path); });
  SetupFilter();
  previewThread_.Start();
}

TZelOpenDialog::~TZelOpenDialog() {
  previewThread_.Terminate();
  previewThread_.Stop();
}

bool TZelOpenDialog::Execute() {
  setWindowTitle(GetLocalizedString(kind_ == TKind::Save ? quill::kSaveText : quill::kOpenText));
  return exec() == QDialog::Accepted;
}

QString TZelOpenDialog::GetFileName() const {
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void TZelOpenDialog::SetFileName(const QString& fileName) {
  const QFileInfo info(fileName);
  if (!info.isAbsolute() || info.dir().exists()) {
    selectFile(fileName);
    return;
  }
  // Qt would read a full name in a missing folder as relative to the dialog's folder.
  // The dialog opens on the nearest folder that exists instead, with the name relative
  // to it, which comes back as the full name given.
  QString folder = info.absolutePath();
  while (!QFileInfo(folder).isDir()) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder) break;
    folder = parent;
  }
  setDirectory(folder);
  selectFile(QDir(folder).relativeFilePath(info.absoluteFilePath()));
}

int TZelOpenDialog::GetFilterIndex() const {
  return static_cast<int>(nameFilters().indexOf(selectedNameFilter())) + 1;
}

void TZelOpenDialog::SetFilterIndex(int index) {
  const QStringList filters = nameFilters();
  if (filters.isEmpty()) return;
  if (index < 1 || index > filters.size()) index = 1;
  selectNameFilter(filters[index - 1]);
}

void TZelOpenDialog::SelectionChanged(const QString& fileName) {
  preview_.reset();
  previewRequest_ = 0;
  std::unique_ptr<TZelFileInfo> info;
  bool described = false;
  try {
    described = !fileName.isEmpty() && formats_.GetFileInfo(fileName, info) && info != nullptr;
  } catch (const std::exception&) {
    described = false;  // nothing may leave a selection change; the file shows undescribed
  }
  if (described) {
    descriptionLabel_->setText(u'\n' + info->GetDescription());
    // The picture fills the box inside its one-pixel frame.
    const int32_t width = previewBox_->width() - 2;
    const int32_t height = previewBox_->height() - 2;
    if (width > 0 && height > 0) {
      previewRequest_ = previewThread_.RequestPreview(fileName, width, height);
    }
  } else {
    descriptionLabel_->clear();
  }
  previewBox_->update();
}

void TZelOpenDialog::done(int result) {
  previewThread_.Terminate();
  previewRequest_ = 0;
  QToolTip::hideText();
  QFileDialog::done(result);
}

void TZelOpenDialog::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  QMetaObject::invokeMethod(
      this,
      [this] {
        const QString fileName = GetFileName();
        if (QFileInfo(fileName).isFile()) SelectionChanged(fileName);
      },
      Qt::QueuedConnection);
}

void TZelOpenDialog::SetupFilter() {
  if (kind_ == TKind::Save) {
    setNameFilters(quill::NameFiltersFromFilterString(BuildFilterString(formats_.GetFormats())));
  } else {
    setNameFilters(quill::NameFiltersFromFilterString(BuildFilterString(formats_.GetOpenFormats())));
    SetFilterIndex(formats_.GetCount() + 1);  // all supported formats
  }
}

void TZelOpenDialog::DeliverPreview() {
  std::unique_ptr<TZelThumbnail> thumbnail;
  if (!previewThread_.TakePreview(previewRequest_, thumbnail)) return;
  preview_ = std::move(thumbnail);
  previewBox_->update();
}

void TZelOpenDialog::ShowPreview(QWidget& box, QPainter& painter) {
  const QRect client = box.rect();
  QRegion rest(client);
  if (preview_ != nullptr) {
    quill::TRect drawn;
    painter.save();
    if (preview_->Draw(painter, quill::QRectToRect(client.adjusted(1, 1, -1, -1)), drawn)) {
      rest -= quill::RectToQRect(drawn);
    }
    painter.restore();
  }
  painter.setClipRegion(rest);
  painter.fillRect(client, box.palette().window());
  painter.setClipping(false);
  painter.setPen(box.palette().color(QPalette::Dark));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(client.adjusted(0, 0, -1, -1));
}

// ---- TZelSaveDialog ----

TZelSaveDialog::TZelSaveDialog(QWidget* owner, const TZelFileFormats& formats)
    : TZelOpenDialog(owner, formats, TKind::Save) {}

#include "ZelFileDialogs.moc"
