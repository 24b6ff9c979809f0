// Command history: undoable edits and the list that steps through them.
//
// A command state knows how to undo and redo one edit. The history owns its states
// and a cursor, the number of states currently applied (0 <= cursor <= count): the
// states before the cursor can be undone, last first; the states from the cursor on
// can be redone, first first. There is no limit on the number of states, so every
// state reports the bytes it holds and the history their sum.

#ifndef QUILL_FRAMEWORK_ZELCOMMANDHISTORYLIST_H_
#define QUILL_FRAMEWORK_ZELCOMMANDHISTORYLIST_H_

#include <cstdint>
#include <memory>
#include <vector>

class TZelCommandState {
 public:
  TZelCommandState() = default;
  virtual ~TZelCommandState() = default;
  TZelCommandState(const TZelCommandState&) = delete;
  TZelCommandState& operator=(const TZelCommandState&) = delete;

  virtual void Undo() = 0;
  virtual void Redo() = 0;
  // Undo, reporting whether the edit was undone; a state whose undo can fail (an image
  // that cannot be allocated) overrides it and returns false having changed nothing.
  // Here: Undo, then true.
  virtual bool TryUndo() {
    Undo();
    return true;
  }
  // Redo, reporting whether the edit was redone; a state whose redo can fail (an image
  // that cannot be allocated) overrides it and returns false having changed nothing.
  // Here: Redo, then true.
  virtual bool TryRedo() {
    Redo();
    return true;
  }
  // The bytes the state holds, itself included.
  virtual int64_t GetSize() const = 0;
};

class TZelCommandHistoryList {
 public:
  TZelCommandHistoryList() = default;
  // Frees every state, the last first.
  ~TZelCommandHistoryList();
  TZelCommandHistoryList(const TZelCommandHistoryList&) = delete;
  TZelCommandHistoryList& operator=(const TZelCommandHistoryList&) = delete;

  bool CanUndo() const { return cursor_ > 0; }
  bool CanRedo() const { return cursor_ < GetCount(); }
  int GetCount() const { return static_cast<int>(states_.size()); }
  int GetCursor() const { return cursor_; }

  // Records an edit the caller has already applied: drops the redo states, appends
  // State and moves the cursor past it. Redo is not called. A null State changes
  // nothing.
  void Add(std::unique_ptr<TZelCommandState> state);
  // When CanUndo: the cursor steps back, then the state at the new cursor is undone
  // (TryUndo); a state that could not be undone puts the cursor back where it was.
  // Whether the cursor stepped back.
  bool Undo();
  // When CanRedo: the state at the cursor is redone (TryRedo), then the cursor steps
  // on; a state that could not be redone leaves the cursor where it was. Whether the
  // cursor stepped on.
  bool Redo();
  // The state that Undo (Redo) would use; nullptr when it can do nothing.
  TZelCommandState* GetUndoState() const;
  TZelCommandState* GetRedoState() const;
  // The bytes every state holds, summed.
  int64_t GetSize() const;
  // Frees every state from the cursor on, from the last down to the one at the cursor.
  void DeleteRedoStates();

 private:
  std::vector<std::unique_ptr<TZelCommandState>> states_;
  int cursor_ = 0;
};

#endif  // QUILL_FRAMEWORK_ZELCOMMANDHISTORYLIST_H_
