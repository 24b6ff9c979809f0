#include "ZelOriginalImageTool.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

#include "MainForm.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelToolSupport.h"
#include "ZelViewCanvas.h"

namespace {

// String ids: the button's hint and its caption.
constexpr int32_t kHintId = 2000;
constexpr int32_t kCaptionId = 2100;

const char kTargetName[] = "ORIGINALIMAGE";
const char kButtonTargetName[] = "ORIGINALIMAGEBUTTON";

QString Hint() { return GetLocalizedString(kHintId, QStringLiteral("Original Image")); }

}  // namespace

// ---- TZelOriginalImageTool ----

TZelOriginalImageTool::TZelOriginalImageTool(TZelComponent* owner) : TZelGraphicsTool(owner) {
  ControlClass = &MakeControl<TZelOriginalImageToolControl>;
  PluginCapable = true;
  QToolBar* toolbar = GraphicsEditor->StandardToolbar;
  QAction* action = nullptr;
  MainForm->AddToolbarButton(toolbar, nullptr, nullptr, Hint(), -1, nullptr, action);
  Button = action;
  // Checked while the original shows, also by the O key.
  Button->setCheckable(true);
  // The original shows exactly while the button is held down; the click's own toggle
  // of the checked state is undone at once.
  if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(Button))) {
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QObject::connect(button, &QToolButton::pressed, button, [this] {
      ShowOriginal();
      Button->setChecked(IsActive());
    });
    QObject::connect(button, &QToolButton::released, button, [this] {
      RestorePrevious();
      Button->setChecked(IsActive());
    });
  }
}

TZelOriginalImageTool::~TZelOriginalImageTool() { delete Button; }

bool TZelOriginalImageTool::IsActive() const {
  return GraphicsEditor != nullptr && GraphicsEditor->CurrentTool == this;
}

void TZelOriginalImageTool::ShowOriginal() {
  if (IsActive() || !quill::ToolMayStart(*this)) return;
  PreviousTool = GraphicsEditor->CurrentTool;
  GraphicsEditor->SetActiveTool(this);
  if (Playback == nullptr || !Playback->IsRecording()) return;
  Playback->RecordLine(QStringLiteral("MouseCurvedMove OriginalImage"));
  Playback->RecordLine(QStringLiteral("MouseDown"));
  Playback->RecordLine(QStringLiteral("Message \"Original Image\""));
  Playback->RecordLine(QStringLiteral("MouseUp"));
  Playback->RecordLine(QStringLiteral("Message \"Corrected Image\""));
}

void TZelOriginalImageTool::RestorePrevious() {
  if (!IsActive()) return;
  GraphicsEditor->SetActiveTool(PreviousTool);
  PreviousTool = nullptr;
}

void TZelOriginalImageTool::Localize() {
  Button->setText(GetLocalizedString(kCaptionId, QStringLiteral("Original")));
  Button->setToolTip(Hint());
}

void TZelOriginalImageTool::UpdateControls() {
  Button->setEnabled(IsActive() || quill::ToolMayStart(*this));
  Button->setChecked(IsActive());
}

void TZelOriginalImageTool::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params,
                                           bool& found, quill::TPoint& point) {
  found = quill::FindToolTarget(params, QLatin1String(kTargetName), Button, {}, point) ||
          quill::FindToolTarget(params, QLatin1String(kButtonTargetName), Button, {}, point);
}

void TZelOriginalImageTool::DocumentClosing(TZelGraphicsDocument* document) {
  RestorePrevious();
  TZelGraphicsTool::DocumentClosing(document);
}

// ---- TZelOriginalImageToolControl ----

void TZelOriginalImageToolControl::InitFlags() {
  SetFlags(quill::kViewObjectContent | quill::kViewObjectNoExtent);
}

void TZelOriginalImageToolControl::Activate() {
  TZelGraphicDocumentView* image = View->DocumentView;
  image->SetFlags(static_cast<uint8_t>((image->GetFlags() | quill::kViewObjectNoExtent) &
                                       ~quill::kViewObjectVisible));
  SetFlags(quill::kViewObjectContent);
  SetBounds(View->Document->GetOriginalPixels().GetBounds());
  SetVisible(true);
  View->ClampOrigin();
  View->update();
  TZelGraphicsToolControl::Activate();
}

void TZelOriginalImageToolControl::Deactivate() {
  SetFlags(quill::kViewObjectContent | quill::kViewObjectNoExtent);
  TZelGraphicDocumentView* image = View->DocumentView;
  image->SetFlags(static_cast<uint8_t>((image->GetFlags() & ~quill::kViewObjectNoExtent) |
                                       quill::kViewObjectVisible));
  View->ClampOrigin();
  View->update();
  TZelGraphicsToolControl::Deactivate();
}

void TZelOriginalImageToolControl::PaintContent(TZelViewCanvas& canvas) {
  const TZelPixels& original = View->Document->GetOriginalPixels();
  const quill::TRect source = quill::IntersectRect(GetBounds(), original.GetBounds());
  if (source.IsEmpty()) return;
  const quill::TRect dest = canvas.GetMapMode().LogicalToDeviceRect(source);
  canvas.GetDeviceContext().PaintPixels(original, dest, source, canvas.GetClipBox());
  canvas.ExcludeClipRect(dest);
}

bool TZelOriginalImageToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  if (Active || key != HoldKey) return false;
  OriginalTool()->ShowOriginal();
  if (Active) View->repaint();
  return true;
}

bool TZelOriginalImageToolControl::KeyUp(uint16_t key, quill::TShiftState /*shift*/) {
  if (!Active || key != HoldKey) return false;
  OriginalTool()->RestorePrevious();
  View->repaint();
  return true;
}
