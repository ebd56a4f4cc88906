#include "SettingLogDialog.h"

#include <QFile>
#include <QTextStream>

#include "ScreenArea.h"

namespace {
const int kShadowBlurRadius = 24;
const double kScreenShare = 0.9;
} // namespace

SettingLogDialog::SettingLogDialog(QWidget* parent) : ZRBaseDialog(parent) {
    ui.setupUi(this);
    setFramelessStyle();
    setShadow(ui.dialogWidget, kShadowBlurRadius);

    // A screen lower than the form: the dialog takes most of it instead.
    const QSize fitted = fittedMinimumSize(availableAreaOf(this), minimumSize());
    if (fitted != minimumSize()) {
        setMinimumSize(fitted);
        setGeometry(QRect(geometry().topLeft(), fitted));
    }

    connect(ui.btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
}

SettingLogDialog::~SettingLogDialog() = default;

QSize SettingLogDialog::fittedMinimumSize(const QRect& available, const QSize& minimum) {
    // No screen to measure (an area of no size) keeps the form's minimum as well.
    if (available.isEmpty() || available.height() >= minimum.height()) {
        return minimum;
    }
    return QSize(static_cast<int>(available.width() * kScreenShare),
                 static_cast<int>(available.height() * kScreenShare));
}

void SettingLogDialog::loadLogFile(const char* path) {
    QFile file(QString::fromLocal8Bit(path != nullptr ? path : ""));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    QTextStream stream(&file);
    // Plain text: a log line that looks like markup shows as it was written.
    ui.logContentWidget->setPlainText(stream.readAll());
    file.close();
}

void SettingLogDialog::showEvent(QShowEvent* event) {
    setDragRect(QRect(ui.titleWidget->mapTo(this, QPoint(0, 0)), ui.titleWidget->size()));
    ZRBaseDialog::showEvent(event);
}

void SettingLogDialog::slotButtonClicked() {
    if (sender() == ui.btnClose) {
        close();
    }
}
