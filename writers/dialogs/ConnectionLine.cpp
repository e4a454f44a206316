#include "writers/dialogs/ConnectionLine.h"

#include <QFile>
#include <QLabel>
#include <QLayout>

#include "writers/CWriter.h"

namespace {
constexpr QChar kBreakHere(0x200B);  // zero width space
}  // namespace

QString ConnectionLineText(const std::string& statusText) {
    QString text = QFile::decodeName(QByteArray::fromStdString(statusText));
    for (QChar after : {QLatin1Char('/'), QLatin1Char('_')})
        text.replace(after, QString(after) + kBreakHere);
    return text;
}

void ShowConnectionLine(QLabel* label, CWriter* writer) {
    const QString text =
        writer ? ConnectionLineText(writer->GetConnectionStatus().Text()) : QString();
    if (text == label->text() && label->isVisibleTo(label->window()) == !text.isEmpty()) return;
    label->setText(text);
    label->setVisible(!text.isEmpty());
    if (text.isEmpty()) return;
    // A wrapped line needs the height of its lines at the width it is given: the window grows
    // to what its layout needs at its width.
    QWidget* window = label->window();
    QLayout* layout = window->layout();
    if (!layout) return;
    layout->activate();
    const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(window->width())
                                                   : layout->totalMinimumSize().height();
    if (window->height() < needed) window->resize(window->width(), needed);
}
