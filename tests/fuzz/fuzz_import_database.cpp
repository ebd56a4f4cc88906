// The database file of a profile import, as the import meets it once deciphered: the
// check that decides whether it may be merged, then the reader that takes its profiles.
// A file the check passes must read whole: its profile list and every profile's row of
// its kind, with every name one the check allows. A file the check refuses is read all
// the same, to hold the reader itself to the file's worst.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "FuzzTarget.h"
#include "IPCSqliteReader.h"
#include "IPSecVPNInfo.h"
#include "ImportFileCheck.h"
#include "ProfileRecords.h"

namespace {

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wbe");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// Reads every profile as the merge does; true when every read succeeded.
bool readAll(IPCSqliteReader& reader, bool checked) {
    std::vector<ProfileInfo> rows;
    if (reader.GetProfileList(rows) != 0) {
        return false;
    }
    bool whole = true;
    for (const ProfileInfo& row : rows) {
        int result = 0;
        switch (row.ProfileType) {
        case VPN_TYPE_IPSEC: {
            IPSecVPNInfo info;
            result = reader.GetIPSecProfileByID(&info, row.ConfigID);
            break;
        }
        case VPN_TYPE_SSLVPN:
        case VPN_TYPE_OPENVPN: {
            OpenVPNInfo info;
            result = reader.GetOpenVPNConfigByID(&info, row.ConfigID);
            break;
        }
        case VPN_TYPE_WIREGUARD: {
            WireGuardVPNInfo info;
            result = reader.GetWireGuardInfoByID(&info, row.ConfigID);
            break;
        }
        default:
            continue; // the merge skips it
        }
        if (checked) {
            FUZZ_CHECK(IsImportableProfileName(row.ProfileName, row.ProfileType));
        }
        whole = whole && result == 0;
    }
    return whole;
}

} // namespace

KORVA_FUZZ_TARGET(import_database) {
    static const std::string path = korvafuzz::scratchFolder() + "/import.db";
    if (!writeFile(path, data, size)) {
        std::perror("import_database: cannot write the input file");
        std::abort();
    }

    ImportFileProblem problem;
    const bool checked = CheckImportFile(path, &problem);
    FUZZ_CHECK(checked == (problem.kind == ImportFileProblem::None));
    FUZZ_CHECK(problem.detail.find('\n') == std::string::npos);

    IPCSqliteReader reader;
    if (reader.Init(path.c_str()) == 0) {
        const bool whole = readAll(reader, checked);
        FUZZ_CHECK(whole || !checked);
    } else {
        FUZZ_CHECK(!checked);
    }
    reader.DeInit();

    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        unlink((path + suffix).c_str());
    }
}
