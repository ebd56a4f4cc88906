// Each kind's own behaviour: loading a stored profile into its page, saving the page,
// the IPsec proposal combos, the OpenVPN file import and the WireGuard keys. Until the
// kinds' saves are in place a save stores nothing and reports failure, so Confirm keeps
// the dialog open and changes nothing; a load shows the profile's kind and name.
#include <QComboBox>
#include <QListView>

#include "ProfileConfigDialog.h"

bool ProfileConfigDialog::saveIPSecTunnel() {
    return false;
}

bool ProfileConfigDialog::saveSSLVPN() {
    return false;
}

bool ProfileConfigDialog::saveOpenVPN() {
    return false;
}

bool ProfileConfigDialog::saveWireGuardVPN() {
    return false;
}

void ProfileConfigDialog::initIPSecComboBoxes() {
    for (QComboBox* combo : {ui.comboBoxAlgrithmOne, ui.comboBoxAlgrithmTwo, ui.comboBoxEncryption,
                             ui.comboBoxAuthentication, ui.comboBoxKeyGroup, ui.comboBoxLocalIP}) {
        QWidget* popup = combo->view()->window();
        popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
        popup->setAttribute(Qt::WA_TranslucentBackground);
        combo->setView(new QListView(combo));
        combo->installEventFilter(this);
        combo->clear();
    }
}

void ProfileConfigDialog::slotLoadIPSecVPNInfo(QString configName, int, int iVPNType) {
    slotSwitchToIPSecTunnel();
    ui.lineEditProfileName->setText(configName);
    ui.lineEditProfileName->setCursorPosition(0);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);
}

void ProfileConfigDialog::slotLoadSSLVPNInfo(QString configName, int, int iVPNType) {
    slotSwitchToSSLVPN();
    ui.lineEditProfileName->setText(configName);
    ui.lineEditProfileName->setCursorPosition(0);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);
}

void ProfileConfigDialog::slotLoadOpenVPNInfo(QString configName, int, int iVPNType) {
    slotSwitchToOpenVPN();
    ui.lineEditProfileName->setText(configName);
    ui.lineEditProfileName->setCursorPosition(0);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);
}

void ProfileConfigDialog::slotLoadWireGuardVPNInfo(QString configName, int, int iVPNType) {
    slotSwitchToWireGuardVPN();
    ui.lineEditProfileName->setText(configName);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);
    ui.lineEditProfileName->setCursorPosition(0);
}

void ProfileConfigDialog::importOpenVPNFile() {}

void ProfileConfigDialog::generateWireGuardKeys() {}

void ProfileConfigDialog::deriveWireGuardPublicKey() {}
