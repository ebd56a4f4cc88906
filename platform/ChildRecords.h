// Records of the programs the client starts, so that a client that was killed leaves
// nothing running. From the moment a program is started until it has been reaped, a record
// in root's run folder (RunFolder.h, folder "children") names it: its process id, when it
// started (which no later process of the same id shares), the machine's boot, the process
// that started it, and its program path. The next start of the client ends the programs
// whose starter is gone (EndLeftoverChildren).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Records a program this process has just started (the process runner calls it).
void RecordStartedChild(pid_t pid, const std::string& program);
// Removes the record of a program that has been reaped.
void ForgetStartedChild(pid_t pid);

// The time a process started, in clock ticks since boot (field 22 of /proc/PID/stat), or
// -1 when there is no such process.
long long ProcessStartTime(pid_t pid);

struct LeftoverChild {
    pid_t pid = 0;
    std::string program;
};

// Ends what earlier runs left running: for every record whose starter has ended, the
// recorded process, when it is still the one recorded (same start, same boot) and still
// runs from the program folder (its program file or its working folder lies in it), is
// ended together with the processes it started (SIGTERM, SIGKILL after the grace time), and
// waited for. The records of ended starters go; those of a starter that still runs stay.
// Returns the processes it ended.
std::vector<LeftoverChild> EndLeftoverChildren(const std::string& programFolder);
