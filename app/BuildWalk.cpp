#include "app/BuildWalk.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <filesystem>

#include "core/AppSettings.h"
#include "core/TextUtil.h"
#include "core/WordListWalk.h"
#include "platform/Codepage.h"
#include "platform/Presenter.h"
#include "writers/CWriter.h"

namespace {

constexpr int kRestartQuestion = 5051;  // "Are you sure you wish to restart the dictionary build?"
constexpr int kSaveQuestion = 5100;     // "Save your results?"
constexpr const char* kEndOfList = "End of list reached (all progress will be automatically saved)";
constexpr const char* kDefinitionPrefix = "https://www.merriam-webster.com/dictionary/";

}  // namespace

std::string DefinitionUrl(const std::string& word) {
    // UTF-8, every byte but the unreserved ones (letters, digits, "-._~") percent-encoded.
    return kDefinitionPrefix + platform::ToQString(word).toUtf8().toPercentEncoding().toStdString();
}

std::string AddedEntriesText(std::size_t count) {
    return "Added " + std::to_string(count) + " suggested entries";
}

bool BuildWalk::LoadWordList(const std::string& path, const std::string& documentsFolder,
                             std::string* error) {
    lines.clear();
    entries.clear();
    progressUnreadable = false;
    lines = ReadWordListFile(path);
    currentLine = 0;
    progressBase = documentsFolder + GetPathTitle(path);
    lineCount = int(lines.size());
    if (lines.empty()) {
        if (error)
            *error = "The word list \"" + PathForMessage(path) + "\" holds no lines or cannot be read.";
        return false;
    }
    const std::string progress = ProgressPath();
    if (FileExists(progress)) {
        int position = 0;
        std::string why;
        // Room for the entries at once (a record is rarely under 24 bytes): a long list's file
        // is read without moving its entries again and again.
        std::error_code sizeError;
        const auto bytes = std::filesystem::file_size(progress, sizeError);
        if (!sizeError) entries.reserve(std::size_t(bytes / 24));
        if (!LoadProgressFile(progress, entries, position, &why)) {
            if (error)
                *error = "The progress file \"" + PathForMessage(progress) +
                         "\" cannot be read: " + FileErrorReason(why, progress) + ".";
            progressUnreadable = true;
            lines.clear();
            entries.clear();
            lineCount = 0;
            return false;
        }
        currentLine = std::clamp(position, 0, lineCount - 1);
    }
    return true;
}

void BuildWalk::Start() {
    currentLine = StepOntoHeading(lines, currentLine);
    if (NothingLeftAt(lines, currentLine)) {
        // Stored at a heading on the last line: the list is done. Say so and offer it again
        // from the start rather than closing without a word each time it is opened.
        Ask(kEndOfList, platform::kMbOk);
        if (NothingLeftAt(lines, 0) || !AskRestart()) {
            End(platform::kIdCancel);
            return;
        }
        currentLine = 0;
    }
    ShowCurrentWord();
    outlineText.clear();
}

void BuildWalk::TakeStrokes() {
    if (!writer) return;
    TrackStroke stroke;
    while (!ended && !Busy() && writer->GetStroke(&stroke)) HandleStroke(stroke);
}

bool BuildWalk::MatchCommand(const Stroke& keys, CommandStroke& which) {
    const std::string s(keys.begin(), keys.end());
    for (CommandStroke c : {CommandStroke::Accept, CommandStroke::Clear, CommandStroke::Delete,
                            CommandStroke::Next, CommandStroke::Back}) {
        if (Setting(c) == s) {
            which = c;
            return true;
        }
    }
    return false;
}

void BuildWalk::HandleStroke(const TrackStroke& stroke) {
    strokeList.push_back(FormatStroke(stroke, kStrokeColumns));
    inOutline_.push_back(false);
    CommandStroke command;
    if (!MatchCommand(stroke.keys, command)) {
        if (!outlineText.empty()) outlineText += "/";
        outlineText += FormatStroke(stroke, kStrokeCompact);
        inOutline_.back() = true;
        return;
    }
    switch (command) {
        case CommandStroke::Accept: CommitOutline(); break;
        case CommandStroke::Clear: ClearOutlines(); break;
        case CommandStroke::Delete: DropLastOutlineStroke(true); break;
        case CommandStroke::Next: Next(); break;
        case CommandStroke::Back: Back(); break;
    }
}

void BuildWalk::ShowCurrentWord() {
    strokeList.clear();
    ++strokeListEdits;
    inOutline_.clear();
    outlineText.clear();
    headingText.clear();
    const WalkLine shown = TakeLine(lines, currentLine);
    headingText = shown.heading;
    currentLine = shown.line;
    if (shown.ended) {
        // A heading on the last line: nothing is left to write.
        Save();
        if (!ended && wordLine_ >= 0) {
            // Not saved: back at the last word, so that what is shown is what Accept stores.
            currentLine = StepOntoHeading(lines, wordLine_);
            ShowCurrentWord();
        }
        return;
    }
    wordText = shown.word;
    wordLine_ = currentLine;
}

void BuildWalk::CommitOutline() {
    entries.push_back({outlineText, wordText});
    ClearOutlines();
}

void BuildWalk::Next() {
    if (!outlineText.empty()) CommitOutline();
    ++currentLine;
    if (currentLine >= lineCount) {
        Ask(kEndOfList, platform::kMbOk);
        Save();
    } else {
        ShowCurrentWord();
    }
}

