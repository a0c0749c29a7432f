// Helpers shared by the desktop program's tests.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdlib>
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

}  // namespace kjf::test
