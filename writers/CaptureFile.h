#pragma once
// Capture files: the stored notes that a driver reads from a writer over the cable, kept as
// 3-byte records in the temporary folder (CWriter::CaptureFilePath) under "<base>.000" up to
// "<base>.999"; CWriter::ListCaptureFiles lists them afterwards.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {
class AtomicFile;
}

constexpr int kLastCaptureNumber = 999;

// "Flash.000"; the number is kept within 0 to 999, so it never grows into the name.
std::string CaptureFileName(const std::string& base, int number);

// One capture file, written whole: the earlier file of that name is replaced only when Close
// succeeds, so a failed transfer never leaves a half-written file behind.
class CaptureFile {
public:
    CaptureFile();
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // False when the file cannot be made (folder missing or not writable): Error() says why.
    bool Create(const std::string& path);
    bool Write(std::string_view bytes);
    // False when any write or the close failed; the file is then left as it was before.
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    // "<path>: <reason>" of the first failure.
    const std::string& Error() const { return error_; }

    // Tells the user that the notes could not be kept, with Error().
    void ReportFailure() const;

private:
    std::unique_ptr<platform::AtomicFile> file_;
    std::string path_;
    std::string error_;
};

// Removes "<base>.<first>", "<base>.<first + 1>", ... (left by an earlier, longer transfer),
// stopping at the first that cannot be removed (normally the first that does not exist).
void DeleteCaptureFilesFrom(const std::string& folder, const std::string& base, int first);
