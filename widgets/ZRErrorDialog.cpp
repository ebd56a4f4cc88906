#include "ZRErrorDialog.h"

ZRErrorDialog::ZRErrorDialog(QWidget* parent) : ZRBaseDialog(parent) {
    ui.setupUi(this);
    setFramelessStyle();
    setShadow(ui.dialogWidget, 24);
    ui.bottomWidget->hide();
    connect(ui.btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnCancel, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnConfirm, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
}

ZRErrorDialog::~ZRErrorDialog() = default;

void ZRErrorDialog::setTitle(const QString& text) {
    ui.labelTitle->setText(text);
}

void ZRErrorDialog::setContent(const QString& text) {
    ui.labelContent->setText(text);
}

void ZRErrorDialog::setButtonsVisible(bool visible) {
    ui.bottomWidget->setVisible(visible);
}

void ZRErrorDialog::showEvent(QShowEvent* event) {
    // Taken at every show, so the title bar drags also after a move or a resize.
    const QRect titleRect(ui.titleWidget->mapTo(this, QPoint(0, 0)), ui.titleWidget->size());
    setDragRect(titleRect);
    ZRBaseDialog::showEvent(event);
}

void ZRErrorDialog::slotButtonClicked() {
    // The receiver of signalRetry runs while the prompt is still on screen.
    if (sender() == ui.btnConfirm) {
        emit signalRetry();
    }
    close();
}
