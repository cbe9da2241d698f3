#include "sim/com_port_server.hpp"

namespace torl7::sim {

using namespace telnet;

ComPortServer::ComPortServer(int serverSpeedBaud)
    : options_({kOptionBinary, kOptionSuppressGoAhead},
               {kOptionComPort, kOptionBinary, kOptionSuppressGoAhead}),
      baud_(serverSpeedBaud) {}

Bytes ComPortServer::start() {
    return options_.offers();
}

Bytes ComPortServer::answerComPort(const Subnegotiation& command) {
    if (command.payload.empty() || command.cut || command.payload[0] >= comport::kServerReply) {
        return {};
    }
    const std::uint8_t code = command.payload[0];
    const ByteSpan value = ByteSpan(command.payload).subspan(1);
    const std::uint8_t reply = code + comport::kServerReply;
    if (code == comport::kSetBaudRate) {
        // Zero asks for the speed without changing it.
        if (const std::uint32_t baud = baudFromValue(value); baud != 0 && baud <= 4000000) {
            baud_ = static_cast<int>(baud);
        }
        return comPortCommand(reply, baudValue(static_cast<std::uint32_t>(baud_)));
    }
    // The other settings are what the unit's line has anyway (8N1, no flow control): each is
    // confirmed as asked; a request for the value (0) gets the value in use.
    std::uint8_t current = 1;
    if (code == comport::kSetDataSize) {
        current = 8;
    }
    const std::uint8_t confirmed[1] = {value.empty() || value[0] == 0 ? current : value[0]};
    return comPortCommand(reply, confirmed);
}

ComPortServer::Incoming ComPortServer::receive(ByteSpan bytes) {
    Incoming in;
    std::vector<Command> commands;
    reader_.feed(bytes, in.data, commands);
    for (const Command& command : commands) {
        Bytes answer;
        if (const auto* n = std::get_if<Negotiation>(&command)) {
            answer = options_.answer(*n);
        } else if (const auto& sub = std::get<Subnegotiation>(command);
                   sub.option == kOptionComPort) {
            answer = answerComPort(sub);
        }
        in.toSend.insert(in.toSend.end(), answer.begin(), answer.end());
    }
    return in;
}

} // namespace torl7::sim
