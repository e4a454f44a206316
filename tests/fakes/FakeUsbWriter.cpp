#include "tests/fakes/FakeUsbWriter.h"

#include <algorithm>
#include <chrono>

#include "core/ByteOrder.h"

namespace fakes {

namespace {
std::uint32_t U32(const std::string& s, std::size_t at) {
    return ReadLittleEndian32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
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
    bool Write(const std::string& data, int) override {
        return isWriter_ && !Gone() && writer_.Take(data);
    }
    std::string Read(std::size_t max, int timeoutMs) override {
        if (!isWriter_ || Gone()) return {};
        return writer_.Reply(max, timeoutMs);
    }
    bool Gone() const override {
        std::lock_guard<std::mutex> guard(writer_.lock_);
        return !writer_.plugged_ || writer_.generation_ != generation_;
    }

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

void FakeUsbWriter::RefuseWrites(int count) {
    std::lock_guard<std::mutex> guard(lock_);
    refuse_ = count;
}

void FakeUsbWriter::Unplug() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        plugged_ = false;
        ++generation_;
        replies_.clear();
    }
    replied_.notify_all();
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

void FakeUsbWriter::FailOpen(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    failingOpens_.push_back(path);
}

std::vector<FakeUsbWriter::Request> FakeUsbWriter::Requests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
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

std::unique_ptr<platform::UsbDevice> FakeUsbWriter::Open(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    if (std::count(failingOpens_.begin(), failingOpens_.end(), path)) return nullptr;
    const bool isWriter = path == path_;
    if (isWriter && (!plugged_ || open_ > 0)) return nullptr;  // one claim of interface 0
    ++open_;
    return std::make_unique<Device>(*this, isWriter, generation_);
}

bool FakeUsbWriter::Take(const std::string& packet) {
    std::unique_lock<std::mutex> lock(lock_);
    if (refuse_ > 0) {
        --refuse_;
        return false;
    }
    if (packet.size() < 32 || packet.compare(0, 2, "SG") != 0 || packet.size() % 16 != 0)
        return true;  // taken, but no request a writer answers
    Request request{U32(packet, 2), std::uint16_t(std::uint8_t(packet[6]) | std::uint8_t(packet[7]) << 8),
                    U32(packet, 12), U32(packet, 16), packet.substr(32), packet.size()};
    request.payload.erase(request.payload.find_last_not_of('\0') + 1);
    requests_.push_back(request);
    if (answersLeft_ == 0) silent_ = true;
    if (answersLeft_ > 0) --answersLeft_;
    if (!silent_) {
        std::string reply = Answer(request);
        if (cutTo_ && reply.size() > cutTo_) reply.resize(cutTo_);
        replies_.push_back(reply);
    }
    lock.unlock();
    replied_.notify_all();
    return true;
}

std::string FakeUsbWriter::Answer(const Request& request) const {
    std::string reply = "SG";
    AppendLittleEndian32(reply, request.sequence);
    reply += char(request.action);
    reply += char(request.action >> 8);
    reply.resize(32, '\0');
    if (request.action == 0x0013) {
        const std::size_t first = request.offset / 8;
        const std::size_t count = std::min<std::uint32_t>(request.count, 512) / 8;
        for (std::size_t i = first; i < records_.size() && i < first + count; ++i)
            reply += records_[i];
    }
    return reply;
}

std::string FakeUsbWriter::Reply(std::size_t max, int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    replied_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return !replies_.empty() || !plugged_; });
    if (replies_.empty()) return {};
    std::string reply = replies_.front();
    replies_.pop_front();
    if (reply.size() > max) reply.resize(max);
    return reply;
}

}  // namespace fakes
