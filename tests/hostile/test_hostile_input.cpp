// One table of hostile values, each driven through every entry point of the client where
// outside text comes in: the profile editor's fields (typed or pasted into the real widgets,
// then Confirm), its ".ovpn" import (the file's name and its lines), the import of a profile
// file on the Profiles page, the store's calls, the WireGuard and IPsec file and command
// builders, and the bundle's WireGuard script that a tunnel name reaches.
//
// For every value and entry point the value is either kept exactly (read back byte for
// byte) or refused with a message; and whatever the outcome, nothing ran (no canary file
// "PWNED" appears), no file appeared outside its folder, and the store is whole with its
// earlier rows unchanged.
#include <QClipboard>
#include <QDirIterator>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "CommandLine.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "OpenVPNContext.h"
#include "ProfileFileTexts.h"
#include "SavesTestSupport.h"
#include "SwanctlConf.h"
#include "TransferTest.h"
#include "WireGuardContext.h"

using namespace savestest;
using transfertest::Source;
using transfertest::TransferTest;

namespace {

// The table: each value as raw bytes.
struct Hostile {
    const char* label;
    QByteArray bytes;
};

QByteArray bytesOf(const char* text, int size = -1) {
    return size < 0 ? QByteArray(text) : QByteArray(text, size);
}

const std::vector<Hostile>& hostileValues() {
    static const std::vector<Hostile> values = {
        {"single quotes", bytesOf("o'brien's 'x'")},
        {"double quotes", bytesOf("say \"hi\" \"")},
        {"command substitution", bytesOf("$(touch PWNED)")},
        {"backticks", bytesOf("`touch PWNED`")},
        {"semicolon", bytesOf("a; touch PWNED")},
        {"pipe", bytesOf("a | touch PWNED")},
        {"parent folder", bytesOf("../korva_escape")},
        {"absolute path", bytesOf("/tmp/korva_escape")},
        {"newline", bytesOf("line\nPostUp = touch PWNED")},
        {"carriage return", bytesOf("line\rtouch PWNED")},
        {"NUL", bytesOf("before\0after", 12)},
        {"64 KiB", QByteArray(64 * 1024, 'L')},
        {"invalid UTF-8", bytesOf("bad\xff\xfe\xc3(utf8")},
        {"leading dash", bytesOf("--help --config=korva_escape")},
        {"spaces", bytesOf("  two  words  ")},
    };
    return values;
}

// The characters a line edit holds a value as: bytes that are no UTF-8 become U+FFFD.
QString asText(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

bool printableAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        if (c < 0x20 || c > 0x7e) {
            return false;
        }
    }
    return true;
}

// Enters a value into a field as a person does: printable text typed key by key, anything
// else (control characters, very long texts) pasted from the clipboard.
void enter(QLineEdit* field, const QByteArray& value) {
    if (printableAscii(value) && value.size() <= 256) {
        editortest::typeInto(field, asText(value));
        return;
    }
    QApplication::clipboard()->setText(asText(value));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QApplication::processEvents();
}

// Every file under a folder whose name is the canary or begins "korva_escape".
QStringList strayFiles(const QString& folder, bool recursive) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        // The import case names its source file after the value inside its own folder.
        if (path.contains(QStringLiteral("/imports/"))) {
            continue;
        }
        if (name == QLatin1String("PWNED") || name.startsWith(QLatin1String("korva_escape"))) {
            found << path;
        }
    }
    return found;
}

// The canary anywhere under the working folder or the home folder; an escaped file in the
// folders a name with "../" or an absolute path would reach.
QStringList strayFilesEverywhere() {
    QStringList found;
    for (const QString& path : strayFiles(QDir::currentPath(), true) + strayFiles(QDir::homePath(), true)) {
        if (path.endsWith(QLatin1String("/PWNED"))) {
            found << path;
        }
    }
    for (const QString& folder : {QDir::currentPath(), QDir::currentPath() + QStringLiteral("/Config"),
                                  QDir::currentPath() + QStringLiteral("/.."), QStringLiteral("/tmp")}) {
        found << strayFiles(folder, false);
    }
    return found;
}

