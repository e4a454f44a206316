#pragma once
// The walk of the build dialog, without widgets: the word list and the position in it, the
// outline being written, the entries captured, the command strokes and the decisions to save.
// The dialog binds it to its controls: it calls an operation, then shows the fields below and
// ends itself once `ended` is set.
//
// Questions go through the presenter. While one of them, or a child dialog, is open the walk
// is busy: strokes that arrive then stay in the writer's queue, and TakeStrokes handles them
// after the operation that asked has finished (unless the walk ended meanwhile).
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/ChildDialogs.h"
#include "core/DataFiles.h"
#include "core/Stroke.h"

class CWriter;
struct TrackStroke;

enum class CommandStroke { Accept, Clear, Delete, Next, Back };

// The online dictionary's look-up address for a word (Windows-1252): the word in UTF-8,
// percent-encoded, after a prefix ending in "/dictionary/".
std::string DefinitionUrl(const std::string& word);

// "Added <n> suggested entries".
std::string AddedEntriesText(std::size_t count);

class BuildWalk {
public:
    // Reads the word list and, from the documents folder, its progress file. False (nothing
    // kept) when the list has no lines, or when a progress file exists but cannot be read, so
    // that a session never replaces progress it could not load; the reason is in `error`.
    bool LoadWordList(const std::string& path, const std::string& documentsFolder,
                      std::string* error = nullptr);
    bool progressUnreadable = false;  // why the last LoadWordList failed, when it was that
    // The dialog's start: a resumed word after a heading is shown with its heading. A stored
    // position that leaves nothing to write (a heading on the last line) is told as the end
    // of the list, with the offer to start again at the first word; declined, the walk ends
    // without writing anything.
    void Start();

    // ---- strokes ------------------------------------------------------------------------------
    // Takes every queued stroke in order, stopping once the walk has ended; nothing while busy.
    void TakeStrokes();
    // One stroke: listed, then a command or a part of the outline.
    void HandleStroke(const TrackStroke& stroke);
    // The command that a stroke's 6 key bytes are, in the order Accept, Clear, Delete, Next,
    // Back; none when no setting of exactly one stroke equals them.
    static bool MatchCommand(const Stroke& keys, CommandStroke& which);

    // ---- operations of the buttons and command strokes -------------------------------------
    void ShowCurrentWord();
    void CommitOutline();   // "New Outline", the Accept stroke
    void Next();
    void Back();
    void FirstWord();       // asks first
    void ClearOutlines();
    void DeleteOutline();   // the last stroke of the outline
    void Save();            // "Save", Enter, the end of the list
    void Cancel();          // "Cancel", Esc, closing the window: asks whether to save
    void CaptureCommand(CommandStroke which);
    void SetDefaultCommandStrokes();
    void Suggest();
    void Configure();

    // The setting of a command stroke.
    static Outline& Setting(CommandStroke which);
    // The text shown on a command's button.
    static std::string CommandCaption(CommandStroke which);
    std::string PositionText() const;
    // The line the position text and the bar show: the last one once the walk ran past it.
    int ShownLine() const { return std::clamp(currentLine, 0, std::max(lineCount - 1, 0)); }
    std::string ProgressPath() const { return progressBase + ".dqx"; }
    bool Busy() const { return busy_ > 0; }

    // ---- state --------------------------------------------------------------------------------
    std::vector<std::string> lines;
    int currentLine = 0;  // the line shown; also the position saved
    int lineCount = 0;
    std::vector<ProgressEntry> entries;
    std::string progressBase;  // documents folder + the list's title

    std::string outlineText;                // compact stroke texts joined by "/"
    std::vector<std::string> strokeList;    // every stroke written since the last commit or clear
    int strokeListEdits = 0;                // counts changes to strokeList other than appending
    std::string wordText;                   // the word as shown; the dialog keeps it as edited
    std::string headingText;

    bool ended = false;
    int result = 0;  // IDOK or IDCANCEL once ended

    CWriter* writer = nullptr;            // not owned
    BuildChildren* children = nullptr;    // not owned; null: no child dialog opens
    // Called before every question, so that the dialog shows the walk as it stands.
    std::function<void()> beforeQuestion;

private:
    // Asks through the presenter with the walk busy meanwhile.
    int Ask(const std::string& text, unsigned style);
    bool AskRestart();  // "Are you sure you wish to restart the dictionary build?"
    // Writes the progress file; on failure says so, naming the file, and answers false.
    bool WriteProgress();
    void End(int code);
    void DropLastOutlineStroke(bool dropCommandLine);

    std::vector<bool> inOutline_;  // per strokeList line: part of the outline
    int busy_ = 0;
    int wordLine_ = -1;  // the line of the word shown last
};
