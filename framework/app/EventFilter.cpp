#include "EventFilter.h"

#include <utility>

namespace quill {

EventFilter::EventFilter(Function function, QObject* parent)
    : QObject(parent), function_(std::move(function)) {}

bool EventFilter::eventFilter(QObject* watched, QEvent* event) {
  return function_ ? function_(watched, event) : false;
}

}  // namespace quill
