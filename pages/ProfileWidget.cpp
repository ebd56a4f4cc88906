#include "ProfileWidget.h"

ProfileWidget::ProfileWidget(QWidget* parent) : QWidget(parent) {}

ProfileWidget::~ProfileWidget() = default;

void ProfileWidget::updateConnectStatus(int) {}

void ProfileWidget::showAddProfileDialog() {}
