#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZelComponent.h"
#include "ZelLTBitmap.h"
#include "ZelViewCanvas.h"
#include "ZelViewControl.h"

namespace {

constexpr QRgb kBackground = 0xFF404040;
constexpr QRgb kUntouched = 0xFF123456;

std::vector<std::string> gLog;

// A layer that fills its device bounds with one colour as content (excluding them
// from the clip) and its overlay bounds with another as overlay, logging every step.
class Layer : public TZelViewObject {
 public:
  Layer(std::string name, uint8_t flags, const quill::TRect& bounds, QRgb content, QRgb overlay)
      : name_(std::move(name)), flags_(flags), content_(content), overlay_(overlay) {
    SetBounds(bounds);
  }

  void InitFlags() override { SetFlags(flags_); }
  bool BeginPaint(TZelViewCanvas& canvas) override {
    gLog.push_back(name_ + ".BeginPaint");
    return TZelViewObject::BeginPaint(canvas);
  }
  void PaintContent(TZelViewCanvas& canvas) override {
    gLog.push_back(name_ + ".PaintContent");
    const quill::TRect device = GetContentBounds(canvas.GetMapMode());
    canvas.GetPainter().fillRect(quill::RectToQRect(device), QColor(content_));
    canvas.ExcludeClipRect(device);
  }
  void PaintOverlay(TZelViewCanvas& canvas) override {
    gLog.push_back(name_ + ".PaintOverlay");
    if (OnOverlay) {
      OnOverlay(canvas);
    } else {
      canvas.GetPainter().fillRect(quill::RectToQRect(GetOverlayBounds(canvas.GetMapMode())),
                                   QColor(overlay_));
    }
  }
  void EndPaint() override { gLog.push_back(name_ + ".EndPaint"); }

  std::function<void(TZelViewCanvas&)> OnOverlay;

 private:
  std::string name_;
  uint8_t flags_;
  QRgb content_;
  QRgb overlay_;
};

constexpr uint8_t kContentLayer = quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectPaint;
constexpr uint8_t kOverlayLayer = quill::kViewObjectVisible | quill::kViewObjectOverlay | quill::kViewObjectNoExtent;

Layer* AddLayer(TZelViewControl& view, const std::string& name, uint8_t flags, const quill::TRect& bounds,
                QRgb content = 0xFF0000FF, QRgb overlay = 0xFFFF0000) {
  return static_cast<Layer*>(view.GetViewObjects().Add(std::unique_ptr<Layer>(
      quill::ZelCreate<Layer>(name, flags, bounds, content, overlay))));
}

// What the control shows of Region (the whole control when empty), painted over a
// marker colour so that untouched pixels show.
QImage Render(TZelViewControl& view, const QRegion& region = QRegion()) {
  QImage image(view.size(), QImage::Format_RGB32);
  image.fill(kUntouched);
  // Render puts the region's top-left corner at the offset given.
  view.render(&image, region.boundingRect().topLeft(), region);
  return image;
}

}  // namespace

TEST(ViewCanvas, StaysIdleWithoutAnAreaToPaint) {
  TZelViewControl view;
  TZelViewCanvas& canvas = view.GetCanvas();
  EXPECT_FALSE(canvas.BeginPaint(&view, QRegion()));
  EXPECT_FALSE(canvas.BeginPaint(&view, QRegion(-20, -20, 10, 10)));  // left of the origin
  EXPECT_FALSE(canvas.BeginPaint(nullptr, QRegion(0, 0, 10, 10)));
  EXPECT_FALSE(canvas.IsPainting());
  TZelViewObject* object = nullptr;
  EXPECT_FALSE(canvas.PopClip(object));
  canvas.EndPaint();  // nothing to end
  EXPECT_FALSE(canvas.IsPainting());
}

