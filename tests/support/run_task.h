#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QCoro/QCoroTask>

#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>

namespace testsupport {

// Runs the Qt event loop until the task has finished and returns its result,
// rethrowing what it threw. Fails the test after `limit` so a hung coroutine
// cannot stall the suite.
template <typename T>
T runTask(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    QEventLoop loop;
    bool finished = false;
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    auto driver = [&](QCoro::Task<T> inner) -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(inner);
                result = true;
            } else {
                result = co_await std::move(inner);
            }
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
        loop.quit();
    };
    auto running = driver(std::move(task));
    if (!finished) {
        QTimer::singleShot(limit, &loop, [&] { loop.quit(); });
        loop.exec();
    }
    if (!finished) throw std::runtime_error("task did not finish in time");
    if (error) std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>) return std::move(*result);
}

// Spins the event loop until `condition` holds or `limit` passes.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace testsupport
