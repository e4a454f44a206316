#pragma once
// How the training dialogs read a word list: a line that begins with "@" is a heading, shown
// (without the "@") above the word that follows it and never itself a word; words are shown
// with "^" and "~" exchanged.
#include <string>
#include <vector>

bool IsHeadingLine(const std::string& line);
// The heading as shown: the line without its first character.
std::string HeadingText(const std::string& line);
// The word as shown and stored: every "^" becomes "~" and every "~" becomes "^".
std::string DisplayWord(const std::string& line);

// What the walk shows when it stands at `line`: a heading there is taken (its text in
// `heading`, the walk moves one line on); `ended` when that runs past the last line. Only one
// heading is taken per step, so a second heading in a row is shown as the word.
struct WalkLine {
    std::string heading;
    std::string word;
    int line = 0;
    bool ended = false;
};
WalkLine TakeLine(const std::vector<std::string>& lines, int line);
// Nothing to show from `line` on: it lies outside the list, or it is a heading on the last line.
bool NothingLeftAt(const std::vector<std::string>& lines, int line);

// A resumed word right after a heading is shown with its heading: the position one line back
// onto the heading then, else `position` unchanged.
int StepOntoHeading(const std::vector<std::string>& lines, int position);
