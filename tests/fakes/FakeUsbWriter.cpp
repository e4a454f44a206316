#include "tests/fakes/FakeUsbWriter.h"

#include <algorithm>
#include <chrono>

#include "core/ByteOrder.h"

namespace fakes {

namespace {

using platform::UsbResult;

constexpr std::uint16_t kContact = 0x0001, kOpenFile = 0x0011, kCloseFile = 0x0012, kRead = 0x0013;
constexpr std::size_t kHeader = 32;

std::uint32_t U32(const std::string& s, std::size_t at) {
    return ReadLittleEndian32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

}  // namespace

class FakeUsbWriter::Device final : public platform::UsbDevice {
public:
    Device(FakeUsbWriter& writer, bool isWriter, int generation)
        : writer_(writer), isWriter_(isWriter), generation_(generation) {}
    ~Device() override {
        std::lock_guard<std::mutex> guard(writer_.lock_);
        --writer_.open_;
    }
    UsbResult Write(const std::string& data, int timeoutMs) override {
        if (!isWriter_) return UsbResult::Failed;
        return writer_.Take(*this, data, timeoutMs);
    }
    UsbResult Read(std::string& data, std::size_t max, int timeoutMs) override {
        data.clear();
        if (!isWriter_) return UsbResult::TimedOut;
        return writer_.Answer(*this, data, max, timeoutMs);
    }
    bool ClearHalt(platform::UsbEndpoint endpoint) override {
        std::lock_guard<std::mutex> guard(writer_.lock_);
        if (GoneLocked()) return false;
        bool& halted = endpoint == platform::UsbEndpoint::In ? writer_.haltIn_ : writer_.haltOut_;
        halted = false;
        ++writer_.clearedHalts_;
        writer_.events_.push_back(endpoint == platform::UsbEndpoint::In ? "clear halt in" : "clear halt out");
        return true;
    }
    void Cancel() override {
        {
            std::lock_guard<std::mutex> guard(writer_.lock_);
            cancelled_ = true;
            writer_.events_.push_back("cancel");
        }
        writer_.changed_.notify_all();
    }
    void Resume() override {
        std::lock_guard<std::mutex> guard(writer_.lock_);
        cancelled_ = false;
    }
    bool Gone() const override {
        std::lock_guard<std::mutex> guard(writer_.lock_);
        return GoneLocked();
    }
    // With the writer's lock held.
    bool GoneLocked() const { return !writer_.plugged_ || writer_.generation_ != generation_; }
    bool cancelled_ = false;  // guarded by the writer's lock

private:
    FakeUsbWriter& writer_;
    bool isWriter_;
    int generation_;
};

FakeUsbWriter::FakeUsbWriter(std::string path, std::vector<std::string> others)
    : path_(std::move(path)), others_(std::move(others)) {
    platform::InstallUsbBackend(this);
}

FakeUsbWriter::~FakeUsbWriter() { platform::InstallUsbBackend(nullptr); }

void FakeUsbWriter::Write(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2) {
    // The 24 key bits, most significant first, six to a byte in bits 5-0; then 4 bytes of the
    // writer's own.
    const std::uint32_t keys = std::uint32_t(k0) << 16 | std::uint32_t(k1) << 8 | k2;
    std::string record;
    for (int shift = 18; shift >= 0; shift -= 6) record += char((keys >> shift) & 0x3F);
    StoreRecord(record + std::string("\xA5\xA5\xA5\xA5", 4));
}

void FakeUsbWriter::StoreRecord(const std::string& record) {
    std::lock_guard<std::mutex> guard(lock_);
    records_.push_back(record);
}

void FakeUsbWriter::StoreStrokes(int count) {
    for (int i = 0; i < count; ++i) Write(0x20 >> (i % 6), std::uint8_t(i >> 2), std::uint8_t(i));
}

void FakeUsbWriter::SetSilent(bool silent) {
    std::lock_guard<std::mutex> guard(lock_);
    silent_ = silent;
}

void FakeUsbWriter::SilentAfter(int answers) {
    std::lock_guard<std::mutex> guard(lock_);
    answersLeft_ = answers;
}

void FakeUsbWriter::CutRepliesTo(std::size_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    cutTo_ = bytes;
}

void FakeUsbWriter::DelayReplies(int count, int ms) {
    std::lock_guard<std::mutex> guard(lock_);
    delayCount_ = count;
    delayMs_ = ms;
}

void FakeUsbWriter::RefuseWrites(int count) {
    std::lock_guard<std::mutex> guard(lock_);
    refuse_ = count;
}

void FakeUsbWriter::StallWrites(bool stall) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stallWrites_ = stall;
    }
    changed_.notify_all();
}

