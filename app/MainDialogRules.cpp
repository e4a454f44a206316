#include "app/MainDialogRules.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "core/DataFiles.h"
#include "core/TextUtil.h"
#include "platform/FileSystem.h"

namespace {

constexpr const char* kWordListPattern = "*.edq";

std::string FoldCase(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return folded;
}

bool HasWordList(const std::string& folder) {
    for (const auto& entry : platform::ListFolder(folder, kWordListPattern))
        if (entry.isRegularFile) return true;
    return false;
}

// A listed name up to its last "." ("Lesson 1.edq" -> "Lesson 1"); a name that only starts
// with a dot keeps it, so it is never listed blank.
std::string ListedTitle(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int BaudIndexForRate(int rate, int currentIndex) {
    for (int i = 0; i < kBaudRateCount; ++i)
        if (kBaudRates[i] == rate) return i;
    return currentIndex;
}

int BaudRateForIndex(int index, int currentRate) {
    return index >= 0 && index < kBaudRateCount ? kBaudRates[index] : currentRate;
}

int DataBitsIndex(int dataBits) { return dataBits == 7 || dataBits == 8 ? dataBits - 7 : -1; }
int StopBitsIndex(int stopBits) { return stopBits == 1 || stopBits == 2 ? stopBits - 1 : -1; }
int IndexInList(int value, int count) { return value >= 0 && value < count ? value : -1; }

int DataBitsForIndex(int index, int currentBits) {
    return index == 0 || index == 1 ? index + 7 : currentBits;
}
int StopBitsForIndex(int index, int currentBits) {
    return index == 0 || index == 1 ? index + 1 : currentBits;
}
int ValueForIndex(int index, int count, int currentValue) {
    return index >= 0 && index < count ? index : currentValue;
}

EnableRules EnableRulesFor(int writerType) {
    if (writerType == kSpeechWriterType) return EnableRules{false, false, false, false, true};
    EnableRules rules;
    rules.lineSettings = !HasNoSerialLine(writerType);
    return rules;
}

bool ParseDialogInteger(const std::string& text, int& value) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    std::size_t digits = begin;
    if (digits < end && (text[digits] == '+' || text[digits] == '-')) ++digits;
    if (digits == end) return false;
    for (std::size_t i = digits; i < end; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    const std::string number = text.substr(begin, end - begin);
    errno = 0;
    const long long parsed = std::strtoll(number.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
    value = int(parsed);
    return true;
}

int StepPortNumber(const std::string& text, int delta) {
    int value = 0;
    if (!ParseDialogInteger(text, value)) value = 0;
    const long long stepped = (long long)value + delta;
    return int(std::clamp<long long>(stepped, kPortArrowLow, kPortArrowHigh));
}

std::vector<ListedFolderEntry> ListModules(const std::string& dataFolder) {
    std::vector<ListedFolderEntry> modules;
    if (dataFolder.empty()) return modules;
    for (const auto& entry : platform::ListFolder(dataFolder)) {
        if (!entry.isDirectory || !HasWordList(entry.path)) continue;
        modules.push_back({ListedTitle(entry.name), entry.path});
    }
    return modules;
}

std::vector<ListedFolderEntry> ListWordLists(const std::string& moduleFolder) {
    std::vector<ListedFolderEntry> lists;
    if (moduleFolder.empty()) return lists;
    for (const auto& entry : platform::ListFolder(moduleFolder, kWordListPattern))
        if (entry.isRegularFile) lists.push_back({ListedTitle(entry.name), entry.path});
    std::stable_sort(lists.begin(), lists.end(), [](const auto& a, const auto& b) {
        return FoldCase(a.title) < FoldCase(b.title);
    });
    return lists;
}

std::string ProgressPathFor(const std::string& documentsFolder, const std::string& wordListPath) {
    return documentsFolder + GetPathTitle(wordListPath) + ".dqx";
}

std::string RtfPathFor(const std::string& documentsFolder, const std::string& wordListPath) {
    return documentsFolder + GetPathTitle(wordListPath) + ".rtf";
}

std::string RtfTargetRefusal(const std::string& target, const std::string& progressPath) {
    std::error_code error;
    const bool sameFile = std::filesystem::equivalent(target, progressPath, error);
    const std::string extension = FoldCase(GetExtensionPart(GetFileNamePart(target)));
    std::string what;
    if (sameFile) what = "it is this word list's progress file";
    else if (extension == "dqx") what = "it is a progress file";
    else if (extension == "iqx") what = "it is a speech-training progress file";
    else if (extension == "edq") what = "it is a word list";
    else return {};
    return "The dictionary cannot be written to \"" + PathForMessage(target) + "\": " + what +
           ", and the dictionary would replace what it holds.\nNothing was written. Choose "
           "another name, ending in \".rtf\".";
}

void AddUserOnce(std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}
