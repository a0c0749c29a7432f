#!/usr/bin/python3
"""LibreOffice's own grammar checker against `kanjianfang-cli serve`.

    /usr/bin/python3 tests/office/office_check.py KANJIANFANG_CLI PROGRAM_DIR

Starts the server on a free port with the dictionaries (and the setting of the context check) of
PROGRAM_DIR, points a headless LibreOffice at it through the configuration API, and asks
LibreOffice's LanguageTool checker service for every paragraph below: the errors it gives must
be exactly the findings of `kanjianfang-cli check` (positions, lengths, suggestions). A missing
LibreOffice is a failure, not a skip.
"""

import json
import os
import select
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from office_uno import Office, OfficeMissing  # noqa: E402

# Planted errors: wrong words of the dictionaries, real-word errors of the context check,
# characters of no known word (one outside the Basic Multilingual Plane), and the characters a
# raw form body must keep (& = % +).
PARAGRAPHS = [
    "我们要再接再励，争取更大的成绩。",
    "这部电影真是震憾人心，观众们迫不急待地想看续集。",
    "他的做法简直是一股作气，这件事情的来笼去脉，我们已经调查清楚了。",
    "他的名字叫张𠮷，今天😀很开心，A&B=C，100%的人都同意1+1=2，再接再励。",
    "这个字“龘”很少见，大家迫不急待。",
]


def fail(message):
    print("office_check: " + message, file=sys.stderr)
    sys.exit(1)


def expected_findings(cli, root, paragraph):
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt", delete=False) as f:
        f.write(paragraph)
    try:
        result = subprocess.run([cli, "--root", root, "check", "--format", "json", f.name],
                                capture_output=True, text=True, timeout=120)
    finally:
        os.unlink(f.name)
    if result.returncode not in (0, 1):
        fail("check failed: " + result.stderr)
    return sorted((x["position"], x["length"],
                   [x["suggestion"]] if x["type"] == 1 and x["suggestion"] else [])
                  for x in json.loads(result.stdout)["findings"])


def start_server(cli, root):
    server = subprocess.Popen([cli, "--root", root, "serve", "--port", "0"],
                              stdout=subprocess.PIPE, text=True)
    ready, _, _ = select.select([server.stdout], [], [], 120)
    url = server.stdout.readline().strip() if ready else ""
    if not url.startswith("http://127.0.0.1:"):
        server.kill()
        fail("the server did not start (it printed %r)" % url)
    return server, url


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    cli, root = sys.argv[1], os.path.join(sys.argv[2], "")
    expected = [expected_findings(cli, root, p) for p in PARAGRAPHS]
    if not all(expected):
        fail("a paragraph has no finding to compare: %r" % expected)
    server, url = start_server(cli, root)
    problems = []
    try:
        with Office() as office:
            office.use_server(url)
            checker = office.checker()
            if not checker.hasLocale(office.locale("zh", "CN")):
                fail("LibreOffice's checker does not take zh-CN from " + url)
            for paragraph, wanted in zip(PARAGRAPHS, expected):
                got = sorted((start, length, suggestions) for start, length, suggestions, _, _
                             in office.proofread(checker, paragraph, office.locale()))
                if got != wanted:
                    problems.append("%s\n  LibreOffice: %s\n  check:       %s"
                                    % (paragraph, got, wanted))
                else:
                    print("%d findings as check gives them: %s" % (len(got), paragraph))
    except OfficeMissing as e:
        fail(str(e))
    finally:
        server.terminate()
        status = server.wait(timeout=60)
    if problems:
        fail("LibreOffice's findings differ:\n" + "\n".join(problems))
    if status != 0:
        fail("the server ended with status %d" % status)


if __name__ == "__main__":
    main()
