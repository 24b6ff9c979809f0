#include "ZelCommandHistoryList.h"

#include <unistd.h>

#include <algorithm>

TZelCommandHistoryList::TZelCommandHistoryList(int64_t budget) : budget_(budget) {}

TZelCommandHistoryList::~TZelCommandHistoryList() {
  while (!states_.empty()) states_.pop_back();
}

int64_t TZelCommandHistoryList::DefaultBudget() {
  static const int64_t budget = [] {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    const int64_t memory = pages > 0 && pageSize > 0 ? int64_t{pages} * pageSize : 0;
    return std::max(memory / 4, kMinimumBudget);
  }();
  return budget;
}

void TZelCommandHistoryList::Add(std::unique_ptr<TZelCommandState> state) {
  if (state == nullptr) return;
  DeleteRedoStates();
  const int64_t size = state->GetSize();
  while (!states_.empty() && bytes_ + size > budget_) DropOldest();
  states_.push_back(std::move(state));
  bytes_ += size;
  ++cursor_;
}

bool TZelCommandHistoryList::Undo() {
  if (!CanUndo()) return false;
  --cursor_;
  if (states_[static_cast<size_t>(cursor_)]->TryUndo()) return true;
  ++cursor_;
  return false;
}

bool TZelCommandHistoryList::Redo() {
  if (!CanRedo() || !states_[static_cast<size_t>(cursor_)]->TryRedo()) return false;
  ++cursor_;
  return true;
}

TZelCommandState* TZelCommandHistoryList::GetUndoState() const {
  return CanUndo() ? states_[static_cast<size_t>(cursor_ - 1)].get() : nullptr;
}

TZelCommandState* TZelCommandHistoryList::GetRedoState() const {
  return CanRedo() ? states_[static_cast<size_t>(cursor_)].get() : nullptr;
}

void TZelCommandHistoryList::DeleteRedoStates() {
  if (savedPosition_ > cursor_) savedPosition_ = kUnreachable;
  while (CanRedo()) {
    bytes_ -= states_.back()->GetSize();
    states_.pop_back();
  }
}

void TZelCommandHistoryList::DropOldest() {
  bytes_ -= states_.front()->GetSize();
  states_.pop_front();
  --cursor_;
  // Position 0 was the state before the dropped one: no undo reaches it any more.
  savedPosition_ = savedPosition_ > 0 ? savedPosition_ - 1 : kUnreachable;
}
