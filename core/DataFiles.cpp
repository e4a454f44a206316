#include "core/DataFiles.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/ByteOrder.h"
#include "core/Rc4Cipher.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

// The files' one integer form: 32 bits, signed, little-endian.
// The field as it can be stored: without the two separator bytes.
void AppendField(std::string& out, const std::string& field) {
    for (char c : field) {
        auto b = std::uint8_t(c);
        if (b != kProgressFieldEnd && b != kProgressRecordEnd) out.push_back(c);
    }
}

// Reads the rest of the file block by block, deciphering it as one stream under `key`.
// `consume` sees the plain bytes. False when the file cannot be read.
template <typename Consume>
bool ReadBlocks(platform::InputFile& file, const char* key, Consume consume, std::string* error) {
    Rc4Cipher cipher(key);
    std::unique_ptr<char[]> block(new char[kBlockSize]);
    for (;;) {
        std::ptrdiff_t n = file.Read(block.get(), kBlockSize);
        if (n < 0) {
            if (error) *error = file.Error();
            return false;
        }
        if (n == 0) return true;
        cipher.Crypt(block.get(), std::size_t(n));
        consume(block.get(), std::size_t(n));
    }
}

}  // namespace

std::vector<std::string> ReadWordListFile(const std::string& path) {
    std::vector<std::string> lines;
    platform::InputFile file;
    if (!file.Open(path)) return lines;
    std::string current;
    // A line ends at CR LF only; a lone CR or LF stays part of the line. The pair may straddle
    // two blocks, which `current` bridges.
    auto consume = [&](const char* data, std::size_t size) {
        std::size_t pos = 0;
        while (pos < size) {
            const void* lf = std::memchr(data + pos, '\n', size - pos);
            if (!lf) {
                current.append(data + pos, size - pos);
                return;
            }
            std::size_t lfAt = std::size_t(static_cast<const char*>(lf) - data);
            if (current.empty() && lfAt > pos && data[lfAt - 1] == '\r') {
                // The common case: a whole line inside the block, copied once.
                if (lfAt - 1 > pos) lines.emplace_back(data + pos, lfAt - 1 - pos);
            } else {
                current.append(data + pos, lfAt + 1 - pos);
                std::size_t len = current.size();
                if (len >= 2 && current[len - 2] == '\r') {
                    current.resize(len - 2);
                    if (!current.empty()) lines.push_back(current);
                    current.clear();
                }
            }
            pos = lfAt + 1;
        }
    };
    // A read error keeps the lines read so far, as a cut file does; the unfinished line goes.
    ReadBlocks(file, kWordListKey, consume, nullptr);
    return lines;
}

bool WriteWordListFile(const std::string& path, const std::vector<std::string>& lines,
                       std::string* error) {
    std::string content;
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }
    Rc4Cipher(kWordListKey).Crypt(content);
    return platform::WriteFileAtomically(path, content, error);
}

bool WriteProgressFile(const std::string& path, const std::vector<ProgressEntry>& entries,
                       int position, std::string* error) {
    std::string content;
    AppendLittleEndian32(content, std::uint32_t(position));
    for (const ProgressEntry& entry : entries) {
        AppendField(content, entry.outline);
        content.push_back(char(kProgressFieldEnd));
        AppendField(content, entry.translation);
        content.push_back(char(kProgressRecordEnd));
    }
    Rc4Cipher cipher(kProgressKey);
    cipher.Crypt(content.data() + 4, content.size() - 4);
    return platform::WriteFileAtomically(path, content, error);
}

bool LoadProgressFile(const std::string& path, std::vector<ProgressEntry>& entries, int& position,
                      std::string* error) {
    entries.clear();
    platform::InputFile file;
    if (!file.Open(path)) {
        if (error) *error = file.Error();
        return false;
    }
    unsigned char head[4];
    std::ptrdiff_t got = file.Read(head, sizeof head);
    if (got < 0) {
        if (error) *error = file.Error();
        return false;
    }
    // Too short to hold a position: nothing in it is whole.
    if (got < 4) return true;
    position = std::max(std::int32_t(ReadLittleEndian32(head)), std::int32_t(0));

    std::string first, current;
    auto consume = [&](const char* data, std::size_t size) {
        for (std::size_t n = 0; n < size; ++n) {
            auto b = std::uint8_t(data[n]);
            if (b == kProgressFieldEnd) {
                first.swap(current);
                current.clear();
            } else if (b == kProgressRecordEnd) {
                if (!first.empty()) entries.push_back({std::move(first), std::move(current)});
                first.clear();
                current.clear();
            } else {
                current.push_back(char(b));
            }
        }
    };
    // A record cut short at the end (or by a read error) is dropped; those before it stay.
    return ReadBlocks(file, kProgressKey, consume, error);
}

std::vector<ProgressEntry> ReadProgressFile(const std::string& path, int& position) {
    std::vector<ProgressEntry> entries;
    LoadProgressFile(path, entries, position);
    return entries;
}

std::int32_t ReadFileInt(const std::string& path) {
    platform::InputFile file;
    if (!file.Open(path)) return 0;
    unsigned char bytes[4] = {0, 0, 0, 0};
    if (file.Read(bytes, sizeof bytes) < 0) return 0;
    return std::int32_t(ReadLittleEndian32(bytes));
}

bool WriteFileInt(const std::string& path, std::int32_t value, std::string* error) {
    std::string content;
    AppendLittleEndian32(content, std::uint32_t(value));
    return platform::WriteFileAtomically(path, content, error);
}

std::string GetPathTitle(const std::string& path) {
    std::string title = path;
    std::size_t dot = title.rfind('.');
    if (dot != std::string::npos) title.resize(dot);
    std::size_t sep = title.find_last_of("/\\");
    if (sep != std::string::npos) title.erase(0, sep + 1);
    return title;
}
