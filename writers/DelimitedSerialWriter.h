#pragma once
// The realtime reading shared by drivers whose writer ends each stroke with a byte of its own
// (the Grandjean blank, the AccuWriter's line feed) or with a pause (CWriterGJ, CWriterAC):
// bytes are handed over one at a time until the end byte comes or the line stays quiet for
// the pause. Bytes read past the end byte wait for the next stroke, so a stroke is handled the
// moment its end byte arrives. A stroke cut off by Stop or by a writer that went is dropped.
#include <cstdint>
#include <functional>
#include <string>

#include "writers/CSimpleWriter.h"

class DelimitedSerialWriter : public CSimpleWriter {
public:
    using CSimpleWriter::CSimpleWriter;
    ~DelimitedSerialWriter() override;

    // Forgets bytes of an earlier connection, then the simple start.
    void Start(unsigned argument) override;

protected:
    // Bytes the old line left never join the first stroke of the new one.
    bool Reestablish() override;

    enum class StrokeEnd {
        None,   // no byte came within the pause: no stroke begun
        Byte,   // the end byte came
        Pause,  // no further byte came within the pause
        Cut,    // Stop came, or the writer went, before the stroke ended
    };
    // Hands each byte of the next stroke to `take`, which answers true for the end byte.
    StrokeEnd ReadStroke(int pauseMs, const std::function<bool(std::uint8_t)>& take);

private:
    std::string pending_;  // bytes read past the end of the last stroke
};
