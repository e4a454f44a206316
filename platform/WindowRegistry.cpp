#include "platform/WindowRegistry.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<WindowHandle, MessageTarget*> windows;
    WindowHandle next = 1;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;  // never destroyed: posts may come late at exit
    return *registry;
}

}  // namespace

WindowHandle RegisterWindow(MessageTarget* target) {
    if (!target) return kNoWindow;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    WindowHandle handle = r.next++;
    r.windows.emplace(handle, target);
    return handle;
}

void UnregisterWindow(WindowHandle handle) {
    if (handle == kNoWindow) return;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.windows.erase(handle);
}

bool PostMessage(WindowHandle handle, unsigned message, std::uintptr_t wParam,
                 std::intptr_t lParam) {
    if (handle == kNoWindow) return false;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.windows.find(handle);
    if (it == r.windows.end()) return false;
    it->second->Deliver(message, wParam, lParam);
    return true;
}

bool IsWindow(WindowHandle handle) {
    if (handle == kNoWindow) return false;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.windows.count(handle) != 0;
}

}  // namespace platform
