#include "VPNMenuDialog.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QShowEvent>

#include "ApplicationStyleSheet.h"
#include "FigureBox.h"
#include "PaintedShadow.h"
#include "ProfileRecords.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "ZRStringConstant.h"

namespace {

const int kShadowBlurRadius = 24;
const char* const kNoValue = "--";
const char* const kMegabytes = "MB";
const char* const kGigabytes = "GB";

const char* const kStatusIdleDark = "#labelConnectStatus{color:#AFB2B8;}";
const char* const kStatusIdleLight = "#labelConnectStatus{color:#1D2529;}";
const char* const kStatusConnected = "#labelConnectStatus{color:#0DC901;}";
const char* const kStatusFailed = "#labelConnectStatus{color:#FF3F65;}";
const char* const kPointIdleDark = "#labelPoint{background:#AFB2B8;border-radius:3px}";
const char* const kPointIdleLight = "#labelPoint{background:#1D2529;border-radius:3px}";
const char* const kPointConnected = "#labelPoint{background:#0DC901;border-radius:3px}";
const char* const kPointFailed = "#labelPoint{background:#FF3F65;border-radius:3px}";
// The body's colours of the style sheets, opaque.
const char* const kOpaqueBodyDark = "#menuWidget{background-color:#1B2535;}";
const char* const kOpaqueBodyLight = "#menuWidget{background-color:#EBEBEA;}";

} // namespace

