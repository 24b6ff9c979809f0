// TZelEditorDemoLink gives the demonstration module what it asks of the graphics
// editor before and after a demo (closing the document, plug-in mode's exchange
// file, the active tool's stroke, the tools panel). The editor and the tools answer
// script commands, targets and recordings themselves, as IZelDemoScriptable.
//
// The composition root sets it on the demonstration module. Main thread only.

#ifndef QUILL_EDITOR_ZELEDITORDEMOLINK_H_
#define QUILL_EDITOR_ZELEDITORDEMOLINK_H_

#include "ZelDemonstrationModule.h"

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

}  // namespace quill

#endif  // QUILL_EDITOR_ZELEDITORDEMOLINK_H_