void BuildWalk::Back() {
    if (currentLine <= 0) return;
    --currentLine;
    if (currentLine > 0 && IsHeadingLine(lines[std::size_t(currentLine)])) --currentLine;
    currentLine = StepOntoHeading(lines, currentLine);
    ShowCurrentWord();
}

void BuildWalk::FirstWord() {
    if (!AskRestart()) return;
    currentLine = 0;
    ShowCurrentWord();
}

bool BuildWalk::AskRestart() {
    return Ask(LoadResString(kRestartQuestion), platform::kMbYesNo | platform::kMbIconQuestion) ==
           platform::kIdYes;
}

void BuildWalk::ClearOutlines() {
    strokeList.clear();
    ++strokeListEdits;
    inOutline_.clear();
    outlineText.clear();
}

void BuildWalk::DeleteOutline() { DropLastOutlineStroke(false); }

// The line of the outline's last stroke goes, and with a Delete stroke its own line too. A
// listed stroke that is not part of the outline (a Back stroke at the first word) stays, so
// that the list and the outline never disagree.
void BuildWalk::DropLastOutlineStroke(bool dropCommandLine) {
    if (outlineText.empty()) {
        ClearOutlines();
        return;
    }
    ++strokeListEdits;
    const std::size_t slash = outlineText.rfind('/');
    outlineText.erase(slash == std::string::npos ? 0 : slash);
    if (dropCommandLine && !strokeList.empty()) {
        strokeList.pop_back();
        inOutline_.pop_back();
    }
    for (std::size_t i = strokeList.size(); i-- > 0;) {
        if (inOutline_[i]) {
            strokeList.erase(strokeList.begin() + std::ptrdiff_t(i));
            inOutline_.erase(inOutline_.begin() + std::ptrdiff_t(i));
            break;
        }
    }
}

void BuildWalk::Save() {
    currentLine = std::clamp(currentLine, 0, std::max(lineCount - 1, 0));
    if (WriteProgress()) End(platform::kIdOk);
}

void BuildWalk::Cancel() {
    const int answer = Ask(LoadResString(kSaveQuestion),
                           platform::kMbYesNoCancel | platform::kMbIconQuestion);
    if (answer == platform::kIdYes) {
        if (WriteProgress()) End(platform::kIdCancel);
    } else if (answer == platform::kIdNo) {
        End(platform::kIdCancel);
    }
}

bool BuildWalk::WriteProgress() {
    std::string error;
    if (WriteProgressFile(ProgressPath(), entries, currentLine, &error)) return true;
    Ask("Your results could not be saved to \"" + PathForMessage(ProgressPath()) + "\": " +
            FileErrorReason(error, ProgressPath()) +
            ".\n\nNothing is lost: save again, or cancel without saving.",
        platform::kMbOk | platform::kMbIconError);
    return false;
}

void BuildWalk::End(int code) {
    ended = true;
    result = code;
}

Outline& BuildWalk::Setting(CommandStroke which) {
    AppSettings& settings = GetSettings();
    switch (which) {
        case CommandStroke::Accept: return settings.acceptStroke;
        case CommandStroke::Clear: return settings.clearStroke;
        case CommandStroke::Delete: return settings.deleteStroke;
        case CommandStroke::Next: return settings.nextStroke;
        case CommandStroke::Back: break;
    }
    return settings.backStroke;
}

void BuildWalk::CaptureCommand(CommandStroke which) {
    if (children) {
        Stroke keys{};
        ++busy_;
        const bool captured = children->CaptureStroke(writer, keys);
        --busy_;
        // A command of several strokes could never match a stroke, so a capture makes it
        // exactly the stroke written.
        if (captured) Setting(which).assign(keys.begin(), keys.end());
    }
    GetSettings().SaveUserSettings();
}

void BuildWalk::SetDefaultCommandStrokes() {
    // The French strokes go with the French keyboard layout.
    AppSettings& settings = GetSettings();
    settings.SetDefaultCommandStrokes(settings.keyboardLayout == 1);
}

void BuildWalk::Suggest() {
    if (outlineText.empty() || !children) return;
    // Taken before the child runs: what the user sees now is what the entries get.
    const std::string word = wordText;
    std::string text = outlineText;
    std::replace(text.begin(), text.end(), '/', ' ');
    std::vector<std::string> chosen;
    ++busy_;
    const bool ok = children->Suggest(text, chosen);
    --busy_;
    if (!ok) return;
    for (const std::string& outline : chosen) entries.push_back({outline, word});
    Ask(AddedEntriesText(chosen.size()), platform::kMbOk | platform::kMbIconInformation);
}

void BuildWalk::Configure() {
    if (children) {
        ++busy_;
        children->Configure(writer);
        --busy_;
    }
    GetSettings().SaveUserSettings();
}

std::string BuildWalk::CommandCaption(CommandStroke which) {
    return FormatOutline(std::uint8_t(GetSettings().keyboardLayout.load()), Setting(which), 0);
}

std::string BuildWalk::PositionText() const {
    return std::to_string(ShownLine()) + " of " + std::to_string(lineCount);
}

int BuildWalk::Ask(const std::string& text, unsigned style) {
    // The box stands over what the walk has come to, not over what was shown before the
    // strokes that led to it.
    if (beforeQuestion) beforeQuestion();
    ++busy_;
    const int answer = platform::ShowMessageBox(text, {}, style);
    --busy_;
    return answer;
}
