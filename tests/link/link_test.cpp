#include "link/line_speed.hpp"
#include "link/link.hpp"
#include "support/fake_serial_line.hpp"
#include "support/recording_message_boxes.hpp"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
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

class LinkTest : public ::testing::Test {
protected:
    LinkTest() {
        number.setRange(100, 65535);
        number.setValue(600);
        for (const char* item : {"    300", "    600", "  1200", "  2400", "  4800", "  9600",
                                 " 14400", " 19200", " 38400", " 57600", "115200"}) {
            speed.addItem(QString::fromUtf8(item));
        }
        speed.setCurrentIndex(10);
        ports.addItem(QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"));
        ports.setCurrentIndex(0);
        txd.setText(QStringLiteral("0"));
        rxd.setText(QStringLiteral("0"));
    }

    void openAndSend(std::uint8_t requestKind) {
        ASSERT_TRUE(link.comopen());
        link.requestKind = requestKind;
        link.TXD();
    }

    QSpinBox number;
    QComboBox speed;
    QComboBox ports;
    QLabel txd;
    QLabel rxd;
    FakeSerialLine line;
    RecordingMessageBoxes boxes;
    Link link{line, boxes, Link::Controls{&number, &speed, &ports, &txd, &rxd}};
};

} // namespace

TEST_F(LinkTest, configurationReadRequestIsTheEightKnownBytesAndArmsBothTimers) {
    openAndSend(kind::ConfigRead);
    EXPECT_EQ(line.lastPortName, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(line.written(), bytes({0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C}));
    EXPECT_EQ(txd.text(), QStringLiteral("1"));
    EXPECT_TRUE(link.Timer3->isActive());
    EXPECT_EQ(link.Timer3->interval(), 300);
    EXPECT_TRUE(link.Timer4->isActive());
    EXPECT_EQ(link.Timer4->interval(), 3000);
}

TEST_F(LinkTest, callerOwnedPayloadBytesGoOutWithTheirKindsLength) {
    ASSERT_TRUE(link.comopen());
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
    EXPECT_EQ(txd.text(), QStringLiteral("7"));
}

TEST_F(LinkTest, responseTimeoutFollowsTheLineSpeedAndWritesWaitLonger) {
    const int expected[] = {10000, 5000, 2500, 1250, 625, 350, 300, 300, 300, 300, 300};
    for (int index = 0; index < kSpeedCount; ++index) {
        speed.setCurrentIndex(index);
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

TEST_F(LinkTest, requestsAreCountedAlsoWhenThePortIsClosed) {
    link.requestKind = kind::Version;
    link.TXD();
    link.TXD();
    EXPECT_EQ(txd.text(), QStringLiteral("2"));
    EXPECT_TRUE(line.written().isEmpty());
    EXPECT_TRUE(link.Timer3->isActive()) << "the lost request is reported by the timeout";
}

TEST_F(LinkTest, diagnosticsRequestSwitchesOffARunningResponseTimeout) {
    openAndSend(kind::ConfigRead);
    ASSERT_TRUE(link.Timer3->isActive());
    link.payload[0] = 0;
    openAndSend(kind::Diagnostics);
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_TRUE(link.Timer4->isActive());
}

TEST_F(LinkTest, writeWhoseFieldDoesNotConvertSendsNothingAndLeavesTheTimersAlone) {
    link.setWriteBuilder(0, [] { return std::optional<Bytes>(); });
    link.payload[0] = 0;
    openAndSend(kind::Write);
    EXPECT_TRUE(line.written().isEmpty());
    EXPECT_EQ(txd.text(), QStringLiteral("0"));
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
}

TEST_F(LinkTest, verifiedAnswerIsCountedStopsTheTimeoutAndReachesItsHandler) {
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
    EXPECT_EQ(rxd.text(), QStringLiteral("1"));
    EXPECT_FALSE(link.Timer3->isActive());
    // Stray bytes before the next request never hand the same answer out again.
    line.feed(bytes({0x00}));
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(rxd.text(), QStringLiteral("1"));
}

TEST_F(LinkTest, wrongChecksumLeavesTheCounterAndTheTimeoutRunning) {
    openAndSend(kind::ConfigRead);
    Bytes answer = buildFrame(600, 2, Bytes(80, 0x01));
    answer.back() ^= 0xFF;
    line.feed(toQ(answer));
    EXPECT_EQ(rxd.text(), QStringLiteral("0"));
    EXPECT_TRUE(link.Timer3->isActive());
}

TEST_F(LinkTest, answerWithAnUnhandledCodeIsOnlyCounted) {
    openAndSend(kind::ConfigRead);
    line.feed(toQ(buildFrame(600, 9, Bytes{1, 2})));
    EXPECT_EQ(rxd.text(), QStringLiteral("1"));
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LinkTest, echoedRequestIsIgnoredWhereTheAnswerAlwaysDiffers) {
    int configAnswers = 0;
    link.setHandler(2, [&](const Frame&) { ++configAnswers; });
    openAndSend(kind::ConfigRead);
    line.feed(line.written()); // an RS-485 adapter that hears itself
    EXPECT_EQ(configAnswers, 0);
    EXPECT_EQ(rxd.text(), QStringLiteral("0"));
    EXPECT_TRUE(link.Timer3->isActive());
    line.feed(toQ(buildFrame(600, 2, Bytes(80, 0x05))));
    EXPECT_EQ(configAnswers, 1);
}

TEST_F(LinkTest, repeatedRequestCountsAsTheAcknowledgementOfAProtectionReset) {
    int acks = 0;
    link.setHandler(5, [&](const Frame&) { ++acks; });
    openAndSend(kind::ProtectionReset);
    line.feed(line.written());
    EXPECT_EQ(acks, 1);
}

TEST_F(LinkTest, timeoutClosesThePortEndsAReportChainAndSaysSo) {
    link.searchState = 21;
    openAndSend(kind::AccountingRead);
    link.Timer3Timer();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
    EXPECT_EQ(link.searchState, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Устройство не отвечает! Повторите попытку или "
                                                  "обратитесь к разработчику."));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    // The search and the speed change keep their states: they have their own clock.
    link.searchState = 14;
    link.Timer3Timer();
    EXPECT_EQ(link.searchState, 14);
}

TEST_F(LinkTest, idleCloseReleasesThePort) {
    openAndSend(kind::Version);
    link.Timer4Timer();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.Timer4->isActive());
}

TEST_F(LinkTest, portProblemsAreReportedWithTheirTwoBlankCaption) {
    line.failNextOpen = true;
    EXPECT_TRUE(link.comopen());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Ошибка открытия порта !"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("  Норвик Ltd"));

    ports.clear();
    EXPECT_FALSE(link.comopen());
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Не найден СОМ-порт!"));
}

TEST_F(LinkTest, adapterPulledOutIsReportedAndNotReadAgain) {
    openAndSend(kind::Version);
    line.loseDevice();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(link.Timer4->isActive());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().caption, QStringLiteral("  Норвик Ltd"));
}

TEST_F(LinkTest, speedChangeAppliesToTheLineAtOnce) {
    ASSERT_TRUE(link.comopen());
    speed.setCurrentIndex(6);
    link.Comspeed();
    EXPECT_EQ(line.baudRate(), 14400);
    speed.setCurrentIndex(-1);
    link.Comspeed();
    EXPECT_EQ(line.baudRate(), 14400) << "no selection changes nothing";
}

TEST_F(LinkTest, uncountedPingClearsTheReceiveSideButArmsNothing) {
    int pings = 0;
    link.setHandler(0, [&](const Frame& f) { pings += f.length() > 0; });
    ASSERT_TRUE(link.comopen());
    const Bytes ping = buildFrame(600, 0, {});
    link.sendUncounted(ping);
    EXPECT_EQ(txd.text(), QStringLiteral("0"));
    EXPECT_FALSE(link.Timer3->isActive());
    EXPECT_FALSE(link.Timer4->isActive());
    line.feed(toQ(ping)); // its echo
    line.feed(toQ(buildFrame(600, 0, Bytes{1})));
    EXPECT_EQ(pings, 1);
}

TEST_F(LinkTest, answersGoToTheHandlerOfTheirSelectorBeforeTheHandlerOfTheirCode) {
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
