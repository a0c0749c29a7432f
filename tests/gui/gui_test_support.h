// Helpers shared by the desktop program's tests.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <chrono>
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

}  // namespace kjf::test
