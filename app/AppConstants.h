// The application layer's fixed texts, names and paths: the start and stop log lines,
// the single-instance names, the tray and toast set-up, and the message when elevation fails.
#pragma once

#include <cstddef>

#include "KorvaResourcePaths.h"

namespace AppConstants {

// Log lines of the start and the stop (module 6, level 3).
constexpr const char* kAlreadyRunningLine = "System :: ******** Korva VPN already running! ********\n";
constexpr const char* kStartLine = "System :: ******** Korva VPN Start ********\n";
constexpr const char* kStopLine = "System :: ******** Korva VPN Stop ********\n";
constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;

// Single instance: the lock of the first instance and the name of its local server. Both
// live in root's run folder (RunFolder.h). A lock that cannot be taken ends the start with
// the log line, the message (its text key and its English text for the terminal) and the
// exit code.
constexpr const char* kInstanceLockName = "Korva VPN.exe";
constexpr const char* kLocalServerName = "Korva VPN";
constexpr const char* kInstanceLockFailedLine = "System :: Single-instance lock not taken: %s\n";
constexpr const char* kInstanceLockFailedKey = "ZRVPN_INSTANCE_LOCK_FAILED";
constexpr const char* kInstanceLockFailedText =
    "Korva VPN cannot make sure that it runs only once, so it does not start.";
constexpr int kInstanceLockFailedExitCode = 1;
// A later instance waits this long for the connection and for its write; the first waits
// this long for the data of a connection.
constexpr int kConnectWaitMs = 500;
constexpr int kWriteWaitMs = 30000;
constexpr int kReadWaitMs = 1000;

// How the desktop names the program's windows (in the task bar and Alt+Tab): the X window
// class ("korva-vpn", "Korva VPN": the program file's name and the application's) and the
// desktop entry's name.
constexpr const char* kApplicationName = "Korva VPN";
constexpr const char* kDesktopFileName = "korva-vpn";

// The default translation and the brand font's regular face.
constexpr const char* kDefaultTranslation = KORVA_TRANSLATION_PREFIX "en" KORVA_TRANSLATION_SUFFIX;
constexpr const char* kTranslationDir = KORVA_TRANSLATION_DIR;
constexpr const char* kBrandFontRegular = KORVA_BRAND_FONT_REGULAR;

// Set in the environment by the client benchmark: once the main window has painted its
// first frame the client writes the notice to standard output and ends as on a close.
constexpr const char* kShownNoticeVariable = "KORVA_SHOWN_NOTICE";
constexpr const char* kShownNotice = "korva-vpn: main window shown\n";

// The program's icon (the tray's, and every window's where the desktop shows one) and the
// tray tool tip's text key.
constexpr const char* kTrayIconPath = KORVA_IMAGE_DIR "logo.svg";
constexpr const char* kAppNameKey = "ZRVPN_APP_NAME";

// The main window: the size rule's factor, the shadow, and the pop-up's place above the icon.
constexpr double kSmallScreenFactor = 0.9;
constexpr const char* kShadowColor = "#FF000000";
constexpr int kShadowOffsetX = 0;
constexpr int kShadowOffsetY = 2;
constexpr int kShadowBlurRadius = 24;
// The rounding of the frame's outer corners in both style sheets (the navigation column's
// left corners, the top and bottom strips' right corners).
constexpr int kFrameCornerRadius = 16;
constexpr int kTrayPopupBottomOffset = 24;

// The shared toast's styles by colour mode (dark, and every other mode).
constexpr const char* kToastContainerDark =
    ".QWidget{     border-radius:5px;     background-color: #262F3E;}";
constexpr const char* kToastTextDark = "QLabel{     padding-left: 16px;     padding-right: 16px;     color: "
                                       "rgba(255,255,255,0.80);     font: 11pt;}";
constexpr const char* kToastContainerLight =
    ".QWidget{     border-radius:5px;     background-color: #E5F3FF;}";
constexpr const char* kToastTextLight =
    "QLabel{     padding-left: 16px;     padding-right: 16px;     color: rgba(0,0,0,0.80);     font: 11pt;}";

// The message that the client needs administrator rights (when elevation is impossible
// or refused): its text key, and its English text for the terminal.
constexpr const char* kNeedAdminKey = "ZRVPN_NEED_ADMIN_RIGHTS";
constexpr const char* kNeedAdminText =
    "Korva VPN needs administrator rights to set up VPN connections. Please start it again and "
    "confirm with an administrator's password.";

// Connecting: the status tick, the completion polls and their limit, the WireGuard wait,
// toasts, how long the close of the main window waits for the tunnel's programs to end
// (ConnectionTimings takes these as its defaults), and how much of openvpn's output is
// kept between two reads (more than its longest line the client looks for).
constexpr int kStatusTickMs = 1000;
constexpr int kConnectPollMs = 2000;
constexpr int kConnectPollLimitMs = 15000;
constexpr int kWireGuardWaitMs = 5000;
constexpr int kToastDurationMs = 1500;
constexpr int kQuitWaitMs = 15000;
constexpr size_t kOpenVPNOutputTail = 512;
// A management reply line longer than this is garbage and dropped.
constexpr int kManagementLineLimit = 65536;

// The connection's log lines: the status changes (profile name and kind name), then each
// road's own.
constexpr const char* kConnectingLine = "VPN :: Status: Connecting; Porfile: { %s }; Type: { %s } \n";
constexpr const char* kDisconnectLine = "VPN :: Status: Disconnect; Porfile: { %s }; Type: { %s } \n";
constexpr const char* kConnectedLine = "VPN :: Status: Connected; Porfile: { %s }; Type: { %s } \n";
constexpr const char* kConnectFailedLine = "VPN :: Status: Connect failed; Porfile: { %s }; Type: { %s } \n";
constexpr const char* kCancelConnectLine = "VPN :: Status: Cancel connect; Porfile: { %s }; Type: { %s } \n";
constexpr const char* kOpenVPNConnectLine = "OpenVPN :: OpenVPN Connect: %s \n";
constexpr const char* kOpenVPNLeftOutLine =
    "OpenVPN :: Profile line %d: '%s' is left out: a profile may not run "
    "programs, load code, write files, read files by their path, serve or take the management "
    "interface\n";
constexpr const char* kOpenVPNFinishedLine = "OpenVPN :: connect finished, errorcode = %d \n";
constexpr const char* kOpenVPNFileFailedLine = "OpenVPN :: open file %s failed! \n";
constexpr const char* kOpenVPNRemoveFailedLine = "OpenVPN :: remove file %s failed!";
constexpr const char* kOpenVPNDisconnectLine =
    "OpenVPN :: OpenVPN Disconnect: terminate OpenVPN connection\n";
constexpr const char* kOpenVPNNoRecordLine = "OpenVPN :: Failed to query OpenVPN profile info: %s \n";
constexpr const char* kOpenVPNBadNameLine = "OpenVPN :: Invalid profile name for a configuration file: %s \n";
constexpr const char* kOpenVPNEndedLine = "OpenVPN :: OpenVPN ended by itself; its last words: \n%s\n";
// openvpn's output read while connecting, beyond the process runner's one read a tick.
constexpr const char* kOpenVPNOutputLine = "System :: OpenVPN Connect: \n%s";
// How much of what openvpn said last is kept for the reason of its end.
constexpr size_t kOpenVPNEndTail = 4096;
constexpr const char* kWireGuardNoPathLine = "WireGuard :: failed get project path! \n";
constexpr const char* kWireGuardConfigFailedLine = "WireGuard :: Faile to generate wireguard config: %s \n";
constexpr const char* kWireGuardConnectLine = "WireGuard :: WireGuard Connect: %s \n";
constexpr const char* kWireGuardValueRefusedLine =
    "WireGuard :: Connect refused: the %s value of profile %s is not allowed \n";
constexpr const char* kWireGuardNotUpLine = "WireGuard :: Tunnel %s is not up after the wait \n";
constexpr const char* kWireGuardNoAnswerLine = "WireGuard :: The peer of tunnel %s did not answer \n";
constexpr const char* kIPSecNoPathLine = "IPSec :: failed get project path! \n";
constexpr const char* kIPSecNoPathOnResultLine = "IPSec :: Error::failed get project path! \n";
constexpr const char* kIPSecNoRecordLine = "IPSec :: Failed to query IPSecVPN Profile info......\n";
constexpr const char* kIPSecPrepareFailedLine = "IPSec :: Error::IPSecVPN Connection Pre-job Failed.\n";
constexpr const char* kIPSecFinishedLine = "IPSec :: connect finished, errorcode = %d \n";
constexpr const char* kIPSecDisconnectLine = "IPSec :: IPSecVPN Disconnect: terminate IPSec connection\n";

// The kinds' names in the log lines, by VPNType 1 to 4.
constexpr const char* kKindLogNames[] = {"IPsec VPN", "SSL VPN", "Open VPN", "WireGuard VPN"};

// The texts shown while connecting (keys of ZRStringConstant).
constexpr const char* kTimeoutToastKey = "TOAST_VPN_CONNECTION_TIMEOUT";
constexpr const char* kIPSecFailureToastKey = "TOAST_IPSEC_CONNECTION_FAILURE";
constexpr const char* kPrepareFailedKey = "ZRVPN_CONNECT_PREPARE_FAILED";
constexpr const char* kProfileNameUnusableKey = "ZRVPN_PROFILE_NAME_UNUSABLE";
constexpr const char* kWireGuardNotUpKey = "ZRVPN_WIREGUARD_NOT_UP";
// "%1": the key of the configuration whose value is not allowed (DNS, Address, ...).
constexpr const char* kWireGuardValueRefusedKey = "ZRVPN_WIREGUARD_VALUE_REFUSED";
constexpr const char* kWireGuardNoAnswerKey = "ZRVPN_WIREGUARD_NO_ANSWER";
constexpr const char* kCredentialsTooLongKey = "ZRVPN_CREDENTIALS_TOO_LONG";
constexpr const char* kTapCreationFailedKey = "ZRVPN_TAP_ADAPTER_CREATE_FAILED";
// Why openvpn ended by itself while connecting or connected, as far as it said.
constexpr const char* kOpenVPNEndedKey = "ZRVPN_OPENVPN_ENDED";
constexpr const char* kOpenVPNPortInUseKey = "ZRVPN_OPENVPN_PORT_IN_USE";
constexpr const char* kOpenVPNAuthFailedKey = "ZRVPN_OPENVPN_AUTH_FAILED";
constexpr const char* kOpenVPNTlsErrorKey = "ZRVPN_OPENVPN_TLS_ERROR";
constexpr const char* kOpenVPNNoAnswerKey = "ZRVPN_OPENVPN_NO_ANSWER";
constexpr const char* kOpenVPNConfigErrorKey = "ZRVPN_OPENVPN_CONFIG_ERROR";

} // namespace AppConstants