TEST(ViewControl, OffScreenBitmapReachesTheUpdateBoxAndOnlyThatIsCopied) {
  TZelViewControl view;
  view.resize(300, 200);
  quill::TRect box, pixels;
  Layer* probe = AddLayer(view, "probe", kContentLayer, {0, 0, 300, 200});
  probe->SetFlags(kOverlayLayer);
  probe->OnOverlay = [&](TZelViewCanvas& canvas) {
    box = canvas.GetUpdateBox();
    pixels = canvas.GetPixels().GetBounds();
    // 150 pixels of 3 bytes, each row padded to a multiple of 4 bytes.
    EXPECT_EQ(canvas.GetPixels().Stride(), 452);
    EXPECT_EQ(canvas.GetPixels().PixelFormat(), quill::kPixelFormat24);
    // Written directly into the last pixel of the box's last row (B, G, R), it shows
    // there: the pixel view and the painter's image step through the rows alike.
    uint8_t* last = canvas.GetPixels().GetScanLine(149, 129);
    last[0] = 0xEF;
    last[1] = 0xCD;
    last[2] = 0xAB;
  };

  const QImage shown = Render(view, QRegion(100, 100, 50, 30));
  EXPECT_EQ(box, (quill::TRect{100, 100, 150, 130}));
  EXPECT_EQ(pixels, (quill::TRect{0, 0, 150, 130}));
  EXPECT_EQ(shown.pixel(100, 100), kBackground);
  EXPECT_EQ(shown.pixel(148, 129), kBackground);
  EXPECT_EQ(shown.pixel(149, 129), 0xFFABCDEFu);
  for (const QPoint p : {QPoint(99, 100), QPoint(100, 99), QPoint(150, 129), QPoint(149, 130),
                         QPoint(0, 0)}) {
    EXPECT_EQ(shown.pixel(p), kUntouched) << p.x() << "," << p.y();
  }
  EXPECT_FALSE(view.GetCanvas().IsPainting());
}

