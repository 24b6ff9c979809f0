// TZelImageList: the images that menu items and toolbar buttons show, by index.
//
// Images come from the program's image resources: the SVG files of the resource folder
// :/icons/, each found by its file name without extension, compared without regard to
// case, and drawn on a transparent background at the list's size and at twice that
// size (for screens that scale by 2).

#ifndef QUILL_FRAMEWORK_ZELIMAGELIST_H_
#define QUILL_FRAMEWORK_ZELIMAGELIST_H_

#include <QIcon>
#include <QSize>
#include <QString>

#include <vector>

namespace quill {

class TZelImageList {
 public:
  // An empty list of images of Size.
  explicit TZelImageList(QSize size);

  QSize GetSize() const { return size_; }
  int GetCount() const { return static_cast<int>(icons_.size()); }
  // Appends Icon (a null icon too, which keeps the indices after it) and returns its
  // index.
  int Add(const QIcon& icon);
  // The image at Index; a null icon outside 0 .. count - 1, so -1 means no image.
  QIcon GetIcon(int index) const;

 private:
  QSize size_;
  std::vector<QIcon> icons_;
};

// The image resource Name drawn for a list of Size; a null icon when no resource has
// that name or its file cannot be read.
QIcon LoadImageResource(const QString& name, QSize size);

// Registers the program's built-in resources (images, the logo) once. They are compiled
// into this static library, so every user of a resource calls this first: naming the
// initialiser is what links them into the program.
void InitProgramResources();

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELIMAGELIST_H_
