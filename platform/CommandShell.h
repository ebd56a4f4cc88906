// The layer's stand-in for cmd.exe: runs the stages of a parsed command line, the
// built-in ones (tasklist, findstr, taskkill, echo) on threads of this process and the
// programs as children, each stage's output feeding the next one's input.
#pragma once

#include "CommandLine.h"

#include <string>
#include <sys/types.h>
#include <vector>

// Runs the stages with the last stage's output and every program's standard error on
// outFd (the caller keeps outFd; the stages hold their own copies). Returns 0, or the
// errno value of the first stage that could not be started (stages already started run
// on). Every child is reaped in the background, unless `children` is given: then the ids
// of the programs started are added to it, and the caller reaps them (ReapChild).
int RunStages(const std::vector<CommandStage>& stages, int outFd, const char* workDir,
              std::vector<pid_t>* children = nullptr);

// The process list in tasklist's columns, read from /proc.
std::string ProcessListText();
