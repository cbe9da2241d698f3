#include "protocol/line_speed.hpp"
#include "session/unit_session.hpp"
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
    void openAndSend(std::uint8_t requestKind, const Bytes& payload = {}) {
        ASSERT_FALSE(link.comopen());
        send(requestKind, payload);
    }
    void send(std::uint8_t requestKind, const Bytes& payload = {}) {
        link.request(requestKind, payload, [this](const Answer& a) { answers.push_back(a); });
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
    EXPECT_TRUE(link.Timer3->isActive());
    EXPECT_EQ(link.Timer3->interval(), 300);
    EXPECT_TRUE(link.Timer4->isActive());
    EXPECT_EQ(link.Timer4->interval(), 3000);
}

TEST_F(UnitSessionTest, everyKindGoesOutWithItsPayloadAndIsCounted) {
    const Bytes clock{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80};
    const struct {
        std::uint8_t kind;
        Bytes payload;
    } cases[] = {
        {kind::Diagnostics, {17}},   {kind::EventBlock, {4}},    {kind::Clock, clock},
        {kind::ProtectionReset, {}}, {kind::AccountingRead, {}}, {kind::AccountingReset, {}},
        {kind::Version, {}},
    };
    settleNoEcho();
    for (const auto& c : cases) {
        link.abandon();
        send(c.kind, c.payload);
        EXPECT_EQ(line.writes.back(), toQ(buildFrame(600, c.kind, c.payload))) << int(c.kind);
    }
    EXPECT_EQ(sent(), 8);
}

TEST_F(UnitSessionTest, responseTimeoutFollowsTheLineSpeedAndWritesWaitLonger) {
    const int expected[] = {10000, 5000, 2500, 1250, 625, 350, 300, 300, 300, 300, 300};
    settleNoEcho();
    for (int index = 0; index < kSpeedCount; ++index) {
        link.setSpeedIndex(index);
        send(kind::ConfigRead);
        EXPECT_EQ(link.Timer3->interval(), expected[index]) << index;
        link.abandon();
        send(kind::Write, Bytes(81, 0));
        link.abandon();
        EXPECT_EQ(link.Timer3->interval(), expected[index] + 500) << index;
    }
}

TEST_F(UnitSessionTest, requestsAreCountedAlsoWhenThePortIsClosed) {
    send(kind::Version);
    link.abandon();
    send(kind::Version);
    EXPECT_EQ(sent(), 2);
    EXPECT_TRUE(line.written().isEmpty());
    EXPECT_TRUE(link.Timer3->isActive()) << "the lost request is reported by the timeout";
}

TEST_F(UnitSessionTest, pollRequestArmsNoResponseTimeoutUnlessItAsksForOne) {
    openAndSend(kind::Diagnostics, {0});
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_TRUE(link.Timer4->isActive());
    link.request(kind::Diagnostics, {0}, nullptr, true); // the headless client's poll
    EXPECT_TRUE(link.Timer3->isActive());
}

TEST_F(UnitSessionTest, requestAwaitingItsAnswerIsNeverSentOverButAPollRequestIs) {
    openAndSend(kind::Diagnostics, {0});
    send(kind::ConfigRead); // replaces the poll request: the watchdog repeats that one
    send(kind::Diagnostics, {0});
    EXPECT_EQ(sent(), 2) << "the poll's repetition waits for the configuration answer";
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].error->kind, SessionError::Kind::Refused);
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].frame->command(), kind::ConfigRead);
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
    EXPECT_FALSE(link.Timer3->isActive());
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
    EXPECT_TRUE(link.Timer3->isActive());
}

TEST_F(UnitSessionTest, answerWithAnotherCodeIsCountedAndTheWaitGoesOnUntouched) {
    std::vector<int> late;
    QObject::connect(&link, &UnitSession::lateAnswer,
                     [&](const Frame& f) { late.push_back(f.command()); });
    openAndSend(kind::ConfigRead);
    link.Timer3->setInterval(123); // a restart would set the interval of the speed again
    line.feed(toQ(buildFrame(600, 9, Bytes{1, 2})));
    line.feed(toQ(buildFrame(600, 1, Bytes{0, 1})));
    EXPECT_EQ(verified(), 2);
    EXPECT_EQ(late, (std::vector<int>{9, 1}));
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(link.Timer3->isActive()) << "the configuration answer is still awaited";
    EXPECT_EQ(link.Timer3->interval(), 123) << "and its timeout was not restarted";
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].frame->command(), kind::ConfigRead);
    EXPECT_FALSE(link.Timer3->isActive());
}

TEST_F(UnitSessionTest, timeoutAndALostLineEndTheRequestWithTheirError) {
    openAndSend(kind::Version);
    link.Timer3Timer();
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0].error);
    EXPECT_EQ(answers[0].error->kind, SessionError::Kind::Timeout);
    EXPECT_FALSE(line.isOpen()) << "a timeout closes the port";
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());

    openAndSend(kind::Version);
    line.loseDevice();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::LineLost);
    EXPECT_EQ(answers[1].error->detail, QStringLiteral("device removed"));
    EXPECT_FALSE(link.Timer4->isActive());
}

TEST_F(UnitSessionTest, bytesPendingBeforeARequestAreNotTakenForItsAnswer) {
    ASSERT_FALSE(link.comopen());
    line.queue(toQ(buildFrame(600, 2, Bytes(80, 0x01)))); // arrived, not yet read
    send(kind::ConfigRead);
    line.feed({});
    EXPECT_TRUE(answers.empty());
}

TEST_F(UnitSessionTest, idleCloseReleasesThePort) {
    openAndSend(kind::Version);
    line.feed(toQ(buildFrame(600, kind::Version, Bytes(16, 0x41))));
    link.Timer4Timer();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.Timer4->isActive());
}

TEST_F(UnitSessionTest, portThatWillNotOpenIsAnErrorNamingIt) {
    line.failNextOpen = true;
    const auto error = link.comopen();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, SessionError::Kind::PortNotOpened);
    EXPECT_EQ(error->port, QStringLiteral("ttyUSB0"));
    EXPECT_EQ(error->detail, QStringLiteral("fake"));

    link.clearPort();
    ASSERT_TRUE(link.comopen());
    EXPECT_EQ(link.comopen()->kind, SessionError::Kind::NoPort);
}

TEST_F(UnitSessionTest, speedChangeAppliesToTheLineAtOnce) {
    ASSERT_FALSE(link.comopen());
    link.setSpeedIndex(6);
    link.Comspeed();
    EXPECT_EQ(line.baudRate(), 14400);
    link.setSpeedIndex(-1);
    link.Comspeed();
    EXPECT_EQ(line.baudRate(), 14400) << "no selection changes nothing";
}

TEST_F(UnitSessionTest, uncountedPingSkipsItsEchoArmsNoTimerAndAnUnansweredOneLeavesThePortOpen) {
    ASSERT_FALSE(link.comopen());
    const Bytes ping = buildFrame(600, 0, {});
    link.requestUncounted(ping, [this](const Answer& a) { answers.push_back(a); });
    EXPECT_EQ(sent(), 0);
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
    line.feed(toQ(ping)); // its echo
    EXPECT_TRUE(answers.empty());
    line.feed(toQ(buildFrame(600, 0, Bytes{1})));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].frame->length(), 1);

    link.requestUncounted(
        ping, [this](const Answer& a) { answers.push_back(a); }, 800);
    EXPECT_EQ(link.Timer3->interval(), 800);
    link.Timer3Timer();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::Timeout);
    EXPECT_TRUE(line.isOpen()) << "one probe of many: the search goes on";
}
