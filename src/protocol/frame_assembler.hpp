// Finds the unit's frames in whatever slices the serial line delivers. No I/O: bytes in,
// frames and discarded runs out, in the order they stood on the line.
//
// A stray 0xAA (line turn-around noise) looks like the start of a frame. Its "length" is
// whatever byte follows, so it may swallow the real answer behind it; the scan therefore
// never trusts one candidate: a candidate with a bad sum or an impossible length gives up only
// its first byte and the scan starts again right after it, and a candidate still waiting for
// bytes gives way to a complete verified frame that starts later in what has arrived.
#pragma once

#include "protocol/frame.hpp"

#include <optional>

namespace torl7 {

class FrameAssembler {
public:
    // Why received bytes were dropped.
    enum class Dropped : std::uint8_t {
        NoSync,           // bytes before any sync byte
        BadSum,           // a sync byte whose frame has a wrong sum
        ImpossibleLength, // a sync byte followed by a length above kMaxPayload
        Overtaken,        // an unfinished frame, given up for a verified one after it
    };

    // What the scan found next: a verified frame, or a run of bytes that starts none.
    struct Item {
        std::optional<Frame> frame;
        Bytes dropped;
        Dropped reason = Dropped::NoSync;
    };

    // Forgets everything received, as every sender does before writing a request.
    void reset() { pending_.clear(); }

    // Adds the bytes of one receive event.
    void append(ByteSpan bytes);

    // The next frame or dropped run, in line order; nothing while the bytes received so far
    // can still become a frame. Whatever follows a frame stays for the next call.
    std::optional<Item> next();

    // append() and then the first verified frame among what is pending (dropped runs are
    // skipped); bytes after it stay pending for the next call.
    std::optional<Frame> feed(ByteSpan bytes);

    // Bytes received and not yet handed out: at most one unfinished frame after next() has
    // returned nothing.
    std::size_t pending() const { return pending_.size(); }
    const Bytes& pendingBytes() const { return pending_; }

private:
    Item drop(std::size_t count, Dropped reason);

    Bytes pending_;
};

} // namespace torl7
