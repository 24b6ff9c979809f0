// The component bases: modules, forms and frames.

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>

#include "ZelForms.h"
#include "ZelLocalizer.h"

namespace {

bool OwnedByApplication(const quill::TZelComponent& component) {
  return ZelApplication != nullptr && component.GetOwner() == ZelApplication;
}

// Keeps a widget component alive when its visual parent dies before its owner does.
// Qt deletes a widget's children, but emits the parent's destroyed() before that; the
// component then leaves the dying parent and its owner frees it later. A component
// without an owner is left to Qt's parent, as any widget.
void FollowVisualParent(QWidget& widget, const quill::TZelComponent& component,
                        QMetaObject::Connection& connection) {
  QObject::disconnect(connection);
  connection = {};
  QWidget* parent = widget.parentWidget();
  if (parent == nullptr || component.GetOwner() == nullptr) return;
  connection = QObject::connect(parent, &QObject::destroyed, &widget,
                                [&widget] { widget.setParent(nullptr); });
}

void AddIdleHandlerToApplication(const quill::TZelMethod& method) {
  if (ZelApplication != nullptr) ZelApplication->AddIdleHandler(method);
}

void RemoveFromApplication(const quill::TZelComponent& component, const quill::TZelMethod& updateControls) {
  if (ZelApplication == nullptr) return;
  ZelApplication->RemoveIdleHandler(updateControls);
  ZelApplication->RemoveDeferredCalls(&component);
}

// Runs a deferred call for the main window; no exception may leave an event handler.
void RunDeferredCallReported() {
  if (ZelApplication != nullptr) quill::RunReported([] { ZelApplication->RunDeferredCall(); });
}

}  // namespace

// ---- TZelModule ----

TZelModule::TZelModule(quill::TZelComponent* owner) : quill::TZelComponent(owner) {}

TZelModule::~TZelModule() {
  RemoveLocalizeHandler(quill::TZelMethod(this, &TZelModule::Localize));
  if (ZelApplication != nullptr) ZelApplication->RemoveDeferredCalls(this);
}

void TZelModule::Initialize() { AddLocalizeHandler(quill::TZelMethod(this, &TZelModule::Localize)); }

void TZelModule::AddIdleHandler(const quill::TZelMethod& method) { AddIdleHandlerToApplication(method); }

// ---- TZelModuleWithControls ----

TZelModuleWithControls::TZelModuleWithControls(quill::TZelComponent* owner) : TZelModule(owner) {}

TZelModuleWithControls::~TZelModuleWithControls() {
  // Also a module that dies before the application object must leave no idle
  // handler behind.
  if (ZelApplication != nullptr) {
    ZelApplication->RemoveIdleHandler(quill::TZelMethod(this, &TZelModuleWithControls::UpdateControls));
  }
}

void TZelModuleWithControls::Initialize() {
  TZelModule::Initialize();
  AddIdleHandler(quill::TZelMethod(this, &TZelModuleWithControls::UpdateControls));
}

// ---- TZelForm ----

TZelForm::TZelForm(quill::TZelComponent* owner, QWidget* parent)
    : QMainWindow(parent), quill::TZelComponent(owner) {
  FollowVisualParent(*this, *this, parentWatch_);
}

TZelForm::~TZelForm() {
  if (modalLoop_ != nullptr) modalLoop_->quit();
  RemoveLocalizeHandler(quill::TZelMethod(this, &TZelForm::Localize));
  RemoveFromApplication(*this, quill::TZelMethod(this, &TZelForm::UpdateControls));
  if (ZelApplication != nullptr) ZelApplication->FormDestroyed(this);
}

void TZelForm::Initialize() {
  AddLocalizeHandler(quill::TZelMethod(this, &TZelForm::Localize));
  AddIdleHandlerToApplication(quill::TZelMethod(this, &TZelForm::UpdateControls));
}

void TZelForm::AfterConstruction() {
  if (!OwnedByApplication(*this)) Initialize();
}

int TZelForm::ShowModal() {
  modalResult_ = 0;
  setWindowModality(Qt::ApplicationModal);
  show();
  QPointer<TZelForm> alive(this);
  QEventLoop loop;
  modalLoop_ = &loop;
  if (modalResult_ == 0) loop.exec(QEventLoop::DialogExec);
  if (alive.isNull()) return quill::IDCANCEL;
  modalLoop_ = nullptr;
  hide();
  setWindowModality(Qt::NonModal);
  return modalResult_;
}

void TZelForm::SetModalResult(int result) {
  modalResult_ = result;
  if (result != 0 && modalLoop_ != nullptr) modalLoop_->quit();
}

void TZelForm::SetDialogButtons(QPushButton* defaultButton, QPushButton* cancelButton) {
  defaultButton_ = defaultButton;
  cancelButton_ = cancelButton;
  if (defaultButton != nullptr) defaultButton->setDefault(true);
}

void TZelForm::keyPressEvent(QKeyEvent* event) {
  if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    QPushButton* button = nullptr;
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        button = defaultButton_;
        break;
      case Qt::Key_Escape:
        button = cancelButton_;
        break;
      default:
        break;
    }
    if (button != nullptr) {
      button->click();
      return;
    }
  }
  QMainWindow::keyPressEvent(event);
}

bool TZelForm::event(QEvent* event) {
  if (event->type() == quill::kDeferredCallEvent) {
    RunDeferredCallReported();
    return true;
  }
  if (event->type() == QEvent::ParentChange) FollowVisualParent(*this, *this, parentWatch_);
  return QMainWindow::event(event);
}

void TZelForm::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  if (!event->isAccepted()) return;
  if (modalLoop_ != nullptr && modalResult_ == 0) SetModalResult(quill::IDCANCEL);
  if (ZelApplication != nullptr && ZelApplication->GetMainForm() == this) QCoreApplication::quit();
}

// ---- TZelFrame ----

TZelFrame::TZelFrame(quill::TZelComponent* owner, QWidget* parent) : QFrame(parent), quill::TZelComponent(owner) {
  FollowVisualParent(*this, *this, parentWatch_);
}

TZelFrame::~TZelFrame() {
  RemoveLocalizeHandler(quill::TZelMethod(this, &TZelFrame::Localize));
  RemoveFromApplication(*this, quill::TZelMethod(this, &TZelFrame::UpdateControls));
}

void TZelFrame::Initialize() {
  controlsEnabled_ = true;
  AddLocalizeHandler(quill::TZelMethod(this, &TZelFrame::Localize));
  AddIdleHandlerToApplication(quill::TZelMethod(this, &TZelFrame::UpdateControls));
}

void TZelFrame::AfterConstruction() {
  if (!OwnedByApplication(*this)) Initialize();
}

void TZelFrame::SetControlsEnabled(bool value) {
  if (value == controlsEnabled_) return;
  // Qt carries the state down from each child; setting the inner widgets as well would
  // switch on parts that a compound widget keeps off (a tab bar's scroll buttons).
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->setEnabled(value);
  }
  controlsEnabled_ = value;
}

bool TZelFrame::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) FollowVisualParent(*this, *this, parentWatch_);
  return QFrame::event(event);
}
