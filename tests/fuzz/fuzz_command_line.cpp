// The command-line splitter that stands in for Windows' on Linux, and the parser of the
// "cmd.exe /c" lines the layer runs itself. The command lines carry profile values (a
// tunnel name, a path), so every byte may be anyone's.
//
// Properties: an argument vector written back with the Windows quoting rules splits into
// the same vector; a parsed line's stages are only the forms the layer runs.
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FuzzTarget.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool hasBlankOrQuote(const std::string& text) {
    for (char c : text) {
        if (isBlank(c) || c == '"') {
            return true;
        }
    }
    return false;
}

// An argument after the program name, quoted as the Windows runtime reads it back.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && !hasBlankOrQuote(arg)) {
        return arg;
    }
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        out += c;
        slashes = 0;
    }
    out.append(slashes * 2, '\\');
    return out + '"';
}

} // namespace

KORVA_FUZZ_TARGET(command_line) {
    const std::string line(reinterpret_cast<const char*>(data), size);

    const std::vector<std::string> args = SplitCommandLine(line);
    if (!args.empty()) {
        // The program name takes no escapes: a quote only opens or closes, so the split
        // never leaves one in it.
        FUZZ_CHECK(args[0].find('"') == std::string::npos);
        std::string rebuilt = hasBlankOrQuote(args[0]) || args[0].empty() ? "\"" + args[0] + "\"" : args[0];
        for (size_t i = 1; i < args.size(); ++i) {
            rebuilt += ' ' + quoted(args[i]);
        }
        FUZZ_CHECK(SplitCommandLine(rebuilt) == args);
    }

    std::vector<CommandStage> stages;
    const bool parsed = ParseCommandLine(line, stages);
    FUZZ_CHECK(parsed == !stages.empty());
    for (const CommandStage& stage : stages) {
        switch (stage.kind) {
        case CommandStage::Program:
            FUZZ_CHECK(!stage.args.empty() && !stage.args[0].empty());
            break;
        case CommandStage::Tasklist:
        case CommandStage::Echo:
            break;
        case CommandStage::Findstr:
            FUZZ_CHECK(!stage.args.empty());
            for (const std::string& word : stage.args) {
                FUZZ_CHECK(!word.empty() && word[0] != '/');
            }
            break;
        case CommandStage::Taskkill:
            FUZZ_CHECK(stage.args.size() == 1 && !stage.args[0].empty() && stage.args[0].size() <= 9 &&
                       stage.args[0].find_first_not_of("0123456789") == std::string::npos);
            break;
        }
    }
    const std::string native = NativeProgramPath(line);
    FUZZ_CHECK(native.size() == line.size() && native.find('\\') == std::string::npos);
}
