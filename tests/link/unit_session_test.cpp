#include "protocol/line_speed.hpp"
#include "session/unit_session.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

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
    UnitSessionTest() {
        link.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        QObject::connect(&link, &UnitSession::noAnswer, [this] { ++noAnswers; });
    }

    void openAndSend(std::uint8_t requestKind) {
        ASSERT_FALSE(link.comopen());
        link.requestKind = requestKind;
        link.TXD();
    }
    QString txd() const { return QString::number(link.requestsSent()); }
    QString rxd() const { return QString::number(link.answersVerified()); }

    FakeSerialLine line;
    UnitSession link{line};
    int noAnswers = 0;
};

} // namespace

TEST_F(UnitSessionTest, configurationReadRequestIsTheEightKnownBytesAndArmsBothTimers) {
    openAndSend(kind::ConfigRead);
    EXPECT_EQ(line.lastPortName, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(line.written(), bytes({0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C}));
    EXPECT_EQ(txd(), QStringLiteral("1"));
    EXPECT_TRUE(link.Timer3->isActive());
    EXPECT_EQ(link.Timer3->interval(), 300);
    EXPECT_TRUE(link.Timer4->isActive());
    EXPECT_EQ(link.Timer4->interval(), 3000);
}

TEST_F(UnitSessionTest, callerOwnedPayloadBytesGoOutWithTheirKindsLength) {
    ASSERT_FALSE(link.comopen());
    link.payload[0] = 17;
    link.requestKind = kind::Diagnostics;
    link.TXD();
    EXPECT_EQ(line.writes.back(), toQ(buildFrame(600, 1, Bytes{17})));
    link.payload[0] = 4;
    link.requestKind = kind::EventBlock;
    link.TXD();
    EXPECT_EQ(line.writes.back(), toQ(buildFrame(600, 6, Bytes{4})));
    const Bytes clock{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80};
    std::copy(clock.begin(), clock.end(), link.payload.begin());
    link.requestKind = kind::Clock;
    link.TXD();
    EXPECT_EQ(line.writes.back(), toQ(buildFrame(600, 4, clock)));
    for (std::uint8_t k :
         {kind::ProtectionReset, kind::AccountingRead, kind::AccountingReset, kind::Version}) {
        link.requestKind = k;
        link.TXD();
        EXPECT_EQ(line.writes.back(), toQ(buildFrame(600, k, {}))) << int(k);
    }
    EXPECT_EQ(txd(), QStringLiteral("7"));
}

TEST_F(UnitSessionTest, responseTimeoutFollowsTheLineSpeedAndWritesWaitLonger) {
    const int expected[] = {10000, 5000, 2500, 1250, 625, 350, 300, 300, 300, 300, 300};
    for (int index = 0; index < kSpeedCount; ++index) {
        link.setSpeedIndex(index);
        link.requestKind = kind::ConfigRead;
        link.TXD();
        EXPECT_EQ(link.Timer3->interval(), expected[index]) << index;
        link.setWriteBuilder(0, [] { return Bytes(81, 0); });
        link.payload[0] = 0;
        link.requestKind = kind::Write;
        link.TXD();
        EXPECT_EQ(link.Timer3->interval(), expected[index] + 500) << index;
    }
}

TEST_F(UnitSessionTest, requestsAreCountedAlsoWhenThePortIsClosed) {
    link.requestKind = kind::Version;
    link.TXD();
    link.TXD();
    EXPECT_EQ(txd(), QStringLiteral("2"));
    EXPECT_TRUE(line.written().isEmpty());
    EXPECT_TRUE(link.Timer3->isActive()) << "the lost request is reported by the timeout";
}

TEST_F(UnitSessionTest, diagnosticsRequestSwitchesOffARunningResponseTimeout) {
    openAndSend(kind::ConfigRead);
    ASSERT_TRUE(link.Timer3->isActive());
    link.payload[0] = 0;
    openAndSend(kind::Diagnostics);
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_TRUE(link.Timer4->isActive());
}

TEST_F(UnitSessionTest, writeWhoseFieldDoesNotConvertSendsNothingAndLeavesTheTimersAlone) {
    link.setWriteBuilder(0, [] { return std::optional<Bytes>(); });
    link.payload[0] = 0;
    openAndSend(kind::Write);
    EXPECT_TRUE(line.written().isEmpty());
    EXPECT_EQ(txd(), QStringLiteral("0"));
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
}

TEST_F(UnitSessionTest, verifiedAnswerIsCountedStopsTheTimeoutAndReachesItsHandler) {
    std::vector<Bytes> seen;
    link.setHandler(
        7, [&](const Frame& f) { seen.emplace_back(f.payload().begin(), f.payload().end()); });
    openAndSend(kind::AccountingRead);
    const Bytes answer = buildFrame(600, 7, Bytes(19, 0x11));
    line.feed(toQ(answer).left(5));
    EXPECT_TRUE(seen.empty());
    line.feed(toQ(answer).mid(5));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], Bytes(19, 0x11));
    EXPECT_EQ(rxd(), QStringLiteral("1"));
    EXPECT_FALSE(link.Timer3->isActive());
    // Stray bytes before the next request never hand the same answer out again.
    line.feed(bytes({0x00}));
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(rxd(), QStringLiteral("1"));
}

TEST_F(UnitSessionTest, wrongChecksumLeavesTheCounterAndTheTimeoutRunning) {
    openAndSend(kind::ConfigRead);
    Bytes answer = buildFrame(600, 2, Bytes(80, 0x01));
    answer.back() ^= 0xFF;
    line.feed(toQ(answer));
    EXPECT_EQ(rxd(), QStringLiteral("0"));
    EXPECT_TRUE(link.Timer3->isActive());
}

