// View objects: the layers a view control paints, each with bounds in logical (image)
// coordinates and a few flags that say whether and how it paints.
//
// The view control (ZelViewControl.h) walks its objects from the last to the first.
// A content layer paints in that walk and excludes what it covered from the canvas's
// clip, so the layers below it and the background leave it alone; an overlay layer
// paints after the background, over everything below it. The document image is a
// content layer; every tool control is an overlay layer.
//
// Create view objects with ZelCreate (ZelComponent.h): it calls AfterConstruction,
// which runs the most derived InitFlags; a virtual call from this base's constructor
// could not reach it. Everything here runs on the main thread.

#ifndef QUILL_FRAMEWORK_ZELVIEWOBJECT_H_
#define QUILL_FRAMEWORK_ZELVIEWOBJECT_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "ZelTypes.h"

class TZelMapMode;
class TZelViewCanvas;

namespace quill {

// Flag bits of a view object.
constexpr uint8_t kViewObjectVisible = 1;
constexpr uint8_t kViewObjectContent = 2;   // paints a content layer in object order
constexpr uint8_t kViewObjectOverlay = 4;   // paints an overlay after the background
constexpr uint8_t kViewObjectPaint = 8;     // may paint itself through Paint
constexpr uint8_t kViewObjectNoExtent = 16; // not part of a scroll view's extent

// Results of the hit tests.
constexpr uint8_t kHitNone = 0;
constexpr uint8_t kHitOverlap = 1;  // the rectangle overlaps the bounds
constexpr uint8_t kHitNear = 2;     // within the tolerance outside the bounds
constexpr uint8_t kHitInside = 3;

}  // namespace quill

class TZelViewObject {
 public:
  // Flags as this class's InitFlags sets them, bounds empty.
  TZelViewObject();
  virtual ~TZelViewObject() = default;
  TZelViewObject(const TZelViewObject&) = delete;
  TZelViewObject& operator=(const TZelViewObject&) = delete;

  // Sets the flags through the most derived InitFlags; ZelCreate calls it.
  void AfterConstruction() { InitFlags(); }

  // Sets or clears the visible bit.
  virtual void SetVisible(bool value);
  virtual void SetBounds(const quill::TRect& rect);
  // Flags := visible, content, overlay and Paint (15).
  virtual void InitFlags();

  // The device area the object paints: with the content bit its content bounds,
  // united with its overlay bounds when the overlay bit is set too; else with the
  // overlay bit its overlay bounds; else (0, 0, 0, 0).
  virtual quill::TRect GetPaintBounds(const TZelMapMode& mapMode) const;
  // Bounds mapped to device coordinates.
  virtual quill::TRect GetContentBounds(const TZelMapMode& mapMode) const;
  virtual quill::TRect GetOverlayBounds(const TZelMapMode& mapMode) const;

  // Whether the object paints on Canvas in this paint; the visible bit here. Every
  // true result is followed by exactly one EndPaint.
  virtual bool BeginPaint(TZelViewCanvas& canvas);
  // Paint in device coordinates on the canvas, within its clip. A content painter
  // excludes what it covered from the clip (TZelViewCanvas::ExcludeClipRect). Both
  // leave the painter's pen, brush and modes as they found them. Nothing here.
  virtual void PaintContent(TZelViewCanvas& canvas);
  virtual void PaintOverlay(TZelViewCanvas& canvas);
  virtual void EndPaint() {}
  // Paints the object on its own, outside a view control's paint: with the Paint bit
  // and BeginPaint true, PaintContent (content bit), PaintOverlay (overlay bit), then
  // EndPaint.
  virtual void Paint(TZelViewCanvas& canvas);

  virtual bool QueryPoint(int32_t /*x*/, int32_t /*y*/) const { return false; }
  // kHitInside when Point (device) lies in the device bounds; else, for a Tolerance
  // above 0, kHitNear when it lies in them grown by Tolerance on every side; else
  // kHitNone.
  virtual uint8_t HitTestPoint(const TZelMapMode& mapMode, const quill::TPoint& point,
                               int32_t tolerance) const;
  // kHitInside when Rect lies wholly inside the device bounds; kHitOverlap when they
  // overlap; else, for a Tolerance of at least 1, kHitNear when Rect meets the device
  // bounds grown by Tolerance; else kHitNone.
  virtual uint8_t HitTestRect(const TZelMapMode& mapMode, const quill::TRect& rect,
                              int32_t tolerance) const;

  bool GetVisible() const { return (flags_ & quill::kViewObjectVisible) != 0; }
  uint8_t GetFlags() const { return flags_; }
  void SetFlags(uint8_t flags) { flags_ = flags; }
  const quill::TRect& GetBounds() const { return bounds_; }

 private:
  uint8_t flags_ = 0;
  quill::TRect bounds_;
};

// The owning list of a view control's objects; the first is the bottom layer. Objects
// are not added or removed while the control paints.
class TZelViewObjectList {
 public:
  TZelViewObjectList() = default;
  // Frees the objects, the last first.
  ~TZelViewObjectList();
  TZelViewObjectList(const TZelViewObjectList&) = delete;
  TZelViewObjectList& operator=(const TZelViewObjectList&) = delete;

  int GetCount() const { return static_cast<int>(items_.size()); }
  // The object at Index; nullptr outside 0 .. count - 1.
  TZelViewObject* GetItem(int index) const;
  int IndexOf(const TZelViewObject* object) const;

  // Appends Object, which the list then owns; returns it.
  TZelViewObject* Add(std::unique_ptr<TZelViewObject> object);
  // Takes Object out of the list, then frees it; false when the list does not hold it.
  bool Delete(TZelViewObject* object);
  // Frees every object, the last first; each leaves the list before it is destroyed.
  void Clear();

 private:
  std::vector<std::unique_ptr<TZelViewObject>> items_;
};

#endif  // QUILL_FRAMEWORK_ZELVIEWOBJECT_H_
