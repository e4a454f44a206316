#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>
#include <utility>

namespace platform {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a save lands in: a symbolic link (or a chain of them) is followed to its end, even
// when that end does not exist yet, so the save goes through the link as opening the link for
// writing would, and the link survives. A loop stays a link, which Open refuses.
std::string ResolveTarget(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || std::size_t(n) >= link.size()) return path;
        link.resize(std::size_t(n));
        path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
    }
    return path;
}

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random{std::random_device{}()};
    return std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random() % 1000000u);
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(ResolveTarget(std::move(target))) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open() {
    Discard();
    failed_ = false;
    error_.clear();
    // The rename would replace what the user protected: a target that may not be written is
    // refused, as opening it for writing is.
    struct stat link {};
    if (::lstat(target_.c_str(), &link) == 0) {
        if (S_ISLNK(link.st_mode)) return Fail(ELOOP);
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return Fail(errno);
    }
    std::string folder = FolderOf(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A short hidden name: it always fits NAME_MAX and never matches a "*.dqx" listing.
        temp_ = folder + "/.dq-save-" + UniqueSuffix() + ".tmp";
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        if (errno != EEXIST) {
            int err = errno;
            temp_.clear();
            return Fail(err);
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        return Fail(EEXIST);
    }
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd_, st.st_mode & 07777);
    buffer_.reserve(kBufferSize);
    return true;
}

bool AtomicFile::Write(std::string_view bytes) {
    if (failed_ || fd_ < 0) return false;
    if (buffer_.size() + bytes.size() > kBufferSize) {
        if (!Flush()) return false;
        if (bytes.size() >= kBufferSize) return WriteAll(bytes);
    }
    buffer_.append(bytes);
    return true;
}

bool AtomicFile::Flush() {
    bool ok = WriteAll(buffer_);
    buffer_.clear();
    return ok;
}

bool AtomicFile::WriteAll(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        done += std::size_t(n);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (failed_ || fd_ < 0) {
        Discard();
        return false;
    }
    bool ok = Flush() && (::fsync(fd_) == 0 || Fail(errno));
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && ok) ok = Fail(errno);
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = Fail(errno);
    if (!ok) {
        Discard();
        return false;
    }
    temp_.clear();
    // Make the rename itself durable; the new content is in place whatever this returns.
    int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
}

bool AtomicFile::Fail(int err) {
    if (!failed_) error_ = target_ + ": " + std::error_code(err, std::generic_category()).message();
    failed_ = true;
    return false;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error) {
    AtomicFile file(path);
    bool ok = file.Open() && file.Write(content) && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

}  // namespace platform
