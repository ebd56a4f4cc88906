// The row painter of the Profiles page's list: light or dark row backgrounds and lines,
// the name with the green connected badge, the connect (or disconnect), edit and delete
// icons of the action column, and the no-profile picture of the placeholder row. A mouse
// release on an icon becomes a signal with the row's number on the page; hovering shows
// tool tips for the icons and the full name.
#pragma once

#include <QIcon>
#include <QMap>
#include <QPair>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>

class QWidget;

class ProfileTreeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The parent is the list widget: the painter sets its cursor and draws with its style.
    explicit ProfileTreeDelegate(QObject* parent = nullptr);
    ~ProfileTreeDelegate() override;

    // Dark colours for mode 2, light ones for any other.
    void setColorMode(int mode);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    enum ActionButton { EditButton = 0, DeleteButton = 1, ConnectButton = 2 };

    // The place where an icon of a cell was last drawn; empty when it has none.
    QRect buttonRect(ActionButton button, const QModelIndex& index) const;

signals:
    void signalEditButtonClicked(int iIndex);
    void signalDeleteButtonClicked(int iIndex);
    void signalConnectButtonClicked(int iIndex);

protected:
    // A cell's button records are kept by its row and column, so the page's rebuilt rows
    // reuse them instead of adding records at every reload: at most one per row.
    using CellKey = QPair<int, int>;

    void drawActionButtons(QPainter* painter, const QModelIndex& index, ActionButton button,
                           const QRect& rect) const;
    void drawNameAndBadge(QPainter* painter, const QModelIndex& index, const QRect& rect) const;
    void drawPlaceholder(QPainter* painter, const QRect& rect) const;
    static QStyleOptionButton createButtonOption(const QString& iconPath);
    static void setButtonOptionState(QStyleOptionButton& option);
    // The first icon whose last drawn place holds the point, or -1.
    int hitButton(const QPoint& pos, const QModelIndex& index) const;
    QWidget* parentWidget() const;

    bool dark = false;
    QIcon connectIcon;
    QIcon disconnectIcon;
    // Records of the edit, delete and connect icons (by ActionButton), created at their
    // first paint and renewed by every later one.
    mutable QMap<CellKey, QStyleOptionButton> buttonRecords[3];
};
