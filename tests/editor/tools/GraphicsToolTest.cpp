// The tool framework's operations and undo records, driven by a stand-in tool that
// inverts rectangles of the live image.

#include <gtest/gtest.h>

#include <random>

#include "CodecTestSupport.h"
#include "EditorTesting.h"
#include "ZelGraphicsTool.h"
#include "ZelLocalizer.h"

namespace quilltest {
namespace {


class GraphicsToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    tool_ = ZelApplication->NewComponent<InvertTool>();
    other_ = ZelApplication->NewComponent<InvertTool>();
    document_ = Open(QStringLiteral("/photos/a.png"), MakePicture(120, 80));
    ASSERT_NE(document_, nullptr);
  }

  QImage Live() const { return PicturePixels(document_->GetCurrentPixels()); }
  QImage Committed() const { return PicturePixels(document_->CommittedCopy); }

  InvertTool* tool_ = nullptr;
  InvertTool* other_ = nullptr;
  TZelGraphicsDocument* document_ = nullptr;
};

TEST_F(GraphicsToolTest, AnEditIsUndoneAndRedoneExactlyKeepingOnlyItsRectangle) {
  const QImage before = Live();
  tool_->Invert(View(), {10, 20, 40, 30});
  const QImage after = Live();
  ASSERT_NE(before, after);
  EXPECT_EQ(Committed(), after);
  EXPECT_FALSE(document_->IsSaved());
  EXPECT_EQ(tool_->Document, nullptr);  // the fields are cleared with the operation
  EXPECT_FALSE(document_->Running);

  TZelCommandHistoryList& history = document_->GetHistory();
  ASSERT_EQ(history.GetCount(), 1);
  auto* state = dynamic_cast<TZelGraphicsCommandState*>(history.GetUndoState());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->Rect, (quill::TRect{10, 20, 40, 30}));
  // Two copies of a 30 x 10 rectangle (rows padded to 4 bytes), not of the image.
  EXPECT_EQ(state->GetSize(), static_cast<int64_t>(sizeof(*state)) + 2 * 92 * 10);
  EXPECT_EQ(history.GetSize(), state->GetSize());

  editor_->UndoClick();
  EXPECT_EQ(Live(), before);
  EXPECT_EQ(Committed(), before);
  EXPECT_TRUE(document_->IsSaved());  // undone back to the start of the history
  editor_->RedoClick();
  EXPECT_EQ(Live(), after);
  EXPECT_EQ(Committed(), after);
  EXPECT_FALSE(document_->IsSaved());
}

TEST_F(GraphicsToolTest, ManyEditsUndoAndRedoPixelExact) {
  std::mt19937 random(7);
  std::vector<QImage> steps{Live()};
  for (int i = 0; i < 60; ++i) {
    const int x = static_cast<int>(random() % 130) - 5;
    const int y = static_cast<int>(random() % 90) - 5;
    const int w = static_cast<int>(random() % 40) + 1;
    const int h = static_cast<int>(random() % 30) + 1;
    (i % 2 == 0 ? tool_ : other_)->Invert(View(), {x, y, x + w, y + h});
    // An edit wholly outside the image makes no record.
    if (document_->GetHistory().GetCount() == static_cast<int>(steps.size())) steps.push_back(Live());
  }
  TZelCommandHistoryList& history = document_->GetHistory();
  ASSERT_GT(history.GetCount(), 50);
  const int count = history.GetCount();
  for (int i = count; i > 0; --i) {
    editor_->UndoClick();
    ASSERT_EQ(Live(), steps[static_cast<size_t>(history.GetCursor())]) << i;
  }
  EXPECT_EQ(Live(), steps.front());
  EXPECT_EQ(Committed(), steps.front());
  editor_->RedoAllClick();
  EXPECT_EQ(Live(), steps.back());
  EXPECT_EQ(Committed(), steps.back());
  editor_->UndoAllClick();
  EXPECT_EQ(Live(), steps.front());
  EXPECT_TRUE(document_->IsSaved());
}

