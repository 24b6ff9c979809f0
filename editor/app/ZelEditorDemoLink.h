// How the graphics editor and its tools take part in demos.
//
// TZelEditorDemoLink gives the demonstration module what it asks of the graphics
// editor before and after a demo (closing the document, plug-in mode's exchange
// file, the active tool's stroke, the tools panel).
//
// TZelEditorScripting is the component through which the editor and every graphics
// tool answer the demonstration module as IZelDemoScriptable: script commands and
// targets go to the editor first, then to the tools in creation order, until one
// answers. While a recording runs it hands them a recorder over the player: lines go
// into the player's script in that script's encoding (the system's ANSI code page, or
// UTF-8 in a UTF-8 script); a line the code page cannot hold turns the script into
// UTF-8 first, so nothing recorded is lost.
//
// The composition root creates both after the demonstration module. Main thread only.

#ifndef QUILL_EDITOR_ZELEDITORDEMOLINK_H_
#define QUILL_EDITOR_ZELEDITORDEMOLINK_H_

#include <memory>
#include <string>

#include "ZelComponent.h"
#include "ZelDemonstrationModule.h"
#include "ZelRecorder.h"

namespace quill {

class TZelEditorDemoLink : public TZelDemoEditorLink {
 public:
  bool HasDocument() const override;
  bool DocumentOpenedByScript() const override;
  void CloseDocumentNow() override;
  bool PluginMode() const override;
  QString SaveAndCloseExchangeDocument() override;
  bool CloseDocument() override;
  void OpenFile(const QString& fileName) override;
  void AbortStroke() override;
  void CancelPendingWork() override;
  void ShowToolsPanel() override;
};

// The player as the editor's recorder.
class TZelPlayerRecorder : public TZelRecorder {
 public:
  explicit TZelPlayerRecorder(TZelDemonstrationModule& module) : module_(module) {}
  bool IsRecording() const override;
  void RecordLine(const QString& line) override;
  bool GetRecordMessages() const override;
  QString GetMessageText() const override;

 private:
  TZelDemonstrationModule& module_;
};

class TZelEditorScripting : public TZelComponent, public IZelDemoScriptable {
 public:
  explicit TZelEditorScripting(TZelComponent* owner);
  // Takes a recorder it handed out back from the editor and the tools.
  ~TZelEditorScripting() override;

  void ExecuteCommand(TZelDemoPlayback* sender, const std::string& name, bool& handled,
                      TZelDemoScriptUserAction* action, const TZelDemoScriptParams& params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelDemoScriptParams& params, bool& found,
                      quill::TPoint& point) override;
  void RecordingStarted(TZelDemoPlayback* sender) override;
  void RecordingStopped(TZelDemoPlayback* sender) override;

 private:
  std::unique_ptr<TZelPlayerRecorder> recorder_;
};

}  // namespace quill

#endif  // QUILL_EDITOR_ZELEDITORDEMOLINK_H_
