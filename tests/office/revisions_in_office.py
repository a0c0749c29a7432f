#!/usr/bin/python3
"""LibreOffice judges the documents that `kanjianfang-cli check --revisions` and the desktop
program's "导出修订稿" write.

LibreOffice itself makes .docx files (headings, bold, coloured and 10.5-point runs, a table, a
footnote, planted errors); the tool checks each with a small dictionary set of its own and writes
its revisions; LibreOffice opens the result and must find that accepting every change gives the
corrected text, rejecting every change gives the original, the comments are the findings without a
suggestion, and the changed characters keep their run's format.

The desktop program's test (RevisionExportTest in tests/gui/revision_export_tests.cpp, offscreen)
imports a .docx, checks it, accepts two suggestions, types over a word and exports; it runs here
once on a document LibreOffice made and once on its own, and LibreOffice must find that accepting
every change gives exactly the editor's text, rejecting every change exactly the imported text,
and that the comments are the rows left in the list.

Run with Debian's /usr/bin/python3 (python3-uno): kanjianfang-cli's path is the first argument, a
scratch folder the second, and the desktop program's test executable (editor_command_tests) the
optional third. One LibreOffice process serves every document.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.connection import NoConnectException
    from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK
except ImportError as error:  # pragma: no cover - a machine without python3-uno
    sys.exit(f"revisions_in_office: LibreOffice's Python bridge is missing ({error}); "
             "install libreoffice-writer-nogui and python3-uno (.ci/install-deps)")

CLI = None
SCRATCH = None
OFFICE = None
GUI_TEST = None

BOLD = 150.0
RED = 0xC9211E

# Planted errors: the error dictionary's wrong words and their corrections.
ERRORS = {
    "再接再励": "再接再厉",
    "按步就班": "按部就班",
    "迫不急待": "迫不及待",
    "一愁莫展": "一筹莫展",
    "甲乙": "丙丁",
}
# Characters that no word of the correct dictionary holds: suspected errors, one comment each.
SUSPECTED = "丌亓"

# The documents: each a list of blocks. A paragraph is (style, [(text, format), ...]); a table is
# ("table", rows); a footnote is attached to the paragraph before it.
DOCUMENTS = {
    "formats": [
        ("Heading 1", [("校对工作的要点", {})]),
        ("Standard", [("编辑部要求大家", {}), ("再接再励", {"bold": True}),
                      ("，把书稿中的错别字一一找出来。", {})]),
        ("Standard", [("新人做事总是", {}), ("按步就班", {"color": RED}),
                      ("，老编辑则更看重通读全文的语感。", {})]),
        ("Standard", [("读者", {}), ("迫不急待", {"size": 10.5}),
                      ("地想看到新书，可出版社不能因此放松审读。", {})]),
        ("footnote", "脚注里的文字也属于书稿，但不在正文之中。"),
        ("Heading 2", [("一张小表", {})]),
        ("table", [["问题", "说明"], ["一愁莫展", "常见的同音错字"]]),
        ("Standard", [("最后一段里有个生僻的", {}), ("丌", {"bold": True}),
                      ("字和一个", {}), ("亓", {}), ("字。", {})]),
    ],
    "spanning": [
        ("Standard", [("这一改动跨过两段文字：甲", {}), ("乙", {"bold": True}),
                      ("两个字各有格式。", {})]),
        ("Standard", [("没有错误的段落保持原样。", {})]),
    ],
}


# A document written by hand with what Word writes and LibreOffice's own documents lack: a run
# whose formatting change was tracked (w:rPrChange, whose w:id each piece of the split run must
# not repeat) and text moved with tracking on (read once, where it now stands).
HANDMADE_BODY = (
    '<w:p><w:r><w:rPr><w:b/><w:rPrChange w:id="1" w:author="A" w:date="2024-01-01T00:00:00Z">'
    '<w:rPr/></w:rPrChange></w:rPr><w:t>格式改过的再接再励和按步就班两处</w:t></w:r></w:p>'
    '<w:p><w:moveToRangeStart w:id="2" w:author="A" w:date="2024-01-01T00:00:00Z" '
    'w:name="move1"/><w:moveTo w:id="3" w:author="A" w:date="2024-01-01T00:00:00Z"><w:r>'
    '<w:t>搬来的一段字</w:t></w:r></w:moveTo><w:moveToRangeEnd w:id="2"/><w:r>'
    '<w:t>留在原处</w:t></w:r></w:p>'
    '<w:p><w:r><w:t>原来的位置</w:t></w:r><w:moveFromRangeStart w:id="4" w:author="A" '
    'w:date="2024-01-01T00:00:00Z" w:name="move1"/><w:moveFrom w:id="5" w:author="A" '
    'w:date="2024-01-01T00:00:00Z"><w:r><w:t>搬来的一段字</w:t></w:r></w:moveFrom>'
    '<w:moveFromRangeEnd w:id="4"/></w:p>')
HANDMADE_TEXTS = ["格式改过的再接再励和按步就班两处", "搬来的一段字留在原处", "原来的位置"]


def write_handmade(path):
    import zipfile
    word = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as docx:
        docx.writestr("[Content_Types].xml",
                      '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                      '<Types xmlns="http://schemas.openxmlformats.org/package/2006/'
                      'content-types"><Default Extension="rels" ContentType="application/'
                      'vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
                      'ContentType="application/xml"/><Override PartName="/word/document.xml" '
                      'ContentType="application/vnd.openxmlformats-officedocument.'
                      'wordprocessingml.document.main+xml"/></Types>')
        docx.writestr("_rels/.rels",
                      '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                      '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                      'relationships"><Relationship Id="rId1" Type="http://schemas.'
                      'openxmlformats.org/officeDocument/2006/relationships/officeDocument" '
                      'Target="word/document.xml"/></Relationships>')
        docx.writestr("word/document.xml",
                      f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                      f'<w:document xmlns:w="{word}"><w:body>{HANDMADE_BODY}'
                      f'<w:sectPr/></w:body></w:document>')


# The document of the desktop program's test, as LibreOffice makes it: the same paragraphs, runs
# and table that the test builds itself (docxBody in revision_export_tests.cpp).
GUI_DOCUMENT = [
    ("Standard", [("文章写完之后", {}), ("再接再励", {"bold": True, "color": RED}), ("检查", {})]),
    ("Standard", [("编辑按步就班地检查书稿", {})]),
    ("table", [["作者", "迫不急待"]]),
    ("Standard", [("作者丌", {})]),
]
GUI_EXPORT_TEST = "RevisionExportTest.DocxKeepsEveryDifferenceAsATrackedChangeAndTheRowsLeftAsComments"


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


class Office:
    """One headless LibreOffice process and a connection to it."""

    def __init__(self, folder):
        if shutil.which("soffice") is None:
            sys.exit("revisions_in_office: soffice not found; install libreoffice-writer-nogui "
                     "(.ci/install-deps)")
        self.pipe = f"kjf_office_{os.getpid()}"
        profile = os.path.join(folder, "profile")
        self.process = subprocess.Popen(
            ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
             "--nodefault", "--nolockcheck",
             f"-env:UserInstallation=file://{profile}",
             f"--accept=pipe,name={self.pipe};urp;StarOffice.ComponentContext"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + 120
        while True:
            try:
                self.context = resolver.resolve(
                    f"uno:pipe,name={self.pipe};urp;StarOffice.ComponentContext")
                break
            except NoConnectException:
                if time.monotonic() > deadline or self.process.poll() is not None:
                    self.process.kill()
                    sys.exit("revisions_in_office: LibreOffice did not start")
                time.sleep(0.3)
        smgr = self.context.ServiceManager
        self.desktop = smgr.createInstanceWithContext("com.sun.star.frame.Desktop", self.context)
        self.dispatcher = smgr.createInstanceWithContext(
            "com.sun.star.frame.DispatchHelper", self.context)

    def close(self):
        try:
            self.desktop.terminate()
        except Exception:  # the bridge goes away with the process
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()

    def new_document(self):
        return self.desktop.loadComponentFromURL(
            "private:factory/swriter", "_blank", 0, (prop("Hidden", True),))

    def open(self, path):
        """A document with a (hidden) window, for commands that act on a view."""
        return self.desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(path), "_blank", 0, (prop("Hidden", True),))

    def open_model(self, path):
        """A document without a window. The no-GUI packages lack the interface descriptions of
        the windows that show comments, so a document with comments is only opened this way."""
        document = self.context.ServiceManager.createInstanceWithContext(
            "com.sun.star.text.TextDocument", self.context)
        document.load((prop("URL", uno.systemPathToFileUrl(path)),
                       prop("FilterName", "MS Word 2007 XML")))
        return document

    def save_docx(self, document, path):
        document.storeToURL(uno.systemPathToFileUrl(path),
                            (prop("FilterName", "MS Word 2007 XML"),))

    def dispatch(self, document, command):
        frame = document.getCurrentController().getFrame()
        self.dispatcher.executeDispatch(frame, command, "", 0, ())


def build(office, blocks, path):
    """Makes the document with LibreOffice and saves it as .docx."""
    document = office.new_document()
    text = document.Text
    cursor = text.createTextCursor()
    # A table goes in before the paragraph at the cursor, which then takes the next block.
    open_paragraph = True
    for block in blocks:
        kind = block[0]
        if kind == "footnote":
            footnote = document.createInstance("com.sun.star.text.Footnote")
            text.insertTextContent(cursor, footnote, False)
            footnote.setString(block[1])
            continue
        if not open_paragraph:
            text.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
        open_paragraph = kind == "table"
        if kind == "table":
            rows = block[1]
            table = document.createInstance("com.sun.star.text.TextTable")
            table.initialize(len(rows), len(rows[0]))
            text.insertTextContent(cursor, table, False)
            for r, row in enumerate(rows):
                for c, cell in enumerate(row):
                    table.getCellByName(chr(ord("A") + c) + str(r + 1)).setString(cell)
            continue
        cursor.ParaStyleName = kind
        for run, form in block[1]:
            text.insertString(cursor, run, False)
            cursor.goLeft(len(run), True)
            # Chinese characters take the Asian variants of weight and size.
            cursor.CharWeight = cursor.CharWeightAsian = BOLD if form.get("bold") else 100.0
            cursor.CharColor = form.get("color", -1)
            cursor.CharHeight = cursor.CharHeightAsian = form.get("size", 12.0)
            cursor.collapseToEnd()
    office.save_docx(document, path)
    document.close(True)


def view(document):
    """The document's text as LibreOffice holds it: paragraphs, table cells, footnotes."""
    parts = []
    enumeration = document.Text.createEnumeration()
    while enumeration.hasMoreElements():
        element = enumeration.nextElement()
        if element.supportsService("com.sun.star.text.TextTable"):
            parts.extend(element.getCellByName(name).getString()
                         for name in element.getCellNames())
        else:
            parts.append(element.getString())
    footnotes = document.getFootnotes()
    parts.extend(footnotes.getByIndex(i).getString() for i in range(footnotes.getCount()))
    return "\n".join(parts)


