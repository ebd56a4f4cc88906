#include "OpenVPNConfigLines.h"

#include "zrwlog.h"

namespace OpenVPNConfigLines {

namespace {

// White space as openvpn reads a configuration line: C's isspace set.
bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The end of a word: white space or the line's end.
bool endsWord(char c) {
    return c == '\0' || isSpace(c);
}

QByteArray withoutLeadingSpace(const QByteArray& text) {
    int i = 0;
    while (i < text.size() && isSpace(text.at(i))) {
        ++i;
    }
    return text.mid(i);
}

// Directives that run a program or load code, read another configuration or move
// openvpn's folder, and write a file the configuration names.
const char* const kUnsafeDirectives[] = {
    // Programs run on the tunnel's events, and the level that allows them.
    "script-security", "up", "down", "route-up", "route-pre-down", "ipchange", "learn-address", "tls-verify",
    "auth-user-pass-verify", "client-connect", "client-disconnect", "client-crresponse",
    "tls-crypt-v2-verify", "iproute", "dns-updown",
    // Code loaded into openvpn.
    "plugin", "engine", "providers", "pkcs11-providers",
    // Another configuration, another folder for every relative path, another root.
    "config", "cd", "chroot",
    // Files written where the configuration says.
    "log", "log-append", "status", "writepid", "replay-persist", "ifconfig-pool-persist", "tls-export-cert",
    "genkey"};

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
constexpr const char* kDroppedLine = "OpenVPN :: line %d of the stored configuration not written: %s\n";

} // namespace

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

QList<QByteArray> words(const QByteArray& line) {
    enum class State { Between, Unquoted, Quoted, SingleQuoted };
    const int end = static_cast<int>(qstrnlen(line.constData(), static_cast<uint>(line.size())));
    QList<QByteArray> result;
    QByteArray word;
    State state = State::Between;
    bool backslash = false;
    // The position after the last character stands for the line's NUL, which ends an
    // unquoted word.
    for (int i = 0; i <= end; ++i) {
        const char in = i < end ? line.at(i) : '\0';
        char out = 0;
        if (!backslash && in == '\\' && state != State::SingleQuoted) {
            backslash = true;
            continue;
        }
        bool wordEnds = false;
        switch (state) {
        case State::Between:
            if (!endsWord(in)) {
                if (in == '#' || in == ';') {
                    i = end; // a comment: the rest of the line is no part of it
                    continue;
                }
                if (!backslash && in == '"') {
                    state = State::Quoted;
                } else if (!backslash && in == '\'') {
                    state = State::SingleQuoted;
                } else {
                    out = in;
                    state = State::Unquoted;
                }
            }
            break;
        case State::Unquoted:
            wordEnds = !backslash && endsWord(in);
            out = wordEnds ? 0 : in;
            break;
        case State::Quoted:
            wordEnds = !backslash && in == '"';
            out = wordEnds ? 0 : in;
            break;
        case State::SingleQuoted:
            wordEnds = in == '\'';
            out = wordEnds ? 0 : in;
            break;
        }
        if (backslash && out != 0 && out != '\\' && out != '"' && !isSpace(out)) {
            return QList<QByteArray>(); // openvpn refuses the line
        }
        backslash = false;
        if (out != 0) {
            word += out;
        }
        if (wordEnds) {
            result.append(word);
            word.clear();
            state = State::Between;
        }
    }
    if (state != State::Between) {
        return QList<QByteArray>(); // an open quote
    }
    // "--remote" in a file is "remote".
    if (!result.isEmpty() && result.first().size() >= 3 && result.first().startsWith("--")) {
        result.first().remove(0, 2);
    }
    return result;
}

QByteArray directive(const QByteArray& line) {
    const QList<QByteArray> found = words(line);
    return found.isEmpty() ? QByteArray() : found.first();
}

QList<Line> read(const QByteArray& text) {
    const QList<QByteArray> raw = lines(text);
    QList<Line> result;
    // An inline file being read (inBody, its tag), and a connection block around it.
    bool inBody = false;
    QByteArray bodyTag;
    bool inConnection = false;
    for (int i = 0; i < raw.size(); ++i) {
        Line line;
        line.text = raw.at(i);
        line.number = i + 1;
        const QByteArray parsed = i == 0 && line.text.startsWith(kUtf8Mark) ? line.text.mid(3) : line.text;
        const QByteArray start = withoutLeadingSpace(parsed);
        // openvpn reads a connection block whole up to its closing tag, inline files in it
        // included.
        if (inConnection && start.startsWith("</connection>")) {
            line.role = Role::InlineClose;
            line.tag = "connection";
            inConnection = false;
            inBody = false;
        } else if (inBody) {
            line.tag = bodyTag;
            if (start.startsWith("</" + bodyTag + ">")) {
                line.role = Role::InlineClose;
                inBody = false;
            } else {
                line.role = Role::InlineBody;
            }
        } else {
            line.words = words(parsed);
            const QByteArray first = line.words.isEmpty() ? QByteArray() : line.words.first();
            if (line.words.isEmpty()) {
                line.role = Role::Plain;
            } else if (line.words.size() == 1 && first.size() >= 2 && first.startsWith('<') &&
                       first.endsWith('>')) {
                line.role = Role::InlineOpen;
                line.tag = first.mid(1, first.size() - 2);
                if (line.tag == "connection" && !inConnection) {
                    inConnection = true;
                } else {
                    inBody = true;
                    bodyTag = line.tag;
                }
            } else {
                line.role = Role::Directive;
            }
        }
        result.append(line);
    }
    return result;
}

bool isUnsafe(const QByteArray& directive) {
    for (const char* unsafe : kUnsafeDirectives) {
        if (directive == unsafe) {
            return true;
        }
    }
    return false;
}

QByteArray withoutUnsafeDirectives(const QByteArray& text, QList<QPair<int, QByteArray>>* dropped) {
    const QList<Line> read = OpenVPNConfigLines::read(text);
    QByteArray kept;
    int start = 0;
    for (const Line& line : read) {
        // The line's bytes in the text, its line break with it.
        const int lineBreak = text.indexOf('\n', start);
        const int next = lineBreak < 0 ? text.size() : lineBreak + 1;
        if (line.role == Role::Directive && isUnsafe(line.words.first())) {
            if (dropped != nullptr) {
                dropped->append(qMakePair(line.number, line.words.first()));
            }
        } else {
            kept += text.mid(start, next - start);
        }
        start = next;
    }
    return kept;
}

std::string connectCopy(const std::string& stored) {
    QList<QPair<int, QByteArray>> dropped;
    const QByteArray text = QByteArray::fromStdString(stored);
    const QByteArray kept = withoutUnsafeDirectives(text, &dropped);
    for (const auto& line : dropped) {
        ZRWLog(kLogModule, kLogLevel, kDroppedLine, line.first, line.second.constData());
    }
    return dropped.isEmpty() ? stored : kept.toStdString();
}

} // namespace OpenVPNConfigLines
