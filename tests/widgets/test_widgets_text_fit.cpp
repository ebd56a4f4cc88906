// The combo box's width for its rows: rows in a Chinese, Japanese or Korean script give
// the same width as a measure of every row, whether or not one of them is the widest.
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QPixmap>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "TextFit.h"

namespace {

// Every row measured, as the style lays a chosen row out in the field.
int measureEveryRow(QComboBox* combo) {
    QComboBox empty;
    empty.setFont(combo->font());
    empty.setIconSize(combo->iconSize());
    const int decorations = TextFit::comboWidth(&empty);
    const QFontMetrics metrics(combo->font());
    int widest = 0;
    for (int row = 0; row < combo->count(); ++row) {
        int width = 1 + metrics.horizontalAdvance(combo->itemText(row));
        if (!combo->itemIcon(row).isNull()) {
            width += combo->iconSize().width() + 4;
        }
        widest = std::max(widest, width);
    }
    return widest + decorations;
}

TEST(TextFit, ComboWidthMeasuresWideScriptRowsWhereTheyCouldBeTheWidest) {
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    struct Case {
        const char* what;
        QStringList rows;
        bool icons;
    };
    const Case cases[] = {
        {"short names beside a long Latin row",
         {QStringLiteral("Follow the system"), QString::fromUtf8("日本語"), QString::fromUtf8("한국어"),
          QString::fromUtf8("繁體中文")},
         false},
        {"a Chinese row the widest",
         {QStringLiteral("English"), QString::fromUtf8("繁體中文繁體中文繁體中文繁體中文")},
         false},
        {"every row Japanese", {QString::fromUtf8("システム"), QString::fromUtf8("日本語の表示")}, false},
        {"mixed scripts in a row, with icons",
         {QStringLiteral("x"), QString::fromUtf8("Korean 한국어 (KR)")},
         true},
        {"Latin rows only", {QStringLiteral("Normal"), QStringLiteral("Dark mode")}, false},
    };
    for (const Case& c : cases) {
        QComboBox combo;
        combo.setIconSize(QSize(16, 16));
        for (const QString& row : c.rows) {
            if (c.icons) {
                combo.addItem(QIcon(picture), row);
            } else {
                combo.addItem(row);
            }
        }
        EXPECT_EQ(TextFit::comboWidth(&combo), measureEveryRow(&combo)) << c.what;
    }
}

} // namespace
