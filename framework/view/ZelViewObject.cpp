#include "ZelViewObject.h"

#include <utility>

#include "ZelMapMode.h"
#include "ZelUtils.h"

// ---- TZelViewObject ----

TZelViewObject::TZelViewObject() { TZelViewObject::InitFlags(); }

void TZelViewObject::SetVisible(bool value) {
  flags_ = value ? (flags_ | quill::kViewObjectVisible) : (flags_ & ~quill::kViewObjectVisible);
}

void TZelViewObject::SetBounds(const quill::TRect& rect) { bounds_ = rect; }

void TZelViewObject::InitFlags() {
  flags_ = quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectOverlay | quill::kViewObjectPaint;
}

quill::TRect TZelViewObject::GetPaintBounds(const TZelMapMode& mapMode) const {
  if ((flags_ & quill::kViewObjectContent) != 0) {
    const quill::TRect content = GetContentBounds(mapMode);
    if ((flags_ & quill::kViewObjectOverlay) == 0) return content;
    return quill::UnionRect(content, GetOverlayBounds(mapMode));
  }
  if ((flags_ & quill::kViewObjectOverlay) != 0) return GetOverlayBounds(mapMode);
  return quill::TRect{};
}

quill::TRect TZelViewObject::GetContentBounds(const TZelMapMode& mapMode) const {
  return mapMode.LogicalToDeviceRect(bounds_);
}

quill::TRect TZelViewObject::GetOverlayBounds(const TZelMapMode& mapMode) const {
  return mapMode.LogicalToDeviceRect(bounds_);
}

bool TZelViewObject::BeginPaint(TZelViewCanvas& /*canvas*/) { return GetVisible(); }

void TZelViewObject::PaintContent(TZelViewCanvas& /*canvas*/) {}

void TZelViewObject::PaintOverlay(TZelViewCanvas& /*canvas*/) {}

void TZelViewObject::Paint(TZelViewCanvas& canvas) {
  if ((flags_ & quill::kViewObjectPaint) == 0 || !BeginPaint(canvas)) return;
  if ((flags_ & quill::kViewObjectContent) != 0) PaintContent(canvas);
  if ((flags_ & quill::kViewObjectOverlay) != 0) PaintOverlay(canvas);
  EndPaint();
}

uint8_t TZelViewObject::HitTestPoint(const TZelMapMode& mapMode, const quill::TPoint& point,
                                     int32_t tolerance) const {
  const quill::TRect bounds = mapMode.LogicalToDeviceRect(bounds_);
  if (bounds.Contains(point.X, point.Y)) return quill::kHitInside;
  if (tolerance > 0 && InflatedRect(bounds, tolerance, tolerance).Contains(point.X, point.Y)) {
    return quill::kHitNear;
  }
  return quill::kHitNone;
}

uint8_t TZelViewObject::HitTestRect(const TZelMapMode& mapMode, const quill::TRect& rect,
                                    int32_t tolerance) const {
  const quill::TRect bounds = mapMode.LogicalToDeviceRect(bounds_);
  switch (RectRelation(rect, bounds)) {
    case 2:
      return quill::kHitInside;
    case 1:
      return quill::kHitOverlap;
    default:
      break;
  }
  if (tolerance >= 1 && RectRelation(rect, InflatedRect(bounds, tolerance, tolerance)) != 0) {
    return quill::kHitNear;
  }
  return quill::kHitNone;
}

// ---- TZelViewObjectList ----

TZelViewObjectList::~TZelViewObjectList() { Clear(); }

TZelViewObject* TZelViewObjectList::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

int TZelViewObjectList::IndexOf(const TZelViewObject* object) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == object) return static_cast<int>(i);
  }
  return -1;
}

TZelViewObject* TZelViewObjectList::Add(std::unique_ptr<TZelViewObject> object) {
  if (object == nullptr) return nullptr;
  items_.push_back(std::move(object));
  return items_.back().get();
}

bool TZelViewObjectList::Delete(TZelViewObject* object) {
  const int index = IndexOf(object);
  if (index < 0) return false;
  std::unique_ptr<TZelViewObject> taken = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  return true;  // Taken frees the object, now outside the list.
}

void TZelViewObjectList::Clear() {
  while (!items_.empty()) {
    std::unique_ptr<TZelViewObject> taken = std::move(items_.back());
    items_.pop_back();
  }
}
