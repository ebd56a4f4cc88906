// An OpenVPN configuration text read line by line as openvpn reads it, in Qt's types: the
// words of a line, the inline files between <tag> and </tag> whose lines are no
// directives, and the treatment of each directive (OpenVPNConfigSyntax, which the filter of
// the bundle's openvpn reads profiles with as well). The profile editor reads an imported
// file and writes the profile's copy through it, so that every line is taken as openvpn
// and the filter take it.
#pragma once

#include <QByteArray>
#include <QList>

#include "OpenVPNConfigSyntax.h"

namespace OpenVPNConfigLines {

// The lines of a text, line breaks (LF or CR LF, with any further CRs before the LF)
// removed. A last line without a line break counts; nothing follows a final line break.
QList<QByteArray> lines(const QByteArray& text);

// The words of a line as openvpn reads them (OpenVPNConfigSyntax::Tokenize), the first one
// without a leading "--" (when more follows). Empty for a comment, an empty line and a
// line openvpn refuses.
QList<QByteArray> words(const QByteArray& line);

// The first word of a line as openvpn reads it, or empty.
QByteArray directive(const QByteArray& line);

// What a line of a configuration is.
using Role = OpenVPNConfigSyntax::Role;
using Treatment = OpenVPNConfigSyntax::Treatment;

struct Line {
    Role role = Role::Plain;
    // The line without its line break (see lines()).
    QByteArray text;
    // The words of a directive, of an opening tag (one word), empty otherwise.
    QList<QByteArray> words;
    // The inline file a line opens, stands in or closes (without the angle brackets).
    QByteArray tag;
    // The line's number in the text, from 1.
    int number = 0;
};

// The lines of a configuration text with what each is (OpenVPNConfigSyntax::Read).
QList<Line> read(const QByteArray& text);

// The treatment of a directive line (its words, the name first), and the directive it is
// about (after "setenv opt", the directive that follows).
Treatment treatmentOf(const QList<QByteArray>& words);
QByteArray ruledDirective(const QList<QByteArray>& words);

// A directive only a server takes (OpenVPNConfigSyntax::IsServerDirective).
bool isServerDirective(const QList<QByteArray>& words);

// The treatment of an inline block of the tag.
Treatment blockTreatment(const QByteArray& tag);

} // namespace OpenVPNConfigLines
