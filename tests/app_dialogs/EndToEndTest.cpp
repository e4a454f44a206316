// The program from start-up to a dictionary: the main dialog on a copy of the shipped Data/,
// Build with the real build dialog and an SG writer simulated on a pseudo-terminal, strokes
// becoming an entry, Save, then Make RTF, and the dictionary's bytes.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/dialogs/CBuildDlg.h"
#include "app/dialogs/CDictionaryBuilderApp.h"
#include "app/dialogs/CDictionaryBuilderDlg.h"
#include "app/dialogs/MainDialogChildren.h"
#include "core/AppSettings.h"
#include "core/DataFiles.h"
#include "core/RtfDictionary.h"
#include "core/Stroke.h"
#include "platform/Profile.h"
#include "tests/sim/SgSimulator.h"
#include "tests/support/FileHelpers.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBound = 5000;  // a bound on waiting, not a speed claim

void WriteOnMachine(SgSimulator& sim, const char* steno) {
    const Outline stroke = ParseOutline(0, steno);
    ASSERT_GE(stroke.size(), 3u) << steno;
    sim.Model().Write(std::uint8_t(stroke[0]), std::uint8_t(stroke[1]), std::uint8_t(stroke[2]));
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST(EndToEndTest, StartUpBuildWithAnSgWriterSaveAndMakeRtf) {
    const std::string folder = testenv::MakeTempDir("cwd");
    fs::copy(DQ_SHIPPED_DATA, folder + "/Data", fs::copy_options::recursive);
    // The user's writer: a Stentura 200SRT (SG protocol) on COM1, which leads to the simulator.
    SgSimulator sim{1};
    ASSERT_TRUE(sim.IsOpen()) << sim.Error();
    platform::WriteProfileString(kDataSection, kUsersValue, "default");
    platform::WriteProfileInt(WriterSection("default"), "Type", 0);
    platform::WriteProfileInt(WriterSection("default"), "Port", 0);

    ScriptedPresenter presenter;
    RealMainDialogChildren children;
    CDictionaryBuilderApp app(children, folder);
    std::string listPath, rtfPath;
    bool built = false;
    app.SetOnShown([&](CDictionaryBuilderDlg& main) {
        listPath = main.SelectedWordListPath();
        ModalDriver driver([&](QWidget* shown) {
            auto* build = qobject_cast<CBuildDlg*>(shown);
            ASSERT_NE(build, nullptr);
            auto* strokes = build->findChild<QListWidget*>("strokeList");
            WriteOnMachine(sim, "HEL");
            WriteOnMachine(sim, "HRO");
            EXPECT_TRUE(QTest::qWaitFor([&] { return strokes->count() == 2; }, kBound));
            WriteOnMachine(sim, "*FPLT");  // Next: the outline becomes the word's entry
            EXPECT_TRUE(QTest::qWaitFor([&] { return build->Walk().entries.size() == 1; }, kBound));
            built = true;
            QTest::mouseClick(build->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
        });
        main.OnBuild();
        EXPECT_TRUE(driver.Acted());

        rtfPath = GetSettings().documentsFolder + "mine.rtf";
        presenter.AnswerFile(rtfPath);
        main.OnMakeRtf();
        main.reject();
    });
    ModalDriver guard([](QWidget*) {}, 20000);
    app.InitInstance();
    ASSERT_TRUE(built);

    // The first word of the first list of the first module.
    std::string word;
    for (const std::string& line : ReadWordListFile(listPath))
        if (line.empty() || line[0] != '@') {
            word = line;
            break;
        }
    ASSERT_FALSE(word.empty());
    int position = -1;
    const std::string progress = GetSettings().documentsFolder + GetPathTitle(listPath) + ".dqx";
    EXPECT_EQ(ReadProgressFile(progress, position),
              (std::vector<ProgressEntry>{{"HEL/HRO", word}}));
    EXPECT_EQ(testfiles::ReadBytes(rtfPath),
              WithCrLf(RtfDictionaryHeader) + "{\\*\\cxs HEL/HRO}" + word + "\r\n}");
}

}  // namespace