def editor_view(document):
    """The document's body as the import gives it: a line per paragraph and per table row, the
    cells of a row separated by tabs."""
    lines = []
    enumeration = document.Text.createEnumeration()
    while enumeration.hasMoreElements():
        element = enumeration.nextElement()
        if element.supportsService("com.sun.star.text.TextTable"):
            for row in range(element.getRows().getCount()):
                cells = [element.getCellByPosition(column, row).getString()
                         for column in range(element.getColumns().getCount())]
                lines.append("\t".join(cells))
        else:
            lines.append(element.getString())
    return "\n".join(lines)


def comments(document):
    """(anchor text, content) of every comment."""
    found = []
    fields = document.getTextFields().createEnumeration()
    while fields.hasMoreElements():
        field = fields.nextElement()
        if field.supportsService("com.sun.star.text.TextField.Annotation"):
            found.append((field.getAnchor().getString(), field.Content))
    return sorted(found)


def formats_of(document, word):
    """(bold, colour, size) of every occurrence of word."""
    search = document.createSearchDescriptor()
    search.SearchString = word
    found = document.findAll(search)
    return [(found.getByIndex(i).CharWeightAsian, found.getByIndex(i).CharColor,
             found.getByIndex(i).CharHeightAsian) for i in range(found.getCount())]


