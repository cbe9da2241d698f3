#include "protocol/telnet.hpp"

namespace torl7::telnet {

namespace {

bool isVerb(std::uint8_t b) {
    return b == kWill || b == kWont || b == kDo || b == kDont;
}

} // namespace

void Reader::reset() {
    state_ = State::Data;
    sub_ = {};
}

void Reader::feed(ByteSpan bytes, Bytes& data, std::vector<Command>& commands) {
    const auto keep = [this](std::uint8_t b) {
        if (sub_.payload.size() < kMaxSubnegotiation) {
            sub_.payload.push_back(b);
        } else {
            sub_.cut = true;
        }
    };
    const auto command = [&](std::uint8_t b) {
        if (b == kIac) {
            data.push_back(kIac);
            state_ = State::Data;
        } else if (isVerb(b)) {
            verb_ = b;
            state_ = State::Option;
        } else if (b == kSb) {
            state_ = State::SubOption;
        } else {
            state_ = State::Data; // NOP, GA, a break, a stray SE: nothing for the line
        }
    };
    for (const std::uint8_t b : bytes) {
        switch (state_) {
        case State::Data:
            if (b == kIac) {
                state_ = State::Command;
            } else {
                data.push_back(b);
            }
            break;
        case State::Command:
            command(b);
            break;
        case State::Option:
            commands.push_back(Negotiation{verb_, b});
            state_ = State::Data;
            break;
        case State::SubOption:
            sub_ = Subnegotiation{b, {}, false};
            state_ = State::Sub;
            break;
        case State::Sub:
            if (b == kIac) {
                state_ = State::SubCommand;
            } else {
                keep(b);
            }
            break;
        case State::SubCommand:
            if (b == kIac) {
                keep(kIac);
                state_ = State::Sub;
            } else if (b == kSe) {
                commands.push_back(std::move(sub_));
                sub_ = {};
                state_ = State::Data;
            } else {
                // A command inside a subnegotiation ends it: what came so far is taken as it
                // is, and the command is read as one.
                commands.push_back(std::move(sub_));
                sub_ = {};
                command(b);
            }
            break;
        }
    }
}

Bytes escapeData(ByteSpan data) {
    Bytes out;
    out.reserve(data.size() + 8);
    for (const std::uint8_t b : data) {
        out.push_back(b);
        if (b == kIac) {
            out.push_back(kIac);
        }
    }
    return out;
}

Bytes negotiation(std::uint8_t verb, std::uint8_t option) {
    return {kIac, verb, option};
}

Bytes subnegotiation(std::uint8_t option, ByteSpan payload) {
    Bytes out{kIac, kSb, option};
    const Bytes escaped = escapeData(payload);
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

Bytes comPortCommand(std::uint8_t command, ByteSpan value) {
    Bytes payload{command};
    payload.insert(payload.end(), value.begin(), value.end());
    return subnegotiation(kOptionComPort, payload);
}

std::array<std::uint8_t, 4> baudValue(std::uint32_t baud) {
    return {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
            static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
}

std::uint32_t baudFromValue(ByteSpan value) {
    std::uint32_t baud = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        baud = baud << 8 | (i < value.size() ? value[i] : 0u);
    }
    return baud;
}

OptionTable::OptionTable(std::vector<std::uint8_t> ourOptions,
                         std::vector<std::uint8_t> theirOptions) {
    for (const std::uint8_t option : ourOptions) {
        wantOurs_[option] = true;
    }
    for (const std::uint8_t option : theirOptions) {
        wantTheirs_[option] = true;
    }
}

Bytes OptionTable::offers() {
    Bytes out;
    for (std::size_t option = 0; option < 256; ++option) {
        const auto o = static_cast<std::uint8_t>(option);
        if (wantOurs_[option] && ours_[option] == State::No) {
            ours_[option] = State::Asked;
            const Bytes offer = negotiation(kWill, o);
            out.insert(out.end(), offer.begin(), offer.end());
        }
        if (wantTheirs_[option] && theirs_[option] == State::No) {
            theirs_[option] = State::Asked;
            const Bytes request = negotiation(kDo, o);
            out.insert(out.end(), request.begin(), request.end());
        }
    }
    return out;
}

Bytes OptionTable::answer(const Negotiation& n) {
    const bool oursSide = n.verb == kDo || n.verb == kDont;
    State& state = oursSide ? ours_[n.option] : theirs_[n.option];
    const bool wanted = oursSide ? wantOurs_[n.option] : wantTheirs_[n.option];
    const bool enable = n.verb == kDo || n.verb == kWill;
    const std::uint8_t yes = oursSide ? kWill : kDo;
    const std::uint8_t no = oursSide ? kWont : kDont;
    if (enable) {
        if (state == State::Yes) {
            return {};
        }
        if (!wanted) {
            return negotiation(no, n.option);
        }
        const bool asked = state == State::Asked;
        state = State::Yes;
        return asked ? Bytes{} : negotiation(yes, n.option);
    }
    switch (state) {
    case State::Yes:
        state = State::No;
        return negotiation(no, n.option);
    case State::Asked:
        state = State::Refused; // our offer or request turned down: nothing to answer
        return {};
    case State::No:
    case State::Refused:
        break;
    }
    return {};
}

} // namespace torl7::telnet
