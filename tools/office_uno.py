"""LibreOffice's own grammar checker for the proofreading protocol, driven through UNO.

Starts a headless LibreOffice with a profile of its own, points its LanguageTool client at a
server through the configuration API and asks the checker service directly. Needs Debian's
python3-uno, so run it with /usr/bin/python3 (a python3 from elsewhere has no uno module).
"""

import os
import shutil
import subprocess
import tempfile
import time

CONFIG_PATH = "/org.openoffice.Office.Linguistic/GrammarChecking/LanguageTool"
CHECKER_SERVICE = "org.openoffice.lingu.LanguageToolGrammarChecker"


class OfficeMissing(Exception):
    """LibreOffice or its Python bridge is not installed."""


def _uno():
    try:
        import uno  # noqa: F401  (Debian's python3-uno)
        from com.sun.star.beans import PropertyValue
        from com.sun.star.lang import Locale
    except ImportError as e:
        raise OfficeMissing(
            "python3-uno is missing (apt-get install libreoffice-writer-nogui python3-uno; "
            "run with /usr/bin/python3): %s" % e)
    return uno, PropertyValue, Locale


class Office:
    """A LibreOffice process, headless unless asked otherwise; use as a context manager.
    soffice and env name another LibreOffice (one that can draw windows, for screenshots)."""

    def __init__(self, timeout=60, headless=True, soffice=None, env=None):
        self.timeout = timeout
        self.headless = headless
        self.soffice = soffice
        self.env = env
        self.process = None
        self.profile = None

    def __enter__(self):
        uno, self._PropertyValue, self._Locale = _uno()
        soffice = self.soffice or shutil.which("soffice")
        if soffice is None:
            raise OfficeMissing("soffice is missing (apt-get install libreoffice-writer-nogui)")
        self.profile = tempfile.mkdtemp(prefix="kjf-office-")
        pipe = "kjf-office-%d" % os.getpid()
        mode = ["--headless", "--invisible"] if self.headless else []
        # Importing uno points URE_BOOTSTRAP at the installed LibreOffice; a LibreOffice of its
        # own finds its bootstrap files by itself.
        env = dict(self.env if self.env is not None else os.environ)
        env.pop("URE_BOOTSTRAP", None)
        self.process = subprocess.Popen(
            [soffice] + mode + ["--norestore", "--nologo", "--nodefault",
                                "-env:UserInstallation=file://" + self.profile,
                                "--accept=pipe,name=%s;urp;" % pipe],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + self.timeout
        while True:
            try:
                self.context = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    self.__exit__(None, None, None)
                    raise RuntimeError("LibreOffice did not start")
                time.sleep(0.1)
        self.manager = self.context.ServiceManager
        return self

    def __exit__(self, *exc):
        if self.process is not None:
            try:
                desktop = self.manager.createInstanceWithContext(
                    "com.sun.star.frame.Desktop", self.context)
                desktop.terminate()
            except Exception:
                pass
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None
        if self.profile is not None:
            shutil.rmtree(self.profile, ignore_errors=True)
            self.profile = None
        return False

    def use_server(self, base_url):
        """Sets the LanguageTool client's base URL and turns it on, as Tools > Options does."""
        provider = self.manager.createInstanceWithContext(
            "com.sun.star.configuration.ConfigurationProvider", self.context)
        node = self._PropertyValue()
        node.Name = "nodepath"
        node.Value = CONFIG_PATH
        access = provider.createInstanceWithArguments(
            "com.sun.star.configuration.ConfigurationUpdateAccess", (node,))
        access.setPropertyValue("BaseURL", base_url)
        access.setPropertyValue("IsEnabled", True)
        access.commitChanges()

    def property(self, name, value):
        p = self._PropertyValue()
        p.Name = name
        p.Value = value
        return p

    def checker(self):
        return self.manager.createInstanceWithContext(CHECKER_SERVICE, self.context)

    def locale(self, language="zh", country="CN"):
        return self._Locale(language, country, "")

    def proofread(self, checker, text, locale):
        """The checker's errors for a paragraph, as Writer asks for them: (start, length,
        suggestions, short comment, full comment) in the order it gives them."""
        result = checker.doProofreading("kjf-document", text, locale, 0, len(text), ())
        return [(e.nErrorStart, e.nErrorLength, list(e.aSuggestions), e.aShortComment,
                 e.aFullComment) for e in result.aErrors]


def utf16_length(text):
    """Length in UTF-16 code units, as LibreOffice counts."""
    return len(text.encode("utf-16-le")) // 2
