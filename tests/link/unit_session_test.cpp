#include "protocol/line_speed.hpp"
#include "session/unit_session.hpp"
#include "support/clean_line.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace torl7;
using namespace torl7::test;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

QByteArray toQ(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

class UnitSessionTest : public ::testing::Test {
protected:
    UnitSessionTest() { link.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0")); }

    // Opens the port and sends a request whose answers and failures land in `answers`.
    void openAndSend(RequestKind requestKind, const Bytes& payload = {},
                     UnitSession::Wait wait = UnitSession::Wait::AnswerTimeout) {
        ASSERT_FALSE(link.openPort());
        send(requestKind, payload, wait);
    }
    void send(RequestKind requestKind, const Bytes& payload = {},
              UnitSession::Wait wait = UnitSession::Wait::AnswerTimeout) {
        link.request(
            requestKind, payload, [this](const Answer& a) { answers.push_back(a); }, wait);
    }
    // A version read answered without an echo: the port is known not to echo.
    void settleNoEcho() {
        openAndSend(kind::Version);
        line.feed(toQ(buildFrame(600, kind::Version, Bytes(16, 0x41))));
        answers.clear();
        line.clearWritten();
    }
    int sent() const { return link.requestsSent(); }
    int verified() const { return link.answersVerified(); }

    FakeSerialLine line;
    UnitSession link{line};
    std::vector<Answer> answers;
};

} // namespace

TEST_F(UnitSessionTest, configurationReadRequestIsTheEightKnownBytesAndArmsBothTimers) {
    openAndSend(kind::ConfigRead);
    EXPECT_EQ(line.lastPortName, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(line.written(), bytes({0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C}));
    EXPECT_EQ(sent(), 1);
    EXPECT_TRUE(link.answerTimeoutArmed().has_value());
    EXPECT_EQ(link.answerTimeoutArmed().value_or(-1), 300);
    EXPECT_TRUE(link.idleCloseArmed().has_value());
    EXPECT_EQ(link.idleCloseArmed().value_or(-1), 3000);
}

TEST_F(UnitSessionTest, everyKindGoesOutWithItsPayloadAndIsCounted) {
    const Bytes clock{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80};
    const struct {
        RequestKind kind;
        Bytes payload;
    } cases[] = {
        {kind::Diagnostics, {17}},   {kind::EventBlock, {4}},    {kind::Clock, clock},
        {kind::ProtectionReset, {}}, {kind::AccountingRead, {}}, {kind::AccountingReset, {}},
        {kind::Version, {}},
    };
    settleNoEcho();
    for (const auto& c : cases) {
        link.cancel();
        send(c.kind, c.payload);
        EXPECT_EQ(line.writes.back(), toQ(buildFrame(600, c.kind, c.payload))) << int(c.kind);
    }
    EXPECT_EQ(sent(), 8);
}

TEST_F(UnitSessionTest, responseTimeoutFollowsTheLineSpeedAndWritesWaitLonger) {
    const int expected[] = {10000, 5000, 2500, 1250, 625, 350, 300, 300, 300, 300, 300};
    settleNoEcho();
    for (int index = 0; index < kSpeedCount; ++index) {
        link.setLineSpeed(index);
        send(kind::ConfigRead);
        EXPECT_EQ(link.answerTimeoutArmed(), expected[index]) << index;
        link.cancel();
        send(kind::Write, Bytes(81, 0));
        EXPECT_EQ(link.answerTimeoutArmed(), expected[index] + 500) << index;
        link.cancel();
    }
}

// Nothing goes into a closed port: a request that finds it closed (the idle close, a timeout
// before it) opens it first, and one that cannot open it is neither sent, counted nor traced.
TEST_F(UnitSessionTest, aRequestOnAClosedPortOpensItFirstAndOneThatCannotIsNotSent) {
    std::vector<TrafficEntry> traced;
    QObject::connect(&link, &UnitSession::traffic,
                     [&](const TrafficEntry& e) { traced.push_back(e); });
    send(kind::Version);
    EXPECT_EQ(line.openCount, 1);
    EXPECT_EQ(line.writes.size(), 1u);
    EXPECT_EQ(sent(), 1);
    link.answerTimedOut(); // closes the port
    ASSERT_FALSE(line.isOpen());
    line.failNextOpen = true;
    send(kind::ConfigRead);
    EXPECT_EQ(line.writes.size(), 1u);
    EXPECT_EQ(sent(), 1);
    EXPECT_EQ(traced.size(), 1u) << "only the version request went out";
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::PortNotOpened);
    EXPECT_EQ(link.state(), UnitSession::State::Idle);
}

TEST_F(UnitSessionTest, pollRequestArmsNoResponseTimeoutUnlessItAsksForOne) {
    openAndSend(kind::Diagnostics, {0}, UnitSession::Wait::SenderRepeats);
    EXPECT_FALSE(link.answerTimeoutArmed().has_value());
    EXPECT_TRUE(link.idleCloseArmed().has_value());
    link.request(kind::Diagnostics, {0}, nullptr); // the headless client's poll
    EXPECT_TRUE(link.answerTimeoutArmed().has_value());
}

TEST_F(UnitSessionTest, requestAwaitingItsAnswerIsNeverSentOverButAPollRequestIs) {
    openAndSend(kind::Diagnostics, {0}, UnitSession::Wait::SenderRepeats);
    send(kind::ConfigRead); // replaces the poll request: the watchdog repeats that one
    send(kind::Diagnostics, {0}, UnitSession::Wait::SenderRepeats);
    EXPECT_EQ(sent(), 2) << "the poll's repetition waits for the configuration answer";
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].error->kind, SessionError::Kind::Cancelled) << "the poll request replaced";
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::Refused);
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[2].frame->command(), kind::ConfigRead);
}

