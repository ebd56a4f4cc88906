// The profile editor: a frameless modal dialog that adds a profile or edits a stored one,
// of any of the four kinds (1 IPsec, 2 SSL VPN, 3 OpenVPN, 4 WireGuard). One page per kind
// in a stack, switched by the kind selector; remote-subnet rows added and deleted per page;
// every field limited and judged by its rule, with red marks and warning texts that typing
// clears. Confirm runs the selected kind's save and, after an edit that changed the kind,
// removes the profile's previous kind row and configuration file.
//
// The dialog is split over several sources: the spine (ProfileConfigDialog.cpp), the page
// controls and remote-subnet rows (ProfileConfigDialogControls.cpp), the field rules and
// marks (ProfileConfigDialogRules.cpp), the saves' shared steps and the IPsec page
// (ProfileConfigDialogKinds.cpp), the SSL VPN and OpenVPN pages
// (ProfileConfigDialogOpenVPN.cpp) and the WireGuard page (ProfileConfigDialogWireGuard.cpp).
// The configuration files' texts are ProfileFileTexts.h, their whole-or-nothing
// replacement StagedFile.h.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QRegExp>
#include <QString>
#include <functional>
#include <string>

#include "ZRBaseDialog.h"
#include "ui_ProfileConfigDialog.h"

class IPCSqlite;
class QFile;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class ZRInputIpLineEdit;
struct OpenVPNInfo;
struct ProfileInfo;
namespace OvpnText {
struct PageValues;
}

class ProfileConfigDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    // Adding: (page, false, "", 0, 0, 0). Editing: (page, true, the profile's name, its
    // profile id, its configuration id, its kind); the stored profile is loaded into the
    // form when the name is not empty and the profile id is not 0.
    ProfileConfigDialog(QWidget* parent, bool editMode, const QString& profileName, int profileID,
                        int configID, int vpnType);
    ~ProfileConfigDialog() override;

    // The profile-name rule: 0 when the UTF-8 name passes, -1 (with its log line) when it
    // fails. Only kind 4 (WireGuard) changes the rule.
    int checkProfileName(const char* name, int kind);
    // The remote-subnet rule over a page's rows, in row order: with check false nothing is
    // tested and the text is empty; otherwise every failing address and mask is marked, the
    // text holds every row as typed ("a/m, a/m"), and the result says whether all passed.
    bool checkRemoteSubnets(QString& text, const QList<ZRInputIpLineEdit*>& addresses,
                            const QList<QLineEdit*>& masks, bool check);
    // A prefix length (0 to 32) as a dotted netmask; empty above 32.
    static QString maskLengthToNetmask(int length);
    // A string of 0 and 1 digits as a number; 0 for any other character.
    static int binaryToInt(const std::string& digits);
    // Removes white space from both ends, in place.
    static std::string& trimString(std::string& text);

signals:
    // A profile was stored: the profile list reloads.
    void signalLoadProfileList();

