#include "writers/CWriterTR.h"

#include "core/AppSettings.h"
#include "platform/HidDevices.h"

namespace {

constexpr int kIdleMs = 500;  // strokes come through the library's thread, not this one
constexpr int kWatchMs = 1000;
constexpr int kNotesRecordSize = 8;
constexpr std::uint16_t kTrealVendorId = 0x0DC6;
constexpr std::uint16_t kTrealProductId = 1;
// The file system's bytes, as the status line is shown.
constexpr const char* kDeviceText = "Tr\xC3\xA9" "al keyboard";

std::atomic<CWriterTR*> currentWriter{nullptr};

// The keySet bit set by each image bit, image bit 39 (report byte 1, 0x80) first down to bit 0
// (report byte 5, 0x01); -1 adds nothing. Columns: layouts 0 and 2-8, layout 1, layouts 9, 10,
// 12 and 13, layout 11.
constexpr signed char kKeyBits[40][4] = {
    {19, 16, 39, 38}, {17, 14, 36, 35}, {15, 12, 33, 32}, {12, 11, 28, 30},
    {8, 9, 22, 27},   {6, 7, 19, 24},   {4, 5, 16, 21},   {2, 3, 13, 18},
    {12, 11, 29, 30}, {9, 10, 23, 28},  {7, 8, 20, 25},   {5, 6, 17, 22},
    {3, 4, 14, 19},   {1, 2, 11, 16},   {-1, 20, 44, 44}, {21, 18, 42, 41},
    {22, -1, 18, 23}, {22, -1, 15, 20}, {22, -1, 12, 17}, {-1, 21, 45, 45},
    {21, 19, 42, 42}, {20, 17, 40, 39}, {18, 15, 37, 36}, {16, 13, 34, 33},
    {22, -1, 46, -1}, {22, -1, 43, 43}, {22, -1, 41, 40}, {22, -1, 38, 37},
    {22, -1, 35, 34}, {22, -1, 30, 31}, {22, -1, 24, 29}, {22, -1, 21, 26},
    {-1, -1, -1, -1}, {-1, -1, -1, -1}, {0, 1, 10, 15},   {14, -1, 32, 14},
    {13, -1, 31, 13}, {-1, -1, 27, 12}, {11, -1, 26, 11}, {10, -1, 25, 10},
};

int Column(int layout) {
    if (layout == 11) return 3;
    if (layout == 1) return 1;
    return layout < 9 ? 0 : 2;
}

}  // namespace

CWriterTR::Library CWriterTR::library = {OpenTrealKeyboard, CloseTrealKeyboard};

extern "C" void TrealKeyboardCallback(int code, int value, int index) {
    if (CWriterTR* writer = currentWriter.load()) writer->OnKeyEvent(code, value, index);
}

CWriterTR::CWriterTR(platform::WindowHandle owner) : CWriter(owner) { currentWriter = this; }

CWriterTR::~CWriterTR() {
    // The reader thread may be opening the keyboard again: it ends first.
    StopReaderThread();
    library.close();
    CWriterTR* self = this;
    currentWriter.compare_exchange_strong(self, nullptr);
}

int CWriterTR::KeyBit(int layout, int reportByte, std::uint8_t mask) {
    if (reportByte < 1 || reportByte > 5) return -1;
    for (int bit = 0; bit < 8; ++bit)
        if (mask == (0x80 >> bit)) return kKeyBits[(reportByte - 1) * 8 + bit][Column(layout)];
    return -1;
}

void CWriterTR::Start(unsigned argument) {
    if (mode == kModeNotesFolder) {
        CWriter::Start(argument);
        return;
    }
    if (mode == kModeNotesCable) return;
    CreateReaderThread();
    open_ = watching_ = false;
    SetStatus(ConnectionState::Connecting);
    for (;;) {
        const Presence present = LookForKeyboard();
        if (library.open(TrealKeyboardCallback) != 0) {
            open_ = watching_ = true;
            openedInstances_ = present.instances;
            break;
        }
        SetStatus(ConnectionState::Unavailable, present.reason);
        if (!AskRetry()) break;
        SetStatus(ConnectionState::Connecting);
    }
    // Without a keyboard the writer simply delivers nothing.
    ResumeReaderThread();
}

