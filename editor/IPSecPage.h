// The IPsec page of the profile editor: its proposal combos and the local addresses, its
// buttons (AH or ESP, DPD, the remote-subnet rows), loading a stored IPsec profile, its
// field rules and its save into the ZRIPSECVPN and PROFILE rows. An IPsec profile has no
// file: the tunnel builds its strongSwan configuration from the row at connect time.
#pragma once

#include <QList>
#include <QString>
#include <string>

#include "FieldRules.h"
#include "IPSecVPNInfo.h"
#include "ProfileConfigDialog.h"
#include "RemoteSubnetRows.h"

class QLineEdit;
class QObject;
class ZRInputIpLineEdit;

class ProfileConfigDialog::IPSecPage {
public:
    IPSecPage(ProfileConfigDialog& dialog, Ui::ProfileConfigDialog& ui);

    // Fills the proposal combos and the local addresses and connects the page's buttons
    // and fields.
    void setUp();
    // A button of the page clicked: AH, ESP, DPD or the add button.
    void buttonClicked(QObject* button);
    RemoteSubnetRows& rows() { return subnetRows; }

    // Fills the page from the stored row of configID.
    void load(const QString& configName, int iConfigID, int iVPNType);
    // Checks the page up to its first failure, marks it, and stores the profile when
    // everything passes.
    bool save();
    // After an edit moved the profile to another kind: its ZRIPSECVPN row removed.
    void removeStored();

private:
    // What the page holds when Confirm is pressed.
    struct Values {
        QString name;
        QString server;
        QString remote;
        QString remoteMask;
        QList<ZRInputIpLineEdit*> rowAddresses;
        QList<QLineEdit*> rowMasks;
        QString localAddress;
        QString psk;
        bool dpd = false;
        QString dpdPeriod;
        bool standardTunnel = true;
        bool esp = true;
        // The stored names of the chosen proposals; null where no entry is chosen.
        const char* hash = nullptr;
        const char* encryption = nullptr;
        const char* ikeEncryption = nullptr;
        const char* ikeHash = nullptr;
        const char* ikeGroup = nullptr;
    };

    void initIPSecComboBoxes();
    // The local addresses, the saved one first when no adapter has it; the index of the
    // entry to select.
    int loadLocalIPComboBox(const std::string& savedAddress);
    // The phase-two encryption combo: the single "--" of AH, or ESP's five algorithms.
    void offerNoEncryption();
    void offerEspEncryptions();

    void loadRemoteNetworks(const IPSecVPNInfo& info);
    void loadProposals(const IPSecVPNInfo& info);

    Values read() const;
    // The rules in the order the save checks them, each table up to its first failure:
    // the name and the server before the name's uniqueness; then the remote network, the
    // rows, and the local address, the pre-shared key, DPD and the proposals.
    FieldRules::Table serverRules(const Values& values) const;
    FieldRules::Table remoteNetworkRules(const Values& values) const;
    FieldRules::Table localRules(const Values& values) const;
    // Each row, its address and its mask both, up to the first row that fails; the
    // selectors of the rows that pass appended.
    bool checkRows(const Values& values, IPSecSelectorList& selectors) const;
    // The whole check; the remote traffic selectors of a page that passes.
    bool check(const Values& values, IPSecSelectorList& selectors) const;
    void fillRecord(const Values& values, const IPSecSelectorList& selectors, IPSecVPNInfo& info) const;

    ProfileConfigDialog& dialog;
    Ui::ProfileConfigDialog& ui;
    RemoteSubnetRows subnetRows;
};
