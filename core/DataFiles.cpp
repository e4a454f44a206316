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
constexpr std::size_t kSmallBlockSize = 4096;

// The bytes of a data file held in memory, read as the readers read a file.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
    std::ptrdiff_t Read(void* buffer, std::size_t size) {
        const std::size_t n = std::min(size, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return std::ptrdiff_t(n);
    }
    bool Seek(std::size_t offset) {
        pos_ = std::min(offset, bytes_.size());
        return true;
    }
    std::size_t Size() const { return bytes_.size(); }
    const std::string& Error() const { return error_; }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    std::string error_;  // memory is never unreadable
};

// The keystreams of the two kinds of file at their start, keyed once: each file's reading or
// writing starts from a copy.
const Rc4Cipher& WordListCipher() {
    static const Rc4Cipher cipher(kWordListKey);
    return cipher;
}
const Rc4Cipher& ProgressCipher() {
    static const Rc4Cipher cipher(kProgressKey);
    return cipher;
}

// Reads the rest of the file block by block, deciphering it as one stream from `start`.
// `consume` sees the plain bytes. False when the file cannot be read. `File` is
// platform::InputFile or MemoryFile.
template <typename File, typename Consume>
bool ReadBlocks(File& file, const Rc4Cipher& start, Consume&& consume, std::string* error) {
    Rc4Cipher cipher = start;
    // A file needs no block larger than itself, and a small one none but on the stack.
    const std::size_t blockSize = std::clamp<std::size_t>(file.Size(), 1, kBlockSize);
    char small[kSmallBlockSize];
    std::unique_ptr<char[]> large;
    char* block = small;
    if (blockSize > kSmallBlockSize) {
        large.reset(new char[blockSize]);
        block = large.get();
    }
    for (;;) {
        std::ptrdiff_t n = file.Read(block, blockSize);
        if (n < 0) {
            if (error) *error = file.Error();
            return false;
        }
        if (n == 0) return true;
        cipher.Crypt(block, std::size_t(n));
        consume(block, std::size_t(n));
    }
}

// How often `byte` occurs in the deciphered rest of the file, from `offset` on; the file is
// left at `offset` again. Sizes a result exactly before it is built, so that it is never
// grown by copying. 0 when the file cannot be read (the reading proper then tells why).
template <typename File>
std::size_t CountPlainBytes(File& file, std::size_t offset, const Rc4Cipher& start, char byte) {
    std::size_t count = 0;
    ReadBlocks(
        file, start,
        [&](const char* data, std::size_t size) {
            for (const void* at = std::memchr(data, byte, size); at;) {
                ++count;
                const std::size_t next = std::size_t(static_cast<const char*>(at) - data) + 1;
                at = std::memchr(data + next, byte, size - next);
            }
        },
        nullptr);
    file.Seek(offset);
    return count;
}