CWriterTR::Presence CWriterTR::LookForKeyboard() {
    Presence presence;
    bool readable = false;
    for (const platform::HidNode& node : platform::CurrentHidNodes().Find(kTrealVendorId, kTrealProductId)) {
        presence.instances += node.instance + " ";
        readable |= node.readable;
    }
    if (presence.instances.empty())
        presence.reason = "not found";
    else if (!readable)
        presence.reason = "access denied: the udev rule 70-treal-keyboard.rules is missing (see README)";
    else
        presence.reason = "cannot be opened";
    return presence;
}

void CWriterTR::SetStatus(ConnectionState state, std::string reason, bool again) {
    SetConnectionStatus(state, kDeviceText, std::move(reason), again);
}

void CWriterTR::Poll() {
    if (!watching_) {
        PauseMs(kIdleMs);
        return;
    }
    if (!PauseMs(kWatchMs)) return;
    const Presence present = LookForKeyboard();
    if (open_) {
        if (present.instances == openedInstances_) return;
        // Unplugged, or unplugged and back: the library's reader ended with the old device.
        library.close();
        open_ = false;
        SetStatus(ConnectionState::Gone);
    }
    if (library.open(TrealKeyboardCallback) == 0) {
        // Not found is what Gone says already; a keyboard that is back but cannot be read says why.
        SetStatus(ConnectionState::Gone, present.instances.empty() ? std::string() : present.reason);
        return;
    }
    open_ = true;
    openedInstances_ = present.instances;
    SetStatus(ConnectionState::Connected, {}, true);
}

void CWriterTR::ReadStrokes(int first, int count) {
    if (mode != kModeNotesFolder) return;
    ReadNotesFile(std::int64_t(first) * kNotesRecordSize, std::int64_t(count) * kNotesRecordSize);
    DecodeBuffer();
}

void CWriterTR::DecodeBuffer() {
    static const WriterTime kNoTime{};
    while (receiveBuffer.size() >= kNotesRecordSize) {
        const auto r0 = std::uint8_t(receiveBuffer[0]);
        const auto r1 = std::uint8_t(receiveBuffer[1]);
        const auto r2 = std::uint8_t(receiveBuffer[2]);
        // The little-endian 24-bit r2 r1 r0, rotated right by 2 bits.
        AddStroke(std::uint8_t((r0 & 3) << 6 | r2 >> 2), std::uint8_t((r2 & 3) << 6 | r1 >> 2),
                  std::uint8_t((r1 & 3) << 6 | r0 >> 2), kNoTime.data());
        ++strokeIndex;
        receiveBuffer.erase(0, kNotesRecordSize);
    }
}

int CWriterTR::OnKeyEvent(int code, int value, int index) {
    const int layout = GetSettings().keyboardLayout;
    if (code == kTrealAllReleased) {
        if (keySet != 0) QueueKeys(keySet, layout);
        keySet = 0;
        return 0;
    }
    // Only report bytes 1 to 5 carry keys.
    if (index < 1 || index > 5) return 0;
    for (int bit = 0; bit < 8; ++bit) {
        const auto mask = std::uint8_t(0x80 >> bit);
        if (!(value & mask)) continue;
        const int keyBit = KeyBit(layout, index, mask);
        if (keyBit >= 0) keySet |= std::uint64_t(1) << keyBit;
    }
    return 0;
}

void CWriterTR::QueueKeys(std::uint64_t keys, int layout) {
    auto byte = [keys](int shift) { return std::uint8_t(keys >> shift); };
    if (layout < 9)
        AddStroke(byte(16), byte(8), byte(0));
    else
        AddStroke(byte(40), byte(32), byte(24), nullptr, byte(16), byte(8), byte(0));
}
