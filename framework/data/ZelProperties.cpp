#include "ZelProperties.h"

#include <cstring>

void TZelCustomProperties::FreeItemData(quill::TZelPropertyItem& /*item*/) {}

void TZelCustomProperties::Assign(const TZelCustomProperties* source) {
  if (source == this) return;
  Clear();
  if (source == nullptr) return;
  for (const auto& item : source->items_) SetValue(item->Id, item->Type, item->Size, item->Data());
}

void TZelCustomProperties::SetValue(int32_t id, int32_t type, int32_t size, const void* data) {
  if (size < 0 || (data == nullptr && size > 0)) return;
  // Copied first: Data may lie in the very item that is replaced.
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> value(bytes, bytes + size);
  const int index = IndexOf(id);
  quill::TZelPropertyItem* item;
  if (index >= 0) {
    item = MutableItem(index);
    FreeItemData(*item);
  } else {
    items_.push_back(std::make_unique<quill::TZelPropertyItem>());
    item = items_.back().get();
  }
  item->Id = id;
  item->Size = size;
  item->Type = type;
  item->Bytes = std::move(value);
}

void TZelCustomProperties::SetInteger(int32_t id, int32_t value) {
  SetValue(id, quill::kPropertyInteger, sizeof(value), &value);
}

void TZelCustomProperties::SetFloat(int32_t id, double value) {
  SetValue(id, quill::kPropertyFloat, sizeof(value), &value);
}

void TZelCustomProperties::SetString(int32_t id, std::string_view text) {
  SetValue(id, quill::kPropertyString, static_cast<int32_t>(text.size()), text.data());
}

int TZelCustomProperties::IndexOf(int32_t id) const {
  for (int i = GetCount(); i-- > 0;) {
    if (items_[static_cast<size_t>(i)]->Id == id) return i;
  }
  return -1;
}

void TZelCustomProperties::Delete(int32_t id) {
  const int index = IndexOf(id);
  if (index < 0) return;
  FreeItemData(*MutableItem(index));
  items_.erase(items_.begin() + index);
}

const quill::TZelPropertyItem* TZelCustomProperties::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

void TZelCustomProperties::GetVariant(int index, quill::TZelVariant& value) const {
  value = std::monostate{};
  const quill::TZelPropertyItem* item = GetItem(index);
  if (item == nullptr) return;
  switch (item->Type) {
    case quill::kPropertyInteger:
      if (item->Size >= 4) {
        int32_t number;
        std::memcpy(&number, item->Data(), sizeof(number));
        value = number;
      }
      break;
    case quill::kPropertyFloat:
      if (item->Size >= 8) {
        double number;
        std::memcpy(&number, item->Data(), sizeof(number));
        value = number;
      }
      break;
    case quill::kPropertyString: value = std::string(item->Bytes.begin(), item->Bytes.end()); break;
    default: break;
  }
}

void TZelCustomProperties::Clear() {
  for (auto& item : items_) FreeItemData(*item);
  items_.clear();
}

TZelProperties::~TZelProperties() { Clear(); }

void TZelProperties::FreeItemData(quill::TZelPropertyItem& item) {
  if (item.Type == quill::kPropertyInterface) item.Reference.reset();
}

void TZelProperties::Assign(const TZelCustomProperties* source) {
  if (source == this) return;
  TZelCustomProperties::Assign(source);
  if (source == nullptr) return;
  for (int i = 0; i < source->GetCount(); ++i) {
    const quill::TZelPropertyItem* item = source->GetItem(i);
    if (item->Type == quill::kPropertyInterface) {
      MutableItem(IndexOf(item->Id))->Reference = item->Reference;
    }
  }
}

void TZelProperties::SetInterface(int32_t id, std::shared_ptr<void> object) {
  const void* address = object.get();
  SetValue(id, quill::kPropertyInterface, sizeof(address), &address);
  MutableItem(IndexOf(id))->Reference = std::move(object);
}

std::shared_ptr<void> TZelProperties::GetInterface(int index) const {
  const quill::TZelPropertyItem* item = GetItem(index);
  if (item == nullptr || item->Type != quill::kPropertyInterface) return nullptr;
  return item->Reference;
}

int TZelPointList::Add(const quill::TPoint& point) {
  points_.push_back(point);
  return GetCount() - 1;
}

quill::TPoint TZelPointList::GetPoint(int index) const {
  if (index < 0 || index >= GetCount()) return {};
  return points_[static_cast<size_t>(index)];
}

void TZelPointList::Delete(int index) {
  if (index >= 0 && index < GetCount()) points_.erase(points_.begin() + index);
}
