// The MIDI keyboard's notes to strokes: however the same notes are cut into the library's
// batches, the driver makes the same strokes, each of real keys.
#include <memory>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/WindowRegistry.h"
#include "writers/CWriterMD.h"

namespace {

// A library that hands out the batches it is given, one per poll.
class Batches final : public Midi {
public:
    Batches() : Midi(0) {}
    void threadBegin() override {}
    void threadEnd() override {}
    bool wait(int) override { return false; }
    void interrupt() override {}
    unsigned poll(MidiEvent* buffer) override {
        std::copy(next.begin(), next.end(), buffer);
        const auto n = unsigned(next.size());
        next.clear();
        return n;
    }
    std::vector<MidiEvent> next;
};

std::vector<std::string> Strokes(const std::vector<MidiEvent>& events, std::string_view cuts) {
    auto* midi = new Batches;
    std::unique_ptr<CWriterMD> writer(NewWriter<CWriterMD>(platform::kNoWindow, std::unique_ptr<Midi>(midi)));
    fuzz::Pieces pieces(cuts);
    for (std::size_t at = 0; at < events.size();) {
        const std::size_t n = pieces.Next(events.size() - at);
        midi->next.assign(events.begin() + std::ptrdiff_t(at), events.begin() + std::ptrdiff_t(at + n));
        writer->Poll();
        at += n;
    }
    std::vector<std::string> strokes;
    TrackStroke stroke;
    while (writer->GetStroke(&stroke)) strokes.emplace_back(stroke.keys.begin(), stroke.keys.end());
    return strokes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Input input = fuzz::SplitInput(data, size);
    // Three bytes an event: half of them note-ons, half of those releases.
    std::vector<MidiEvent> events;
    std::size_t releases = 0;
    for (std::size_t i = 0; i + 3 <= input.bytes.size(); i += 3) {
        const auto s = std::uint8_t(input.bytes[i]), n = std::uint8_t(input.bytes[i + 1]),
                   v = std::uint8_t(input.bytes[i + 2]);
        const MidiEvent event{s & 0x80 ? s : 0x90, n & 0x7F, v < 128 ? 0 : v - 127};
        releases += event.status == 0x90 && event.velocity == 0;
        events.push_back(event);
    }
    const std::vector<std::string> whole = Strokes(events, {});
    fuzz::Check(Strokes(events, input.cuts) == whole, "strokes do not depend on how notes are batched");
    fuzz::Check(whole.size() <= releases, "a stroke ends with a release");
    for (const std::string& s : whole) {
        fuzz::Check(s[0] || s[1] || s[2], "a stroke has a key");
        fuzz::Check((std::uint8_t(s[0]) & 0xC0) == 0 && (std::uint8_t(s[2]) & 0x03) == 0,
                    "only keys 0 to 19 are played");
        fuzz::Check(!s[3] && !s[4] && !s[5], "a stroke has three key bytes");
    }
    return 0;
}
