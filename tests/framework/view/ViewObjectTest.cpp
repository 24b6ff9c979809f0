#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ZelComponent.h"
#include "ZelMapMode.h"
#include "ZelViewCanvas.h"
#include "ZelViewObject.h"

namespace {

std::vector<std::string> gLog;

// A view object whose class sets its own flags, logging its painting and its end.
class FlaggedObject : public TZelViewObject {
 public:
  FlaggedObject(uint8_t initialFlags, std::string name)
      : initialFlags_(initialFlags), name_(std::move(name)) {}
  ~FlaggedObject() override { gLog.push_back("free " + name_); }

  void InitFlags() override { SetFlags(initialFlags_); }
  bool BeginPaint(TZelViewCanvas& canvas) override {
    gLog.push_back(name_ + ".BeginPaint");
    return TZelViewObject::BeginPaint(canvas);
  }
  void PaintContent(TZelViewCanvas&) override { gLog.push_back(name_ + ".PaintContent"); }
  void PaintOverlay(TZelViewCanvas&) override { gLog.push_back(name_ + ".PaintOverlay"); }
  void EndPaint() override { gLog.push_back(name_ + ".EndPaint"); }
  quill::TRect GetOverlayBounds(const TZelMapMode& mapMode) const override {
    return InflatedBy2(TZelViewObject::GetOverlayBounds(mapMode));
  }

 private:
  static quill::TRect InflatedBy2(const quill::TRect& r) { return {r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2}; }
  uint8_t initialFlags_;
  std::string name_;
};

std::unique_ptr<FlaggedObject> Make(uint8_t flags, const std::string& name = "o") {
  return std::unique_ptr<FlaggedObject>(quill::ZelCreate<FlaggedObject>(flags, name));
}

// Zoom 2/1 scrolled by (10, 20).
TZelMapMode Zoomed() {
  TZelMapMode map;
  map.DeviceExtent = {2, 2};
  map.DeviceOrigin = {10, 20};
  return map;
}

}  // namespace

TEST(ViewObject, FlagsComeFromTheMostDerivedInitFlags) {
  const std::unique_ptr<TZelViewObject> plain(quill::ZelCreate<TZelViewObject>());
  EXPECT_EQ(plain->GetFlags(), 15);
  EXPECT_TRUE(plain->GetVisible());
  auto control = Make(20);
  EXPECT_EQ(control->GetFlags(), 20);
  EXPECT_FALSE(control->GetVisible());
  control->SetVisible(true);
  EXPECT_EQ(control->GetFlags(), 21);
  control->SetVisible(false);
  EXPECT_EQ(control->GetFlags(), 20);
}

TEST(ViewObject, PaintBoundsFollowTheLayerBits) {
  const TZelMapMode map = Zoomed();
  for (const uint8_t flags : {0, 1, 1 | 8 | 16}) {
    auto object = Make(flags);
    object->SetBounds({0, 0, 10, 10});
    EXPECT_EQ(object->GetPaintBounds(map), (quill::TRect{0, 0, 0, 0})) << int{flags};
  }
  auto content = Make(quill::kViewObjectVisible | quill::kViewObjectContent);
  content->SetBounds({0, 0, 10, 10});
  EXPECT_EQ(content->GetPaintBounds(map), (quill::TRect{10, 20, 30, 40}));
  auto overlay = Make(quill::kViewObjectVisible | quill::kViewObjectOverlay);
  overlay->SetBounds({0, 0, 10, 10});
  EXPECT_EQ(overlay->GetPaintBounds(map), (quill::TRect{8, 18, 32, 42}));
  auto both = Make(quill::kViewObjectContent | quill::kViewObjectOverlay);
  both->SetBounds({0, 0, 10, 10});
  EXPECT_EQ(both->GetPaintBounds(map), (quill::TRect{8, 18, 32, 42}));
}

TEST(ViewObject, HitTestPointUsesDeviceBoundsAndTolerance) {
  const TZelMapMode map = Zoomed();
  auto object = Make(15);
  object->SetBounds({0, 0, 10, 10});  // device (10, 20, 30, 40)
  EXPECT_EQ(object->HitTestPoint(map, {10, 20}, 0), quill::kHitInside);
  EXPECT_EQ(object->HitTestPoint(map, {29, 39}, 0), quill::kHitInside);
  EXPECT_EQ(object->HitTestPoint(map, {30, 39}, 0), quill::kHitNone);  // right edge excluded
  for (const quill::TPoint p : {quill::TPoint{9, 20}, quill::TPoint{30, 40}, quill::TPoint{-1000, 0}}) {
    EXPECT_EQ(object->HitTestPoint(map, p, 0), quill::kHitNone);  // tolerance 0 never says near
  }
  EXPECT_EQ(object->HitTestPoint(map, {32, 41}, 3), quill::kHitNear);
  EXPECT_EQ(object->HitTestPoint(map, {33, 30}, 3), quill::kHitNone);
  EXPECT_EQ(object->HitTestPoint(map, {9, 20}, -5), quill::kHitNone);
}

TEST(ViewObject, HitTestRectTellsInsideOverlapAndNear) {
  const TZelMapMode map = Zoomed();
  auto object = Make(15);
  object->SetBounds({0, 0, 10, 10});  // device (10, 20, 30, 40)
  EXPECT_EQ(object->HitTestRect(map, {10, 20, 30, 40}, 0), quill::kHitInside);
  EXPECT_EQ(object->HitTestRect(map, {12, 22, 14, 24}, 5), quill::kHitInside);
  EXPECT_EQ(object->HitTestRect(map, {25, 35, 50, 50}, 0), quill::kHitOverlap);
  EXPECT_EQ(object->HitTestRect(map, {30, 20, 40, 30}, 0), quill::kHitNone);  // touching only
  EXPECT_EQ(object->HitTestRect(map, {30, 20, 40, 30}, 1), quill::kHitNear);
  EXPECT_EQ(object->HitTestRect(map, {33, 20, 40, 30}, 3), quill::kHitNone);
  EXPECT_EQ(object->HitTestRect(map, {32, 20, 40, 30}, 3), quill::kHitNear);
}

TEST(ViewObject, PaintRunsTheLayersOnlyWithThePaintBit) {
  TZelViewCanvas canvas;  // idle: these objects paint nothing on it
  gLog.clear();
  Make(quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectOverlay, "a")->Paint(canvas);
  Make(quill::kViewObjectVisible | quill::kViewObjectPaint | quill::kViewObjectOverlay, "b")->Paint(canvas);
  Make(quill::kViewObjectPaint | quill::kViewObjectContent, "c")->Paint(canvas);  // invisible
  EXPECT_EQ(gLog, (std::vector<std::string>{"free a", "b.BeginPaint", "b.PaintOverlay",
                                            "b.EndPaint", "free b", "c.BeginPaint", "free c"}));
}

TEST(ViewObjectList, OwnsItsObjectsAndFreesTheLastFirst) {
  gLog.clear();
  {
    TZelViewObjectList list;
    TZelViewObject* a = list.Add(Make(15, "a"));
    TZelViewObject* b = list.Add(Make(15, "b"));
    list.Add(Make(15, "c"));
    EXPECT_EQ(list.Add(nullptr), nullptr);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetItem(1), b);
    EXPECT_EQ(list.GetItem(3), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
    EXPECT_EQ(list.IndexOf(a), 0);

    EXPECT_TRUE(list.Delete(b));
    EXPECT_FALSE(list.Delete(b));
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.IndexOf(b), -1);
  }
  EXPECT_EQ(gLog, (std::vector<std::string>{"free b", "free c", "free a"}));
}
