#include "ZelEditorDemoLink.h"

#include "ZelDemoEditor.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelLanguageIds.h"
#include "ZelToolPanelModule.h"

extern TZelToolPanelModule* ToolPanelModule;

namespace quill {

bool TZelEditorDemoLink::HasDocument() const {
  return GraphicsEditor != nullptr && GraphicsEditor->GetLastDocument() != nullptr;
}

bool TZelEditorDemoLink::DocumentOpenedByScript() const {
  return HasDocument() && GraphicsEditor->GetLastDocument()->OpenedByScript;
}

void TZelEditorDemoLink::CloseDocumentNow() {
  if (!HasDocument()) return;
  TZelDocument* document = GraphicsEditor->GetLastDocument();
  document->OpenedByScript = true;  // closes without the save-changes question
  document->CloseQuery();
}

bool TZelEditorDemoLink::PluginMode() const { return GraphicsEditor != nullptr && GraphicsEditor->PluginMode; }

QString TZelEditorDemoLink::SaveAndCloseExchangeDocument() {
  if (!HasDocument()) return {};
  TZelDocument* document = GraphicsEditor->GetLastDocument();
  const QString fileName = document->FileName;
  if (!document->Save()) return {};
  document->CloseQuery();
  return fileName;
}

bool TZelEditorDemoLink::CloseDocument() {
  if (!HasDocument()) return true;
  return GraphicsEditor->GetLastDocument()->CloseQuery();
}

void TZelEditorDemoLink::OpenFile(const QString& fileName) {
  if (GraphicsEditor == nullptr) return;
  TZelDocument* document = nullptr;
  GraphicsEditor->OpenFile(fileName, document, true);
}

void TZelEditorDemoLink::AbortStroke() {
  if (GraphicsEditor != nullptr && GraphicsEditor->CurrentTool != nullptr) GraphicsEditor->CurrentTool->AbortStroke();
}

void TZelEditorDemoLink::CancelPendingWork() {
  if (GraphicsEditor != nullptr && GraphicsEditor->CurrentTool != nullptr) {
    GraphicsEditor->CurrentTool->CancelPendingWork();
  }
}

void TZelEditorDemoLink::ShowToolsPanel() {
  if (ToolPanelModule != nullptr) ToolPanelModule->SetPanelVisible(true);
}

bool TZelPlayerRecorder::IsRecording() const { return module_.GetPlayback().IsRecording(); }

void TZelPlayerRecorder::RecordLine(const QString& line) {
  TZelDemoPlayback& playback = module_.GetPlayback();
  if (!playback.IsRecording()) return;
  TZelDemoScript& script = playback.GetScript();
  std::string bytes;
  if (!EncodeCodePage(line, script.Utf8 ? 65001 : SystemAnsiCodePage(), bytes)) {
    ConvertScriptToUtf8(script);
    EncodeCodePage(line, 65001, bytes);
  }
  playback.RecordLine(bytes);
}

bool TZelPlayerRecorder::GetRecordMessages() const { return module_.GetPlayback().RecordMessages; }

QString TZelPlayerRecorder::GetMessageText() const { return module_.MessageText; }

TZelEditorScripting::TZelEditorScripting(TZelComponent* owner) : TZelComponent(owner) {}

TZelEditorScripting::~TZelEditorScripting() {
  if (recorder_ != nullptr) RecordingStopped(nullptr);
}

void TZelEditorScripting::ExecuteCommand(TZelDemoPlayback* /*sender*/, const std::string& name, bool& handled,
                                         TZelDemoScriptUserAction* /*action*/,
                                         const TZelDemoScriptParams& params) {
  const QString command = QString::fromStdString(name);
  if (GraphicsEditor != nullptr) GraphicsEditor->ExecuteCommand(command, handled, &params);
  ForEachGraphicsTool([&](TZelGraphicsTool& tool) {
    if (!handled) tool.ExecuteCommand(command, handled, &params);
  });
}

void TZelEditorScripting::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelDemoScriptParams& params,
                                         bool& found, quill::TPoint& point) {
  if (GraphicsEditor != nullptr) GraphicsEditor->GetTargetPoint(&params, found, point);
  ForEachGraphicsTool([&](TZelGraphicsTool& tool) {
    if (!found) tool.GetTargetPoint(&params, found, point);
  });
}

void TZelEditorScripting::RecordingStarted(TZelDemoPlayback* /*sender*/) {
  if (DemonstrationModule == nullptr) return;
  recorder_ = std::make_unique<TZelPlayerRecorder>(*DemonstrationModule);
  if (GraphicsEditor != nullptr) GraphicsEditor->RecordingStarted(recorder_.get());
  ForEachGraphicsTool([&](TZelGraphicsTool& tool) { tool.RecordingStarted(recorder_.get()); });
}

void TZelEditorScripting::RecordingStopped(TZelDemoPlayback* /*sender*/) {
  if (GraphicsEditor != nullptr) GraphicsEditor->RecordingStopped();
  ForEachGraphicsTool([](TZelGraphicsTool& tool) { tool.RecordingStopped(); });
  recorder_.reset();
}

}  // namespace quill
