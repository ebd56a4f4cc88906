// The fixed numbers, item roles, resource paths, files and log lines of the pages: the
// Profiles page with its row painter, the delete confirmation, export and import; the
// Settings page with its language and colour-mode selectors, and the log viewer.
#pragma once

#include <QtGlobal>

namespace ProfilePage {

// Rows of one page of the list, and the most numbered pager buttons.
constexpr int kPageSize = 7;
constexpr int kMaxPagerButtons = 7;

// Item data of a row (the toolkit's first user role, 256, is not used).
constexpr int kRoleConfigID = 100;    // column 1: ConfigID
constexpr int kRoleProfileID = 101;   // column 1: ProfileID; -1 in every cell of the placeholder row
constexpr int kRoleProfileName = 102; // column 1: ProfileName
constexpr int kRoleConnected = 103;   // columns 1 and 3: the profile is connecting or connected
constexpr int kRoleProfileType = 104; // column 1: ProfileType, which edit and delete act on
constexpr int kPlaceholderID = -1;

// Columns of the list.
constexpr int kColumnName = 1;
constexpr int kColumnType = 2;
constexpr int kColumnAction = 3;
constexpr int kColumnCount = 4;
constexpr int kFirstColumnWidth = 10;
constexpr int kActionColumnWidth = 150;

// The list widget's own rule for its row height: one placeholder row or rows of 52 px.
constexpr const char* kPlaceholderRowStyle = "#profileTreeWidget::item{height:364px;}";
constexpr const char* kRowStyle = "#profileTreeWidget::item{height:52px;}";

// Arrow buttons over the header: fixed size, and their places from the name title's width.
constexpr int kArrowSize = 8;
constexpr int kArrowGap = 45;
constexpr int kArrowUpBottom = 27;
constexpr int kArrowDownTop = 25;

// The list's drop shadow, beneath its rounded outline (the style sheets' radius).
constexpr const char* kShadowDark = "#FF000000";
constexpr const char* kShadowLight = "#A0E1E1E1";
constexpr int kShadowBlurRadius = 24;
constexpr qreal kListCornerRadius = 8;

// How long the in-use toast shows.
constexpr int kToastMs = 1500;

// Extra width of the three buttons beyond their text when the language changes.
constexpr int kExportExtraWidth = 20;
constexpr int kImportExtraWidth = 20;
constexpr int kAddExtraWidth = 44;

#define KORVA_PAGE_RESOURCE ":/Korva VPN/resources/"
#define KORVA_ARROW_STYLE(file)                                                                              \
    "QPushButton{border:none;background-color:transparent;image: url(" KORVA_PAGE_RESOURCE file ");}"

// Arrow images by sort state (0 database order, 1 names descending, 2 names ascending),
// normal and dark.
constexpr const char* kSortUpStyle[3][2] = {
    {KORVA_ARROW_STYLE("sortUp.png"), KORVA_ARROW_STYLE("sortUpDark.png")},
    {KORVA_ARROW_STYLE("sortUpHover.png"), KORVA_ARROW_STYLE("sortUpHoverDark.png")},
    {KORVA_ARROW_STYLE("sortUp.png"), KORVA_ARROW_STYLE("sortUpDark.png")},
};
constexpr const char* kSortDownStyle[3][2] = {
    {KORVA_ARROW_STYLE("sortDown.png"), KORVA_ARROW_STYLE("sortDownDark.png")},
    {KORVA_ARROW_STYLE("sortDown.png"), KORVA_ARROW_STYLE("sortDownDark.png")},
    {KORVA_ARROW_STYLE("sortDownHover.png"), KORVA_ARROW_STYLE("sortDownHoverDark.png")},
};

// Row painter: icons and the no-profile picture.
constexpr const char* kConnectIcon = KORVA_PAGE_RESOURCE "connect.svg";
constexpr const char* kDisconnectIcon = KORVA_PAGE_RESOURCE "disconnect.svg";
constexpr const char* kEditIcon = KORVA_PAGE_RESOURCE "editNormal.png";
constexpr const char* kDeleteIcon = KORVA_PAGE_RESOURCE "deleteNormal.png";
constexpr const char* kNoDataImage = KORVA_PAGE_RESOURCE "NoData.png";
constexpr const char* kNoDataDarkImage = KORVA_PAGE_RESOURCE "NoDataDark.png";

#undef KORVA_ARROW_STYLE
#undef KORVA_PAGE_RESOURCE

// A profile's configuration file, removed with the profile: the kind's folder (TunnelPaths)
// + "/" + name + extension, relative to the working directory.
constexpr const char* kOpenVPNConfigExtension = ".ovpn";

// The line of a failed read of the profile list (module 6, level 3), with the result.
constexpr const char* kReadFailedLine =
    "WireGuard :: Faile SELECT * FROM PROFILE ORDER BY ProfileID DESC = %d \n";

} // namespace ProfilePage

