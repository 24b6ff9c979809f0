#include "ZelDockablePanel.h"

#include <QMainWindow>
#include <QVBoxLayout>

namespace quill {

TZelDockablePanel::TZelDockablePanel(QWidget* window) : QDockWidget(window) {
  auto* frame = new QWidget(this);
  border_ = new QVBoxLayout(frame);
  border_->setContentsMargins(0, 0, 0, 0);
  client_ = new QWidget(frame);
  border_->addWidget(client_);
  setWidget(frame);
}

int TZelDockablePanel::GetBorderSize() const { return border_->contentsMargins().left(); }

void TZelDockablePanel::SetBorderSize(int size) {
  border_->setContentsMargins(size, size, size, size);
}

int TZelDockablePanel::GetMinClientWidth() const { return client_->minimumWidth(); }

void TZelDockablePanel::SetMinClientWidth(int width) { client_->setMinimumWidth(width); }

int TZelDockablePanel::GetMaxClientWidth() const { return client_->maximumWidth(); }

void TZelDockablePanel::SetMaxClientWidth(int width) { client_->setMaximumWidth(width); }

void TZelDockablePanel::SetDockedWidth(int width) {
  auto* window = qobject_cast<QMainWindow*>(parentWidget());
  if (window == nullptr || window->dockWidgetArea(this) == Qt::NoDockWidgetArea) return;
  window->resizeDocks({this}, {width}, Qt::Horizontal);
}

}  // namespace quill
