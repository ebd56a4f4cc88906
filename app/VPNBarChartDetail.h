// The traffic chart's hover pop-up: the hour of the bar under the pointer with its
// upload and download, on a small frameless window with a drop shadow.
#pragma once

#include <QString>

#include "ZRBaseDialog.h"

namespace Ui {
class VPNBarChartDetail;
}

class VPNBarChartDetail : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit VPNBarChartDetail(QWidget* parent = nullptr);
    ~VPNBarChartDetail() override;

    // The hour text as given; each value in MiB, above 1024 written in GB.
    void setData(const QString& time, double upload, double download);

    // A traffic value as the pop-up writes it: two decimals and "MB", or above 1024 MiB
    // the value divided by 1024 with "GB" ("1.50GB", "12.35MB").
    static QString trafficText(double mib);

protected:
    // Recolours the body on a colour-mode change; keeps the shadow made at construction.
    void changeEvent(QEvent* event) override;
    void blendingChanged(bool blended) override;

private:
    void styleBody();

    Ui::VPNBarChartDetail* ui;
    bool bodyBlended = true;
};