void FakeUsbWriter::Halt(platform::UsbEndpoint endpoint) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        (endpoint == platform::UsbEndpoint::In ? haltIn_ : haltOut_) = true;
    }
    changed_.notify_all();
}

void FakeUsbWriter::Unplug() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        plugged_ = false;
        ++generation_;
        replies_.clear();
        openFile_.clear();  // the writer lost its power
    }
    changed_.notify_all();
}

void FakeUsbWriter::PlugIn() {
    std::lock_guard<std::mutex> guard(lock_);
    plugged_ = true;
}

void FakeUsbWriter::PlugInAfter(int searches) {
    Unplug();
    std::lock_guard<std::mutex> guard(lock_);
    plugInAfter_ = searches;
}

void FakeUsbWriter::FailOpen(const std::string& path, platform::UsbOpenError error) {
    std::lock_guard<std::mutex> guard(lock_);
    failingOpens_.emplace_back(path, error);
}

void FakeUsbWriter::OnReply(std::function<void(const Request&, std::size_t)> handler) {
    std::lock_guard<std::mutex> guard(lock_);
    onReply_ = std::move(handler);
}

std::vector<FakeUsbWriter::Request> FakeUsbWriter::Requests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

std::vector<std::string> FakeUsbWriter::Violations() const {
    std::lock_guard<std::mutex> guard(lock_);
    return violations_;
}

std::vector<std::string> FakeUsbWriter::Events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

int FakeUsbWriter::ClearedHalts() const {
    std::lock_guard<std::mutex> guard(lock_);
    return clearedHalts_;
}

bool FakeUsbWriter::WaitUntilWaiting(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return waiting_ > 0; });
}

int FakeUsbWriter::OpenDevices() const {
    std::lock_guard<std::mutex> guard(lock_);
    return open_;
}

std::vector<std::string> FakeUsbWriter::DevicePaths() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!plugged_ && plugInAfter_ > 0 && --plugInAfter_ == 0) plugged_ = true;
    std::vector<std::string> paths = others_;
    if (plugged_) paths.push_back(path_);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::unique_ptr<platform::UsbDevice> FakeUsbWriter::Open(const std::string& path,
                                                         platform::UsbOpenError& error) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [failing, why] : failingOpens_) {
        if (failing != path) continue;
        error = why;
        return nullptr;
    }
    const bool isWriter = path == path_;
    if (isWriter && !plugged_) {
        error = platform::UsbOpenError::NotFound;
        return nullptr;
    }
    if (isWriter && open_ > 0) {  // one claim of interface 0
        error = platform::UsbOpenError::Busy;
        return nullptr;
    }
    ++open_;
    error = platform::UsbOpenError::None;
    return std::make_unique<Device>(*this, isWriter, generation_);
}

// The packet table: "SG", the sequence number, the action, the field at 8 (16 for open file),
// the read's offset and count, twelve zero bytes, then only an open file's name, zero-filled to
// a multiple of 16.
std::string FakeUsbWriter::CheckPacket(const std::string& packet, Request& request) const {
    if (packet.size() < kHeader || packet.size() % 16 != 0)
        return "a packet of " + std::to_string(packet.size()) + " bytes";
    if (packet.compare(0, 2, "SG") != 0) return "no \"SG\" at the start";
    request = {U32(packet, 2), std::uint16_t(std::uint8_t(packet[6]) | std::uint8_t(packet[7]) << 8),
               U32(packet, 12), U32(packet, 16), packet.substr(kHeader), packet.size()};
    request.payload.erase(std::min(request.payload.find('\0'), request.payload.size()));
    const std::uint16_t a = request.action;
    if (a != kContact && a != kOpenFile && a != kCloseFile && a != kRead)
        return "action " + Hex(a);
    // A new writer object counts from 0; otherwise every packet taken uses up one number.
    if (lastSequence_ && request.sequence != *lastSequence_ + 1 && request.sequence != 0)
        return "sequence " + std::to_string(request.sequence) + " after " + std::to_string(*lastSequence_);
    const std::uint32_t field8 = U32(packet, 8);
    if (field8 != (a == kOpenFile ? 16u : 0u)) return "field at 8 is " + Hex(field8) + " for action " + Hex(a);
    if (a == kRead) {
        if (request.offset % 8 != 0) return "read offset " + std::to_string(request.offset) + " is no record's";
        if (request.count > 512) return "read of " + std::to_string(request.count) + " bytes";
    } else if (request.offset != 0 || request.count != 0) {
        return "offset or count set for action " + Hex(a);
    }
    if (packet.find_first_not_of('\0', 20) < kHeader) return "bytes 20-31 are not zero";
    if (a != kOpenFile) {
        if (packet.size() != kHeader) return "a payload for action " + Hex(a);
        return {};
    }
    const std::string& name = request.payload;
    if (name.empty()) return "open file without a name";
    for (const char c : name)
        if (std::uint8_t(c) < 0x21 || std::uint8_t(c) > 0x7E) return "file name \"" + name + "\" is not ASCII";
    if (packet.find_first_not_of('\0', kHeader + name.size()) != std::string::npos)
        return "bytes after the file name";
    if (packet.size() != kHeader + (name.size() + 15) / 16 * 16) return "zero fill of 16 bytes or more";
    return {};
}

