#include "ZelCommandHistoryList.h"

TZelCommandHistoryList::~TZelCommandHistoryList() {
  while (!states_.empty()) states_.pop_back();
}

void TZelCommandHistoryList::Add(std::unique_ptr<TZelCommandState> state) {
  if (state == nullptr) return;
  DeleteRedoStates();
  states_.push_back(std::move(state));
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
  while (CanRedo()) states_.pop_back();
}

int64_t TZelCommandHistoryList::GetSize() const {
  int64_t size = 0;
  for (const auto& state : states_) size += state->GetSize();
  return size;
}
