#pragma once
// The writer types: the entries of the main dialog's writer list, in the order the settings
// store them (by index), and what the factory makes of each in each writer mode. Pure data,
// no drivers: the factory (CreateWriter.h) turns a choice into a driver object.
#include <string>

constexpr int kWriterTypeCount = 32;
// The entry that selects speech training instead of a writer.
constexpr int kSpeechWriterType = 26;
// The message that tells the user diskettes of a writer cannot be read here.
constexpr int kMessageDisketteNotes = 5047;

// The driver classes a writer type can be served by.
enum class DriverKind {
    None,  // no writer for this type (speech training, an unknown type, a refused mode)
    SG,
    SR,
    FL,
    TX,
    MW,
    GM,
    EZ,
    AC,
    PT,
    TR,
    MD,
    FN,
    PP,
    SGU,
    GJ,
};

enum class Refusal {
    None,      // a writer is made
    Silent,    // no writer, nothing shown
    Diskette,  // no writer, after message 5047
};

// What the factory does for one (type, mode).
struct WriterChoice {
    DriverKind driver = DriverKind::None;
    Refusal refusal = Refusal::Silent;
    int modelFlag = 1;  // the writer's modelFlag: 0 for the three oldest SG models (1 when refused)
    int usbFlag = 0;    // the settings' usbFlag: 1 for the keyboard and the USB writers

    bool operator==(const WriterChoice&) const = default;
};

// The list text of a writer type, Windows-1252 bytes ("Tr\xE9" "al" for type 21); empty for
// a type outside 0..31.
const std::string& WriterTypeText(int type);

// The classification of a writer type in a writer mode (0..3). A type outside 0..31, the
// speech entry, and a mode outside 0..3 make no writer and show nothing.
WriterChoice ClassifyWriter(int type, int mode);

// The keyboard and the USB writers: no serial line, so no line settings. False for a type
// outside 0..31.
bool HasNoSerialLine(int type);

// "CWriterSG" and so on; "" for DriverKind::None.
const char* DriverClassName(DriverKind kind);