protected slots:
    void slotButtonClicked();
    void slotOpenVPNButtonClicked();
    void slotVPNComboBoxIndexChanged(int iIndex);
    void slotSwitchToIPSecTunnel();
    void slotSwitchToSSLVPN();
    void slotSwitchToOpenVPN();
    void slotSwitchToWireGuardVPN();
    void slotDeleteGateway();
    void slotIPSecTunnelConfirm();
    void slotSSLVPNConfirm();
    void slotOpenVPNConfirm();
    void slotWireGuardVPNConfirm();
    void slotLineEidtClicked();
    void slotIPInputLineEidtClicked();
    void slotIPSecButtonClicked();
    void slotSSLButtonClicked();
    void slotLoadWireGuardVPNInfo(QString configName, int iConfigID, int iVPNType);
    void slotLoadOpenVPNInfo(QString configName, int iConfigID, int iVPNType);
    void slotLoadIPSecVPNInfo(QString configName, int iConfigID, int iVPNType);
    void slotLoadSSLVPNInfo(QString configName, int iConfigID, int iVPNType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Each kind's save: checks its page, marks what fails and, when everything passes,
    // stores the profile (kind row, profile row, configuration file). True when stored;
    // Confirm then emits signalLoadProfileList and closes the dialog. A failed save
    // leaves the dialog open and has stored nothing.
    virtual bool saveIPSecTunnel();
    virtual bool saveSSLVPN();
    virtual bool saveOpenVPN();
    virtual bool saveWireGuardVPN();
    // Runs the save of a kind; on success the reload signal and the close follow.
    bool runSave(int kind);
    // Confirm: the save of the selected kind between its two log lines, then the removal
    // of the previous kind's row and file after an edit that changed the kind.
    void confirmProfile();
    void removePreviousKind(int newKind);
    // The path of a profile's configuration file in a folder, or an empty text for a
    // name that cannot be a file name there (a separator, ".", "..", a control character).
    static QString profileFilePath(const char* folder, const QString& name, const char* suffix);

    // Construction.
    void applyRoundedMask();
    // Shrinks the dialog to 90% of the given available screen height when it is smaller
    // than the dialog's minimum height.
    void fitToScreenHeight(int availableHeight);
    void initValidators();
    void initVPNTypeComboBox();
    void initIPSecComboBoxes();
    void setToolTips();
    void setModeTexts();
    void createShadowWindow();
    void adjustButtonWidths();
    void hideAllPages();
    void resetAllFields();
    void clearLayout(QLayout* layout);

    // Page controls and remote-subnet rows.
    void addRemoteSubnetRow(QWidget* container, int ipsecFlag);
    void addRowByButton(QWidget* container, QPushButton* addButton, int ipsecFlag);
    void fullTrafficClicked(QRadioButton* toggle, QWidget* container, QPushButton* addButton);
    void setDnsAutomatic(ZRInputIpLineEdit* dns, bool automatic);
    void clearImportedFile();
    static QList<ZRInputIpLineEdit*> rowAddresses(QWidget* container);
    static QList<QLineEdit*> rowMasks(QWidget* container);
    static QList<QLabel*> rowLabels(QWidget* container);

    // Marks and messages of failed checks.
    void markLineEdit(QLineEdit* field);
    void markAddress(ZRInputIpLineEdit* field);
    void markFrame(QWidget* frame);
    // Shows a key's text in a warning label and marks the field.
    void showWarning(QLabel* label, QLineEdit* field, const char* key);
    // The name-uniqueness rule on the name field, over the cached profile list; on
    // failure the name's warning and mark.
    bool checkNameUniqueness();

    // Kind behaviour that comes with the kinds' saves and loads.
    void importOpenVPNFile();
    void generateWireGuardKeys();
    void deriveWireGuardPublicKey();

    // The saves' shared steps. The profile name by its kind's rules (1 to 3: 128 bytes,
    // 4: 32), marked with the page's message when it fails.
    bool checkNameField(int kind);
    // Reads the profile list anew into the application context; false when that fails.
    bool reloadProfileList();
    // Stores a profile whole or not at all: the configuration file (unless the path is
    // empty) is written beside its place, the rows are written in one transaction by
    // writeRows (0 for success), the file is put in its place and the transaction
    // committed. Any failure undoes every step, shows the failure and returns false.
    bool storeProfile(const QString& filePath, const QByteArray& fileContent,
                      const std::function<int(IPCSqlite*)>& writeRows);
    // Writes the profile row that points at the kind row configID: the edited profile's
    // row in edit mode, a new row otherwise (0 for success).
    int writeProfileRow(IPCSqlite* store, ProfileInfo* profile, int configID) const;
    // After a rename, removes the file that stood under the profile's old name in folder;
    // failedLine (none when null) is logged when the removal fails.
    void removeFileOfOldName(const QString& newName, const char* folder, const char* suffix,
                             const char* failedLine) const;
    // Shows that the profile was not saved (a text key), over the dialog.
    void showSaveFailure(const char* key);
    // A remote-subnet row taken apart: the address before the last (or first) "/", the
    // mask after it; a text without "/" gives itself to both.
    static QPair<QString, QString> splitSubnet(const QString& item, bool atLast);
    // Fills a page's rows from the stored remote-subnet text.
    void loadRemoteSubnets(const QString& text, QWidget* container, QPushButton* addButton,
                           QRadioButton* fullTraffic, bool uncheckFullTraffic);
    // A stored address into its editor; an empty one leaves the editor empty without the
    // editor's warning, an invalid one warns.
    static void setLoadedAddress(ZRInputIpLineEdit* editor, const QString& address);

    // IPsec page: the local addresses, the saved one first when no adapter has it; the
    // index of the entry to select.
    int loadLocalIPComboBox(const std::string& savedAddress);

    // SSL VPN and OpenVPN pages: the widgets of the page of kind 2 or 3.
    struct OpenVPNPage {
        int kind;
        QWidget* credentials;
        QLineEdit* userName;
        QLineEdit* password;
        QWidget* passwordFrame;
        QRadioButton* rememberMe;
        QRadioButton* prompt;
        QRadioButton* autoDns;
        QRadioButton* manualDns;
        ZRInputIpLineEdit* dns;
        ZRInputIpLineEdit* wins;
        QRadioButton* fullTraffic;
        QWidget* rows;
        QPushButton* addRow;
        const char* removeFailedLine;
    };
    OpenVPNPage openVPNPage(int kind);
    // What the page gives the copy of the configuration.
    OvpnText::PageValues openVPNPageValues(const OpenVPNPage& page);
    // Reads the chosen file and takes the server, the port and the need for credentials.
    void parseOpenVPNFile(QFile& file, int kind);
    // Shows a configuration file's name in the file row: the name elided to the field, the
    // tool tip as given.
    void showConfigFileName(const QString& path, const QString& toolTip);
    // The page check: marks every field that fails and builds remoteSubnetText.
    bool checkOpenVPNPage(const OpenVPNPage& page);
    bool checkSSLVPNInput();
    bool checkOpenVPNInput();
    bool saveOpenVPNKind(int kind);
    void loadOpenVPNKind(const QString& configName, int iConfigID, int iVPNType);
    // The copy of a newly imported file, from the file at sourcePath (stored: the profile's
    // row when it is edited, else an empty one); false when it cannot be read.
    bool writeOpenVPNConfig(const QString& sourcePath, const OpenVPNInfo& stored, const OpenVPNPage& page,
                            QByteArray& copy);
    // The stored copy rewritten with the page's values: the copy under the name the dialog
    // was opened with, or the stored text when the file is missing; false when neither is there.
    bool updateOpenVPNConfig(const OpenVPNInfo& stored, const OpenVPNPage& page, QByteArray& copy);
    // Makes every missing level of a folder; returns the path.
    static QString createDirPath(const QString& path);
    // Reads a regular file whole; false when it cannot.
    static bool readWholeFile(const QString& path, QByteArray& content);

    // WireGuard page: the key rule (44 characters of the key pattern), and a run of the
    // key tool whose answer is a key (empty otherwise).
    static bool isWireGuardKey(const QString& text);
    static QString runKeyTool(const std::string& commandLine);

    Ui::ProfileConfigDialog ui;
    // The backdrop lives among the parent's children: it may go before the dialog does.
    QPointer<QDialog> m_shadowDialog;
    bool m_bEditMode = false;
    QString m_configName;
    int m_iProfileID = 0;
    int m_iConfigID = 0;
    int m_iVPNType = 0;
    QString remoteSubnetText;
    QPushButton* m_btnClearFile = nullptr;
    QString m_ovpnFilePath;
    bool m_bNeedPwd = false;
    bool m_bFileImported = false;
    QRegExp m_ipRegExp;
    QRegExp m_portRegExp;
    QRegExp m_maskRegExp;
    QRegExp m_userRegExp;
    QRegExp m_pwdRegExp;
};
