// The SSL VPN (kind 2) and OpenVPN (kind 3) pages of the profile editor: the import of an
// OpenVPN configuration file into the import row they share, each page's controls, loading
// a stored profile, the page's field rules and the save with the profile's copy of the
// configuration, ./Config/openvpn/<name>.ovpn. Both kinds share the OPENVPN table and these
// steps; they differ in the page they read and the kind they store.
#pragma once

#include <QByteArray>
#include <QString>

#include "FieldRules.h"
#include "ProfileConfigDialog.h"
#include "ProfileFileTexts.h"
#include "RemoteSubnetRows.h"

class QObject;
class QPushButton;
class QRadioButton;
struct OpenVPNInfo;

class ProfileConfigDialog::OpenVPNPage {
public:
    OpenVPNPage(ProfileConfigDialog& dialog, Ui::ProfileConfigDialog& ui);

    // The import row and both pages: full traffic on with the rows hidden, automatic DNS,
    // the credentials prompt on, and the buttons and fields connected.
    void setUp();
    // A button of the dialog's own slot: the import or a show-password button.
    void buttonClicked(QObject* button);
    // A control of the page of a kind clicked (its own slot): the DNS choice, the add
    // button, full traffic, or the clear-file button.
    void controlClicked(int kind, QObject* button);
    RemoteSubnetRows& rows(int kind) { return widgets(kind).rows; }

    // Fills the page of the kind from the stored row of configID.
    void load(const QString& configName, int iConfigID, int iVPNType);
    // Checks the page of the kind, marks every failure, and stores the profile when
    // everything passes.
    bool save(int kind);
    // After an edit moved the profile to newKind: its OPENVPN row and its copy removed;
    // the copy stays when the profile moves between SSL VPN and OpenVPN under its name.
    void removeStored(int newKind);

private:
    // The widgets of the page of a kind.
    struct Widgets {
        int kind;
        QWidget* credentials;
        QLineEdit* userName;
        QLineEdit* password;
        QWidget* passwordFrame;
        QPushButton* showPassword;
        QRadioButton* rememberMe;
        QRadioButton* prompt;
        QRadioButton* autoDns;
        QRadioButton* manualDns;
        ZRInputIpLineEdit* dns;
        ZRInputIpLineEdit* wins;
        QRadioButton* fullTraffic;
        QPushButton* addRow;
        RemoteSubnetRows rows;
        // The slot of the page's controls, and the log line of a failed removal.
        const char* controlsSlot;
        const char* removeFailedLine;
    };
    // What the page holds when Confirm is pressed.
    struct Values {
        QString name;
        bool fileChosen = false;
        QString filePath;
        bool credentials = false;
        bool rememberMe = false;
        bool prompt = false;
        QString userName;
        QString password;
        bool autoDns = true;
        // What the .ovpn copy takes: the server and its port, the DNS address as set by
        // hand (empty while it is automatic), WINS, full traffic and the rows as routes.
        OvpnText::PageValues ovpn;
    };

    Widgets& widgets(int kind) { return kind == 2 ? ssl : openVPN; }
    void setUpPage(Widgets& page);
    void setUpImportRow();

    // Import.
    void importOpenVPNFile();
    // Takes the chosen file's content (bytes, read from path): the configuration with the
    // files it names, the server and port of its first remote line, the need for
    // credentials and those its auth-user-pass file holds. False, with nothing taken and the
    // reason shown, when the import refuses the file.
    bool parseOpenVPNFile(const QString& path, const QByteArray& bytes, int kind);
    // Says why a file is refused, naming its line.
    void showImportRefusal(const QString& fileName, const OvpnText::ImportRefusal& refusal);
    // Logs the lines a copy left out.
    static void logDroppedLines(const OvpnText::DroppedLines& dropped);
    // Says why a save is refused: a line of the configuration that openvpn would follow to
    // a file by its path, or that makes it a server; logs each such line.
    void showBarredLines(const OvpnText::DroppedLines& barred);
    // Shows a configuration file's name in the file row: the name elided to the field, the
    // tool tip as given.
    void showConfigFileName(const QString& path, const QString& toolTip);
    void clearImportedFile();
    void setDnsAutomatic(ZRInputIpLineEdit* dns, bool automatic);

    Values read(Widgets& page) const;
    FieldRules::Table fieldRules(const Widgets& page, const Values& values) const;
    // The table, then the rows, every failure marked; builds the remote-subnet text.
    bool check(Widgets& page, const Values& values);
    // The stored row of an edit that keeps the kind (else an empty one); false when it
    // cannot be read.
    bool readStored(bool sameKind, OpenVPNInfo& stored) const;
    // The profile's copy of the configuration: of a newly imported file, or the stored
    // copy rewritten; false, with the file row marked, when neither can be read, and false
    // with a message when the configuration holds a barred directive.
    bool makeCopy(const Values& values, const OpenVPNInfo& stored, QByteArray& copy);
    // The copy of a newly imported file, from the configuration the import took (stored:
    // the profile's row when it is edited, else an empty one); its barred lines in barred.
    bool writeOpenVPNConfig(const OpenVPNInfo& stored, const Values& values, QByteArray& copy,
                            OvpnText::DroppedLines& barred);
    // The stored copy rewritten with the page's values: the copy under the name the dialog
    // was opened with, or the stored text when the file is missing; false when neither is
    // there. Its barred lines in barred.
    bool updateOpenVPNConfig(const OpenVPNInfo& stored, const Values& values, QByteArray& copy,
                             OvpnText::DroppedLines& barred);
    // The record of the save; false when a text does not fit its column.
    bool fillRecord(const Values& values, const OpenVPNInfo& stored, bool sameKind, const QByteArray& copy,
                    OpenVPNInfo& info) const;
    // Reads a regular file whole; false when it cannot.
    static bool readWholeFile(const QString& path, QByteArray& content);

    ProfileConfigDialog& dialog;
    Ui::ProfileConfigDialog& ui;
    Widgets ssl;
    Widgets openVPN;
    // The configuration of the file imported last, as the profile keeps it (valid while
    // the dialog's imported flag is set).
    QByteArray importedText;
};
