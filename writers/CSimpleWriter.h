#pragma once
// A writer with no start-up exchange: the base Start, then the reader thread runs at once.
// The base of the drivers whose machines simply send their strokes (Gemini, Grandjean,
// Passport, and the text-line drivers).
#include <cstddef>
#include <string>

#include "writers/CWriter.h"

class CSimpleWriter : public CWriter {
public:
    using CWriter::CWriter;

    // The base Start (port and reader thread); then, unless the mode is a notes mode (0 or 1),
    // the reader thread is resumed at once. A port that did not open ends the thread at once.
    void Start(unsigned argument) override;

protected:
    // Appends the bytes already waiting on the port, at most `limit`, to `pending`, without
    // waiting; the count read (0 when none, or the port is closed or gone).
    std::size_t ReadWaiting(std::string& pending, std::size_t limit = 256);
};
