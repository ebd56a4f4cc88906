// Root's run folder: where the client keeps what only it may see or change while it runs
// (the single-instance lock and local socket, the records of the programs it started, the
// TAP adapters it made). /run/korva-vpn, mode 0700, owned by the user the process runs as;
// KORVA_RUN_DIR names another folder (tests give each run its own). A folder that anyone
// else could change, or reach through a folder anyone else could change, is refused.
#pragma once

#include <string>

// The run folder, made when it is missing; empty, with the reason in English in *error,
// when it cannot be made or is refused.
std::string RunFolder(std::string* error = nullptr);

// True when the folder is a real folder (no link) that only this process's user can
// change, on a path whose folders only root or this user can change (a folder others may
// write counts when its sticky bit keeps them from replacing what is in it). The reason
// in *error otherwise.
bool FolderOnlyOwnerCanChange(const std::string& path, std::string* error);

// A folder in the run folder (the run folder itself for an empty name), made mode 0700
// when missing; empty when it cannot be had.
std::string RunSubfolder(const char* name);
