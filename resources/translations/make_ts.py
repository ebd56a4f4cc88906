#!/usr/bin/python3
"""Writes the sixteen translation sources zrvpnclient_<code>.ts into a folder.

Inputs, both in this folder:
  keys.tsv          the text keys of the context ZRStringConstant with their English texts;
  translations.tsv  the one translation table: context, source, language, text.
Every catalogue carries every key and every form text of the table. A language without a
row of its own for a text carries the English one, marked unfinished; lrelease compiles
unfinished texts too, so no raw key or untranslated source ever shows. The build runs this
script and compiles its output; nothing it writes is kept in the source tree.

    python3 resources/translations/make_ts.py OUTPUT_FOLDER
"""
import os
import sys
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
LANGUAGES = [("en", "en_US"), ("cs", "cs_CZ"), ("nl", "nl_NL"), ("fr", "fr_FR"), ("de", "de_DE"),
             ("hu", "hu_HU"), ("it", "it_IT"), ("ja", "ja_JP"), ("ko", "ko_KR"), ("pl", "pl_PL"),
             ("pt", "pt_PT"), ("ru", "ru_RU"), ("sk", "sk_SK"), ("es", "es_ES"), ("zh", "zh_TW"),
             ("tr", "tr_TR")]
KEY_CONTEXT = "ZRStringConstant"
# The language names read the same in every language.
SAME_IN_EVERY_LANGUAGE = "ZRVPN_LANGUAGE_"


def unescape(text):
    return text.replace("\\n", "\n")


def read_tsv(name, columns):
    rows = []
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != columns:
                sys.exit("%s:%d: %d columns, expected %d" % (name, number, len(parts), columns))
            rows.append([unescape(p) for p in parts])
    return rows


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_ts.py OUTPUT_FOLDER")
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    keys = read_tsv("keys.tsv", 2)
    table = {}
    form_texts = []  # (context, source) of the forms, in the table's order
    for context, source, lang, text in read_tsv("translations.tsv", 4):
        if (context, source, lang) in table:
            sys.exit("translations.tsv: %s / %s / %s stands twice" % (context, source, lang))
        table[(context, source, lang)] = text
        if context != KEY_CONTEXT and (context, source) not in form_texts:
            form_texts.append((context, source))

    for code, locale in LANGUAGES:
        contexts = {KEY_CONTEXT: []}
        for key, english in keys:
            text = table.get((KEY_CONTEXT, key, code))
            if code == "en" or key.startswith(SAME_IN_EVERY_LANGUAGE):
                contexts[KEY_CONTEXT].append((key, english, True))
            elif text is not None:
                contexts[KEY_CONTEXT].append((key, text, True))
            else:
                contexts[KEY_CONTEXT].append((key, english, False))
        for context, source in form_texts:
            own = table.get((context, source, code))
            every = table.get((context, source, "*"))
            if own is not None:
                contexts.setdefault(context, []).append((source, own, True))
            elif every is not None:
                contexts.setdefault(context, []).append((source, every, code == "en"))
            elif code != "en":
                # English shows the form's own source text: its catalogue needs no entry.
                contexts.setdefault(context, []).append((source, source, False))
        out = ['<?xml version="1.0" encoding="utf-8"?>', "<!DOCTYPE TS>",
               '<TS version="2.1" language="%s" sourcelanguage="en_US">' % locale]
        for context in sorted(contexts):
            out.append("<context>")
            out.append("    <name>%s</name>" % context)
            for source, text, finished in contexts[context]:
                state = "" if finished else ' type="unfinished"'
                out.append("    <message>")
                out.append("        <source>%s</source>" % escape(source, {'"': "&quot;"}))
                out.append("        <translation%s>%s</translation>" % (state, escape(text, {'"': "&quot;"})))
                out.append("    </message>")
            out.append("</context>")
        out.append("</TS>")
        path = os.path.join(out_dir, "zrvpnclient_%s.ts" % code)
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