TEST_F(UnitSessionTest, verifiedAnswerInPiecesIsRepliedOnceCountedAndStopsTheTimeout) {
    openAndSend(kind::AccountingRead);
    const Bytes answer = buildFrame(600, 7, Bytes(19, 0x11));
    line.feed(toQ(answer).left(5));
    EXPECT_TRUE(answers.empty());
    line.feed(toQ(answer).mid(5));
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0].frame);
    EXPECT_EQ(Bytes(answers[0].frame->payload().begin(), answers[0].frame->payload().end()),
              Bytes(19, 0x11));
    EXPECT_EQ(verified(), 1);
    EXPECT_FALSE(link.answerTimeoutArmed().has_value());
    // Stray bytes and a repetition before the next request never hand an answer out again.
    line.feed(bytes({0x00}));
    line.feed(toQ(answer));
    EXPECT_EQ(answers.size(), 1u);
    EXPECT_EQ(verified(), 1);
}

TEST_F(UnitSessionTest, wrongChecksumLeavesTheCounterAndTheTimeoutRunning) {
    openAndSend(kind::ConfigRead);
    Bytes answer = buildFrame(600, 2, Bytes(80, 0x01));
    answer.back() ^= 0xFF;
    line.feed(toQ(answer));
    EXPECT_EQ(verified(), 0);
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(link.answerTimeoutArmed().has_value());
}

TEST_F(UnitSessionTest, answerWithAnotherCodeIsCountedAndTheWaitGoesOnUntouched) {
    std::vector<int> late;
    QObject::connect(&link, &UnitSession::lateAnswer,
                     [&](const Frame& f) { late.push_back(f.command()); });
    link.setTimeoutOverride(123);
    openAndSend(kind::ConfigRead);
    link.setTimeoutOverride(456); // a restart would take this
    line.feed(toQ(buildFrame(600, 9, Bytes{1, 2})));
    line.feed(toQ(buildFrame(600, 1, Bytes{0, 1})));
    EXPECT_EQ(verified(), 2);
    EXPECT_EQ(late, (std::vector<int>{9, 1}));
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(link.answerTimeoutArmed().has_value())
        << "the configuration answer is still awaited";
    EXPECT_EQ(link.answerTimeoutArmed(), 123) << "and its timeout was not restarted";
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].frame->command(), kind::ConfigRead);
    EXPECT_FALSE(link.answerTimeoutArmed().has_value());
}

