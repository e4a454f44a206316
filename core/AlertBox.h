#pragma once
// The program's message box and prompt, callable from the steno core and the drivers without
// widgets: both go through the installed presenter (platform/Presenter.h), which shows
// CAlertDlg and CAskForDlg.
//
// Both are asked on the user-interface thread (the drivers' Start runs there). Asked on any
// other thread they show nothing and answer as if closed: AlertBox -1, AskFor IDCANCEL (2)
// with the value unchanged.
#include <cstdint>
#include <string>

#include "core/MessageString.h"

// Shows message string `messageId` with the buttons of `style` (see MessageString.h), "%s"
// replaced by `insertText`. Returns the result of the button pressed, or -1 when the box was
// closed without one (Escape or the close box). A message flagged to be answered at once
// returns button 1's result without showing anything. `owner` is not used: the box belongs
// to the application's active window.
int AlertBox(int messageId, std::uint32_t style, const std::string& insertText = {},
             const void* owner = nullptr);

// Asks for one line of text, showing prompt string `promptId` followed by `appendedPrompt`
// and `value` in the edit (typed hidden for the password prompt). Returns IDOK (1) with
// `value` set to the text entered, or IDCANCEL (2) with `value` as given.
int AskFor(int promptId, std::string& value, const std::string& appendedPrompt = {});
