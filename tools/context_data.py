#!/usr/bin/env python3
"""Builds the confusion sets of the context check from Unihan, byte for byte.

    tools/context_data.py UNIHAN_DIR OUT_DIR

Reads Unihan_Readings.txt, Unihan_Variants.txt and Unihan_DictionaryLikeData.txt (plain or
.bz2) from UNIHAN_DIR, and wubi.txt (a libime Wubi table as libime_tabledict dumps it) and
EquivalentUnifiedIdeograph.txt (the radicals' forms) when the folder holds them, and writes readings.txt, near_syllables.txt, shapes.txt and variants.txt
into OUT_DIR. tools/build_data.py calls build() with the files of the pinned unicode-data package;
this entry point serves tests and quick experiments. Python 3 standard library only.

Which characters take part: the 8,105 characters of the general standard list (kTGHZ2013), all
Simplified. Readings come from kMandarin, kXHC1983 and kTGHZ2013 without tones; kHanyuPinyin is
left out because its archaic readings make unrelated characters sound alike.
"""

import bz2
import os
import sys
import unicodedata

READING_FIELDS = ("kMandarin", "kXHC1983", "kTGHZ2013")

# Initials and finals that many speakers do not tell apart, as what each is heard as.
NEAR_INITIALS = (("zh", "z"), ("ch", "c"), ("sh", "s"), ("n", "l"))
NEAR_FINALS = (("ang", "an"), ("eng", "en"), ("ing", "in"))


def parse_unihan(lines, fields):
    """{field: {character: value}} for the wanted fields of Unihan lines."""
    out = {f: {} for f in fields}
    for line in lines:
        if not line.startswith("U+"):
            continue
        parts = line.rstrip("\n").split("\t")
        if len(parts) < 3 or parts[1] not in out:
            continue
        out[parts[1]][chr(int(parts[0][2:], 16))] = parts[2]
    return out


def toneless(pinyin):
    """shěn -> shen, lǜ -> lv: the syllable as a pinyin keyboard types it."""
    decomposed = unicodedata.normalize("NFD", pinyin.lower()).replace("u\u0308", "v")
    return "".join(c for c in decomposed if not unicodedata.combining(c))


def field_readings(field, value):
    """The pinyin syllables of one reading field's value."""
    out = []
    for item in value.split():
        if field in ("kXHC1983", "kTGHZ2013"):
            item = item.split(":", 1)[-1]
        for syllable in item.split(","):
            if syllable:
                out.append(toneless(syllable))
    return out


def general_characters(data):
    """The general standard characters in the Basic Multilingual Plane (the check works on UTF-16
    code units and treats a surrogate pair as an unknown character)."""
    return sorted(ch for ch in data["kTGHZ2013"] if ord(ch) <= 0xFFFF)


def readings(data):
    """{character: sorted toneless readings} for the general standard characters."""
    out = {}
    for ch in general_characters(data):
        found = set()
        for field in READING_FIELDS:
            if ch in data[field]:
                found.update(field_readings(field, data[field][ch]))
        found = {r for r in found if r.isascii() and r.isalpha()}
        if found:
            out[ch] = sorted(found)
    return out


def heard_as(syllable):
    for given, heard in NEAR_INITIALS:
        if syllable.startswith(given) and not (given == "n" and syllable.startswith("ng")):
            syllable = heard + syllable[len(given):]
            break
    for given, heard in NEAR_FINALS:
        if syllable.endswith(given):
            syllable = syllable[: -len(given)] + heard
            break
    return syllable


def near_syllables(reading_table):
    """{syllable: sorted other syllables heard alike} over the syllables in use."""
    groups = {}
    for syllable in sorted({r for rs in reading_table.values() for r in rs}):
        groups.setdefault(heard_as(syllable), []).append(syllable)
    out = {}
    for members in groups.values():
        for s in members:
            others = [m for m in members if m != s]
            if others:
                out[s] = others
    return out


