// An OpenVPN configuration text read line by line as openvpn reads it: the words of a
// line (white space, quotes, backslashes, comments, a leading "--"), the inline files
// between <tag> and </tag> whose lines are no directives, and the directives that would
// make openvpn run a program, load code or write files where the configuration says. The
// profile editor reads an imported file and writes the profile's copy through it, and the
// connection writes the copy it makes from a stored text through it, so that both take
// every line the same way.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <string>

namespace OpenVPNConfigLines {

// The lines of a text, line breaks (LF or CR LF, with any further CRs before the LF)
// removed. A last line without a line break counts; nothing follows a final line break.
QList<QByteArray> lines(const QByteArray& text);

// The words of a line as openvpn reads them: white space (blanks, tabs, CR, VT, FF)
// separates words; a word may stand in double quotes (with backslash escapes) or single
// quotes; outside single quotes a backslash takes the next character as it is, and only a
// backslash, a double quote or white space may follow one; a "#" or ";" where a word would
// begin ends the line; the line ends at a NUL; the first word loses a leading "--" (when
// more follows). Empty for a comment, an empty line and a line openvpn refuses (an open
// quote, a backslash before anything else).
QList<QByteArray> words(const QByteArray& line);

// The first word of a line as openvpn reads it, or empty.
QByteArray directive(const QByteArray& line);

// What a line of a configuration is.
enum class Role {
    Plain,      // no directive: empty, a comment, or a line openvpn refuses
    Directive,  // a directive with its words
    InlineOpen, // "<tag>": an inline file begins
    InlineBody, // a line of an inline file, read by openvpn as the file's content
    InlineClose // "</tag>": the inline file ends
};

struct Line {
    Role role = Role::Plain;
    QByteArray text;
    // The words of a directive, of an opening tag (one word), empty otherwise.
    QList<QByteArray> words;
    // The inline file a line opens, stands in or closes (without the angle brackets).
    QByteArray tag;
    // The line's number in the text, from 1.
    int number = 0;
};

// The lines of a configuration text with what each is. The lines of a <connection> block
// are directives (openvpn reads them as a configuration of their own); the lines of every
// other inline file are its content up to the line that begins, after white space, with
// its closing tag. A UTF-8 byte-order mark before the first line is no part of it.
QList<Line> read(const QByteArray& text);

// True for a directive that makes openvpn run a program (the script hooks and
// script-security), load code (plugins, crypto engines and providers), read another
// configuration, change the folder it works in, or write a file the configuration names
// (logs, status, pid and replay files, generated keys): with openvpn running as root, such
// a line would run anything or change any file.
bool isUnsafe(const QByteArray& directive);

// The text without the lines of unsafe directives, every other byte as it was; the
// dropped lines' numbers and directives are added to dropped.
QByteArray withoutUnsafeDirectives(const QByteArray& text, QList<QPair<int, QByteArray>>* dropped);

// The configuration a connect writes from a profile's stored text: the text without
// unsafe directives (a profile stored before they were refused may hold one), each line
// left out logged ("OpenVPN :: ...").
std::string connectCopy(const std::string& stored);

} // namespace OpenVPNConfigLines
