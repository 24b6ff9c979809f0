#include "WindowSystemOutput.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace quill {

void SendWindowSystemOutput() {
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (application == nullptr) return;
  if (auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>()) {
    if (xcb_connection_t* connection = x11->connection()) xcb_flush(connection);
  }
}

}  // namespace quill