TEST_F(UnitSessionTest, timeoutAndALostLineEndTheRequestWithTheirError) {
    openAndSend(kind::Version);
    link.answerTimedOut();
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0].error);
    EXPECT_EQ(answers[0].error->kind, SessionError::Kind::Timeout);
    EXPECT_FALSE(line.isOpen()) << "a timeout closes the port";
    EXPECT_FALSE(link.answerTimeoutArmed().has_value());
    EXPECT_FALSE(link.idleCloseArmed().has_value());

    openAndSend(kind::Version);
    line.loseDevice();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::LineLost);
    EXPECT_EQ(answers[1].error->detail, QStringLiteral("device removed"));
    EXPECT_FALSE(link.idleCloseArmed().has_value());
}

TEST_F(UnitSessionTest, bytesPendingBeforeARequestAreNotTakenForItsAnswer) {
    ASSERT_FALSE(link.openPort());
    line.queue(toQ(buildFrame(600, 2, Bytes(80, 0x01)))); // arrived, not yet read
    send(kind::ConfigRead);
    line.feed({});
    EXPECT_TRUE(answers.empty());
}

TEST_F(UnitSessionTest, idleCloseReleasesThePort) {
    openAndSend(kind::Version);
    line.feed(toQ(buildFrame(600, kind::Version, Bytes(16, 0x41))));
    link.idleCloseElapsed();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.idleCloseArmed().has_value());
}

TEST_F(UnitSessionTest, portThatWillNotOpenIsAnErrorNamingIt) {
    line.failNextOpen = true;
    const auto error = link.openPort();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, SessionError::Kind::PortNotOpened);
    EXPECT_EQ(error->port, QStringLiteral("ttyUSB0"));
    EXPECT_EQ(error->detail, QStringLiteral("fake"));

    link.clearPort();
    ASSERT_TRUE(link.openPort());
    EXPECT_EQ(link.openPort()->kind, SessionError::Kind::NoPort);
}

TEST_F(UnitSessionTest, speedChangeAppliesToTheLineAtOnce) {
    ASSERT_FALSE(link.openPort());
    link.setLineSpeed(6);
    EXPECT_EQ(line.baudRate(), 14400);
    link.setLineSpeed(-1);
    EXPECT_EQ(line.baudRate(), 14400) << "no selection changes nothing";
}

TEST_F(UnitSessionTest, uncountedPingSkipsItsEchoArmsNoTimerAndAnUnansweredOneLeavesThePortOpen) {
    ASSERT_FALSE(link.openPort());
    const Bytes ping = buildFrame(600, 0, {});
    link.probe(ping, [this](const Answer& a) { answers.push_back(a); });
    EXPECT_EQ(sent(), 0);
    EXPECT_FALSE(link.answerTimeoutArmed().has_value());
    EXPECT_FALSE(link.idleCloseArmed().has_value());
    line.feed(toQ(ping)); // its echo
    EXPECT_TRUE(answers.empty());
    line.feed(toQ(buildFrame(600, 0, Bytes{1})));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].frame->length(), 1);

    link.probe(
        ping, [this](const Answer& a) { answers.push_back(a); }, 800);
    EXPECT_EQ(link.answerTimeoutArmed().value_or(-1), 800);
    link.answerTimedOut();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::Timeout);
    EXPECT_TRUE(line.isOpen()) << "one probe of many: the search goes on";
}

