#pragma once
// Steno text on the screen. Stroke texts are bytes of the layout's letters: Windows-1252, but
// the Hebrew layout's letters are Windows-1255 bytes, so they must be shown through that code
// page wherever a stroke, an outline or a mask is shown.
#include <QString>
#include <cstdint>
#include <string>

#include "platform/Codepage.h"

constexpr int kHebrewLayout = 6;

platform::Codepage StrokeCodepage(int layout);
// A compact stroke or outline text ("TK-/PW-", a caption, a mask).
QString StrokeTextToQString(int layout, const std::string& text);
// A steno-tape line (FormatStroke's column form): its columns stay in key order, left to
// right, even where Hebrew letters would turn the line round.
QString TapeLineToQString(int layout, const std::string& line);
// How many columns a tape line shown by TapeLineToQString takes (without its direction marks).
int TapeLineColumns(const QString& shown);
