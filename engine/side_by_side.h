// Two pieces of work at once, the first on a thread of its own.
#pragma once

#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

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

// Runs every job on a thread of its own (on this thread when none can be started) and returns
// when all have ended; the first exception of a job is passed on to the caller then.
inline void runAll(const std::vector<std::function<void()>>& jobs) {
    std::vector<std::exception_ptr> errors(jobs.size());
    std::vector<std::thread> threads;
    std::vector<std::size_t> here;
    const auto run = [&](std::size_t i) {
        try {
            jobs[i]();
        } catch (...) {
            errors[i] = std::current_exception();
        }
    };
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        try {
            threads.emplace_back(run, i);
        } catch (const std::system_error&) {
            here.push_back(i);
        }
    }
    for (const std::size_t i : here) {
        run(i);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

}  // namespace kjf