def write_program_directory(folder, texts):
    """setup.ini and dictionaries: every character of texts a correct word except the suspected
    ones, and the planted errors."""
    characters = sorted({c for t in texts for c in t} - set(SUSPECTED) - set("\n\t "))
    right = os.path.join(folder, "data", "sys", "right")
    wrong = os.path.join(folder, "data", "sys", "error")
    os.makedirs(right, exist_ok=True)
    os.makedirs(wrong, exist_ok=True)
    with open(os.path.join(right, "c.dict"), "wb") as f:
        f.write("".join(c + "\r\n" for c in characters).encode("utf-16-le"))
    with open(os.path.join(wrong, "e.dict"), "wb") as f:
        f.write("".join(f"{w}$=${s}\r\n" for w, s in ERRORS.items()).encode("utf-16-le"))
    with open(os.path.join(folder, "setup.ini"), "wb") as f:
        f.write("[词库设置]\r\n系统正确词库列表=c.dict,\r\n系统错误词库列表=e.dict,\r\n"
                "[引擎设置]\r\n语境校对=0\r\n".encode("utf-8"))


def judge_revisions(office, path, folder, name, view_of):
    """The comments of the document at path, and its text (view_of) after rejecting and after
    accepting every change; the document after accepting is returned open."""
    # The comments are read and taken out, and the document with its tracked changes kept in
    # LibreOffice's own format, which then opens in a window for the commands.
    document = office.open_model(path)
    has_changes = document.getRedlines().createEnumeration().hasMoreElements()
    found = comments(document)
    fields = document.getTextFields().createEnumeration()
    annotations = []
    while fields.hasMoreElements():
        field = fields.nextElement()
        if field.supportsService("com.sun.star.text.TextField.Annotation"):
            annotations.append(field)
    for field in annotations:
        field.dispose()
    kept = os.path.join(folder, name + "-kept.odt")
    document.storeToURL(uno.systemPathToFileUrl(kept), (prop("FilterName", "writer8"),))
    document.close(True)
    document = office.open(kept)
    office.dispatch(document, ".uno:RejectAllTrackedChanges")
    rejected = view_of(document)
    document.close(True)
    document = office.open(kept)
    office.dispatch(document, ".uno:AcceptAllTrackedChanges")
    accepted = view_of(document)
    return has_changes, found, rejected, accepted, document


