// The tray status pop-up: the selected profile's name, the connection status with its
// coloured dot, the connection time, the current upload and download figures and a
// compact 24-hour traffic chart, with Connect (connect, cancel or disconnect, as the home
// page's button), Show and Quit. Refreshed once a second by the home page's connection
// report; closes itself as soon as it loses activation.
#pragma once

#include <QString>
#include <QVector>

#include "ZRBaseDialog.h"
#include "ui_VPNMenuDialog.h"

class VPNMenuDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit VPNMenuDialog(QWidget* parent = nullptr);
    ~VPNMenuDialog() override;

    // The status of the last report.
    int currentStatus() const;

signals:
    void signalConnectBtnClicked();
    void signalShowBtnClicked();
    void signalQuitBtnClicked();

public slots:
    // One connection report. The upload and download texts are the home page's figures
    // with their unit ("1.50 GB"); a bare number is taken in MB.
    void slotUpdateConnectInfo(int iConnStatus, QString strProfileName, QString strConnTime,
                               QString strUpload, QString strDownload, QVector<double> upload,
                               QVector<double> download);
    // As the home page's button: disabled (and drawn so) while a disconnect or a cancel
    // ends the tunnel, so that a press then is plainly not taken.
    void setConnectBusy(bool busy);

protected slots:
    void slotButtonClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void blendingChanged(bool blended) override;

private:
    // The status text's style sheet for statuses 0 and 1 in the pop-up's colour mode.
    QString idleStatusStyle() const;
    // The body's see-through background needs a compositing manager to blend it with what
    // lies beneath; without one it is drawn opaque in its own colour, never darkened.
    void styleBody();
    // Puts a figure and its unit into a value label and its unit label.
    static void showFigure(const QString& text, QLabel* value, QLabel* unit);
    // Grows the pop-up (never below the form's size) to what its texts and figures need,
    // around its bottom centre, which stays by the tray icon; it does not shrink while open.
    void fitToTexts();

    Ui::VPNMenuDialog ui;
    int connectStatus = 0;
    bool bodyBlended = true;
};
