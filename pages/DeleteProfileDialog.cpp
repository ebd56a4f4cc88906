#include "DeleteProfileDialog.h"

#include <QFontMetrics>

#include "ZRStringConstant.h"

namespace {
const int kShadowBlurRadius = 24;
} // namespace

DeleteProfileDialog::DeleteProfileDialog(int iIndex, QString name, QWidget* parent)
    : ZRBaseDialog(parent), rowIndex(iIndex), profileName(std::move(name)) {
    ui.setupUi(this);
    setFramelessStyle();
    setShadow(ui.dialogWidget, kShadowBlurRadius);
    connect(ui.btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnCancel, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnConfirm, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
}

DeleteProfileDialog::~DeleteProfileDialog() = default;

void DeleteProfileDialog::showEvent(QShowEvent* event) {
    setDragRect(QRect(ui.titleWidget->mapTo(this, QPoint(0, 0)), ui.titleWidget->size()));

    // The title is cut to its label; the tool tip and the question show the whole name.
    const QString title = ZRStringConstant::tr("ZRVPN_PROFILE_DELETE_TITLE").arg(profileName);
    ui.labelTitle->setText(
        QFontMetrics(ui.labelTitle->font()).elidedText(title, Qt::ElideRight, ui.labelTitle->width()));
    ui.labelTitle->setToolTip(profileName);
    ui.labelContent->setText(ZRStringConstant::tr("ZRVPN_PROFILE_DELETE_CONTENT").arg(profileName));

    ZRBaseDialog::showEvent(event);
}

void DeleteProfileDialog::slotButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnClose || button == ui.btnCancel) {
        close();
    } else if (button == ui.btnConfirm) {
        emit signalConfirm(rowIndex);
        close();
    }
}