class RevisionsInOffice(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="kjf-office-", dir=SCRATCH)
        cls.results = {}
        texts = []
        for name, blocks in DOCUMENTS.items():
            for block in blocks:
                if block[0] == "footnote":
                    texts.append(block[1])
                elif block[0] == "table":
                    texts.extend(cell for row in block[1] for cell in row)
                else:
                    texts.extend(run for run, _ in block[1])
        texts.extend(HANDMADE_TEXTS)
        write_program_directory(cls.folder, texts)
        for name, blocks in DOCUMENTS.items():
            source = os.path.join(cls.folder, name + ".docx")
            revised = os.path.join(cls.folder, name + "-校对.docx")
            build(OFFICE, blocks, source)
            run = subprocess.run([CLI, "--root", cls.folder, "check", "--boost", "0",
                                  "--revisions", revised, source],
                                 capture_output=True, text=True)
            cls.results[name] = (source, revised, run)
        source = os.path.join(cls.folder, "handmade.docx")
        revised = os.path.join(cls.folder, "handmade-校对.docx")
        write_handmade(source)
        run = subprocess.run([CLI, "--root", cls.folder, "check", "--boost", "0",
                              "--revisions", revised, source], capture_output=True, text=True)
        cls.results["handmade"] = (source, revised, run)

    @classmethod
    def tearDownClass(cls):
        if not os.environ.get("KJF_OFFICE_KEEP"):
            shutil.rmtree(cls.folder, ignore_errors=True)

    def judged(self, name):
        """The source's text, and the revised document's comments and its text after rejecting
        and after accepting every change."""
        source, revised, run = self.results[name]
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertTrue(os.path.exists(revised), run.stderr)
        document = OFFICE.open_model(source)
        original = view(document)
        document.close(True)
        has_changes, found, rejected, accepted, document = judge_revisions(
            OFFICE, revised, self.folder, name, view)
        self.assertTrue(has_changes)
        return original, found, rejected, accepted, document

    def test_formats_table_and_footnote(self):
        original, found, rejected, accepted, document = self.judged("formats")
        try:
            self.assertEqual(rejected, original)
            corrected = original
            for wrong, right in ERRORS.items():
                corrected = corrected.replace(wrong, right)
            self.assertNotEqual(corrected, original)
            self.assertEqual(accepted, corrected)
            self.assertEqual(found, sorted((c, "疑似错误") for c in SUSPECTED))
            # The corrected words keep the bold, colour and size of the runs they replace.
            self.assertEqual([f[0] for f in formats_of(document, "再接再厉")], [BOLD])
            self.assertEqual([f[1] for f in formats_of(document, "按部就班")], [RED])
            self.assertEqual([f[2] for f in formats_of(document, "迫不及待")], [10.5])
            self.assertIn("脚注里的文字也属于书稿", accepted)
        finally:
            document.close(True)

    def test_change_spanning_two_runs(self):
        original, found, rejected, accepted, document = self.judged("spanning")
        try:
            self.assertEqual(rejected, original)
            self.assertEqual(accepted, original.replace("甲乙", "丙丁"))
            self.assertEqual(found, [])
        finally:
            document.close(True)

    def test_tracked_formatting_and_moved_text(self):
        source, revised, run = self.results["handmade"]
        self.assertEqual(run.returncode, 1, run.stderr)
        import re
        import zipfile
        with zipfile.ZipFile(revised) as docx:
            xml = docx.read("word/document.xml").decode("utf-8")
        ids = re.findall(r'<w:(?:ins|del|rPrChange|moveTo|moveFrom)\b[^>]* w:id="([0-9]+)"', xml)
        self.assertGreaterEqual(len(ids), 7, xml)
        self.assertEqual(len(ids), len(set(ids)), xml)
        has_changes, found, rejected, accepted, document = judge_revisions(
            OFFICE, revised, self.folder, "handmade", editor_view)
        try:
            self.assertTrue(has_changes)
            self.assertEqual(found, [])
            # Accepting every change, the earlier ones too, moves the text and corrects the words.
            self.assertEqual(accepted, "格式改过的再接再厉和按部就班两处\n搬来的一段字留在原处\n原来的位置")
            self.assertEqual([f[0] for f in formats_of(document, "再接再厉")], [BOLD])
        finally:
            document.close(True)


