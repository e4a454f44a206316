#include "app/ShadowDrop.h"

#include <algorithm>

namespace {
constexpr int kStrokeBits = 8 * kStrokeSize;
constexpr int kNumberBarBit = 1;
}  // namespace

bool TestBit(const std::string& bits, int i) {
    if (i < 0 || std::size_t(i / 8) >= bits.size()) return false;
    return (static_cast<unsigned char>(bits[std::size_t(i / 8)]) & (0x80u >> (i % 8))) != 0;
}

void ToggleBit(std::string& bits, int i) {
    bits[std::size_t(i / 8)] = char(static_cast<unsigned char>(bits[std::size_t(i / 8)]) ^ (0x80u >> (i % 8)));
}

std::vector<std::string> StrokeAlternatives(const std::string& stroke, const Outline& shadowMask,
                                            const Outline& dropMask) {
    std::vector<std::string> alternatives{stroke};
    for (int i = 0; i < kStrokeBits; ++i) {
        if (i == kNumberBarBit) continue;
        const bool pressed = TestBit(stroke, i);
        const bool candidate = (TestBit(shadowMask, i) && !pressed) || (TestBit(dropMask, i) && pressed);
        if (!candidate) continue;
        const bool neighbour = TestBit(stroke, i - 2) || TestBit(stroke, i - 1) ||
                               TestBit(stroke, i + 1) || TestBit(stroke, i + 2);
        if (!neighbour) continue;
        std::string changed = stroke;
        ToggleBit(changed, i);
        alternatives.push_back(std::move(changed));
    }
    return alternatives;
}

std::vector<Outline> GenerateVariants(const Outline& outline, const Outline& shadowMask,
                                      const Outline& dropMask) {
    const std::size_t n = outline.size() / kStrokeSize;
    std::vector<std::vector<std::string>> alternatives;
    alternatives.reserve(n);
    std::size_t singles = 0;
    for (std::size_t s = 0; s < n; ++s) {
        alternatives.push_back(
            StrokeAlternatives(outline.substr(s * kStrokeSize, kStrokeSize), shadowMask, dropMask));
        singles += alternatives.back().size() - 1;
    }
    const Outline written = outline.substr(0, n * kStrokeSize);

    std::vector<Outline> result;
    result.reserve(singles + singles * singles / 2);
    auto place = [](Outline& o, std::size_t s, const std::string& stroke) {
        std::copy(stroke.begin(), stroke.end(), o.begin() + std::ptrdiff_t(s * kStrokeSize));
    };
    // Read as numbers, the vectors whose first non-zero entry lies further right are smaller;
    // for the same first entry the one without a second comes first, then those whose second
    // non-zero entry lies furthest right.
    for (std::size_t s = n; s-- > 0;) {
        for (std::size_t a = 1; a < alternatives[s].size(); ++a) {
            Outline single = written;
            place(single, s, alternatives[s][a]);
            result.push_back(single);
            for (std::size_t t = n; t-- > s + 1;) {
                for (std::size_t b = 1; b < alternatives[t].size(); ++b) {
                    Outline pair = single;
                    place(pair, t, alternatives[t][b]);
                    result.push_back(std::move(pair));
                }
            }
        }
    }
    return result;
}

void SetFirstStroke(Outline& setting, const Stroke& keys) {
    if (setting.size() < std::size_t(kStrokeSize)) setting.resize(kStrokeSize, '\0');
    std::copy(keys.begin(), keys.end(), setting.begin());
}

void ClearFirstStroke(Outline& setting) {
    std::fill_n(setting.begin(), std::min(setting.size(), std::size_t(kStrokeSize)), '\0');
}
