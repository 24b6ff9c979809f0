// TZelFlowToolbar: a toolbar that wraps its buttons into further rows when they do not
// fit its width (QToolBar does not wrap). The tool panel holds one.
//
// Its items are the widget's actions (QWidget::addAction, insertAction): each action
// is shown by a flat tool button, a separator action by a thin line. An action that is
// not visible takes no room. The rows are at least kRowHeight high; a parent that
// places the toolbar gives it heightForWidth(width) and hears of the result through
// OnResize.

#ifndef QUILL_FRAMEWORK_ZELFLOWTOOLBAR_H_
#define QUILL_FRAMEWORK_ZELFLOWTOOLBAR_H_

#include <QSize>
#include <QWidget>

#include <functional>
#include <vector>

class QAction;

namespace quill {

class TZelFlowToolbar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 22;

  explicit TZelFlowToolbar(QWidget* parent = nullptr);

  // The icon size of every button, present and future.
  void SetIconSize(QSize size);

  // The widget that shows Item; nullptr when Item is not on this toolbar.
  QWidget* GetItemWidget(const QAction* item) const;

  // Called after every change of the toolbar's size.
  std::function<void()> OnResize;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  // One row holding every item.
  QSize sizeHint() const override;
  // The widest item.
  QSize minimumSizeHint() const override;

 protected:
  void actionEvent(QActionEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Item {
    QAction* action;
    QWidget* widget;
  };

  QWidget* NewItemWidget(QAction* action);
  std::vector<Item>::iterator Find(const QAction* action);
  // Walks the visible items row by row within Width, moving each widget to its place
  // when Place is set; returns the height of the rows.
  int Flow(int width, bool place) const;
  // Takes the new items into account: a new height, or the same height re-flowed.
  void ItemsChanged();

  std::vector<Item> items_;
  QSize iconSize_{16, 16};
};

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELFLOWTOOLBAR_H_
