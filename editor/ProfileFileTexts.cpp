#include "ProfileFileTexts.h"

#include <QStringList>
#include <QTextCodec>

#include "EditorTexts.h"
#include "ProfileConfigDialog.h"
#include "ProfileRecords.h"

using namespace EditorTexts;

namespace OvpnText {

namespace {

// White space as openvpn reads a configuration line: C's isspace set.
bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

QByteArray line(const QString& text) {
    return text.toUtf8() + '\n';
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

QByteArray asUtf8(const QByteArray& bytes) {
    QTextCodec* codec = QTextCodec::codecForUtfText(bytes, nullptr);
    if (codec != nullptr && codec->mibEnum() != 106) {
        return codec->toUnicode(bytes).toUtf8();
    }
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

QList<QByteArray> lines(const QByteArray& text) {
    QList<QByteArray> result;
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        const int next = end < 0 ? text.size() : end + 1;
        if (end < 0) {
            end = text.size();
        }
        QByteArray piece = text.mid(start, end - start);
        // Every carriage return before the line feed: a line written back ends in a line
        // feed alone, and reads back the same.
        while (piece.endsWith('\r')) {
            piece.chop(1);
        }
        result.append(piece);
        start = next;
    }
    return result;
}

QByteArray firstWord(const QByteArray& line) {
    const int space = line.indexOf(' ');
    return space < 0 ? line : line.left(space);
}

QByteArray directive(const QByteArray& line) {
    // openvpn's line ends at a NUL, and its first word may stand in double quotes (with
    // backslash escapes) or single quotes; outside single quotes a backslash takes the next
    // character as it is, and only a backslash, a double quote or white space may follow
    // one (openvpn drops any other line, as it drops one with an open quote).
    const int end = qstrnlen(line.constData(), static_cast<uint>(line.size()));
    int i = 0;
    while (i < end && isSpace(line.at(i))) {
        ++i;
    }
    if (i == end || line.at(i) == '#' || line.at(i) == ';') {
        return QByteArray();
    }
    char quote = 0;
    if (line.at(i) == '"' || line.at(i) == '\'') {
        quote = line.at(i++);
    }
    QByteArray word;
    bool closed = quote == 0;
    for (; i < end; ++i) {
        char c = line.at(i);
        if (c == '\\' && quote != '\'') {
            if (i + 1 == end) {
                break;
            }
            c = line.at(++i);
            if (c != '\\' && c != '"' && !isSpace(c)) {
                return QByteArray();
            }
        } else if (quote != 0 ? c == quote : isSpace(c)) {
            closed = true;
            break;
        }
        word += c;
    }
    if (!closed) {
        return QByteArray();
    }
    // "--remote" in a file is "remote".
    if (word.size() >= 3 && word.startsWith("--")) {
        word.remove(0, 2);
    }
    return word;
}

QPair<QString, QString> remoteWords(const QByteArray& line) {
    const QList<QByteArray> words = line.split(' ');
    return qMakePair(words.size() > 1 ? QString::fromUtf8(words.at(1)) : QString(),
                     words.size() > 2 ? QString::fromUtf8(words.at(2)) : QString());
}

ImportedFacts readImport(const QByteArray& bytes, const QRegExp& addressRule, const QRegExp& portRule) {
    ImportedFacts facts;
    for (const QByteArray& line : lines(asUtf8(bytes))) {
        const QByteArray word = firstWord(line);
        if (word == kAuthUserPassDirective) {
            facts.needsCredentials = true;
        } else if (word == kRemoteDirective) {
            const QPair<QString, QString> words = remoteWords(line);
            if (addressRule.exactMatch(words.first)) {
                facts.server = words.first;
            }
            if (portRule.exactMatch(words.second)) {
                facts.port = words.second;
            }
        }
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

namespace {

QByteArray remoteLine(const PageValues& values) {
    return QString::fromLatin1(kRemotePattern).arg(values.server, values.port).toUtf8();
}

} // namespace

QByteArray importedCopy(const QByteArray& source, const PageValues& values, const PageValues* previous) {
    QByteArray copy;
    for (const QByteArray& piece : withoutBlock(source, previous)) {
        const QByteArray word = directive(piece);
        if (word == kAuthUserPassDirective) {
            copy += credentialLine();
        } else if (word == kRemoteDirective) {
            copy += remoteLine(values);
        } else {
            copy += piece;
        }
        copy += '\n';
    }
    return copy + appendedLines(values);
}

QByteArray rewrittenCopy(const QByteArray& copy, const PageValues& previous, const PageValues& values) {
    QByteArray text;
    for (const QByteArray& piece : withoutBlock(copy, &previous)) {
        text += directive(piece) == kRemoteDirective ? remoteLine(values) : piece;
        text += '\n';
    }
    return text + appendedLines(values);
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
