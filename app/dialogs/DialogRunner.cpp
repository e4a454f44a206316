#include "app/dialogs/DialogRunner.h"

#include "app/dialogs/SuggestConfigDlg.h"
#include "app/dialogs/SuggestStrokes.h"
#include "core/AppSettings.h"
#include "platform/Presenter.h"
#include "writers/CWriter.h"

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

CWriter* CreateRealtimeWriter(platform::WindowHandle owner) {
    (void)owner;
    return nullptr;
}
