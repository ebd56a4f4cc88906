// Paints the rows of the profile chooser as rounded cards: a profile row shows the
// name above its server address, a "|" and its kind, with a check mark at the right;
// the add row at the end a plus icon and "Add New Profile". Hovered and selected cards
// get a border (solid for a profile, dashed for the add row). The full name shows as a
// tool tip over the painted name.
#pragma once

#include <QMap>
#include <QModelIndex>
#include <QRect>
#include <QStyledItemDelegate>

class ActiveProfileTreeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The item data roles the chooser fills.
    enum Role {
        NameRole = 1,
        KindRole = 2,
        ServerRole = 3,
        ProfileIdRole = 4,
        AddRowRole = 5,
    };

    explicit ActiveProfileTreeDelegate(QObject* parent = nullptr);

    // 2 paints with the dark palette, any other mode with the light one.
    void setColorMode(int mode);
    bool isDarkMode() const;
    // The rectangle in which a row's name (or the add row's text) was last painted.
    QRect nameRect(const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

public slots:
    void slotColorModeChanged(int iColorMode);

private:
    bool darkMode = false;
    mutable QMap<QModelIndex, QRect> nameRects;
};