def wubi_codes(table_lines):
    """{character: its full Wubi code} from the text of a libime table ("code word" rows after
    [Data]): the longest code given to the character alone."""
    codes = {}
    body = False
    for line in table_lines:
        if line.startswith("[Data]"):
            body = True
            continue
        parts = line.split()
        if not body or len(parts) != 2 or len(parts[1]) != 1 or not parts[0].isalpha():
            continue
        code, ch = parts
        if len(code) > len(codes.get(ch, "")):
            codes[ch] = code
    return codes


def shapes(data, wubi=None):
    """{character: sorted characters of similar shape}, over the general standard characters: the
    same Cangjie code, or codes of three or more letters that differ in one letter only (two-letter
    codes one letter apart are mostly unrelated simple characters: 己 and 刀), or a Cangjie code of
    four or more letters whose first letter left out gives another's code (a component on the
    left swapped for one coded shorter: 特 and 持); and the same letter for letter for full Wubi
    codes ({character: code}), which see shapes that Cangjie splits apart (熊 and 能, 湿 and 温,
    瑞 and 端); and the same first four-corner code, fifth digit too, which sees shapes that both
    split apart (未 and 末, 鸟 and 乌)."""
    out = {}
    general = general_characters(data)
    by_corners = {}
    for ch in general:
        code = data.get("kFourCornerCode", {}).get(ch)
        if code:
            by_corners.setdefault(code.split()[0], []).append(ch)
    for chars in by_corners.values():
        for ch in chars:
            out.setdefault(ch, set()).update(c for c in chars if c != ch)
    for table in (data["kCangjie"], wubi or {}):
        by_pattern = {}
        for ch in general:
            code = table.get(ch)
            if not code:
                continue
            by_pattern.setdefault(code, []).append(ch)
            if len(code) >= 3:
                for i in range(len(code)):
                    by_pattern.setdefault(code[:i] + "?" + code[i + 1:], []).append(ch)
            if len(code) >= 4 and table is data["kCangjie"]:
                by_pattern.setdefault(code[1:], []).append(ch)
        for chars in by_pattern.values():
            for ch in chars:
                out.setdefault(ch, set()).update(c for c in chars if c != ch)
    return {ch: sorted(others) for ch, others in out.items() if others}


def code_points(value):
    """The characters of a Unihan variant field ("U+51FA<kHanYu:T U+5C80")."""
    return {chr(int(v.split("<")[0][2:], 16)) for v in value.split()}


def variants(data, radicals=frozenset()):
    """{character: sorted characters of the general standard list}: characters outside that list
    and their Simplified forms; failing those, the forms of the list that Unihan calls the same
    character (kSemanticVariant, kZVariant: 岀 for 出, 晩 for 晚). Radical forms (刂, 氵), which
    texts about characters write as they are, are left out of the second kind."""
    general = set(general_characters(data))
    out = {}
    for ch, value in data["kSimplifiedVariant"].items():
        if ch in data["kTGHZ2013"] or ord(ch) > 0xFFFF:
            continue
        targets = sorted(code_points(value) & general - {ch})
        if targets:
            out[ch] = targets
    same = {}
    for field in ("kSemanticVariant", "kZVariant"):
        for ch, value in data.get(field, {}).items():
            if ch in data["kTGHZ2013"] or ord(ch) > 0xFFFF or ch in out or ch in radicals:
                continue
            same.setdefault(ch, set()).update(code_points(value) & general - {ch})
    out.update({ch: sorted(targets) for ch, targets in same.items() if targets})
    return out


def radical_forms(lines):
    """The unified ideographs that EquivalentUnifiedIdeograph.txt gives for the radicals."""
    out = set()
    for line in lines:
        fields = line.split("#")[0].split(";")
        if len(fields) == 2 and fields[1].strip():
            out.add(chr(int(fields[1].strip(), 16)))
    return out


def table_bytes(header, rows):
    """Comment lines, then "key<TAB>values" rows sorted by key's code points, UTF-8 with LF."""
    lines = ["# " + h for h in header]
    for key in sorted(rows):
        lines.append(key + "\t" + rows[key])
    return ("\n".join(lines) + "\n").encode("utf-8")


