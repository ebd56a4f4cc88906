// The confirmation before a profile is deleted: a title with the profile's name, a
// question, Cancel and Confirm. Confirm reports the row index it was opened with, then
// the dialog closes; Cancel and the close button only close it.
#pragma once

#include <QString>

#include "ZRBaseDialog.h"
#include "ui_DeleteProfileDialog.h"

class DeleteProfileDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    DeleteProfileDialog(int iIndex, QString name, QWidget* parent = nullptr);
    ~DeleteProfileDialog() override;

signals:
    void signalConfirm(int iIndex);

protected slots:
    void slotButtonClicked();

protected:
    void showEvent(QShowEvent* event) override;

    Ui::DeleteProfileDialog ui;
    const int rowIndex;
    const QString profileName;
};
