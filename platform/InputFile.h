#pragma once
// Reading a data file in large blocks. Only regular files open: a folder, a pipe or a device
// under a data file's name fails at once instead of blocking or streaming without end.
#include <cstddef>
#include <string>

namespace platform {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path);
    // Fills up to `size` bytes; fewer only at the end of the file. 0 at the end, -1 on error.
    std::ptrdiff_t Read(void* buffer, std::size_t size);
    // Moves to `offset` from the start (to read the file again).
    bool Seek(std::size_t offset);
    // The file's size when it was opened.
    std::size_t Size() const { return size_; }
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // "<path>: <reason>" for the last failure.
    const std::string& Error() const { return error_; }

private:
    void Fail(int err);

    int fd_ = -1;
    std::size_t size_ = 0;
    std::string path_;
    std::string error_;
};

}  // namespace platform
