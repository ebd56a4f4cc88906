// Stands in for the Profiles page until the page itself is built.
#pragma once

#include <QString>
#include <QWidget>

class ProfileWidget : public QWidget {
    Q_OBJECT
public:
    explicit ProfileWidget(QWidget* parent = nullptr);
    ~ProfileWidget() override;

    void updateConnectStatus(int status);
    void showAddProfileDialog();

signals:
    void signalConnectProfile(QString profileName);
};
