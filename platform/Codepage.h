#pragma once
// The program's text is narrow Windows-1252 (the Hebrew layout's letters are shown through
// Windows-1255). Qt has no such codec without ICU, so the widgets convert through these tables.
#include <QString>
#include <cstdint>
#include <string>

namespace platform {

enum class Codepage { Windows1252, Windows1255 };

char16_t ByteToUnicode(std::uint8_t byte, Codepage cp = Codepage::Windows1252);
// -1 when the code page has no byte for the character.
int UnicodeToByte(char16_t ch, Codepage cp = Codepage::Windows1252);

QString ToQString(const std::string& bytes, Codepage cp = Codepage::Windows1252);
// Characters the code page cannot hold become `replacement`.
std::string FromQString(const QString& text, Codepage cp = Codepage::Windows1252,
                        char replacement = '?');

}  // namespace platform
