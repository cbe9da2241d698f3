// The session on lines as they are in the field: an adapter that echoes, a unit that is not
// there, slow speeds, frames that share one read. The "unit" here answers as the unit does:
// a ping with its bus speed, a reset with an empty frame of code 5 (byte for byte the
// request), a clock correction with an empty frame of code 4, a write with sub-mode 0, a
// version read with its 16 characters.
#include "session/unit_session.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace torl7;
using namespace torl7::test;

namespace {

QByteArray toQ(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

QByteArray unitAnswer(const QByteArray& request) {
    const auto code = static_cast<std::uint8_t>(request[4]);
    switch (code) {
    case kind::Ping:
        return toQ(buildFrame(600, kind::Ping, Bytes{10, 0}));
    case kind::ConfigRead:
        return toQ(buildFrame(600, kind::ConfigRead, Bytes(80, 0x07)));
    case kind::Write:
        return toQ(buildFrame(600, kind::Write, Bytes{0}));
    case kind::Version:
        return toQ(buildFrame(600, kind::Version, Bytes(16, 0x56)));
    default:
        return toQ(buildFrame(600, code, {}));
    }
}

struct Line {
    bool echoes = false;
    bool unitThere = true;
};

class UnitSessionLineTest : public ::testing::Test {
protected:
    UnitSessionLineTest() {
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
    }

    // Sends one request and plays the line until it has ended: each frame written is echoed
    // and answered as `how` says; a request left without an answer times out.
    Answer exchange(Line how, RequestKind requestKind, const Bytes& payload = {}) {
        if (!line.isOpen()) {
            EXPECT_FALSE(session.openPort());
        }
        std::optional<Answer> result;
        session.request(requestKind, payload, [&](const Answer& a) { result = a; });
        for (int guard = 0; guard < 10 && !result; ++guard) {
            if (handled_ < line.writes.size()) {
                const QByteArray written = line.writes[handled_++];
                if (how.echoes) {
                    line.feed(written);
                }
                if (how.unitThere) {
                    line.feed(unitAnswer(written));
                }
            } else {
                session.answerTimedOut();
            }
        }
        return result.value_or(Answer{});
    }
    // The request codes that went out, in order.
    std::vector<int> codesSent() const {
        std::vector<int> codes;
        for (const QByteArray& w : line.writes) {
            codes.push_back(static_cast<std::uint8_t>(w[4]));
        }
        return codes;
    }

    FakeSerialLine line;
    UnitSession session{line};
    std::size_t handled_ = 0;
};

} // namespace

TEST_F(UnitSessionLineTest, ownRequestIsNeverTakenForTheAnswerOnAPortNotKnownToBeClean) {
    const Bytes clock{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80};
    using E = UnitSession::Echo;
    const struct {
        const char* name;
        Line how;
        RequestKind kind;
        Bytes payload;
        std::vector<int> sent;
        bool answered;
        E learnt;
    } cases[] = {
        // A request whose answer may repeat it waits for a ping to show the line first.
        {"reset, clean line",
         {false, true},
         kind::ProtectionReset,
         {},
         {0, 5},
         true,
         E::NotEchoing},
        {"reset, clean line, no unit",
         {false, false},
         kind::ProtectionReset,
         {},
         {0},
         false,
         E::Unknown},
        {"reset, echo, no unit", {true, false}, kind::ProtectionReset, {}, {0}, false, E::Echoing},
        {"reset, echo, unit", {true, true}, kind::ProtectionReset, {}, {0, 5}, true, E::Echoing},
        {"clock, echo, no unit", {true, false}, kind::Clock, clock, {0}, false, E::Echoing},
        {"write, echo, no unit", {true, false}, kind::Write, Bytes(81, 0), {0}, false, E::Echoing},
        {"write, echo, unit", {true, true}, kind::Write, Bytes(81, 0), {0, 3}, true, E::Echoing},
        // A read's answer never repeats it: no ping, and the echo is learnt on the way.
        {"read, echo, no unit", {true, false}, kind::ConfigRead, {}, {2}, false, E::Echoing},
        {"read, echo, unit", {true, true}, kind::ConfigRead, {}, {2}, true, E::Echoing},
        {"read, clean line", {false, true}, kind::ConfigRead, {}, {2}, true, E::NotEchoing},
    };
    for (const auto& c : cases) {
        line.clearWritten();
        handled_ = 0;
        // Another port each time: nothing learnt before carries over.
        session.setPort(QStringLiteral("/dev/ttyUSB") + QString::fromLatin1(c.name), {});
        const Answer answer = exchange(c.how, c.kind, c.payload);
        EXPECT_EQ(codesSent(), c.sent) << c.name;
        EXPECT_EQ(static_cast<bool>(answer), c.answered) << c.name;
        if (answer) {
            const QByteArray expected = unitAnswer(line.writes.back());
            EXPECT_EQ(toQ(answer.frame->bytes()), expected) << c.name;
        } else {
            EXPECT_EQ(answer.error->kind, SessionError::Kind::Timeout) << c.name;
        }
        EXPECT_EQ(session.echo(), c.learnt) << c.name;
    }
}

TEST_F(UnitSessionLineTest, whatThePortShowedIsKeptUntilItsAdapterGoes) {
    // Learnt from a read: the reset goes out at once.
    ASSERT_TRUE(exchange({true, true}, kind::ConfigRead));
    line.clearWritten();
    handled_ = 0;
    EXPECT_FALSE(exchange({true, false}, kind::ProtectionReset)) << "the echo alone is no answer";
    EXPECT_EQ(codesSent(), std::vector<int>{5});

    line.loseDevice();
    EXPECT_EQ(session.echo(), UnitSession::Echo::Unknown) << "another adapter may come back";
    line.clearWritten();
    handled_ = 0;
    ASSERT_TRUE(exchange({false, true}, kind::ProtectionReset));
    EXPECT_EQ(codesSent(), (std::vector<int>{0, 5}));
    line.clearWritten();
    handled_ = 0;
    ASSERT_TRUE(exchange({false, true}, kind::ProtectionReset));
    EXPECT_EQ(codesSent(), std::vector<int>{5}) << "known clean: no second ping";
}

TEST_F(UnitSessionLineTest, requestHeldBehindItsPingIsNeverSentOver) {
    ASSERT_FALSE(session.openPort());
    std::optional<Answer> reset;
    std::optional<Answer> version;
    session.request(kind::ProtectionReset, {}, [&](const Answer& a) { reset = a; });
    session.request(kind::Version, {}, [&](const Answer& a) { version = a; });
    QCoreApplication::processEvents();
    ASSERT_TRUE(version && version->error);
    EXPECT_EQ(version->error->kind, SessionError::Kind::Refused);
    line.feed(unitAnswer(line.writes.back())); // the ping's answer
    line.feed(unitAnswer(line.writes.back())); // the reset's
    EXPECT_EQ(codesSent(), (std::vector<int>{0, 5}));
    ASSERT_TRUE(reset && reset->frame);
}

TEST_F(UnitSessionLineTest, lateFrameAndTheAnswerInOneReadAreBothDelivered) {
    std::vector<int> late;
    QObject::connect(&session, &UnitSession::lateAnswer,
                     [&](const Frame& f) { late.push_back(f.command()); });
    ASSERT_TRUE(exchange({false, true}, kind::Version)); // the port is known clean
    std::optional<Answer> reset;
    session.request(kind::ProtectionReset, {}, [&](const Answer& a) { reset = a; });
    line.feed(toQ(buildFrame(600, kind::Diagnostics, Bytes(55, 0x01))) +
              toQ(buildFrame(600, kind::ProtectionReset, {})));
    EXPECT_EQ(late, std::vector<int>{kind::Diagnostics});
    ASSERT_TRUE(reset && reset->frame);
    EXPECT_EQ(reset->frame->command(), kind::ProtectionReset);
    // With nothing outstanding, a repetition of the answer answers nothing.
    line.feed(toQ(buildFrame(600, kind::ProtectionReset, {})));
    EXPECT_EQ(session.answersVerified(), 3);
}

TEST_F(UnitSessionLineTest, idleCloseWaitsForTheLongestAnswerAndNeverCutsAWait) {
    // The unit's timeout for a write at the speed plus 255 bytes of 10 bits on the wire.
    const struct {
        int speedIndex;
        int idleMs;
    } cases[] = {{0, 10500 + 8500}, {1, 5500 + 4250}, {2, 3000 + 2125}, {5, 3000}, {10, 3000}};
    for (const auto& c : cases) {
        session.setLineSpeed(c.speedIndex);
        session.cancel();
        ASSERT_FALSE(session.openPort());
        session.request(kind::ConfigRead, {}, [](const Answer&) {});
        EXPECT_EQ(session.idleCloseArmed().value_or(-1), c.idleMs) << c.speedIndex;
    }
    // Bytes of an answer still coming in start the count again (at the speed of now).
    ASSERT_EQ(session.idleCloseArmed(), 3000);
    session.setLineSpeed(0);
    line.feed(QByteArray(1, '\xAA'));
    EXPECT_EQ(session.idleCloseArmed(), 10500 + 8500);
    // While an answer is awaited the idle close leaves the port open.
    session.idleCloseElapsed();
    EXPECT_TRUE(line.isOpen());
    session.answerTimedOut();
    EXPECT_FALSE(line.isOpen());
}
