#pragma once
// CWriterGJ: the Grandjean writer (writer type 29). One ASCII letter per key, a blank after
// each stroke; a pause also ends a stroke.
#include <string>

#include "writers/CSimpleWriter.h"

class CWriterGJ : public CSimpleWriter {
public:
    using CSimpleWriter::CSimpleWriter;
    ~CWriterGJ() override;

    void Poll() override;

private:
    std::string pending_;  // bytes read past the end of the last stroke
};