// Export and import of the whole profile store.
namespace ProfileTransfer {

// In the data folder: the store, and export's plain copy of it while it is enciphered.
constexpr const char* kStoreFile = "vpn.db";
constexpr const char* kStoreCopyFile = "tempvpn.db";
// Both data-folder paths are formed in buffers of this size, terminator included.
constexpr int kDataPathBufferSize = 512;
// Export's enciphered file and import's deciphered ones, relative to the working folder
// (the cipher writes the first two). The deciphered file is renamed to the database name
// before it is opened; the cipher's temporary files carry a six-character suffix.
constexpr const char* kEncryptedFile = "./Config/encrypted.cfg";
constexpr const char* kDecryptedFile = "./Config/decrypted.cfg";
constexpr const char* kDecryptedDatabase = "./Config/decrypted.db";
constexpr const char* kConfigFolder = "./Config";
constexpr const char* kDecryptedTempPattern = "decrypted.cfg.??????";
// The renamed file: the deciphered file's name without its last four characters + this.
constexpr const char* kDatabaseSuffix = ".db";

// The file dialogs: captions, the export's suggested name (prefix and local time) and the
// filter; the suffix a name typed without one gets.
constexpr const char* kSaveCaption = "save file";
constexpr const char* kOpenCaption = "Select Profile";
constexpr const char* kExportNamePrefix = "KorvaVPN_";
constexpr const char* kExportTimeFormat = "yyyy-MM-dd_hh-mm-ss";
constexpr const char* kFileFilter = "*.cfg";
constexpr const char* kFileSuffix = "cfg";

// A file larger than this is no export of a profile store: it is refused before it is
// deciphered into memory.
constexpr qint64 kMaxImportFileBytes = 256 * 1024 * 1024;

// Log lines (module 6; the level stands with each use).
constexpr const char* kCopyStoreFailedLine = "WireGuard :: Faile to copy vpn.db file!!!\n";
constexpr const char* kCopyEncryptedFailedLine = "WireGuard :: Faile to copy encryption file!!!\n";
constexpr const char* kEncryptFailedLine = "System :: Faile to encryption file!!!\n";
constexpr const char* kDecryptFailedLine = "System :: Faile to decryption file from import!!!";
constexpr const char* kDeleteFailedLine = "System :: Faile to delete file: %s \n";
constexpr const char* kReaderInitFailedLine = "System :: Failed to init IPCSqlite!\n";
constexpr const char* kReaderDeInitFailedLine = "System :: Failed to DeInit Sqlite!\n";
constexpr const char* kImportIPSecFailedLine = "IPSec :: Failed to import ipsec info!\n";
constexpr const char* kImportOpenVPNFailedLine = "WireGuard :: Failed to import open vpn info!\n";
constexpr const char* kImportWireGuardFailedLine = "WireGuard :: Failed to import wireguard info!\n";
constexpr const char* kIPSecReadFailedLine = "IPSec :: importIPSecInfo::GetIPSecProfileByID Failed.\n";
constexpr const char* kIPSecAddFailedNamedLine =
    "IPSec :: importIPSecInfo::AddIPSecInfo Failed. ProfileName: %s\n";
constexpr const char* kIPSecAddFailedLine = "IPSec :: importIPSecInfo::AddIPSecInfo Failed.\n";
constexpr const char* kIPSecInsertFailedLine =
    "IPSec :: importIPSecInfo::InsertProfile Failed. ProfileName: %s\n";
constexpr const char* kWireGuardConfigFailedLine = "WireGuard :: Faile to generate wireguard config: %s \n";
// Lines of this program's own: a file refused before anything was merged, a row of an
// unknown kind, a file too large, and a merge that was undone.
constexpr const char* kImportRefusedLine = "System :: Import file refused: %s\n";
constexpr const char* kUnknownKindLine = "System :: Import skips a profile of unknown type %d\n";
constexpr const char* kImportTooLargeLine = "System :: Import file too large: %lld bytes\n";
constexpr const char* kImportUndoneLine = "System :: Import undone: nothing was merged\n";
// The chosen file before it is read: cannot be opened, not a regular file (its type
// bits), another user's file (its owner and the user); and the one sync of the merged
// WireGuard files that failed.
constexpr const char* kImportUnreadableLine = "System :: Import file cannot be opened: %s\n";
constexpr const char* kImportNotRegularLine = "System :: Import file is not a regular file: type %o\n";
constexpr const char* kImportNotOwnLine = "System :: Import file belongs to user %u, not to user %u\n";
constexpr const char* kImportSyncFailedLine = "System :: Import could not sync its WireGuard files: %s\n";

} // namespace ProfileTransfer

