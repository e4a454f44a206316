#include "core/MessageString.h"

#include "core/TextUtil.h"

std::string InsertIntoMessage(std::string message, std::string insertText) {
    ReplaceAll(insertText, "|", "!");
    ReplaceAll(message, "%s", insertText);
    return message;
}

MessageString SplitMessageString(const std::string& message) {
    MessageString parts;
    const std::size_t p1 = message.find('|');
    parts.text = message.substr(0, p1);
    if (p1 == std::string::npos) return parts;
    const std::size_t p2 = message.find('|', p1 + 1);
    const std::string flags =
        message.substr(p1 + 1, p2 == std::string::npos ? std::string::npos : p2 - p1 - 1);
    if (flags.size() >= 2) {
        parts.answeredAtOnce = flags[0] == '1';
        parts.helpVisible = flags[1] != '0';
    }
    if (p2 == std::string::npos || p2 + 1 == message.size()) return parts;
    std::size_t start = p2 + 1;
    while (parts.captions.size() < std::size_t(kMaxAlertButtons)) {
        std::size_t end = message.find('|', start);
        parts.captions.push_back(message.substr(start, end == std::string::npos ? end : end - start));
        // A closing "|" ends the list; it does not open an empty caption.
        if (end == std::string::npos || end + 1 == message.size()) break;
        start = end + 1;
    }
    return parts;
}

std::vector<platform::AlertButton> AlertButtons(std::uint32_t style,
                                                const std::vector<std::string>& captions) {
    using namespace platform;
    auto button = [](int captionId, int result) {
        return AlertButton{LoadResString(captionId), result};
    };
    switch (style & 0xFF) {
        case kAlertOk: return {button(kCaptionOk, kIdOk)};
        case kAlertOkCancel: return {button(kCaptionOk, kIdOk), button(kCaptionCancel, kIdCancel)};
        case kAlertYesNoCancel:
            return {button(kCaptionYes, kIdYes), button(kCaptionNo, kIdNo),
                    button(kCaptionCancel, kIdCancel)};
        case kAlertYesNo: return {button(kCaptionYes, kIdYes), button(kCaptionNo, kIdNo)};
        case kAlertRetryCancel:
            return {button(kCaptionRetry, kIdRetry), button(kCaptionCancel, kIdCancel)};
        case kAlertCustom: {
            std::vector<AlertButton> buttons;
            for (std::size_t i = 0; i < captions.size() && i < std::size_t(kMaxAlertButtons); ++i)
                buttons.push_back({captions[i], int(i)});
            return buttons;
        }
        default: return {};
    }
}

platform::AlertRequest PrepareAlert(int messageId, std::uint32_t style,
                                    const std::string& insertText) {
    return PrepareAlertMessage(messageId, style, LoadResString(messageId), insertText);
}

platform::AlertRequest PrepareAlertMessage(int messageId, std::uint32_t style,
                                           const std::string& message,
                                           const std::string& insertText) {
    platform::AlertRequest request;
    request.messageId = messageId;
    request.style = style;
    request.insertText = insertText;
    if (message.empty()) {
        request.buttons = {{LoadResString(kCaptionOk), platform::kIdClosed}};
        return request;
    }
    MessageString parts = SplitMessageString(InsertIntoMessage(message, insertText));
    request.text = parts.text;
    request.answeredAtOnce = parts.answeredAtOnce;
    request.helpVisible = parts.helpVisible;
    request.buttons = AlertButtons(style, parts.captions);
    if ((style & 0xFF00) == kAlertDefaultButton2 && request.buttons.size() >= 2)
        request.defaultButton = 1;
    return request;
}

platform::PromptRequest PreparePrompt(int promptId, const std::string& promptText,
                                      const std::string& appendedText) {
    platform::PromptRequest request;
    request.promptId = promptId;
    request.appendedText = appendedText;
    request.prompt = (promptId != -1 ? LoadResString(promptId) : promptText) + appendedText;
    request.password = promptId == kPasswordPromptId;
    return request;
}
