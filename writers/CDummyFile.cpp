#include "writers/CDummyFile.h"

#include <cerrno>

#include "platform/SerialDevice.h"

CDummyFile::~CDummyFile() {
    if (fileHandle != kInvalidHandle) platform::CloseSerialDevice(fileHandle);
}

void CDummyFile::Close() {
    if (fileHandle == kInvalidHandle) return;
    platform::CloseSerialDevice(fileHandle);
    fileHandle = kInvalidHandle;
}

unsigned CDummyFile::Read(void* buffer, unsigned count) {
    if (fileHandle == kInvalidHandle || !buffer) return 0;
    unsigned got = 0;
    while (got < count) {
        int err = 0;
        long n = platform::ReadDevice(fileHandle, static_cast<char*>(buffer) + got, count - got, err);
        if (n <= 0) {
            if (n < 0) lastError = err;
            break;
        }
        got += unsigned(n);
    }
    return got;
}

void CDummyFile::Write(const void* buffer, unsigned count) {
    if (fileHandle == kInvalidHandle || !buffer) return;
    unsigned sent = 0;
    while (sent < count) {
        int err = 0;
        long n = platform::WriteDevice(fileHandle, static_cast<const char*>(buffer) + sent, count - sent, err);
        if (n <= 0) {
            lastError = n < 0 ? err : EIO;
            return;
        }
        sent += unsigned(n);
    }
}

void CDummyFile::WriteBytes(const std::vector<std::uint8_t>& bytes) {
    Write(bytes.data(), unsigned(bytes.size()));
}

void CDummyFile::WriteText(const std::string& text) { Write(text.data(), unsigned(text.size())); }
