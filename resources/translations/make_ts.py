#!/usr/bin/python3
"""Writes the sixteen translation sources zrvpnclient_<code>.ts into a folder.

Inputs, both in this folder:
  keys.tsv          the text keys of the context ZRStringConstant with their English texts;
  translations.tsv  the one translation table: context, source, language, text.
Every catalogue carries every key and every other text of the table (the forms' texts, and
the texts looked up in ZRStringConstant that are not keys). A language without a row of its
own for a text carries the English one, marked unfinished; lrelease compiles unfinished
texts too, so no raw key or untranslated source ever shows. The build runs this script and
compiles its output; nothing it writes is kept in the source tree.

The tables are checked first, and the build stops at the first faulty line: a wrong number
of columns or an empty one, an unknown language code, one text given twice with different
translations (the same row twice, as a merge of both sides may leave it, is kept once), a
source written like a key that keys.tsv does not hold, a row giving a key's English text
(it stands in keys.tsv), and a language name that differs from its own spelling.

    python3 resources/translations/make_ts.py OUTPUT_FOLDER
"""
import os
import re
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
# The code of a row that gives its text to every language without a row of its own.
EVERY_LANGUAGE = "*"
CODES = [code for code, _ in LANGUAGES]
# A source text of the key context written like a key must be one of keys.tsv: a key
# misspelt in the table would otherwise stand as a text that no code looks up.
KEY_PATTERN = re.compile(r"^[A-Z][A-Z0-9]*(_[A-Z0-9]+)+$")


def unescape(text):
    return text.replace("\\n", "\n")


def read_tsv(name, columns):
    """The rows of a table as (line number, fields); the first error ends the build."""
    rows = []
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != columns:
                fail(name, number, "%d columns, expected %d" % (len(parts), columns))
            if any(not p for p in parts):
                fail(name, number, "an empty column")
            rows.append((number, [unescape(p) for p in parts]))
    return rows


def fail(name, number, message):
    sys.exit("%s:%d: %s" % (name, number, message))


def read_keys():
    keys = []
    seen = {}
    for number, (key, english) in read_tsv("keys.tsv", 2):
        if not KEY_PATTERN.match(key):
            fail("keys.tsv", number, "%s is not a text key (capitals, digits and underscores)" % key)
        if key in seen:
            fail("keys.tsv", number, "%s stands twice (first on line %d)" % (key, seen[key]))
        seen[key] = number
        keys.append((key, english))
    return keys


def read_table(keys):
    """The translation table as {(context, source, code): text}, checked row by row."""
    english = dict(keys)
    table = {}
    lines = {}
    texts = []  # (context, source) of the texts that are not keys, in the table's order
    for number, (context, source, code, text) in read_tsv("translations.tsv", 4):
        where = "%s / %s / %s" % (context, source, code)
        if code not in CODES and code != EVERY_LANGUAGE:
            fail("translations.tsv", number, "%s: unknown language code %s (known: %s and %s)"
                 % (where, code, " ".join(CODES), EVERY_LANGUAGE))
        if context == KEY_CONTEXT and source in english:
            if code in ("en", EVERY_LANGUAGE):
                fail("translations.tsv", number, "%s: the English text of a key stands in keys.tsv, "
                     "and every other language has a row of its own" % where)
            if source.startswith(SAME_IN_EVERY_LANGUAGE) and text != english[source]:
                fail("translations.tsv", number, "%s: a language's name reads %s in every language"
                     % (where, english[source]))
        elif context == KEY_CONTEXT and KEY_PATTERN.match(source):
            fail("translations.tsv", number, "%s: %s is not a key of keys.tsv" % (where, source))
        previous = table.get((context, source, code))
        if previous is not None and previous != text:
            fail("translations.tsv", number, "%s stands twice with different texts (first on line %d)"
                 % (where, lines[(context, source, code)]))
        if previous is None:
            table[(context, source, code)] = text
            lines[(context, source, code)] = number
        if not (context == KEY_CONTEXT and source in english) and (context, source) not in texts:
            texts.append((context, source))
    return table, texts


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_ts.py OUTPUT_FOLDER")
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    keys = read_keys()
    table, texts = read_table(keys)

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
        for context, source in texts:
            own = table.get((context, source, code))
            every = table.get((context, source, EVERY_LANGUAGE))
            if own is not None:
                contexts.setdefault(context, []).append((source, own, True))
            elif every is not None:
                contexts.setdefault(context, []).append((source, every, code == "en"))
            elif code != "en":
                # English shows the source text itself: its catalogue needs no entry.
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
