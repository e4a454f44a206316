#include "writers/WriterTypes.h"

#include <array>

namespace {

using K = DriverKind;

constexpr unsigned Mode(int mode) { return 1u << mode; }
constexpr unsigned kAllModes = 0xF;
constexpr int kModeCount = 4;

struct WriterTypeRow {
    const char* text;
    DriverKind driver;             // modes 1 to 3, and mode 0 unless notesFolderDriver is set
    DriverKind notesFolderDriver;  // mode 0, when another class reads the folder
    int modelFlag;
    int usbFlag;
    unsigned silentModes;    // refused without a word
    unsigned disketteModes;  // refused with message 5047
};

// The order is the writer list's: the settings store the index.
const std::array<WriterTypeRow, kWriterTypeCount> kRows = {{
    {"Stentura 200SRT", K::SG, K::None, 0, 0, 0, 0},
    {"Stentura 400SRT", K::SG, K::None, 0, 0, 0, 0},
    {"Stentura 500", K::SG, K::None, 0, 0, 0, 0},
    {"Stentura 6000", K::SG, K::None, 1, 0, 0, 0},
    {"Stentura 8000", K::SG, K::None, 1, 0, 0, 0},
    {"SmartWriter", K::SG, K::None, 1, 0, 0, 0},
    {"StenoRAM2", K::SR, K::None, 1, 0, 0, 0},
    {"StenoRAM3", K::SR, K::None, 1, 0, 0, 0},
    {"StenoRAM3+", K::SR, K::None, 1, 0, 0, 0},
    {"StenoRAM Ultra", K::SR, K::None, 1, 0, 0, 0},
    {"Vision", K::SR, K::None, 1, 0, 0, 0},
    {"Flash", K::FL, K::SR, 1, 0, 0, 0},
    {"TranscriptorX", K::TX, K::None, 1, 0, 0, Mode(0)},
    {"MeritWriter", K::MW, K::None, 1, 0, 0, Mode(0)},
    {"TurboWriter", K::MW, K::None, 1, 0, 0, Mode(0)},
    {"StenoWriter", K::MW, K::None, 1, 0, 0, Mode(0)},
    {"DiscWriter", K::MW, K::None, 1, 0, 0, Mode(0)},
    {"Gemini", K::GM, K::None, 1, 0, Mode(1), Mode(0)},
    {"EZ-Writer", K::EZ, K::None, 1, 0, 0, 0},
    {"AccuWriter", K::AC, K::None, 1, 0, 0, 0},
    {"Palantype", K::PT, K::None, 1, 0, 0, 0},
    {"Tr\xE9" "al", K::TR, K::None, 1, 1, 0, 0},
    {"MIDI Michela", K::MD, K::None, 1, 0, 0, 0},
    {"Foniks", K::FN, K::None, 1, 0, Mode(1), 0},
    {"Stylus", K::FL, K::SR, 1, 0, 0, 0},
    {"Passport", K::PP, K::None, 1, 0, Mode(1), 0},
    {"Speech", K::None, K::None, 1, 0, kAllModes, 0},
    {"Lightspeed", K::TX, K::None, 1, 0, 0, Mode(0)},
    {"Stenograph USB", K::SGU, K::None, 1, 1, 0, 0},
    {"Grandjean", K::GJ, K::None, 1, 0, Mode(1), 0},
    {"Diamante USB", K::SGU, K::None, 1, 1, 0, 0},
    {"Diamante VSP", K::SG, K::None, 1, 0, 0, 0},
}};

}  // namespace

const std::string& WriterTypeText(int type) {
    static const auto kTexts = [] {
        std::array<std::string, kWriterTypeCount> texts;
        for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = kRows[i].text;
        return texts;
    }();
    static const std::string kNone;
    if (type < 0 || type >= kWriterTypeCount) return kNone;
    return kTexts[std::size_t(type)];
}

WriterChoice ClassifyWriter(int type, int mode) {
    WriterChoice choice;
    if (type < 0 || type >= kWriterTypeCount || mode < 0 || mode >= kModeCount) return choice;
    const WriterTypeRow& row = kRows[std::size_t(type)];
    if (row.disketteModes & Mode(mode)) {
        choice.refusal = Refusal::Diskette;
        return choice;
    }
    if (row.silentModes & Mode(mode)) return choice;
    choice.refusal = Refusal::None;
    choice.modelFlag = row.modelFlag;
    choice.usbFlag = row.usbFlag;
    choice.driver = mode == 0 && row.notesFolderDriver != K::None ? row.notesFolderDriver
                                                                    : row.driver;
    return choice;
}

bool HasNoSerialLine(int type) {
    return type >= 0 && type < kWriterTypeCount && kRows[std::size_t(type)].usbFlag != 0;
}

const char* DriverClassName(DriverKind kind) {
    switch (kind) {
        case K::None: return "";
        case K::SG: return "CWriterSG";
        case K::SR: return "CWriterSR";
        case K::FL: return "CWriterFL";
        case K::TX: return "CWriterTX";
        case K::MW: return "CWriterMW";
        case K::GM: return "CWriterGM";
        case K::EZ: return "CWriterEZ";
        case K::AC: return "CWriterAC";
        case K::PT: return "CWriterPT";
        case K::TR: return "CWriterTR";
        case K::MD: return "CWriterMD";
        case K::FN: return "CWriterFN";
        case K::PP: return "CWriterPP";
        case K::SGU: return "CWriterSGU";
        case K::GJ: return "CWriterGJ";
    }
    return "";
}
