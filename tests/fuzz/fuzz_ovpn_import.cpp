// The ".ovpn" file a user imports into the profile editor, and a stored copy of it: what
// the import reads from it (credentials asked, server, port, the files it names kept
// inline, the lines it refuses), the profile's copy written from it, and that copy
// rewritten by later saves.
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
#include "OpenVPNConfigLines.h"
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

// A directive or an inline block that a profile may not hold.
bool isRefused(const OpenVPNConfigLines::Line& line) {
    using OpenVPNConfigLines::Role;
    using OpenVPNConfigLines::Treatment;
    return (line.role == Role::Directive &&
            OpenVPNConfigLines::treatmentOf(line.words) == Treatment::Refused) ||
           (line.role == Role::InlineOpen &&
            OpenVPNConfigLines::blockTreatment(line.tag) == Treatment::Refused);
}

// The first "remote" directive of a copy names the page's server and port (its own port,
// else the copy's "port" or "rport", else 1194); no refused directive or block is left.
void checkDirectives(const QByteArray& copy, const OvpnText::PageValues& values) {
    const QList<OpenVPNConfigLines::Line> read = OpenVPNConfigLines::read(copy);
    QByteArray portOfFile = "1194";
    for (const auto& line : read) {
        if (line.role == OpenVPNConfigLines::Role::Directive && line.words.size() > 1 &&
            (line.words.first() == "port" || line.words.first() == "rport")) {
            portOfFile = line.words.at(1);
        }
    }
    bool first = true;
    for (const auto& line : read) {
        FUZZ_CHECK(!isRefused(line));
        if (line.role != OpenVPNConfigLines::Role::Directive) {
            continue;
        }
        if (first && line.words.first() == EditorTexts::kRemoteDirective && line.words.size() > 1) {
            first = false;
            FUZZ_CHECK(line.words.at(1) == values.server.toUtf8());
            FUZZ_CHECK((line.words.size() > 2 ? line.words.at(2) : portOfFile) == values.port.toUtf8());
        }
    }
}

// The files a configuration names: those with a name of even length hold a certificate,
// the others cannot be read.
bool readNamedFile(const QByteArray& name, QByteArray* content) {
    if (name.size() % 2 != 0) {
        return false;
    }
    *content = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
    return true;
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

    // What the import reads: a refused file gives nothing else; a taken one is UTF-8 and
    // holds no refused directive or block.
    const OvpnText::ImportedFacts facts = OvpnText::readImport(file, address, port, readNamedFile);
    FUZZ_CHECK(facts.server.isEmpty() || address.exactMatch(facts.server));
    FUZZ_CHECK(facts.port.isEmpty() || port.exactMatch(facts.port));
    if (facts.refusal.reason != OvpnText::ImportRefusal::None) {
        FUZZ_CHECK(facts.text.isEmpty() && facts.refusal.line > 0);
    } else {
        FUZZ_CHECK(OvpnText::isUtf8(facts.text));
        for (const auto& line : OpenVPNConfigLines::read(facts.text)) {
            FUZZ_CHECK(!isRefused(line));
        }
    }

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