std::string quickCheck() {
    sqlite3* db = nullptr;
    std::string result = "<cannot open>";
    if (sqlite3_open_v2(QFile::encodeName(TransferTest::storePath()).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

// What one entry point made of one value.
struct Outcome {
    bool kept = false;   // stored or built, and read back
    QByteArray readBack; // what was read back, when kept
    QByteArray expected; // what it must equal, when kept
    QString refusal;     // the message that refused it
};

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

// A save of what a field held: the value kept when the field took it whole; otherwise the
// field's typing rule refused the characters it left out (a line edit takes no line
// breaks or NUL, and the name field only letters, digits and "_"), and what it kept was
// stored as it stood.
Outcome typedOutcome(const QByteArray& value, const QString& held, const QByteArray& stored) {
    Outcome outcome;
    if (held.toUtf8() == value) {
        outcome.kept = true;
        outcome.expected = value;
        outcome.readBack = stored;
    } else {
        EXPECT_FALSE(held.contains(QLatin1Char('\n')) || held.contains(QLatin1Char('\r')) ||
                     held.contains(QChar(0)));
        outcome.refusal = QStringLiteral("the field took only \"%1\"").arg(held.left(40));
    }
    return outcome;
}

// The warning under the name field, or the save-failure toast.
QString editorRefusal(SaveEditor& editor) {
    const QString warning = editor.form().labelNameWarning->text();
    return !warning.isEmpty() ? warning : toastText();
}

QByteArray storedOpenVPNValue(const QString& name, const std::function<QByteArray(const OpenVPNInfo&)>& get) {
    OpenVPNInfo info;
    app()->GetOpenVPNContext()->GetOpenVPNInfoByID(storedProfile(name).ConfigID, &info);
    return get(info);
}

// An OpenVPN configuration that asks for credentials, with the value as a line of its own.
QByteArray ovpnSource(const QByteArray& line) {
    return "client\ndev tun\nremote 198.51.100.7 1194\nauth-user-pass\n# " + line + "\n";
}

// The editor's OpenVPN page filled for a profile "ovpn_case" from the source file, the
// password given; Confirm pressed.
bool saveOpenVPN(SaveEditor& editor, const QString& source, const QByteArray& password) {
    Ui::ProfileConfigDialog& u = editor.form();
    chooseKind(u.comboBoxVPNType, 2);
    typeInto(u.lineEditProfileName, QStringLiteral("ovpn_case"));
    importFile(editor, source);
    setToggle(u.btnOpenRememberPass, true);
    typeInto(u.lineEditUserName, QStringLiteral("user_1"));
    enter(u.lineEditPassword, password);
    return confirm(editor);
}

// The entry points.

Outcome editorName(const QByteArray& value) {
    Outcome outcome;
    auto editor = openNew();
    Ui::ProfileConfigDialog& u = editor->form();
    WireGuardForm form = requiredWireGuardForm(QString());
    fillWireGuard(*editor, form);
    enter(u.lineEditProfileName, value);
    const QString held = u.lineEditProfileName->text();
    if (confirm(*editor)) {
        const QByteArray stored(storedProfile(held).ProfileName);
        EXPECT_EQ(stored, held.toUtf8());
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral("Config/wireguard/%1.conf").arg(held)));
        outcome = typedOutcome(value, held, stored);
    } else {
        outcome.refusal = editorRefusal(*editor);
    }
    return outcome;
}

Outcome editorPassword(const QByteArray& value) {
    Outcome outcome;
    writeFile(QStringLiteral("imports/plain.ovpn"), ovpnSource("plain"));
    auto editor = openNew();
    const bool saved = saveOpenVPN(*editor, QStringLiteral("imports/plain.ovpn"), value);
    const QString held = editor->form().lineEditPassword->text();
    if (saved) {
        const QByteArray stored = storedOpenVPNValue(
            QStringLiteral("ovpn_case"), [](const OpenVPNInfo& info) { return QByteArray(info.UserPwd); });
        EXPECT_EQ(stored, held.toUtf8());
        outcome = typedOutcome(value, held, stored);
    } else {
        outcome.refusal = editor->isVisible() && !editor->form().widgetPassword->styleSheet().isEmpty()
                              ? QStringLiteral("password frame marked")
                              : editorRefusal(*editor);
    }
    return outcome;
}

// The imported file holds the value as a line, and is named after it where it can name a
// file.
Outcome ovpnImport(const QByteArray& value) {
    Outcome outcome;
    // Qt's file dialog reads a typed name in double quotes as a list of names: such a file
    // cannot be picked through it, so it stands under a plain name.
    const bool nameable =
        !value.contains('/') && !value.contains('\0') && !value.contains('"') && value.size() < 200;
    const QString source = QStringLiteral("imports/") +
                           (nameable ? QFile::decodeName(value) : QStringLiteral("hostile")) +
                           QStringLiteral(".ovpn");
    writeFile(source, ovpnSource(value));
    auto editor = openNew();
    if (saveOpenVPN(*editor, source, "secret")) {
        outcome.kept = true;
        const QByteArray stored =
            storedOpenVPNValue(QStringLiteral("ovpn_case"), [](const OpenVPNInfo& info) {
                return QByteArray::fromStdString(info.VPNConfig);
            });
        // The line as stored (text that is no UTF-8 read as Latin-1, as every stored text is
        // UTF-8), and the profile's copy on disk holding the same text.
        const QByteArray line = "\n# " + OvpnText::asUtf8(value) + "\n";
        outcome.expected = line;
        outcome.readBack = stored.contains(line) ? line : stored;
        EXPECT_EQ(readFile(QStringLiteral("Config/openvpn/ovpn_case.ovpn")), stored);
        // The file's path, a control character of its name shown as "?".
        QByteArray path = QFileInfo(source).absoluteFilePath().toUtf8();
        for (char& c : path) {
            c = static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
        }
        EXPECT_EQ(storedOpenVPNValue(QStringLiteral("ovpn_case"),
                                     [](const OpenVPNInfo& info) { return QByteArray(info.ConfigFilePath); }),
                  path);
    } else {
        outcome.refusal = editorRefusal(*editor);
    }
    return outcome;
}

// A profile file whose one profile carries the value as its name, imported on the Profiles
// page.
Outcome profileFileImport(const QByteArray& value) {
    Outcome outcome;
    TransferTest::makeStoreFile(
        QStringLiteral("imports/source.db"), {{VPN_TYPE_OPENVPN, "placeholder"}}, [&value](sqlite3* db) {
            sqlite3_stmt* statement = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE PROFILE SET ProfileName = ?", -1, &statement, nullptr),
                      SQLITE_OK);
            sqlite3_bind_text(statement, 1, value.constData(), value.size(), SQLITE_TRANSIENT);
            EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
            sqlite3_finalize(statement);
        });
    TransferTest::encipher(QStringLiteral("imports/source.db"), QStringLiteral("imports/profiles.cfg"));
    transfertest::Page page;
    page.resize(887, 602);
    EXPECT_TRUE(guitest::showAndExpose(&page));
    int result = 0;
    outcome.refusal = TransferTest::errorDuring(
        [&] { result = page.importFromFile(QStringLiteral("imports/profiles.cfg")); });
    if (result == 0) {
        outcome.kept = true;
        outcome.expected = value;
        std::vector<ProfileInfo> list;
        app()->GetSqlite()->GetProfileList(list);
        for (const ProfileInfo& profile : list) {
            if (std::strcmp(profile.ProfileName, "kept") != 0) {
                outcome.readBack = profile.ProfileName;
            }
        }
    }
    EXPECT_EQ(TransferTest::workingFiles(), QStringList());
    return outcome;
}

