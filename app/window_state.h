// What the main window keeps between starts: the user's state file beside setup.ini.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "text/files.h"

namespace kjf {

// The state file's name in the settings folder. setup.ini holds only what the user sets; where
// the window was and which folder the last import came from are kept apart from it.
inline constexpr std::string_view kWindowStateFileName = "window-state.ini";

// What the main window was like when the program last ended; an empty or zero member was not
// kept (or could not be read).
struct MainWindowState {
    QByteArray geometry;   // QWidget::saveGeometry: size, position, screen, maximized
    int listSide = 0;      // from the splitter's left edge to the window's right edge, in pixels
    QString importFolder;  // the folder of the last imported document

    bool hasPlace() const { return !geometry.isEmpty() && listSide > 0; }
};

// Reads the state file in settingsDirectory (ending in '/'): UTF-8 lines "geometry=" (base64),
// "listSide=" (a positive whole number) and "importFolder=" (a path) after a header line. A
// missing, unreadable or malformed file or line gives empty members: the window then opens as at
// a first start. Any thread.
MainWindowState readMainWindowState(const std::string& settingsDirectory);

// Writes the state file through a temporary file renamed into place, so that a failed write
// leaves the old one whole. A folder whose name holds a line break is not kept. Any thread.
WriteResult writeMainWindowState(const std::string& settingsDirectory,
                                 const MainWindowState& state);

}  // namespace kjf
