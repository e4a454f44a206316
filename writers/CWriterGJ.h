#pragma once
// CWriterGJ: the Grandjean writer (writer type 29). One ASCII letter per key, a blank after
// each stroke; a pause also ends a stroke.
#include "writers/DelimitedSerialWriter.h"

class CWriterGJ : public DelimitedSerialWriter {
public:
    using DelimitedSerialWriter::DelimitedSerialWriter;
    ~CWriterGJ() override;

    void Poll() override;
};
