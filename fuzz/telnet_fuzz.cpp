// The Telnet stream of a serial server, as the tool's RFC 2217 client and the simulated
// server read it: any bytes, cut into any segments. Whatever the cut (an IAC at a segment's
// end, a subnegotiation that never ends, option negotiation in any order), both sides must
// read the same data and send the same answers as from the stream in one piece, keep their
// state bounded, and give back what they escaped.
#include "fuzz_target.hpp"

#include "protocol/com_port_client.hpp"
#include "sim/com_port_server.hpp"

using namespace torl7;
using namespace torl7::telnet;

namespace {

struct Read {
    Bytes data;
    Bytes toSend;
    bool operator==(const Read&) const = default;
};

template <typename Side> Read readInSlices(Side& side, ByteSpan stream, std::uint8_t cutSeed) {
    Read read;
    std::size_t pos = 0;
    std::size_t step = cutSeed == 0 ? stream.size() : 1 + cutSeed % 13;
    while (pos < stream.size()) {
        const std::size_t len = std::min(step, stream.size() - pos);
        auto in = side.receive(stream.subspan(pos, len));
        read.data.insert(read.data.end(), in.data.begin(), in.data.end());
        read.toSend.insert(read.toSend.end(), in.toSend.begin(), in.toSend.end());
        pos += len;
        step = 1 + (step * 5 + cutSeed) % 17;
    }
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t cutSeed = data[0];
    const ByteSpan stream(data + 1, size - 1);

    // The client, with a speed change waiting, so that confirmations release held bytes.
    const auto client = [&](std::uint8_t seed) {
        ComPortClient side;
        side.start();
        side.configure(9600);
        side.send(Bytes{0xAA, 0xFF, 0x01});
        Read read = readInSlices(side, stream, seed);
        FUZZ_CHECK(read.data.size() <= stream.size());
        FUZZ_CHECK(side.heldBytes() <= 3);
        return std::pair{read, side.comPort()};
    };
    FUZZ_CHECK(client(0) == client(cutSeed));

    const auto server = [&](std::uint8_t seed) {
        sim::ComPortServer side(115200);
        Read read = readInSlices(side, stream, seed);
        FUZZ_CHECK(read.data.size() <= stream.size());
        FUZZ_CHECK(side.lineSpeedBaud() > 0);
        return std::pair{read, side.lineSpeedBaud()};
    };
    FUZZ_CHECK(server(0) == server(cutSeed));

    // What the tool escapes comes back whole.
    Reader reader;
    Bytes back;
    std::vector<Command> commands;
    reader.feed(escapeData(stream), back, commands);
    FUZZ_CHECK(commands.empty());
    FUZZ_CHECK(back == Bytes(stream.begin(), stream.end()));
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    // A serial server's greeting, its confirmations, data with doubled 0xFF.
    const Bytes greeting{3,    kIac,  kWill, 3,    kIac, kDo,  3,    kIac,  kWill, 1,
                         kIac, kDont, 1,     kIac, kDo,  0,    kIac, kWill, 0,     kIac,
                         kDo,  44,    kIac,  kSb,  44,   101,  0,    0,     0x25,  0x80,
                         kIac, kSe,   0xAA,  0x06, kIac, kIac, kIac, kIac,  0x0F};
    // A subnegotiation that never ends, and an IAC as the last byte.
    Bytes endless{7, kIac, kSb, 44, 1};
    endless.insert(endless.end(), 90, 0x55);
    endless.push_back(kIac);
    const Bytes clientSide{1,    kIac, kWill, 44,  kIac, kSb, 44, 1,    0,   0,    0x25, 0x80,
                           kIac, kSe,  kIac,  kSb, 44,   12,  3,  kIac, kSe, 0xAA, kIac, kIac};
    return {greeting, endless, clientSide};
}
