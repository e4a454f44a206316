#include "app/dialogs/DialogRunner.h"

#include "app/dialogs/SuggestConfigDlg.h"
#include "app/dialogs/SuggestStrokes.h"
#include "core/AppSettings.h"
#include "platform/Presenter.h"
#include "writers/CWriter.h"

// Until the writer dialogs are in the tree the capture captures nothing.
bool DialogRunner::CaptureStroke(CWriter* writer, Stroke& keys) {
    (void)writer;
    (void)keys;
    return false;
}

bool DialogRunner::Suggest(const std::string& outlineText, std::vector<std::string>& chosen) {
    SuggestStrokes dialog(outlineText);
    if (dialog.Run() != platform::kIdOk) return false;
    chosen = dialog.chosenOutlines;
    return true;
}

void DialogRunner::Configure(CWriter* writer) {
    SuggestConfigDlg dialog;
    dialog.writer = writer;
    dialog.capture = this;
    dialog.Run();
}

// Until the writer factory is in the tree the dialog works without strokes.
CWriter* CreateRealtimeWriter(platform::WindowHandle owner) {
    (void)owner;
    return nullptr;
}
