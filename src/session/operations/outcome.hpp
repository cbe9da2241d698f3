// What an operation on the unit ends with: its result, or why there is none.
#pragma once

#include "session/unit_session.hpp"
#include "session/wait_until_ended.hpp"

#include <functional>
#include <optional>

namespace torl7 {

template <typename Result> struct Outcome {
    std::optional<Result> result;
    std::optional<SessionError> error;
    explicit operator bool() const { return result.has_value(); }
};

// Runs an operation to its end in a local event loop (the headless client's way).
template <typename Result>
Outcome<Result>
runToEnd(const std::function<void(std::function<void(const Outcome<Result>&)>)>& start) {
    return waitUntilEnded<Outcome<Result>>(start);
}

} // namespace torl7
