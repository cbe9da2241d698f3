// The traffic log's ring and counters, and the connection doctor's reading of an exchange.
#include "protocol/frame.hpp"
#include "protocol/request_kind.hpp"
#include "session/connection_doctor.hpp"
#include "session/traffic_log.hpp"

#include <gtest/gtest.h>

#include <iostream>

using namespace torl7;
using Fate = TrafficEntry::Fate;
using Sum = TrafficEntry::Sum;

namespace {

TrafficEntry sent(std::uint16_t number = 600) {
    return {std::chrono::steady_clock::now(),
            TrafficEntry::Direction::Sent,
            kind::ConfigRead,
            buildFrame(number, kind::ConfigRead, {}),
            Sum::Good,
            Fate::Request};
}

TrafficEntry received(Bytes bytes, Sum sum, Fate fate) {
    return {std::chrono::steady_clock::now(),
            TrafficEntry::Direction::Received,
            kind::ConfigRead,
            std::move(bytes),
            sum,
            fate};
}

} // namespace

TEST(TrafficLog, keepsTheNewestEntriesInOrderAndCountsEveryOne) {
    TrafficLog log(3);
    for (std::uint16_t number = 100; number < 105; ++number) {
        log.add(sent(number));
    }
    log.add(received({0x13}, Sum::None, Fate::Dropped));
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log.at(0).bytes, buildFrame(103, kind::ConfigRead, {}));
    EXPECT_EQ(log.at(1).bytes, buildFrame(104, kind::ConfigRead, {}));
    EXPECT_EQ(log.at(2).bytes, Bytes{0x13});
    EXPECT_EQ(log.added(), 6u);
    EXPECT_EQ(log.count(Fate::Request), 5u);
    EXPECT_EQ(log.count(Fate::Dropped), 1u);
    // The exchange since the last frame sent, for the doctor.
    const auto exchange = log.lastExchange();
    ASSERT_EQ(exchange.size(), 2u);
    EXPECT_EQ(exchange[0].direction, TrafficEntry::Direction::Sent);
    log.clear();
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(log.count(Fate::Request), 0u);
    EXPECT_TRUE(log.lastExchange().empty());
}

// What a full log holds: each entry, and the frame bytes on the heap (a diagnostics poll
// answer of 63 bytes, the commonest entry; the allocator rounds it to 64 plus its header).
TEST(TrafficLog, fullLogStaysWithinAFewMegabytes) {
    TrafficLog log;
    const Bytes answer = buildFrame(600, kind::Diagnostics, Bytes(55, 0x11));
    for (std::size_t i = 0; i < TrafficLog::kCapacity + 500; ++i) {
        log.add(received(answer, Sum::Good, Fate::Answer));
    }
    ASSERT_EQ(log.size(), TrafficLog::kCapacity);
    std::size_t bytes = log.capacity() * sizeof(TrafficEntry);
    for (std::size_t i = 0; i < log.size(); ++i) {
        bytes += log.at(i).bytes.capacity() + 16;
    }
    RecordProperty("traffic_log_bytes", static_cast<int>(bytes));
    std::cout << "traffic log of " << log.size() << " entries: " << bytes << " bytes ("
              << sizeof(TrafficEntry) << " per entry + frame bytes)\n";
    EXPECT_LT(bytes, 2u * 1024 * 1024);
}

TEST(ConnectionDoctor, namesWhatTheLineShowedSinceTheRequest) {
    const Bytes request = buildFrame(600, kind::ConfigRead, {});
    const Bytes badSum = [] {
        Bytes b = buildFrame(600, kind::ConfigRead, Bytes(80, 0));
        b.back() ^= 0x5A;
        return b;
    }();
    using Cause = LineDiagnosis::Cause;
    struct Case {
        const char* name;
        std::vector<TrafficEntry> after;
        Cause cause;
        std::uint16_t foreign = 0;
    };
    const Case cases[] = {
        {"nothing", {}, Cause::Silence},
        {"echo only", {received(request, Sum::Good, Fate::Echo)}, Cause::EchoOnly},
        {"another unit",
         {received(request, Sum::Good, Fate::Echo),
          received(buildFrame(712, kind::Ping, {}), Sum::Good, Fate::OtherCode)},
         Cause::ForeignNumber,
         712},
        {"bad sum after noise",
         {received({0x13, 0x37}, Sum::None, Fate::Dropped),
          received(badSum, Sum::Bad, Fate::Dropped)},
         Cause::BadSums},
        {"cut short",
         {received({0xAA, 0x06, 0x02}, Sum::Incomplete, Fate::Dropped)},
         Cause::BadSums},
        {"bytes and no frame",
         {received({0x13, 0x00, 0xFF}, Sum::None, Fate::Dropped)},
         Cause::NoFrames},
        {"another code",
         {received(buildFrame(600, 9, {}), Sum::Good, Fate::OtherCode)},
         Cause::OtherCode},
    };
    for (const Case& c : cases) {
        std::vector<TrafficEntry> exchange{sent()};
        exchange.insert(exchange.end(), c.after.begin(), c.after.end());
        const LineDiagnosis d = diagnoseNoAnswer(exchange);
        EXPECT_EQ(d.cause, c.cause) << c.name;
        EXPECT_EQ(d.askedNumber, 600) << c.name;
        EXPECT_EQ(d.foreignNumber, c.foreign) << c.name;
    }
    const std::string switchTo = noAnswerHint({Cause::ForeignNumber, 600, 712});
    EXPECT_NE(switchTo.find("номером 712"), std::string::npos) << switchTo;
}