TEST(ViewControl, PaintsLastToFirstThenBackgroundThenOverlaysBottomUp) {
  TZelViewControl view;
  view.resize(200, 200);
  AddLayer(view, "image", kContentLayer, {0, 0, 100, 100}, 0xFF00FF00);
  AddLayer(view, "marks", kOverlayLayer, {0, 0, 200, 200}, 0, 0xFFFF0000);
  Layer* top = AddLayer(view, "top", kContentLayer | quill::kViewObjectOverlay, {50, 50, 150, 150},
                        0xFF0000FF, 0);
  top->OnOverlay = [](TZelViewCanvas&) {};  // paints nothing over the others

  gLog.clear();
  const QImage shown = Render(view);
  EXPECT_EQ(gLog, (std::vector<std::string>{
                      "top.BeginPaint", "top.PaintContent", "marks.BeginPaint",
                      "image.BeginPaint", "image.PaintContent", "image.EndPaint",
                      "marks.PaintOverlay", "marks.EndPaint", "top.PaintOverlay",
                      "top.EndPaint"}));
  // The top content stays; the overlay below it covers everything else it reached,
  // the image's content and the background included.
  EXPECT_EQ(shown.pixel(100, 100), 0xFF0000FFu);
  EXPECT_EQ(shown.pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(shown.pixel(190, 190), 0xFFFF0000u);
}

TEST(ViewControl, BackgroundFillsWhatNoContentCovers) {
  TZelViewControl view;
  view.resize(120, 80);
  AddLayer(view, "image", kContentLayer, {10, 10, 50, 30}, 0xFF00FF00);
  AddLayer(view, "hidden", kContentLayer & ~quill::kViewObjectVisible, {0, 0, 120, 80}, 0xFFFFFFFF);
  AddLayer(view, "away", kContentLayer, {500, 500, 600, 600}, 0xFFFFFFFF);

  gLog.clear();
  const QImage shown = Render(view);
  // Invisible objects and objects outside the area are never begun.
  EXPECT_EQ(gLog, (std::vector<std::string>{"image.BeginPaint", "image.PaintContent",
                                            "image.EndPaint"}));
  EXPECT_EQ(shown.pixel(10, 10), 0xFF00FF00u);
  EXPECT_EQ(shown.pixel(49, 29), 0xFF00FF00u);
  EXPECT_EQ(shown.pixel(50, 29), kBackground);
  EXPECT_EQ(shown.pixel(9, 10), kBackground);
  EXPECT_EQ(shown.pixel(119, 79), kBackground);
}

TEST(ViewControl, EndPaintFollowsEveryBeginPaintOnce) {
  // One object's BeginPaint refuses: it is never ended. One has its overlay outside
  // the area: it ends in the first pass. One paints both layers: it ends after its
  // overlay.
  struct Refusing : Layer {
    using Layer::Layer;
    bool BeginPaint(TZelViewCanvas& canvas) override {
      Layer::BeginPaint(canvas);
      return false;
    }
  };
  struct FarOverlay : Layer {
    using Layer::Layer;
    quill::TRect GetOverlayBounds(const TZelMapMode&) const override { return {900, 900, 910, 910}; }
  };
  TZelViewControl view;
  view.resize(100, 100);
  AddLayer(view, "both", kContentLayer | quill::kViewObjectOverlay, {0, 0, 50, 50});
  view.GetViewObjects().Add(std::unique_ptr<FarOverlay>(quill::ZelCreate<FarOverlay>(
      "far", kContentLayer | quill::kViewObjectOverlay, quill::TRect{50, 0, 100, 50}, 0xFF00FF00u, 0u)));
  view.GetViewObjects().Add(std::unique_ptr<Refusing>(
      quill::ZelCreate<Refusing>("refusing", kOverlayLayer, quill::TRect{0, 0, 100, 100}, 0u, 0xFF00FFFFu)));

  gLog.clear();
  // The area meets the refusing object and the far object's paint bounds (its content
  // united with its overlay), but neither of the far object's layers.
  Render(view, QRegion(60, 60, 10, 10));
  EXPECT_EQ(gLog, (std::vector<std::string>{"refusing.BeginPaint", "far.BeginPaint",
                                            "far.EndPaint"}));
  gLog.clear();
  Render(view);
  EXPECT_EQ(gLog, (std::vector<std::string>{
                      "refusing.BeginPaint", "far.BeginPaint", "far.PaintContent", "far.EndPaint",
                      "both.BeginPaint", "both.PaintContent", "both.PaintOverlay",
                      "both.EndPaint"}));
}

TEST(ViewControl, DirectPixelWritesKeepToTheClipRectangles) {
  TZelViewControl view;
  view.resize(200, 200);
  Layer* writer = AddLayer(view, "writer", kOverlayLayer, {0, 0, 200, 200});
  AddLayer(view, "hole", kContentLayer, {50, 50, 100, 100}, 0xFF0000FF);
  // Whitens its whole area byte by byte: the clip is a ring around the hole, whose
  // bounding box covers the hole too.
  int parts = 0;
  writer->OnOverlay = [&parts](TZelViewCanvas& canvas) {
    TZelCanvasPixels& pixels = canvas.GetPixels();
    canvas.ForEachClipRect({-10, -10, 300, 300}, [&](const quill::TRect& part) {
      ++parts;
      for (int32_t y = part.Top; y < part.Bottom; ++y) {
        std::fill_n(pixels.GetPixelAddress(part.Left, y), part.Width() * 3, uint8_t{0xFF});
      }
    });
  };
  const QImage shown = Render(view);
  EXPECT_GT(parts, 1);
  EXPECT_EQ(shown.pixel(75, 75), 0xFF0000FFu);
  EXPECT_EQ(shown.pixel(49, 75), 0xFFFFFFFFu);
  EXPECT_EQ(shown.pixel(100, 100), 0xFFFFFFFFu);
}

TEST(ViewControl, ContentWiderThanAQRectStillCoversTheView) {
  // 4 * 10^9 pixels wide: more than a QRect's int width holds.
  TZelViewControl view;
  view.resize(60, 40);
  AddLayer(view, "huge", kContentLayer, {-2000000000, -2000000000, 2000000000, 2000000000},
           0xFF0000FF);
  const QImage shown = Render(view);
  EXPECT_EQ(shown.pixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(shown.pixel(59, 39), 0xFF0000FFu);

  const QRect widest = quill::RectToQRect({INT32_MIN, 0, INT32_MAX, 10});
  EXPECT_TRUE(widest.contains(QPoint(0, 5)));
  EXPECT_TRUE(widest.contains(QPoint(-1000000, 9)));
  EXPECT_TRUE(quill::RectToQRect({INT32_MAX - 10, 0, INT32_MAX, 10}).isEmpty());  // beyond every window
}

TEST(ViewControl, ImageLayerDrawsThroughTheDeviceContext) {
  // A 4 x 3 image at zoom 2/1 with its origin at (5, 6), like the document view.
  struct ImageLayer : TZelViewObject {
    TZelLTBitmap image;
    void InitFlags() override { SetFlags(kContentLayer); }
    void PaintContent(TZelViewCanvas& canvas) override {
      const quill::TRect device = GetContentBounds(canvas.GetMapMode());
      image.Draw(canvas.GetDeviceContext(), device, image.GetBounds(), canvas.GetClipBox());
      canvas.ExcludeClipRect(device);
    }
  };
  TZelViewControl view;
  view.resize(20, 20);
  view.GetMapMode().DeviceExtent = {2, 2};
  view.GetMapMode().DeviceOrigin = {5, 6};
  auto* layer = static_cast<ImageLayer*>(
      view.GetViewObjects().Add(std::unique_ptr<ImageLayer>(quill::ZelCreate<ImageLayer>())));
  ASSERT_TRUE(layer->image.SetSize(4, 3, quill::kPixelFormat24));
  TZelPixels& pixels = layer->image.GetPixels();
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      uint8_t* p = pixels.GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(10 * x);  // blue
      p[1] = static_cast<uint8_t>(100 + y);  // green
      p[2] = 200;                             // red
    }
  }
  layer->SetBounds(layer->image.GetBounds());

  const QImage shown = Render(view);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      const QRgb expected = qRgb(200, 100 + y, 10 * x);
      EXPECT_EQ(shown.pixel(5 + 2 * x, 6 + 2 * y), expected) << x << "," << y;
      EXPECT_EQ(shown.pixel(6 + 2 * x, 7 + 2 * y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(shown.pixel(4, 6), kBackground);
  EXPECT_EQ(shown.pixel(13, 12), kBackground);
}

// The canvas writes straight into a 32-bit image the window is painted on (its backing
// store) and leaves every other device to Qt: both give the same pixels, in the same
// place, within the same region, wherever the window lands on the device.
TEST(ViewControl, CopiesIntoA32BitDeviceAsQtDraws) {
  TZelViewControl view;
  view.resize(120, 90);
  AddLayer(view, "content", kContentLayer, {10, 8, 70, 50}, 0xFF3366CC);
  Layer* overlay = AddLayer(view, "overlay", kOverlayLayer, {30, 20, 100, 80}, 0, 0xFFCC9933);
  overlay->OnOverlay = [](TZelViewCanvas& canvas) {
    // Direct writes of distinct values, so that a wrong channel order or offset shows.
    canvas.ForEachClipRect({30, 20, 100, 80}, [&](const quill::TRect& part) {
      for (int32_t y = part.Top; y < part.Bottom; ++y) {
        for (int32_t x = part.Left; x < part.Right; ++x) {
          uint8_t* p = canvas.GetPixels().GetPixelAddress(x, y);
          p[0] = static_cast<uint8_t>(x);
          p[1] = static_cast<uint8_t>(y);
          p[2] = static_cast<uint8_t>(x + y);
        }
      }
    });
  };
  // Rows of many widths: the copy goes eight pixels at a time where it can.
  const QRegion region = QRegion(5, 4, 60, 30) + QRegion(40, 50, 70, 35) + QRegion(2, 86, 10, 2) +
                         QRegion(90, 2, 1, 40) + QRegion(100, 40, 19, 5);
  for (const QPoint at : {QPoint(5, 4), QPoint(0, 0), QPoint(17, 3)}) {
    const auto paint = [&](QImage::Format format) {
      QImage image(150, 110, format);
      image.fill(kUntouched);
      view.render(&image, at, region);
      return image.convertToFormat(QImage::Format_RGB32);
    };
    const QImage direct = paint(QImage::Format_RGB32);
    const QImage premultiplied = paint(QImage::Format_ARGB32_Premultiplied);
    const QImage drawn = paint(QImage::Format_RGB888);  // Qt draws this one
    ASSERT_EQ(direct, drawn) << "at " << at.x() << "," << at.y();
    ASSERT_EQ(premultiplied, drawn) << "at " << at.x() << "," << at.y();
    // The region's corner lands at At, and nothing outside the region is touched.
    const QPoint shift = at - region.boundingRect().topLeft();
    EXPECT_EQ(direct.pixel(QPoint(5, 4) + shift), kBackground);
    EXPECT_EQ(direct.pixel(QPoint(65, 34) + shift), kUntouched);
    EXPECT_EQ(direct.pixel(QPoint(45, 55) + shift), qRgb(45 + 55, 55, 45));
  }
}
