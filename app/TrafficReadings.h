// The texts from which the connection's traffic is read: the OpenVPN management
// interface's "load-stats" replies and the output of "wg show". Pure functions, so that
// the readings can be checked against recorded outputs.
#pragma once

#include <QString>
#include <string>

namespace TrafficReadings {

// One OpenVPN counter reading in MiB. A field the reply did not carry is left out, and
// the caller keeps its previous total for it.
struct LoadStats {
    bool hasDownload = false;
    bool hasUpload = false;
    double downloadMiB = 0;
    double uploadMiB = 0;
};

// Reads "bytesin=" (received: download) and "bytesout=" (sent: upload) from complete
// reply lines; of several lines the last one counts. A field whose value is no number
// reads as 0.
LoadStats ParseLoadStats(const QString& completeLines);

// Appends what the management interface sent to `pending` and returns the complete
// lines in it, leaving an incomplete last line in `pending` for the next read, so that a
// number cut between two reads is never taken for the whole number.
QString TakeCompleteLines(QString& pending, const QString& received);

// A value with its unit ("B", "KiB", "MiB", "GiB") in MiB; -1 for a negative value or
// any other unit.
double ConvertToMiB(double value, const std::string& unit);

// Removes leading and trailing blanks, tabs, line feeds, vertical tabs, form feeds and
// carriage returns in place.
void TrimString(std::string& text);

// The transfer line of the tunnel's block in "wg show": its received and sent totals in
// MiB. False, leaving both untouched, when the block, its transfer line or a readable
// number with a known unit is missing. Lines may end in LF or CR LF; the block is the
// one whose heading names the tunnel exactly.
bool ParseWireGuardTransfer(const std::string& wgShow, const std::string& tunnelName, double* receivedMiB,
                            double* sentMiB);

// What "wg show" says of a tunnel: whether its interface is listed and whether a
// handshake with its peer has completed.
struct WireGuardTunnelState {
    bool listed = false;
    bool handshake = false;
};
WireGuardTunnelState ReadWireGuardTunnelState(const std::string& wgShow, const std::string& tunnelName);

} // namespace TrafficReadings
