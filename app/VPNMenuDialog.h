// Stands in for the tray status pop-up until the pop-up is built.
#pragma once

#include <QString>
#include <QVector>

#include "ZRBaseDialog.h"

class VPNMenuDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit VPNMenuDialog(QWidget* parent = nullptr);
    ~VPNMenuDialog() override;

signals:
    void signalConnectBtnClicked();
    void signalShowBtnClicked();
    void signalQuitBtnClicked();

public slots:
    void slotUpdateConnectInfo(int iConnStatus, QString strProfileName, QString strConnTime,
                               QString strUpload, QString strDownload, QVector<double> upload,
                               QVector<double> download);
};
