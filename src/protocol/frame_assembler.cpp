#include "protocol/frame_assembler.hpp"

#include <algorithm>

namespace torl7 {

void FrameAssembler::reset(ByteSpan echoToIgnore) {
    buffer_.fill(0);
    count_ = 0;
    delivered_ = false;
    echo_.assign(echoToIgnore.begin(), echoToIgnore.end());
}

FrameAssembler::State FrameAssembler::state() const {
    if (delivered_) {
        return State::Delivered;
    }
    return count_ == 0 ? State::WaitingForSync : State::Gathering;
}

std::optional<Frame> FrameAssembler::feed(ByteSpan bytes) {
    std::optional<Frame> result;
    for (std::uint8_t byte : bytes) {
        if (delivered_) {
            break;
        }
        if (count_ == 0) {
            if (byte == kSync) {
                buffer_[0] = byte;
                count_ = 1;
            }
            continue;
        }
        buffer_[count_++] = byte;
        if (count_ <= kHeaderSize - 1) {
            continue;
        }
        const std::size_t length = buffer_[5];
        if (length > kMaxPayload) {
            // Such a frame cannot be held; wait for the next sync byte instead.
            abandon();
            continue;
        }
        if (count_ < length + kFrameOverhead) {
            continue;
        }
        auto frame = parseFrame(ByteSpan(buffer_).first(count_));
        abandon();
        if (!frame) {
            continue; // wrong sum: silently dropped, the timeout reports the loss
        }
        if (!echo_.empty() && std::ranges::equal(frame->bytes(), echo_)) {
            echo_.clear();
            continue;
        }
        count_ = frame->bytes().size();
        delivered_ = true;
        result = std::move(frame);
    }
    return result;
}

} // namespace torl7