// Whatever ends a request, its reply is called once: answered, timed out, line lost, given up,
// replaced, refused, a port that would not open, or the ping before it unanswered or given up.
// An answer that arrives after the end calls nobody again.
TEST_F(UnitSessionTest, everyRequestAcceptedGetsExactlyOneReply) {
    using Kind = SessionError::Kind;
    using State = UnitSession::State;
    const Bytes answerBytes = buildFrame(600, kind::Version, Bytes(16, 0x41));
    const struct {
        const char* name;
        bool echoKnown;
        std::function<void(UnitSession&, FakeSerialLine&, const UnitSession::Reply&)> run;
        std::optional<Kind> ending; // nothing: the answer
        State stateWhileWaiting;
    } cases[] = {
        {"answered", true,
         [&](UnitSession& s, FakeSerialLine& l, const UnitSession::Reply& r) {
             s.request(kind::Version, {}, r);
             l.feedBytes(answerBytes);
         },
         std::nullopt, State::AwaitingAnswer},
        {"timed out", true,
         [](UnitSession& s, FakeSerialLine&, const UnitSession::Reply& r) {
             s.request(kind::Version, {}, r);
             s.answerTimedOut();
         },
         Kind::Timeout, State::AwaitingAnswer},
        {"line lost", true,
         [](UnitSession& s, FakeSerialLine& l, const UnitSession::Reply& r) {
             s.request(kind::Version, {}, r);
             l.loseDevice();
         },
         Kind::LineLost, State::AwaitingAnswer},
        {"given up", true,
         [](UnitSession& s, FakeSerialLine&, const UnitSession::Reply& r) {
             s.request(kind::Version, {}, r);
             s.cancel();
         },
         Kind::Cancelled, State::AwaitingAnswer},
        {"replaced", true,
         [](UnitSession& s, FakeSerialLine&, const UnitSession::Reply& r) {
             s.request(kind::Diagnostics, {0}, r, UnitSession::Wait::SenderRepeats);
             s.request(kind::Version, {}, nullptr);
         },
         Kind::Cancelled, State::AwaitingRepeat},
        {"refused behind another", true,
         [](UnitSession& s, FakeSerialLine& l, const UnitSession::Reply& r) {
             s.request(kind::ConfigRead, {}, nullptr);
             s.request(kind::Version, {}, r);
             l.feedBytes(buildFrame(600, kind::ConfigRead, Bytes(80, 0)));
         },
         Kind::Refused, State::AwaitingAnswer},
        {"refused on a held line", true,
         [](UnitSession& s, FakeSerialLine&, const UnitSession::Reply& r) {
             s.holdLine();
             s.request(kind::Version, {}, r);
             s.releaseLine();
         },
         Kind::Refused, State::Idle},
        {"port would not open", true,
         [](UnitSession& s, FakeSerialLine& l, const UnitSession::Reply& r) {
             s.closePort();
             l.failNextOpen = true;
             s.request(kind::Version, {}, r);
         },
         Kind::PortNotOpened, State::Idle},
        {"ping before it unanswered", false,
         [](UnitSession& s, FakeSerialLine&, const UnitSession::Reply& r) {
             s.request(kind::ProtectionReset, {}, r);
             s.answerTimedOut();
         },
         Kind::Timeout, State::SettlingEcho},
        {"ping before it given up", false,
         [](UnitSession& s, FakeSerialLine&, const UnitSession::Reply& r) {
             s.request(kind::ProtectionReset, {}, r);
             s.cancel();
         },
         Kind::Cancelled, State::SettlingEcho},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSerialLine fresh;
        UnitSession session(fresh);
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        if (c.echoKnown) {
            knownCleanLine(session, fresh);
        }
        ASSERT_FALSE(session.openPort());
        std::vector<Answer> replies;
        std::optional<State> waiting;
        const UnitSession::Reply reply = [&](const Answer& a) { replies.push_back(a); };
        QObject::connect(&session, &UnitSession::traffic, [&](const TrafficEntry& e) {
            if (e.direction == TrafficEntry::Direction::Sent && !waiting) {
                waiting = session.state();
            }
        });
        c.run(session, fresh, reply);
        QCoreApplication::processEvents();
        fresh.feedBytes(answerBytes); // too late for anybody
        QCoreApplication::processEvents();
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].error ? std::optional(replies[0].error->kind) : std::nullopt,
                  c.ending);
        if (c.stateWhileWaiting != State::Idle) {
            EXPECT_EQ(waiting, c.stateWhileWaiting);
        }
        EXPECT_EQ(session.state(), State::Idle);
    }
}
