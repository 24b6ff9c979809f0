#include "ZelEditorDemoLink.h"

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelLocalizer.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"

namespace {


}  // namespace

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
  if (!document->Save()) {
    // As when OK's write-back fails: the demo does not start, and the user learns why.
    ZelApplication->MessageBox(GetLocalizedString(quill::kWriteBackErrorText), MB_ICONERROR);
    return {};
  }
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

}  // namespace quill
