#pragma once
// The dialogs that the main dialog opens, behind one small interface, so that tests replace
// them with scripted results and the program runs the real ones.
#include <string>

class QWidget;

class MainDialogChildren {
public:
    virtual ~MainDialogChildren() = default;
    // The build dialog on a word list; false, with no dialog shown, when its loader refuses
    // the list, with the reason in `why` when there is more to say than that it could not
    // be opened (a progress file that cannot be read).
    virtual bool RunBuild(QWidget* parent, const std::string& wordListPath, std::string& why) = 0;
    // The speech-training dialog on a word list; false as for RunBuild.
    virtual bool RunSpeechTraining(QWidget* parent, const std::string& wordListPath,
                                   std::string& why) = 0;
    // The live stroke test ("Adjust writer"), which opens a writer for the current settings.
    virtual void RunWriterTest(QWidget* parent) = 0;
    virtual void RunAbout(QWidget* parent) = 0;
};

// The program's own dialogs.
class RealMainDialogChildren : public MainDialogChildren {
public:
    bool RunBuild(QWidget* parent, const std::string& wordListPath, std::string& why) override;
    bool RunSpeechTraining(QWidget* parent, const std::string& wordListPath,
                           std::string& why) override;
    void RunWriterTest(QWidget* parent) override;
    void RunAbout(QWidget* parent) override;
};
