#include "core/dialogs/WordFont.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLineEdit>

namespace {

// The largest size (tenths) at which the text fits, found the slow way.
int LargestFitting(const QString& text, int available) {
    for (int tenths = 280; tenths > 100; tenths -= 10) {
        QFont font(QStringLiteral("Arial"));
        font.setBold(true);
        font.setPointSizeF(tenths / 10.0);
        if (QFontMetrics(font).horizontalAdvance(text) <= available) return tenths;
    }
    return 100;
}

TEST(WordFont, FitsTheWordFrom28PointsDownTo10) {
    QLineEdit edit;
    edit.resize(400, 40);
    const QString texts[] = {"cat", "a rather longer phrase to write",
                             QString(200, QChar('W'))};
    for (const QString& text : texts) {
        const int tenths = FitWordFont(&edit, text);
        EXPECT_EQ(tenths, LargestFitting(text, 400 - 25)) << text.toStdString();
        EXPECT_TRUE(edit.font().bold());
        EXPECT_DOUBLE_EQ(edit.font().pointSizeF(), tenths / 10.0);
    }
    EXPECT_EQ(FitWordFont(&edit, "cat"), 280);
    EXPECT_EQ(FitWordFont(&edit, QString(200, QChar('W'))), 100);
}

}  // namespace
