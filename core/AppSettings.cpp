#include "core/AppSettings.h"

#include <cstdint>

#include "core/TextUtil.h"
#include "platform/Folder.h"
#include "platform/Profile.h"

const char* const kDataSection = "Settings\\Data";
const char* const kDataDirectoryValue = "Data Directory";
const char* const kDefaultUserValue = "Default User";
const char* const kUsersValue = "Users";

namespace {

constexpr int kLanguageStringId = 104;

constexpr int kDefaultWriterType = 4;
constexpr int kWriterTypeCount = 32;
constexpr int kDefaultBaudRate = 9600;
constexpr int kDefaultDataBits = 8;
constexpr int kDefaultStopBits = 1;
// The port is stored counting from 0. Ports reach the device name through their low 8 bits,
// so 1 to 255 are the ports there are.
constexpr int kMaxStoredPort = 254;

struct CommandStrokeDefaults {
    const char* next;
    const char* back;
    const char* accept;
    const char* clear;
    const char* deleteLast;
    int layout;
};

constexpr CommandStrokeDefaults kEnglishDefaults{"*FPLT", "STPH*", "*RBGS", "SKWR*", "*", 0};
constexpr CommandStrokeDefaults kFrenchDefaults{"KMFR", "AlnD", "SPT*", "UlsC", "KMFRUlsC", 1};
constexpr const char* kDefaultShadow = "STKPWHRFRPBLGTS";
constexpr const char* kDefaultDrop = "LG";

// A stored integer within [low, high], else the default: a value out of range would index a
// table or name a device that cannot exist.
int ReadInRange(const std::string& section, const char* entry, int low, int high, int fallback) {
    int value = platform::GetProfileInt(section, entry, fallback);
    return value >= low && value <= high ? value : fallback;
}

// Beside each stroke text the profile keeps the stroke bytes themselves ("<name> Exact", two
// hexadecimal digits a byte): in several layouts the text of some strokes parses back to a
// different stroke, so a captured chord would stop matching after a restart. The text stays
// what other tools read; the bytes are used only while the text is still the one they give.
constexpr const char* kExactSuffix = " Exact";

std::string ExactText(const Outline& outline) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : outline) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

// False for anything but whole strokes of hexadecimal digit pairs.
bool ParseExact(const std::string& text, Outline& outline) {
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (text.empty() || text.size() % (2 * kStrokeSize) != 0) return false;
    outline.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]), low = digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        outline += char(high << 4 | low);
    }
    return true;
}

std::string LowerCaseAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string WriterSection(const std::string& user) { return user + "\\Settings\\Writer"; }
std::string StrokesSection(const std::string& user) { return user + "\\Settings\\Strokes"; }

bool FrenchDefaults() { return LoadResString(kLanguageStringId) == "FR"; }

AppSettings& GetSettings() {
    static AppSettings settings;
    return settings;
}

void AppSettings::LoadUserSettings(std::string user) {
    userName = LowerCaseAscii(std::move(user));
    userFolder = dataFolder + "/" + userName + "/";
    if (!FileExists(userFolder)) platform::MakeFolder(userFolder);
    ReadSections(WriterSection(userName), StrokesSection(userName), FrenchDefaults());
}

void AppSettings::ReadSections(const std::string& writerSection,
                               const std::string& strokesSection, bool frenchDefaults) {
    const CommandStrokeDefaults& defaults = frenchDefaults ? kFrenchDefaults : kEnglishDefaults;
    writerType = ReadInRange(writerSection, "Type", 0, kWriterTypeCount - 1, kDefaultWriterType);
    port = ReadInRange(writerSection, "Port", 0, kMaxStoredPort, 0) + 1;
    int baud = platform::GetProfileInt(writerSection, "Baud Rate", kDefaultBaudRate);
    baudRate = baud > 0 ? baud : kDefaultBaudRate;
    dataBits = ReadInRange(writerSection, "Data Bits", 7, 8, kDefaultDataBits);
    parity = ReadInRange(writerSection, "Parity", 0, 3, 0);
    stopBits = ReadInRange(writerSection, "Stop Bits", 1, 2, kDefaultStopBits);
    const int layout =
        ReadInRange(writerSection, "Language", 0, kLayoutCount - 1, defaults.layout);
    keyboardLayout = layout;

    const auto read = [&](const char* entry, const char* fallback) {
        const std::string text = platform::GetProfileString(strokesSection, entry, fallback);
        Outline exact;
        if (ParseExact(platform::GetProfileString(strokesSection, entry + std::string(kExactSuffix)),
                       exact) &&
            FormatOutline(std::uint8_t(layout), exact, 0) == text)
            return exact;
        return ParseOutline(std::uint8_t(layout), text);
    };
    nextStroke = read("Next", defaults.next);
    backStroke = read("Back", defaults.back);
    acceptStroke = read("Accept", defaults.accept);
    clearStroke = read("Clear", defaults.clear);
    deleteStroke = read("Delete", defaults.deleteLast);
    shadowMask = read("Shadow", kDefaultShadow);
    dropMask = read("Drop", kDefaultDrop);
}

void AppSettings::SetDefaultCommandStrokes(bool french) {
    const CommandStrokeDefaults& defaults = french ? kFrenchDefaults : kEnglishDefaults;
    const auto parse = [this](const char* text) { return ParseOutline(std::uint8_t(keyboardLayout), text); };
    nextStroke = parse(defaults.next);
    backStroke = parse(defaults.back);
    acceptStroke = parse(defaults.accept);
    clearStroke = parse(defaults.clear);
    deleteStroke = parse(defaults.deleteLast);
}

void AppSettings::SaveUserSettings() {
    const std::string writer = WriterSection(userName);
    const std::string strokes = StrokesSection(userName);
    const int layout = keyboardLayout;
    // One replacement of the profile file for the whole record.
    platform::ProfileBatch batch;

    platform::WriteProfileInt(writer, "Type", writerType);
    // Wraps rather than overflows for an impossible port; loading turns it into port 1.
    platform::WriteProfileInt(writer, "Port", int(std::int64_t(port) - 1));
    platform::WriteProfileInt(writer, "Baud Rate", baudRate);
    platform::WriteProfileInt(writer, "Data Bits", dataBits);
    platform::WriteProfileInt(writer, "Parity", parity);
    platform::WriteProfileInt(writer, "Stop Bits", stopBits);
    platform::WriteProfileInt(writer, "Language", layout);

    auto write = [&](const char* entry, const Outline& outline) {
        platform::WriteProfileString(strokes, entry, FormatOutline(std::uint8_t(layout), outline, 0));
        platform::WriteProfileString(strokes, entry + std::string(kExactSuffix), ExactText(outline));
    };
    write("Accept", acceptStroke);
    write("Clear", clearStroke);
    write("Delete", deleteStroke);
    write("Next", nextStroke);
    write("Back", backStroke);
    write("Shadow", shadowMask);
    write("Drop", dropMask);

    platform::WriteProfileString(kDataSection, kDefaultUserValue, userName);
    std::string users;
    for (std::size_t i = 0; i < userNames.size(); ++i) {
        if (i > 0) users += ' ';
        users += userNames[i];
    }
    platform::WriteProfileString(kDataSection, kUsersValue, users);
}
