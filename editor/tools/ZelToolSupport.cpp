#include "ZelToolSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPainter>

#include "MainForm.h"
#include "ZelDemoScript.h"
#include "ZelDemonstrationModule.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelImageList.h"
#include "ZelLocalizer.h"
#include "ZelProperties.h"
#include "ZelToolPanelModule.h"

namespace quill {

bool ToolMayStart(TZelGraphicsTool& tool) {
  if (GraphicsEditor == nullptr || !tool.Available) return false;
  if (GraphicsEditor->PluginMode && tool.WithdrawnInPluginMode()) return false;
  return GraphicsEditor->GetCurrentView() != nullptr && GraphicsEditor->ToolMayWork(&tool);
}

void ShowToolButtonAndFrame(QAction* button, QWidget* frame, bool visible) {
  if (frame != nullptr) frame->setVisible(visible);
  if (button != nullptr) button->setVisible(visible);
}

void BringToolFrameToFront(QWidget* frame) {
  if (frame != nullptr && ToolPanelModule != nullptr) ToolPanelModule->BringToFront(frame);
}

TZelHourglass::TZelHourglass()
    : shown_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
  if (shown_) QApplication::setOverrideCursor(Qt::WaitCursor);
}

TZelHourglass::~TZelHourglass() {
  if (shown_) QApplication::restoreOverrideCursor();
}

bool FindToolTarget(const TZelProperties* params, const QString& name, QAction* button,
                    const std::vector<TNamedWidget>& widgets, TPoint& point) {
  const QString target = ScriptTargetName(params);
  const QString upper = name.toUpper();
  if (upper.isEmpty()) return false;
  if (target == upper) return ToolbarItemCentre(button, point);
  if (!target.startsWith(upper)) return false;
  const QString word = target.mid(upper.size());
  for (const auto& [suffix, widget] : widgets) {
    if (word == suffix) return ControlCentre(widget, point);
  }
  return false;
}

QAction* AddToolButton(QWidget* toolbar, TZelGraphicsTool& tool, const QString& caption, int imageIndex) {
  QAction* button = nullptr;
  MainForm->AddToolbarButton(toolbar, &MainForm->GetImageList(), nullptr, caption, imageIndex,
                             [&tool] { tool.Select(); }, button);
  button->setCheckable(true);
  return button;
}

void RecordMoveAndLine(TZelGraphicsTool& tool, const QString& target, const QString& line) {
  if (tool.Playback == nullptr || !tool.Playback->IsRecording()) return;
  RecordMouseMove(tool.Playback, target);
  tool.Playback->RecordLine(line);
}

QLabel* NewTitleLabel(const QString& text, bool underlined, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setUnderline(underlined);
  label->setFont(font);
  label->setTextFormat(Qt::PlainText);
  return label;
}

TZelShowOptionsLink::TZelShowOptionsLink(QWidget* parent) : QToolButton(parent) {
  setAutoRaise(true);
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  QPalette linkPalette = palette();
  linkPalette.setColor(QPalette::ButtonText, linkPalette.color(QPalette::Link));
  setPalette(linkPalette);
  SetShown(false);
}

void TZelShowOptionsLink::SetShown(bool shown) {
  const QSize size(16, 16);
  setIconSize(size);
  setIcon(LoadImageResource(shown ? QStringLiteral("HideOptions") : QStringLiteral("ShowOptions"), size));
  setText(shown ? GetLocalizedString(kHideOptionsText, QStringLiteral("Hide Options"))
                : GetLocalizedString(kShowOptionsText, QStringLiteral("Show More Options")));
}

void TZelPaintBox::paintEvent(QPaintEvent* /*event*/) {
  if (!OnPaint) return;
  QPainter painter(this);
  OnPaint(painter);
}

}  // namespace quill
