#include "core/TextUtil.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <QFile>
#include <ctime>

#include "platform/Codepage.h"
#include "platform/FileSystem.h"

// ---- text ------------------------------------------------------------------------------

void ReplaceAll(std::string& target, const std::string& find, const std::string& replacement) {
    if (find.empty()) return;
    std::size_t pos = 0;
    while ((pos = target.find(find, pos)) != std::string::npos) {
        target.replace(pos, find.size(), replacement);
        pos += replacement.size();
    }
}

bool IsUpperLetter(std::uint8_t c) {
    return (c >= 0x41 && c <= 0x5A) || c == 0x8A || c == 0x8C || c == 0x9F ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDF);
}

bool IsLowerLetter(std::uint8_t c) {
    return (c >= 0x61 && c <= 0x7A) || c == 0x9A || c == 0x9C || c == 0xB5 ||
           (c >= 0xE0 && c <= 0xF6) || (c >= 0xF8);
}

bool IsDigitChar(std::uint8_t c) { return c >= 0x30 && c <= 0x39; }

std::uint8_t ToLowerLetter(std::uint8_t c) {
    if (c < 0x20) return c;
    if ((c >= 0x41 && c <= 0x5A) || (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE))
        return std::uint8_t(c + 0x20);
    if (c == 0x9F) return 0xFF;
    if (c == 0x7F) return 0x44;  // kept from the original table
    return c;
}

int StrToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && IsDigitChar(std::uint8_t(text[i])); ++i)
        value = value * 10u + std::uint32_t(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

std::string IntToString(int value) { return std::to_string(value); }

std::string TwoDigits(int n) {
    if (n >= 10) return std::to_string(n % 100);
    return "0" + std::to_string(n);
}

// ---- paths -----------------------------------------------------------------------------
namespace {

// Index of the last separator, or npos.
std::size_t LastSeparator(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    bool drive = path.size() >= 2 && path[1] == ':' &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (slash == std::string::npos && drive) return 1;
    return slash;
}

}  // namespace

std::string GetFolderPart(const std::string& path) {
    std::size_t sep = LastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string GetFileNamePart(const std::string& path) {
    std::size_t sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string GetExtensionPart(const std::string& path) {
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = path.substr(dot + 1);
    if (ext.find(' ') != std::string::npos || ext.size() >= 6) return {};
    return ext;
}

std::string GetFileTitlePart(const std::string& path) {
    std::string stem = path;
    if (!GetExtensionPart(path).empty()) stem = path.substr(0, path.rfind('.'));
    return GetFileNamePart(stem);
}

// ---- time ------------------------------------------------------------------------------
namespace {

constexpr int kDayMs = 86'400'000;

void LocalNow(std::tm& parts, int& millis) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &parts);
    millis = int(tv.tv_usec / 1000);
}

}  // namespace

int GetTimeOfDayMs() {
    std::tm t{};
    int ms = 0;
    LocalNow(t, ms);
    return ((t.tm_hour * 60 + t.tm_min) * 60 + t.tm_sec) * 1000 + ms;
}

int TimeCodeToMs(const TimeCode& c) {
    return ((c[0] * 60 + c[1]) * 60 + c[2]) * 1000 + c[3] * 1000 / 30;
}

void MsToTimeCode(int ms, TimeCode& c) {
    ms %= kDayMs;
    if (ms < 0) ms += kDayMs;
    int hours = ms / 3'600'000;
    int minutes = (ms - hours * 3'600'000) / 60'000;
    int seconds = (ms - (ms / 60'000) * 60'000) / 1000;
    int frames = ((ms - (ms / 1000) * 1000) * 30) / 1000;
    c = {std::uint8_t(hours), std::uint8_t(minutes), std::uint8_t(seconds), std::uint8_t(frames)};
}

void GetTimeCodeNow(TimeCode& c) {
    std::tm t{};
    int ms = 0;
    LocalNow(t, ms);
    c = {std::uint8_t(t.tm_hour), std::uint8_t(t.tm_min), std::uint8_t(t.tm_sec),
         std::uint8_t(ms * 30 / 1000)};
}

// ---- files -----------------------------------------------------------------------------

bool DeleteFileForced(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
        chmod(path.c_str(), st.st_mode | S_IWUSR);
    return unlink(path.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    // As in a file-system search, "*" and "?" are the only wildcards, and only in the last
    // part of the path; "[" is an ordinary byte of a name.
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.find_first_of("*?") == std::string::npos) {
        struct stat st {};
        return lstat(path.c_str(), &st) == 0;
    }
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    return !platform::ListFolder(folder, name).empty();
}

std::string PathForMessage(const std::string& path) {
    return platform::FromQString(QFile::decodeName(QByteArray::fromStdString(path)));
}

std::string FileErrorReason(const std::string& error, const std::string& path) {
    const std::string prefix = path + ": ";
    return error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error;
}
