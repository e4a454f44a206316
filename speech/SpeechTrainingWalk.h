#pragma once
// The walk of the speech-training dialog through a word list, without widgets: where it
// stands, what it shows there, the moves of Next, Back and First Word, and the position kept
// in the speech progress file (documents folder + the list's title + ".iqx").
//
// The position is the 0-based line at which the walk stands (headings count as lines) and is
// also the counter shown; it may rest on a heading until the heading is shown.
#include <string>
#include <vector>

#include "core/WordListWalk.h"

class SpeechTrainingWalk {
public:
    // Reads the list and the stored position. False when the list has no lines (also when it
    // cannot be read). A stored position outside the list (the list was replaced by a shorter
    // one, or the file is damaged) is moved inside it: negative to the first line, at or past
    // the end to the last.
    bool Load(const std::string& listPath, const std::string& documentsFolder);

    // A resumed word right after a heading is shown with its heading.
    void Resume();
    // Nothing is left to show at the position: it stands on a heading on the last line.
    bool Finished() const { return NothingLeftAt(lines_, position_); }
    // The list has a word to show at all (not only one heading).
    bool HasWords() const { return !NothingLeftAt(lines_, 0); }
    // What stands at the position, a heading taken first (the position then moves onto the
    // word). `ended` when that heading was the last line.
    WalkLine Show();
    // One line on; false when that runs past the last line.
    bool Next();
    // Back to the word before, onto its heading when one precedes it; nothing at the first line.
    void Back();
    void First() { position_ = 0; }

    // The line to store: the position, kept inside the list.
    int PositionToSave() const;
    bool SavePosition(std::string* error = nullptr) const;
    std::string ProgressPath() const { return basePath_ + ".iqx"; }

    int Position() const { return position_; }
    int Total() const { return int(lines_.size()); }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    std::string basePath_;
    int position_ = 0;
};
