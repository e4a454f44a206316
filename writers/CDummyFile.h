#pragma once
// A device channel seen as a file: a descriptor, the last error code the channel saw, and a
// close that is harmless when nothing is open. Nothing here throws: failures land in lastError.
#include <cstdint>
#include <string>
#include <vector>

class CDummyFile {
public:
    static constexpr int kInvalidHandle = -1;

    CDummyFile() = default;
    // Closes an open descriptor.
    virtual ~CDummyFile();
    CDummyFile(const CDummyFile&) = delete;
    CDummyFile& operator=(const CDummyFile&) = delete;

    // Nothing when no descriptor is open; else closes it.
    virtual void Close();
    virtual void Abort() { Close(); }
    // Reads until `count` bytes, the end of the file, or an error; the bytes read.
    virtual unsigned Read(void* buffer, unsigned count);
    // Writes all bytes; a failure sets lastError.
    virtual void Write(const void* buffer, unsigned count);

    virtual int GetLastError() const { return lastError; }
    // Both go through the virtual Write.
    virtual void WriteBytes(const std::vector<std::uint8_t>& bytes);
    virtual void WriteText(const std::string& text);

    // The descriptor of the file (the framework file handle); kInvalidHandle when closed.
    int fileHandle = kInvalidHandle;
    // The last error code seen: a Windows code where the channel names one (87 invalid
    // parameter, 6 invalid handle, 1 overflow), else the errno; 0 initially.
    int lastError = 0;
};
