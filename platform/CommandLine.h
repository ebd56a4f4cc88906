// Command lines as the client writes them for Windows, taken apart for Linux without a
// shell: the argument vector by the Windows quoting rules, and the "cmd.exe /c " forms
// the client issues (tasklist, findstr, taskkill /pid, echo, a program, '|' between them).
#pragma once

#include <string>
#include <vector>

// Splits a command line into its arguments as the Windows C runtime does:
// - the program name runs to the next blank, or between a pair of double quotes;
// - later arguments are separated by blanks and tabs outside double quotes;
// - 2n backslashes before a double quote give n backslashes and the quote opens or
//   closes a quoted part; 2n+1 give n backslashes and a literal double quote;
// - backslashes before anything else are literal; "" inside a quoted part is a literal
//   double quote.
// Nothing else is special: '$', '`', '\'' and the like reach the program unchanged.
std::vector<std::string> SplitCommandLine(const std::string& line);

// A program path written the Windows way (".\bin\ipsec\charon-svc.exe") as a Linux path.
std::string NativeProgramPath(const std::string& path);

struct CommandStage {
    enum Kind { Program, Tasklist, Findstr, Taskkill, Echo };
    Kind kind = Program;
    // Program: the argument vector. Findstr: the search words. Taskkill: the process id text.
    std::vector<std::string> args;
    // Echo: the text to print.
    std::string text;
};

// Parses a command line into the stages to run. A line without the "cmd.exe /c " prefix
// is one program. With the prefix, the rest is split at '|' outside double quotes and
// each stage is one of the forms above; any other form (redirections, '&', '^', options
// of tasklist, findstr or taskkill other than "/pid N", an empty stage) is refused.
// Returns false for a refused or empty line.
bool ParseCommandLine(const std::string& line, std::vector<CommandStage>& stages);
