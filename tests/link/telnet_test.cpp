// The Telnet stream of a serial server (RFC 854, RFC 2217) and the port texts that name one,
// against byte vectors written out by hand.
#include "protocol/com_port_client.hpp"
#include "protocol/line_endpoint.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::telnet;

TEST(LineEndpoint, thePortTextNamesADeviceOrAServerWithItsPort) {
    using K = LineEndpoint::Kind;
    struct Case {
        const char* text;
        std::optional<K> kind; // nothing: refused
        const char* host = "";
        std::uint16_t port = 0;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", K::Device},
        {"COM12", K::Device},
        {"tcp://10.0.0.5:4001", K::RawTcp, "10.0.0.5", 4001},
        {" RFC2217://server-1.plant:23/ ", K::Rfc2217, "server-1.plant", 23},
        {"rfc2217://[fe80::1]:4001", K::Rfc2217, "fe80::1", 4001},
        {"tcp://10.0.0.5", std::nullopt},
        {"tcp://10.0.0.5:0", std::nullopt},
        {"tcp://10.0.0.5:65536", std::nullopt},
        {"tcp://:4001", std::nullopt},
        {"tcp://user@host:4001", std::nullopt},
        {"rfc2217://[::1:4001", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto endpoint = parseLineEndpoint(c.text);
        ASSERT_EQ(endpoint.has_value(), c.kind.has_value());
        if (endpoint) {
            EXPECT_EQ(endpoint->kind, *c.kind);
            EXPECT_EQ(endpoint->server,
                      (*c.kind == K::Device ? HostPort{} : HostPort{c.host, c.port}));
        }
    }
    // A listener may ask for any free port; the text it prints is opened as it stands.
    EXPECT_EQ(parseHostPort("127.0.0.1:0", true), (HostPort{"127.0.0.1", 0}));
    EXPECT_EQ(endpointText(K::Rfc2217, {"::1", 4001}), "rfc2217://[::1]:4001");
}

TEST(TelnetReader, splitsDataFromCommandsHoweverTheStreamIsCut) {
    // IAC SB 44, seventy bytes, IAC SE, one byte of data.
    Bytes overlong(3 + 70 + 3, 0x41);
    overlong[0] = kIac;
    overlong[1] = kSb;
    overlong[2] = 44;
    overlong[73] = kIac;
    overlong[74] = kSe;
    overlong[75] = 0x07;
    struct Case {
        const char* name;
        Bytes stream;
        Bytes data;
        std::vector<Command> commands;
    };
    const Case cases[] = {
        {"data", {0xAA, 0x06, 0x0D, 0x00}, {0xAA, 0x06, 0x0D, 0x00}, {}},
        {"doubled 0xFF", {0x01, kIac, kIac, kIac, kIac}, {0x01, 0xFF, 0xFF}, {}},
        {"negotiation among data",
         {0x01, kIac, kWill, 44, 0x02},
         {0x01, 0x02},
         {Negotiation{kWill, 44}}},
        {"speed confirmed, 0xFF in its value",
         {kIac, kSb, 44, 101, 0x00, 0x00, 0x00, kIac, kIac, kIac, kSe},
         {},
         {Subnegotiation{44, {101, 0, 0, 0, 0xFF}, false}}},
        {"subnegotiation longer than kept",
         overlong,
         {0x07},
         {Subnegotiation{44, Bytes(64, 0x41), true}}},
        {"subnegotiation ended by a command",
         {kIac, kSb, 44, 1, kIac, kDo, 3, 0x05},
         {0x05},
         {Subnegotiation{44, {1}, false}, Negotiation{kDo, 3}}},
        {"no-operation and go-ahead", {kIac, 241, 0x09, kIac, 249}, {0x09}, {}},
    };
    for (const Case& c : cases) {
        for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
            SCOPED_TRACE(std::string(c.name) + ", cut at " + std::to_string(cut));
            Reader reader;
            Bytes data;
            std::vector<Command> commands;
            const ByteSpan stream(c.stream);
            reader.feed(stream.first(cut), data, commands);
            reader.feed(stream.subspan(cut), data, commands);
            EXPECT_EQ(data, c.data);
            EXPECT_EQ(commands, c.commands);
        }
    }
}

TEST(TelnetOptions, eachRequestIsAnsweredOnceAndOnlyWhatWeOfferIsAgreed) {
    OptionTable options({kOptionComPort, kOptionBinary}, {kOptionBinary});
    EXPECT_EQ(options.offers(), (Bytes{kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 44}));
    struct Step {
        Negotiation from;
        Bytes answer;
    };
    const Step steps[] = {
        {{kDo, kOptionComPort}, {}},                  // our offer taken: no answer
        {{kWill, kOptionEcho}, {kIac, kDont, 1}},     // never wanted
        {{kDo, 24}, {kIac, kWont, 24}},               // terminal type: not ours
        {{kWill, kOptionBinary}, {}},                 // our request taken
        {{kWill, kOptionBinary}, {}},                 // again: already so, no loop
        {{kWont, kOptionBinary}, {kIac, kDont, 0}},   // taken back: acknowledged
        {{kDont, kOptionComPort}, {kIac, kWont, 44}}, // withdrawn after agreement
        {{kDo, kOptionComPort}, {kIac, kWill, 44}},   // asked again
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.from.verb) + " " + std::to_string(step.from.option));
        EXPECT_EQ(options.answer(step.from), step.answer);
    }
}

namespace {

Bytes comPortReply(std::uint8_t command, std::uint32_t baud) {
    return comPortCommand(command + comport::kServerReply, baudValue(baud));
}

} // namespace

TEST(ComPortClient, bytesWrittenAfterASpeedChangeWaitForTheServersConfirmation) {
    ComPortClient client;
    client.start();
    EXPECT_EQ(client.comPort(), ComPortClient::Offer::Pending);
    client.receive(negotiation(kDo, kOptionComPort));
    EXPECT_EQ(client.comPort(), ComPortClient::Offer::Accepted);

    const Bytes request{0xAA, 0x06, 0xFF, 0xFF, 0x02, 0x00, 0x02, 0xAD};
    const Bytes escaped{0xAA, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x02, 0xAD};
    client.configure(9600);
    EXPECT_TRUE(client.send(request).empty()) << "held until the speed is confirmed";
    EXPECT_EQ(client.receive(comPortReply(comport::kSetBaudRate, 9600)).toSend, escaped);
    EXPECT_EQ(client.send(request), escaped);
    EXPECT_TRUE(client.changeSpeed(9600).empty()) << "the speed asked already";

    // Two changes in a row: the first confirmation still holds the bytes.
    client.changeSpeed(300);
    client.changeSpeed(19200);
    client.send(request);
    EXPECT_TRUE(client.receive(comPortReply(comport::kSetBaudRate, 300)).toSend.empty());
    EXPECT_EQ(client.receive(comPortReply(comport::kSetBaudRate, 19200)).toSend, escaped);

    // A server that sets another speed than asked: nothing goes out at it.
    client.changeSpeed(14400);
    client.send(request);
    EXPECT_TRUE(client.receive(comPortReply(comport::kSetBaudRate, 9600)).toSend.empty());
    ASSERT_TRUE(client.speedNotTaken());
    EXPECT_EQ(client.speedNotTaken()->asked, 14400u);
    EXPECT_EQ(client.speedNotTaken()->set, 9600u);
    EXPECT_EQ(client.heldBytes(), 0u);
}
