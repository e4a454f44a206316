#pragma once
// The keyboard-hook library's interface (libkbdhook.so): it finds the Treal steno keyboard
// among the HID devices, reads its input reports on a thread of its own and hands each report
// to the caller's callback, always on that thread:
//   (10003, byte, position)  for every byte of a report in which one of bytes 0-5 is not 0;
//                            byte 0 is the report id (0 for a keyboard without numbered reports)
//   (10001, 0, 0)            when all keys are up (bytes 0-5 all 0), and once more when the
//                            device failed or went (then the thread ends)
// A report is always the device's input-report length: a longer one is cut to it and a
// shorter one padded with zeros.
#ifdef __cplusplus
extern "C" {
#endif

#define KBDHOOK_EXPORT __attribute__((visibility("default")))

typedef void (*TrealKeyboardCallbackFn)(int code, int value, int index);

enum { kTrealAllReleased = 10001, kTrealReportByte = 10003 };

// 1 when the keyboard was found and its reader thread started, else 0 (no thread, no callback).
KBDHOOK_EXPORT int OpenTrealKeyboard(TrealKeyboardCallbackFn callback);
// Ends the reader threads: no callback runs once this returns (called from a callback it only
// asks, and the thread ends when that callback returns). 0 when a reader was running,
// 0xFFFFFFFF when none was.
KBDHOOK_EXPORT unsigned CloseTrealKeyboard(void);

#ifdef __cplusplus
}
#endif
