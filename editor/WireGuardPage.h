// The WireGuard page of the profile editor: the key pair from the bundle's wg tool, its
// buttons (keys, full traffic, the remote-subnet rows), loading a stored WireGuard profile,
// its field rules and its save with the configuration file ./Config/wireguard/<name>.conf.
#pragma once

#include <QString>
#include <string>

#include "FieldRules.h"
#include "ProfileConfigDialog.h"
#include "ProfileFileTexts.h"
#include "RemoteSubnetRows.h"

class QObject;
class QWidget;
struct WireGuardVPNInfo;

class ProfileConfigDialog::WireGuardPage {
public:
    WireGuardPage(ProfileConfigDialog& dialog, Ui::ProfileConfigDialog& ui);

    // Full traffic on with its rows hidden, and the page's buttons and fields connected.
    void setUp();
    // A button of the page clicked: key generation, the add button or full traffic; false
    // for a button of another page.
    bool buttonClicked(QObject* button);
    RemoteSubnetRows& rows() { return subnetRows; }

    // The private key changed: its public key from the key tool when it is a key.
    void deriveWireGuardPublicKey();

    // Fills the page from the stored row of configID.
    void load(const QString& configName, int iConfigID, int iVPNType);
    // Checks the page, marks every failure, and stores the profile when everything passes.
    bool save();
    // After an edit moved the profile to another kind: its ZRWIREGUARDVPN row and its
    // configuration file removed.
    void removeStored();

    // The key rule: 44 characters of the key pattern.
    static bool isWireGuardKey(const QString& text);

private:
    // What the page holds when Confirm is pressed.
    struct Values {
        QString name;
        bool fullTraffic = true;
        // The interface's public key: stored, not written to the file.
        QString publicKey;
        // What the configuration file takes: the DNS address only when it is one (it is
        // optional and never marked); the allowed IPs come from the rows' check.
        WireGuardText::PageValues file;
    };

    void generateWireGuardKeys();
    // A run of the key tool whose answer is a key (empty otherwise).
    static QString runKeyTool(const std::string& commandLine);

    Values read() const;
    FieldRules::Table fieldRules(const Values& values) const;
    // The rows, then the table, every failure marked; builds the remote-subnet text.
    bool check(const Values& values);
    void fillRecord(const Values& values, WireGuardVPNInfo& info) const;
    // The field that holds a key's value in the configuration file (null for none).
    QWidget* fieldOfKey(const std::string& key) const;

    ProfileConfigDialog& dialog;
    Ui::ProfileConfigDialog& ui;
    RemoteSubnetRows subnetRows;
};
