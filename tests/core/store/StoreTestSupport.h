// Small helpers of the store's tests: the log captured in a file of the sandbox, and
// whole-file reads and writes.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "zrwlog.h"

// Sends the log to a fresh file and reads back what was written since.
class LogCapture {
public:
    explicit LogCapture(const char* path = "store-test.log") : path(path) { ZRWLogOpenFile(path); }
    ~LogCapture() { ZRWLogClose(); }

    std::string Text() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Contains(const std::string& line) const { return Text().find(line) != std::string::npos; }
    // Starts the file anew.
    void Clear() { ZRWLogOpenFile(path.c_str()); }

private:
    std::string path;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
