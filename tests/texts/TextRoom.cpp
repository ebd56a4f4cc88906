#include "TextRoom.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>

#include <algorithm>
#include <sstream>

namespace textroom {

namespace {

const QChar kEllipsis(0x2026);
const int kUnbounded = 1 << 20;

QString nameOf(const QWidget* widget) {
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

QString pathOf(const QWidget* widget, const QWidget* window) {
    QString path = nameOf(widget);
    for (const QWidget* up = widget->parentWidget(); up != nullptr && widget != window;
         up = up->parentWidget()) {
        path = nameOf(up) + QLatin1Char('/') + path;
        if (up == window) {
            break;
        }
    }
    return path;
}

// A picture of one transparent pixel, written once into the temporary folder: a style
// sheet's own rule with it draws nothing where the application's rule draws a picture.
QString blankPicture() {
    static const QString path = [] {
        const QString file = QDir::temp().filePath(QStringLiteral("korva-blank-picture.png"));
        QImage blank(1, 1, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        blank.save(file);
        return file;
    }();
    return path;
}

QString size(const QSize& s) {
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

// The part of the widget's rectangle that the widgets around it leave visible, up to the
// window or to the viewport of a scroll area (which scrolling moves over its content);
// also the name of the widget that cuts it, when one does.
QRect visiblePart(const QWidget* widget, const QWidget* window, QString* cutBy) {
    QRect part = widget->rect();
    QPoint offset; // the current widget's origin in the measured widget's coordinates
    for (const QWidget* inner = widget; inner != window && inner->parentWidget() != nullptr;) {
        const QWidget* outer = inner->parentWidget();
        offset -= inner->pos();
        const auto* area = qobject_cast<const QAbstractScrollArea*>(outer->parentWidget());
        if (area != nullptr && area->viewport() == outer) {
            break;
        }
        const QRect kept = part & outer->rect().translated(offset);
        if (kept != part && cutBy->isEmpty()) {
            *cutBy = nameOf(outer);
        }
        part = kept;
        inner = outer;
    }
    return part;
}

// The text's rectangle inside the room, as the alignment places it; the text's lines
// take the room's width when they wrap.
QRect placed(const QWidget* widget, Qt::Alignment alignment, const QSize& needed, const QRect& room) {
    return QStyle::alignedRect(widget->layoutDirection(), alignment, needed, room);
}

// A label that only separates two fields ("/", "|", the full-width colons between an
// address and its port): no letter or digit to read, and the form draws it in a room
// narrower than its glyphs on purpose.
bool isSeparator(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

class Checker {
public:
    explicit Checker(QWidget* window) : window(window) {}

    void check(QWidget* widget) {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            checkLabel(label);
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            checkPushButton(button);
        } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
            if (!radio->text().isEmpty() && radio->text() != QLatin1String("RadioButton")) {
                checkToggle(radio, QStyle::SE_RadioButtonContents);
            }
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            checkToggle(box, QStyle::SE_CheckBoxContents);
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            checkCombo(combo);
        }
    }

    std::vector<Fault> found;

private:
    void add(const QWidget* widget, const QString& text, const QString& what) {
        found.push_back({pathOf(widget, window), text, what});
    }

    // A text is whole when it is not elided, fits its room and is not cut by a widget
    // around it. Rows of lines may overflow their room by the font's descent (the empty
    // space under the last line), not by more.
    void checkFit(const QWidget* widget, const QString& text, const QFontMetrics& metrics,
                  const QSize& needed, const QRect& room, Qt::Alignment alignment) {
        if (text.contains(kEllipsis)) {
            add(widget, text, QStringLiteral("elided"));
            return;
        }
        if (needed.width() > room.width() || needed.height() - room.height() > metrics.descent()) {
            add(widget, text, QStringLiteral("needs %1, has %2").arg(size(needed), size(room.size())));
            return;
        }
        QString cutBy;
        const QRect visible = visiblePart(widget, window, &cutBy);
        const QRect textRect = placed(widget, alignment, needed, room);
        const QRect allowed = visible.adjusted(0, 0, 0, metrics.descent());
        if (!allowed.contains(textRect)) {
            add(widget, text,
                QStringLiteral("cut by %1: text at %2,%3 %4, visible %5,%6 %7")
                    .arg(cutBy)
                    .arg(textRect.x())
                    .arg(textRect.y())
                    .arg(size(textRect.size()))
                    .arg(visible.x())
                    .arg(visible.y())
                    .arg(size(visible.size())));
        }
    }

    void checkLabel(QLabel* label) {
        const QString text = label->text();
        if (text.isEmpty() || isSeparator(text) || label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
            return;
        }
        // The room that QLabel gives its text: the contents (inside the frame and the
        // style's padding), less its margin and indent.
        const QFontMetrics metrics(label->font());
        QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                    -label->margin());
        const Qt::Alignment alignment = label->alignment();
        int indent = label->indent();
        if (indent < 0 && label->frameWidth() > 0) {
            indent = metrics.horizontalAdvance(QLatin1Char('x')) / 2 - label->margin();
        }
        if (indent > 0) {
            if (alignment & Qt::AlignLeft) {
                room.setLeft(room.left() + indent);
            } else if (alignment & Qt::AlignRight) {
                room.setRight(room.right() - indent);
            }
            if (alignment & Qt::AlignTop) {
                room.setTop(room.top() + indent);
            } else if (alignment & Qt::AlignBottom) {
                room.setBottom(room.bottom() - indent);
            }
        }
        const int flags = Qt::TextExpandTabs | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QSize needed =
            metrics
                .boundingRect(QRect(0, 0, label->wordWrap() ? room.width() : kUnbounded, kUnbounded), flags,
                              text)
                .size();
        checkFit(label, text, metrics, needed, room, alignment);
    }

    void checkToggle(QAbstractButton* button, QStyle::SubElement contents) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        option.state |= button->isChecked() ? QStyle::State_On : QStyle::State_Off;
        const QRect room = button->style()->subElementRect(contents, &option, button);
        const QFontMetrics metrics(button->font());
        QSize needed = metrics.size(Qt::TextShowMnemonic, button->text());
        if (!button->icon().isNull()) {
            needed.rwidth() += button->iconSize().width() + 4;
        }
        checkFit(button, button->text(), metrics, needed, room, Qt::AlignLeft | Qt::AlignVCenter);
    }

    void checkPushButton(QPushButton* button) {
        const QString text = button->text();
        if (text.isEmpty()) {
            return;
        }
        QStyleOptionButton option;
        option.initFrom(button);
        option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
        if (button->isDown()) {
            option.state |= QStyle::State_Sunken;
        }
        if (button->isChecked()) {
            option.state |= QStyle::State_On;
        }
        option.text = text;
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QFontMetrics metrics(button->font());
        QSize needed = metrics.size(Qt::TextShowMnemonic, text);
        if (!button->icon().isNull()) {
            needed.rwidth() += button->iconSize().width() + 4;
        }
        const size_t before = found.size();
        checkFit(button, text, metrics, needed, room, Qt::AlignCenter);
        if (found.size() == before) {
            checkPictureUnderText(button);
        }
    }

    // A picture that the style sheet draws on the button (a background image or an
    // image) must not lie under its text: the pixels the text changes and the pixels the
    // picture changes are taken from three drawings of the button (with its text, without
    // it, and without it and without pictures) and must not meet.
    void checkPictureUnderText(QPushButton* button) {
        const QString text = button->text();
        const QString ownSheet = button->styleSheet();
        const QImage withText = drawn(button);
        button->setText(QString());
        const QImage withoutText = drawn(button);
        button->setStyleSheet(withoutPictures(ownSheet));
        const QImage bare = drawn(button);
        button->setStyleSheet(ownSheet);
        button->setText(text);
        int overlap = 0;
        for (int y = 0; y < withText.height(); ++y) {
            for (int x = 0; x < withText.width(); ++x) {
                const bool textPixel = withText.pixel(x, y) != withoutText.pixel(x, y);
                const bool picturePixel = withoutText.pixel(x, y) != bare.pixel(x, y);
                overlap += textPixel && picturePixel ? 1 : 0;
            }
        }
        if (overlap > 0) {
            add(button, text, QStringLiteral("drawn over its picture (%1 pixels)").arg(overlap));
        }
    }

    // The button's own style sheet with its pictures taken away; a widget's own sheet wins
    // over the application's.
    static QString withoutPictures(const QString& ownSheet) {
        const QString url = QStringLiteral("url(%1)").arg(blankPicture());
        const QString none = QStringLiteral("background-image: %1; image: %1;").arg(url);
        if (ownSheet.contains(QLatin1Char('{'))) {
            return ownSheet + QStringLiteral("\n* { ") + none + QStringLiteral(" }");
        }
        const QString own = ownSheet.trimmed();
        return own.isEmpty() || own.endsWith(QLatin1Char(';')) ? own + none : own + QLatin1Char(';') + none;
    }

    static QImage drawn(QWidget* widget) {
        QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    void checkCombo(QComboBox* combo) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.currentText = combo->currentText();
        option.iconSize = combo->iconSize();
        option.subControls = QStyle::SC_All;
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        const QFontMetrics metrics(combo->font());
        // Every row, as it shows in the box once chosen: its icon and 4 pixels, then its
        // text one pixel in from the field's edge.
        for (int row = 0; row < combo->count(); ++row) {
            const QString text = combo->itemText(row);
            QRect room = field.adjusted(1, 0, 0, 0);
            if (!combo->itemIcon(row).isNull()) {
                room.setLeft(room.left() + combo->iconSize().width() + 4);
            }
            checkFit(combo, text, metrics, metrics.size(0, text), room, Qt::AlignLeft | Qt::AlignVCenter);
        }
    }

    QWidget* window;
};

} // namespace

QString textOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->currentText();
    }
    return QString();
}

