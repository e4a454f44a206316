#pragma once
// The Qt back end of owner windows: a QObject (a dialog) gets a window handle, and messages
// posted to that handle from any thread arrive on the object's own thread as a
// WindowMessageEvent through QCoreApplication::postEvent.
//
//   class CSomeDlg : public QDialog {
//       platform::QtMessageWindow messageWindow_{this};
//       bool event(QEvent* e) override {
//           if (auto* m = platform::WindowMessageEvent::From(e)) { ...m->Message()...; return true; }
//           return QDialog::event(e);
//       }
//       ~CSomeDlg() override { messageWindow_.Unregister(); ... }
//   };
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "platform/WindowRegistry.h"

namespace platform {

class WindowMessageEvent final : public QEvent {
public:
    WindowMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(Type()), message_(message), wParam_(wParam), lParam_(lParam) {}

    // The event type, registered once with Qt.
    static QEvent::Type Type();
    // The event as a window message, or null for any other event.
    static const WindowMessageEvent* From(const QEvent* event);

    unsigned Message() const { return message_; }
    std::uintptr_t WParam() const { return wParam_; }
    std::intptr_t LParam() const { return lParam_; }

private:
    unsigned message_;
    std::uintptr_t wParam_;
    std::intptr_t lParam_;
};

class QtMessageWindow final : public MessageTarget {
public:
    explicit QtMessageWindow(QObject* receiver) : receiver_(receiver), registration_(this) {}
    QtMessageWindow(const QtMessageWindow&) = delete;
    QtMessageWindow& operator=(const QtMessageWindow&) = delete;

    WindowHandle Handle() const { return registration_.Handle(); }
    // First thing in the receiver's destructor: no post reaches the receiver afterwards.
    void Unregister() { registration_.Unregister(); }

    void Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    QObject* receiver_;
    WindowRegistration registration_;
};

}  // namespace platform
