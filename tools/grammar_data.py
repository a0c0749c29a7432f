"""The grammar rules' files: the rule file as written and the part-of-speech tags of the words it
can name (called by build_data.py)."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))

# The grammar rules' word classes: words jieba counts at least this often (nouns, the largest
# class, at least NOUN_CLASS_MIN_COUNT) under the tags that the rules name.
WORD_CLASS_MIN_COUNT = 20
NOUN_CLASS_MIN_COUNT = 100
GRAMMAR_RULES = os.path.join(HERE, "grammar_rules.txt")

# A verb of one character and a complement of direction or result make a verb that jieba's
# lexicon often lacks (跑到, 爬上, 洒在, 装回, 吃完) while the language model's vocabulary reads it
# as one word; the rules then saw no verb in 孩子们蹦蹦跳跳的跑到院子里. Such pairs are tagged v
# unless jieba tags the pair otherwise (会上, 地上). The verbs are jieba's of one
# character counted at least COMPOUND_VERB_MIN_COUNT times, less those that mostly help, link or
# feel (是, 有, 会, 让, 怕): 会上 and 怕到 are no verbs of motion.
COMPOUND_VERB_MIN_COUNT = 1000
COMPOUND_VERB_NOT = set("是有来去要可能会使想如没让叫无即像称属应请相需随乃具系令占置品例术料兼独率呈"
                        "居待亲罢锛姓树横致侧斜杂费盛繁疏荒弓陷仰欢亏壮柔希禀凉润谓毕墩誉乘兴疼急怕"
                        "忙爱喜恨怪惊怨愁忧忌愿敢肯善惯晕疯悟烦困饿醉敬惧迷嫌感觉知望念盼得为在对")
COMPLEMENTS = "上下到在向进出回过起开完好走掉住成给错懂见清满光透倒坏醒来去入断死"
# Tags of jieba's that the rules must not take as they stand: 您 is a pronoun (jieba: zg), so that
# 会认真的核查您反映的问题 reads as a verb and its object as 会认真的核查他反映的问题 does.
TAG_FIXES = {"您": "r"}


def rule_lines(rules_text):
    """The rule file's lines that mean something, stripped: rules and list definitions."""
    for line in rules_text.splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            yield line


def is_list(line):
    return line.startswith("@") and "=" in line


def rule_tags(rules_text):
    """The part-of-speech tags that a rule file names (@name that no list defines)."""
    lists = set()
    tags = set()
    for line in rule_lines(rules_text):
        if is_list(line):
            lists.add(line[1:line.index("=")].strip())
            continue
        for token in line.split(":", 1)[1].split():
            for alternative in token.lstrip("!").rstrip("?+").split("|"):
                if alternative.startswith("@"):
                    tags.add(alternative[1:])
    return tags - lists - {"redup"}


def repeated_names(rules_text):
    """Rule names that the rule file gives more than once: the bench's counts and the findings'
    labels would merge two rules."""
    seen, repeated = set(), []
    for line in rule_lines(rules_text):
        if is_list(line) or ":" not in line:
            continue
        name = line.split(":", 1)[0].strip()
        if name in seen:
            repeated.append(name)
        seen.add(name)
    return repeated


def grammar_files(src, order):
    """grammar.txt (the rule file as written) and word_classes.txt (word<TAB>tag)."""
    with open(GRAMMAR_RULES, encoding="utf-8") as f:
        rules = f.read()
    repeated = repeated_names(rules)
    if repeated:
        raise SystemExit(f"{GRAMMAR_RULES}: rule names given twice: {', '.join(repeated)}")
    tags = rule_tags(rules)
    rows = []
    for word, tag in src.tags.items():
        tag = TAG_FIXES.get(word, tag)
        least = NOUN_CLASS_MIN_COUNT if tag == "n" else WORD_CLASS_MIN_COUNT
        if tag in tags and src.jieba.get(word, 0) >= least and src.simplified_han(word):
            rows.append(f"{word}\t{tag}")
    if "v" in tags:
        verbs = [w for w, tag in src.tags.items()
                 if len(w) == 1 and tag == "v" and src.jieba.get(w, 0) >= COMPOUND_VERB_MIN_COUNT
                 and w not in COMPOUND_VERB_NOT and src.simplified_han(w)]
        known = set(rows)
        rows += [f"{v}{c}\tv" for v in verbs for c in COMPLEMENTS
                 if src.tags.get(v + c, "v") == "v" and f"{v}{c}\tv" not in known]
    header = ["# word <TAB> its part-of-speech tag in jieba, for the tags that grammar.txt names",
              f"# ({', '.join(sorted(tags))}); words jieba counts at least {WORD_CLASS_MIN_COUNT}"
              f" times, nouns {NOUN_CLASS_MIN_COUNT}; a verb of one character and a complement"
              " that jieba lacks (跑到) is a verb"]
    body = "\n".join(header + sorted(rows, key=order)) + "\n"
    return {"grammar.txt": rules.encode("utf-8"), "word_classes.txt": body.encode("utf-8")}
