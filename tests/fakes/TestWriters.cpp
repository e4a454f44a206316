#include "tests/fakes/TestWriters.h"

#include "core/AppSettings.h"

namespace fakes {

void UseLineSettings(int port) {
    AppSettings& settings = GetSettings();
    settings.port = port;
    settings.baudRate = 9600;
    settings.parity = 0;
    settings.dataBits = 8;
    settings.stopBits = 1;
    settings.usbFlag = 0;
}

void ThreeByteWriter::Poll() {
    if (!WaitForInput(100)) return;
    std::uint8_t k[3];
    for (std::uint8_t& b : k)
        if (!ReadByteWithin(b, byteGapMs)) return;  // a packet cut short is dropped
    AddStroke(k[0], k[1], k[2]);
}

void CountingWriter::Start(unsigned argument) {
    CWriter::Start(argument);
    if (resumeInStart) ResumeReaderThread();
}

void CountingWriter::Poll() {
    ++polls;
    PauseMs(5);
}

void EchoCheckWriter::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode == kModeNotesFolder || stopRequested != 0) return;
    for (int attempt = 0;; ++attempt) {
        if (attempt >= attempts) {
            if (!AskRetry()) return;  // Cancel: the reader thread stays at its gate
            attempt = attempts - 1;   // Retry: one more attempt, then the question again
        }
        ++exchanges;
        port.WriteString("B");
        std::uint8_t answer = 0;
        if (ReadByteWithin(answer, answerWithinMs) && answer == 'B') break;
    }
    connected = true;
    ResumeReaderThread();
}

}  // namespace fakes
