// What the client reads from openvpn's management interface: the socket's bytes, read in
// pieces as they arrive, gathered into complete lines (an incomplete last line waits for
// the next read, a runaway one is dropped), and the "load-stats" counters read from them.
//
// Input: the bytes the interface sent; a 0xFF byte (never part of UTF-8) marks where one
// read ends and the next begins.
#include <QString>
#include <cmath>
#include <string>

#include "AppConstants.h"
#include "FuzzTarget.h"
#include "TrafficReadings.h"

namespace {

void checkReading(bool has, double mib) {
    FUZZ_CHECK(std::isfinite(mib) && mib >= 0);
    FUZZ_CHECK(has || mib == 0);
}

} // namespace

KORVA_FUZZ_TARGET(management_replies) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    QString pending;
    QString everything;
    bool dropped = false;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\xff', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        // As ManagementClient::ReadReply hands over one read.
        const QString received = QString::fromUtf8(input.data() + start, static_cast<int>(end - start));
        const QString before = pending + received;
        const QString lines = TrafficReadings::TakeCompleteLines(pending, received);
        // Nothing is lost or made up: the complete lines and what waits are what came.
        FUZZ_CHECK(lines + pending == before);
        FUZZ_CHECK(lines.isEmpty() || lines.endsWith(QLatin1Char('\n')));
        FUZZ_CHECK(!pending.contains(QLatin1Char('\n')));
        // As the controller does with a line that never ends.
        if (pending.size() > AppConstants::kManagementLineLimit) {
            pending.clear();
            dropped = true;
        }
        everything += lines;

        const TrafficReadings::LoadStats stats = TrafficReadings::ParseLoadStats(lines);
        checkReading(stats.hasDownload, stats.downloadMiB);
        checkReading(stats.hasUpload, stats.uploadMiB);
        start = end + 1;
    }
    // All of it at once reads as the pieces did, where no line was dropped.
    if (!dropped) {
        const TrafficReadings::LoadStats whole = TrafficReadings::ParseLoadStats(everything);
        checkReading(whole.hasDownload, whole.downloadMiB);
        checkReading(whole.hasUpload, whole.uploadMiB);
    }
}
