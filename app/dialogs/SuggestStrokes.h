#pragma once
// "Shadows/Drops" (dialog 136): lists the shadow and drop variants of the outline just
// written and returns the ones the user picks.
#include <QDialog>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Stroke.h"

namespace Ui {
class SuggestStrokes;
}

class SuggestStrokes : public QDialog {
    Q_OBJECT
public:
    // `text`: the outline's stroke texts separated by blanks, in the settings' layout.
    explicit SuggestStrokes(const std::string& text, QWidget* parent = nullptr);
    ~SuggestStrokes() override;

    // The variants under the settings' shadow and drop masks, in list order.
    std::vector<Outline> GenerateVariants() const;
    // Fills the list; nothing is selected.
    void OnInitDialog();
    // OnInitDialog, then the modal run: IDOK or IDCANCEL.
    int Run();
    // Takes the selected lines in list order, whatever order they were clicked in; IDOK.
    void OnOK();

    void accept() override { OnOK(); }
    void reject() override;

    std::map<int, std::string> listTexts;
    Outline parsedOutline;
    std::vector<std::string> chosenOutlines;  // read after IDOK

private:
    std::unique_ptr<Ui::SuggestStrokes> ui;
};
