// TZelBalloon: the speech balloon that demo scripts show with MESSAGE. A rounded box of
// word-wrapped text with a triangular pointer whose tip pixel sits exactly on a given
// screen point, on top of everything, without taking the focus or any input.
//
// Sizes: text wrapped at word breaks to at most 350 pixels wide (a longer word is broken
// where it must), and cut after kMaxTextLength characters, so no script can make the
// window huge; the body is the text rectangle plus 16 in width and height, its corners
// rounded with a 16 x 16 ellipse; the pointer is a triangle 16 high on a 16-wide base;
// the window is 16 taller than the body to hold it.
//
// Placement: 1 tip at the top left (the balloon hangs below the point, extending
// right), 2 top right (below, extending left), 3 bottom left (above, extending right),
// 4 bottom right (above, extending left). 0 chooses by the halves of the screen that
// holds the point: right of the middle (X - left > width / 2) the balloon extends left,
// and in the upper half (Y - top <= height / 2, the middle row included) it hangs
// below. The balloon is not moved to stay on the screen.
//
// The window is shaped with a mask (no translucency is needed), painted in the tool-tip
// colours with a one-pixel outline along the shape's edge.

#ifndef QUILL_FRAMEWORK_DEMO_ZELBALLOON_H_
#define QUILL_FRAMEWORK_DEMO_ZELBALLOON_H_

#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <cstdint>

class TZelBalloon : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxTextWidth = 350;
  static constexpr int kMaxTextLength = 1000;

  TZelBalloon();
  // Hides the window and removes its shape.
  ~TZelBalloon() override;

  // Builds the balloon for Text and shows it, without activating it, with its pointer's
  // tip on (X, Y). Placement 0..4 (values above 4 count as 0).
  void ShowBalloon(int32_t x, int32_t y, uint8_t placement, const QString& text);
  // Hides the window; ShowBalloon shows it again.
  void HideBalloon();
  // Shapes the window with Region (an empty region removes the shape) and remembers it.
  void SetRegion(const QRegion& region);

  const QRegion& GetRegion() const { return region_; }
  // Where the text is drawn, in window coordinates.
  const QRect& GetTextRect() const { return textRect_; }
  // The placement that the last ShowBalloon used (1..4).
  uint8_t GetPlacement() const { return placement_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRegion region_;
  QString text_;
  int wrap_ = Qt::TextWordWrap;  // how the text breaks into lines
  QRect textRect_;
  uint8_t placement_ = 0;
};

// The outline band of Region: with Width > 0 the part of Region within Width pixels of
// its edge; with Width <= 0 the pixels of Region that have a 4-neighbour at distance
// -Width outside it (empty for Width 0).
QRegion BuildOutlineRegion(const QRegion& region, int width);

namespace quill {

// Placement 0's choice for the point (X, Y) on the screen Screen: 1..4.
uint8_t ChooseBalloonPlacement(int32_t x, int32_t y, const QRect& screen);

}  // namespace quill

#endif  // QUILL_FRAMEWORK_DEMO_ZELBALLOON_H_
