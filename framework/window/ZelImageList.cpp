#include "ZelImageList.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Outside any namespace: the macro declares the initialiser in the enclosing one.
static void InitQuillmereResources() { Q_INIT_RESOURCE(Quillmere); }

namespace quill {

namespace {

constexpr char kImageFolder[] = ":/icons";

// The SVG resource whose name without extension is Name; empty when there is none.
QString FindImageResource(const QString& name) {
  const QFileInfoList files =
      QDir(QString::fromLatin1(kImageFolder)).entryInfoList({QStringLiteral("*.svg")}, QDir::Files);
  for (const QFileInfo& file : files) {
    if (file.completeBaseName().compare(name, Qt::CaseInsensitive) == 0) return file.filePath();
  }
  return {};
}

QIcon DrawSvg(const QString& fileName, QSize size) {
  QSvgRenderer renderer(fileName);
  if (!renderer.isValid()) return {};
  QIcon icon;
  for (const int scale : {1, 2}) {
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

}  // namespace

TZelImageList::TZelImageList(QSize size) : size_(size) {}

int TZelImageList::Add(const QIcon& icon) {
  icons_.push_back(icon);
  return GetCount() - 1;
}

QIcon TZelImageList::GetIcon(int index) const {
  if (index < 0 || index >= GetCount()) return {};
  return icons_[static_cast<size_t>(index)];
}

QIcon LoadImageResource(const QString& name, QSize size) {
  const QString fileName = FindImageResource(name);
  if (fileName.isEmpty()) return {};
  return DrawSvg(fileName, size);
}

void InitProgramResources() {
  static bool initialised = false;
  if (initialised) return;
  initialised = true;
  InitQuillmereResources();
}

}  // namespace quill
