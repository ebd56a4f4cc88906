#!/usr/bin/python3
"""Writes the client's line icons as SVG files.

Every icon is drawn here once as a shape and written in each colour it is shown in,
so the light and dark sets stay alike. Files under raster/ are the sources of the
images that the style sheets and pages load as PNG; the build renders them.

    /usr/bin/python3 resources/images/make_icons.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Colours (#RRGGBB plus opacity, since SVG has no #AARRGGBB).
INK = ("#1D2529", 0.64)       # dimmed text of the light sheet
INK_SOFT = ("#1D2529", 0.40)
INK_GHOST = ("#1D2529", 0.24)
WHITE = ("#FFFFFF", 1.0)
WHITE_80 = ("#FFFFFF", 0.80)
WHITE_64 = ("#FFFFFF", 0.64)
WHITE_40 = ("#FFFFFF", 0.40)
WHITE_24 = ("#FFFFFF", 0.24)
BLUE = ("#0492EB", 1.0)
BLUE_HOVER = ("#04B0FF", 1.0)
NAVI_ACTIVE = ("#55C9FF", 1.0)
ADD_BLUE = ("#007AFF", 1.0)
SELECT_BLUE = ("#3473F6", 1.0)
RED = ("#F46055", 1.0)
GREEN = ("#21C17A", 1.0)
GREY = ("#8A9099", 1.0)
BORDER = ("#BDBDBD", 1.0)


def stroke(colour, width=1.6):
    c, o = colour
    return ('fill="none" stroke="%s" stroke-opacity="%g" stroke-width="%g" '
            'stroke-linecap="round" stroke-linejoin="round"' % (c, o, width))


def fill(colour):
    c, o = colour
    return 'fill="%s" fill-opacity="%g"' % (c, o)


# Shapes on a 24 x 24 grid unless a size is given; each takes a colour.
def home(c):
    return ('<path d="M4 10.5 12 4l8 6.5V19a1 1 0 0 1-1 1h-4.5v-5.5h-5V20H5a1 1 0 0 1-1-1z" %s/>'
            % stroke(c))


def profiles(c):
    return ('<rect x="4" y="4" width="16" height="16" rx="2" %s/>'
            '<path d="M8 9h8M8 12.5h8M8 16h5" %s/>' % (stroke(c), stroke(c)))


def settings(c):
    return ('<path d="M12 3.5l1.6 2.3 2.8-.4.9 2.6 2.6.9-.4 2.8 2.3 1.6-2.3 1.6.4 2.8-2.6.9-.9 2.6'
            '-2.8-.4L12 20.5l-1.6-2.3-2.8.4-.9-2.6-2.6-.9.4-2.8L2.2 12l2.3-1.6-.4-2.8 2.6-.9.9-2.6'
            ' 2.8.4z" %s/><circle cx="12" cy="12" r="3" %s/>' % (stroke(c, 1.4), stroke(c)))


def close(c):
    return '<path d="M7 7l10 10M17 7 7 17" %s/>' % stroke(c, 1.8)


def minimise(c):
    return '<path d="M6 12h12" %s/>' % stroke(c, 1.8)


def chevron_down(c):
    return '<path d="M7 10l5 5 5-5" %s/>' % stroke(c, 1.6)


def chevron_left(c):
    return '<path d="M14.5 6.5 9 12l5.5 5.5" %s/>' % stroke(c, 1.6)


def chevron_right(c):
    return '<path d="M9.5 6.5 15 12l-5.5 5.5" %s/>' % stroke(c, 1.6)


def check_box(box, mark):
    return ('<rect x="3" y="3" width="18" height="18" rx="3" %s/>'
            '<path d="M7.5 12.2l3 3 6-6.4" %s/>' % (fill(box), stroke(mark, 2)))


def empty_box(c):
    return '<rect x="3.8" y="3.8" width="16.4" height="16.4" rx="3" %s/>' % stroke(c, 1.4)


def swap(c):
    return ('<path d="M5 9h13l-3.5-3.5M19 15H6l3.5 3.5" %s/>' % stroke(c))


def eye_open(c):
    return ('<path d="M2.5 12S6 5.5 12 5.5 21.5 12 21.5 12 18 18.5 12 18.5 2.5 12 2.5 12z" %s/>'
            '<circle cx="12" cy="12" r="3" %s/>' % (stroke(c), stroke(c)))


def eye_closed(c):
    return ('<path d="M3 10c2.2 3 5.4 4.8 9 4.8s6.8-1.8 9-4.8M6.2 13.2 4.5 15.5M12 14.8v2.7'
            'M17.8 13.2l1.7 2.3" %s/>' % stroke(c))


def user(c):
    return ('<circle cx="12" cy="8.5" r="3.8" %s/><path d="M4.5 20c.8-3.8 3.8-6 7.5-6s6.7 2.2 7.5 6" %s/>'
            % (stroke(c), stroke(c)))


def lock(c):
    return ('<rect x="5" y="10.5" width="14" height="10" rx="2" %s/>'
            '<path d="M8 10.5V8a4 4 0 0 1 8 0v2.5M12 14.5v2.5" %s/>' % (stroke(c), stroke(c)))


def upload(c):
    return '<path d="M12 19V5.5M6.5 11 12 5.5 17.5 11" %s/>' % stroke(c, 2)


def download(c):
    return '<path d="M12 5v13.5M6.5 13 12 18.5 17.5 13" %s/>' % stroke(c, 2)


def pc(c):
    return ('<rect x="5" y="7" width="34" height="23" rx="2.5" %s/>'
            '<path d="M16 37h12M22 30v7" %s/>'
            '<path d="M15.5 18.5l4.5 4.5 8.5-8.5" %s/>' % (stroke(c, 2.4), stroke(c, 2.4), stroke(c, 2.4)))


def warning(c):
    return ('<path d="M10 2.8 18.3 17H1.7z" %s/><path d="M10 7.8v4.4" %s/>'
            '<circle cx="10" cy="14.6" r="1" %s/>' % (stroke(c, 1.5), stroke(c, 1.6), fill(c)))


def play(c):
    return ('<circle cx="12" cy="12" r="9" %s/><path d="M10 8.5v7l5.5-3.5z" %s/>'
            % (stroke(c), fill(c)))


def stop(c):
    return ('<circle cx="12" cy="12" r="9" %s/><rect x="9" y="9" width="6" height="6" rx="1" %s/>'
            % (stroke(c), fill(c)))


def cancel(c):
    return ('<circle cx="12" cy="12" r="8.5" %s/><path d="M9 9l6 6M15 9l-6 6" %s/>'
            % (stroke(c, 1.4), stroke(c, 1.6)))


def document(c):
    return ('<path d="M6 3.5h8l4 4V20a.5.5 0 0 1-.5.5h-11A.5.5 0 0 1 6 20V4a.5.5 0 0 1 .5-.5z'
            'M14 3.5V7.5h4" %s/>' % stroke(c))


def log(c):
    return ('<path d="M6 3.5h8l4 4V20a.5.5 0 0 1-.5.5h-11A.5.5 0 0 1 6 20V4a.5.5 0 0 1 .5-.5z'
            'M9 11.5h6M9 14.5h6M9 17.5h4" %s/>' % stroke(c))


def add(c):
    return ('<circle cx="12" cy="12" r="9" %s/><path d="M12 8v8M8 12h8" %s/>'
            % (stroke(c), stroke(c, 1.8)))


def selected(c):
    return ('<circle cx="12" cy="12" r="9" %s/><path d="M7.8 12.2l3 3 5.4-5.8" %s/>'
            % (fill(c), stroke(WHITE, 2)))


def unselected(c):
    return '<circle cx="12" cy="12" r="8.4" %s/>' % stroke(c, 1.4)


def system_mode(c):
    return ('<rect x="3" y="4.5" width="18" height="12.5" rx="1.5" %s/>'
            '<path d="M9 20.5h6M12 17v3.5" %s/><path d="M12 7.5a3.2 3.2 0 0 1 0 6.4z" %s/>'
            '<circle cx="12" cy="10.7" r="3.2" %s/>' % (stroke(c), stroke(c), fill(c), stroke(c, 1.2)))


def sun(c):
    return ('<circle cx="12" cy="12" r="4" %s/><path d="M12 2.5v2.2M12 19.3v2.2M2.5 12h2.2M19.3 12h2.2'
            'M5.3 5.3l1.5 1.5M17.2 17.2l1.5 1.5M5.3 18.7l1.5-1.5M17.2 6.8l1.5-1.5" %s/>'
            % (stroke(c), stroke(c)))


def moon(c):
    return '<path d="M19.5 14.5A8 8 0 0 1 9.5 4.5a8 8 0 1 0 10 10z" %s/>' % stroke(c)


def export(c):
    return ('<path d="M12 14.5V4M8 7.5 12 3.5l4 4M5 12.5V19a1.5 1.5 0 0 0 1.5 1.5h11A1.5 1.5 0 0 0 19 19v-6.5"'
            ' %s/>' % stroke(c))


def edit(c):
    return ('<path d="M14.5 5.5l4 4L9 19H5v-4z M12.5 7.5l4 4" %s/>' % stroke(c))


def delete(c):
    return ('<path d="M4.5 7h15M9.5 7V4.8h5V7M6.5 7l.9 12.2a1 1 0 0 0 1 .8h7.2a1 1 0 0 0 1-.8L17.5 7'
            'M10.3 10.5v6M13.7 10.5v6" %s/>' % stroke(c))


def triangle_up(c):
    return '<path d="M4 1.5 7.2 6.5H.8z" %s/>' % fill(c)


def triangle_down(c):
    return '<path d="M4 6.5 7.2 1.5H.8z" %s/>' % fill(c)


def logo(_c):
    return ('<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="1">'
            '<stop offset="0" stop-color="#55C9FF"/><stop offset="1" stop-color="#0492EB"/>'
            '</linearGradient></defs>'
            '<path d="M24 3.5 40 9.5v12c0 10.5-6.8 18.6-16 23-9.2-4.4-16-12.5-16-23v-12z" fill="url(#g)"/>'
            '<path d="M18.5 15v18M18.5 24.5 28.5 15M22.5 21l7 12" fill="none" stroke="#FFFFFF" '
            'stroke-width="3" stroke-linecap="round" stroke-linejoin="round"/>')


def switch(track, knob, on):
    x = 28 if on else 12
    return ('<rect x="0" y="2" width="40" height="20" rx="10" %s/>'
            '<circle cx="%d" cy="12" r="8" %s/>' % (fill(track), x, fill(knob)))


def no_data(box, line):
    return ('<ellipse cx="40" cy="66" rx="30" ry="5" %s/>'
            '<path d="M14 34l10-16h32l10 16v22a3 3 0 0 1-3 3H17a3 3 0 0 1-3-3z" %s/>'
            '<path d="M14 34h16a10 6 0 0 0 20 0h16" %s/>' % (fill(box), stroke(line, 2), stroke(line, 2)))


# name: (shape, colour, width, height, view box)
ICONS = {
    "homeLight": (home, WHITE_40), "homeHoverLight": (home, NAVI_ACTIVE),
    "home": (home, WHITE_64), "homeHover": (home, WHITE),
    "profilesLight": (profiles, WHITE_40), "profilesHoverLight": (profiles, NAVI_ACTIVE),
    "profiles": (profiles, WHITE_64), "profilesHover": (profiles, WHITE),
    "settingsLight": (settings, WHITE_40), "settingsHoverLight": (settings, NAVI_ACTIVE),
    "settings": (settings, WHITE_64), "settingsHover": (settings, WHITE),
    "closeLight": (close, INK), "close": (close, WHITE_80),
    "closeNormal": (close, GREY), "closePress": (close, RED),
    "minNormal": (minimise, GREY), "minPress": (minimise, BLUE_HOVER),
    "downArrowLight": (chevron_down, INK), "downArrow": (chevron_down, WHITE_80),
    "LeftNormalLight": (chevron_left, INK), "Left": (chevron_left, WHITE_64),
    "RightNormalLight": (chevron_right, INK), "Right": (chevron_right, WHITE_64),
    "changeLight": (swap, INK), "changeHover": (swap, BLUE_HOVER),
    "eyeCloseLight": (eye_closed, INK), "eyeOpenLight": (eye_open, INK),
    "eyeClose": (eye_closed, WHITE_64), "eyeOpen": (eye_open, WHITE_64),
    "userLight": (user, INK), "lockLight": (lock, INK),
    "upload": (upload, BLUE), "download": (download, GREEN),
    "warning": (warning, RED, 20, 20, "0 0 20 20"),
    "pc": (pc, BLUE, 44, 44, "0 0 44 44"),
    "connect": (play, BLUE), "disconnect": (stop, RED),
    "cancel": (cancel, GREY), "file": (document, BLUE),
    "log": (log, BLUE, 20, 20), "logHover": (log, BLUE_HOVER, 20, 20),
    "addBlue": (add, ADD_BLUE),
    "selectedLight": (selected, SELECT_BLUE), "unselectedLight": (unselected, BORDER),
    "selectNormal": (unselected, WHITE_40),
    "SystemLight": (system_mode, INK), "system": (system_mode, WHITE_80),
    "normalModeLight": (sun, INK), "lightMode": (sun, WHITE_80),
    "darkModeLight": (moon, INK), "darkMode": (moon, WHITE_80),
    "exportGreyLight": (export, INK_GHOST), "exportGreyDark": (export, WHITE_24),
    "sortUpNormal": (triangle_up, GREY, 8, 8, "0 0 8 8"), "sortUpHover": (triangle_up, BLUE, 8, 8, "0 0 8 8"),
    "sortDownNormal": (triangle_down, GREY, 8, 8, "0 0 8 8"),
    "sortDownHover": (triangle_down, BLUE, 8, 8, "0 0 8 8"),
    "logo": (logo, None, 48, 48, "0 0 48 48"),
}

CHECKS = {
    "checkLight": check_box(BLUE, WHITE), "checkHover": check_box(BLUE_HOVER, WHITE),
    "checkNormal": check_box(BLUE, WHITE),
    "uncheckLight": empty_box(BORDER), "uncheckHover": empty_box(BLUE_HOVER),
    "uncheckDark": empty_box(WHITE_40),
}

# Sources of the PNG images: name: (body, width, height, view box).
RASTER = {
    "editNormal": (edit(GREY), 24, 24, "0 0 24 24"),
    "deleteNormal": (delete(GREY), 24, 24, "0 0 24 24"),
    "userDark": (user(WHITE_64), 24, 24, "0 0 24 24"),
    "lockDark": (lock(WHITE_64), 24, 24, "0 0 24 24"),
    "SwitchOn": (switch(BLUE, WHITE, True), 40, 24, "0 0 40 24"),
    "switchOnHover": (switch(BLUE_HOVER, WHITE, True), 40, 24, "0 0 40 24"),
    "SwitchOff": (switch(("#D7DCE2", 1.0), WHITE, False), 40, 24, "0 0 40 24"),
    "switchOffLightHover": (switch(("#C3CAD3", 1.0), WHITE, False), 40, 24, "0 0 40 24"),
    "SwitchOffDark": (switch(("#4F5C72", 1.0), ("#C8CDD5", 1.0), False), 40, 24, "0 0 40 24"),
    "switchOffHover": (switch(("#5E6C84", 1.0), WHITE, False), 40, 24, "0 0 40 24"),
    "sortUp": (triangle_up(INK_SOFT), 8, 8, "0 0 8 8"),
    "sortUpDark": (triangle_up(WHITE_40), 8, 8, "0 0 8 8"),
    "sortUpHover": (triangle_up(BLUE), 8, 8, "0 0 8 8"),
    "sortUpHoverDark": (triangle_up(BLUE_HOVER), 8, 8, "0 0 8 8"),
    "sortDown": (triangle_down(INK_SOFT), 8, 8, "0 0 8 8"),
    "sortDownDark": (triangle_down(WHITE_40), 8, 8, "0 0 8 8"),
    "sortDownHover": (triangle_down(BLUE), 8, 8, "0 0 8 8"),
    "sortDownHoverDark": (triangle_down(BLUE_HOVER), 8, 8, "0 0 8 8"),
    "NoData": (no_data(("#EEF1F5", 1.0), ("#B8C0CB", 1.0)), 80, 80, "0 0 80 80"),
    "NoDataDark": (no_data(("#FFFFFF", 0.06), ("#FFFFFF", 0.30)), 80, 80, "0 0 80 80"),
}


def svg(body, width=24, height=24, view_box="0 0 24 24"):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="%s">%s</svg>\n'
            % (width, height, view_box, body))


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    for name, icon in ICONS.items():
        shape, colour = icon[0], icon[1]
        size = icon[2:] if len(icon) > 2 else ()
        if len(size) == 2:
            size = (size[0], size[1], "0 0 24 24")
        write(os.path.join(HERE, name + ".svg"), svg(shape(colour), *size))
    for name, body in CHECKS.items():
        write(os.path.join(HERE, name + ".svg"), svg(body, 18, 18))
    for name, (body, w, h, box) in RASTER.items():
        write(os.path.join(HERE, "raster", name + ".svg"), svg(body, w, h, box))
    # The build renders each raster source at the size given here (name, width, height).
    with open(os.path.join(HERE, "raster", "sizes.txt"), "w", encoding="utf-8") as f:
        for name, (_body, w, h, _box) in sorted(RASTER.items()):
            f.write("%s %d %d\n" % (name, w, h))


if __name__ == "__main__":
    main()
