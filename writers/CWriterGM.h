#pragma once
// CWriterGM: the Gemini writer (writer type 17). Realtime only: one 6-byte packet per stroke,
// repacked into a stroke for the keyboard layout of the settings at the time it arrives.
#include "writers/CSimpleWriter.h"

class CWriterGM : public CSimpleWriter {
public:
    using CSimpleWriter::CSimpleWriter;
    ~CWriterGM() override;

    void Poll() override;
};
