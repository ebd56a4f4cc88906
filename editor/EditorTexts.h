// The fixed texts, patterns, style sheets and paths of the profile editor. The folders of
// the configuration files are the tunnels layer's (TunnelPaths.h); everything else the
// editor writes, logs, matches or shows without translation stands here.
#pragma once

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

// Window and backdrop.
constexpr const char* kDialogStyle = "QDialog{background:#262F3E}";
constexpr const char* kBackdropBodyStyle = "background:#262F3E;border-radius:4px;";
constexpr const char* kDarkShadowColor = "#FF000000";
constexpr const char* kLightShadowColor = "#A09BA1AA";
constexpr int kDarkColorMode = 2;
constexpr int kCornerRadius = 8;
constexpr int kBackdropMargin = 24;
constexpr int kBackdropBlurRadius = 24;
constexpr double kScreenHeightShare = 0.9;

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

// Each kind's configuration file: the tunnels layer's folder, the profile name, the suffix.
constexpr const char* kOpenVPNConfigDir = TunnelPaths::kOpenVPNConfigDir;
constexpr const char* kOpenVPNConfigSuffix = ".ovpn";
constexpr const char* kWireGuardConfigDir = TunnelPaths::kWireGuardConfigDir;
constexpr const char* kWireGuardConfigSuffix = TunnelPaths::kWireGuardConfigExtension;

} // namespace EditorTexts