// The Settings page, its selectors and the log viewer.
namespace SettingPage {

// The panels' drop shadow, beneath their rounded outline (the style sheets' radius).
constexpr const char* kShadowDark = "#FF000000";
constexpr const char* kShadowLight = "#A0E1E1E1";
constexpr int kShadowBlurRadius = 24;
constexpr qreal kPanelCornerRadius = 8;

// The colour-mode rows' icons: 24x24, the dark set while the dark style sheet is applied.
constexpr int kModeIconSize = 24;
#define KORVA_SETTING_RESOURCE ":/Korva VPN/resources/"
constexpr const char* kModeIconsDark[3] = {KORVA_SETTING_RESOURCE "system.svg",
                                           KORVA_SETTING_RESOURCE "lightMode.svg",
                                           KORVA_SETTING_RESOURCE "darkMode.svg"};
constexpr const char* kModeIconsNormal[3] = {KORVA_SETTING_RESOURCE "SystemLight.svg",
                                             KORVA_SETTING_RESOURCE "normalModeLight.svg",
                                             KORVA_SETTING_RESOURCE "darkModeLight.svg"};
#undef KORVA_SETTING_RESOURCE

// Text keys of the selectors' rows.
constexpr const char* kFollowSystemKey = "ZRVPN_SETTING_FELLOW_THE_SYSTEM";
constexpr const char* kNormalModeKey = "ZRVPN_SETTING_NORMAL_MODE";
constexpr const char* kDarkModeKey = "ZRVPN_SETTING_DARK_MODE";
// Row 1 of the language selector is never translated.
constexpr const char* kEnglishRow = "English";

// The logs button: its text measured in the brand font at 11 points, plus this much.
constexpr const char* kMeasureFontFamily = "Halvex Vento";
constexpr int kLogsFontPointSize = 11;
constexpr int kLogsExtraWidth = 30;
// The form's widths of the captions of both panels and of the two selectors.
constexpr int kCaptionWidth = 150;
constexpr int kSelectorWidth = 248;
constexpr int kSelectorMaximumWidth = 250;

// Log lines (module 6, level 3).
constexpr const char* kAutoStartFailedLine = "System :: Failed to set auto start status!\n";
constexpr const char* kAutoStartLine = "System :: Set auto start status: %s!\n";
constexpr const char* kReconnectionLine = "System :: Set reconnection status: %s!\n";
constexpr const char* kNATTraversalLine = "System :: Set NAT Traversal status: %s!\n";
constexpr const char* kThemeSystemLine = "System :: Set theme mode to { System }\n";
constexpr const char* kThemeNormalLine = "System :: Set theme mode to { Normal }\n";
constexpr const char* kThemeDarkLine = "System :: Set theme mode to { Dark }\n";
constexpr const char* kTranslationFailedLine = "System :: Failed to load translation: %s\n";
constexpr const char* kOn = "ON";
constexpr const char* kOff = "OFF";

} // namespace SettingPage
