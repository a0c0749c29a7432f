// The main window's editor: a rich-text editor that imports dropped files and leaves its context
// menu to the main window.
#pragma once

#include <QStringList>
#include <QTextEdit>

namespace kjf {

// The rich-text editor of the main window. A drop of files from the file manager is reported by
// filesDropped instead of inserting their addresses; any other drop is the editor's usual one.
// GUI thread only.
class ProofEditor : public QTextEdit {
    Q_OBJECT
  public:
    using QTextEdit::QTextEdit;

    // The local file paths that mime data carries, in drop order.
    static QStringList localFiles(const QMimeData* data);

    // Inserts source over the selection exactly as the editor's paste inserts the clipboard's data,
    // without reading or changing the clipboard.
    void pasteData(const QMimeData& source) { insertFromMimeData(&source); }

  signals:
    // The paths of the dropped files, in drop order; never empty.
    void filesDropped(const QStringList& paths);
    // The context menu was asked for (by the right mouse button or the menu key) at globalPos.
    void contextMenuRequested(const QPoint& globalPos);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace kjf
