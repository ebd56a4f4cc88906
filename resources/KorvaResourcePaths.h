#pragma once

// Places of the client's embedded resources.

// The two application style sheets: normal (colour mode 1) and dark (colour mode 2).
#define KORVA_STYLESHEET_NORMAL ":/ZRVPNStylesheet.qss"
#define KORVA_STYLESHEET_DARK ":/ZRVPNDarkStylesheet.qss"

// The translation files "zrvpnclient_<code>.qm" lie in this resource folder.
#define KORVA_TRANSLATION_DIR ":/Korva VPN"
#define KORVA_TRANSLATION_PREFIX "zrvpnclient_"
#define KORVA_TRANSLATION_SUFFIX ".qm"

// Icons and images; the style sheets name them by this folder as well.
#define KORVA_IMAGE_DIR ":/Korva VPN/resources/"

// The brand font's four faces; the program registers the regular one at start.
#define KORVA_FONT_DIR ":/Korva VPN/resources/Fonts/"
#define KORVA_BRAND_FONT_REGULAR KORVA_FONT_DIR "HalvexVento_Rg.ttf"
#define KORVA_BRAND_FONT_FAMILY "Halvex Vento"
