// The client benchmark's figures against its aims (bench_client --aims): start time and
// peak memory beside a bare Qt Widgets window, CPU use and the longest event-loop stall
// idle and while connected to a real WireGuard peer, and the Profiles page at 10,000
// profiles.
#pragma once

#include <string>

struct StartFigures {
    double clientMs = 0;
    double bareMs = 0;
    double clientRssMiB = 0;
    double bareRssMiB = 0;
    std::string error; // empty when both were measured
};

// Starts build/korva/korva-vpn and the bare window several times each, in scratch homes
// under the working directory, and gives the medians. Runs before the QApplication.
StartFigures MeasureStarts(const std::string& clientProgram, const std::string& clientDir,
                           const std::string& bareProgram);

// The phases with the main window in this process, then the summary against the aims.
// Runs once the QApplication and the application context stand.
int RunAims(const StartFigures& starts, int seconds);
