// Command history: undoable edits and the list that steps through them.
//
// A command state knows how to undo and redo one edit. The history owns its states
// and a cursor, the number of states currently applied (0 <= cursor <= count): the
// states before the cursor can be undone, last first; the states from the cursor on
// can be redone, first first.
//
// The history holds at most a byte budget, counted with the states' GetSize (a state's
// size must not change while the history holds it). Adding a state that would pass the
// budget drops the redo states first (adding drops them anyway), then the oldest
// states, so the most recent steps stay; a single state larger than the whole budget is
// kept alone. Without the budget a long session on a large photo (every crop holds two
// copies of it) runs the machine out of memory.
//
// The history also remembers the position at which the document equalled its file (the
// last save, or opening): IsAtSavedPosition compares the cursor with it, so undoing back
// to the saved state clears the document's modified mark and a redo past it sets the mark
// again. The saved position becomes unreachable, and the document stays modified until
// the next MarkSaved, when the states it rests on are freed: a redo tail cut by Add (or
// DeleteRedoStates) that holds it, or oldest states dropped for the budget below it.

#ifndef QUILL_FRAMEWORK_ZELCOMMANDHISTORYLIST_H_
#define QUILL_FRAMEWORK_ZELCOMMANDHISTORYLIST_H_

#include <cstdint>
#include <deque>
#include <memory>

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
  // The bytes the state holds, itself included; constant while a history holds it.
  virtual int64_t GetSize() const = 0;
};

class TZelCommandHistoryList {
 public:
  // The least default budget, for machines with little memory.
  static constexpr int64_t kMinimumBudget = int64_t{512} << 20;

  // An empty history holding at most Budget bytes, its saved position at 0.
  explicit TZelCommandHistoryList(int64_t budget = DefaultBudget());
  // Frees every state, the last first.
  ~TZelCommandHistoryList();
  TZelCommandHistoryList(const TZelCommandHistoryList&) = delete;
  TZelCommandHistoryList& operator=(const TZelCommandHistoryList&) = delete;

  // A quarter of the machine's physical memory, at least kMinimumBudget; read once,
  // at the first call.
  static int64_t DefaultBudget();

  bool CanUndo() const { return cursor_ > 0; }
  bool CanRedo() const { return cursor_ < GetCount(); }
  int GetCount() const { return static_cast<int>(states_.size()); }
  int GetCursor() const { return cursor_; }

  // Records an edit the caller has already applied: drops the redo states, then, while
  // State would pass the budget, the oldest states; appends State and moves the cursor
  // past it. Redo is not called. A null State changes nothing.
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
  int64_t GetSize() const { return bytes_; }
  // The budget for the states added from now on; the states held stay.
  void SetBudget(int64_t budget) { budget_ = budget; }
  // Frees every state from the cursor on, from the last down to the one at the cursor.
  void DeleteRedoStates();

  // The present position is the one that equals the file.
  void MarkSaved() { savedPosition_ = cursor_; }
  // The cursor stands at the saved position (false while that is unreachable).
  bool IsAtSavedPosition() const { return cursor_ == savedPosition_; }

 private:
  static constexpr int kUnreachable = -1;

  // Frees the first state; the positions after it move down by one.
  void DropOldest();

  std::deque<std::unique_ptr<TZelCommandState>> states_;
  int cursor_ = 0;
  int savedPosition_ = 0;
  int64_t bytes_ = 0;
  int64_t budget_;
};

#endif  // QUILL_FRAMEWORK_ZELCOMMANDHISTORYLIST_H_