TEST_F(GraphicsToolTest, CancelLeavesNothingBehind) {
  const QImage before = Live();
  ASSERT_TRUE(tool_->BeginOperation(View()));
  tool_->InvertRect({5, 5, 50, 50});
  tool_->InvertRect({30, 40, 100, 70});
  tool_->CancelOperation();
  EXPECT_EQ(Live(), before);
  EXPECT_EQ(Committed(), before);
  EXPECT_EQ(document_->GetHistory().GetCount(), 0);
  EXPECT_TRUE(document_->IsSaved());
  EXPECT_FALSE(document_->Running);
  EXPECT_EQ(document_->RunningTool, nullptr);
  EXPECT_TRUE(document_->DirtyRect.IsEmpty());
  EXPECT_EQ(tool_->Live, nullptr);
  // A second cancel, without an operation, changes nothing.
  tool_->CancelOperation();
  EXPECT_EQ(Live(), before);
}

TEST_F(GraphicsToolTest, TheDirtyRectangleIsClippedToTheImageAtCommit) {
  tool_->Invert(View(), {-30, -20, 10, 5});
  auto* state = dynamic_cast<TZelGraphicsCommandState*>(document_->GetHistory().GetUndoState());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->Rect, (quill::TRect{0, 0, 10, 5}));
  EXPECT_EQ(state->Before.GetBounds(), (quill::TRect{0, 0, 10, 5}));

  // Wholly outside: no record, and the modified mark stays as it was.
  document_->GetHistory().Undo();
  tool_->Invert(View(), {200, 200, 240, 230});
  EXPECT_FALSE(document_->GetHistory().CanUndo());
  EXPECT_TRUE(document_->IsSaved());
  EXPECT_FALSE(document_->Running);
}

TEST_F(GraphicsToolTest, CommitCopiesOnlyTheDirtyRectangleIntoTheCommittedCopy) {
  // A mark in the committed copy outside the edit: a whole-image copy would erase it.
  uint8_t* mark = document_->CommittedCopy.GetPixelAddress(100, 70);
  mark[0] = static_cast<uint8_t>(mark[0] + 1);
  const uint8_t marked = mark[0];
  tool_->Invert(View(), {0, 0, 10, 10});
  EXPECT_EQ(document_->CommittedCopy.GetPixelAddress(100, 70)[0], marked);
  EXPECT_EQ(document_->CommittedCopy.GetPixelAddress(3, 3)[1],
            document_->GetCurrentPixels().GetPixelAddress(3, 3)[1]);
}

TEST_F(GraphicsToolTest, BeginningAnotherOperationCommitsTheRunningOneFirst) {
  ASSERT_TRUE(tool_->BeginOperation(View()));
  tool_->InvertRect({0, 0, 20, 20});
  const QImage first = Live();
  ASSERT_TRUE(other_->BeginOperation(View()));
  // The first tool committed through its own EndOperation: one record, fields cleared.
  EXPECT_EQ(document_->GetHistory().GetCount(), 1);
  EXPECT_EQ(tool_->Document, nullptr);
  EXPECT_EQ(document_->RunningTool, other_);
  EXPECT_TRUE(document_->Running);
  EXPECT_TRUE(document_->DirtyRect.IsEmpty());
  EXPECT_EQ(Committed(), first);
  other_->InvertRect({10, 10, 30, 30});
  other_->EndOperation();
  EXPECT_EQ(document_->GetHistory().GetCount(), 2);
  // Undoing the second gives exactly the first's result.
  editor_->UndoClick();
  EXPECT_EQ(Live(), first);
}

TEST_F(GraphicsToolTest, UndoIsRefusedWhileAnOperationRunsAndBracketsTheCurrentTool) {
  tool_->Invert(View(), {0, 0, 5, 5});
  editor_->SetActiveTool(tool_);
  ASSERT_TRUE(other_->BeginOperation(View()));
  EXPECT_FALSE(editor_->CanUndo());
  other_->EndOperation();
  ASSERT_TRUE(editor_->CanUndo());

  struct Watch : InvertTool {
    using InvertTool::InvertTool;
    void BeforeUndo(TZelCommandState* state) override { events.push_back({"before", state, Active}); }
    void AfterUndo(TZelCommandState* state) override { events.push_back({"after", state, Active}); }
    struct Event {
      const char* what;
      TZelCommandState* state;
      bool active;
    };
    std::vector<Event> events;
  };
  auto* watch = ZelApplication->NewComponent<Watch>();
  editor_->SetActiveTool(watch);
  TZelCommandState* state = document_->GetHistory().GetUndoState();
  editor_->UndoClick();
  ASSERT_EQ(watch->events.size(), 2u);
  EXPECT_EQ(watch->events[0].state, state);
  EXPECT_FALSE(watch->events[0].active);  // deactivated around the step
  EXPECT_EQ(watch->events[1].state, nullptr);
  EXPECT_FALSE(watch->events[1].active);
  EXPECT_TRUE(watch->Active);  // and activated again
  EXPECT_EQ(editor_->CurrentTool, watch);
}

