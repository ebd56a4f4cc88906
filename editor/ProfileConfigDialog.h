// The profile editor: a frameless modal dialog that adds a profile or edits a stored one,
// of any of the four kinds (1 IPsec, 2 SSL VPN, 3 OpenVPN, 4 WireGuard). One page per kind
// in a stack, switched by the kind selector; remote-subnet rows added and deleted per page;
// every field limited and judged by its rule, with red marks and warning texts that typing
// clears. Confirm runs the selected kind's save and, after an edit that changed the kind,
// removes the profile's previous kind row and configuration file.
//
// The dialog holds the one form, the window around it, the kind switching, the slots and
// the steps every save shares (the name rules, the staged file, the transaction, the
// profile row). What each kind knows (setting up its page, loading a stored profile into
// it, its field rules and its save) is its page's: IPSecPage, OpenVPNPage (SSL VPN and
// OpenVPN) and WireGuardPage, reached through the slots. The remote-subnet rows are
// RemoteSubnetRows, the rule tables and marks FieldRules, the configuration files' texts
// ProfileFileTexts.h and their whole-or-nothing replacement StagedFile.h.
#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QRegExp>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "FieldRules.h"
#include "ZRBaseDialog.h"
#include "ui_ProfileConfigDialog.h"

class IPCSqlite;
class IPSecVPNInfo;
class QLayout;
class QLineEdit;
class QPushButton;
class RemoteSubnetRows;
class EditorTextFit;
class ZRInputIpLineEdit;
struct ProfileInfo;

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
    // A stored address into its editor; an empty one leaves the editor empty without the
    // editor's warning, an invalid one warns.
    static void setLoadedAddress(ZRInputIpLineEdit* editor, const QString& address);

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
    class IPSecPage;
    class OpenVPNPage;
    class WireGuardPage;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Stacks the editor above its backdrop, with a window manager and without one.
    void keepAboveBackdrop();
    // Gives the shown backdrop's shadow the colour of the mode now applied.
    void recolourBackdrop();

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
    // than the dialog's minimum height; the form's scroll area then gives up the height
    // the window lacks, so the button row stays below it.
    void fitToScreenHeight(int availableHeight);
    void initValidators();
    void initVPNTypeComboBox();
    void setToolTips();
    void setModeTexts();
    void createShadowWindow();
    void adjustButtonWidths();
    // Fits the captions, choices and window to the language's texts.
    void fitTexts();

    // Kind switching: the page of a stack index (0 IPsec to 3 WireGuard) by its switch slot.
    void showKindPage(int index);
    void hideAllPages();
    void resetAllFields();
    void clearLayout(QLayout* layout);

    // Page controls: a remote-subnet row appended to a container (ipsecFlag 1: up to
    // thirteen rows); the rows of the page at a stack index.
    void addRemoteSubnetRow(QWidget* container, int ipsecFlag);
    RemoteSubnetRows& subnetRowsOfPage(int index);

    // The steps every kind's load and save share.
    // The start of a load: the kind's page, the name, the kind selected (which resets nothing).
    void beginLoad(const QString& configName, int iVPNType);
    // The profile name by its kind's rules (1 to 3: 128 bytes, 4: 32), with the page's
    // message when it fails.
    FieldRules::FieldRule nameRule(int kind);
    // The name-uniqueness rule on the name field, over the cached profile list; on
    // failure the name's warning and mark.
    bool checkNameUniqueness();
    // The name belongs to no other profile: the profile list read anew (a failure shown
    // over the dialog), then the name-uniqueness rule.
    bool nameIsFree();
    // Reads the profile list anew into the application context; false when that fails.
    bool reloadProfileList();
    // Makes every missing level of a folder; returns the path.
    static QString createDirPath(const QString& path);
    // The path of the configuration file of the name being saved, its folder made; empty,
    // with the name's message, for a name that cannot be a file name.
    QString configFileTarget(const char* folder, const char* suffix, const char* nameMessage);
    // Writes a save's kind row: over the row of the edited profile (its id given) when
    // update is set, else a new row whose id it gives back; 0 for success.
    using KindRowWriter = std::function<int(bool update, int& configID)>;
    // Stores a profile whole or not at all: the configuration file (unless the path is
    // empty) is written beside its place, the kind row and the profile row (the name, the
    // kind) are written in one transaction, the file is put in its place and the
    // transaction committed. The kind row is updated for an edit that keeps the kind.
    // Any failure undoes every step, shows the failure and returns false.
    bool storeProfile(int kind, const QString& name, const QString& filePath, const QByteArray& fileContent,
                      const KindRowWriter& writeKindRow);
    // The kind row of a save written through the kind's tunnel context: the record over the
    // edited profile's own row (updateRow), or as a new row (addRow); the record carries
    // the row's id.
    template <typename Context, typename Record>
    static KindRowWriter kindRowWriter(Context* context, Record& record,
                                       int (Context::*updateRow)(Record*, int),
                                       int (Context::*addRow)(Record*, int)) {
        return [context, &record, updateRow, addRow](bool update, int& configID) {
            if (context == nullptr) {
                return -1;
            }
            setRecordID(record, configID);
            const int result = (context->*(update ? updateRow : addRow))(&record, 1);
            configID = recordID(record);
            return result;
        };
    }
    // A kind row's id in its record: the ID of a row structure, the IPsec record's own.
    template <typename Record> static void setRecordID(Record& record, int id) { record.ID = id; }
    template <typename Record> static int recordID(const Record& record) { return record.ID; }
    static void setRecordID(IPSecVPNInfo& record, int id);
    static int recordID(const IPSecVPNInfo& record);
    // Writes the profile row that points at the kind row configID: the edited profile's
    // row in edit mode, a new row otherwise (0 for success).
    int writeProfileRow(IPCSqlite* store, ProfileInfo* profile, int configID) const;
    // After a rename, removes the file that stood under the profile's old name in folder;
    // failedLine (none when null) is logged when the removal fails.
    void removeFileOfOldName(const QString& newName, const char* folder, const char* suffix,
                             const char* failedLine) const;
    // Shows that the profile was not saved (a text key), over the dialog.
    void showSaveFailure(const char* key);

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

    std::unique_ptr<IPSecPage> m_ipsecPage;
    std::unique_ptr<OpenVPNPage> m_openVPNPage;
    std::unique_ptr<WireGuardPage> m_wireGuardPage;
    // Fits the captions and choices to the texts of the language in force.
    std::unique_ptr<EditorTextFit> m_textFit;
};
