#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <memory>

#include "PaintLog.h"
#include "ZelComponent.h"
#include "ZelViewControl.h"

namespace {

// A layer of the given logical bounds, like the document image (flags 11).
class Block : public TZelViewObject {
 public:
  explicit Block(uint8_t flags) : flags_(flags) {}
  void InitFlags() override { SetFlags(flags_); }

 private:
  uint8_t flags_;
};

constexpr uint8_t kImageFlags = quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectPaint;

class ScrollViewTest : public testing::Test {
 protected:
  // A shown control of Width x Height with one image layer of ContentWidth x
  // ContentHeight, its origin clamped.
  void SetUp(int width, int height, int32_t contentWidth, int32_t contentHeight) {
    view_.resize(width, height);
    image_ = AddBlock(kImageFlags, {0, 0, contentWidth, contentHeight});
    view_.show();
    view_.ClampOrigin();
  }
  TZelViewObject* AddBlock(uint8_t flags, const quill::TRect& bounds) {
    TZelViewObject* block =
        view_.GetViewObjects().Add(std::unique_ptr<Block>(quill::ZelCreate<Block>(flags)));
    block->SetBounds(bounds);
    return block;
  }
  int32_t Bar() const { return view_.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view_); }
  quill::TPoint Origin() const { return view_.GetMapMode().DeviceOrigin; }
  QScrollBar& Horizontal() { return *view_.GetHorizontalScrollBar(); }
  QScrollBar& Vertical() { return *view_.GetVerticalScrollBar(); }

  TZelScrollViewControl view_;
  TZelViewObject* image_ = nullptr;
};

}  // namespace

TEST_F(ScrollViewTest, ExtentGrowsFromTheOriginByVisibleLayersInTheExtent) {
  view_.resize(100, 100);
  view_.GetMapMode().DeviceOrigin = {30, 40};
  EXPECT_EQ(view_.GetExtent(), (quill::TRect{0, 0, 0, 0}));  // no objects: empty, not at the origin
  view_.GetMapMode().DeviceOrigin = {0, 0};

  AddBlock(kImageFlags, {100, 100, 200, 150});
  EXPECT_EQ(view_.GetExtent(), (quill::TRect{0, 0, 200, 150}));  // reaches the origin

  view_.GetMapMode().DeviceOrigin = {-50, 20};
  EXPECT_EQ(view_.GetExtent(), (quill::TRect{-50, 20, 150, 170}));

  AddBlock(kImageFlags, {-100, 10, -90, 20});  // left of the origin
  EXPECT_EQ(view_.GetExtent(), (quill::TRect{-150, 20, 150, 170}));

  // Not counted: outside the extent, invisible, painting nothing, empty.
  AddBlock(kImageFlags | quill::kViewObjectNoExtent, {0, 0, 5000, 5000});
  AddBlock(kImageFlags & ~quill::kViewObjectVisible, {0, 0, 5000, 5000});
  AddBlock(quill::kViewObjectVisible | quill::kViewObjectPaint, {0, 0, 5000, 5000});
  AddBlock(kImageFlags, {300, 300, 300, 400});
  EXPECT_EQ(view_.GetExtent(), (quill::TRect{-150, 20, 150, 170}));
}

TEST_F(ScrollViewTest, SmallContentIsCentredWithoutBars) {
  SetUp(500, 400, 300, 200);
  EXPECT_EQ(Origin(), (quill::TPoint{100, 100}));
  EXPECT_TRUE(Horizontal().isHidden());
  EXPECT_TRUE(Vertical().isHidden());
  EXPECT_EQ(view_.GetClientRect(), (quill::TRect{0, 0, 500, 400}));
  const quill::TZelScrollRange range = view_.GetScrollRange();
  EXPECT_EQ(range.OverflowX, -200);
  EXPECT_EQ(range.OverflowY, -200);
  EXPECT_EQ(range.DeltaX, 0);

  // Centring follows the window's size; halves are truncated.
  view_.resize(701, 400);
  EXPECT_EQ(Origin(), (quill::TPoint{200, 100}));
}