bool FakeUsbWriter::Halted(platform::UsbEndpoint endpoint) const {
    return endpoint == platform::UsbEndpoint::In ? haltIn_ : haltOut_;
}

platform::UsbResult FakeUsbWriter::Take(Device& device, const std::string& packet, int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // A stalled writer takes nothing: the write waits out its time, unless cancelled.
    while (stallWrites_ && !device.cancelled_ && !device.GoneLocked() && !haltOut_) {
        ++waiting_;
        changed_.notify_all();
        const bool timedOut = changed_.wait_until(lock, deadline) == std::cv_status::timeout;
        --waiting_;
        if (timedOut) {
            events_.push_back("write timed out");
            return UsbResult::TimedOut;
        }
    }
    if (device.GoneLocked()) return UsbResult::Gone;
    if (device.cancelled_) {
        events_.push_back("write cancelled");
        return UsbResult::Cancelled;
    }
    if (haltOut_) return UsbResult::Stalled;
    if (refuse_ > 0) {
        --refuse_;
        return UsbResult::Failed;
    }
    Request request{};
    const std::string wrong = CheckPacket(packet, request);
    if (packet.size() >= 6 && packet.compare(0, 2, "SG") == 0) lastSequence_ = U32(packet, 2);
    if (!wrong.empty()) {
        violations_.push_back(wrong);
        return UsbResult::Done;  // taken by the device, but no request it answers
    }
    requests_.push_back(request);
    if (answersLeft_ == 0) silent_ = true;
    if (answersLeft_ > 0) --answersLeft_;
    if (!silent_) replies_.push_back(MakeReply(request));
    lock.unlock();
    changed_.notify_all();
    return UsbResult::Done;
}

FakeUsbWriter::Reply FakeUsbWriter::MakeReply(const Request& request) {
    std::string reply = "SG";
    AppendLittleEndian32(reply, request.sequence);
    reply += char(request.action);
    reply += char(request.action >> 8);
    reply.resize(kHeader, '\0');
    std::size_t records = 0;
    if (request.action == kOpenFile) openFile_ = request.payload;
    if (request.action == kCloseFile) openFile_.clear();
    if (request.action == kRead && openFile_ == "REALTIME.000") {
        const std::size_t first = request.offset / 8;
        const std::size_t count = request.count / 8;
        for (std::size_t i = first; i < records_.size() && i < first + count; ++i, ++records)
            reply += records_[i];
    }
    if (cutTo_ && reply.size() > cutTo_) {
        reply.resize(cutTo_);
        records = reply.size() > kHeader ? (reply.size() - kHeader) / 8 : 0;
    }
    std::int64_t ready = NowMs();
    if (delayCount_ > 0) {
        --delayCount_;
        ready += delayMs_;
    }
    // Replies leave in the order of their requests.
    if (!replies_.empty()) ready = std::max(ready, replies_.back().readyAtMs);
    return {reply, ready, request, records};
}

platform::UsbResult FakeUsbWriter::Answer(Device& device, std::string& data, std::size_t max,
                                          int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (device.GoneLocked()) return UsbResult::Gone;
        if (device.cancelled_) {
            events_.push_back("read cancelled");
            return UsbResult::Cancelled;
        }
        if (haltIn_) return UsbResult::Stalled;
        const std::int64_t now = NowMs();
        if (!replies_.empty() && replies_.front().readyAtMs <= now) break;
        auto until = deadline;
        if (!replies_.empty())
            until = std::min(until, std::chrono::steady_clock::now() +
                                        std::chrono::milliseconds(replies_.front().readyAtMs - now));
        ++waiting_;
        changed_.notify_all();
        const bool timedOut = changed_.wait_until(lock, until) == std::cv_status::timeout;
        --waiting_;
        if (timedOut && std::chrono::steady_clock::now() >= deadline) {
            events_.push_back("read timed out");
            return UsbResult::TimedOut;
        }
    }
    Reply reply = std::move(replies_.front());
    replies_.pop_front();
    data = reply.bytes.substr(0, max);
    auto handler = onReply_;
    lock.unlock();
    if (handler) handler(reply.request, reply.records);
    return UsbResult::Done;
}

}  // namespace fakes
