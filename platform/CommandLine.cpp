#include "CommandLine.h"

#include "PlatformConstants.h"

#include <cctype>
#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Splits the text after "cmd.exe /c " at each '|' outside double quotes. cmd.exe
// treats a double quote as a plain toggle, without backslash escapes. Redirections,
// command separators and the escape character outside quotes are refused.
bool SplitStages(const std::string& text, std::vector<std::string>& parts) {
    std::string current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (c == '|') {
                parts.push_back(current);
                current.clear();
                continue;
            }
            if (c == '&' || c == '<' || c == '>' || c == '^' || c == '\r' || c == '\n') {
                return false;
            }
        }
        current += c;
    }
    if (quoted) {
        return false;
    }
    parts.push_back(current);
    return true;
}

bool ParseStage(const std::string& rawStage, CommandStage& stage) {
    const std::string text = Trim(rawStage);
    if (text.empty()) {
        return false;
    }
    size_t nameEnd = 0;
    while (nameEnd < text.size() && !IsBlank(text[nameEnd])) {
        ++nameEnd;
    }
    const std::string name = Lower(text.substr(0, nameEnd));
    if (name == "echo") {
        stage.kind = CommandStage::Echo;
        // echo prints the rest of its stage as written, quotes included.
        stage.text = Trim(text.substr(nameEnd));
        return true;
    }
    std::vector<std::string> args = SplitCommandLine(text);
    if (args.empty()) {
        return false;
    }
    const std::string program = Lower(args[0]);
    if (program == "tasklist" || program == "tasklist.exe") {
        stage.kind = CommandStage::Tasklist;
        return args.size() == 1;
    }
    if (program == "findstr" || program == "findstr.exe") {
        stage.kind = CommandStage::Findstr;
        stage.args.assign(args.begin() + 1, args.end());
        if (stage.args.empty()) {
            return false;
        }
        for (const std::string& word : stage.args) {
            if (word.empty() || word[0] == '/') {
                return false;
            }
        }
        return true;
    }
    if (program == "taskkill" || program == "taskkill.exe") {
        stage.kind = CommandStage::Taskkill;
        if (args.size() != 3 || Lower(args[1]) != "/pid") {
            return false;
        }
        const std::string& id = args[2];
        if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        stage.args = {id};
        return true;
    }
    stage.kind = CommandStage::Program;
    stage.args = std::move(args);
    return !stage.args[0].empty();
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && IsBlank(line[i])) {
        ++i;
    }
    if (i >= n) {
        return args;
    }

    // The program name: no escapes, a double quote only opens or closes.
    std::string program;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else {
            program += line[i];
        }
        ++i;
    }
    args.push_back(program);

    while (true) {
        while (i < n && IsBlank(line[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::string arg;
        quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // An even count leaves the quote to the code below.
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += line[i];
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

std::string NativeProgramPath(const std::string& path) {
    std::string native = path;
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    return native;
}

bool ParseCommandLine(const std::string& line, std::vector<CommandStage>& stages) {
    stages.clear();
    const size_t prefixLength = std::strlen(kCmdPrefix);
    if (line.compare(0, prefixLength, kCmdPrefix) != 0) {
        CommandStage stage;
        stage.args = SplitCommandLine(line);
        if (stage.args.empty() || stage.args[0].empty()) {
            return false;
        }
        stages.push_back(std::move(stage));
        return true;
    }
    std::vector<std::string> parts;
    if (!SplitStages(line.substr(prefixLength), parts)) {
        return false;
    }
    for (const std::string& part : parts) {
        CommandStage stage;
        if (!ParseStage(part, stage)) {
            stages.clear();
            return false;
        }
        stages.push_back(std::move(stage));
    }
    return !stages.empty();
}