TEST_F(UnitSessionTest, answerWithAnotherCodeIsCountedAndTheWaitGoesOnUntouched) {
    int configAnswers = 0;
    std::vector<int> late;
    link.setHandler(2, [&](const Frame&) { ++configAnswers; });
    QObject::connect(&link, &UnitSession::lateAnswer,
                     [&](const Frame& f) { late.push_back(f.command()); });
    openAndSend(kind::ConfigRead);
    link.Timer3->setInterval(123); // a restart would set the interval of the speed again
    line.feed(toQ(buildFrame(600, 9, Bytes{1, 2})));
    line.feed(toQ(buildFrame(600, 1, Bytes{0, 1})));
    EXPECT_EQ(rxd(), QStringLiteral("2"));
    EXPECT_EQ(late, (std::vector<int>{9, 1}));
    EXPECT_TRUE(link.Timer3->isActive()) << "the configuration answer is still awaited";
    EXPECT_EQ(link.Timer3->interval(), 123) << "and its timeout was not restarted";
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    EXPECT_EQ(configAnswers, 1);
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_EQ(noAnswers, 0);
}

TEST_F(UnitSessionTest, requestWithAReplyGetsItsAnswerOrItsFailureExactlyOnce) {
    std::vector<Answer> answers;
    const auto keep = [&](const Answer& a) { answers.push_back(a); };
    ASSERT_FALSE(link.comopen());
    link.request(kind::AccountingRead, {}, keep);
    line.feed(toQ(buildFrame(600, 6, Bytes(10, 0)))); // another request's code
    ASSERT_TRUE(answers.empty());
    line.feed(toQ(buildFrame(600, 7, Bytes(19, 0x11))));
    line.feed(toQ(buildFrame(600, 7, Bytes(19, 0x11)))); // repeated: no second reply
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0].frame);
    EXPECT_EQ(answers[0].frame->command(), 7);

    link.request(kind::Version, {}, keep);
    link.Timer3Timer();
    ASSERT_EQ(answers.size(), 2u);
    ASSERT_TRUE(answers[1].error);
    EXPECT_EQ(answers[1].error->kind, SessionError::Kind::Timeout);
    EXPECT_EQ(noAnswers, 0) << "the reply carries the failure; nothing else is said";

    ASSERT_FALSE(link.comopen());
    link.request(kind::Version, {}, keep);
    line.loseDevice();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[2].error->kind, SessionError::Kind::LineLost);
}

TEST_F(UnitSessionTest, bytesPendingBeforeARequestAreNotTakenForItsAnswer) {
    std::vector<Answer> answers;
    ASSERT_FALSE(link.comopen());
    line.queue(toQ(buildFrame(600, 2, Bytes(80, 0x01)))); // arrived, not yet read
    link.request(kind::ConfigRead, {}, [&](const Answer& a) { answers.push_back(a); });
    line.feed({});
    EXPECT_TRUE(answers.empty());
}

TEST_F(UnitSessionTest, echoedRequestIsIgnoredWhereTheAnswerAlwaysDiffers) {
    int configAnswers = 0;
    link.setHandler(2, [&](const Frame&) { ++configAnswers; });
    openAndSend(kind::ConfigRead);
    line.feed(line.written()); // an RS-485 adapter that hears itself
    EXPECT_EQ(configAnswers, 0);
    EXPECT_EQ(rxd(), QStringLiteral("0"));
    EXPECT_TRUE(link.Timer3->isActive());
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    EXPECT_EQ(configAnswers, 1);
}

TEST_F(UnitSessionTest, repeatedRequestCountsAsTheAcknowledgementOfAProtectionReset) {
    int acks = 0;
    link.setHandler(5, [&](const Frame&) { ++acks; });
    openAndSend(kind::ProtectionReset);
    line.feed(line.written());
    EXPECT_EQ(acks, 1);
}

TEST_F(UnitSessionTest, timeoutClosesThePortAndSaysSo) {
    openAndSend(kind::AccountingRead);
    link.Timer3Timer();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
    EXPECT_EQ(noAnswers, 1);
    // The search and the speed change keep their states: they have their own clock.
    link.searchState = 14;
    link.Timer3Timer();
    EXPECT_EQ(link.searchState, 14);
}

TEST_F(UnitSessionTest, idleCloseReleasesThePort) {
    openAndSend(kind::Version);
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

TEST_F(UnitSessionTest, adapterPulledOutIsReportedAndNotReadAgain) {
    openAndSend(kind::Version);
    line.loseDevice();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.Timer4->isActive());
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

TEST_F(UnitSessionTest, uncountedPingClearsTheReceiveSideButArmsNothing) {
    int pings = 0;
    link.setHandler(0, [&](const Frame& f) { pings += f.length() > 0; });
    ASSERT_FALSE(link.comopen());
    const Bytes ping = buildFrame(600, 0, {});
    link.sendUncounted(ping);
    EXPECT_EQ(txd(), QStringLiteral("0"));
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
    line.feed(toQ(ping)); // its echo
    line.feed(toQ(buildFrame(600, 0, Bytes{1})));
    EXPECT_EQ(pings, 1);
}

TEST_F(UnitSessionTest, answersGoToTheHandlerOfTheirSelectorBeforeTheHandlerOfTheirCode) {
    std::vector<int> seen;
    link.setHandler(1, [&](const Frame& f) { seen.push_back(f.reader().byte(0)); });
    link.setHandler(1, 4, [&](const Frame&) { seen.push_back(-4); });
    for (std::uint8_t selector : {0, 4, 17}) {
        link.payload[0] = selector;
        openAndSend(kind::Diagnostics);
        line.feed(toQ(buildFrame(600, 1, Bytes{selector, 0x01})));
    }
    EXPECT_EQ(seen, (std::vector<int>{0, -4, 17}));
}
