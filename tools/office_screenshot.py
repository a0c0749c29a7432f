#!/usr/bin/python3
"""A picture of LibreOffice Writer underlining a Chinese document through the proofreading server.

    /usr/bin/python3 tools/office_screenshot.py SOFFICE BASE_URL SCREEN_GRAB OUT.png

Run by tools/screenshot_office.sh on an Xvfb display, with a LibreOffice that can draw windows.
"""

import subprocess
import sys
import time

from office_uno import Office

PARAGRAPHS = [
    "勘鉴坊校对服务",
    "我们要再接再励，争取更大的成绩。这部电影真是震憾人心，观众们迫不急待地想看续集。",
    "他的做法简直是一股作气，这件事情的来笼去脉，我们已经调查清楚了。",
    "LibreOffice 把每个段落交给校对服务，错误处画出波浪线，右键菜单里有建议的改法。",
]


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    soffice, url, grab, out = sys.argv[1:]
    with Office(headless=False, soffice=soffice) as office:
        office.use_server(url)
        provider = office.manager.createInstanceWithContext(
            "com.sun.star.configuration.ConfigurationProvider", office.context)
        # No tip of the day, no what's-new bar over the document.
        for path, name, value in [("/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", False),
                                  ("/org.openoffice.Setup/Product", "ooSetupLastVersion", "7.4")]:
            access = provider.createInstanceWithArguments(
                "com.sun.star.configuration.ConfigurationUpdateAccess",
                (office.property("nodepath", path),))
            access.setPropertyValue(name, value)
            access.commitChanges()

        desktop = office.manager.createInstanceWithContext("com.sun.star.frame.Desktop",
                                                           office.context)
        document = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0, ())
        standard = document.StyleFamilies.getByName("ParagraphStyles").getByName("Standard")
        standard.CharLocaleAsian = office.locale("zh", "CN")
        standard.CharFontNameAsian = "WenQuanYi Micro Hei"
        standard.CharHeightAsian = 14
        standard.CharHeight = 14
        text = document.Text
        cursor = text.createTextCursor()
        for i, paragraph in enumerate(PARAGRAPHS):
            if i > 0:
                text.insertControlCharacter(cursor, 0, False)  # PARAGRAPH_BREAK
            text.insertString(cursor, paragraph, False)
        controller = document.CurrentController
        window = controller.Frame.ContainerWindow
        window.setPosSize(0, 0, 1280, 800, 15)
        window.IsMaximized = True
        controller.ViewSettings.ZoomType = 3  # by value
        controller.ViewSettings.ZoomValue = 130
        # The checker runs while the document is idle; give it time to ask and to draw.
        time.sleep(10)
        # The spelling and grammar dialog at the first finding: its message and suggestion.
        controller.ViewCursor.gotoStart(False)
        dispatcher = office.manager.createInstanceWithContext(
            "com.sun.star.frame.DispatchHelper", office.context)
        dispatcher.executeDispatch(controller.Frame, ".uno:SpellingAndGrammarDialog", "", 0, ())
        time.sleep(3)
        # Below the text, so that the underlines stay in sight.
        toolkit = office.manager.createInstanceWithContext("com.sun.star.awt.Toolkit",
                                                           office.context)
        for i in range(toolkit.getTopWindowCount()):
            window = toolkit.getTopWindow(i)
            if window.getPosSize().Width < 1000:  # the dialog, not the document's window
                window.setPosSize(420, 430, 0, 0, 3)  # position only
        time.sleep(2)
        subprocess.run([grab, out], check=True)
        document.setModified(False)
        document.close(True)


if __name__ == "__main__":
    main()