// The store's calls: a profile name, an OpenVPN configuration text and password. A value
// that a record's fixed array cannot carry (a NUL, or longer than the array) is refused by
// the record itself.
Outcome storeCalls(const QByteArray& value) {
    Outcome outcome;
    IPCSqlite* store = app()->GetSqlite();
    OpenVPNInfo info;
    info.VPNConfig = value.toStdString();
    const bool fitsRecord = !value.contains('\0') && value.size() < RECORD_TEXT_SHORT;
    if (fitsRecord) {
        qstrncpy(info.UserPwd, value.constData(), sizeof info.UserPwd);
    }
    if (store->InsertOpenVPNConfig(&info) != 0) {
        outcome.refusal = QStringLiteral("the configuration text was refused");
        return outcome;
    }
    OpenVPNInfo back;
    EXPECT_EQ(store->GetOpenVPNConfigByID(&back, info.ID), 0);
    EXPECT_EQ(QByteArray(back.UserPwd), QByteArray(info.UserPwd));
    outcome.kept = true;
    outcome.expected = value;
    outcome.readBack = QByteArray::fromStdString(back.VPNConfig);
    if (fitsRecord) {
        ProfileInfo profile;
        profile.ProfileType = VPN_TYPE_OPENVPN;
        profile.ConfigID = info.ID;
        qstrncpy(profile.ProfileName, value.constData(), sizeof profile.ProfileName);
        EXPECT_EQ(store->InsertProfile(&profile), 0);
        ProfileInfo named;
        EXPECT_EQ(store->GetProfileByID(&named, profile.ProfileID), 0);
        EXPECT_EQ(QByteArray(named.ProfileName), value);
        named.ProfileID = profile.ProfileID;
        std::strcpy(named.ProfileName, "renamed");
        EXPECT_EQ(store->UpdateProfile(&named), 0);
        qstrncpy(named.ProfileName, value.constData(), sizeof named.ProfileName);
        EXPECT_EQ(store->UpdateProfile(&named), 0);
        ProfileInfo again;
        EXPECT_EQ(store->GetProfileByID(&again, profile.ProfileID), 0);
        EXPECT_EQ(QByteArray(again.ProfileName), value);
    }
    return outcome;
}