def build(unihan_lines, wubi_lines=(), radicals=frozenset()):
    """{file name: bytes} of the context data from the lines of the three Unihan files, the
    text of a Wubi table (libime's, dumped by libime_tabledict; none leaves Wubi out) and the
    radical forms (radical_forms)."""
    fields = READING_FIELDS + ("kCangjie", "kFourCornerCode", "kSimplifiedVariant",
                               "kSemanticVariant", "kZVariant")
    data = parse_unihan(unihan_lines, fields)
    reading_table = readings(data)
    near = near_syllables(reading_table)
    return {
        "readings.txt": table_bytes(
            ["character <TAB> its readings without tones, blank-separated",
             "characters of one reading are confused by pinyin input; generated from Unihan"],
            {ch: " ".join(rs) for ch, rs in reading_table.items()}),
        "near_syllables.txt": table_bytes(
            ["syllable <TAB> syllables heard alike (zh/z, ch/c, sh/s, n/l, -ng/-n)"],
            {s: " ".join(others) for s, others in near.items()}),
        "shapes.txt": table_bytes(
            ["character <TAB> characters of similar shape (Cangjie or Wubi codes one letter apart,",
             "or the same four-corner code)"],
            {ch: "".join(others)
             for ch, others in shapes(data, wubi_codes(wubi_lines)).items()}),
        "variants.txt": table_bytes(
            ["character outside the general standard list <TAB> its Simplified or standard forms"],
            {ch: "".join(targets) for ch, targets in variants(data, radicals).items()}),
    }


# jieba's tags of names: people's (nr, nrfg), transliterated (nrt) and places' (ns).
NAME_TAGS = ("nr", "nrfg", "nrt", "ns")
# A character is a name's when at least this share of its uses (jieba's counts of the words of
# two or more characters that hold it) are in names: 洛 .99, 祺 1.00, 亚 .86, against 录 .02.
NAME_CHARACTER_MIN_SHARE = 0.5


def name_characters(counts, tags):
    """name_chars.txt from jieba's word counts and tags: characters written mostly in names."""
    in_names = {}
    in_all = {}
    for word, count in counts.items():
        if len(word) < 2:
            continue
        named = tags.get(word) in NAME_TAGS
        for ch in set(word):
            in_all[ch] = in_all.get(ch, 0) + count
            if named:
                in_names[ch] = in_names.get(ch, 0) + count
    rows = {}
    for ch, total in in_all.items():
        share = in_names.get(ch, 0) / (total + 1)
        if share >= NAME_CHARACTER_MIN_SHARE and "\u4e00" <= ch <= "\u9fff":
            rows[ch] = f"{share:.2f}"
    return table_bytes(
        ["character <TAB> the share of its uses that are in names (jieba's nr, nrfg, nrt, ns)",
         f"characters of {NAME_CHARACTER_MIN_SHARE} or more; generated from python3-jieba"], rows)


UNIHAN_FILES = ("Unihan_Readings.txt", "Unihan_Variants.txt", "Unihan_DictionaryLikeData.txt")
RADICALS_FILE = "EquivalentUnifiedIdeograph.txt"


def read_lines(folder):
    lines = []
    for name in UNIHAN_FILES:
        path = os.path.join(folder, name)
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                lines += f.read().splitlines()
        else:
            with bz2.open(path + ".bz2", "rt", encoding="utf-8") as f:
                lines += f.read().splitlines()
    return lines


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.split("\n\n")[1])
    wubi = os.path.join(sys.argv[1], "wubi.txt")
    wubi_lines = []
    if os.path.exists(wubi):
        with open(wubi, encoding="utf-8") as f:
            wubi_lines = f.read().splitlines()
    radicals = set()
    equivalents = os.path.join(sys.argv[1], RADICALS_FILE)
    if os.path.exists(equivalents):
        with open(equivalents, encoding="utf-8") as f:
            radicals = radical_forms(f.read().splitlines())
    files = build(read_lines(sys.argv[1]), wubi_lines, radicals)
    os.makedirs(sys.argv[2], exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(sys.argv[2], name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
