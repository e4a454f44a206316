// The library's two exported functions, on the system's HID devices.
#include "kbdhook/KeyboardHook.h"
#include "kbdhook/TrealKeyboard.h"

namespace {
kbdhook::KeyboardHook& Hook() {
    // Ended when the library is unloaded: no reader outlives it.
    static kbdhook::KeyboardHook hook(kbdhook::SystemHidBackend());
    return hook;
}
}  // namespace

extern "C" int OpenTrealKeyboard(TrealKeyboardCallbackFn callback) { return Hook().Open(callback); }

extern "C" unsigned CloseTrealKeyboard(void) { return Hook().Close(); }