TEST_F(ScrollViewTest, ABarNeededOnOneAxisTakesRoomFromTheOther) {
  const int32_t bar = Bar();
  ASSERT_GT(bar, 0);
  SetUp(500, 400, 600, 400);  // 100 too wide; the horizontal bar then eats the height
  const quill::TZelScrollRange range = view_.GetScrollRange();
  EXPECT_EQ(range.OverflowY, bar);
  EXPECT_EQ(range.OverflowX, 100 + bar);
  EXPECT_FALSE(Horizontal().isHidden());
  EXPECT_FALSE(Vertical().isHidden());
  EXPECT_EQ(Horizontal().maximum(), 100 + bar);
  EXPECT_EQ(Horizontal().pageStep(), 500);
  EXPECT_EQ(Vertical().maximum(), bar);
  EXPECT_EQ(view_.GetClientRect(), (quill::TRect{0, 0, 500 - bar, 400 - bar}));
  EXPECT_EQ(Origin(), (quill::TPoint{0, 0}));
}

TEST_F(ScrollViewTest, AHorizontalBarAloneWhenTheHeightHasRoomForIt) {
  const int32_t bar = Bar();
  SetUp(500, 400, 600, 300);
  const quill::TZelScrollRange range = view_.GetScrollRange();
  EXPECT_EQ(range.OverflowX, 100);
  EXPECT_EQ(range.OverflowY, -100 + bar);
  EXPECT_FALSE(Horizontal().isHidden());
  EXPECT_TRUE(Vertical().isHidden());
  EXPECT_EQ(Origin(), (quill::TPoint{0, (100 - bar) / 2}));  // centred above the bar
}

TEST_F(ScrollViewTest, BarsScrollByLinesThreeQuarterPagesAndTheThumb) {
  SetUp(502, 400, 3000, 3000);
  QScrollBar& bar = Horizontal();
  bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Origin().X, -10);
  EXPECT_EQ(bar.value(), 10);
  bar.triggerAction(QAbstractSlider::SliderPageStepAdd);  // 502 * 3 / 4 = 376.5 -> 377
  EXPECT_EQ(Origin().X, -387);
  EXPECT_EQ(bar.value(), 387);
  bar.triggerAction(QAbstractSlider::SliderPageStepSub);
  bar.triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(Origin().X, 0);
  bar.setSliderPosition(1234);  // dragging the thumb
  EXPECT_EQ(Origin().X, -1234);
  EXPECT_EQ(bar.value(), 1234);

  Vertical().triggerAction(QAbstractSlider::SliderPageStepAdd);  // 400 * 3 / 4
  EXPECT_EQ(Origin(), (quill::TPoint{-1234, -300}));
}

TEST_F(ScrollViewTest, ScrollingStopsAtEitherEnd) {
  SetUp(500, 400, 1000, 300);
  QScrollBar& bar = Horizontal();
  const int end = bar.maximum();
  EXPECT_EQ(end, 500);  // no vertical bar: the overflow is the width alone
  bar.triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(Origin().X, 0);
  bar.triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(Origin().X, -end);
  bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
  bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Origin().X, -end);
  EXPECT_EQ(bar.value(), end);
  bar.triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(Origin().X, 0);
}

TEST_F(ScrollViewTest, ClampScrollDeltaKeepsTheOriginInRange) {
  SetUp(500, 400, 1000, 300);  // 500 of horizontal overflow, none vertical
  int32_t dx = 50, dy = 30;
  view_.ClampScrollDelta(dx, dy);
  EXPECT_EQ(dx, 0);  // the left edge already shows
  EXPECT_EQ(dy, 0);  // no vertical overflow
  dx = -120;
  view_.ClampScrollDelta(dx, dy);
  EXPECT_EQ(dx, -120);
  view_.ScrollByDelta(dx, 0);
  EXPECT_EQ(Origin().X, -120);
  EXPECT_EQ(Horizontal().value(), 120);
  dx = -1000;
  view_.ClampScrollDelta(dx, dy);
  EXPECT_EQ(dx, -380);
  dx = 1000;
  view_.ClampScrollDelta(dx, dy);
  EXPECT_EQ(dx, 120);
}

