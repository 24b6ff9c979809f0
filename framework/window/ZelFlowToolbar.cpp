#include "ZelFlowToolbar.h"

#include <QAction>
#include <QActionEvent>
#include <QFrame>
#include <QToolButton>

#include <algorithm>

namespace quill {

namespace {

constexpr int kSeparatorWidth = 6;

}  // namespace

TZelFlowToolbar::TZelFlowToolbar(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TZelFlowToolbar::SetIconSize(QSize size) {
  iconSize_ = size;
  for (const Item& item : items_) {
    if (auto* button = qobject_cast<QToolButton*>(item.widget)) button->setIconSize(size);
  }
  ItemsChanged();
}

QWidget* TZelFlowToolbar::GetItemWidget(const QAction* item) const {
  for (const Item& entry : items_) {
    if (entry.action == item) return entry.widget;
  }
  return nullptr;
}

int TZelFlowToolbar::heightForWidth(int width) const { return Flow(width, false); }

QSize TZelFlowToolbar::sizeHint() const {
  int width = 0;
  int height = kRowHeight;
  for (const Item& item : items_) {
    if (item.widget->isHidden()) continue;
    const QSize size = item.widget->sizeHint();
    width += size.width();
    height = std::max(height, size.height());
  }
  return {width, height};
}

QSize TZelFlowToolbar::minimumSizeHint() const {
  int width = 0;
  for (const Item& item : items_) {
    if (!item.widget->isHidden()) width = std::max(width, item.widget->sizeHint().width());
  }
  return {width, kRowHeight};
}

void TZelFlowToolbar::actionEvent(QActionEvent* event) {
  QAction* action = event->action();
  switch (event->type()) {
    case QEvent::ActionAdded: {
      QWidget* widget = NewItemWidget(action);
      items_.insert(Find(event->before()), Item{action, widget});
      ItemsChanged();
      break;
    }
    case QEvent::ActionChanged: {
      const auto item = Find(action);
      if (item == items_.end()) break;
      item->widget->setVisible(action->isVisible());
      ItemsChanged();
      break;
    }
    case QEvent::ActionRemoved: {
      const auto item = Find(action);
      if (item == items_.end()) break;
      // Later, as QToolBar does: the removal may be part of the action's destruction,
      // which still walks the widgets that showed it.
      item->widget->hide();
      item->widget->deleteLater();
      items_.erase(item);
      ItemsChanged();
      break;
    }
    default:
      break;
  }
  QWidget::actionEvent(event);
}

void TZelFlowToolbar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Flow(width(), true);
  if (OnResize) OnResize();
}

QWidget* TZelFlowToolbar::NewItemWidget(QAction* action) {
  QWidget* widget;
  if (action->isSeparator()) {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedWidth(kSeparatorWidth);
    widget = line;
  } else {
    auto* button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(iconSize_);
    button->setDefaultAction(action);
    widget = button;
  }
  widget->setVisible(action->isVisible());
  return widget;
}

std::vector<TZelFlowToolbar::Item>::iterator TZelFlowToolbar::Find(const QAction* action) {
  return std::find_if(items_.begin(), items_.end(),
                      [action](const Item& item) { return item.action == action; });
}

int TZelFlowToolbar::Flow(int width, bool place) const {
  int x = 0;
  int y = 0;
  int rowHeight = 0;
  for (const Item& item : items_) {
    if (item.widget->isHidden()) continue;
    const QSize size = item.widget->sizeHint();
    if (x > 0 && x + size.width() > width) {
      x = 0;
      y += std::max(rowHeight, kRowHeight);
      rowHeight = 0;
    }
    if (place) item.widget->setGeometry(x, y, size.width(), std::max(size.height(), kRowHeight));
    x += size.width();
    rowHeight = std::max(rowHeight, size.height());
  }
  return y + std::max(rowHeight, kRowHeight);
}

void TZelFlowToolbar::ItemsChanged() {
  updateGeometry();
  if (width() <= 0) return;
  const int height = heightForWidth(width());
  if (height != this->height()) {
    resize(width(), height);
  } else {
    Flow(width(), true);
  }
}

}  // namespace quill