// The WireGuard builders with the value as the profile and tunnel name: the file is
// written into its folder under that very name, each command line gives the tool the
// name (or the file's path) as one argument; or the name is refused by them all.
Outcome wireGuardBuilders(const QByteArray& value) {
    Outcome outcome;
    const QByteArray name = value.left(value.indexOf('\0') < 0 ? value.size() : value.indexOf('\0'));
    const bool fits = name.size() == value.size() && value.size() < RECORD_TEXT_LONG;
    ProfileInfo profile;
    qstrncpy(profile.ProfileName, name.constData(), sizeof profile.ProfileName);
    WireGuardVPNInfo info;
    std::strcpy(info.WanIP, "198.51.100.20");
    info.PeerPort = 51820;
    std::strcpy(info.PeerPubKey, kPeerKey.toLatin1().constData());
    std::strcpy(info.IPAddr, "10.8.0.2");
    info.InterSubMask = 24;
    std::strcpy(info.InterPriKey, kPrivateKey.toLatin1().constData());
    WireGuardContext context;
    const int written = fits ? context.WriteWireGuardConfig(profile, &info) : -1;
    const std::string install = WireGuardInstallCommandLine(QDir::currentPath(), profile.ProfileName);
    const std::string uninstall = WireGuardUninstallCommandLine(profile.ProfileName);
    const std::string show = WireGuardShowCommandLine(profile.ProfileName);
    if (!fits) {
        outcome.refusal = QStringLiteral("a record cannot hold it");
        return outcome;
    }
    if (!IsValidTunnelName(profile.ProfileName)) {
        EXPECT_EQ(written, -1);
        EXPECT_EQ(install + uninstall + show, "");
        outcome.refusal = QStringLiteral("not a tunnel name");
        return outcome;
    }
    EXPECT_EQ(written, 0);
    const QString file =
        QStringLiteral("Config/wireguard/") + QFile::decodeName(name) + QStringLiteral(".conf");
    EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    QStringList expectedFiles{QStringLiteral("kept.conf"), QFileInfo(file).fileName()};
    expectedFiles.sort();
    QStringList files = QDir(QStringLiteral("Config/wireguard")).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files, expectedFiles);
    const std::vector<std::string> installWords = SplitCommandLine(install);
    const std::vector<std::string> uninstallWords = SplitCommandLine(uninstall);
    const std::vector<std::string> showWords = SplitCommandLine(show);
    EXPECT_EQ(installWords.back(), QDir::currentPath().toStdString() + "/" + file.toStdString());
    EXPECT_EQ(uninstallWords.back(), name.toStdString());
    EXPECT_EQ(uninstallWords.size(), 5u) << uninstall;
    EXPECT_EQ(showWords.size(), 3u) << show;
    EXPECT_EQ(showWords.back(), name.toStdString());
    outcome.kept = true;
    outcome.expected = value;
    outcome.readBack = QByteArray::fromStdString(uninstallWords.back());
    QDir(QStringLiteral("Config")).removeRecursively();
    return outcome;
}

// The characters that give swanctl.conf its structure, outside quoted values: braces,
// comments, line ends and the first "=" of a line (the rest of the line is its value).
std::string swanctlStructure(const std::string& text) {
    std::string structure;
    bool quoted = false;
    bool assigned = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else if (c == '\n') {
                structure += "<newline in a value>";
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == '=') {
            structure += assigned ? "" : "=";
            assigned = true;
        } else if (std::strchr("{}#\n", c) != nullptr) {
            structure += c;
            assigned = assigned && c != '\n';
        }
    }
    return structure;
}

