// Helpers shared by the desktop program's tests.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QColor>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <thread>

namespace kjf::test {

inline QString q(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Processes events until condition holds or timeoutMs has passed; returns the condition.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The one descendant of parent of type T with the object name name. When there is none, or more
// than one, the test fails with the name and the program ends here, instead of crashing later on
// a null pointer or going on with the wrong widget.
template <class T>
T* child(const QObject* parent, const char* name) {
    const auto found = parent->findChildren<T*>(QString::fromLatin1(name));
    if (found.size() != 1) {
        ADD_FAILURE() << found.size() << " objects of type " << T::staticMetaObject.className()
                      << " named \"" << name << "\" under " << parent->metaObject()->className();
        std::abort();
    }
    return found.front();
}

// The colour that the marks draw over the character at position: what its block's layout paints
// over the document's own format (the last range wins); invalid where no mark is drawn.
inline QColor markColour(const QTextEdit* editor, int position) {
    const QTextBlock block = editor->document()->findBlock(position);
    QColor colour;
    if (!block.isValid()) {
        return colour;
    }
    const int offset = position - block.position();
    for (const auto& range : block.layout()->formats()) {
        if (range.start <= offset && offset < range.start + range.length &&
            range.format.hasProperty(QTextFormat::ForegroundBrush)) {
            colour = range.format.foreground().color();
        }
    }
    return colour;
}

// Whether the document's own format of the character at position sets a text colour.
inline bool documentColours(const QTextEdit* editor, int position) {
    QTextCursor c(editor->document());
    c.setPosition(position);
    c.setPosition(position + 1, QTextCursor::KeepAnchor);
    return c.charFormat().hasProperty(QTextFormat::ForegroundBrush);
}

// Triggers command (the tool-bar's "校对") and returns when it does, that is once its modal
// progress window has closed. during, when given, runs once inside the progress window's loop as
// soon as the window shows. A progress window still open after watchdogMs is closed; returns
// whether that was needed.
inline bool triggerThroughProgress(QAction* command, QDialog* progress,
                                   const std::function<void()>& during, int watchdogMs) {
    bool watchdogFired = false;
    QTimer poll;
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!done && progress->isVisible()) {
            done = true;
            if (during) {
                during();
            }
        }
    });
    poll.start(1);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        progress->done(0);
    });
    watchdog.start(watchdogMs);
    command->trigger();
    return watchdogFired;
}

}  // namespace kjf::test
