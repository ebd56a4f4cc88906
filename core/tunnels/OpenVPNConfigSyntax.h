// An OpenVPN configuration text read exactly as openvpn 2.6 reads it, and what the client
// does with each directive. openvpn runs as root, so every reader of a profile's text (the
// editor's import and the copies it writes, and the filter through which the bundle's
// openvpn reads every profile) takes its lines from here and judges its directives by the
// one table here: a line means the same to each of them and to openvpn.
//
// A line is split into words as openvpn does (white space, double quotes with backslash
// escapes, single quotes, a backslash before a blank, quote or backslash, a comment where a
// word would begin); the first word loses one leading "--"; a line of one word "<tag>" opens
// an inline file whose lines are no directives, up to the line that begins, after white
// space, with "</tag>"; a <connection> block holds directives (openvpn reads it as a
// configuration of its own) and ends at the first line that begins with "</connection>",
// even inside an inline file of its own. Plain C++, no Qt: the bundle's filter program is
// built from this file and the filter's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace OpenVPNConfigSyntax {

// openvpn refuses a line with a parameter longer than this, and reads at most this many
// words of a line (the rest are ignored).
constexpr size_t kMaxParameterBytes = 256;
constexpr size_t kMaxWords = 16;

// The inline file that holds directives.
constexpr const char* kConnectionTag = "connection";

// Splits one line into openvpn's words, as they stand (a leading "--" kept). False when
// openvpn refuses the line: an open quote, a backslash before anything but a backslash, a
// double quote or white space, a parameter too long. A comment, an empty line and the part
// after a NUL byte give no words.
bool Tokenize(const std::string& line, std::vector<std::string>* words);

// A line's first word as the name of its directive: one leading "--" taken off when more
// follows it.
std::string DirectiveName(const std::string& first);

// A word written into a line so that openvpn reads it back as it stands: bare when nothing
// in it needs quotes, else between double quotes with a backslash before each double quote
// and backslash.
std::string WrittenWord(const std::string& word);

// What a line of a configuration is.
enum class Role {
    Plain,       // no directive: empty, or a comment
    Unreadable,  // a line openvpn refuses (see Tokenize)
    Directive,   // a directive with its words
    InlineOpen,  // "<tag>": an inline file or a connection block begins
    InlineBody,  // a line of an inline file, read by openvpn as the file's content
    InlineClose, // "</tag>": the inline file or connection block ends
};

struct Line {
    Role role = Role::Plain;
    // The line's bytes, without its line feed.
    std::string text;
    // The words of a directive, the first one its name (a leading "--" taken off); the one
    // word "<tag>" of an opening line; empty otherwise.
    std::vector<std::string> words;
    // The line's first word began with a "--" that its name lost.
    bool dashed = false;
    // The inline file or block a line opens, stands in or closes (without angle brackets).
    std::string tag;
    // The line's number in the text, from 1.
    int number = 0;
};

struct Reading {
    std::vector<Line> lines;
    // Every block ends where openvpn ends it. False when a block has no end, or when a
    // connection block ends inside an inline file of its own (openvpn refuses both);
    // unclosedLine is then the line that opened that block, unclosedTag its tag.
    bool closed = true;
    int unclosedLine = 0;
    std::string unclosedTag;
};

// The lines of a text (split at line feeds; a last line without one counts, nothing follows
// a final one) with what each is. A UTF-8 byte-order mark before the first line is no part
// of it (the line's text keeps it).
Reading Read(const std::string& text);

// What the client does with a directive.
enum class Treatment {
    // Handed to openvpn as it stands.
    Kept,
    // The client's own business (the management interface, where openvpn's output goes,
    // whether it detaches, the environment of the client's own script): a profile may hold
    // it, openvpn never reads it.
    LeftOut,
    // It would make openvpn, running as root, run a program, load code, read another
    // configuration, move its folder or root, or write a file where the profile says: the
    // import refuses a file that holds it, a save leaves it out of the profile, and openvpn
    // never reads it.
    Refused,
    // It would make openvpn, running as root, read or open a file, folder or device by a
    // path the profile names (a certificate, key or credentials file instead of its inline
    // block, an auth-user-pass file other than the client's own, a proxy's credentials
    // file, a device node), or serve as a server (which reads a folder of client files):
    // an import refuses the profile, the editor's save refuses it with a message, and
    // openvpn never reads it.
    Barred,
    // Handed to openvpn in the form MendedWords gives: a log level above the highest that
    // keeps keys and passwords out of openvpn's output is that level.
    Mended,
};

// The treatment of a directive line (its words, the name first). "setenv opt NAME ..." is
// the directive NAME to openvpn, and treated as NAME is.
Treatment TreatmentOf(const std::vector<std::string>& words);

// The directive that a line's treatment is about: its name, or for "setenv opt NAME ..."
// that NAME.
std::string RuledDirective(const std::vector<std::string>& words);

// The words openvpn is handed for a line whose treatment is Mended (the same words
// otherwise).
std::vector<std::string> MendedWords(const std::vector<std::string>& words);

// The highest log level openvpn is given: above it openvpn prints the bytes of keys and
// the packets it reads.
constexpr int kHighestLogLevel = 6;

// True for a directive (its words, the name first; after "setenv opt" the directive that
// follows) that only a server takes, whose treatment is Barred.
bool IsServerDirective(const std::vector<std::string>& words);

// The file the client writes the user name and password into for openvpn, as the
// profile's "auth-user-pass" line names it: the one file a profile may name.
std::string OwnCredentialFile();

// The treatment of an inline block of the tag: a certificate, key, credentials or
// connection block is kept; a block of a directive that is refused is refused; any other
// block is left out.
Treatment BlockTreatment(const std::string& tag);

} // namespace OpenVPNConfigSyntax
