#include "writers/CWriterGJ.h"

#include "writers/GrandjeanProtocol.h"

namespace {

constexpr int kIdleWaitMs = 100;  // the wait for a stroke to begin, and the pause that ends one

}  // namespace

CWriterGJ::~CWriterGJ() { StopReaderThread(); }

void CWriterGJ::Poll() {
    grandjean::KeySet keys;
    bool sawKey = false;  // a character other than line noise came
    const StrokeEnd end = ReadStroke(kIdleWaitMs, [&](std::uint8_t byte) {
        if (byte == grandjean::kStrokeEnd) return true;
        sawKey = sawKey || !grandjean::IsNoise(byte);
        keys.Add(byte);
        return false;
    });
    // Silence ends a stroke too, but not one of nothing but line noise.
    if (end == StrokeEnd::Byte || (end == StrokeEnd::Pause && sawKey)) {
        const Stroke k = keys.ToStroke();
        AddStroke(k[0], k[1], k[2]);
    }
}
