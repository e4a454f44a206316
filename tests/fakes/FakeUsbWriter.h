#pragma once
// USB devices for tests, one of which plays a USB SG writer. Every request packet is checked
// against the protocol's packet and request tables, field by field; one that breaks them is
// recorded as a violation and not answered. A good request gets a 32-byte header ("SG", the
// request's sequence number, its action, zeros); a read of the open realtime file also the
// 8-byte records stored at the asked offset. The writer can stay silent, cut or delay its
// replies, refuse or stall writes, halt an endpoint and be unplugged. Installed as the USB back
// end while it lives.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/UsbDevice.h"

namespace fakes {

class FakeUsbWriter final : public platform::UsbBackend {
public:
    struct Request {
        std::uint32_t sequence;
        std::uint16_t action;
        std::uint32_t offset, count;
        std::string payload;  // up to the zero fill
        std::size_t size;
    };

    // The writer is at `path`; `others` are further devices present, in that order.
    explicit FakeUsbWriter(std::string path = "usb/1-2/vid_112b&pid_0001",
                           std::vector<std::string> others = {});
    ~FakeUsbWriter() override;

    // Stores a stroke in the realtime file.
    void Write(std::uint8_t k0, std::uint8_t k1, std::uint8_t k2);
    // Stores an 8-byte record as it is (bits 7-6 of the key bytes may be set).
    void StoreRecord(const std::string& record);
    void StoreStrokes(int count);  // count strokes of distinct keys
    void SetSilent(bool silent);
    void SilentAfter(int answers);  // answers that many more requests, then none
    void CutRepliesTo(std::size_t bytes);  // 0: whole replies
    void DelayReplies(int count, int ms);  // the next `count` replies come `ms` late
    void RefuseWrites(int count);          // the next `count` writes fail
    void StallWrites(bool stall);          // writes are never taken: each waits out its time
    // The endpoint stalls every transfer until its halt is cleared.
    void Halt(platform::UsbEndpoint endpoint);
    void Unplug();
    void PlugIn();
    // Unplugged now; plugged in once `searches` more device searches have found nothing.
    void PlugInAfter(int searches);
    // Opens of this path fail for `error`.
    void FailOpen(const std::string& path,
                  platform::UsbOpenError error = platform::UsbOpenError::Failed);
    // Called as each reply is handed over, with the request it answers and its record count.
    void OnReply(std::function<void(const Request&, std::size_t records)> handler);

    std::vector<Request> Requests() const;
    // What was wrong with each request that broke the tables (none: the driver kept to them).
    std::vector<std::string> Violations() const;
    // What happened at the device, in order: "cancel", "read cancelled", "read timed out",
    // "write cancelled", "write timed out", "clear halt in", "clear halt out".
    std::vector<std::string> Events() const;
    int ClearedHalts() const;
    // True once a read or a write is waiting at the device (false after timeoutMs).
    bool WaitUntilWaiting(int timeoutMs) const;
    int OpenDevices() const;

    std::vector<std::string> DevicePaths() override;
    std::unique_ptr<platform::UsbDevice> Open(const std::string& path,
                                              platform::UsbOpenError& error) override;

private:
    class Device;
    friend class Device;
    struct Reply {
        std::string bytes;
        std::int64_t readyAtMs;
        Request request;
        std::size_t records;
    };
    // What is wrong with a packet, by the tables; empty when nothing is.
    std::string CheckPacket(const std::string& packet, Request& request) const;
    platform::UsbResult Take(Device& device, const std::string& packet, int timeoutMs);
    platform::UsbResult Answer(Device& device, std::string& data, std::size_t max, int timeoutMs);
    Reply MakeReply(const Request& request);
    bool Halted(platform::UsbEndpoint endpoint) const;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    int waiting_ = 0;  // transfers blocked in a wait
    std::string path_;
    std::vector<std::string> others_;
    std::vector<std::pair<std::string, platform::UsbOpenError>> failingOpens_;
    std::vector<std::string> records_;
    std::vector<Request> requests_;
    std::vector<std::string> violations_;
    std::vector<std::string> events_;
    std::deque<Reply> replies_;
    std::function<void(const Request&, std::size_t)> onReply_;
    std::optional<std::uint32_t> lastSequence_;
    std::string openFile_;  // the file the writer has open; empty: none
    bool silent_ = false, plugged_ = true, stallWrites_ = false;
    bool haltIn_ = false, haltOut_ = false;
    int clearedHalts_ = 0;
    std::size_t cutTo_ = 0;
    int delayCount_ = 0, delayMs_ = 0;
    int refuse_ = 0;
    int plugInAfter_ = 0;
    int answersLeft_ = -1;  // -1: no limit
    int open_ = 0;
    int generation_ = 0;  // bumped by Unplug: devices opened before are gone
};

}  // namespace fakes
