#include "protocol/frame_assembler.hpp"

#include <algorithm>
#include <cstddef>

namespace torl7 {

namespace {

// Where the frame that starts at `at` would end, if its header has arrived and its length is
// possible; zero otherwise.
std::size_t frameEnd(const Bytes& bytes, std::size_t at) {
    if (bytes.size() - at < kHeaderSize || bytes[at + 5] > kMaxPayload) {
        return 0;
    }
    return at + bytes[at + 5] + kFrameOverhead;
}

// A complete verified frame at `at` behind an unfinished candidate. Its fixed byte must be
// right too: inside the payload of a long answer, a chance 0xAA with a chance sum must not
// pass for a frame.
bool verifiedFrameAt(const Bytes& bytes, std::size_t at) {
    if (bytes[at] != kSync || bytes.size() - at < kHeaderSize || bytes[at + 1] != kFixedByte) {
        return false;
    }
    const std::size_t end = frameEnd(bytes, at);
    return end != 0 && end <= bytes.size() &&
           parseFrame(ByteSpan(bytes).subspan(at, end - at)).has_value();
}

} // namespace

void FrameAssembler::append(ByteSpan bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

FrameAssembler::Item FrameAssembler::drop(std::size_t count, Dropped reason) {
    Item item;
    item.dropped.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    item.reason = reason;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    return item;
}

std::optional<FrameAssembler::Item> FrameAssembler::next() {
    if (pending_.empty()) {
        return std::nullopt;
    }
    const auto nextSync = [this](std::size_t from) {
        return static_cast<std::size_t>(
            std::find(pending_.begin() + static_cast<std::ptrdiff_t>(from), pending_.end(), kSync) -
            pending_.begin());
    };
    if (pending_[0] != kSync) {
        return drop(nextSync(0), Dropped::NoSync);
    }
    if (pending_.size() >= kHeaderSize && pending_[5] > kMaxPayload) {
        return drop(nextSync(1), Dropped::ImpossibleLength);
    }
    const std::size_t end = frameEnd(pending_, 0);
    if (end != 0 && end <= pending_.size()) {
        if (auto frame = parseFrame(ByteSpan(pending_).first(end))) {
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(end));
            return Item{std::move(frame), {}, Dropped::NoSync};
        }
        return drop(nextSync(1), Dropped::BadSum);
    }
    // Unfinished: it may be a stray sync byte that reads part of the real answer as its length.
    for (std::size_t at = nextSync(1); at < pending_.size(); at = nextSync(at + 1)) {
        if (verifiedFrameAt(pending_, at)) {
            return drop(at, Dropped::Overtaken);
        }
    }
    return std::nullopt;
}

std::optional<Frame> FrameAssembler::feed(ByteSpan bytes) {
    append(bytes);
    while (auto item = next()) {
        if (item->frame) {
            return std::move(item->frame);
        }
    }
    return std::nullopt;
}

} // namespace torl7
