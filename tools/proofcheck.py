"""The checker in Python: the .dict reader, setup.ini's enabled lists and the forward scan.

Mirrors the engine's rules so that the shipped dictionaries can be measured and tuned without
building the C++ program. Positions and lengths are code points; every shipped key is made of
Basic Multilingual Plane characters, so they equal the editor's UTF-16 positions.
"""

import os

# The three kinds that setup.ini lists: (directory below the program directory, enabled-list key).
SYSTEM_CORRECT = ("data/sys/right/", "系统正确词库列表")
SYSTEM_ERROR = ("data/sys/error/", "系统错误词库列表")
USER_CORRECT = ("data/user/right/", "用户正确词库列表")
USER_ERROR = ("data/user/error/", "用户错误词库列表")
AUTOMATIC_FILE = "data/user/auto/auto.dict"

ERROR = 1
SUSPECTED = 2


def split_text(text, separators):
    """Cuts at every separator character, trims code units <= U+0020, drops empty pieces."""
    pieces = []
    start = 0
    for i, ch in enumerate(text):
        if ch in separators:
            pieces.append(text[start:i])
            start = i + 1
    pieces.append(text[start:])
    out = []
    for piece in pieces:
        piece = piece.strip("".join(chr(c) for c in range(0x21)))
        if piece:
            out.append(piece)
    return out


def decode_dict_bytes(data):
    """UTF-16LE code units as they stand, ending at the first U+0000; an odd byte is padded."""
    if len(data) % 2:
        data += b"\0"
    text = data.decode("utf-16-le", errors="surrogatepass")
    end = text.find("\0")
    return text if end < 0 else text[:end]


def read_dict_lines(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return []
    return split_text(decode_dict_bytes(data), "\r\n")


def parse_error_line(line):
    """Returns (wrong, right) for a line with exactly two pieces around '$' and '=', else None."""
    pieces = split_text(line, "$=")
    return (pieces[0], pieces[1]) if len(pieces) == 2 else None


def read_setting(path, section, key, default):
    """The first 'key=' line after the section's first header; the section runs to the end."""
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8", errors="ignore")
    except OSError:
        return default
    header = "[" + section + "]"
    prefix = key + "="
    inside = False
    for line in split_text(text, "\r\n"):
        if line == header:
            inside = True
        elif inside and line.startswith(prefix):
            return line[len(prefix):]
    return default


class Tables:
    """The correct-word set and the wrong-word -> suggestion map."""

    def __init__(self):
        self.correct = set()
        self.errors = {}

    def add_correct_file(self, path):
        self.correct.update(read_dict_lines(path))

    def add_error_file(self, path):
        for line in read_dict_lines(path):
            pair = parse_error_line(line)
            if pair is not None and pair[0] not in self.errors:
                self.errors[pair[0]] = pair[1]

    def longest_entry_length(self):
        lengths = [len(k) for k in self.correct] + [len(k) for k in self.errors]
        return max(lengths, default=0)

    @classmethod
    def from_program_directory(cls, root, settings_path=None):
        """Loads what the settings file enables (default: root's setup.ini) from root's data/."""
        settings_path = settings_path or os.path.join(root, "setup.ini")
        tables = cls()
        for (directory, key), is_error in ((SYSTEM_CORRECT, False), (SYSTEM_ERROR, True),
                                           (USER_CORRECT, False), (USER_ERROR, True)):
            names = split_text(read_setting(settings_path, "词库设置", key, ""), ",")
            for name in names:
                path = os.path.join(root, directory, name)
                (tables.add_error_file if is_error else tables.add_correct_file)(path)
        tables.add_correct_file(os.path.join(root, AUTOMATIC_FILE))
        return tables


class Checker:
    """Forward maximum matching with the context check for unmatched characters."""

    def __init__(self, tables, quantization=0, accuracy_boost=True):
        self.correct = tables.correct
        self.errors = tables.errors
        self.n = quantization if quantization >= 1 else tables.longest_entry_length()
        self.boost = accuracy_boost

    def check(self, text):
        """Returns the findings [(type, position, length, word, suggestion)] of a forward run."""
        n = self.n
        total = len(text)
        correct = self.correct
        errors = self.errors
        findings = []
        p = 0
        w = n
        while p < total:
            t = text[p:p + min(w, total - p)]
            length = len(t)
            if t in errors:
                if t not in ("\r", "\n", ""):
                    findings.append((ERROR, p, length, t, errors[t]))
                p += w
                w = n
            elif t in correct:
                p += w
                w = n
            elif w >= 2:
                w -= 1
            else:
                if t not in ("\r", "\n", "\r\n", ""):
                    if self.boost:
                        found = self._context(text, p, length)
                    else:
                        found = (SUSPECTED, p, length, t, "")
                    if found is not None:
                        findings.append(found)
                p += 1
                w = n
        return findings

    def _context(self, text, x, length):
        n = self.n
        before = [text[x - k + 1:x + 1] for k in range(2, n) if x - k + 1 >= 0]
        before_at = [x - k + 1 for k in range(2, n) if x - k + 1 >= 0]
        for t, b in zip(before, before_at):
            if t and t in self.errors:
                return (ERROR, b, len(t), t, "")
        for t in before:
            if t and t in self.correct:
                return None
        after = [(k, text[x:x + k]) for k in range(2, n)]
        for k, t in after:
            if t and t in self.errors:
                return (ERROR, x, k, t, "")
        for k, t in after:
            if t and t in self.correct:
                return None
        return (SUSPECTED, x, length, text[x:x + length], "")
