// The server's side of RFC 2217, as an Ethernet serial server in front of the unit speaks it:
// asks for the COM-PORT option, agrees to binary data, takes the client's line settings and
// confirms each with the value set. The unit answers only while the speed the client set is
// its own, as on a serial line. Pure.
#pragma once

#include "protocol/telnet.hpp"

namespace torl7::sim {

class ComPortServer {
public:
    // `serverSpeedBaud`: the serial side's speed until the client sets one.
    explicit ComPortServer(int serverSpeedBaud);

    // Sent to a new client: the server's offers and requests.
    Bytes start();

    struct Incoming {
        Bytes data;   // for the serial side
        Bytes toSend; // negotiation answers and confirmations, for the client
    };
    Incoming receive(ByteSpan bytes);

    // The unit's bytes as they go to the client: 0xFF doubled.
    static Bytes send(ByteSpan data) { return telnet::escapeData(data); }

    int lineSpeedBaud() const { return baud_; }

private:
    Bytes answerComPort(const telnet::Subnegotiation& command);

    telnet::Reader reader_;
    telnet::OptionTable options_;
    int baud_;
};

} // namespace torl7::sim
