#include "platform/QtMessageWindow.h"

#include <atomic>

namespace platform {
namespace {

// Qt's event queue hands a posted event to the receiving thread under locks that
// ThreadSanitizer cannot see (Qt is not built with it). Every post publishes through this
// counter and every look at an event acquires it, so the hand-over is visible to the tool too.
std::atomic<unsigned> gPublished{0};

}  // namespace

QEvent::Type WindowMessageEvent::Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

const WindowMessageEvent* WindowMessageEvent::From(const QEvent* event) {
    if (!event) return nullptr;
    gPublished.load(std::memory_order_acquire);
    if (event->type() != Type()) return nullptr;
    return static_cast<const WindowMessageEvent*>(event);
}

void QtMessageWindow::Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    // postEvent is thread-safe and takes ownership of the event; Qt drops events still pending
    // for an object when the object is destroyed.
    auto* event = new WindowMessageEvent(message, wParam, lParam);
    gPublished.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(receiver_, event);
}

}  // namespace platform
