#pragma once
// Looking at windows in widget tests: pictures of a window where DQ_SHOTS points (nowhere when
// it is unset; the Xvfb run points it at build/app-smoke), the application's font at a size,
// and a check that no visible button or one-line label is narrower than its text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <string>

namespace pictures {

inline void Shot(QWidget* w, const std::string& name) {
    if (const char* dir = std::getenv("DQ_SHOTS"))
        w->grab().save(QString::fromLocal8Bit(dir) + "/" + QString::fromStdString(name));
}

// 0: the platform's own size.
inline void UseFontSize(int points) {
    static const QFont original = QApplication::font();
    QFont font = original;
    if (points) font.setPointSize(points);
    QApplication::setFont(font);
}

inline void ExpectButtonsShowTheirText(QWidget* dialog) {
    for (auto* button : dialog->findChildren<QPushButton*>()) {
        if (!button->isVisible()) continue;
        const QFontMetrics metrics(button->font());
        EXPECT_GE(button->width(), metrics.horizontalAdvance(button->text().remove('&')))
            << button->objectName().toStdString();
    }
    for (auto* label : dialog->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->wordWrap() || label->textFormat() == Qt::RichText ||
            !label->pixmap().isNull())
            continue;
        // A label with a buddy shows its "&" as the mnemonic's underline.
        QString text = label->text();
        if (label->buddy()) text.remove('&');
        EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(text))
            << label->objectName().toStdString();
    }
}

}  // namespace pictures
