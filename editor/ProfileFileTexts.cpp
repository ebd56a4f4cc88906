#include "ProfileFileTexts.h"

#include <QStringList>
#include <QTextCodec>

#include "EditorTexts.h"
#include "OpenVPNConfigLines.h"
#include "ProfileConfigDialog.h"
#include "ProfileRecords.h"

using namespace EditorTexts;

namespace OvpnText {

namespace {

using OpenVPNConfigLines::Line;
using OpenVPNConfigLines::Role;
using OpenVPNConfigLines::Treatment;

QByteArray line(const QString& text) {
    return text.toUtf8() + '\n';
}

QByteArray joined(const QList<QByteArray>& pieces) {
    QByteArray text;
    for (const QByteArray& piece : pieces) {
        text += piece;
        text += '\n';
    }
    return text;
}

// The lines of a text without the lines an earlier save appended at its end.
QList<QByteArray> withoutBlock(const QByteArray& text, const PageValues* previous) {
    QList<QByteArray> kept = lines(text);
    if (previous == nullptr) {
        return kept;
    }
    const QList<QByteArray> block = lines(appendedLines(*previous));
    if (!block.isEmpty() && kept.size() >= block.size() && kept.mid(kept.size() - block.size()) == block) {
        kept.erase(kept.end() - block.size(), kept.end());
    }
    return kept;
}

// The port of a "remote" line without one: the configuration's last "port" or "rport",
// else openvpn's own.
QByteArray defaultPort(const QList<Line>& read) {
    QByteArray port = kDefaultOpenVPNPort;
    for (const Line& line : read) {
        if (line.role == Role::Directive && line.words.size() > 1 &&
            (line.words.first() == kPortDirective || line.words.first() == kRemotePortDirective)) {
            port = line.words.at(1);
        }
    }
    return port;
}

bool isRemote(const Line& line) {
    return line.role == Role::Directive && line.words.first() == kRemoteDirective && line.words.size() > 1;
}

// The first "remote" line of a copy: as it was when it names the page's server and port
// already, else the page's server and port with the line's own protocol.
QByteArray firstRemoteLine(const Line& remote, const PageValues& values, const QByteArray& portOfFile) {
    const QByteArray host = remote.words.at(1);
    const QByteArray port = remote.words.size() > 2 ? remote.words.at(2) : portOfFile;
    if (host == values.server.toUtf8() && port == values.port.toUtf8()) {
        return remote.text;
    }
    QByteArray text = QString::fromLatin1(kRemotePattern).arg(values.server, values.port).toUtf8();
    static const QRegExp protocol(QString::fromLatin1(kProtocolPattern));
    if (remote.words.size() > 3 && protocol.exactMatch(QString::fromUtf8(remote.words.at(3)))) {
        text += ' ' + remote.words.at(3);
    }
    return text;
}

// A word written back into a configuration line as openvpn reads it back.
QByteArray quotedWord(const QByteArray& word) {
    return QByteArray::fromStdString(OpenVPNConfigSyntax::WrittenWord(word.toStdString()));
}

// A directive line as openvpn is to read it (a log level above the highest lowered to it).
QByteArray mendedLine(const QList<QByteArray>& words) {
    std::vector<std::string> standard;
    for (const QByteArray& word : words) {
        standard.push_back(word.toStdString());
    }
    QByteArray text;
    for (const std::string& word : OpenVPNConfigSyntax::MendedWords(standard)) {
        text +=
            (text.isEmpty() ? QByteArray() : QByteArray(" ")) + quotedWord(QByteArray::fromStdString(word));
    }
    return text;
}

// The lines of a copy: the configuration's lines with the first "remote" directive the
// page's and refused directives and blocks left out; "auth-user-pass" directives become the
// credential reference when withCredentialLine is set. A barred directive is left out too
// and named in barred, for the save to refuse the copy.
QByteArray copyLines(const QList<QByteArray>& pieces, const PageValues& values, bool withCredentialLine,
                     DroppedLines* dropped, DroppedLines* barred) {
    const QList<Line> read = OpenVPNConfigLines::read(joined(pieces));
    const QByteArray portOfFile = defaultPort(read);
    QByteArray copy;
    bool remoteTaken = false;
    // A refused inline block being left out (its tag), up to its end, or to the end of the
    // connection block around it, which ends it as well and stays.
    bool skipping = false;
    QByteArray skippedTag;
    for (const Line& line : read) {
        if (skipping) {
            if (line.role != Role::InlineClose) {
                continue;
            }
            skipping = false;
            if (line.tag == skippedTag) {
                continue;
            }
        }
        const bool refusedLine =
            line.role == Role::Directive && OpenVPNConfigLines::treatmentOf(line.words) == Treatment::Refused;
        const bool refusedBlock = line.role == Role::InlineOpen &&
                                  OpenVPNConfigLines::blockTreatment(line.tag) == Treatment::Refused;
        if (refusedLine || refusedBlock) {
            if (dropped != nullptr) {
                dropped->append(qMakePair(line.number, refusedBlock ? line.tag : line.words.first()));
            }
            if (refusedBlock) {
                skipping = true;
                skippedTag = line.tag;
            }
            continue;
        }
        const Treatment treatment =
            line.role == Role::Directive ? OpenVPNConfigLines::treatmentOf(line.words) : Treatment::Kept;
        if (withCredentialLine && line.role == Role::Directive &&
            line.words.first() == kAuthUserPassDirective) {
            copy += credentialLine();
        } else if (treatment == Treatment::Barred) {
            if (barred != nullptr) {
                barred->append(qMakePair(line.number, OpenVPNConfigLines::ruledDirective(line.words)));
            }
            continue;
        } else if (treatment == Treatment::Mended) {
            copy += mendedLine(line.words);
        } else if (!remoteTaken && isRemote(line)) {
            copy += firstRemoteLine(line, values, portOfFile);
            remoteTaken = true;
        } else {
            copy += line.text;
        }
        copy += '\n';
    }
    return copy;
}

// The import's own reading of an "auth-user-pass" file or block: the user name on its
// first line, the password on its second.
void takeCredentials(const QByteArray& content, ImportedFacts& facts) {
    const QList<QByteArray> found = lines(asUtf8(content));
    facts.userName = QString::fromUtf8(found.value(0));
    facts.password = QString::fromUtf8(found.value(1));
}

// Directives whose file openvpn takes inline just as well: the import keeps the file's
// content in the configuration.
bool isInlineFile(const QByteArray& directive) {
    for (const char* name : kInlineFileDirectives) {
        if (directive == name) {
            return true;
        }
    }
    return false;
}

// A directive that names a folder, or a file openvpn takes from the disk alone: the
// profile cannot keep what it names.
bool namesWhatCannotBeKept(const QList<QByteArray>& words) {
    const QByteArray& name = words.first();
    return name == kCaPathDirective || (name == kAskPassDirective && words.size() > 1) ||
           (name == kCrlVerifyDirective && words.size() > 2 && words.at(2) == kCrlVerifyFolderWord) ||
           (name == kSocksProxyDirective && words.size() > 3 && words.at(3) != kStdinWord);
}

// The HTTP proxy's credentials: a file, or a word that makes openvpn ask or guess.
bool namesProxyCredentialFile(const QList<QByteArray>& words) {
    if (words.first() != kHttpProxyDirective || words.size() < 4) {
        return false;
    }
    const QByteArray& file = words.at(3);
    return !file.isEmpty() && file != kStdinWord && file != kAutoWord && file != kAutoNctWord;
}

// A file's content as an inline file of the tag: its text (a PKCS #12 file, which is
// binary, in base64), ending with a line break; false when it cannot stand inline (a NUL,
// or a line that would close an inline file).
bool inlineContent(const QByteArray& tag, const QByteArray& content, QByteArray* text) {
    QByteArray body;
    if (tag == kPkcs12Directive) {
        const QByteArray encoded = content.toBase64();
        for (int i = 0; i < encoded.size(); i += kBase64LineLength) {
            body += encoded.mid(i, kBase64LineLength) + '\n';
        }
    } else {
        body = asUtf8(content);
        if (body.contains('\0')) {
            return false;
        }
        for (const QByteArray& piece : lines(body)) {
            if (piece.trimmed().startsWith("</")) {
                return false;
            }
        }
        if (!body.isEmpty() && !body.endsWith('\n')) {
            body += '\n';
        }
    }
    *text = '<' + tag + ">\n" + body + "</" + tag + ">\n";
    return true;
}

} // namespace

PageValues valuesOf(const OpenVPNInfo& info) {
    PageValues values;
    values.server = QString::fromUtf8(info.ServerIP);
    values.port = QString::number(info.ServerPort);
    values.dns = QString::fromUtf8(info.LocalDns);
    values.wins = QString::fromUtf8(info.LocalWinsServer);
    values.fullTraffic = info.EnableFullTraffic != 0;
    const QString subnets = QString::fromUtf8(info.AllowdIPs);
    if (!values.fullTraffic && !subnets.isEmpty()) {
        for (const QString& item : subnets.split(QLatin1Char(','))) {
            const QString piece = item.trimmed();
            const int slash = piece.lastIndexOf(QLatin1Char('/'));
            if (slash > 0) {
                values.routes.append(qMakePair(piece.left(slash).trimmed(), piece.mid(slash + 1).trimmed()));
            }
        }
    }
    return values;
}

bool isUtf8(const QByteArray& bytes) {
    const int size = bytes.size();
    int i = 0;
    while (i < size) {
        const unsigned char lead = static_cast<unsigned char>(bytes.at(i));
        int extra = 0;
        uint value = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            value = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            value = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            value = lead & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= size) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes.at(i + k));
            if ((next & 0xC0u) != 0x80u) {
                return false;
            }
            value = (value << 6) | (next & 0x3Fu);
        }
        if ((extra == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (extra == 3 && (value < 0x10000 || value > 0x10FFFF))) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

QByteArray asUtf8(const QByteArray& bytes) {
    QTextCodec* codec = QTextCodec::codecForUtfText(bytes, nullptr);
    if (codec != nullptr && codec->mibEnum() != 106) {
        return codec->toUnicode(bytes).toUtf8();
    }
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    // A file written in a Western code page (a "Grüße" in a comment) is kept as the same
    // characters in UTF-8, as every stored text is.
    return isUtf8(text) ? text : QString::fromLatin1(text).toUtf8();
}

QList<QByteArray> lines(const QByteArray& text) {
    return OpenVPNConfigLines::lines(text);
}

QByteArray directive(const QByteArray& line) {
    return OpenVPNConfigLines::directive(line);
}

ImportedFacts readImport(const QByteArray& bytes, const QRegExp& addressRule, const QRegExp& portRule,
                         const FileReader& readFile) {
    ImportedFacts facts;
    const QList<Line> read = OpenVPNConfigLines::read(asUtf8(bytes));
    const auto refuse = [&facts](ImportRefusal::Reason reason, const Line& line, const QByteArray& subject) {
        facts.refusal.reason = reason;
        facts.refusal.line = line.number;
        facts.refusal.subject = subject;
        facts.text.clear();
        return facts;
    };
    const QByteArray ownCredentialFile = credentialLine().mid(qstrlen(kAuthUserPassDirective) + 1);
    QByteArray remoteHost;
    QByteArray remotePort;
    bool remoteHasPort = false;
    // An inline credentials block being taken out of the configuration.
    bool inCredentialsBlock = false;
    QByteArray credentialsBlock;
    for (const Line& line : read) {
        if (inCredentialsBlock) {
            if (line.role == Role::InlineBody) {
                credentialsBlock += line.text + '\n';
            } else {
                inCredentialsBlock = false;
                takeCredentials(credentialsBlock, facts);
                facts.text += QByteArray(kAuthUserPassDirective) + '\n';
            }
            continue;
        }
        if (line.role == Role::InlineOpen && line.tag == kAuthUserPassDirective) {
            facts.needsCredentials = true;
            inCredentialsBlock = true;
            continue;
        }
        if (line.role == Role::InlineOpen &&
            OpenVPNConfigLines::blockTreatment(line.tag) == Treatment::Refused) {
            return refuse(ImportRefusal::Unsafe, line, line.tag);
        }
        if (line.role != Role::Directive) {
            facts.text += line.text + '\n';
            continue;
        }
        const QList<QByteArray>& words = line.words;
        const QByteArray& name = words.first();
        if (OpenVPNConfigLines::treatmentOf(words) == Treatment::Refused) {
            return refuse(ImportRefusal::Unsafe, line, OpenVPNConfigLines::ruledDirective(words));
        }
        if (namesWhatCannotBeKept(words)) {
            return refuse(ImportRefusal::NotKept, line, name);
        }
        if (name == kAuthUserPassDirective) {
            facts.needsCredentials = true;
            if (words.size() > 1 && words.at(1) != ownCredentialFile) {
                // The file's credentials become the profile's; the copy names the client's own
                // credential file instead.
                QByteArray content;
                if (!readFile(words.at(1), &content)) {
                    return refuse(ImportRefusal::Unreadable, line, words.at(1));
                }
                takeCredentials(content, facts);
                facts.text += QByteArray(kAuthUserPassDirective) + '\n';
                continue;
            }
        } else if (isInlineFile(name) && words.size() > 1 && words.at(1).toLower() == kInlineWord) {
            // The file follows as a block; openvpn would take the word for a file's name. The
            // direction that followed it holds for the inline key.
            if ((name == kTlsAuthDirective || name == kSecretDirective) && words.size() > 2) {
                facts.text += QByteArray(kKeyDirectionDirective) + ' ' + quotedWord(words.at(2)) + '\n';
            }
            continue;
        } else if (isInlineFile(name) && words.size() > 1 &&
                   !(name == kDhDirective && words.at(1) == kNoneWord)) {
            QByteArray content;
            QByteArray inlined;
            if (!readFile(words.at(1), &content) || !inlineContent(name, content, &inlined)) {
                return refuse(ImportRefusal::Unreadable, line, words.at(1));
            }
            // The direction that followed the file holds for the inline key.
            if ((name == kTlsAuthDirective || name == kSecretDirective) && words.size() > 2) {
                facts.text += QByteArray(kKeyDirectionDirective) + ' ' + quotedWord(words.at(2)) + '\n';
            }
            facts.text += inlined;
            continue;
        } else if (namesProxyCredentialFile(words)) {
            QByteArray content;
            QByteArray inlined;
            if (!readFile(words.at(3), &content) ||
                !inlineContent(kHttpProxyUserPassDirective, content, &inlined)) {
                return refuse(ImportRefusal::Unreadable, line, words.at(3));
            }
            // The credentials follow inline; without a method named openvpn's own for a file
            // holds.
            facts.text += QByteArray(kHttpProxyDirective) + ' ' + quotedWord(words.at(1)) + ' ' +
                          quotedWord(words.value(2)) + " \"\" " +
                          (words.size() > 4 ? quotedWord(words.at(4)) : QByteArray(kBasicWord)) + '\n' +
                          inlined;
            continue;
        } else if (name == kRemoteDirective && words.size() > 1 && !facts.hasRemote) {
            facts.hasRemote = true;
            remoteHost = words.at(1);
            remoteHasPort = words.size() > 2;
            remotePort = words.value(2);
        }
        // What openvpn would still open by its path, or a server's directive: the profile
        // cannot keep it.
        if (OpenVPNConfigLines::treatmentOf(words) == Treatment::Barred) {
            return refuse(OpenVPNConfigLines::isServerDirective(words) ? ImportRefusal::Server
                                                                       : ImportRefusal::NotKept,
                          line, OpenVPNConfigLines::ruledDirective(words));
        }
        facts.text += line.text + '\n';
    }
    if (inCredentialsBlock) {
        // A block without its end: what it holds.
        takeCredentials(credentialsBlock, facts);
        facts.text += QByteArray(kAuthUserPassDirective) + '\n';
    }
    if (facts.hasRemote) {
        const QString host = QString::fromUtf8(remoteHost);
        const QString port = QString::fromUtf8(remoteHasPort ? remotePort : defaultPort(read));
        facts.server = addressRule.exactMatch(host) ? host : QString();
        facts.port = portRule.exactMatch(port) ? port : QString();
    }
    return facts;
}

QByteArray credentialLine() {
    QString reference =
        QString::fromLatin1(kCredentialLinePattern)
            .arg(QString::fromLatin1(kOpenVPNConfigDir), QString::fromLatin1(kCredentialFile));
    return reference.replace(QLatin1Char('\\'), QLatin1Char('/')).toUtf8();
}

QByteArray appendedLines(const PageValues& values) {
    QByteArray text;
    if (!values.dns.isEmpty()) {
        text += line(QString::fromLatin1(kDnsOptionPattern).arg(values.dns));
    }
    if (!values.wins.isEmpty()) {
        text += line(QString::fromLatin1(kWinsOptionPattern).arg(values.wins));
    }
    if (!values.fullTraffic) {
        for (const auto& route : values.routes) {
            if (!route.first.isEmpty() && !route.second.isEmpty()) {
                text += line(
                    QString::fromLatin1(kRoutePattern)
                        .arg(route.first, ProfileConfigDialog::maskLengthToNetmask(route.second.toInt())));
            }
        }
    }
    return text;
}

QByteArray importedCopy(const QByteArray& source, const PageValues& values, const PageValues* previous,
                        DroppedLines* dropped, DroppedLines* barred) {
    return copyLines(withoutBlock(source, previous), values, true, dropped, barred) + appendedLines(values);
}

QByteArray rewrittenCopy(const QByteArray& copy, const PageValues& previous, const PageValues& values,
                         DroppedLines* dropped, DroppedLines* barred) {
    return copyLines(withoutBlock(copy, &previous), values, false, dropped, barred) + appendedLines(values);
}

} // namespace OvpnText

