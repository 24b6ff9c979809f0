// The recording side of the demo player, as the editor, its view and its tools use it.
//
// While a demo recording runs, the editor hands every tool and view the recorder
// (RecordingStarted) and takes it back when the recording ends (RecordingStopped).
// They append script lines through it and through nothing else, so the player that
// stands behind it can change without touching them. A recorder that is set is
// recording; the helpers below still check IsRecording, as the player's own RecordLine
// does not.
//
// TZelPlaybackRecorder is that seam over the demo player itself. When a player starts
// recording, the editor and every tool make one over it (MakePlayerRecorder) with the
// message text the demonstration module keeps for the image view's clicks.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELRECORDER_H_
#define QUILL_EDITOR_ZELRECORDER_H_

#include <QString>

#include <memory>

class TZelDemoPlayback;

namespace quill {

class TZelRecorder {
 public:
  virtual ~TZelRecorder() = default;

  // The player is in its recording state.
  virtual bool IsRecording() const = 0;
  // Inserts Line at the player's record position.
  virtual void RecordLine(const QString& line) = 0;
  // The player's RecordMessages option: a MESSAGE line goes before each recorded action.
  virtual bool GetRecordMessages() const = 0;
  // The text of the MESSAGE line the image view records before a click ("Click" by
  // default; the demo editor chooses others).
  virtual QString GetMessageText() const = 0;
};

// The demo player as recorder. Playback and MessageText belong to the owner and must
// outlive this object; MessageText is read at every click, so a change shows at once.
class TZelPlaybackRecorder : public TZelRecorder {
 public:
  TZelPlaybackRecorder(TZelDemoPlayback& playback, const QString& messageText);

  bool IsRecording() const override;
  // Only while the player records. The line goes into the player's script in that
  // script's encoding: UTF-8 in a UTF-8 script, else the system's ANSI code page; a
  // line the code page cannot hold turns the whole script into UTF-8 first, so nothing
  // recorded is lost.
  void RecordLine(const QString& line) override;
  bool GetRecordMessages() const override;
  QString GetMessageText() const override { return messageText_; }

 private:
  TZelDemoPlayback& playback_;
  const QString& messageText_;
};

// A TZelPlaybackRecorder over Player with the demonstration module's message text
// ("Click" while there is no module).
std::unique_ptr<TZelRecorder> MakePlayerRecorder(TZelDemoPlayback& player);

// "MouseCurvedMove " + Target, while Recorder records.
void RecordMouseMove(TZelRecorder* recorder, const QString& target);

// Line, while Recorder records.
void RecordLine(TZelRecorder* recorder, const QString& line);

// While Recorder records: a MESSAGE line that plays back Text as it is, in double
// quotes or, when Text holds one, in apostrophes (QuoteScriptText). A text that no
// quoting holds (both quotes, or a backslash before an n) records nothing; the demo
// editor tells the author when such a text is chosen.
void RecordMessage(TZelRecorder* recorder, const QString& text);

// The three lines of a named command while Recorder records: "MouseCurvedMove " +
// Target, then the MESSAGE line of Message (RecordMessage) only with the
// RecordMessages option, then Command.
void RecordCommand(TZelRecorder* recorder, const QString& target, const QString& message,
                   const QString& command);

// A click on a named target while Recorder records: "MouseCurvedMove " + Target, then
// Target + " " + Value, or Target alone when Value is empty.
void RecordClick(TZelRecorder* recorder, const QString& target, const QString& value = QString());

}  // namespace quill

#endif  // QUILL_EDITOR_ZELRECORDER_H_
