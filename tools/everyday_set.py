#!/usr/bin/env python3
"""Plants everyday miswritings into sentences of a corpus and writes an evaluation set.

    tools/everyday_set.py [--corpus DIR] [--words FILE] [--seed N] [--per-pair N] OUT.tsv

Reads the UTF-8 text files of DIR (default ../shared/corpus beside the repository), one paragraph
per line, and cuts them into sentences. Into some sentences it plants one error each: a word of
everyday_pairs.txt written wrong, or a particle written as another (的 for the adverbial 地 and
the complement 得, 在 for 再 and 再 for 在 where they stand alone); it keeps as many other
sentences untouched. A particle stands alone where no word of the word list (default the
repository's data/sys/right/words.dict) covers it. The set is written as `kanjianfang-cli
evaluate` reads it, with a fifth column naming the class of the planted error (empty for an
untouched sentence). The same corpus, word list and seed give the same set. Nothing of the
corpus needs to be kept: make the set when measuring. Python 3 standard library only.
"""

import argparse
import collections
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# Characters after which 得 is the complement particle: a degree or a result follows.
COMPLEMENT_STARTS = set("很非更太十相越比过不多极特有好快慢清满")
SENTENCE_ENDS = set("。！？；")
# The particle rules plant more sentences each than a word pair: they stand for a whole class.
PARTICLE_RULES = {"地→的", "得→的", "再→在", "在→再"}
MIN_SENTENCE, MAX_SENTENCE = 10, 100


def is_han(ch):
    return "\u4e00" <= ch <= "\u9fff"


def read_words(path):
    with open(path, "rb") as f:
        text = f.read().decode("utf-16-le")
    return {w for w in text.split("\r\n") if 2 <= len(w) <= 4}


def read_pairs(path):
    pairs = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3 and not line.startswith("#"):
                pairs.append(tuple(parts))
    return pairs


def sentences(corpus):
    out = []
    for name in sorted(os.listdir(corpus)):
        if not name.endswith(".txt"):
            continue
        with open(os.path.join(corpus, name), encoding="utf-8") as f:
            for paragraph in f:
                piece = ""
                for ch in paragraph.strip():
                    piece += ch
                    if ch in SENTENCE_ENDS:
                        out.append(piece.strip())
                        piece = ""
                if piece.strip():
                    out.append(piece.strip())
    keep = []
    seen = set()
    for s in out:
        han = sum(1 for c in s if is_han(c))
        if MIN_SENTENCE <= len(s) <= MAX_SENTENCE and han * 2 >= len(s) and s not in seen \
                and "\t" not in s:
            seen.add(s)
            keep.append(s)
    return keep


def covered(text, at, words):
    """Whether a word of two to four characters covers position at."""
    for length in range(2, 5):
        for start in range(max(0, at - length + 1), min(at, len(text) - length) + 1):
            if text[start:start + length] in words:
                return True
    return False


def particle_sites(text, words):
    """(position, wrong character, rule) for every particle that may be written as another."""
    sites = []
    for i in range(1, len(text) - 1):
        ch = text[i]
        if not (is_han(text[i - 1]) and is_han(text[i + 1])) or covered(text, i, words):
            continue
        if ch == "地":
            sites.append((i, "的", "de 地→的"))
        elif ch == "得" and text[i + 1] in COMPLEMENT_STARTS:
            sites.append((i, "的", "de 得→的"))
        elif ch == "再":
            sites.append((i, "在", "zai 再→在"))
        elif ch == "在":
            sites.append((i, "再", "zai 在→再"))
    return sites


def plant(corpus, words, pairs, seed, per_pair):
    rng = random.Random(seed)
    pool = sentences(corpus)
    rng.shuffle(pool)
    # Every way to plant an error, by rule: (sentence index, position, right, wrong).
    by_rule = collections.defaultdict(list)
    for n, text in enumerate(pool):
        for cls, right, wrong in pairs:
            at = text.find(right)
            # A form that the sentence already holds wrong, or a longer word around the right
            # one, would make the planted error no error.
            if at >= 0 and wrong not in text:
                by_rule[(cls, f"{right}→{wrong}")].append((n, at, right, wrong))
        for at, wrong, rule in particle_sites(text, words):
            cls, name = rule.split(" ")
            by_rule[(cls, name)].append((n, at, text[at], wrong))
    used = set()
    rows = []
    for (cls, name) in sorted(by_rule):
        sites = by_rule[(cls, name)]
        rng.shuffle(sites)
        taken = 0
        for n, at, right, wrong in sites:
            if taken >= (per_pair * 4 if name in PARTICLE_RULES else per_pair):
                break
            if n in used:
                continue
            used.add(n)
            taken += 1
            text = pool[n]
            source = text[:at] + wrong + text[at + len(right):]
            positions = [at + k for k in range(len(right)) if right[k] != wrong[k]]
            rows.append((source, text, positions, cls))
    planted = len(rows)
    clean = [n for n in range(len(pool)) if n not in used]
    for n in clean[:planted]:
        rows.append((pool[n], pool[n], [], ""))
    rng.shuffle(rows)
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("--corpus", default=os.path.join(os.path.dirname(ROOT), "shared", "corpus"))
    parser.add_argument("--words", default=os.path.join(ROOT, "data", "sys", "right", "words.dict"))
    parser.add_argument("--pairs", default=os.path.join(HERE, "everyday_pairs.txt"))
    parser.add_argument("--seed", type=int, default=21)
    parser.add_argument("--per-pair", type=int, default=20)
    args = parser.parse_args()
    rows = plant(args.corpus, read_words(args.words), read_pairs(args.pairs), args.seed,
                 args.per_pair)
    counts = collections.Counter(cls or "untouched" for _, _, _, cls in rows)
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write("id\tsource\ttarget\tpositions\tclass\n")
        for k, (source, target, positions, cls) in enumerate(rows, 1):
            f.write(f"everyday-{k:05d}\t{source}\t{target}\t{','.join(map(str, positions))}"
                    f"\t{cls}\n")
    print(", ".join(f"{k} {v}" for k, v in sorted(counts.items())), file=sys.stderr)


if __name__ == "__main__":
    main()
