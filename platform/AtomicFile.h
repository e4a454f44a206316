#pragma once
// Replacing a data file safely. The new content goes to a temporary file in the target's
// folder; only when every write, the flush, fsync and close have succeeded is it renamed over
// the target. On any failure the temporary file is removed and the old file stays as it was,
// so a full disk or a vanished folder never costs the user what was saved before. A target the
// user may not write is refused, and a symbolic link is written through, never replaced.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    // Discards the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file. False when the folder is missing or not writable, or when the
    // target itself may not be written.
    bool Open();
    // Buffered; a failure is sticky, so a caller may check only Commit.
    bool Write(std::string_view bytes);
    // Flushes, syncs, closes and renames over the target.
    bool Commit();
    // Removes the temporary file; the target is untouched.
    void Discard();

    // "<path>: <reason>" for the first failure.
    const std::string& Error() const { return error_; }

private:
    bool Flush();
    bool WriteAll(std::string_view bytes);
    // Records the first failure; always false.
    bool Fail(int err);

    std::string target_;
    std::string temp_;
    std::string buffer_;
    std::string error_;
    int fd_ = -1;
    bool failed_ = false;
};

// The whole content at once through an AtomicFile. On failure `error` (when given) receives
// the reason.
bool WriteFileAtomically(const std::string& path, std::string_view content,
                         std::string* error = nullptr);

}  // namespace platform
