#include "app/window_state.h"

#include <QList>

namespace kjf {

namespace {

constexpr std::string_view kHeader = "[主窗口]";
constexpr std::string_view kGeometryKey = "geometry=";
constexpr std::string_view kListSideKey = "listSide=";
constexpr std::string_view kImportFolderKey = "importFolder=";

std::string pathIn(const std::string& settingsDirectory) {
    return settingsDirectory + std::string(kWindowStateFileName);
}

QByteArray valueOf(const QByteArray& line, std::string_view key) {
    return line.mid(static_cast<qsizetype>(key.size()));
}

}  // namespace

MainWindowState readMainWindowState(const std::string& settingsDirectory) {
    MainWindowState state;
    const auto bytes = readWholeFile(pathIn(settingsDirectory));
    if (!bytes) {
        return state;
    }
    for (const QByteArray& raw : QByteArray::fromStdString(*bytes).split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.startsWith(kGeometryKey.data())) {
            const auto decoded = QByteArray::fromBase64Encoding(
                valueOf(line, kGeometryKey), QByteArray::AbortOnBase64DecodingErrors);
            state.geometry = decoded ? decoded.decoded : QByteArray();
        } else if (line.startsWith(kListSideKey.data())) {
            bool number = false;
            const int side = valueOf(line, kListSideKey).toInt(&number);
            state.listSide = number && side > 0 ? side : 0;
        } else if (line.startsWith(kImportFolderKey.data())) {
            state.importFolder = QString::fromUtf8(valueOf(line, kImportFolderKey));
        }
    }
    return state;
}

WriteResult writeMainWindowState(const std::string& settingsDirectory,
                                 const MainWindowState& state) {
    std::string text = std::string(kHeader) + "\r\n" + std::string(kGeometryKey) +
                       state.geometry.toBase64().toStdString() + "\r\n" +
                       std::string(kListSideKey) + std::to_string(state.listSide) + "\r\n";
    if (!state.importFolder.isEmpty() && !state.importFolder.contains(u'\n') &&
        !state.importFolder.contains(u'\r')) {
        text += std::string(kImportFolderKey) + state.importFolder.toStdString() + "\r\n";
    }
    return writeFileAtomically(pathIn(settingsDirectory), text);
}

}  // namespace kjf
