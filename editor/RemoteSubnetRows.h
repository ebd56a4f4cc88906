// The remote-subnet rows of one kind page: rows in a container, added by the page's add
// button (up to five, thirteen on the IPsec page), hidden with their container while the
// page's full-traffic toggle is on, deleted by their own buttons and renumbered, and filled
// from a stored profile. A row is a "Subnets" label, an address editor, "/" and a mask edit
// named "Submasks", and a delete button; its signals reach the dialog's slots.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QRadioButton;
class QWidget;
class ZRInputIpLineEdit;

class RemoteSubnetRows {
public:
    // A page's rows; fullTraffic is null on the IPsec page, which holds thirteen rows.
    // The rows' signals reach the slots of dialog, which owns their mask validators.
    RemoteSubnetRows(QWidget* container, QPushButton* addButton, QRadioButton* fullTraffic, QObject* dialog);

    // Appends a row to a container unless it holds its most rows (ipsecFlag 1: thirteen).
    static void addRow(QWidget* container, int ipsecFlag, QObject* dialog);
    // Takes a deleted row out of its container at once and renumbers the rest; the row is
    // the parent of the delete button.
    static void removeRowOf(QWidget* deleteButton);
    // A container's row parts, each list in row order.
    static QList<ZRInputIpLineEdit*> addresses(QWidget* container);
    static QList<QLineEdit*> masks(QWidget* container);
    static QList<QLabel*> labels(QWidget* container);
    // A stored row taken apart: the address before the last (or first) "/", the mask
    // after it; a text without "/" gives itself to both.
    static QPair<QString, QString> split(const QString& item, bool atLast);

    QWidget* container() const { return rowContainer; }
    QList<ZRInputIpLineEdit*> addresses() const { return addresses(rowContainer); }
    QList<QLineEdit*> masks() const { return masks(rowContainer); }

    // The add button: the container shown, a row added, the button disabled at the limit.
    void add();
    // The full-traffic toggle clicked: on hides the rows, off shows them (a first row when
    // there is none).
    void fullTrafficClicked();
    // After a row of the page was deleted: the add button enabled below the limit; with no
    // row left the container hidden and full traffic on again.
    void rowDeleted();
    // Rows for stored subnets (address, mask), as many as fit; the container shown.
    void fill(const QList<QPair<QString, QString>>& subnets);
    // The rows of a stored remote-subnet text ("a/m, a/m"); an empty text is full traffic.
    // The toggle is turned off first when uncheckFullTraffic is set.
    void load(const QString& text, bool uncheckFullTraffic);

private:
    int ipsecFlag() const;
    // Adds a row and disables the add button once the container holds its most rows.
    void addRowUpToLimit();

    QWidget* rowContainer;
    QPushButton* addButton;
    QRadioButton* fullTraffic;
    QObject* dialog;
};
