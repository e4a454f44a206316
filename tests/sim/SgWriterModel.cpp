#include "tests/sim/SgWriterModel.h"

#include <algorithm>

#include "tests/sim/WriterSimulator.h"

namespace {

constexpr const char* kRealtimeName = "REALTIME.000";

}  // namespace

std::string SgReply(std::uint8_t sequence, std::string_view data, std::uint16_t action) {
    std::string reply(sg::kReplyHeaderSize, '\0');
    reply[0] = char(sg::kStartByte);
    reply[1] = char(sequence);
    sg::Put16(reply, 2, std::uint16_t(sg::kReplyHeaderSize + data.size() + 2));
    sg::Put16(reply, 4, action);
    sg::Put16(reply, 8, std::uint16_t(data.size()));
    reply += data;
    reply += std::string(2, '\0');
    SealReply(reply);
    return reply;
}

void SealReply(std::string& reply) {
    if (reply.size() < sg::kReplyHeaderSize) return;
    const std::string_view bytes(reply);
    sg::Put16(reply, 12, Crc16(bytes.substr(1, 11)));
    if (reply.size() >= sg::kReplyHeaderSize + 2) {
        const std::size_t end = reply.size() - 2;
        sg::Put16(reply, end, Crc16(bytes.substr(sg::kReplyHeaderSize, end - sg::kReplyHeaderSize)));
    }
}

std::string SgListingData(const std::vector<sg::FileEntry>& files) {
    // Volume details ahead of the entries, so that the first entry is at reply offset 46.
    std::string data(sg::kListingOffset - sg::kReplyHeaderSize, '\0');
    data.replace(0, 6, "STENO1");
    for (const sg::FileEntry& file : files) {
        std::string entry(sg::kListingEntrySize, '\0');
        entry.replace(0, std::min<std::size_t>(file.name.size(), 12), file.name.substr(0, 12));
        for (int i = 0; i < 4; ++i) entry[14 + i] = char((file.size >> (8 * i)) & 0xFF);
        data += entry;
    }
    return data;
}

SgWriterModel::SgWriterModel() { files_.push_back({kRealtimeName, {}}); }

void SgWriterModel::SetRealtimeStrokes(int count) {
    std::lock_guard lock(mutex_);
    files_[0].records.clear();
    for (int i = 0; i < count; ++i) {
        // Old strokes: every key of the first byte, numbered in the rest, so that a stroke
        // queued from the old part of the file is easy to recognise.
        files_[0].records += SgStrokeRecord(0xFF, std::uint8_t(i >> 8), std::uint8_t(i));
    }
}

void SgWriterModel::Write(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2) {
    std::lock_guard lock(mutex_);
    files_[0].records += SgStrokeRecord(k0, k1, k2);
}

int SgWriterModel::RealtimeStrokeCount() const {
    std::lock_guard lock(mutex_);
    return int(files_[0].records.size() / 4);
}

void SgWriterModel::SetNoRealtimeFile(bool none) {
    std::lock_guard lock(mutex_);
    noRealtimeFile_ = none;
}

void SgWriterModel::AddStoredFile(const std::string& name, int strokes) {
    std::lock_guard lock(mutex_);
    File file{name, {}};
    for (int i = 0; i < strokes; ++i) file.records += SgStrokeRecord(0x01, 0x02, std::uint8_t(i));
    files_.push_back(file);
}

void SgWriterModel::Restart() {
    std::lock_guard lock(mutex_);
    files_[0].records.clear();
    openFile_.clear();
}

void SgWriterModel::StartNewJob() {
    std::lock_guard lock(mutex_);
    files_[0].records.clear();
}

void SgWriterModel::SetRealtimeFileName(const std::string& name) {
    std::lock_guard lock(mutex_);
    files_[0].name = name;
}

void SgWriterModel::Inject(Fault fault, std::uint16_t action, int count) {
    std::lock_guard lock(mutex_);
    injections_.push_back({fault, action, count, false});
}

void SgWriterModel::InjectOnData(Fault fault, int count) {
    std::lock_guard lock(mutex_);
    injections_.push_back({fault, 0, count, true});
}

