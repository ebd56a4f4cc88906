#include "TrafficReadings.h"

#include <QStringList>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "TunnelPaths.h"

namespace TrafficReadings {

namespace {

constexpr double kBytesPerMiB = 1048576.0;
const char* const kWhiteSpace = " \t\n\v\f\r";

// The lines of a text, each without its line end (LF or CR LF).
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The lines of the tunnel's block: from the line after its heading up to the next heading.
std::vector<std::string> TunnelBlock(const std::string& wgShow, const std::string& tunnelName, bool* found) {
    const std::string header = TunnelPaths::kWireGuardInterfaceHeader;
    const std::string heading = header + tunnelName;
    std::vector<std::string> block;
    *found = false;
    for (const std::string& line : SplitLines(wgShow)) {
        if (*found) {
            if (StartsWith(line, header)) {
                break;
            }
            block.push_back(line);
        } else {
            std::string candidate = line;
            TrimString(candidate);
            *found = candidate == heading;
        }
    }
    return block;
}

// "1.50 KiB" in MiB: the longest number at the start, then the unit after the first blank.
bool ReadAmount(std::string part, double* mib) {
    TrimString(part);
    const char* begin = part.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin) {
        return false;
    }
    const std::string::size_type blank = part.find(' ');
    if (blank == std::string::npos) {
        return false;
    }
    std::string unit = part.substr(blank + 1);
    TrimString(unit);
    // strtod also reads "inf", "nan" and numbers past the double's range: no amount.
    const double converted = std::isfinite(value) ? ConvertToMiB(value, unit) : -1;
    if (converted == -1 || !std::isfinite(converted)) {
        return false;
    }
    *mib = converted;
    return true;
}

// The text of a part after its last word, when the part ends with that word.
bool DropTrailingWord(std::string& part, const std::string& word) {
    TrimString(part);
    if (part.size() <= word.size() || part.compare(part.size() - word.size(), word.size(), word) != 0) {
        return false;
    }
    part.erase(part.size() - word.size());
    return true;
}

} // namespace

LoadStats ParseLoadStats(const QString& completeLines) {
    LoadStats stats;
    const QString bytesIn = QString::fromLatin1(TunnelPaths::kBytesInKey);
    const QString bytesOut = QString::fromLatin1(TunnelPaths::kBytesOutKey);
    for (QString line : completeLines.split(QLatin1Char('\n'))) {
        line.remove(QLatin1Char('\r'));
        for (const QString& part : line.split(QLatin1Char(','))) {
            const bool isIn = part.contains(bytesIn);
            const bool isOut = part.contains(bytesOut);
            if (!isIn && !isOut) {
                continue;
            }
            bool ok = false;
            double bytes = part.mid(part.indexOf(QLatin1Char('=')) + 1).trimmed().toDouble(&ok);
            // A counter is a count of bytes: "nan", "inf" or a negative value is no number.
            if (!ok || !std::isfinite(bytes) || bytes < 0) {
                bytes = 0;
            }
            if (isIn) {
                stats.hasDownload = true;
                stats.downloadMiB = bytes / kBytesPerMiB;
            } else {
                stats.hasUpload = true;
                stats.uploadMiB = bytes / kBytesPerMiB;
            }
        }
    }
    return stats;
}

QString TakeCompleteLines(QString& pending, const QString& received) {
    pending += received;
    const int end = pending.lastIndexOf(QLatin1Char('\n'));
    if (end < 0) {
        return QString();
    }
    const QString complete = pending.left(end + 1);
    pending.remove(0, end + 1);
    return complete;
}

double ConvertToMiB(double value, const std::string& unit) {
    if (value < 0) {
        return -1;
    }
    if (unit == "MiB") {
        return value;
    }
    if (unit == "KiB") {
        return value / 1024;
    }
    if (unit == "B") {
        return value / kBytesPerMiB;
    }
    if (unit == "GiB") {
        return value * 1024;
    }
    return -1;
}

void TrimString(std::string& text) {
    const std::string::size_type first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(kWhiteSpace) + 1);
    text.erase(0, first);
}

bool ParseWireGuardTransfer(const std::string& wgShow, const std::string& tunnelName, double* receivedMiB,
                            double* sentMiB) {
    bool found = false;
    const std::string prefix = TunnelPaths::kWireGuardTransferPrefix;
    for (std::string line : TunnelBlock(wgShow, tunnelName, &found)) {
        TrimString(line);
        if (!StartsWith(line, prefix)) {
            continue;
        }
        // "transfer: 1.50 KiB received, 3.00 MiB sent"
        const std::string rest = line.substr(prefix.size());
        const std::string::size_type comma = rest.find(',');
        if (comma == std::string::npos) {
            return false;
        }
        std::string received = rest.substr(0, comma);
        std::string sent = rest.substr(comma + 1);
        double in = 0;
        double out = 0;
        if (!DropTrailingWord(received, " received") || !DropTrailingWord(sent, " sent") ||
            !ReadAmount(received, &in) || !ReadAmount(sent, &out)) {
            return false;
        }
        *receivedMiB = in;
        *sentMiB = out;
        return true;
    }
    return false;
}

WireGuardTunnelState ReadWireGuardTunnelState(const std::string& wgShow, const std::string& tunnelName) {
    WireGuardTunnelState state;
    for (std::string line : TunnelBlock(wgShow, tunnelName, &state.listed)) {
        TrimString(line);
        if (StartsWith(line, "latest handshake:")) {
            state.handshake = true;
        }
    }
    return state;
}

} // namespace TrafficReadings
