// The texts of the configuration files the editor writes: the profile's copy of an
// imported OpenVPN configuration (".ovpn") with its server, credential reference and the
// page's DNS, WINS and route lines, and the WireGuard configuration (".conf"). Pure
// functions of bytes and values; the dialog reads the form and the files.
//
// Files are read as bytes, CR LF or LF, and written as UTF-8 with LF line ends. The
// OpenVPN files keep the bytes of every line they do not replace; their lines are read as
// openvpn reads them (OpenVPNConfigLines).
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRegExp>
#include <QString>
#include <functional>

struct OpenVPNInfo;

namespace OvpnText {

// What a copy carries of the page: the server and its port in the first "remote"
// directive; the DNS and WINS addresses (empty for none) and, unless all traffic goes
// through the tunnel, one route per remote subnet (address and prefix length) follow
// the configuration's own lines.
struct PageValues {
    QString server;
    QString port;
    QString dns;
    QString wins;
    bool fullTraffic = true;
    QList<QPair<QString, QString>> routes;
};

// The values a stored row holds, as the save that wrote it took them from its page.
PageValues valuesOf(const OpenVPNInfo& info);

// True for whole UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isUtf8(const QByteArray& bytes);

// A configuration's bytes as UTF-8: a file with a UTF-16 or UTF-32 byte-order mark is
// converted, a UTF-8 mark dropped (openvpn would take it for part of the first directive),
// and text that is not UTF-8 is read as Latin-1.
QByteArray asUtf8(const QByteArray& bytes);

// The lines of a text, line breaks (LF or CR LF, with any further CRs before the LF)
// removed. A last line without a line break counts; nothing follows a final line break.
QList<QByteArray> lines(const QByteArray& text);

// The directive of a line as openvpn reads it (OpenVPNConfigLines::directive).
QByteArray directive(const QByteArray& line);

// Why the import refuses a file: the first line that makes openvpn run a program, load
// code or write files, a directive or an inline block whose treatment is Refused (Unsafe,
// subject: the directive), names a file that cannot be read
// (Unreadable, subject: the file as the line names it), or names what the profile cannot
// keep: a folder, a device, or a file openvpn would read only from the disk (NotKept,
// subject: the directive), or makes openvpn serve as a server (Server, subject: the
// directive).
struct ImportRefusal {
    enum Reason { None, Unsafe, Unreadable, NotKept, Server };
    Reason reason = None;
    int line = 0;
    QByteArray subject;
};

// Reads a file that an imported configuration names, as the line names it; false when
// it cannot.
using FileReader = std::function<bool(const QByteArray& name, QByteArray* content)>;

// What the editor takes from an imported configuration (its bytes as read from the file).
struct ImportedFacts {
    // The configuration as the profile keeps it: UTF-8, every file it names read through
    // readFile and kept inline (<ca>...</ca> and the like, with the key direction of
    // tls-auth and secret), an auth-user-pass file's credentials taken out of it.
    QByteArray text;
    // A line asks for a user name and password ("auth-user-pass", or its inline block).
    bool needsCredentials = false;
    // The credentials an auth-user-pass file or block holds: its first line, its second.
    QString userName;
    QString password;
    // The first "remote" line: there is one, its server when the address rule accepts it,
    // and its port (its own, else the file's "port" or "rport", else 1194) when the port
    // rule accepts it; each empty otherwise.
    bool hasRemote = false;
    QString server;
    QString port;
    ImportRefusal refusal;
};
ImportedFacts readImport(const QByteArray& bytes, const QRegExp& addressRule, const QRegExp& portRule,
                         const FileReader& readFile);

// "auth-user-pass" and the credential file, relative to the working directory, with
// forward slashes.
QByteArray credentialLine();

// The lines a copy carries after the configuration's own: "dhcp-option DNS", "dhcp-option
// WINS" and the routes, each ending in a line break.
QByteArray appendedLines(const PageValues& values);

// The lines of refused directives (and inline blocks) a copy leaves out: their numbers and
// directives (or tags).
using DroppedLines = QList<QPair<int, QByteArray>>;

// The copy of an imported configuration: every "auth-user-pass" directive becomes the
// credential reference, the first "remote" directive carries the page's server and port
// (the line as it was when it names them already, its protocol kept), refused directives
// and blocks are left out (added to dropped), every other line stays as it is; then the appended
// lines. A log level above the highest is written as the highest; a directive whose
// treatment is Barred is left out and named in barred, and the save refuses such a copy.
// A source that is the profile's own copy ends with the lines the previous save
// appended (previous, when the profile has one): those are not taken twice.
QByteArray importedCopy(const QByteArray& source, const PageValues& values,
                        const PageValues* previous = nullptr, DroppedLines* dropped = nullptr,
                        DroppedLines* barred = nullptr);

// A stored copy rewritten: the lines an earlier save appended (the previous values' lines,
// found at the copy's end) are taken off, the first "remote" directive carries the server
// and port, refused directives and blocks are left out (added to dropped), every other line stays, and
// the appended lines of the values follow. Two rewrites with the same values give the same
// bytes.
QByteArray rewrittenCopy(const QByteArray& copy, const PageValues& previous, const PageValues& values,
                         DroppedLines* dropped = nullptr, DroppedLines* barred = nullptr);

} // namespace OvpnText

namespace WireGuardText {

// The WireGuard page's values as the configuration file takes them; empty texts leave
// their optional lines out.
struct PageValues {
    QString listenPort;
    QString privateKey;
    QString address;
    QString mask;
    QString dns;
    QString peerPublicKey;
    QString endpoint;
    QString peerPort;
    QString allowedIPs;
    QString presharedKey;
    QString keepAlive;
};

// The configuration file: "[Interface]" with ListenPort, PrivateKey, Address and DNS, an
// empty line, "[Peer]" with PublicKey, Endpoint, AllowedIPs (0.0.0.0/0 for none),
// PresharedKey and PersistentKeepalive. A keep-alive the user typed is written as typed, 0
// included ("PersistentKeepalive = 0", keep-alives off).
QByteArray configuration(const PageValues& values);

} // namespace WireGuardText
