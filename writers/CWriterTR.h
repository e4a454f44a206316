#pragma once
// CWriterTR: the Treal steno keyboard (writer type 21), a HID device read by the keyboard-hook
// library. The library calls back on its own thread for every report; keys seen down are
// collected and queued as one stroke when all keys are up. Notes files (mode 0) hold 8-byte
// records. In realtime the reader thread checks about once a second that the keyboard opened
// is still there, and opens it again once it is back.
#include <atomic>
#include <cstdint>
#include <string>

#include "kbdhook/TrealKeyboard.h"
#include "writers/CWriter.h"

class CWriterTR : public CWriter {
public:
    // Becomes the current keyboard writer, to which the library's callbacks go.
    explicit CWriterTR(platform::WindowHandle owner);
    // Closes the keyboard first, so no callback reaches a writer being destroyed.
    ~CWriterTR() override;

    // Mode 0: the notes folder. Mode 1: nothing. Otherwise the reader thread (which watches the
    // keyboard), the keyboard opened with Retry/Cancel (message 5017), then the thread resumed.
    void Start(unsigned argument) override;
    // Strokes come on the library's thread; this one looks after the keyboard: one that went
    // is closed, and opened again once it is back.
    void Poll() override;
    void ReadStrokes(int first, int count) override;
    void DecodeBuffer() override;

    // One library event: 10001 queues the keys collected (if any); any other code adds the keys
    // of report byte `value` at report position `index`, for the layout of the settings.
    int OnKeyEvent(int code, int value, int index);

    // The keySet bit that report byte `reportByte` (1-5), bit `mask`, sets in `layout`; -1 none.
    static int KeyBit(int layout, int reportByte, std::uint8_t mask);

    // The library's two calls. Tests put a scripted library in their place.
    struct Library {
        int (*open)(TrealKeyboardCallbackFn callback);
        unsigned (*close)();
    };
    static Library library;

    std::uint64_t keySet = 0;

private:
    void QueueKeys(std::uint64_t keys, int layout);
    // The keyboards present now, each plug-in by a name of its own; and why none can be read.
    struct Presence {
        std::string instances;
        std::string reason;
    };
    static Presence LookForKeyboard();
    void SetStatus(ConnectionState state, std::string reason = {}, bool again = false);

    bool watching_ = false;  // realtime with the keyboard open once: keep it open
    bool open_ = false;      // the library reads the keyboard
    std::string openedInstances_;
};

// The function handed to the library: forwards to the current keyboard writer, if any.
extern "C" void TrealKeyboardCallback(int code, int value, int index);
