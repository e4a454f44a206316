#pragma once
// The one line in which a writer's owner window shows how the connection stands
// (CWriter::GetConnectionStatus): "COM1 = /dev/ttyUSB0: the writer does not answer". No box,
// no stroke held up. Hidden while there is nothing to say (strokes flow); a long line wraps,
// also inside a device path, and the window grows to hold it rather than cutting it.
#include <QString>
#include <string>

class CWriter;
class QLabel;

// The status text as shown: the file system's bytes decoded as file names, with room to
// break after each "/" and "_" of a long device path.
QString ConnectionLineText(const std::string& statusText);

// Reads the writer's status now and shows it in `label` (nothing for a null writer).
void ShowConnectionLine(QLabel* label, CWriter* writer);
