#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ZelCommandHistoryList.h"

namespace {

// A state that logs its calls and its destruction and reports Size bytes.
class LoggingState : public TZelCommandState {
 public:
  LoggingState(std::string name, std::vector<std::string>& log, int64_t size = 100)
      : name_(std::move(name)), log_(log), size_(size) {}
  ~LoggingState() override { log_.push_back("free " + name_); }
  void Undo() override { log_.push_back("undo " + name_); }
  void Redo() override { log_.push_back("redo " + name_); }
  int64_t GetSize() const override { return size_; }

 private:
  std::string name_;
  std::vector<std::string>& log_;
  int64_t size_;
};

// Logs the cursor the history shows while the state's operation runs.
class CursorState : public TZelCommandState {
 public:
  CursorState(const TZelCommandHistoryList& history, std::vector<int>& cursors)
      : history_(history), cursors_(cursors) {}
  void Undo() override { cursors_.push_back(history_.GetCursor()); }
  void Redo() override { cursors_.push_back(history_.GetCursor()); }
  int64_t GetSize() const override { return sizeof(*this); }

 private:
  const TZelCommandHistoryList& history_;
  std::vector<int>& cursors_;
};

// A state whose undo and redo fail while Refuse is set, as an undo step whose images
// cannot be allocated.
class RefusingState : public TZelCommandState {
 public:
  explicit RefusingState(const bool& refuse) : refuse_(refuse) {}
  void Undo() override { TryUndo(); }
  void Redo() override { TryRedo(); }
  bool TryUndo() override { return !refuse_; }
  bool TryRedo() override { return !refuse_; }
  int64_t GetSize() const override { return sizeof(*this); }

 private:
  const bool& refuse_;
};

using Log = std::vector<std::string>;

// Adds states named Names, each of Size bytes.
void AddStates(TZelCommandHistoryList& history, Log& log, const std::vector<std::string>& names,
               int64_t size = 100) {
  for (const std::string& name : names) history.Add(std::make_unique<LoggingState>(name, log, size));
}

}  // namespace

TEST(CommandHistoryList, EmptyHistoryDoesNothing) {
  TZelCommandHistoryList history;
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.GetUndoState(), nullptr);
  EXPECT_EQ(history.GetRedoState(), nullptr);
  history.Undo();
  history.Redo();
  history.Add(nullptr);
  EXPECT_EQ(history.GetCount(), 0);
  EXPECT_EQ(history.GetCursor(), 0);
}

TEST(CommandHistoryList, UndoAndRedoStepTheCursorAroundTheCall) {
  TZelCommandHistoryList history;
  std::vector<int> cursors;
  history.Add(std::make_unique<CursorState>(history, cursors));
  history.Add(std::make_unique<CursorState>(history, cursors));
  history.Undo();  // the cursor steps back first
  history.Redo();  // the cursor steps on afterwards
  EXPECT_EQ(cursors, (std::vector<int>{1, 1}));
  EXPECT_EQ(history.GetCursor(), 2);
}

TEST(CommandHistoryList, AStepThatCannotBeTakenLeavesTheCursorWhereItWas) {
  bool refuse = false;
  TZelCommandHistoryList history;
  history.Add(std::make_unique<RefusingState>(refuse));
  history.Add(std::make_unique<RefusingState>(refuse));
  refuse = true;
  EXPECT_FALSE(history.Undo());
  EXPECT_EQ(history.GetCursor(), 2);
  refuse = false;
  EXPECT_TRUE(history.Undo());
  EXPECT_EQ(history.GetCursor(), 1);
  refuse = true;
  EXPECT_FALSE(history.Redo());
  EXPECT_EQ(history.GetCursor(), 1);
  EXPECT_EQ(history.GetCount(), 2);
}

TEST(CommandHistoryList, UndoAndRedoWalkTheStates) {
  Log log;
  TZelCommandHistoryList history;
  history.Add(std::make_unique<LoggingState>("A", log));
  history.Add(std::make_unique<LoggingState>("B", log));
  EXPECT_TRUE(log.empty());  // Add does not redo
  TZelCommandState* b = history.GetUndoState();
  history.Undo();
  EXPECT_EQ(history.GetRedoState(), b);
  history.Redo();
  history.Undo();
  history.Undo();
  history.Undo();  // nothing left to undo
  EXPECT_EQ(history.GetCursor(), 0);
  EXPECT_TRUE(history.CanRedo());
  history.Redo();
  history.Redo();
  history.Redo();  // nothing left to redo
  EXPECT_EQ(log, (Log{"undo B", "redo B", "undo B", "undo A", "redo A", "redo B"}));
  EXPECT_EQ(history.GetCursor(), 2);
  EXPECT_FALSE(history.CanRedo());
}

TEST(CommandHistoryList, AddFreesTheRedoTailFromTheLast) {
  Log log;
  TZelCommandHistoryList history;
  history.Add(std::make_unique<LoggingState>("A", log));
  history.Add(std::make_unique<LoggingState>("B", log));
  history.Add(std::make_unique<LoggingState>("C", log));
  history.Undo();
  history.Undo();
  log.clear();
  history.Add(std::make_unique<LoggingState>("D", log));
  EXPECT_EQ(log, (Log{"free C", "free B"}));
  EXPECT_EQ(history.GetCount(), 2);
  EXPECT_EQ(history.GetCursor(), 2);
  EXPECT_FALSE(history.CanRedo());
  log.clear();
  history.Undo();
  history.Undo();
  EXPECT_EQ(log, (Log{"undo D", "undo A"}));
}

