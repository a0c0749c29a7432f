// Showing a file in the desktop's file manager.
#pragma once

#include <QString>
#include <functional>

namespace kjf {

// Opens the desktop's file manager on the folder of path with the file selected, through
// org.freedesktop.FileManager1.ShowItems on the session bus; when there is no session bus, or
// the call fails, the folder itself is opened with the desktop's default handler. Returns without
// waiting for the file manager. GUI thread.
void revealInFileManager(const QString& path);

// For tests: handle every reveal instead of asking the desktop. An empty function asks the
// desktop again.
using RevealHandler = std::function<void(const QString& path)>;
void setRevealHandlerForTesting(RevealHandler handler);

}  // namespace kjf
