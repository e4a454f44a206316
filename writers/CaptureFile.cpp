#include "writers/CaptureFile.h"

#include <algorithm>
#include <cstdio>

#include "core/TextUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Presenter.h"

std::string CaptureFileName(const std::string& base, int number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", std::clamp(number, 0, kLastCaptureNumber));
    return base + "." + digits;
}

CaptureFile::CaptureFile() = default;
CaptureFile::~CaptureFile() = default;

bool CaptureFile::Create(const std::string& path) {
    path_ = path;
    error_.clear();
    if (path.empty()) {
        file_.reset();
        error_ = "There is no folder for temporary files.";
        return false;
    }
    file_ = std::make_unique<platform::AtomicFile>(path);
    if (file_->Open()) return true;
    error_ = file_->Error();
    file_.reset();
    return false;
}

bool CaptureFile::Write(std::string_view bytes) {
    if (!file_) return false;
    if (file_->Write(bytes)) return true;
    if (error_.empty()) error_ = file_->Error();
    return false;
}

bool CaptureFile::Close() {
    if (!file_) return error_.empty();
    const bool ok = file_->Commit();
    if (!ok && error_.empty()) error_ = file_->Error();
    file_.reset();
    return ok;
}

void CaptureFile::ReportFailure() const {
    platform::ShowMessageBox("The notes read from the writer could not be saved.\n" + error_, {},
                             platform::kMbOk | platform::kMbIconError);
}

void DeleteCaptureFilesFrom(const std::string& folder, const std::string& base, int first) {
    for (int n = std::max(first, 0); n <= kLastCaptureNumber; ++n)
        if (!DeleteFileForced(folder + "/" + CaptureFileName(base, n))) break;
}
