#include "core/AlertBox.h"

int AlertBox(int messageId, std::uint32_t style, const std::string& insertText,
             const void* /*owner*/) {
    return platform::ShowAlert(PrepareAlert(messageId, style, insertText));
}

int AskFor(int promptId, std::string& value, const std::string& appendedPrompt) {
    return platform::ShowPrompt(PreparePrompt(promptId, {}, appendedPrompt), value);
}
