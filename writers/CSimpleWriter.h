#pragma once
// A writer with no start-up exchange: the base Start, then the reader thread runs at once.
// The base of the drivers whose machines simply send their strokes (Gemini, Grandjean,
// Passport, and the text-line drivers).
#include "writers/CWriter.h"

class CSimpleWriter : public CWriter {
public:
    using CWriter::CWriter;

    // The base Start (port and reader thread); then, unless the mode is a notes mode (0 or 1),
    // the reader thread is resumed at once. A port that did not open ends the thread at once.
    void Start(unsigned argument) override;
};