TEST(CommandHistoryList, KeepsEveryStateAndFreesThemAllLastFirst) {
  Log log;
  {
    TZelCommandHistoryList history;
    for (int i = 0; i < 100; ++i)
      history.Add(std::make_unique<LoggingState>(std::to_string(i), log));
    EXPECT_EQ(history.GetCount(), 100);
    history.Undo();
    history.DeleteRedoStates();
    EXPECT_EQ(log, (Log{"undo 99", "free 99"}));
    log.clear();
  }
  ASSERT_EQ(log.size(), 99u);
  EXPECT_EQ(log.front(), "free 98");
  EXPECT_EQ(log.back(), "free 0");
}

TEST(CommandHistoryList, TheBudgetDropsTheOldestStatesAndKeepsTheRecentOnes) {
  Log log;
  TZelCommandHistoryList history(350);
  AddStates(history, log, {"A", "B", "C"});
  EXPECT_TRUE(log.empty());
  AddStates(history, log, {"D", "E"});
  EXPECT_EQ(log, (Log{"free A", "free B"}));
  EXPECT_EQ(history.GetCount(), 3);
  EXPECT_EQ(history.GetCursor(), 3);
  EXPECT_EQ(history.GetSize(), 300);
  log.clear();
  while (history.CanUndo()) history.Undo();
  EXPECT_EQ(log, (Log{"undo E", "undo D", "undo C"}));
}

TEST(CommandHistoryList, TheRedoTailGoesBeforeAnyOlderState) {
  Log log;
  TZelCommandHistoryList history(300);
  AddStates(history, log, {"A", "B", "C"});
  history.Undo();
  history.Undo();
  log.clear();
  AddStates(history, log, {"D"}, 200);  // A and D fit once B and C are gone
  EXPECT_EQ(log, (Log{"free C", "free B"}));
  EXPECT_EQ(history.GetCount(), 2);
  EXPECT_EQ(history.GetSize(), 300);
}

TEST(CommandHistoryList, AStateLargerThanTheBudgetIsKeptAlone) {
  Log log;
  TZelCommandHistoryList history(300);
  AddStates(history, log, {"A", "B"});
  AddStates(history, log, {"huge"}, 1000);
  EXPECT_EQ(log, (Log{"free A", "free B"}));
  EXPECT_EQ(history.GetCount(), 1);
  EXPECT_EQ(history.GetSize(), 1000);
  EXPECT_TRUE(history.CanUndo());
  log.clear();
  AddStates(history, log, {"next"});
  EXPECT_EQ(log, (Log{"free huge"}));
  EXPECT_EQ(history.GetCount(), 1);
  EXPECT_EQ(history.GetSize(), 100);
  // A budget lowered later applies from the next state on.
  AddStates(history, log, {"one"});
  history.SetBudget(100);
  EXPECT_EQ(history.GetSize(), 200);
  AddStates(history, log, {"two"});
  EXPECT_EQ(history.GetCount(), 1);
}

TEST(CommandHistoryList, TheSavedPositionIsReachedByUndoAndRedoAlike) {
  Log log;
  TZelCommandHistoryList history;
  EXPECT_TRUE(history.IsAtSavedPosition());  // a new history is its file
  AddStates(history, log, {"A", "B"});
  EXPECT_FALSE(history.IsAtSavedPosition());
  history.MarkSaved();
  EXPECT_TRUE(history.IsAtSavedPosition());
  history.Undo();
  EXPECT_FALSE(history.IsAtSavedPosition());
  history.Undo();
  EXPECT_FALSE(history.IsAtSavedPosition());  // the start is not the file
  history.Redo();
  history.Redo();
  EXPECT_TRUE(history.IsAtSavedPosition());
}

TEST(CommandHistoryList, CuttingARedoTailThatHoldsTheSavedPositionMakesItUnreachable) {
  Log log;
  TZelCommandHistoryList history;
  AddStates(history, log, {"A", "B", "C"});
  history.MarkSaved();
  history.Undo();
  history.Undo();
  AddStates(history, log, {"D"});
  EXPECT_FALSE(history.IsAtSavedPosition());
  history.Undo();  // position 1: A applied, as it was when the file held A, B and C
  EXPECT_FALSE(history.IsAtSavedPosition());
  history.Undo();
  EXPECT_FALSE(history.IsAtSavedPosition());
  history.MarkSaved();
  EXPECT_TRUE(history.IsAtSavedPosition());

  // Saved at the cursor itself: the cut tail lies after it, and it stays reachable.
  AddStates(history, log, {"E", "F"});
  history.Undo();
  history.Undo();
  history.MarkSaved();
  history.Redo();
  history.Undo();
  AddStates(history, log, {"G"});
  history.Undo();
  EXPECT_TRUE(history.IsAtSavedPosition());
}

TEST(CommandHistoryList, DroppingTheStatesTheSavedPositionRestsOnMakesItUnreachable) {
  Log log;
  TZelCommandHistoryList history(300);
  AddStates(history, log, {"A", "B", "C", "D"});  // A dropped: position 0 is gone
  while (history.CanUndo()) history.Undo();
  EXPECT_FALSE(history.IsAtSavedPosition());

  // Saved above the dropped states: the same state, one position lower.
  TZelCommandHistoryList saved(300);
  AddStates(saved, log, {"A", "B"});
  saved.MarkSaved();
  AddStates(saved, log, {"C", "D", "E"});  // A and B dropped; the saved state is the bottom
  EXPECT_FALSE(saved.IsAtSavedPosition());
  while (saved.CanUndo()) saved.Undo();
  EXPECT_TRUE(saved.IsAtSavedPosition());
  saved.Redo();
  EXPECT_FALSE(saved.IsAtSavedPosition());
}
