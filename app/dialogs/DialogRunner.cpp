#include "app/dialogs/DialogRunner.h"

#include "app/dialogs/SuggestConfigDlg.h"
#include "app/dialogs/SuggestStrokes.h"
#include "core/AppSettings.h"
#include "platform/Presenter.h"
#include "writers/CWriter.h"
#include "writers/CreateWriter.h"
#include "writers/dialogs/CWriterAdjDlg.h"

bool DialogRunner::CaptureStroke(CWriter* writer, Stroke& keys) {
    CWriterAdjDlg capture(1, true, writer);
    if (capture.exec() != QDialog::Accepted || !capture.strokeSeen) return false;
    keys = capture.lastStroke.keys;
    return true;
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
    return CreateWriter(GetSettings(), kModeRealtime, owner, 1);
}