// The IPsec profile's swanctl.conf with the value as its name and its pre-shared key: the
// file keeps the structure of a plain profile's, the connection's name is one strongSwan
// takes, and the key stands quoted or encoded; or the value is refused.
Outcome swanctlBuilder(const QByteArray& value) {
    Outcome outcome;
    const auto format = [](const std::string& name, const std::string& key, std::string& text) {
        IPSecVPNInfo info;
        info.SetVersion(2);
        info.SetRemoteAddrs("198.51.100.9");
        info.SetTransportProtocol(1);
        info.SetProtocolType(2);
        info.SetEspProposals("aes256-sha256");
        info.SetPhaseOneProposals("sha256-aes256-modp2048");
        info.SetRemoteTrafficSelectors({"10.1.0.0/16"});
        if (info.SetPolicyName(name) != 0 || info.SetPSKSecret(key) != 0) {
            return -1;
        }
        return FormatSwanctlConf(info, text);
    };
    std::string plain;
    EXPECT_EQ(format("plain", "plainkey", plain), 0);
    std::string text;
    if (format(value.toStdString(), value.toStdString(), text) != 0) {
        outcome.refusal = QStringLiteral("refused by the record or the format");
        return outcome;
    }
    EXPECT_EQ(swanctlStructure(text), swanctlStructure(plain)) << text.substr(0, 400);
    const std::string connection = SwanctlConnectionName(value.toStdString());
    EXPECT_TRUE(IsSwanctlName(connection)) << connection;
    EXPECT_NE(text.find(connection + " {"), std::string::npos);
    outcome.kept = true;
    outcome.expected = value;
    // The secret as the file holds it, decoded back.
    const std::string secret = SwanctlSecretValue(value.toStdString());
    EXPECT_NE(text.find("secret=" + secret + "\n"), std::string::npos);
    if (secret.rfind("0x", 0) == 0) {
        outcome.readBack = QByteArray::fromHex(QByteArray::fromStdString(secret.substr(2)));
    } else if (!secret.empty() && secret.front() == '"') {
        QByteArray unquoted;
        for (size_t i = 1; i + 1 < secret.size(); ++i) {
            char c = secret[i];
            if (c == '\\' && i + 2 < secret.size()) {
                c = secret[++i];
                c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
            unquoted += c;
        }
        outcome.readBack = unquoted;
    } else {
        outcome.readBack = QByteArray::fromStdString(secret);
    }
    return outcome;
}

// The bundle's wireguard script installing and uninstalling the tunnel file named after
// the value, with wg-quick and ip replaced by doubles that log their arguments: the
// script passes the name on as data, never as code, and keeps its files in its run folder.
// The client passes it only names that IsValidTunnelName takes; the script is driven with
// every value that can name a file all the same.
Outcome bundleScript(const QByteArray& value) {
    Outcome outcome;
    if (value.contains('/') || value.contains('\0') || value.size() > 200) {
        outcome.refusal = QStringLiteral("no file can have this name");
        return outcome;
    }
    const QString root = QDir::currentPath() + QStringLiteral("/script");
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/fakes"));
    QDir().mkpath(root + QStringLiteral("/Config/wireguard"));
    const QString log = root + QStringLiteral("/args.log");
    // wg-quick up makes the interface (a mark file), ip shows it with an index and deletes
    // it, wg-quick down removes it; each logs its arguments.
    const QByteArray logLine =
        "{ echo \"$(basename \"$0\")\"; for a in \"$@\"; do echo \"[$a]\"; done; } >> '" + log.toUtf8() +
        "'\nmark='" + root.toUtf8() + "/link.up'\n";
    const std::pair<const char*, QByteArray> fakes[] = {
        {"wg-quick", "if [ \"$1\" = up ]; then touch \"$mark\"; else rm -f \"$mark\"; fi\n"},
        {"ip", "if [ \"$1 $2 $3 $4\" = \"-o link show dev\" ]; then\n"
               "  [ -e \"$mark\" ] || exit 1; echo \"11: $5: <POINTOPOINT,UP> mtu 1420\"; exit 0\nfi\n"
               "rm -f \"$mark\"\n"},
    };
    for (const auto& fake : fakes) {
        const QString path = root + QStringLiteral("/fakes/") + QLatin1String(fake.first);
        writeFile(path, "#!/bin/sh\n" + logLine + fake.second);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // The file's name and the arguments as raw bytes: a name that is no UTF-8 stays as it is.
    const QByteArray conf = root.toUtf8() + "/Config/wireguard/" + value + ".conf";
    if (FILE* file = fopen(conf.constData(), "w")) {
        fputs("[Interface]\nAddress = 10.0.0.1/24\n", file);
        fclose(file);
    }
    const QByteArray path = root.toUtf8() + "/fakes:" + qgetenv("PATH");
    const QByteArray runDir = root.toUtf8() + "/run";
    const auto run = [&](const QByteArray& command, const QByteArray& argument) {
        QByteArray script(KORVA_SOURCE_DIR "/bundle/bin/Wireguard/wireguard");
        std::vector<char*> argv = {script.data(), const_cast<char*>(command.constData()),
                                   const_cast<char*>(argument.constData()), nullptr};
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            setenv("PATH", path.constData(), 1);
            setenv("KORVA_WG_RUNDIR", runDir.constData(), 1);
            if (chdir(root.toUtf8().constData()) == 0) {
                execv(argv[0], argv.data());
            }
            _exit(127);
        }
        close(fds[1]);
        QByteArray output;
        char buffer[4096];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
            if (n > 0) {
                output.append(buffer, static_cast<int>(n));
            } else if (errno != EINTR) {
                break;
            }
        }
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        return output;
    };
    const QByteArray up = run("/installtunnelservice", conf);
    const QByteArray down = run("/uninstalltunnelservice", value);
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/PWNED")));
    // Whatever the script made lies in its run folder.
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next().mid(root.size() + 1);
        EXPECT_TRUE(path.startsWith(QLatin1String("run/")) || path.startsWith(QLatin1String("fakes/")) ||
                    path.startsWith(QLatin1String("Config/")) || path == QLatin1String("args.log") ||
                    path == QLatin1String("link.up"))
            << path.toStdString();
    }
    outcome.kept = up.contains(" installed");
    if (!outcome.kept) {
        outcome.refusal = QString::fromUtf8(up);
        return outcome;
    }
    outcome.expected = "Tunnel service " + value + " installed\n";
    outcome.readBack = up;
    EXPECT_EQ(down, "Tunnel service " + value + " uninstalled\n");
    QDir(root).removeRecursively();
    return outcome;
}

