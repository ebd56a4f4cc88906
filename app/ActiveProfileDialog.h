// The modal chooser of the profile that the home page shows and connects: every stored
// profile, newest first, with its server address and kind, then an add row that asks
// the main window to open the profile editor. Confirm reports the chosen profile with
// the addresses the home page displays.
#pragma once

#include <QPoint>
#include <QString>

#include "ZRBaseDialog.h"

class ActiveProfileTreeDelegate;
class QTreeWidgetItem;

namespace Ui {
class ActiveProfileDialog;
}

class ActiveProfileDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit ActiveProfileDialog(QWidget* parent = nullptr);
    ~ActiveProfileDialog() override;

    // The name of the row to select when the dialog is next shown.
    void setCurrentProfileName(const QString& name);
    QString currentProfileName() const;

signals:
    // iIndex is the profile's position in the application's cached profile list;
    // iSubMask is the WireGuard prefix length, -1 for the other kinds.
    void signalProfileChoosed(int iIndex, QString choosedProfileName, int iVPNType, int iConfigID,
                              QString serverIP, QString localIP, int iSubMask);
    void signalColorModeChanged(int iColorMode);

protected slots:
    void slotButtonClicked();
    void slotAccountConfirm();
    void slotItemClicked(QTreeWidgetItem* item, int column);

protected:
    // The whole surface drags the window, with any mouse button.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Selects the row of the current profile name.
    void showEvent(QShowEvent* event) override;
    // Passes a new colour mode to the row painter.
    void changeEvent(QEvent* event) override;

private:
    // Fills the tree from the store: one row per profile whose record can be read, then
    // the add row.
    void loadProfileList();
    // Finds the current row's profile in a fresh read of the store and reports it.
    void confirmChoice();

    Ui::ActiveProfileDialog* ui;
    QString profileName;
    QString serverIP;
    QString localIP;
    int subMask = -1;
    int configId = 0;
    int vpnType = 0;
    int rowIndex = 0;
    int lastColorMode = -1;
    QPoint dragPosition;
    ActiveProfileTreeDelegate* delegate = nullptr;
};