// What the writers write to: a file replaced whole, or bytes in memory.
class MemorySink {
public:
    explicit MemorySink(std::size_t expected) { bytes_.reserve(expected); }
    bool Write(std::string_view bytes) {
        bytes_.append(bytes);
        return true;
    }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

// Whether a reader sizes its result before building it: worth a second pass over a file of
// several blocks, whose result would otherwise be copied as it grows; not over a smaller one.
template <typename File>
bool NeedsSizing(const File& file) {
    return file.Size() > kBlockSize;
}

// Enciphers the bytes given to it under one keystream and hands them on a block at a time.
// `Sink` is platform::AtomicFile or MemorySink.
template <typename Sink>
class CipherWriter {
public:
    // `expected`: about how many bytes will be put; the buffer grows to its block size only for
    // a file that needs it.
    CipherWriter(Sink& file, const Rc4Cipher& start, std::size_t expected) : file_(file), cipher_(start) {
        buffer_.reserve(std::min(expected, kBufferSize));
    }
    void Put(std::string_view bytes) {
        while (!bytes.empty()) {
            const std::size_t n = std::min(bytes.size(), kBufferSize - buffer_.size());
            buffer_.append(bytes.substr(0, n));
            bytes.remove_prefix(n);
            if (buffer_.size() == kBufferSize) Flush();
        }
    }
    void Put(char c) { Put(std::string_view(&c, 1)); }
    // The field as it can be stored: without the two separator bytes.
    void PutField(std::string_view field) {
        static constexpr char kSeparators[] = {char(kProgressFieldEnd), char(kProgressRecordEnd)};
        const std::string_view separators(kSeparators, sizeof kSeparators);
        for (std::size_t at; (at = field.find_first_of(separators)) != std::string_view::npos;
             field.remove_prefix(at + 1))
            Put(field.substr(0, at));
        Put(field);
    }
    bool Flush() {
        cipher_.Crypt(buffer_);
        bool ok = file_.Write(buffer_);
        buffer_.clear();
        return ok;
    }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    Sink& file_;
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
        // The next separator of each kind at or after `pos`, looked for again only once passed.
        std::size_t fieldEnd = Find(data, size, 0, kProgressFieldEnd);
        std::size_t recordEnd = Find(data, size, 0, kProgressRecordEnd);
        std::size_t pos = 0;
        while (pos < size) {
            if (fieldEnd < pos) fieldEnd = Find(data, size, pos, kProgressFieldEnd);
            if (recordEnd < pos) recordEnd = Find(data, size, pos, kProgressRecordEnd);
            const std::size_t end = std::min(fieldEnd, recordEnd);
            if (end == size) {
                current_.append(data + pos, size - pos);
                return;
            }
            std::string_view field(data + pos, end - pos);
            if (!current_.empty()) {
                current_.append(field);
                field = current_;
            }
            if (end == fieldEnd) {
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
    // The position of the first `byte` at or after `from`; `size` when there is none.
    static std::size_t Find(const char* data, std::size_t size, std::size_t from, std::uint8_t byte) {
        const void* at = std::memchr(data + from, byte, size - from);
        return at ? std::size_t(static_cast<const char*>(at) - data) : size;
    }

    OnEntry& onEntry_;
    std::string first_;
    std::string current_;
};

// Reads the position at the start of an open progress file: false when it cannot be read;
// `whole` is false when it is too short to hold a position (nothing in it is whole).
template <typename File>
bool ReadProgressHead(File& file, int& position, bool& whole, std::string* error) {
    whole = false;
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

// The lines of a word list read from `file`.
template <typename File>
std::vector<std::string> ReadWordList(File& file) {
    std::vector<std::string> lines;
    if (NeedsSizing(file)) lines.reserve(CountPlainBytes(file, 0, WordListCipher(), '\n'));
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
    ReadBlocks(file, WordListCipher(), consume, nullptr);
    return lines;
}

// The bytes of a word list or a progress file before they are enciphered.
std::size_t PlainSize(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 2;
    return size;
}
std::size_t PlainSize(const std::vector<ProgressEntry>& entries) {
    std::size_t size = 0;
    for (const ProgressEntry& e : entries) size += e.outline.size() + e.translation.size() + 2;
    return size;
}

template <typename Sink>
bool PutWordList(Sink& sink, const std::vector<std::string>& lines) {
    CipherWriter<Sink> out(sink, WordListCipher(), PlainSize(lines));
    for (const std::string& line : lines) {
        out.Put(line);
        out.Put("\r\n");
    }
    return out.Flush();
}

template <typename Sink>
bool PutProgress(Sink& sink, const std::vector<ProgressEntry>& entries, int position) {
    std::string head;
    AppendLittleEndian32(head, std::uint32_t(position));
    sink.Write(head);
    CipherWriter<Sink> out(sink, ProgressCipher(), PlainSize(entries));
    for (const ProgressEntry& entry : entries) {
        out.PutField(entry.outline);
        out.Put(char(kProgressFieldEnd));
        out.PutField(entry.translation);
        out.Put(char(kProgressRecordEnd));
    }
    return out.Flush();
}

// The entries of an open progress file, one at a time; results as ScanProgressFile.
template <typename File>
bool ScanProgress(File& file, int& position, const ProgressEntrySink& onEntry, std::string* error) {
    bool whole = false;
    if (!ReadProgressHead(file, position, whole, error)) return false;
    if (!whole) return true;
    RecordSplitter<const ProgressEntrySink> split(onEntry);
    // A record cut short at the end (or by a read error) is dropped; those before it stay.
    return ReadBlocks(file, ProgressCipher(), split, error);
}

// The entries of an open progress file; results as LoadProgressFile.
template <typename File>
bool LoadProgress(File& file, std::vector<ProgressEntry>& entries, int& position, std::string* error) {
    bool whole = false;
    if (!ReadProgressHead(file, position, whole, error)) return false;
    if (!whole) return true;
    if (NeedsSizing(file)) entries.reserve(CountPlainBytes(file, 4, ProgressCipher(), char(kProgressRecordEnd)));
    platform::AdviseHugePages(entries.data(), entries.capacity() * sizeof(ProgressEntry));
    auto add = [&](std::string_view outline, std::string_view translation) {
        entries.push_back({std::string(outline), std::string(translation)});
    };
    RecordSplitter<decltype(add)> split(add);
    return ReadBlocks(file, ProgressCipher(), split, error);
}

// Opens `path` for a reader: false, with the reason in `error`, when it cannot be opened.
bool OpenDataFile(platform::InputFile& file, const std::string& path, std::string* error) {
    if (file.Open(path)) return true;
    if (error) *error = file.Error();
    return false;
}

}  // namespace

std::vector<std::string> ReadWordListFile(const std::string& path) {
    platform::InputFile file;
    if (!file.Open(path)) return {};
    return ReadWordList(file);
}

std::vector<std::string> ParseWordList(std::string_view fileBytes) {
    MemoryFile file(fileBytes);
    return ReadWordList(file);
}

bool WriteWordListFile(const std::string& path, const std::vector<std::string>& lines,
                       std::string* error) {
    platform::AtomicFile file(path);
    const bool ok = file.Open() && PutWordList(file, lines) && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

std::string EncodeWordList(const std::vector<std::string>& lines) {
    MemorySink sink(PlainSize(lines));
    PutWordList(sink, lines);
    return std::move(sink.Bytes());
}

bool WriteProgressFile(const std::string& path, const std::vector<ProgressEntry>& entries,
                       int position, std::string* error) {
    platform::AtomicFile file(path);
    const bool ok = file.Open() && PutProgress(file, entries, position) && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

std::string EncodeProgressFile(const std::vector<ProgressEntry>& entries, int position) {
    MemorySink sink(4 + PlainSize(entries));
    PutProgress(sink, entries, position);
    return std::move(sink.Bytes());
}

bool ScanProgressFile(const std::string& path, int& position, const ProgressEntrySink& onEntry,
                      std::string* error) {
    platform::InputFile file;
    return OpenDataFile(file, path, error) && ScanProgress(file, position, onEntry, error);
}

void ScanProgressBytes(std::string_view fileBytes, int& position, const ProgressEntrySink& onEntry) {
    MemoryFile file(fileBytes);
    ScanProgress(file, position, onEntry, nullptr);
}

bool LoadProgressFile(const std::string& path, std::vector<ProgressEntry>& entries, int& position,
                      std::string* error) {
    entries.clear();
    platform::InputFile file;
    return OpenDataFile(file, path, error) && LoadProgress(file, entries, position, error);
}

std::vector<ProgressEntry> ParseProgressFile(std::string_view fileBytes, int& position) {
    std::vector<ProgressEntry> entries;
    MemoryFile file(fileBytes);
    LoadProgress(file, entries, position, nullptr);
    return entries;
}

std::vector<ProgressEntry> ReadProgressFile(const std::string& path, int& position) {
    std::vector<ProgressEntry> entries;
    LoadProgressFile(path, entries, position);
    return entries;
}

std::int32_t ReadFileInt(const std::string& path) {
    platform::InputFile file;
    if (!file.Open(path)) return 0;
    char bytes[4];
    const std::ptrdiff_t got = file.Read(bytes, sizeof bytes);
    if (got < 0) return 0;
    return ParseFileInt(std::string_view(bytes, std::size_t(got)));
}

std::int32_t ParseFileInt(std::string_view fileBytes) {
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, fileBytes.data(), std::min(fileBytes.size(), sizeof bytes));
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
