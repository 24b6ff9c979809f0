#include "ZelMethodList.h"

#include <algorithm>

int TZelMethodList::Add(const quill::TZelMethod& method) {
  entries_.push_back(std::make_shared<Entry>(Entry{method}));
  return GetCount() - 1;
}

quill::TZelMethod TZelMethodList::GetMethod(int index) const {
  if (index < 0 || index >= GetCount()) return {};
  return entries_[static_cast<size_t>(index)]->method;
}

int TZelMethodList::Remove(const quill::TZelMethod& method) {
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i]->method == method) {
      Erase(i);
      return static_cast<int>(i);
    }
  }
  return -1;
}

int TZelMethodList::RemoveComponent(const quill::TZelComponent* component) {
  int removed = 0;
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i]->method.GetComponent() == component) {
      Erase(i);
      ++removed;
    }
  }
  return removed;
}

void TZelMethodList::Delete(int index) {
  if (index >= 0 && index < GetCount()) Erase(static_cast<size_t>(index));
}

void TZelMethodList::Clear() {
  for (const auto& entry : entries_) entry->removed = true;
  entries_.clear();
}

void TZelMethodList::CallAll() const {
  // The snapshot keeps every entry of this walk alive, so a handler may remove
  // itself or others; the removed flag tells which of them to skip.
  const std::vector<std::shared_ptr<Entry>> snapshot = entries_;
  for (const auto& entry : snapshot) {
    if (!entry->removed) entry->method();
  }
}

bool TZelMethodList::CallFirstAndDelete() {
  if (entries_.empty()) return false;
  const std::shared_ptr<Entry> first = entries_.front();
  struct DeleteAfterCall {
    TZelMethodList& list;
    const std::shared_ptr<Entry>& entry;
    ~DeleteAfterCall() {
      if (entry->removed) return;
      const auto it = std::find(list.entries_.begin(), list.entries_.end(), entry);
      list.Erase(static_cast<size_t>(it - list.entries_.begin()));
    }
  } deleteAfterCall{*this, first};
  first->method();
  return true;
}

void TZelMethodList::Erase(size_t index) {
  entries_[index]->removed = true;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}
