// Reading and resetting the accounting record in the window, and its step in the report
// chain, over an in-memory line.
#include "gui/controllers/report_writer.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "support/window_fixture.hpp"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

using namespace torl7;
using namespace torl7::test;

namespace {

class AccountingTest : public WindowFixture {
protected:
    static Bytes record(std::uint32_t seconds, std::uint64_t energy) {
        AccountingRecord r;
        r.runningSeconds = seconds;
        r.starts = 65535;
        r.trips = 7;
        r.energyMillionthsKwh = energy;
        r.start = ClockStamp{9, 5, 14, 5, 3, 16};
        return encodeAccounting(r);
    }

    ReportWriter& writer() { return *w().findChild<ReportWriter*>(); }
    // The save button, and the configuration answered: the chain asks for the record.
    void chainUpToTheAccountingRead() {
        writer().programDir = noTemplate.path().toStdString();
        protocol().btn_save_prot->click();
        const auto config = encodeConfigRecord(ConfigRecord{});
        answer(kind::ConfigRead, Bytes(config.begin(), config.end()));
        ASSERT_EQ(writer().chainStep(), ReportStep::Accounting);
    }

    QStringList fields() const {
        const ProtocolPage& p = *window->TabSheet3;
        return {p.st_nuh->text(), p.st_tdv->text(), p.st_kvdv->text(), p.st_kzdv->text(),
                p.st_nwa->text()};
    }

    QTemporaryDir noTemplate; // the report writer finds no template here
};

const QString kResetQuestion =
    QStringLiteral("Внимание учетная запись будет обнулена! Продолжить?");

} // namespace

TEST_F(AccountingTest, readShowsTheFiveFieldsThenClosesAndSaysSo) {
    protocol().Button7->click();
    ASSERT_EQ(sentFrames().size(), 1u);
    EXPECT_EQ(sentFrames()[0], buildFrame(600, kind::AccountingRead, {}));
    answer(kind::AccountingRead, record(4294967295u, (std::uint64_t{1} << 40) - 1));
    EXPECT_EQ(fields(),
              (QStringList{"05.03.2016г/14:05:09", "1193046:28:15", "65535", "7", "1099511,6"}));
    EXPECT_FALSE(line.isOpen());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Учетная запись считана!"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Считывание учетной записи"));
}

TEST_F(AccountingTest, resetAsksFirst_yesSendsAndShowsTheNewRecord) {
    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    protocol().Button8->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Question);
    EXPECT_EQ(boxes.shown[0].text, kResetQuestion);
    EXPECT_EQ(boxes.shown[0].caption, kCaptionTool);
    ASSERT_EQ(sentFrames().size(), 1u);
    EXPECT_EQ(sentFrames()[0], buildFrame(600, kind::AccountingReset, {}));

    // The port is closed before the message; no chain is continued from here.
    boxes.whileOpen = [&](const auto&) { EXPECT_FALSE(line.isOpen()); };
    answer(kind::AccountingReset, record(0, 0));
    EXPECT_EQ(fields(),
              (QStringList{"05.03.2016г/14:05:09", "00000:00:00", "65535", "7", "000000,0"}));
    EXPECT_EQ(sentFrames().size(), 1u);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, RecordingMessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Учетная запись обнулена!"));
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Обнуление учетной записи"));
}

TEST_F(AccountingTest, cancellingTheResetSendsNothingAndLeavesThePortAsItWas) {
    for (bool portOpen : {false, true}) {
        boxes.clear();
        if (portOpen) {
            ASSERT_FALSE(session().openPort());
        }
        const int opens = line.openCount;
        protocol().Button8->click(); // the default answer is No
        EXPECT_TRUE(sentFrames().empty());
        EXPECT_EQ(line.isOpen(), portOpen);
        EXPECT_EQ(line.openCount, opens);
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].kind, RecordingMessageBoxes::Kind::Information);
        EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Обнуление учетной записи отменено"));
        EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Обнуление учетной записи"));
    }
}

TEST_F(AccountingTest, inTheReportChainTheReadGoesOnToBlockZeroOverTheOpenPort) {
    chainUpToTheAccountingRead();
    protocol().pb_prot->setValue(3);
    const int opens = line.openCount;
    answer(kind::AccountingRead, record(3725, 0));
    EXPECT_EQ(fields()[1], QStringLiteral("00001:02:05"));
    EXPECT_EQ(writer().chainStep(), ReportStep::Events);
    EXPECT_EQ(protocol().pb_prot->value(), 0);
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(line.openCount, opens) << "not reopened";
    ASSERT_EQ(sentFrames().size(), 3u);
    EXPECT_EQ(sentFrames()[2], buildFrame(600, kind::EventBlock, Bytes{0}));
    EXPECT_TRUE(session().answerTimeoutArmed().has_value());
    EXPECT_TRUE(boxes.shown.empty());

    // The protocol read then ends the chain in the report.
    for (std::uint8_t block = 0; block < 10; ++block) {
        std::array<Bytes, kEventsPerBlock> erased;
        erased.fill(erasedEventRecordBytes());
        answer(kind::EventBlock, encodeEventBlockBytes(block, erased));
    }
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Не найден шаблон !")});
    EXPECT_EQ(writer().chainStep(), ReportStep::Idle);
}

TEST_F(AccountingTest, noAnswerKeepsTheFieldsAndEndsTheChain) {
    protocol().Button7->click();
    answer(kind::AccountingRead, record(3725, 123456789));
    const QStringList before = fields();
    boxes.clear();

    chainUpToTheAccountingRead();
    session().answerTimedOut();
    EXPECT_EQ(fields(), before);
    EXPECT_EQ(writer().chainStep(), ReportStep::Idle);
    EXPECT_FALSE(line.isOpen());

    // The next plain read shows its own message.
    boxes.clear();
    protocol().Button7->click();
    answer(kind::AccountingRead, record(0, 0));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Учетная запись считана!")});
}

TEST_F(AccountingTest, aResetAnswerToAReadIsNotTakenForAReset) {
    protocol().Button7->click();
    answer(kind::AccountingReset, record(0, 0));
    EXPECT_TRUE(boxes.shown.empty()) << "no reset was asked for";
    EXPECT_EQ(fields()[0], QString());
    ASSERT_TRUE(session().answerTimeoutArmed().has_value()) << "the read is still unanswered";
    session().answerTimedOut();
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral(
                                 "Устройство не отвечает! Повторите попытку или обратитесь к "
                                 "разработчику.")});
    EXPECT_EQ(fields()[0], QString());
}
