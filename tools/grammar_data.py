"""The grammar rules' files: the rule file as written and the part-of-speech tags of the words it
can name (called by build_data.py)."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))

# The grammar rules' word classes: words jieba counts at least this often (nouns, the largest
# class, at least NOUN_CLASS_MIN_COUNT) under the tags that the rules name.
WORD_CLASS_MIN_COUNT = 20
NOUN_CLASS_MIN_COUNT = 100
GRAMMAR_RULES = os.path.join(HERE, "grammar_rules.txt")


def rule_tags(rules_text):
    """The part-of-speech tags that a rule file names (@name that no list defines)."""
    lists = set()
    tags = set()
    for line in rules_text.splitlines():
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("@") and "=" in line:
            lists.add(line[1:line.index("=")].strip())
            continue
        for token in line.split(":", 1)[1].split():
            for alternative in token.lstrip("!").rstrip("?+").split("|"):
                if alternative.startswith("@"):
                    tags.add(alternative[1:])
    return tags - lists - {"redup"}


def grammar_files(src, order):
    """grammar.txt (the rule file as written) and word_classes.txt (word<TAB>tag)."""
    with open(GRAMMAR_RULES, encoding="utf-8") as f:
        rules = f.read()
    tags = rule_tags(rules)
    rows = []
    for word, tag in src.tags.items():
        least = NOUN_CLASS_MIN_COUNT if tag == "n" else WORD_CLASS_MIN_COUNT
        if tag in tags and src.jieba.get(word, 0) >= least and src.simplified_han(word):
            rows.append(f"{word}\t{tag}")
    header = ["# word <TAB> its part-of-speech tag in jieba, for the tags that grammar.txt names",
              f"# ({', '.join(sorted(tags))}); words jieba counts at least {WORD_CLASS_MIN_COUNT}"
              f" times, nouns {NOUN_CLASS_MIN_COUNT}"]
    body = "\n".join(header + sorted(rows, key=order)) + "\n"
    return {"grammar.txt": rules.encode("utf-8"), "word_classes.txt": body.encode("utf-8")}
