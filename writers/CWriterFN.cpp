#include "writers/CWriterFN.h"

#include <optional>

#include "core/TextUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "platform/Presenter.h"
#include "writers/FnProtocol.h"
#include "writers/StenoTextStroke.h"

namespace {

constexpr std::size_t kFileBlock = 64 * 1024;
constexpr int kProgressRange = 10000;
constexpr std::size_t kListedTitle = 12;

// Writes the stroke records of one notes file to its capture file, safely: the capture file
// changes only when the whole conversion has succeeded. False with `error` set otherwise.
bool ConvertNotesFile(const std::string& notesPath, const std::string& capturePath,
                      std::string& error) {
    platform::InputFile in;
    if (!in.Open(notesPath)) {
        error = in.Error();
        return false;
    }
    platform::AtomicFile out(capturePath);
    if (!out.Open()) {
        error = out.Error();
        return false;
    }
    FnNotesReader reader;
    std::string block(kFileBlock, '\0');
    for (;;) {
        const std::ptrdiff_t got = in.Read(block.data(), block.size());
        if (got < 0) {
            error = in.Error();
            return false;  // the capture file is left as it was
        }
        if (got == 0) break;
        out.Write(reader.Feed(std::string_view(block.data(), std::size_t(got))));
    }
    out.Write(reader.Finish());
    if (!out.Commit()) {
        error = out.Error();
        return false;
    }
    return true;
}

}  // namespace

CWriterFN::~CWriterFN() { StopReaderThread(); }

void CWriterFN::Start(unsigned argument) {
    packetBuffer.Reset();
    if (mode != kModeNotesFolder) {
        CSimpleWriter::Start(argument);
        return;
    }
    CWriter::Start(argument);
    // The capture files are 3-byte stored strokes, which the base reads in mode 1.
    mode = kModeNotesCable;
    ConvertNotesFolder();
}

void CWriterFN::ConvertNotesFolder() {
    conversionErrors.clear();
    std::unique_ptr<platform::WaitDialog> wait = OpenWaitDialog();
    wait->SetRange(0, kProgressRange, 1);
    notesFiles.clear();
    notesListing.clear();

    std::vector<platform::FolderEntry> entries = platform::ListFolder(notesFolder);
    std::erase_if(entries, [](const platform::FolderEntry& e) { return !e.isRegularFile; });
    for (std::size_t n = 0; n < entries.size() && !wait->IsCancelled(); ++n) {
        const platform::FolderEntry& entry = entries[n];
        wait->SetProgress(int(n * kProgressRange / entries.size()), entry.name);
        const std::string capture = CaptureFilePath(entry.name);
        if (capture.empty()) {
            conversionErrors.push_back(entry.path + ": there is no temporary folder for the capture file");
            break;
        }
        // With the notes folder as the temporary folder, a notes file is its own capture file:
        // converting it would overwrite the notes.
        if (platform::IsSameFile(entry.path, capture)) continue;
        std::string error;
        if (!ConvertNotesFile(entry.path, capture, error)) {
            conversionErrors.push_back(entry.path + ": " + error);
            continue;
        }
        notesFiles.push_back(capture);
        notesListing.push_back(NotesListingLine(GetFileTitlePart(entry.name).substr(0, kListedTitle),
                                                entry.size, entry.modified));
    }
    wait->Close();

    if (!conversionErrors.empty()) {
        std::string text = "These notes files could not be converted and are not listed:";
        for (const std::string& line : conversionErrors) text += "\n" + line;
        platform::ShowNotice(text);
    }
}

void CWriterFN::Poll() {
    if (!WaitForInput(packetBuffer.WaitMs(platform::MonotonicMs()))) {
        // A writer that went away delivers nothing more, not even a packet it had begun.
        if (!port.IsUsable())
            packetBuffer.Reset();
        else
            packetBuffer.NoInput(platform::MonotonicMs());
        return;
    }
    std::string bytes;
    while (stopRequested == 0 && ReadWaiting(bytes) > 0) {
        packetBuffer.Add(bytes, platform::MonotonicMs(), [this](std::string_view packet) { TakePacket(packet); });
        bytes.clear();
    }
}

bool CWriterFN::Reestablish() {
    packetBuffer.Reset();
    return true;
}

void CWriterFN::TakePacket(std::string_view packet) {
    if (std::optional<Stroke> keys = StrokeFromText(std::uint8_t(keyboardLayout & 0xFF), FnPacketText(packet)))
        AddStroke((*keys)[0], (*keys)[1], (*keys)[2], nullptr, (*keys)[3], (*keys)[4], 0);
}
