#!/usr/bin/env python3
"""Measures how well a program directory's dictionaries find errors in a spelling-check set.

    tools/evaluate.py [--root DIR] SET.tsv [SET.tsv ...]

A set is UTF-8 with one header line and rows of: id, source (with errors), target (corrected),
comma-separated 0-based positions where the two differ. Each source sentence is checked on its own,
forward, with automatic quantization and the context check, using the dictionaries that DIR's
setup.ini enables (default: the repository's data/ and setup.ini). Printed per set:

- character precision: findings that cover at least one error position / all findings;
- character recall: error positions covered by some finding / all error positions;
- sentence precision, recall and F1: a sentence with errors is found when every error position is
  covered and every finding touches an error position; a sentence with any finding counts as a
  detection;
- false flags per 1000 characters of the sentences without errors.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import proofcheck  # noqa: E402


def read_set(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        next(f)
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) < 3:
                continue
            positions = {int(x) for x in parts[3].split(",") if x} if len(parts) > 3 else set()
            rows.append((parts[1], positions))
    return rows


def measure(checker, rows, on_sentence=None):
    findings_all = findings_hit = 0
    errors_all = errors_hit = 0
    detected = found = with_errors = 0
    clean_chars = clean_findings = 0
    for text, positions in rows:
        findings = checker.check(text)
        covered = set()
        every_finding_hits = True
        for _kind, pos, length, _word, _suggestion in findings:
            span = set(range(pos, pos + length))
            hit = span & positions
            findings_all += 1
            if hit:
                findings_hit += 1
                covered |= hit
            else:
                every_finding_hits = False
        errors_all += len(positions)
        errors_hit += len(covered)
        if findings:
            detected += 1
        if positions:
            with_errors += 1
            if covered == positions and every_finding_hits:
                found += 1
        else:
            clean_chars += len(text)
            clean_findings += len(findings)
        if on_sentence is not None:
            on_sentence(text, positions, findings)

    def ratio(a, b):
        return a / b if b else 0.0

    sp = ratio(found, detected)
    sr = ratio(found, with_errors)
    return {
        "char_precision": ratio(findings_hit, findings_all),
        "char_recall": ratio(errors_hit, errors_all),
        "sentence_precision": sp,
        "sentence_recall": sr,
        "sentence_f1": ratio(2 * sp * sr, sp + sr),
        "false_flags_per_1000": ratio(1000 * clean_findings, clean_chars),
        "findings": findings_all,
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", default=os.path.dirname(here),
                        help="program directory with setup.ini and data/ (default: the repository,"
                             " whose setup.ini is kept in data/)")
    parser.add_argument("sets", nargs="+")
    args = parser.parse_args()
    root = args.root
    settings = os.path.join(root, "setup.ini")
    if not os.path.exists(settings):
        # The repository keeps setup.ini inside data/; a build puts it beside data/.
        settings = os.path.join(root, "data", "setup.ini")
    tables = proofcheck.Tables.from_program_directory(root, settings)
    checker = proofcheck.Checker(tables)
    print(f"quantization {checker.n}, {len(tables.correct)} correct words, "
          f"{len(tables.errors)} wrong words")
    print("| set | sentence F1 | sentence P | sentence R | char precision | char recall "
          "| false flags / 1000 |")
    print("|---|---|---|---|---|---|---|")
    for path in args.sets:
        m = measure(checker, read_set(path))
        name = os.path.splitext(os.path.basename(path))[0]
        print(f"| {name} | {m['sentence_f1']:.3f} | {m['sentence_precision']:.3f} "
              f"| {m['sentence_recall']:.3f} | {m['char_precision']:.3f} "
              f"| {m['char_recall']:.3f} | {m['false_flags_per_1000']:.2f} |")


if __name__ == "__main__":
    main()
