// The check an imported profile file passes before anything of it is merged: it must be a
// profile database of this program, whole, and every profile in it must be one the
// program can use. The file comes from outside, so nothing of it is trusted: it is opened
// read-only, with no functions of its own schema, and every value is looked at as SQLite
// holds it before the reader turns it into a record.
#pragma once

#include <cstddef>
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
        // An OpenVPN profile whose configuration would make openvpn, running as root, read a
        // file by its path or serve (the directive in `directive`).
        BarredDirective,
        // More profiles than one import takes (kMaxImportedProfiles).
        TooManyProfiles,
        // Refused before it is read: not a regular file (a pipe, a device, a folder, a
        // link), or, in an elevated run, a file of another user than the one who started
        // the client.
        NotRegularFile,
        NotOwnFile,
        // A profile with a value that its key does not take where the client writes it
        // into a configuration file (a WireGuard address, name, key or number).
        BadValue,
    };
    Kind kind = None;
    // The profile concerned, as the file spells it (BadName, BadProfile, BadValue).
    std::string name;
    // The key whose value is not allowed (BadValue): "DNS", "Address" and so on.
    std::string field;
    // What was found, for the log.
    std::string detail;

    // The OpenVPN directive that is not allowed (BarredDirective).
    std::string directive;
};

// True when the file at the UTF-8 path may be merged; otherwise false with the problem.
// Profiles of a kind outside 1 to 4 are no problem: the merge skips them, but they count
// towards the most profiles a file may hold. `profiles`, when given, receives the number of
// profiles the merge will take.
bool CheckImportFile(const std::string& path, ImportFileProblem* problem, size_t* profiles = nullptr);

// The rule of an imported profile's name: the editor's rule for a name of the kind
// (ProfileNameRule), so that every imported profile can be saved again under its name.
bool IsImportableProfileName(const std::string& name, int vpnType);