bool showsText(const QWidget* widget) {
    return qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QComboBox*>(widget);
}

// Widgets that one layout places never overlap, unless the layout had less room than their
// minimums and laid one over the other: a text that does lies under (or over) its neighbour.
void checkNeighbours(QWidget* window, std::vector<Fault>& found) {
    QList<QLayout*> layouts = window->findChildren<QLayout*>();
    for (QLayout* layout : layouts) {
        std::vector<QWidget*> placed;
        for (int i = 0; i < layout->count(); ++i) {
            QWidget* widget = layout->itemAt(i)->widget();
            if (widget != nullptr && widget->isVisibleTo(window) && !widget->isWindow()) {
                placed.push_back(widget);
            }
        }
        for (size_t a = 0; a < placed.size(); ++a) {
            for (size_t b = a + 1; b < placed.size(); ++b) {
                if (!placed[a]->geometry().intersects(placed[b]->geometry()) ||
                    !(showsText(placed[a]) || showsText(placed[b]))) {
                    continue;
                }
                QWidget* text = showsText(placed[a]) ? placed[a] : placed[b];
                QWidget* other = text == placed[a] ? placed[b] : placed[a];
                found.push_back(
                    {pathOf(text, window), textOf(text),
                     QStringLiteral("overlaps %1 (the layout had too little room)").arg(nameOf(other))});
            }
        }
    }
}

std::vector<Fault> faults(QWidget* window) {
    Checker checker(window);
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if ((widget->isVisibleTo(window) && widget->window() == window) || widget == window) {
            checker.check(widget);
        }
    }
    checkNeighbours(window, checker.found);
    return checker.found;
}

std::string describe(const std::vector<Fault>& faults, const QString& where) {
    std::ostringstream out;
    for (const Fault& fault : faults) {
        out << where.toStdString() << ": " << fault.widget.toStdString() << " \"" << fault.text.toStdString()
            << "\" " << fault.what.toStdString() << "\n";
    }
    return out.str();
}

} // namespace textroom