TEST_F(GraphicsToolTest, SelectingAToolByItsScriptNameRecordsItsLines) {
  RecordingRecorder recorder;
  recorder.recordMessages = true;
  tool_->RecordingStarted(&recorder);
  bool handled = false;
  tool_->ExecuteCommand(nullptr, QStringLiteral("INVERT"), handled, nullptr);
  EXPECT_TRUE(handled);
  EXPECT_EQ(editor_->CurrentTool, tool_);
  EXPECT_EQ(recorder.lines,
            (QStringList{"MouseCurvedMove Invert", "Message \"Invert\"", "Invert"}));
  handled = false;
  tool_->ExecuteCommand(nullptr, QStringLiteral("Invert"), handled, nullptr);  // arrives upper-cased
  EXPECT_FALSE(handled);
  // Without recorded messages, no MESSAGE line.
  recorder.lines.clear();
  recorder.recordMessages = false;
  tool_->Select();
  EXPECT_EQ(recorder.lines, (QStringList{"MouseCurvedMove Invert", "Invert"}));
}

// Memory that runs short: a 3000 x 2000 photo (18 MB an image) edited in a child whose
// address space may grow by 8 MiB more, so that no copy of the whole image can be had
// while small blocks still can.
class GraphicsToolMemoryTest : public GraphicsToolTest {
 protected:
  void SetUp() override {
    GraphicsToolTest::SetUp();
    if (quill::kSanitized) GTEST_SKIP() << "an address-space limit stops the sanitizer itself";
    document_ = Open(QStringLiteral("/photos/large.png"), MakePicture(3000, 2000));
    ASSERT_NE(document_, nullptr);
  }

  // The document's images and history as they stand: the pixels of the live image and
  // the committed copy, the history's length and position, and the modified mark.
  struct TState {
    uint64_t Live;
    uint64_t Committed;
    int Count;
    int Cursor;
    bool Saved;
    bool operator==(const TState&) const = default;
  };
  TState State() const {
    const TZelCommandHistoryList& history = document_->GetHistory();
    return {Fingerprint(document_->GetCurrentPixels()), Fingerprint(document_->CommittedCopy), history.GetCount(),
            history.GetCursor(), document_->IsSaved()};
  }
  // The memory message was the one message shown.
  bool ShowedMemoryMessage() const {
    return boxes_.size() == 1 && boxes_[0].Text == GetLocalizedString(quill::kMemoryText);
  }
};

TEST_F(GraphicsToolMemoryTest, AnEditThatCannotKeepTheImageAsItStoodIsRefused) {
  // Just opened, the original image and the committed copy share the photo's pixels:
  // the first edit needs a copy of each.
  const TState opened = State();
  quill::ExpectWithMemoryLimit(__LINE__, 8, [&] {
    tool_->Invert(View(), {10, 10, 50, 50});
    return State() == opened && !document_->Running && tool_->Document == nullptr && ShowedMemoryMessage();
  });
  // With the memory there, the same edit is made.
  tool_->Invert(View(), {10, 10, 50, 50});
  EXPECT_EQ(document_->GetHistory().GetCount(), 1);
}

TEST_F(GraphicsToolMemoryTest, AnEditWhoseUndoRecordCannotBeMadeIsTakenBack) {
  const uint64_t opened = Fingerprint(document_->GetCurrentPixels());
  tool_->Invert(View(), {10, 10, 50, 50});
  // The committed copy's block made in idle time, so that the next edit begins.
  while (document_->PrepareSlice(TZelGraphicsDocument::kPrepareSliceBytes)) {}
  const TState edited = State();
  quill::ExpectWithMemoryLimit(__LINE__, 8, [&] {
    // The record of a whole-image edit holds two copies of the photo.
    tool_->Invert(View(), {0, 0, 3000, 2000});
    if (!(State() == edited && !document_->Running && ShowedMemoryMessage())) return false;
    // The history still undoes exactly what it holds.
    editor_->UndoClick();
    return Fingerprint(document_->GetCurrentPixels()) == opened && document_->IsSaved();
  });
}

}  // namespace
}  // namespace quilltest
