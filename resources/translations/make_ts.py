#!/usr/bin/python3
"""Writes the sixteen translation sources zrvpnclient_<code>.ts.

Inputs, both in this folder:
  keys.tsv   the text keys of the context ZRStringConstant with their English texts;
  forms.tsv  the translations of the forms' fixed texts, per context and language.
Every file carries every key. A language without its own text for a key or a form
text carries the English one, marked unfinished so that translators find it; lrelease
compiles unfinished texts too, so no raw key or untranslated source ever shows.
Translations already made in a .ts file (finished entries) are kept.

    python3 resources/translations/make_ts.py
"""
import os
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
LANGUAGES = [("en", "en_US"), ("cs", "cs_CZ"), ("nl", "nl_NL"), ("fr", "fr_FR"), ("de", "de_DE"),
             ("hu", "hu_HU"), ("it", "it_IT"), ("ja", "ja_JP"), ("ko", "ko_KR"), ("pl", "pl_PL"),
             ("pt", "pt_PT"), ("ru", "ru_RU"), ("sk", "sk_SK"), ("es", "es_ES"), ("zh", "zh_TW"),
             ("tr", "tr_TR")]
KEY_CONTEXT = "ZRStringConstant"
# The language names read the same in every language.
SAME_IN_EVERY_LANGUAGE = "ZRVPN_LANGUAGE_"


def read_tsv(name):
    rows = []
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                rows.append(line.split("\t"))
    return rows


def finished_entries(path):
    """(context, source) -> translation of the finished entries of an existing file."""
    kept = {}
    if not os.path.exists(path):
        return kept
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            if translation is not None and translation.get("type") is None and translation.text:
                kept[(name, message.findtext("source"))] = translation.text
    return kept


def main():
    keys = [(k, v.replace("\\n", "\n")) for k, v in read_tsv("keys.tsv")]
    forms = read_tsv("forms.tsv")
    for code, locale in LANGUAGES:
        path = os.path.join(HERE, "zrvpnclient_%s.ts" % code)
        kept = finished_entries(path)
        contexts = {KEY_CONTEXT: []}
        for key, english in keys:
            finished = code == "en" or key.startswith(SAME_IN_EVERY_LANGUAGE)
            text = kept.get((KEY_CONTEXT, key))
            if text is not None:
                finished = True
            contexts[KEY_CONTEXT].append((key, text if text is not None else english, finished))
        for context, source, lang, text in forms:
            if lang not in (code, "*"):
                continue
            finished = lang == code or code == "en"
            if lang == "*" and (context, source) in kept:
                text, finished = kept[(context, source)], True
            contexts.setdefault(context, []).append((source, text, finished))
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
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
