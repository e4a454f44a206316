#include "core/DataFiles.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/ByteOrder.h"
#include "core/Rc4Cipher.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "platform/Memory.h"

namespace {

// Files are read and written through one block of this size: a large file costs the memory of
// its result, never a second copy of itself.
constexpr std::size_t kBlockSize = 256 * 1024;

// Reads the rest of the file block by block, deciphering it as one stream under `key`.
// `consume` sees the plain bytes. False when the file cannot be read.
template <typename Consume>
bool ReadBlocks(platform::InputFile& file, const char* key, Consume&& consume, std::string* error) {
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

// How often `byte` occurs in the deciphered rest of the file, from `offset` on; the file is
// left at `offset` again. Sizes a result exactly before it is built, so that it is never
// grown by copying. 0 when the file cannot be read (the reading proper then tells why).
std::size_t CountPlainBytes(platform::InputFile& file, std::size_t offset, const char* key,
                            char byte) {
    std::size_t count = 0;
    ReadBlocks(
        file, key,
        [&](const char* data, std::size_t size) {
            count += std::size_t(std::count(data, data + size, byte));
        },
        nullptr);
    file.Seek(offset);
    return count;
}

// Enciphers the bytes given to it under one keystream and hands them on a block at a time.
class CipherWriter {
public:
    CipherWriter(platform::AtomicFile& file, const char* key) : file_(file), cipher_(key) {
        buffer_.reserve(kBufferSize);
    }
    void Put(char c) {
        buffer_.push_back(c);
        if (buffer_.size() == kBufferSize) Flush();
    }
    // The field as it can be stored: without the two separator bytes.
    void PutField(std::string_view field) {
        for (char c : field) {
            auto b = std::uint8_t(c);
            if (b != kProgressFieldEnd && b != kProgressRecordEnd) Put(c);
        }
    }
    bool Flush() {
        cipher_.Crypt(buffer_);
        bool ok = file_.Write(buffer_);
        buffer_.clear();
        return ok;
    }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    platform::AtomicFile& file_;
    Rc4Cipher cipher_;
    std::string buffer_;
};

// Splits the deciphered records of a progress file into fields as the blocks come. A field
// that lies inside one block is handed on in place; only one that straddles two blocks is
// gathered in `current`.
template <typename OnEntry>
class RecordSplitter {
public:
    explicit RecordSplitter(OnEntry& onEntry) : onEntry_(onEntry) {}
    void operator()(const char* data, std::size_t size) {
        std::size_t pos = 0;
        while (pos < size) {
            std::size_t end = pos;
            while (end < size && data[end] != char(kProgressFieldEnd) &&
                   data[end] != char(kProgressRecordEnd))
                ++end;
            if (end == size) {
                current_.append(data + pos, size - pos);
                return;
            }
            std::string_view field(data + pos, end - pos);
            if (!current_.empty()) {
                current_.append(field);
                field = current_;
            }
            if (data[end] == char(kProgressFieldEnd)) {
                // Several separators in one record: the text before the last one is the outline.
                first_.assign(field);
            } else {
                // A record without an outline is never an entry.
                if (!first_.empty()) onEntry_(std::string_view(first_), field);
                first_.clear();
            }
            current_.clear();
            pos = end + 1;
        }
    }

private:
    OnEntry& onEntry_;
    std::string first_;
    std::string current_;
};

// Opens a progress file and reads its position: false when it cannot be opened or read;
// `whole` is false when it is too short to hold a position (nothing in it is whole).
bool OpenProgressFile(platform::InputFile& file, const std::string& path, int& position,
                      bool& whole, std::string* error) {
    whole = false;
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
    if (got < 4) return true;
    position = std::max(std::int32_t(ReadLittleEndian32(head)), std::int32_t(0));
    whole = true;
    return true;
}

}  // namespace

std::vector<std::string> ReadWordListFile(const std::string& path) {
    std::vector<std::string> lines;
    platform::InputFile file;
    if (!file.Open(path)) return lines;
    lines.reserve(CountPlainBytes(file, 0, kWordListKey, '\n'));
    platform::AdviseHugePages(lines.data(), lines.capacity() * sizeof(std::string));
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
    platform::AtomicFile file(path);
    bool ok = file.Open();
    if (ok) {
        CipherWriter out(file, kWordListKey);
        for (const std::string& line : lines) {
            for (char c : line) out.Put(c);
            out.Put('\r');
            out.Put('\n');
        }
        ok = out.Flush() && file.Commit();
    }
    if (!ok && error) *error = file.Error();
    return ok;
}

bool WriteProgressFile(const std::string& path, const std::vector<ProgressEntry>& entries,
                       int position, std::string* error) {
    platform::AtomicFile file(path);
    bool ok = file.Open();
    if (ok) {
        std::string head;
        AppendLittleEndian32(head, std::uint32_t(position));
        file.Write(head);
        CipherWriter out(file, kProgressKey);
        for (const ProgressEntry& entry : entries) {
            out.PutField(entry.outline);
            out.Put(char(kProgressFieldEnd));
            out.PutField(entry.translation);
            out.Put(char(kProgressRecordEnd));
        }
        ok = out.Flush() && file.Commit();
    }
    if (!ok && error) *error = file.Error();
    return ok;
}

bool ScanProgressFile(const std::string& path, int& position, const ProgressEntrySink& onEntry,
                      std::string* error) {
    platform::InputFile file;
    bool whole = false;
    if (!OpenProgressFile(file, path, position, whole, error)) return false;
    if (!whole) return true;
    RecordSplitter<const ProgressEntrySink> split(onEntry);
    // A record cut short at the end (or by a read error) is dropped; those before it stay.
    return ReadBlocks(file, kProgressKey, split, error);
}

bool LoadProgressFile(const std::string& path, std::vector<ProgressEntry>& entries, int& position,
                      std::string* error) {
    entries.clear();
    platform::InputFile file;
    bool whole = false;
    if (!OpenProgressFile(file, path, position, whole, error)) return false;
    if (!whole) return true;
    entries.reserve(CountPlainBytes(file, 4, kProgressKey, char(kProgressRecordEnd)));
    platform::AdviseHugePages(entries.data(), entries.capacity() * sizeof(ProgressEntry));
    auto add = [&](std::string_view outline, std::string_view translation) {
        entries.push_back({std::string(outline), std::string(translation)});
    };
    RecordSplitter<decltype(add)> split(add);
    return ReadBlocks(file, kProgressKey, split, error);
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
