// One entry of what went over the line: a frame the tool sent, or what the receiver made of
// the bytes that came back. The session hands out one entry per event; what is kept, shown
// or written is up to whoever listens.
#pragma once

#include "protocol/encodings.hpp"
#include "protocol/request_kind.hpp"

#include <chrono>
#include <cstdint>

namespace torl7 {

struct TrafficEntry {
    enum class Direction : std::uint8_t { Sent, Received };
    enum class Sum : std::uint8_t {
        Good,       // a verified frame
        Bad,        // a sync byte whose frame had a wrong sum or an impossible length
        Incomplete, // an unfinished frame when the wait ended
        None,       // bytes that start no frame
    };
    enum class Fate : std::uint8_t {
        Request,   // a counted request
        Probe,     // an uncounted frame (search and speed-change pings, the echo check)
        Answer,    // the answer to the request outstanding
        Echo,      // the line's repetition of our own request
        OtherCode, // a verified frame with another code (an earlier request's answer)
        Unasked,   // a verified frame with no request outstanding
        Dropped,   // bytes that were no frame
    };

    std::chrono::steady_clock::time_point at;
    Direction direction = Direction::Sent;
    RequestKind requestKind = kind::Ping; // the kind of the request outstanding (or sent)
    Bytes bytes;
    Sum sum = Sum::Good;
    Fate fate = Fate::Request;
};

} // namespace torl7