namespace WireGuardText {

QByteArray configuration(const PageValues& values) {
    QByteArray text;
    const auto add = [&text](const QString& content) { text += content.toUtf8() + '\n'; };
    add(QStringLiteral("[Interface]"));
    if (!values.listenPort.isEmpty()) {
        add(QStringLiteral("ListenPort = ") + values.listenPort);
    }
    add(QStringLiteral("PrivateKey = ") + values.privateKey);
    add(QStringLiteral("Address = ") + values.address + QLatin1Char('/') + values.mask);
    if (!values.dns.isEmpty()) {
        add(QStringLiteral("DNS = ") + values.dns);
    }
    add(QString());
    add(QStringLiteral("[Peer]"));
    add(QStringLiteral("PublicKey = ") + values.peerPublicKey);
    add(QStringLiteral("Endpoint = ") + values.endpoint + QLatin1Char(':') + values.peerPort);
    add(QStringLiteral("AllowedIPs = ") +
        (values.allowedIPs.isEmpty() ? QStringLiteral("0.0.0.0/0") : values.allowedIPs));
    if (!values.presharedKey.isEmpty()) {
        add(QStringLiteral("PresharedKey = ") + values.presharedKey);
    }
    if (!values.keepAlive.isEmpty()) {
        add(QStringLiteral("PersistentKeepalive = ") + values.keepAlive);
    }
    return text;
}

} // namespace WireGuardText
