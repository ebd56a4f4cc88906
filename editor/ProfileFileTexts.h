// The texts of the configuration files the editor writes: the profile's copy of an
// imported OpenVPN configuration (".ovpn") with its server, credential reference and the
// page's DNS, WINS and route lines, and the WireGuard configuration (".conf"). Pure
// functions of bytes and values; the dialog reads the form and the files.
//
// Files are read as bytes, CR LF or LF, and written as UTF-8 with LF line ends. The
// OpenVPN files keep the bytes of every line they do not replace.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRegExp>
#include <QString>

struct OpenVPNInfo;

namespace OvpnText {

// What a copy carries of the page: the server and its port replace every "remote"
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

// A configuration's bytes as UTF-8: a file with a UTF-16 or UTF-32 byte-order mark is
// converted, a UTF-8 mark dropped (openvpn would take it for part of the first directive).
QByteArray asUtf8(const QByteArray& bytes);

// The lines of a text, line breaks (LF or CR LF, with any further CRs before the LF)
// removed. A last line without a line break counts; nothing follows a final line break.
QList<QByteArray> lines(const QByteArray& text);

// The first word of a line as the import reads it: the text before the first space, or
// the whole line. A tab separates nothing, a line that starts with a space has an empty
// first word.
QByteArray firstWord(const QByteArray& line);

// The directive of a line as openvpn reads it: the first word after leading white space
// (blanks, tabs, CR, VT, FF), up to the next white space or, for a quoted word, its
// closing quote, with a leading "--" dropped; a comment, an empty line and a line openvpn
// refuses (an open quote, a backslash before anything but a backslash, a double quote or
// white space) have none.
QByteArray directive(const QByteArray& line);

// What a "remote" line of the import gives: its second and third words (between the
// first, second and third spaces, empty for two spaces in a row).
QPair<QString, QString> remoteWords(const QByteArray& line);

// What the editor takes from an imported configuration (its bytes as read from the file):
// whether a line asks for a user name and password ("auth-user-pass" as its first word),
// and of its "remote" lines the last server that the address rule accepts and the last
// port that the port rule accepts, each empty when none does.
struct ImportedFacts {
    bool needsCredentials = false;
    QString server;
    QString port;
};
ImportedFacts readImport(const QByteArray& bytes, const QRegExp& addressRule, const QRegExp& portRule);

// "auth-user-pass" and the credential file, relative to the working directory, with
// forward slashes.
QByteArray credentialLine();

// The lines a copy carries after the configuration's own: "dhcp-option DNS", "dhcp-option
// WINS" and the routes, each ending in a line break.
QByteArray appendedLines(const PageValues& values);

// The copy of an imported configuration: every "auth-user-pass" directive becomes the
// credential reference, every "remote" directive "remote server port", every other line
// stays as it is; then the appended lines. A source that is the profile's own copy ends
// with the lines the previous save appended (previous, when the profile has one): those
// are not taken twice.
QByteArray importedCopy(const QByteArray& source, const PageValues& values,
                        const PageValues* previous = nullptr);

// A stored copy rewritten: the lines an earlier save appended (the previous values' lines,
// found at the copy's end) are taken off, the "remote" directives carry the server and
// port, every other line stays, and the appended lines of the values follow. Two
// rewrites with the same values give the same bytes.
QByteArray rewrittenCopy(const QByteArray& copy, const PageValues& previous, const PageValues& values);

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
