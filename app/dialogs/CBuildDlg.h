#pragma once
// "Build dictionary" (dialog 223): walks a word list word by word while the strokes written on
// the machine build each word's outline. The walk itself (BuildWalk) has no widgets; this
// dialog opens the writer, shows the walk and hands it the buttons and the strokes.
//
//   CBuildDlg dialog;
//   if (!dialog.LoadWordList(path)) ... "Error opening file" ...
//   dialog.Run();
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "app/BuildWalk.h"
#include "app/ChildDialogs.h"
#include "platform/QtMessageWindow.h"

class CWriter;

namespace Ui {
class CBuildDlg;
}

class CBuildDlg : public QDialog {
    Q_OBJECT
public:
    explicit CBuildDlg(QWidget* parent = nullptr);
    ~CBuildDlg() override;

    // The list and its progress file from the documents folder. False when the list has no
    // lines; also when its progress file exists but cannot be read, with the message that
    // says why in `why` (empty for an empty list).
    bool LoadWordList(const std::string& path, std::string* why = nullptr);
    // Opens the writer and shows the current word, then runs the dialog modally unless it
    // already ended meanwhile (a heading on the last line). IDOK or IDCANCEL.
    int Run();

    // What the dialog opens; set before Run. By default the configured writer in realtime and
    // the real child dialogs.
    using WriterFactory = std::function<CWriter*(platform::WindowHandle owner)>;
    void SetWriterFactory(WriterFactory factory) { makeWriter_ = std::move(factory); }
    void SetChildren(BuildChildren* children) { walk_.children = children; }

    const BuildWalk& Walk() const { return walk_; }
    CWriter* Writer() const { return writer_; }
    platform::WindowHandle Handle() const { return messageWindow_.Handle(); }

    void reject() override;  // Cancel, Esc and the close box ask first

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void OnInitDialog();
    // Runs one operation of the walk, takes the strokes that waited behind it, shows the
    // result and ends the dialog when the walk has ended.
    void Act(const std::function<void()>& operation);
    void ShowWalk();
    void FitWord();
    void OnDefinitionClick();

    std::unique_ptr<Ui::CBuildDlg> ui;
    platform::QtMessageWindow messageWindow_{this};
    BuildWalk walk_;
    CWriter* writer_ = nullptr;  // owned
    WriterFactory makeWriter_;
    std::unique_ptr<BuildChildren> realChildren_;
    int listedEdits_ = -1;
    QString fittedText_;
    int fittedWidth_ = -1;
};
