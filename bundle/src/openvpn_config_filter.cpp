// The bundle's configuration filter for openvpn: reads a profile's configuration file and
// writes to standard output what openvpn may read of it (OpenVPNConfigFilter.h). Each
// directive left out is named on standard error; a file that cannot be handed to openvpn
// at all is refused with exit code 1, in openvpn's own words for a configuration error.
//
//   config-filter FILE
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "OpenVPNConfigFilter.h"

namespace {

// A configuration is a few kilobytes, certificates and keys inlined included.
constexpr std::streamoff kMaxConfigBytes = 4 << 20;

int Refuse(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "Options error: In %s: %s\n", path.c_str(), why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: config-filter FILE\n");
        return 2;
    }
    const std::string path = argv[1];
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return Refuse(path, "the file cannot be read");
    }
    if (file.tellg() > kMaxConfigBytes) {
        return Refuse(path, "the file is too large for a configuration");
    }
    file.seekg(0);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const OpenVPNConfigFilter::Result result = OpenVPNConfigFilter::Filter(text);
    if (!result.ok) {
        return Refuse(path, result.error);
    }
    for (const OpenVPNConfigFilter::DroppedDirective& dropped : result.dropped) {
        std::fprintf(stderr,
                     "Options warning: %s:%d: '%s' is left out: a profile may not run programs, load "
                     "code, write files, read files by their path, serve or take the management "
                     "interface\n",
                     path.c_str(), dropped.line, dropped.directive.c_str());
    }
    std::fwrite(result.config.data(), 1, result.config.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
