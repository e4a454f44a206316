#include "core/dialogs/WordFont.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QWidget>

namespace {
constexpr int kSmallestTenths = 100;
constexpr int kMarginPx = 25;

QFont WordFontAt(int tenths) {
    // "Arial Bold" is a face name: family "Arial" in bold.
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSizeF(tenths / 10.0);
    return font;
}
}  // namespace

int FitWordFont(QWidget* edit, const QString& text, int fromTenths) {
    int tenths = fromTenths < kSmallestTenths ? kSmallestTenths : fromTenths;
    const int available = edit->width() - kMarginPx;
    for (;; tenths -= 10) {
        const QFont font = WordFontAt(tenths);
        if (tenths <= kSmallestTenths ||
            QFontMetrics(font).horizontalAdvance(text) <= available) {
            edit->setFont(font);
            return tenths;
        }
    }
}
