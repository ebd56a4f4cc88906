// The fixed texts that the home page, its traffic chart and the profile chooser put on
// their widgets: resource pictures, colours and the style sheets set at run time.
#pragma once

#define KORVA_HOME_RESOURCE_DIR ":/Korva VPN/resources/"

namespace HomeResources {

// Profile chooser rows: the check marks and the add row's icon.
inline constexpr const char* kCheckSelected = KORVA_HOME_RESOURCE_DIR "selectedLight.svg";
inline constexpr const char* kCheckUnselectedLight = KORVA_HOME_RESOURCE_DIR "unselectedLight.svg";
inline constexpr const char* kCheckUnselectedDark = KORVA_HOME_RESOURCE_DIR "selectNormal.svg";
inline constexpr const char* kAddIcon = KORVA_HOME_RESOURCE_DIR "addBlue.svg";

// The brand font family the painted texts use.
inline constexpr const char* kBrandFamily = "Halvex Vento";

// Home page: the status text by state and colour mode.
inline constexpr const char* kStatusTextLight = "#labelConnectStatus{color:#1D2529;}";
inline constexpr const char* kStatusTextDark = "#labelConnectStatus{color:#FFFFFF;}";
inline constexpr const char* kStatusConnected = "#labelConnectStatus{color:#0DC901;}";
inline constexpr const char* kStatusFailed = "#labelConnectStatus{color:#FF3F65;}";
// Home page: the profile button's text, full and dimmed (no profile to show).
inline constexpr const char* kProfileTextLight = "color:#1D2529;";
inline constexpr const char* kProfileTextDark = "color:#FFFFFF;";
inline constexpr const char* kProfileTextDimLight = "color:#661D2529;";
inline constexpr const char* kProfileTextDimDark = "color:#66FFFFFF;";
// Home page: the cards' drop shadows.
inline constexpr const char* kCardShadowLight = "#A0E1E1E1";
inline constexpr const char* kCardShadowDark = "#FF000000";
// The cards' rounding in both style sheets, which their shadows follow.
inline constexpr int kCardCornerRadius = 8;
// What an unknown value reads.
inline constexpr const char* kNoValue = "- -";

// Traffic chart: bars, hover and axis labels.
inline constexpr const char* kBarActive = "#FF0492EB";
inline constexpr const char* kBarHover = "#FF72C1F3";
inline constexpr const char* kBarIdleLight = "#3D1D2529";
inline constexpr const char* kBarIdleDark = "#FF37455C";
inline constexpr const char* kAxisLight = "#A31D2529";
inline constexpr const char* kAxisDark = "#A4FFFFFF";
// Traffic chart's hover pop-up: its body by colour mode.
inline constexpr const char* kDetailLight = "#dialogWidget{background:#A3000000}QLabel{color:#FFFFFFFF}";
inline constexpr const char* kDetailDark = "#dialogWidget{background:#1FFFFFFF}QLabel{color:#FFFFFFFF}";
// The same, opaque, where no compositing manager blends the see-through body: the colours it
// shows over the traffic card it is shown over.
inline constexpr const char* kDetailLightOpaque = "#dialogWidget{background:#5C5C5C}QLabel{color:#FFFFFFFF}";
inline constexpr const char* kDetailDarkOpaque = "#dialogWidget{background:#37404E}QLabel{color:#FFFFFFFF}";

} // namespace HomeResources
