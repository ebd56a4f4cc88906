// Writing descriptors and files whole, for the layer's own use.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

// Writes all bytes, going on after interruptions. False when a write fails. Safe inside
// a signal handler.
bool WriteAll(int fd, const char* data, size_t length);

// Writes a file whole or not at all: a temporary file beside it with the given mode,
// synced and renamed over it. False, with nothing left behind, when any step fails; errno
// then tells why.
bool WriteFileWhole(const std::string& path, const std::string& content, mode_t mode);
