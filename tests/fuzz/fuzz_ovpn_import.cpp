// The ".ovpn" file a user imports into the profile editor, and a stored copy of it: what
// the import reads from it (credentials asked, server, port), the profile's copy written
// from it, and that copy rewritten by later saves.
//
// Input: "server\0dns\0subnets\0" then the file's bytes, where the three texts stand for
// the values a stored profile row holds (an imported database's row can hold any one-line
// text); an input with fewer than three NULs is a file alone, saved with the page's values.
#include <QByteArray>
#include <QList>
#include <QRegExp>
#include <QString>
#include <cstring>

#include "EditorTexts.h"
#include "FuzzTarget.h"
#include "ProfileFileTexts.h"
#include "ProfileRecords.h"

namespace {

QRegExp rule(const char* pattern) {
    return QRegExp(QString::fromLatin1(pattern), Qt::CaseSensitive, QRegExp::RegExp);
}

template <size_t N> void copyField(char (&field)[N], const QByteArray& text) {
    const int length = qMin(text.size(), static_cast<int>(N) - 1);
    std::memcpy(field, text.constData(), static_cast<size_t>(length));
    field[length] = '\0';
}

// Every "remote" directive of a copy is the page's, every "auth-user-pass" directive the
// credential reference.
void checkDirectives(const QByteArray& copy, const OvpnText::PageValues& values) {
    const QByteArray remote = QStringLiteral("remote %1 %2").arg(values.server, values.port).toUtf8();
    for (const QByteArray& line : OvpnText::lines(copy)) {
        const QByteArray word = OvpnText::directive(line);
        if (word == EditorTexts::kRemoteDirective) {
            FUZZ_CHECK(line == remote);
        }
    }
}

} // namespace

KORVA_FUZZ_TARGET(ovpn_import) {
    static const QRegExp address = rule(EditorTexts::kIpPattern);
    static const QRegExp port = rule(EditorTexts::kPortPattern);
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));

    // The stored row's values, when the input carries them.
    OpenVPNInfo stored;
    stored.ServerIP[0] = '\0';
    QByteArray file = input;
    QList<QByteArray> fields;
    int at = 0;
    for (int i = 0; i < 3; ++i) {
        const int nul = input.indexOf('\0', at);
        if (nul < 0) {
            break;
        }
        fields.append(input.mid(at, nul - at));
        at = nul + 1;
    }
    const bool hasRow = fields.size() == 3;
    if (hasRow) {
        file = input.mid(at);
        copyField(stored.ServerIP, fields.at(0));
        stored.ServerPort = 1194;
        copyField(stored.LocalDns, fields.at(1));
        copyField(stored.AllowdIPs, fields.at(2));
        stored.EnableFullTraffic = fields.at(2).isEmpty() ? 1 : 0;
    }

    // What the import reads.
    const OvpnText::ImportedFacts facts = OvpnText::readImport(file, address, port);
    FUZZ_CHECK(facts.server.isEmpty() || address.exactMatch(facts.server));
    FUZZ_CHECK(facts.port.isEmpty() || port.exactMatch(facts.port));

    // The page as a person completes it after the import.
    OvpnText::PageValues page;
    page.server = facts.server.isEmpty() ? QStringLiteral("192.0.2.10") : facts.server;
    page.port = facts.port.isEmpty() ? QStringLiteral("1194") : facts.port;
    page.dns = QStringLiteral("192.0.2.53");
    page.fullTraffic = false;
    page.routes = {qMakePair(QStringLiteral("10.8.0.0"), QStringLiteral("16")),
                   qMakePair(QStringLiteral("172.16.0.0"), QStringLiteral("12"))};

    // The profile's copy, from a new file and from the profile's own copy chosen again.
    const QByteArray text = OvpnText::asUtf8(file);
    const OvpnText::PageValues previous = OvpnText::valuesOf(stored);
    const QByteArray copy = OvpnText::importedCopy(text, page, hasRow ? &previous : nullptr);
    checkDirectives(copy, page);
    FUZZ_CHECK(copy.endsWith(OvpnText::appendedLines(page)));

    // Saves that change the server and the routes, and back: the appended lines are
    // never taken twice, and a rewrite with the same values changes nothing.
    OvpnText::PageValues other = page;
    other.server = QStringLiteral("198.51.100.7");
    other.wins = QStringLiteral("198.51.100.8");
    other.fullTraffic = true;
    const QByteArray changed = OvpnText::rewrittenCopy(copy, page, other);
    checkDirectives(changed, other);
    const QByteArray back = OvpnText::rewrittenCopy(changed, other, page);
    checkDirectives(back, page);
    FUZZ_CHECK(OvpnText::rewrittenCopy(back, page, page) == back);

    // A stored copy from a row whose values the page never wrote.
    if (hasRow) {
        const QByteArray rewritten = OvpnText::rewrittenCopy(text, previous, page);
        checkDirectives(rewritten, page);
    }
}
