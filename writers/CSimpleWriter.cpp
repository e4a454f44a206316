#include "writers/CSimpleWriter.h"

void CSimpleWriter::Start(unsigned argument) {
    CWriter::Start(argument);
    if (mode != kModeNotesFolder && mode != kModeNotesCable) ResumeReaderThread();
}
