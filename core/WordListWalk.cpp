#include "core/WordListWalk.h"

#include <algorithm>

bool IsHeadingLine(const std::string& line) { return !line.empty() && line[0] == '@'; }

std::string HeadingText(const std::string& line) { return line.empty() ? line : line.substr(1); }

std::string DisplayWord(const std::string& line) {
    std::string word = line;
    for (char& c : word) {
        if (c == '^') c = '~';
        else if (c == '~') c = '^';
    }
    return word;
}

WalkLine TakeLine(const std::vector<std::string>& lines, int line) {
    WalkLine shown;
    const int count = int(lines.size());
    shown.line = line;
    if (line < 0 || line >= count) {
        shown.ended = true;
        return shown;
    }
    if (IsHeadingLine(lines[line])) {
        shown.heading = HeadingText(lines[line]);
        shown.line = line + 1;
        if (shown.line >= count) {
            shown.ended = true;
            return shown;
        }
    }
    shown.word = DisplayWord(lines[shown.line]);
    return shown;
}

bool NothingLeftAt(const std::vector<std::string>& lines, int line) {
    return TakeLine(lines, line).ended;
}

int StepOntoHeading(const std::vector<std::string>& lines, int position) {
    if (position > 0 && position <= int(lines.size()) && IsHeadingLine(lines[position - 1]))
        return position - 1;
    return position;
}
