// The client benchmark's figures against its aims (bench_client --aims): start time and
// peak memory beside a bare Qt Widgets window, offscreen and on an X display (Xvfb), then
// the phases of bench_phases.h with the main window in this process.
#pragma once

#include <string>

// One platform's starts: the first of each program (cold: nothing of it has run in this
// benchmark before) and the medians of the later ones (steady), client and bare window taken
// in turn. The bare window starts with the client's platform settings.
struct StartFigures {
    std::string platform; // "offscreen", or "X display (Xvfb, xcb)"
    double clientFirstMs = 0;
    double bareFirstMs = 0;
    double clientMs = 0;
    double bareMs = 0;
    double clientRssMiB = 0;
    double bareRssMiB = 0;
    std::string load;  // the load average when the starts were taken
    std::string error; // empty when measured
};

struct Starts {
    StartFigures offscreen;
    StartFigures xDisplay;
};

// Starts build/korva/korva-vpn and the bare window several times each, in scratch homes
// under the working directory, offscreen and on an Xvfb display of its own, and gives the
// medians. Runs before the QApplication.
Starts MeasureStarts(const std::string& clientProgram, const std::string& clientDir,
                     const std::string& bareProgram);

// The phases with the main window in this process (those whose name holds `only`, or all),
// then the summary against the aims. Runs once the QApplication and the application context
// stand.
int RunAims(const Starts& starts, int seconds, const std::string& only = std::string());
