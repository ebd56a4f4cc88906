// Resource paths that the widget kit's own code names. The images themselves live in
// the resource bundle (resources/); the style sheets address everything else.
#pragma once

#define ZR_RESOURCE_DIR ":/Korva VPN/resources/"
#define ZR_IMAGE_STYLE(file) "image: url(" ZR_RESOURCE_DIR file ");"
#define ZR_ARROW_STYLE(file) "QPushButton{border:none;background-color:transparent;" ZR_IMAGE_STYLE(file) "}"

namespace WidgetResources {

// Pager: previous and next buttons.
inline constexpr const char* kPagerPrevDark = ZR_IMAGE_STYLE("Left.svg");
inline constexpr const char* kPagerNextDark = ZR_IMAGE_STYLE("Right.svg");
inline constexpr const char* kPagerPrevLight = ZR_IMAGE_STYLE("LeftNormalLight.svg");
inline constexpr const char* kPagerNextLight = ZR_IMAGE_STYLE("RightNormalLight.svg");

// Header: the two sort arrows, plain and highlighted.
inline constexpr const char* kSortUpNormal = ZR_ARROW_STYLE("sortUpNormal.svg");
inline constexpr const char* kSortUpHover = ZR_ARROW_STYLE("sortUpHover.svg");
inline constexpr const char* kSortDownNormal = ZR_ARROW_STYLE("sortDownNormal.svg");
inline constexpr const char* kSortDownHover = ZR_ARROW_STYLE("sortDownHover.svg");

} // namespace WidgetResources
