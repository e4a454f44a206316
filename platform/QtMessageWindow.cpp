#include "platform/QtMessageWindow.h"

namespace platform {

QEvent::Type WindowMessageEvent::Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

const WindowMessageEvent* WindowMessageEvent::From(const QEvent* event) {
    if (!event || event->type() != Type()) return nullptr;
    return static_cast<const WindowMessageEvent*>(event);
}

void QtMessageWindow::Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    // postEvent is thread-safe and takes ownership of the event; Qt drops events still pending
    // for an object when the object is destroyed.
    QCoreApplication::postEvent(receiver_, new WindowMessageEvent(message, wParam, lParam));
}

}  // namespace platform
