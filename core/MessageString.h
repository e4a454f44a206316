#pragma once
// Message strings of the string table, shown by AlertBox: "text|FF|caption1|caption2|...".
// FF are two flag characters: FF[0] "1" answers the message at once as by button 1 without
// showing it; FF[1] "0" hides the Help button. The captions name the buttons of the custom
// style. A string without its two flag characters is shown, without Help.
// Pure functions over the string table, shared by the real dialog and the test presenters.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Presenter.h"

// AlertBox styles: the low byte picks the buttons; a second byte of 0x01 makes button 2 the
// default. Other low bytes show no button (Escape and the close box still end the box).
constexpr std::uint32_t kAlertOk = 0;
constexpr std::uint32_t kAlertOkCancel = 1;
constexpr std::uint32_t kAlertYesNoCancel = 3;
constexpr std::uint32_t kAlertYesNo = 4;
constexpr std::uint32_t kAlertRetryCancel = 5;
constexpr std::uint32_t kAlertCustom = 255;  // the message string's own captions, results 0-3
constexpr std::uint32_t kAlertDefaultButton2 = 0x100;

constexpr int kMaxAlertButtons = 4;

// String ids of the button captions.
constexpr int kCaptionOk = 1500;
constexpr int kCaptionCancel = 1501;
constexpr int kCaptionYes = 1502;
constexpr int kCaptionNo = 1503;
constexpr int kCaptionRetry = 1504;

// The prompt whose answer is typed hidden.
constexpr int kPasswordPromptId = 6053;

struct MessageString {
    std::string text;                   // before the first "|"
    bool answeredAtOnce = false;
    bool helpVisible = false;
    std::vector<std::string> captions;  // the fields after the flags, at most four
};

// Every "%s" of the message replaced by the insert text, whose "|" become "!" so that it
// cannot add fields. An empty insert text removes the "%s".
std::string InsertIntoMessage(std::string message, std::string insertText);

MessageString SplitMessageString(const std::string& message);

// The buttons a style shows, left to right, with their results. The custom style takes the
// captions given.
std::vector<platform::AlertButton> AlertButtons(std::uint32_t style,
                                                const std::vector<std::string>& captions);

// AlertBox's question for a message of the string table. An id the table lacks shows an
// empty text with one OK button that answers like closing the box.
platform::AlertRequest PrepareAlert(int messageId, std::uint32_t style,
                                    const std::string& insertText);
// The same for a message string given as it is (empty: the id is not in the table).
platform::AlertRequest PrepareAlertMessage(int messageId, std::uint32_t style,
                                           const std::string& message,
                                           const std::string& insertText);

// AskFor's question: the string of `promptId` (or `promptText` for the id -1) followed by
// the appended text.
platform::PromptRequest PreparePrompt(int promptId, const std::string& promptText,
                                      const std::string& appendedText);
