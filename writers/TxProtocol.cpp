#include "writers/TxProtocol.h"

namespace tx {

void AddKeyBits(std::uint8_t b, Keys& keys) {
    const unsigned bits = b & 0x3F;
    switch (b >> 6) {
        case 0:
            for (int j = 0; j < 6; ++j)
                if (bits & (1u << j)) keys[0] |= std::uint8_t(0x20 >> j);
            break;
        case 1:
            for (int j = 0; j < 6; ++j)
                if (bits & (1u << j)) keys[1] |= std::uint8_t(0x80 >> j);
            break;
        case 2:
            if (bits & 0x01) keys[1] |= 0x02;
            if (bits & 0x02) keys[1] |= 0x01;
            for (int j = 2; j < 6; ++j)
                if (bits & (1u << j)) keys[2] |= std::uint8_t(0x80 >> (j - 2));
            break;
        default:
            for (int j = 0; j < 4; ++j)
                if (bits & (1u << j)) keys[2] |= std::uint8_t(0x08 >> j);
            if (bits & 0x10) keys[0] |= 0x40;  // the number bar; bit 5 carries no key
            break;
    }
}

void StrokeGatherer::Flush(std::vector<Keys>& done) {
    if ((pending_[0] | pending_[1] | pending_[2]) == 0) return;
    done.push_back(pending_);
    pending_ = {};
}

void StrokeGatherer::Take(std::uint8_t b, std::vector<Keys>& done) {
    if (b == 0x00) {
        Flush(done);
        return;
    }
    if (b == 0x40 || b == 0x80) {
        if (lastByte_ != 0) Flush(done);
        pending_ = kSeparatorStroke;
        Flush(done);
        return;
    }
    if (lastByte_ != 0 && (b & 0xC0) <= (lastByte_ & 0xC0)) Flush(done);
    lastByte_ = b;
    AddKeyBits(b, pending_);
}

}  // namespace tx
