#pragma once
// Owner windows as numbers. A writer's reader thread tells its owner window that strokes are
// waiting by posting a message to the owner's handle. Every live window is a handle in one
// registry guarded by a mutex: PostMessage looks the handle up and delivers under that lock, and
// a window leaves the registry first thing in its destructor, so a post can never reach a window
// that is being destroyed. Handles are never reused, so a stale handle stays dead.
#include <cstdint>

namespace platform {

using WindowHandle = std::uint64_t;
constexpr WindowHandle kNoWindow = 0;

constexpr unsigned kWmUser = 0x400;
// A writer's "a stroke is waiting in the queue" message (WM_USER+2).
constexpr unsigned kStrokeMessage = kWmUser + 2;
// A writer's "the state of my connection has changed" message: the owner asks the writer for
// its connection status (CWriter::GetConnectionStatus) and shows it.
constexpr unsigned kConnectionMessage = kWmUser + 3;

// What stands behind a handle. Deliver runs on the posting thread with the registry locked: it
// must only hand the message over to the window's own thread (post, queue) and return, and must
// not call back into the registry.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// Enters `target` in the registry under a new handle.
WindowHandle RegisterWindow(MessageTarget* target);
// Removes the handle. When this returns no delivery to its target is running or will run.
// Unknown handles are ignored.
void UnregisterWindow(WindowHandle handle);

// Hands the message to the window behind `handle`; false (nothing done) when there is none.
bool PostMessage(WindowHandle handle, unsigned message, std::uintptr_t wParam = 0,
                 std::intptr_t lParam = 0);
// True while the window behind `handle` is registered.
bool IsWindow(WindowHandle handle);

// A registration for the lifetime of a window object. Call Unregister first thing in the
// window's destructor; the member's own destructor only catches a forgotten call.
class WindowRegistration {
public:
    explicit WindowRegistration(MessageTarget* target) : handle_(RegisterWindow(target)) {}
    ~WindowRegistration() { Unregister(); }
    WindowRegistration(const WindowRegistration&) = delete;
    WindowRegistration& operator=(const WindowRegistration&) = delete;

    WindowHandle Handle() const { return handle_; }
    void Unregister() {
        UnregisterWindow(handle_);
        handle_ = kNoWindow;
    }

private:
    WindowHandle handle_;
};

}  // namespace platform