class GuiExportInOffice(unittest.TestCase):
    """What the desktop program's "导出修订稿" wrote, judged by LibreOffice."""

    @classmethod
    def setUpClass(cls):
        if GUI_TEST is None:
            raise unittest.SkipTest("built without the desktop program")
        cls.folder = tempfile.mkdtemp(prefix="kjf-office-gui-", dir=SCRATCH)

    @classmethod
    def tearDownClass(cls):
        if not os.environ.get("KJF_OFFICE_KEEP"):
            shutil.rmtree(cls.folder, ignore_errors=True)

    def exported(self, name, source=None):
        """Runs the desktop program's export test, on source when given; the folder it left its
        files in."""
        folder = os.path.join(self.folder, name)
        os.makedirs(folder)
        environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", KJF_EXPORT_KEEP=folder)
        if source is not None:
            environment["KJF_EXPORT_SOURCE"] = source
        run = subprocess.run([GUI_TEST, f"--gtest_filter={GUI_EXPORT_TEST}"], env=environment,
                             capture_output=True, text=True, timeout=240)
        self.assertEqual(run.returncode, 0, run.stdout[-4000:] + run.stderr[-2000:])
        self.assertTrue(os.path.exists(os.path.join(folder, "revised.docx")), run.stdout[-2000:])
        return folder

    def judge(self, folder):
        def read(name):
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                return f.read()
        editor, imported = read("editor.txt"), read("imported.txt")
        rows = sorted(tuple(line.split("\t")) for line in read("comments.tsv").splitlines())
        has_changes, found, rejected, accepted, document = judge_revisions(
            OFFICE, os.path.join(folder, "revised.docx"), folder, "revised", editor_view)
        try:
            self.assertTrue(has_changes)
            self.assertNotEqual(editor, imported)
            self.assertEqual(accepted, editor)
            self.assertEqual(rejected, imported)
            self.assertEqual(found, rows)
            self.assertEqual(len(found), 2)
            # The corrected word keeps the bold of its run.
            self.assertEqual([f[0] for f in formats_of(document, "再接再厉")], [BOLD])
        finally:
            document.close(True)

    def test_a_document_libreoffice_made(self):
        source = os.path.join(self.folder, "书稿.docx")
        build(OFFICE, GUI_DOCUMENT, source)
        self.judge(self.exported("office", source))

    def test_the_tests_own_document(self):
        self.judge(self.exported("own"))


def main():
    global CLI, SCRATCH, OFFICE, GUI_TEST
    if len(sys.argv) < 3:
        sys.exit("usage: revisions_in_office.py KANJIANFANG_CLI SCRATCH_DIR [GUI_TEST]")
    CLI = os.path.abspath(sys.argv[1])
    SCRATCH = os.path.abspath(sys.argv[2])
    if len(sys.argv) > 3:
        GUI_TEST = os.path.abspath(sys.argv[3])
    os.makedirs(SCRATCH, exist_ok=True)
    home = tempfile.mkdtemp(prefix="kjf-office-home-", dir=SCRATCH)
    OFFICE = Office(home)
    try:
        suite = unittest.TestSuite(
            unittest.defaultTestLoader.loadTestsFromTestCase(case)
            for case in (RevisionsInOffice, GuiExportInOffice))
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        OFFICE.close()
        shutil.rmtree(home, ignore_errors=True)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