void SgWriterModel::ClearFaults() {
    std::lock_guard lock(mutex_);
    injections_.clear();
    wakesToIgnore_ = 0;
}

void SgWriterModel::IgnoreWakes(int count) {
    std::lock_guard lock(mutex_);
    wakesToIgnore_ = count;
}

std::vector<std::uint16_t> SgWriterModel::Actions() const {
    std::lock_guard lock(mutex_);
    return actions_;
}

std::vector<std::string> SgWriterModel::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> SgWriterModel::Errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

std::vector<std::pair<int, int>> SgWriterModel::Reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

int SgWriterModel::CountOf(std::uint16_t action) const {
    std::lock_guard lock(mutex_);
    return int(std::count(actions_.begin(), actions_.end(), action));
}

void SgWriterModel::Error(const std::string& what) { errors_.push_back(what); }

SgWriterModel::File* SgWriterModel::Find(const std::string& name) {
    for (File& file : files_) {
        if (file.name == name && !(noRealtimeFile_ && &file == &files_[0])) return &file;
    }
    return nullptr;
}

std::size_t SgWriterModel::Take(std::string_view pending, std::string& reply) {
    std::lock_guard lock(mutex_);
    if (pending.empty()) return 0;
    if (std::uint8_t(pending[0]) != sg::kStartByte) {
        // The driver clears the line with zero bytes before it wakes the writer; anything
        // else ahead of a request is a fault of the driver.
        const std::string_view stray = pending.substr(0, pending.find(char(sg::kStartByte)));
        if (stray.find_first_not_of('\0') != std::string_view::npos) {
            Error("stray bytes before a request: " + sim::Hex(std::string(stray)));
        }
        return stray.size();
    }
    if (pending.size() < sg::kRequestHeaderSize) return 0;
    const std::string_view head = pending.substr(0, sg::kRequestHeaderSize);
    if (sg::Get16(head, 16) != Crc16(head.substr(1, 15))) {
        Error("header checksum wrong: " + sim::Hex(std::string(head)));
        return 1;
    }
    const std::size_t length = sg::Get16(head, 2);
    if (length < sg::kRequestHeaderSize || (length > sg::kRequestHeaderSize && length < 21)) {
        Error("impossible length: " + sim::Hex(std::string(head)));
        return 1;
    }
    if (pending.size() < length) return 0;
    const std::string request(pending.substr(0, length));
    if (length > sg::kRequestHeaderSize &&
        sg::Get16(request, length - 2) != Crc16(std::string_view(request).substr(18, length - 20))) {
        Error("data checksum wrong: " + sim::Hex(request));
        return length;
    }
    reply = Answer(request);
    return length;
}

std::string SgWriterModel::Feed(std::string_view bytes) {
    pending_ += bytes;
    std::string out;
    for (;;) {
        std::string reply;
        const std::size_t used = Take(pending_, reply);
        if (used == 0) break;
        pending_.erase(0, used);
        out += reply;
    }
    return out;
}

