// The fixed numbers, item roles, resource paths and files of the Profiles page, its row
// painter and the delete confirmation.
#pragma once

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

// The list's drop shadow.
constexpr const char* kShadowDark = "#FF000000";
constexpr const char* kShadowLight = "#A0E1E1E1";
constexpr int kShadowBlurRadius = 24;

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