struct EntryPoint {
    const char* name;
    std::function<Outcome(const QByteArray&)> drive;
};

class HostileInput : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        ASSERT_TRUE(linkBundle());
        QDir(QStringLiteral("imports")).removeRecursively();
        QDir().mkpath(QStringLiteral("imports"));
    }
};

TEST_F(HostileInput, EveryValueIsKeptExactlyOrRefusedAndNothingRunsOrEscapes) {
    const std::vector<EntryPoint> entryPoints = {
        {"editor name field", editorName},
        {"editor password field", editorPassword},
        {"editor .ovpn import", ovpnImport},
        {"profile file import", profileFileImport},
        {"store calls", storeCalls},
        {"WireGuard file and command builders", wireGuardBuilders},
        {"IPsec swanctl.conf builder", swanctlBuilder},
        {"bundle wireguard script", bundleScript},
    };
    ASSERT_EQ(strayFilesEverywhere(), QStringList());
    for (const EntryPoint& entry : entryPoints) {
        for (const Hostile& value : hostileValues()) {
            SCOPED_TRACE(std::string(entry.name) + " / " + value.label);
            // An earlier profile that every case must leave as it was.
            TransferTest::SetUp();
            seedStore({{VPN_TYPE_WIREGUARD, "kept"}});
            const QStringList before = storeDump();
            QDir().mkpath(QStringLiteral("imports"));

            const Outcome outcome = entry.drive(value.bytes);
            // The outcomes, for the reader of the test's output.
            fprintf(stderr, "%s / %s: %s\n", entry.name, value.label,
                    outcome.kept
                        ? "kept exactly"
                        : ("refused: " + outcome.refusal.simplified().left(100)).toUtf8().constData());
            if (outcome.kept) {
                EXPECT_TRUE(outcome.readBack == outcome.expected)
                    << "read back " << outcome.readBack.left(200).toStdString() << "\nexpected "
                    << outcome.expected.left(200).toStdString();
            } else {
                EXPECT_FALSE(outcome.refusal.trimmed().isEmpty()) << "refused without a message";
            }
            EXPECT_EQ(strayFilesEverywhere(), QStringList());
            EXPECT_EQ(quickCheck(), "ok");
            const QStringList after = storeDump();
            for (const QString& row : before) {
                EXPECT_TRUE(after.contains(row)) << row.toStdString();
            }
            QDir(QStringLiteral("imports")).removeRecursively();
        }
    }
}

} // namespace
