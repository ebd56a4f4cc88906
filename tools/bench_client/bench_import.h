// The import phase of the client benchmark: a profile file of real profiles of the four
// kinds, each with its kind's row (one in four a WireGuard profile, which gets its
// configuration file), imported through the Profiles page as the Import button does once
// its file dialog has answered; measured is the longest stall of the window's event loop
// from the start of the import to the page listing the merged profiles.
#pragma once

#include <string>

class ProfileWidget;

// The size of the file the benchmark imports.
constexpr int kImportBenchProfiles = 1000;

struct ImportFigures {
    int profiles = 0;
    double stallMs = -1;
    double seconds = 0;
    std::string error; // empty when the import was measured
};

// Imports a file of `profiles` profiles into the page's store; prints its line.
ImportFigures MeasureImport(ProfileWidget& page, int profiles);
