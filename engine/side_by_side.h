// Two pieces of work at once, the first on a thread of its own.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

namespace kjf {

// Runs first on a new thread and second on this one, and returns when both have ended. When no
// thread can be started (no memory left for one), first runs here after second. An exception of
// either is passed on to the caller once both have ended (first's, when both throw).
template <typename First, typename Second>
void runSideBySide(First first, Second second) {
    std::exception_ptr firstError;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                first();
            } catch (...) {
                firstError = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
    }
    std::exception_ptr secondError;
    try {
        second();
    } catch (...) {
        secondError = std::current_exception();
    }
    if (worker.joinable()) {
        worker.join();
    } else if (!secondError) {
        try {
            first();
        } catch (...) {
            firstError = std::current_exception();
        }
    }
    if (firstError) {
        std::rethrow_exception(firstError);
    }
    if (secondError) {
        std::rethrow_exception(secondError);
    }
}

}  // namespace kjf
