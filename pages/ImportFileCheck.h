// The check an imported profile file passes before anything of it is merged: it must be a
// profile database of this program, whole, and every profile in it must be one the
// program can use. The file comes from outside, so nothing of it is trusted: it is opened
// read-only, with no functions of its own schema, and every value is looked at as SQLite
// holds it before the reader turns it into a record.
#pragma once

#include <string>

struct ImportFileProblem {
    enum Kind {
        None,
        // Not a database, damaged, or without the tables and columns of a profile store.
        NotProfileFile,
        // A profile whose name could not stand as a profile, a file or an argument.
        BadName,
        // A profile whose row of its kind is missing or holds values its record cannot.
        BadProfile,
    };
    Kind kind = None;
    // The profile concerned, as the file spells it (BadName, BadProfile).
    std::string name;
    // What was found, for the log.
    std::string detail;
};

// True when the file at the UTF-8 path may be merged; otherwise false with the problem.
// Profiles of a kind outside 1 to 4 are no problem: the merge skips them.
bool CheckImportFile(const std::string& path, ImportFileProblem* problem);

// The rule of an imported profile's name: the editor's rule for a new name of the kind
// (1 to 128 bytes, 32 for WireGuard; whole UTF-8 without ideographs or characters beyond
// U+D7FF; not only spaces), and a name that can stand as a file name and a command-line
// argument (no separators, "..", quotes, control characters or shell metacharacters).
bool IsImportableProfileName(const std::string& name, int vpnType);
