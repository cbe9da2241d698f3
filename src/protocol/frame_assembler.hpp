// Gathers the unit's answer from whatever slices the serial line delivers and reports a
// verified frame. No I/O: bytes in, at most one frame out per request.
#pragma once

#include "protocol/frame.hpp"

#include <array>

namespace torl7 {

class FrameAssembler {
public:
    enum class State {
        WaitingForSync, // nothing gathered; every byte but 0xAA is dropped
        Gathering,      // a sync byte came, the rest of the frame is being gathered
        Delivered,      // a verified frame was handed out; everything is dropped until reset
    };

    // Forget everything gathered, as every sender does before writing a request. When
    // `echoToIgnore` is given, one received frame identical to it is taken for the line's
    // echo of the request (an RS-485 adapter that hears itself) and skipped.
    void reset(ByteSpan echoToIgnore = {});

    // Examines the bytes of one receive event in order. Returns the verified frame when these
    // bytes complete one; the bytes after it are dropped, and so is everything until the next
    // reset, so one answer is never handed out twice. Gives the same result however the
    // stream is cut into events.
    std::optional<Frame> feed(ByteSpan bytes);

    State state() const;
    std::size_t gathered() const { return count_; }

private:
    void abandon() { count_ = 0; }

    std::array<std::uint8_t, kMaxFrame> buffer_{};
    std::size_t count_ = 0;
    bool delivered_ = false;
    Bytes echo_;
};

} // namespace torl7
