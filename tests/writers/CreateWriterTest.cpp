// The writer types and the factory: the list texts, what each type makes in each mode, and
// the writers the factory makes with no device present.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "platform/Clock.h"
#include "tests/fakes/FakeOwnerWindow.h"
#include "tests/sim/GeminiSimulator.h"
#include "tests/fakes/TestWriters.h"
#include "tests/support/ScriptedPresenter.h"
#include "writers/CWriterAC.h"
#include "writers/CWriterEZ.h"
#include "writers/CWriterFL.h"
#include "writers/CWriterFN.h"
#include "writers/CWriterGJ.h"
#include "writers/CWriterGM.h"
#include "writers/CWriterMD.h"
#include "writers/CWriterMW.h"
#include "writers/CWriterPT.h"
#include "writers/CWriterPP.h"
#include "writers/CWriterSG.h"
#include "writers/CWriterSGU.h"
#include "writers/CWriterSR.h"
#include "writers/CWriterTR.h"
#include "writers/CWriterTX.h"
#include "writers/CreateWriter.h"

namespace {

using K = DriverKind;

// One writer type as the main dialog lists it. `refused` holds one character per mode 0..3:
// '.' a writer is made, 's' refused silently, 'm' refused after the diskette message.
struct TypeRow {
    int type;
    const char* text;
    K notesFolder;  // the driver of mode 0
    K otherModes;   // the driver of modes 1 to 3
    int modelFlag;
    int usbFlag;
    const char* refused;
};

const TypeRow kTypes[] = {
    {0, "Stentura 200SRT", K::SG, K::SG, 0, 0, "...."},
    {1, "Stentura 400SRT", K::SG, K::SG, 0, 0, "...."},
    {2, "Stentura 500", K::SG, K::SG, 0, 0, "...."},
    {3, "Stentura 6000", K::SG, K::SG, 1, 0, "...."},
    {4, "Stentura 8000", K::SG, K::SG, 1, 0, "...."},
    {5, "SmartWriter", K::SG, K::SG, 1, 0, "...."},
    {6, "StenoRAM2", K::SR, K::SR, 1, 0, "...."},
    {7, "StenoRAM3", K::SR, K::SR, 1, 0, "...."},
    {8, "StenoRAM3+", K::SR, K::SR, 1, 0, "...."},
    {9, "StenoRAM Ultra", K::SR, K::SR, 1, 0, "...."},
    {10, "Vision", K::SR, K::SR, 1, 0, "...."},
    {11, "Flash", K::SR, K::FL, 1, 0, "...."},
    {12, "TranscriptorX", K::None, K::TX, 1, 0, "m..."},
    {13, "MeritWriter", K::None, K::MW, 1, 0, "m..."},
    {14, "TurboWriter", K::None, K::MW, 1, 0, "m..."},
    {15, "StenoWriter", K::None, K::MW, 1, 0, "m..."},
    {16, "DiscWriter", K::None, K::MW, 1, 0, "m..."},
    {17, "Gemini", K::None, K::GM, 1, 0, "ms.."},
    {18, "EZ-Writer", K::EZ, K::EZ, 1, 0, "...."},
    {19, "AccuWriter", K::AC, K::AC, 1, 0, "...."},
    {20, "Palantype", K::PT, K::PT, 1, 0, "...."},
    {21, "Tr\xE9" "al", K::TR, K::TR, 1, 1, "...."},
    {22, "MIDI Michela", K::MD, K::MD, 1, 0, "...."},
    {23, "Foniks", K::FN, K::FN, 1, 0, ".s.."},
    {24, "Stylus", K::SR, K::FL, 1, 0, "...."},
    {25, "Passport", K::PP, K::PP, 1, 0, ".s.."},
    {26, "Speech", K::None, K::None, 1, 0, "ssss"},
    {27, "Lightspeed", K::None, K::TX, 1, 0, "m..."},
    {28, "Stenograph USB", K::SGU, K::SGU, 1, 1, "...."},
    {29, "Grandjean", K::GJ, K::GJ, 1, 0, ".s.."},
    {30, "Diamante USB", K::SGU, K::SGU, 1, 1, "...."},
    {31, "Diamante VSP", K::SG, K::SG, 1, 0, "...."},
};
static_assert(std::size(kTypes) == kWriterTypeCount);

// What the factory must do for (type, mode), from the rows above.
WriterChoice Expected(int type, int mode) {
    WriterChoice choice;  // no writer, nothing shown, modelFlag 1, usbFlag 0
    if (type < 0 || type >= kWriterTypeCount) return choice;
    const TypeRow& row = kTypes[type];
    switch (row.refused[mode]) {
        case 'm': choice.refusal = Refusal::Diskette; return choice;
        case 's': return choice;
    }
    choice.refusal = Refusal::None;
    choice.driver = mode == 0 ? row.notesFolder : row.otherModes;
    choice.modelFlag = row.modelFlag;
    choice.usbFlag = row.usbFlag;
    return choice;
}

TEST(WriterTypes, ListTextsInTheirOrder) {
    for (const TypeRow& row : kTypes) EXPECT_EQ(WriterTypeText(row.type), row.text) << row.type;
    EXPECT_EQ(WriterTypeText(21).size(), 5u);
    EXPECT_EQ(static_cast<unsigned char>(WriterTypeText(21)[2]), 0xE9u);  // Windows-1252 e acute
    for (int type : {-1, 32, 1000}) EXPECT_EQ(WriterTypeText(type), "") << type;
}

TEST(WriterTypes, ClassificationOfEveryTypeInEveryMode) {
    for (int type = -1; type <= 33; ++type)
        for (int mode = 0; mode <= 3; ++mode)
            EXPECT_EQ(ClassifyWriter(type, mode), Expected(type, mode))
                << "type " << type << " mode " << mode;
}

TEST(WriterTypes, ModesThatDoNotExistMakeNoWriter) {
    for (int mode : {-1, 4, 99}) EXPECT_EQ(ClassifyWriter(18, mode), WriterChoice{}) << mode;
}

TEST(WriterTypes, FlashAndStylusReadAFolderWithTheSrDriver) {
    for (int type : {11, 24}) {
        EXPECT_EQ(ClassifyWriter(type, 0).driver, K::SR);
        for (int mode : {1, 2, 3}) EXPECT_EQ(ClassifyWriter(type, mode).driver, K::FL);
    }
}

// ---- the factory --------------------------------------------------------------------------

// The class a built driver kind must make.
const std::map<K, std::function<bool(CWriter*)>>& ClassChecks() {
    static const std::map<K, std::function<bool(CWriter*)>> checks = {
        {K::SG, [](CWriter* w) { return dynamic_cast<CWriterSG*>(w) != nullptr; }},
        {K::FL, [](CWriter* w) { return dynamic_cast<CWriterFL*>(w) != nullptr; }},
        {K::GM, [](CWriter* w) { return dynamic_cast<CWriterGM*>(w) != nullptr; }},
        {K::EZ, [](CWriter* w) { return dynamic_cast<CWriterEZ*>(w) != nullptr; }},
        {K::AC, [](CWriter* w) { return dynamic_cast<CWriterAC*>(w) != nullptr; }},
        {K::FN, [](CWriter* w) { return dynamic_cast<CWriterFN*>(w) != nullptr; }},
        {K::PP, [](CWriter* w) { return dynamic_cast<CWriterPP*>(w) != nullptr; }},
        {K::GJ, [](CWriter* w) { return dynamic_cast<CWriterGJ*>(w) != nullptr; }},
        {K::TR, [](CWriter* w) { return dynamic_cast<CWriterTR*>(w) != nullptr; }},
        {K::MW, [](CWriter* w) { return dynamic_cast<CWriterMW*>(w) != nullptr; }},
        {K::PT, [](CWriter* w) { return dynamic_cast<CWriterPT*>(w) != nullptr; }},
        {K::SR, [](CWriter* w) { return dynamic_cast<CWriterSR*>(w) != nullptr; }},
        {K::TX, [](CWriter* w) { return dynamic_cast<CWriterTX*>(w) != nullptr; }},
        {K::MD, [](CWriter* w) { return dynamic_cast<CWriterMD*>(w) != nullptr; }},
        {K::SGU, [](CWriter* w) { return dynamic_cast<CWriterSGU*>(w) != nullptr; }},
    };
    return checks;
}

class Factory : public ::testing::Test {
protected:
    void SetUp() override {
        fakes::UseLineSettings(1);  // COM1, with nothing behind it
        GetSettings().keyboardLayout = 7;
    }
    fakes::FakeOwnerWindow owner;
};

TEST_F(Factory, EveryTypeInEveryModeWithNoDevicePresent) {
    // No line and no device: the drivers' pauses before asking again need not take real time.
    platform::FastClock clock;
    platform::ScopedClock scopedClock(clock);
    AppSettings& settings = GetSettings();
    for (int type = -1; type <= 33; ++type) {
        for (int mode = 0; mode <= 3; ++mode) {
            SCOPED_TRACE("type " + std::to_string(type) + " mode " + std::to_string(mode));
            const WriterChoice expected = Expected(type, mode);
            const bool made = expected.refusal == Refusal::None && DriverBuilt(expected.driver);
            settings.writerType = type;
            settings.usbFlag = 1 - expected.usbFlag;  // so that the call must set it

            ScriptedPresenter presenter;
            presenter.Answer(5017, 1).Answer(5017, 1).Answer(5017, 1);  // Cancel each time
            presenter.AllowUnused();
            testing::internal::CaptureStderr();
            std::unique_ptr<CWriter> writer(CreateWriter(settings, mode, owner.Handle(), 1));
            const std::string errors = testing::internal::GetCapturedStderr();

            EXPECT_EQ(settings.usbFlag, expected.usbFlag);
            EXPECT_EQ(writer != nullptr, made);
            bool diskette = false;
            for (const ScriptedPresenter::Question& q : presenter.Asked()) {
                if (q.id == kMessageDisketteNotes) {
                    diskette = true;
                    EXPECT_EQ(q.style, 0u);
                    EXPECT_EQ(q.text, "Diskettes from this writer cannot be read directly in "
                                      "this system.\r\nUse the cable interface to read notes "
                                      "from the writer.");
                } else {
                    EXPECT_TRUE(q.id == 5017 || q.answeredAtOnce) << "asked " << q.id;
                }
            }
            EXPECT_EQ(diskette, expected.refusal == Refusal::Diskette);

            const bool missingDriver = expected.refusal == Refusal::None && !made;
            if (missingDriver) {
                // Named as the user knows it, in the terminal's UTF-8.
                const std::string name = type == 21 ? "Tr\xC3\xA9" "al" : kTypes[type].text;
                EXPECT_NE(errors.find("\"" + name + "\""), std::string::npos) << errors;
                EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
            } else {
                EXPECT_EQ(errors.find("not in this build"), std::string::npos) << errors;
            }
            if (!writer) continue;

            auto check = ClassChecks().find(expected.driver);
            if (check != ClassChecks().end()) {
                EXPECT_TRUE(check->second(writer.get()));
            }
            // The Foniks driver turns its notes folder into stored notes, read in mode 1.
            EXPECT_EQ(writer->mode, expected.driver == K::FN && mode == 0 ? 1 : mode);
            EXPECT_EQ(writer->modelFlag, expected.modelFlag);
            EXPECT_EQ(writer->keyboardLayout, 7);
            // The writer is stopped and deleted as its owner would: the thread is joined.
            writer->Stop();
            EXPECT_FALSE(writer->readerThread.joinable());
        }
    }
}

TEST_F(Factory, TheWriterMadeIsStartedOnTheLineWithItsOwnerAndLayout) {
    sim::GeminiSimulator sim{1};
    ASSERT_TRUE(sim.IsOpen()) << sim.Error();
    GetSettings().writerType = 17;
    GetSettings().keyboardLayout = 0;
    std::unique_ptr<CWriter> writer(CreateWriter(GetSettings(), 2, owner.Handle(), 1));
    ASSERT_NE(writer, nullptr);
    sim.Stroke("S1- -E");
    ASSERT_TRUE(owner.WaitForStrokes(*writer, 1, 5000));
    EXPECT_EQ(owner.StrokeKeys(), std::vector<std::string>{"20 08 00 00 00 00"});
    EXPECT_EQ(owner.Strokes()[0].layout, 0);
}

}  // namespace
