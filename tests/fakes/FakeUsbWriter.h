#pragma once
// USB devices for tests, one of which plays a USB SG writer: it takes "SG" request packets and
// answers each with a 32-byte header (the letters, the sequence number and the action), a read
// with the 8-byte records stored at the asked offset. It can stay silent, cut its replies,
// refuse writes and be unplugged. Installed as the USB back end while it lives.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
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
    void RefuseWrites(int count);          // the next `count` writes fail
    void Unplug();
    void PlugIn();
    // Unplugged now; plugged in once `searches` more device searches have found nothing.
    void PlugInAfter(int searches);
    // Opens of these paths fail.
    void FailOpen(const std::string& path);

    std::vector<Request> Requests() const;
    int OpenDevices() const;

    std::vector<std::string> DevicePaths() override;
    std::unique_ptr<platform::UsbDevice> Open(const std::string& path) override;

private:
    class Device;
    friend class Device;
    bool Take(const std::string& packet);                 // a write reaching the writer
    std::string Reply(std::size_t max, int timeoutMs);   // a read
    std::string Answer(const Request& request) const;

    mutable std::mutex lock_;
    std::condition_variable replied_;
    std::string path_;
    std::vector<std::string> others_;
    std::vector<std::string> failingOpens_;
    std::vector<std::string> records_;
    std::vector<Request> requests_;
    std::deque<std::string> replies_;
    bool silent_ = false, plugged_ = true;
    std::size_t cutTo_ = 0;
    int refuse_ = 0;
    int plugInAfter_ = 0;
    int answersLeft_ = -1;  // -1: no limit
    int open_ = 0;
    int generation_ = 0;  // bumped by Unplug: devices opened before are gone
};

}  // namespace fakes
