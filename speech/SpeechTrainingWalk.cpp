#include "speech/SpeechTrainingWalk.h"

#include <algorithm>

#include "core/DataFiles.h"

bool SpeechTrainingWalk::Load(const std::string& listPath, const std::string& documentsFolder) {
    lines_ = ReadWordListFile(listPath);
    position_ = 0;
    if (lines_.empty()) return false;
    basePath_ = documentsFolder + GetPathTitle(listPath);
    // A missing or unreadable position file reads as 0, the list's start.
    position_ = ReadFileInt(ProgressPath());
    position_ = PositionToSave();
    return true;
}

void SpeechTrainingWalk::Resume() { position_ = StepOntoHeading(lines_, position_); }

WalkLine SpeechTrainingWalk::Show() {
    WalkLine shown = TakeLine(lines_, position_);
    position_ = shown.line;
    return shown;
}

bool SpeechTrainingWalk::Next() {
    if (position_ < Total()) ++position_;
    return position_ < Total();
}

void SpeechTrainingWalk::Back() {
    if (position_ <= 0) return;
    --position_;
    if (position_ > 0 && IsHeadingLine(lines_[position_])) --position_;
    if (!IsHeadingLine(lines_[position_])) position_ = StepOntoHeading(lines_, position_);
}

int SpeechTrainingWalk::PositionToSave() const {
    if (lines_.empty()) return 0;
    return std::clamp(position_, 0, Total() - 1);
}

bool SpeechTrainingWalk::SavePosition(std::string* error) const {
    return WriteFileInt(ProgressPath(), PositionToSave(), error);
}
