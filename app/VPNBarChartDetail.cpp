#include "VPNBarChartDetail.h"

#include <QEvent>

#include "HomeResources.h"
#include "PaintedShadow.h"
#include "SystemContext.h"
#include "ui_VPNBarChartDetail.h"

namespace {
const int kShadowBlurRadius = 7;
const double kMiBPerGiB = 1024.0;
} // namespace

VPNBarChartDetail::VPNBarChartDetail(QWidget* parent) : ZRBaseDialog(parent), ui(new Ui::VPNBarChartDetail) {
    ui->setupUi(this);
    setFramelessStyle();
    setShadow(ui->dialogWidget, kShadowBlurRadius);
    // Polished now, the hidden pop-up already receives the colour-mode changes that come
    // before its first show.
    ensurePolished();
}

VPNBarChartDetail::~VPNBarChartDetail() {
    delete ui;
}

QString VPNBarChartDetail::trafficText(double mib) {
    if (mib > kMiBPerGiB) {
        return QString::number(mib / kMiBPerGiB, 'f', 2) + QStringLiteral("GB");
    }
    return QString::number(mib, 'f', 2) + QStringLiteral("MB");
}

void VPNBarChartDetail::setData(const QString& time, double upload, double download) {
    ui->labelTime->setText(time);
    ui->labelUpload->setText(trafficText(upload));
    ui->labelDownload->setText(trafficText(download));
    PaintedShadow::of(ui->dialogWidget)->retakePicture();
}

void VPNBarChartDetail::changeEvent(QEvent* event) {
    if (event->type() != QEvent::StyleChange) {
        return;
    }
    styleBody();
}

void VPNBarChartDetail::blendingChanged(bool blended) {
    bodyBlended = blended;
    styleBody();
}

void VPNBarChartDetail::styleBody() {
    const bool dark = SystemContext::GetSettingManager()->colorMode() == COLOR_MODE_DARK;
    if (bodyBlended) {
        ui->dialogWidget->setStyleSheet(
            QLatin1String(dark ? HomeResources::kDetailDark : HomeResources::kDetailLight));
    } else {
        ui->dialogWidget->setStyleSheet(
            QLatin1String(dark ? HomeResources::kDetailDarkOpaque : HomeResources::kDetailLightOpaque));
    }
}
