#pragma once
// The AccuWriter's realtime format: each stroke is a line of steno text in the letters of the
// configured keyboard layout, optionally starting with "/". LF ends a line, and so does a
// pause with no byte waiting (the driver decides the pause). Bytes 0x20 and above are text;
// every other byte below 0x20 (the CR of CR LF, noise) is ignored.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/Stroke.h"

class AcLineReader {
public:
    // A stroke text is a few dozen letters; a longer line is noise and is dropped whole,
    // so a writer that never sends LF cannot make the buffer grow without bound.
    static constexpr std::size_t kMaxLine = 4096;

    // Takes one byte; true when it ended the line (LF).
    bool Add(std::uint8_t byte) {
        if (byte == 0x0A) return true;
        if (byte < 0x20) return false;
        if (text_.size() < kMaxLine)
            text_.push_back(char(byte));
        else
            overflow_ = true;
        return false;
    }

    // Ends the line, however it ended, and gives its stroke: the first stroke of the text.
    // An empty line, a lone "/", a line naming no key and an over-long line give nothing.
    // The reader is empty afterwards.
    std::optional<Stroke> EndLine(std::uint8_t layout);

    // Forgets a line cut off part-way (the writer vanished).
    void Clear() {
        text_.clear();
        overflow_ = false;
    }

    const std::string& Text() const { return text_; }

private:
    std::string text_;
    bool overflow_ = false;
};
