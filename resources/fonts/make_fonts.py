#!/usr/bin/python3
"""Builds the brand font "Halvex Vento" from Debian's DejaVu Sans (fonts-dejavu-core).

The four faces are cut down to the Latin, Greek and Cyrillic ranges the client's
languages need (other scripts fall back to the system's fonts) and renamed, as the
Bitstream Vera licence asks of a modified font. Needs python3-fonttools.

    /usr/bin/python3 resources/fonts/make_fonts.py
"""
import os
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

SOURCE_DIR = "/usr/share/fonts/truetype/dejavu"
FAMILY = "Halvex Vento"
FACES = [
    ("DejaVuSans.ttf", "Regular"),
    ("DejaVuSans-Bold.ttf", "Bold"),
    ("DejaVuSans-Oblique.ttf", "Italic"),
    ("DejaVuSans-BoldOblique.ttf", "Bold Italic"),
]
UNICODES = "U+0020-024F,U+0259,U+02B0-02FF,U+0300-036F,U+0370-03FF,U+0400-052F,U+1E00-1EFF," \
           "U+2000-206F,U+20A0-20CF,U+2100-214F,U+2190-21FF,U+2200-22FF,U+25A0-25FF,U+FB00-FB06"


def rename(font, style):
    ps_name = FAMILY.replace(" ", "") + "-" + style.replace(" ", "")
    full_name = FAMILY if style == "Regular" else FAMILY + " " + style
    names = {
        1: FAMILY,
        2: style,
        3: ps_name + ";1.0",
        4: full_name,
        6: ps_name,
        16: FAMILY,
        17: style,
    }
    table = font["name"]
    for record in list(table.names):
        if record.nameID in (1, 2, 3, 4, 6, 16, 17, 18, 21, 22):
            table.removeNames(nameID=record.nameID)
    for name_id, text in names.items():
        table.setName(text, name_id, 3, 1, 0x409)
        table.setName(text, name_id, 1, 0, 0)


def main():
    out_dir = os.path.dirname(os.path.abspath(__file__))
    for file_name, style in FACES:
        options = subset.Options()
        options.layout_features = ["*"]
        options.name_IDs = ["*"]
        options.name_languages = ["*"]
        options.notdef_outline = True
        options.glyph_names = False
        options.hinting = True
        font = TTFont(os.path.join(SOURCE_DIR, file_name))
        subsetter = subset.Subsetter(options)
        subsetter.populate(unicodes=subset.parse_unicodes(UNICODES))
        subsetter.subset(font)
        rename(font, style)
        target = os.path.join(out_dir, "HalvexVento-" + style.replace(" ", "") + ".ttf")
        font.save(target)
        print(target, os.path.getsize(target))
    return 0


if __name__ == "__main__":
    sys.exit(main())