TEST_F(ScrollViewTest, CenterOnPointStaysInRange) {
  const int32_t bar = Bar();
  SetUp(500, 400, 2000, 2000);
  view_.CenterOnPoint({1000, 1000});
  EXPECT_EQ(Origin(), (quill::TPoint{(500 - bar) / 2 - 1000, (400 - bar) / 2 - 1000}));
  EXPECT_EQ(Horizontal().value(), -Origin().X);
  view_.CenterOnPoint({10, 1990});
  EXPECT_EQ(Origin(), (quill::TPoint{0, -(2000 - 400 + bar)}));

  view_.GetMapMode().DeviceExtent = {1, 1};  // zoom 1/8: 250 x 250, centred
  view_.GetMapMode().LogicalExtent = {8, 8};
  view_.CenterOnPoint({0, 0});
  EXPECT_EQ(Origin(), (quill::TPoint{125, 75}));
  EXPECT_TRUE(Horizontal().isHidden());
}

TEST_F(ScrollViewTest, ClampOriginAndResizeFollowContentChanges) {
  SetUp(500, 400, 2000, 2000);
  view_.ScrollByDelta(-1500, -1500);
  image_->SetBounds({0, 0, 800, 600});  // the image shrank
  view_.ClampOrigin();
  const quill::TZelScrollRange range = view_.GetScrollRange();
  EXPECT_EQ(Origin(), (quill::TPoint{-range.OverflowX, -range.OverflowY}));
  view_.resize(900, 700);  // now larger than the content
  EXPECT_EQ(Origin(), (quill::TPoint{50, 50}));
  EXPECT_TRUE(Horizontal().isHidden());
  EXPECT_TRUE(Vertical().isHidden());
}

// A scroll shows the moved image first; the bars, which Qt's style is slow to paint,
// follow in the next frame. Their values change at once.
TEST_F(ScrollViewTest, TheBarsRepaintInTheFrameAfterTheScroll) {
  SetUp(300, 200, 1000, 800);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  quill::test::PaintLog log;
  view_.setObjectName("view");
  Horizontal().setObjectName("bar");
  log.Watch({&view_, &Horizontal()});

  int32_t dx = -40, dy = 0;
  view_.ClampScrollDelta(dx, dy);
  view_.ScrollByDelta(dx, dy);
  EXPECT_EQ(Horizontal().value(), 40);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(log.PaintedInALaterFrame("view", "bar")) << "the bar was painted in the view's frame";
  EXPECT_LT(std::find(log.Lines.begin(), log.Lines.end(), "frame"),
            std::find(log.Lines.begin(), log.Lines.end(), "view"));
}

// Zooming in from fit brings the bars up: the zoomed image shows first, the bars
// follow in the next frame. Their values are set at once.
TEST_F(ScrollViewTest, BarsThatAppearPaintInTheFrameAfterTheView) {
  SetUp(300, 200, 250, 150);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  ASSERT_TRUE(Horizontal().isHidden());
  ASSERT_TRUE(Vertical().isHidden());
  quill::test::PaintLog log;
  view_.setObjectName("view");
  Horizontal().setObjectName("horizontal");
  Vertical().setObjectName("vertical");
  log.Watch({&view_, &Horizontal(), &Vertical()});

  image_->SetBounds({0, 0, 1000, 800});
  view_.CenterOnPoint({500, 400});
  EXPECT_FALSE(Horizontal().isHidden());
  EXPECT_FALSE(Vertical().isHidden());
  EXPECT_EQ(Horizontal().value(), -Origin().X);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(log.PaintedInALaterFrame("view", "horizontal")) << "the bar was painted in the view's frame";
  EXPECT_TRUE(log.PaintedInALaterFrame("view", "vertical")) << "the bar was painted in the view's frame";
}

// Nothing a view paints depends on the keyboard focus: the pointer entering the view
// gives it the keys, and a repaint of the whole view then would delay the first press.
TEST_F(ScrollViewTest, GainingOrLosingTheFocusRepaintsNothing) {
  SetUp(300, 200, 1000, 800);
  view_.setFocusPolicy(Qt::StrongFocus);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  quill::test::PaintLog log;
  view_.setObjectName("view");
  log.Watch({&view_});

  for (const QEvent::Type type : {QEvent::FocusIn, QEvent::FocusOut}) {
    QFocusEvent event(type, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(&view_, &event);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  EXPECT_EQ(std::count(log.Lines.begin(), log.Lines.end(), "view"), 0);
}
