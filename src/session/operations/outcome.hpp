// What an operation on the unit ends with: its result, or why there is none.
#pragma once

#include "session/unit_session.hpp"

#include <QEventLoop>

#include <functional>
#include <optional>

namespace torl7 {

template <typename Result> struct Outcome {
    std::optional<Result> result;
    std::optional<SessionError> error;
    explicit operator bool() const { return result.has_value(); }
};

// Starts an operation through `start`, which is handed the callback that ends it, and waits in
// a local event loop until it has ended (the headless client's way to run an operation).
template <typename Result>
Outcome<Result>
runToEnd(const std::function<void(std::function<void(const Outcome<Result>&)>)>& start) {
    QEventLoop loop;
    std::optional<Outcome<Result>> outcome;
    start([&](const Outcome<Result>& ended) {
        outcome = ended;
        loop.quit();
    });
    if (!outcome) {
        loop.exec();
    }
    return *outcome;
}

} // namespace torl7
