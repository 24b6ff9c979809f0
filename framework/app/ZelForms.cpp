// TZelApplication: the component list, the title, idle handlers and deferred calls.
// Settings are in ZelForms_Settings.cpp, message boxes in ZelForms_MessageBox.cpp and
// the component bases in ZelForms_Components.cpp.

#include "ZelForms.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QToolTip>

#include "EventFilter.h"
#include "FrameSender.h"
#include "ScreenFit.h"
#include "ZelLocalizer.h"

TZelApplication* ZelApplication = nullptr;

namespace {
int formsUnits = 0;
}  // namespace

namespace quill {

TZelFormsUnit::TZelFormsUnit() {
  if (formsUnits++ == 0) ZelApplication = new TZelApplication();
}

TZelFormsUnit::~TZelFormsUnit() {
  if (--formsUnits == 0) {
    delete ZelApplication;
    ZelApplication = nullptr;
  }
}

bool RunReported(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (...) {
    if (ZelApplication != nullptr) ZelApplication->ShowException(std::current_exception());
    return false;
  }
}

}  // namespace quill

TZelApplication::TZelApplication() : quill::TZelComponent(nullptr) {
  HookIdle();
  HookWindowFilters();
}

TZelApplication::~TZelApplication() {
  // First, while the lists still exist: the components' destructors remove their
  // handlers from them.
  DestroyComponents();
}

void TZelApplication::Initialize() {
  HookIdle();
  HookWindowFilters();
}

void TZelApplication::HookWindowFilters() {
  QCoreApplication* application = QCoreApplication::instance();
  if (screenFit_ != nullptr || application == nullptr) return;
  screenFit_ = std::make_unique<quill::TScreenFit>();
  application->installEventFilter(screenFit_.get());
  frameSender_ = std::make_unique<quill::TFrameSender>();
  application->installEventFilter(frameSender_.get());
}

void TZelApplication::HookIdle() {
  QCoreApplication* application = QCoreApplication::instance();
  if (idleHook_ != nullptr || application == nullptr) return;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(application->thread());
  if (dispatcher == nullptr) return;
  idleHook_ = std::make_unique<QObject>();
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, idleHook_.get(),
                   [this] { quill::RunReported([this] { DoIdle(); }); });
}

void TZelApplication::SetTitle(const QString& title) {
  title_ = title;
  if (OnTitleChange) OnTitleChange(this);
}

void TZelApplication::SetShowHint(bool show) {
  if (show == GetShowHint()) return;
  if (show) {
    hintFilter_.reset();
    return;
  }
  hintFilter_ = std::make_unique<quill::EventFilter>(
      [](QObject*, QEvent* event) { return event->type() == QEvent::ToolTip; });
  if (QCoreApplication* application = QCoreApplication::instance()) {
    application->installEventFilter(hintFilter_.get());
  }
  QToolTip::hideText();
}

void TZelApplication::ShowException(std::exception_ptr error) noexcept {
  try {
    QString text;
    try {
      std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
      ShowMemoryMessage();
      return;
    } catch (const std::exception& exception) {
      text = QString::fromLocal8Bit(exception.what());
    } catch (...) {
      text = QStringLiteral("Unknown error.");
    }
    MessageBox(text, MB_OK | MB_ICONERROR);
  } catch (...) {
    // Nothing more can be reported.
  }
}

void TZelApplication::ShowMemoryMessage() {
  MessageBox(GetLocalizedString(quill::kMemoryText), MB_OK | MB_ICONERROR);
}

void TZelApplication::PostDeferredCall(const quill::TZelMethod& method) {
  if (mainForm_ == nullptr) return;
  deferredCalls_.Add(method);
  if (deferredCalls_.GetCount() == 1) PostDeferredCallEvent();
}

void TZelApplication::RunDeferredCall() {
  // Reposts also when the call throws, so the queue keeps moving.
  struct PostWhileQueued {
    TZelApplication& application;
    ~PostWhileQueued() {
      if (application.deferredCalls_.GetCount() > 0) application.PostDeferredCallEvent();
    }
  };
  if (deferredCalls_.GetCount() == 0) return;
  PostWhileQueued postWhileQueued{*this};
  deferredCalls_.CallFirstAndDelete();
}

void TZelApplication::RemoveDeferredCalls(const quill::TZelComponent* component) {
  if (component != nullptr) deferredCalls_.RemoveComponent(component);
}

void TZelApplication::PostDeferredCallEvent() {
  if (mainForm_ != nullptr) QCoreApplication::postEvent(mainForm_, new QEvent(quill::kDeferredCallEvent));
}

void TZelApplication::DoIdle() {
  if (inIdle_) return;
  inIdle_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{inIdle_};
  idleHandlers_.CallAll();
}

void TZelApplication::FormDestroyed(TZelForm* form) {
  if (form == mainForm_) mainForm_ = nullptr;
}
