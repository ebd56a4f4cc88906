// Stands in for the home page and its connection controller until the page is built.
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include "ProfileRecords.h"
#include "TunnelRoads.h"

class HomeWidget : public QWidget {
    Q_OBJECT
public:
    explicit HomeWidget(QWidget* parent = nullptr);
    ~HomeWidget() override;

    void clickConnectButton();
    void connectProfileByName(QString profileName);
    TunnelRoads* tunnelRoads();

signals:
    void signalUpdateConnectInfo(int iConnStatus, QString strProfileName, QString strConnTime,
                                 QString strUpload, QString strDownload, QVector<double> upload,
                                 QVector<double> download);
    void signalConnectedVPNChanged(int status);

protected slots:
    void slotRestoreHomeInfo(SETTINGINFO info);

private:
    ContextTunnelRoads roads;
};
