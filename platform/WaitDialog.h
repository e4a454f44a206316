#pragma once
// The progress window that writer drivers show during long transfers of stored notes. Drivers
// live in a library without widgets, so they open it through this interface: the program
// installs a factory that makes the real dialog (CWaitDlg), tests install a scripted one, and
// with none installed a silent window is used that is never cancelled.
#include <functional>
#include <memory>
#include <string>

#include "platform/WindowRegistry.h"

namespace platform {

class WaitDialog {
public:
    virtual ~WaitDialog() = default;
    // Range of the bar; a progress call takes effect on every interval-th call (interval 0 or
    // less: on every call).
    virtual void SetRange(int low, int high, int interval) = 0;
    // Moves the bar and shows "Processing...   <text> <position>" on the effective calls.
    virtual void SetProgress(int position, const std::string& text) = 0;
    // True once the user has pressed Cancel; the transfer stops at its next check.
    virtual bool IsCancelled() const = 0;
    // Takes the window down; further calls do nothing visible.
    virtual void Close() = 0;
};

// headingId and actionId are string-table ids (the heading shows the text up to its first
// line feed); parent kNoWindow centres the window on the program's main window.
using WaitDialogFactory = std::function<std::unique_ptr<WaitDialog>(
    int headingId, int actionId, bool allowCancel, WindowHandle parent)>;

// Installs the factory for the whole process; an empty one restores the silent window.
void InstallWaitDialogFactory(WaitDialogFactory factory);

// Opens (shows) a wait window through the installed factory. Call on the user-interface thread.
std::unique_ptr<WaitDialog> OpenWaitDialog(int headingId, int actionId, bool allowCancel,
                                           WindowHandle parent = kNoWindow);

}  // namespace platform