VPNMenuDialog::VPNMenuDialog(QWidget* parent) : ZRBaseDialog(parent) {
    ui.setupUi(this);
    // The figures change each second: their labels relay out the pop-up only when they need
    // another size.
    for (QLabel* figure : {ui.labelConnTime, ui.labelUpload, ui.labelDownload}) {
        FigureBox::hold(figure);
    }
    setShadow(ui.menuWidget, kShadowBlurRadius);
    setWindowFlags(Qt::SubWindow | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(ui.btnConnect, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnShow, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnQuit, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    // The body has a layout of its own but no place in one: its layout's requests are
    // watched so that the pop-up can grow to what the texts need.
    ui.menuWidget->installEventFilter(this);
}

VPNMenuDialog::~VPNMenuDialog() = default;

int VPNMenuDialog::currentStatus() const {
    return connectStatus;
}

void VPNMenuDialog::slotButtonClicked() {
    QObject* source = sender();
    if (source == ui.btnConnect) {
        emit signalConnectBtnClicked();
    } else if (source == ui.btnShow) {
        emit signalShowBtnClicked();
        close();
    } else if (source == ui.btnQuit) {
        emit signalQuitBtnClicked();
        close();
    }
}

QString VPNMenuDialog::idleStatusStyle() const {
    return QLatin1String(colorMode == COLOR_MODE_DARK ? kStatusIdleDark : kStatusIdleLight);
}

void VPNMenuDialog::showFigure(const QString& text, QLabel* value, QLabel* unit) {
    // The home page writes "12.35 MB" or "1.50 GB"; the unit goes to its own label, so
    // that the label never reads MB beside a figure in GB.
    const int blank = text.lastIndexOf(QLatin1Char(' '));
    const QString suffix = blank < 0 ? QString() : text.mid(blank + 1);
    if (suffix == QLatin1String(kMegabytes) || suffix == QLatin1String(kGigabytes)) {
        value->setText(text.left(blank));
        unit->setText(suffix);
    } else {
        value->setText(text);
        unit->setText(QLatin1String(kMegabytes));
    }
}

void VPNMenuDialog::slotUpdateConnectInfo(int iConnStatus, QString strProfileName, QString strConnTime,
                                          QString strUpload, QString strDownload, QVector<double> upload,
                                          QVector<double> download) {
    // The shadow seen through the body is made again when more than the figures changed:
    // the status and its texts, the profile, the chart's bars.
    bool reshaped = iConnStatus != connectStatus;
    connectStatus = iConnStatus;
    const QString profileText =
        ui.labelProfile->fontMetrics().elidedText(strProfileName, Qt::ElideRight, ui.labelProfile->width());
    reshaped = reshaped || profileText != ui.labelProfile->text();
    ui.labelProfile->setText(profileText);
    ui.labelProfile->setToolTip(strProfileName);
    reshaped = ui.chartWidget->setFlowData(upload, download) || reshaped;

    const bool dark = colorMode == COLOR_MODE_DARK;
    const QString none = QLatin1String(kNoValue);
    switch (iConnStatus) {
    case CONNECT_STATUS_NOT_CONNECTED:
    case CONNECT_STATUS_CONNECTING:
        ui.labelConnectStatus->setText(ZRStringConstant::tr(
            iConnStatus == CONNECT_STATUS_CONNECTING ? "ZRVPN_CONNECTING" : "ZRVPN_NO_CONNECTED"));
        SetWidgetStyleSheet(ui.labelConnectStatus, idleStatusStyle());
        SetWidgetStyleSheet(ui.labelPoint, QLatin1String(dark ? kPointIdleDark : kPointIdleLight));
        ui.btnConnect->setText(ZRStringConstant::tr(
            iConnStatus == CONNECT_STATUS_CONNECTING ? "ZRVPN_CONNECTING" : "ZRVPN_CONNECT"));
        if (iConnStatus == CONNECT_STATUS_NOT_CONNECTED) {
            ui.labelConnTime->setText(none);
            showFigure(none, ui.labelUpload, ui.label_5);
            showFigure(none, ui.labelDownload, ui.label_2);
        }
        break;
    case CONNECT_STATUS_CONNECTED:
        ui.labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_CONNECTED"));
        SetWidgetStyleSheet(ui.labelConnectStatus, QLatin1String(kStatusConnected));
        SetWidgetStyleSheet(ui.labelPoint, QLatin1String(kPointConnected));
        ui.btnConnect->setText(ZRStringConstant::tr("ZRVPN_DISCONNECT"));
        ui.labelConnTime->setText(strConnTime);
        showFigure(strUpload, ui.labelUpload, ui.label_5);
        showFigure(strDownload, ui.labelDownload, ui.label_2);
        break;
    case CONNECT_STATUS_DISCONNECTED:
        ui.labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_DISCONNECTED"));
        SetWidgetStyleSheet(ui.labelConnectStatus, QLatin1String(kStatusFailed));
        SetWidgetStyleSheet(ui.labelPoint, QLatin1String(kPointFailed));
        ui.btnConnect->setText(ZRStringConstant::tr("ZRVPN_CONNECT"));
        ui.labelConnTime->setText(none);
        showFigure(none, ui.labelUpload, ui.label_5);
        showFigure(none, ui.labelDownload, ui.label_2);
        break;
    default:
        break;
    }
    if (reshaped) {
        PaintedShadow::of(ui.menuWidget)->retakePicture();
    }
}

void VPNMenuDialog::setConnectBusy(bool busy) {
    ui.btnConnect->setEnabled(!busy);
}

void VPNMenuDialog::blendingChanged(bool blended) {
    bodyBlended = blended;
    styleBody();
}

void VPNMenuDialog::styleBody() {
    const bool dark = SystemContext::GetSettingManager()->colorMode() == COLOR_MODE_DARK;
    ui.menuWidget->setStyleSheet(bodyBlended ? QString()
                                             : QLatin1String(dark ? kOpaqueBodyDark : kOpaqueBodyLight));
}

void VPNMenuDialog::fitToTexts() {
    const QSize body = ui.menuWidget->size();
    const QSize needed = body.expandedTo(ui.menuWidget->layout()->totalMinimumSize());
    if (needed == body) {
        return;
    }
    const QSize grown = needed - body;
    ui.menuWidget->resize(needed);
    resize(size() + grown);
    move(pos() - QPoint(grown.width() / 2, grown.height()));
}

bool VPNMenuDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.menuWidget) {
        if (event->type() == QEvent::LayoutRequest) {
            fitToTexts();
        }
        return false;
    }
    if (event->type() == QEvent::WindowDeactivate) {
        close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void VPNMenuDialog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    installEventFilter(this);
    ui.chartWidget->setCompactMode(true);
    ui.chartWidget->clearFlowData();
}

void VPNMenuDialog::changeEvent(QEvent* event) {
    if (event->type() != QEvent::StyleChange) {
        return;
    }
    const int mode = SystemContext::GetSettingManager()->colorMode();
    if (mode == colorMode) {
        return;
    }
    colorMode = mode;
    if (connectStatus == CONNECT_STATUS_NOT_CONNECTED || connectStatus == CONNECT_STATUS_CONNECTING) {
        ui.labelConnectStatus->setStyleSheet(idleStatusStyle());
    }
    if (!bodyBlended) {
        styleBody();
    }
}
