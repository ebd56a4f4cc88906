#include "OpenVPNConfigFilter.h"

#include "OpenVPNConfigSyntax.h"

namespace OpenVPNConfigFilter {

namespace {

using OpenVPNConfigSyntax::Line;
using OpenVPNConfigSyntax::Role;
using OpenVPNConfigSyntax::Treatment;

// The line openvpn reads back as the words of this line: its name with the "--" it came
// with (openvpn takes off one again), then its parameters.
std::string PlainLine(const Line& line, const std::vector<std::string>& words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string word = i == 0 && line.dashed ? "--" + words[i] : words[i];
        if (i > 0) {
            text += ' ';
        }
        text += OpenVPNConfigSyntax::WrittenWord(word);
    }
    return text;
}

} // namespace

bool Tokenize(const std::string& line, std::vector<std::string>* tokens) {
    return OpenVPNConfigSyntax::Tokenize(line, tokens);
}

bool IsDropped(const std::vector<std::string>& tokens) {
    if (tokens.empty()) {
        return false;
    }
    std::vector<std::string> words = tokens;
    words.front() = OpenVPNConfigSyntax::DirectiveName(words.front());
    const Treatment treatment = OpenVPNConfigSyntax::TreatmentOf(words);
    return treatment != Treatment::Kept && treatment != Treatment::Mended;
}

Result Filter(const std::string& text) {
    Result result;
    const auto refuse = [&result](int line, const std::string& why) {
        result = Result();
        result.error = "line " + std::to_string(line) + ": " + why;
        return result;
    };
    if (text.find('\0') != std::string::npos) {
        result.error = "a NUL byte in the text";
        return result;
    }
    const OpenVPNConfigSyntax::Reading reading = OpenVPNConfigSyntax::Read(text);
    if (!reading.closed) {
        return refuse(reading.unclosedLine, "no </" + reading.unclosedTag + "> closes the block");
    }
    // A block being left out: its lines go up to its end (in a text whose blocks all end,
    // the next closing line is its own).
    bool skipping = false;
    for (const Line& line : reading.lines) {
        std::string kept;
        if (skipping) {
            skipping = line.role != Role::InlineClose;
            continue;
        }
        switch (line.role) {
        case Role::Plain:
            continue;
        case Role::Unreadable:
            return refuse(line.number, "openvpn cannot read it");
        case Role::Directive: {
            const Treatment treatment = OpenVPNConfigSyntax::TreatmentOf(line.words);
            if (treatment != Treatment::Kept && treatment != Treatment::Mended) {
                result.dropped.push_back({line.number, line.words.front()});
                continue;
            }
            kept = PlainLine(line, OpenVPNConfigSyntax::MendedWords(line.words));
            break;
        }
        case Role::InlineOpen:
            if (OpenVPNConfigSyntax::BlockTreatment(line.tag) != Treatment::Kept) {
                result.dropped.push_back({line.number, line.tag});
                skipping = true;
                continue;
            }
            kept = "<" + line.tag + ">";
            break;
        case Role::InlineBody:
            // An inline file's lines are its content, as they stand.
            kept = line.text;
            break;
        case Role::InlineClose:
            kept = "</" + line.tag + ">";
            break;
        }
        if (kept.size() > kMaxLineBytes) {
            return refuse(line.number, "a line longer than " + std::to_string(kMaxLineBytes) + " bytes");
        }
        result.config += kept;
        result.config += '\n';
    }
    result.ok = true;
    return result;
}

} // namespace OpenVPNConfigFilter
