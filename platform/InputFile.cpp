#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {

InputFile::~InputFile() { Close(); }

bool InputFile::Open(const std::string& path) {
    Close();
    path_ = path;
    error_.clear();
    // O_NONBLOCK so that a FIFO under this name cannot block the open; cleared below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        Fail(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        Fail(errno);
        Close();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        if (!S_ISDIR(st.st_mode)) error_ = path_ + ": not a regular file";
        Close();
        return false;
    }
    size_ = std::size_t(st.st_size);
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

std::ptrdiff_t InputFile::Read(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd_, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
            return -1;
        }
        if (n == 0) break;
        done += std::size_t(n);
    }
    return std::ptrdiff_t(done);
}

bool InputFile::Seek(std::size_t offset) {
    if (fd_ < 0) return false;
    if (::lseek(fd_, off_t(offset), SEEK_SET) < 0) {
        Fail(errno);
        return false;
    }
    return true;
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

void InputFile::Fail(int err) {
    error_ = path_ + ": " + std::error_code(err, std::generic_category()).message();
}

}  // namespace platform