std::string SgWriterModel::Answer(const std::string& request) {
    const std::uint8_t sequence = std::uint8_t(request[1]);
    const std::uint16_t action = sg::RequestAction(request);
    const std::uint16_t p1 = sg::Get16(request, 6), p2 = sg::Get16(request, 8),
                        p3 = sg::Get16(request, 10), p4 = sg::Get16(request, 12),
                        p5 = sg::Get16(request, 14);
    const std::string data = request.size() > 18 ? request.substr(18, request.size() - 20) : "";
    actions_.push_back(action);
    requests_.push_back(request);
    auto expect = [&](bool ok, const char* what) {
        if (!ok) Error(std::string(what) + ": " + sim::Hex(request));
        return ok;
    };

    switch (action) {
    case sg::Wake:
        expect(sequence == 0 && p1 == 0 && p2 == 0 && p3 == 0 && p4 == 0 && p5 == 0 &&
                   request.size() == 18,
               "Wake is not the template");
        if (wakesToIgnore_ > 0) {
            --wakesToIgnore_;
            return {};
        }
        return Deliver(action, SgReply(sequence, {}, action));
    case sg::ListFiles: {
        if (!expect(sequence == 1 && p1 == 0x41 && p2 <= 1 && p3 == 1 && p4 == 0 && p5 == 0 &&
                        data == "*",
                    "ListFiles is not the template")) {
            return {};
        }
        std::vector<sg::FileEntry> listing = ListingLocked();
        if (p2 == 1) {
            // Realtime: the realtime file first, when there is one.
            if (noRealtimeFile_) return Deliver(action, SgReply(sequence, {}, action));
        } else {
            std::rotate(listing.begin(), listing.begin() + (noRealtimeFile_ ? 0 : 1), listing.end());
        }
        return Deliver(action, SgReply(sequence, SgListingData(listing), action));
    }
    case sg::OpenFile:
        expect(sequence == 2 && p1 == 0x41 && p2 == 0 && p3 == 0 && p4 == 0 && p5 == 0 &&
                   std::uint8_t(request[3]) == 0,
               "OpenFile is not the template");
        if (expect(Find(data) != nullptr, "OpenFile names no file")) openFile_ = data;
        return Deliver(action, SgReply(sequence, {}, action));
    case sg::ReadRecords: {
        expect(p1 == 1 && p2 == 0 && p5 % 4 == 0 && p5 < 512 && request.size() == 18,
               "ReadRecords is not the template");
        const int first = p4 * 128 + p5 / 4;
        reads_.emplace_back(first, p3);
        std::string records;
        if (const File* file = Find(openFile_); expect(file != nullptr, "ReadRecords without a file")) {
            const std::size_t from = std::min(file->records.size(), std::size_t(first) * 4);
            records = file->records.substr(from, std::size_t(p3) * 4);
        }
        return Deliver(action, SgReply(sequence, records, action));
    }
    case sg::CloseFile:
        expect(sequence == 0 && p1 == 1 && p2 == 0 && p3 == 0 && p4 == 0 && p5 == 0 &&
                   request.size() == 18,
               "CloseFile is not the template");
        openFile_.clear();
        return Deliver(action, SgReply(sequence, {}, action));
    case sg::EndRealtime:
    case sg::Disconnect:
        expect(sequence == (action == sg::EndRealtime ? 2 : 0) &&
                   p1 == (action == sg::EndRealtime ? 0 : 1) && p2 == 0 && p3 == 0 && p4 == 0 &&
                   p5 == 0 && request.size() == 18,
               "EndRealtime/Disconnect is not the template");
        return Deliver(action, SgReply(sequence, {}, action));
    default:
        Error("unknown action: " + sim::Hex(request));
        return {};
    }
}

std::vector<sg::FileEntry> SgWriterModel::ListingLocked() const {
    std::vector<sg::FileEntry> listing;
    for (std::size_t i = noRealtimeFile_ ? 1 : 0; i < files_.size(); ++i) {
        listing.push_back({files_[i].name, std::uint32_t(files_[i].records.size())});
    }
    return listing;
}

std::string SgWriterModel::Deliver(std::uint16_t action, std::string reply) {
    const bool hasData = reply.size() > sg::kReplyHeaderSize + 2;
    auto it = std::find_if(injections_.begin(), injections_.end(), [&](const Injection& i) {
        return (i.action == 0 || i.action == action) && (!i.dataOnly || hasData);
    });
    if (it == injections_.end()) return reply;
    const Fault fault = it->fault;
    if (it->count > 0 && --it->count == 0) injections_.erase(it);
    switch (fault) {
    case Fault::None:
        return reply;
    case Fault::Silent:
        return {};
    case Fault::BadCrc:
        reply[reply.size() > 16 ? reply.size() - 1 : 12] ^= 0x5A;
        return reply;
    case Fault::CutShort:
        return reply.substr(0, reply.size() / 2);
    case Fault::Garbage:
        return std::string(40, char(0xA5));
    case Fault::Twice:
        return reply + reply;
    }
    return reply;
}
