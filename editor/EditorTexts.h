// The fixed texts, patterns, style sheets and paths of the profile editor. The folders of
// the configuration files are the tunnels layer's (TunnelPaths.h); everything else the
// editor writes, logs, matches or shows without translation stands here.
#pragma once

#include <QtGlobal>

#include "KorvaResourcePaths.h"
#include "TunnelPaths.h"

namespace EditorTexts {

// Log records: the editor's module and level.
constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
constexpr const char* kStartSavingLine = "System :: Start Saving Profile\n";
constexpr const char* kEndSavingLine = "System :: Ending Saving Profile\n";
constexpr const char* kDeleteOvpnFailedLine = "OpenVPN :: delete file %s failed!";
constexpr const char* kNameEmptyLine = "System :: proflie name is Empty\n";
constexpr const char* kNameTooLongLine = "System :: proflie name set value is too long, [length:%d]\n";
constexpr const char* kNameInvalidLine = "System :: profile name set value is invalid\n";
constexpr const char* kNameAllSpaceLine = "System :: profile name set value is all space\n";
constexpr const char* kNameIdeographLine = "System :: profile name invalid\n";
// Lines of this program's own: a name that cannot name a file or an argument, and one that
// would show as something other than its characters.
constexpr const char* kNameNotFileNameLine = "System :: profile name cannot name a file\n";
constexpr const char* kNameShowsOtherwiseLine = "System :: profile name shows as something else\n";

// The profile-name rule: byte limits by kind, the highest code point, the ideographs refused.
constexpr int kNameMaxBytes = 128;
constexpr int kWireGuardNameMaxBytes = 32;
constexpr int kNameMaxCodePoint = 0xD7FF;
constexpr int kIdeographFirst = 0x4E00;
constexpr int kIdeographLast = 0x9FA5;

// The field rules, each matched against the whole text (QRegExp, case-sensitive).
constexpr const char* kIpPattern =
    "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";
constexpr const char* kPortPattern =
    "^([1-9]|[1-9]\\d|[1-9]\\d{2}|[1-9]\\d{3}|[1-5]\\d{4}|6[0-4]\\d{3}|65[0-4]\\d{2}|"
    "655[0-2]\\d|6553[0-5])$";
constexpr const char* kKeepAlivePattern = "^([0-9]|[1-9]\\d|[1-9]\\d{2}|[1-9]\\d{3}|[1-5]\\d{4}|6[0-4]\\d{3}|"
                                          "65[0-4]\\d{2}|655[0-2]\\d|6553[0-5])$";
constexpr const char* kMaskPattern = "^(0|[0-9]|[1-2][0-9]|3[0-2])$";
constexpr const char* kDpdPeriodPattern = "^([0-9]{1,5})$";
constexpr const char* kUserPattern = "^[0-9a-zA-Z_]{1,20}$";
constexpr const char* kPasswordPattern = "^[\\x00-\\xff]{1,64}$";
constexpr const char* kWordPattern = "^\\w+$";
// The pre-shared key's typing limit (QRegularExpression): printable characters only, no
// control, format or private-use character; its length is the save's profile-name rule.
constexpr const char* kPresharedKeyPattern = "^\\P{C}*$";

// Window and backdrop.
constexpr const char* kDialogStyle = "QDialog{background:#262F3E}";
constexpr const char* kBackdropBodyStyle = "background:#262F3E;border-radius:4px;";
constexpr const char* kDarkShadowColor = "#FF000000";
constexpr const char* kLightShadowColor = "#A09BA1AA";
constexpr int kDarkColorMode = 2;
constexpr int kCornerRadius = 8;
constexpr int kBackdropMargin = 24;
// The rounding of the backdrop's body in kBackdropBodyStyle.
constexpr int kBackdropCornerRadius = 4;
constexpr int kBackdropBlurRadius = 24;
constexpr double kScreenHeightShare = 0.9;
// The scroll area's least height in the form, which a screen too low for the form lowers.
constexpr int kScrollAreaFormHeight = 670;

// Buttons: the font their widths are measured in, and the clear-file button.
constexpr const char* kButtonFontFamily = KORVA_BRAND_FONT_FAMILY;
constexpr int kButtonFontPointSize = 11;
constexpr int kButtonTextPadding = 24;
constexpr int kAddButtonTextPadding = 34;
constexpr const char* kClearFileButtonStyle =
    "QPushButton{image:url(" KORVA_IMAGE_DIR "cancel.svg);border:none;background:transparent;}";
constexpr int kClearFileButtonSize = 24;
constexpr int kClearFileButtonRightGap = 8;

// Remote-subnet rows.
constexpr const char* kSubnetLabelName = "Subnets";
// The dialog's property that holds the width of the form's caption column, which the
// captions of the remote-subnet rows take too.
constexpr const char* kCaptionWidthProperty = "captionWidth";
constexpr int kCaptionWidth = 140;
constexpr int kCaptionHeight = 32;
constexpr const char* kSubnetMaskName = "Submasks";
constexpr const char* kSubnetSeparator = "/";
constexpr const char* kSubnetItemSeparator = ", ";
constexpr const char* kDeleteRowIcon = KORVA_IMAGE_DIR "deleteNormal.png";
constexpr const char* kDeleteRowStyle = "background: transparent;border:none;";
// A container holds its layout and one child per row.
constexpr int kMaxChildren = 6;
constexpr int kMaxIPSecChildren = 14;
constexpr int kMaxRows = kMaxChildren - 1;
constexpr int kMaxIPSecRows = kMaxIPSecChildren - 1;

// The phase-two encryption entry while AH is chosen, and the ESP algorithms.
constexpr const char* kNoEncryptionEntry = "--";
constexpr const char* kEspEncryptions[] = {"des", "3des", "aes128", "aes192", "aes256"};

// Marks of a failed check, and the sheets that restore a field.
constexpr const char* kLineEditError = "QLineEdit{border:1px solid red }";
constexpr const char* kAddressError = "ZRInputIpLineEdit{border:1px solid red }";
constexpr const char* kFrameError =
    "QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#btnOpenVPNImport{border:1px solid red }";
constexpr const char* kLineEditNormal = "QLineEdit{border:none}QLineEdit:focus{border:1px solid #04B0FF}";
constexpr const char* kFocusFrame = "QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#widgetDPDNum,"
                                    "#widgetKeepAlive{border:1px solid #04B0FF}QLineEdit{border:none}"
                                    "QLineEdit:focus{border:none}";
constexpr const char* kPlainFrame = "QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#widgetDPDNum,"
                                    "#widgetKeepAlive{border:none }QLineEdit{border:none}"
                                    "QLineEdit:focus{border:none}";
constexpr const char* kAddressPlain = "ZRInputIpLineEdit{border:none }";

// Text keys (translation context ZRStringConstant).
constexpr const char* kAddProfileTitle = "ZRVPN_ADD_NEW_PROFILE";
constexpr const char* kEditProfileTitle = "ZRVPN_EDIT_PROFILE";
constexpr const char* kKindKeys[] = {"ZRVPN_IPSEC_VPN", "ZRVPN_SSL_TUNNEL_VPN", "ZRVPN_OPEN_VPN",
                                     "ZRVPN_WIREGUARD_VPN"};
constexpr const char* kRemoteSubnetKey = "ZRVPN_PROFILE_REMOTE_SUBNET";
constexpr const char* kNameValidTip = "ZRVPN_PROFILE_NAME_VALID_TIP";
constexpr const char* kWireGuardNameValidTip = "ZRVPN_PROFILE_WIREGUARD_VALID_TIP";
constexpr const char* kNameExistTip = "ZRVPN_PROFILE_ERROR_NAME_EXIST";
constexpr const char* kKeyLengthTip = "ZRVPN_PROFILE_NAME_LENGTH_TIP";
constexpr const char* kSaveFailedTip = "ZRVPN_PROFILE_SAVE_FAILED";
constexpr const char* kFileMissingTip = "ZRVPN_PROFILE_FILE_MISSING";

// Each kind's configuration file: the tunnels layer's folder, the profile name, the suffix.
constexpr const char* kOpenVPNConfigDir = TunnelPaths::kOpenVPNConfigDir;
constexpr const char* kOpenVPNConfigSuffix = ".ovpn";
constexpr const char* kWireGuardConfigDir = TunnelPaths::kWireGuardConfigDir;
constexpr const char* kWireGuardConfigSuffix = TunnelPaths::kWireGuardConfigExtension;
// The configuration files hold keys and certificates: only their owner reads them.
constexpr unsigned kConfigFileMode = 0600;

// Import of an OpenVPN configuration file.
constexpr const char* kImportCaption = "Select Profile";
constexpr const char* kImportFilter = "*.ovpn";
constexpr const char* kImportSuffix = "ovpn";
constexpr int kImportFileNameRoom = 12;

// The lines of a profile's OpenVPN copy: the directives replaced and the lines appended.
constexpr const char* kAuthUserPassDirective = "auth-user-pass";
constexpr const char* kRemoteDirective = "remote";
constexpr const char* kCredentialLinePattern = "auth-user-pass %1\\%2";
constexpr const char* kCredentialFile = TunnelPaths::kOpenVPNPasswordFile;
constexpr const char* kRemotePattern = "remote %1 %2";
constexpr const char* kDnsOptionPattern = "dhcp-option DNS %1";
constexpr const char* kWinsOptionPattern = "dhcp-option WINS %1";
constexpr const char* kRoutePattern = "route %1 %2";
// The first "remote" line's port when it names none: the file's "port" or "rport", else
// openvpn's own; a protocol word the copy keeps on that line.
constexpr const char* kPortDirective = "port";
constexpr const char* kRemotePortDirective = "rport";
constexpr const char* kDefaultOpenVPNPort = "1194";
constexpr const char* kProtocolPattern = "^[A-Za-z0-9-]+$";
// The directives whose file the import reads and keeps inline, and their special words.
constexpr const char* kInlineFileDirectives[] = {"ca",
                                                 "cert",
                                                 "key",
                                                 "extra-certs",
                                                 "dh",
                                                 "pkcs12",
                                                 "tls-auth",
                                                 "tls-crypt",
                                                 "tls-crypt-v2",
                                                 "secret",
                                                 "crl-verify",
                                                 "http-proxy-user-pass",
                                                 "auth-gen-token-secret"};
constexpr const char* kInlineWord = "[inline]";
constexpr const char* kDhDirective = "dh";
constexpr const char* kNoneWord = "none";
constexpr const char* kPkcs12Directive = "pkcs12";
constexpr int kBase64LineLength = 64;
constexpr const char* kTlsAuthDirective = "tls-auth";
constexpr const char* kSecretDirective = "secret";
constexpr const char* kKeyDirectionDirective = "key-direction";
constexpr const char* kHttpProxyDirective = "http-proxy";
constexpr const char* kHttpProxyUserPassDirective = "http-proxy-user-pass";
constexpr const char* kStdinWord = "stdin";
constexpr const char* kAutoWord = "auto";
constexpr const char* kAutoNctWord = "auto-nct";
constexpr const char* kBasicWord = "basic";
// What names a folder, or a file openvpn reads only from the disk.
constexpr const char* kCaPathDirective = "capath";
constexpr const char* kAskPassDirective = "askpass";
constexpr const char* kCrlVerifyDirective = "crl-verify";
constexpr const char* kCrlVerifyFolderWord = "dir";
constexpr const char* kSocksProxyDirective = "socks-proxy";
// How much of a file the import reads: the configuration, and each file it names.
constexpr qint64 kImportMaxBytes = 16 * 1024 * 1024;
constexpr qint64 kImportedFileMaxBytes = 1024 * 1024;
// The refusals of an import, naming the line: its number, the file's name, the directive
// or the file the line names.
constexpr const char* kImportUnsafeKey = "ZRVPN_PROFILE_IMPORT_UNSAFE_LINE";
constexpr const char* kImportUnreadableKey = "ZRVPN_PROFILE_IMPORT_FILE_UNREADABLE";
constexpr const char* kImportNotKeptKey = "ZRVPN_PROFILE_IMPORT_NOT_KEPT";
constexpr const char* kImportServerKey = "ZRVPN_PROFILE_IMPORT_SERVER_LINE";
// A save refused for a line of the stored configuration: its number, its directive.
constexpr const char* kSaveBarredKey = "ZRVPN_PROFILE_SAVE_BARRED_LINE";
constexpr const char* kCopyBarredLine =
    "OpenVPN :: line %d of the configuration refused, the profile is not saved: %s\n";
constexpr const char* kImportRefusedLine = "OpenVPN :: import of %s refused at line %d: %s\n";
constexpr const char* kCopyDroppedLine = "OpenVPN :: line %d of the configuration not written: %s\n";
constexpr const char* kOpenFileFailedLine = "OpenVPN :: open file failed!";
constexpr const char* kOpenPathFailedLine = "OpenVPN :: open file %s failed!";
constexpr const char* kRemoveOvpnFailedLine = "OpenVPN :: remove file %s failed!";
constexpr const char* kRemoveSslFailedLine = "SSLVPN :: remove file %s failed!";
constexpr const char* kSaveFailedLine = "System :: Profile not saved: %s\n";
constexpr const char* kWireGuardValueNotSavedLine =
    "WireGuard :: Profile not saved: its %s value is not allowed in wireguard config\n";

// The WireGuard key tool, run without a shell: the key reaches "wg pubkey" on its input.
constexpr const char* kGenKeyCommand = "./bin/Wireguard/wg genkey";
constexpr const char* kPubKeyCommandPrefix = "cmd.exe /c echo ";
constexpr const char* kPubKeyCommandSuffix = " | ./bin/Wireguard/wg pubkey";
constexpr const char* kKeyPattern =
    "^([A-Za-z0-9+/]{4})*([A-Za-z0-9+/]{4}|[A-Za-z0-9+/]{3}=|[A-Za-z0-9+/]{2}==)$";
constexpr int kKeyLength = 44;

// The IPsec proposals: the text key each combo entry shows and the name stored for it.
struct Proposal {
    const char* textKey;
    const char* stored;
};
constexpr Proposal kHashProposals[] = {
    {"md5", "md5"}, {"sha1", "sha1"}, {"sha256", "sha256"}, {"sha384", "sha384"}, {"sha512", "sha512"}};
constexpr Proposal kEncryptionProposals[] = {
    {"des", "des"}, {"3des", "3des"}, {"aes128", "aes128"}, {"aes192", "aes192"}, {"aes256", "aes256"}};
// Phase one offers no "des": its entries start one place behind the list above.
constexpr int kPhaseOneEncryptionOffset = 1;
constexpr Proposal kKeyGroupProposals[] = {{"dh1", "modp768"},   {"dh2", "modp1024"},  {"dh5", "modp1536"},
                                           {"dh14", "modp2048"}, {"dh15", "modp3072"}, {"dh16", "modp4096"},
                                           {"dh19", "ecp256"},   {"dh20", "ecp384"},   {"dh21", "ecp521"},
                                           {"dh25", "ecp192"},   {"dh26", "ecp224"}};
// The local-address combo's text for no saved address.
constexpr const char* kNoLocalAddress = "--";
// What the store's records hold at most: 127 bytes of text, 511 of a path.
constexpr int kRecordTextMaxBytes = 127;
constexpr int kRecordPathMaxBytes = 511;
// How long a save failure shows.
constexpr int kSaveFailureToastMs = 4000;

} // namespace EditorTexts
