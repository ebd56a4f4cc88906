#include "VPNMenuDialog.h"

VPNMenuDialog::VPNMenuDialog(QWidget* parent) : ZRBaseDialog(parent) {}

VPNMenuDialog::~VPNMenuDialog() = default;

void VPNMenuDialog::slotUpdateConnectInfo(int, QString, QString, QString, QString, QVector<double>,
                                          QVector<double>) {}
