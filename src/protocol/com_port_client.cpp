#include "protocol/com_port_client.hpp"

#include <algorithm>

namespace torl7::telnet {

namespace {

void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

Bytes oneByteCommand(std::uint8_t command, std::uint8_t value) {
    const std::uint8_t v[1] = {value};
    return comPortCommand(command, v);
}

} // namespace

ComPortClient::ComPortClient()
    : options_({kOptionComPort, kOptionBinary, kOptionSuppressGoAhead},
               {kOptionBinary, kOptionSuppressGoAhead}) {}

Bytes ComPortClient::start() {
    return options_.offers();
}

ComPortClient::Offer ComPortClient::comPort() const {
    switch (options_.ours(kOptionComPort)) {
    case OptionTable::State::Yes:
        return Offer::Accepted;
    case OptionTable::State::Refused:
        return Offer::Refused;
    case OptionTable::State::No:
    case OptionTable::State::Asked:
        break;
    }
    return Offer::Pending;
}

Bytes ComPortClient::configure(std::uint32_t baud) {
    lastAsked_.reset();
    Bytes out = changeSpeed(baud);
    using namespace comport;
    append(out, oneByteCommand(kSetDataSize, 8));
    append(out, oneByteCommand(kSetParity, kParityNone));
    append(out, oneByteCommand(kSetStopSize, kOneStopBit));
    append(out, oneByteCommand(kSetControl, kNoFlowControl));
    append(out, oneByteCommand(kSetControl, kDtrOff));
    append(out, oneByteCommand(kSetControl, kRtsOn));
    append(out, oneByteCommand(kPurgeData, kPurgeBoth));
    return out;
}

Bytes ComPortClient::changeSpeed(std::uint32_t baud) {
    if (lastAsked_ == baud) {
        return {};
    }
    lastAsked_ = baud;
    awaited_.push_back(baud);
    const auto value = baudValue(baud);
    return comPortCommand(comport::kSetBaudRate, value);
}

Bytes ComPortClient::send(ByteSpan data) {
    if (!awaited_.empty()) {
        const std::size_t room = kMaxHeld - held_.size();
        held_.insert(held_.end(), data.begin(),
                     data.begin() + static_cast<std::ptrdiff_t>(std::min(room, data.size())));
        return {};
    }
    return escapeData(data);
}

void ComPortClient::confirm(std::uint32_t baud, Bytes& toSend) {
    confirmed_ = baud;
    if (awaited_.empty()) {
        return; // a notice the server sent on its own: no change of ours waits for it
    }
    const std::uint32_t asked = awaited_.front();
    awaited_.pop_front();
    if (!awaited_.empty()) {
        return; // a later change still waits
    }
    if (baud == asked) {
        append(toSend, escapeData(held_));
    } else {
        notTaken_ = SpeedNotTaken{asked, baud};
    }
    held_.clear();
}

ComPortClient::Incoming ComPortClient::receive(ByteSpan bytes) {
    Incoming in;
    std::vector<Command> commands;
    reader_.feed(bytes, in.data, commands);
    for (const Command& command : commands) {
        if (const auto* n = std::get_if<Negotiation>(&command)) {
            append(in.toSend, options_.answer(*n));
            continue;
        }
        const auto& sub = std::get<Subnegotiation>(command);
        if (sub.option == kOptionComPort && !sub.cut && sub.payload.size() == 5 &&
            sub.payload[0] == comport::kServerReply + comport::kSetBaudRate) {
            confirm(baudFromValue(ByteSpan(sub.payload).subspan(1)), in.toSend);
        }
    }
    return in;
}

} // namespace torl7::telnet
