// The configuration filter through which the bundle's openvpn reads a profile: whatever
// the text, what it hands on is made of lines openvpn can read (none too long, each one
// tokenized, no directive that is left out, inline blocks closed), and reading it again
// gives it back unchanged.
//
// Input: the text of a profile's configuration file.
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "OpenVPNConfigFilter.h"

KORVA_FUZZ_TARGET(openvpn_config_filter) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const OpenVPNConfigFilter::Result result = OpenVPNConfigFilter::Filter(text);
    if (!result.ok) {
        FUZZ_CHECK(result.config.empty() && !result.error.empty());
        return;
    }
    FUZZ_CHECK(result.config.empty() || result.config.back() == '\n');
    std::string closing;
    size_t start = 0;
    while (start < result.config.size()) {
        const size_t end = result.config.find('\n', start);
        const std::string line = result.config.substr(start, end - start);
        start = end + 1;
        FUZZ_CHECK(line.size() <= OpenVPNConfigFilter::kMaxLineBytes);
        if (!closing.empty()) {
            // Inside an inline block only its own end closes it.
            if (line == closing) {
                closing.clear();
            }
            continue;
        }
        std::vector<std::string> tokens;
        FUZZ_CHECK(OpenVPNConfigFilter::Tokenize(line, &tokens));
        FUZZ_CHECK(!tokens.empty());
        FUZZ_CHECK(!OpenVPNConfigFilter::IsDropped(tokens));
        // A block's start (a connection block holds directives, and ends in a line of its own).
        if (tokens.size() == 1 && tokens[0].size() > 2 && tokens[0].front() == '<' &&
            tokens[0].back() == '>' && tokens[0][1] != '/' && tokens[0] != "<connection>") {
            closing = "</" + tokens[0].substr(1);
        }
    }
    FUZZ_CHECK(closing.empty());
    const OpenVPNConfigFilter::Result again = OpenVPNConfigFilter::Filter(result.config);
    FUZZ_CHECK(again.ok && again.config == result.config && again.dropped.empty());
}
