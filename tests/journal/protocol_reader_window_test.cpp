// The protocol read in the window: the chain of block requests, the grid, the messages and
// the hand-over to the report writer, over an in-memory line.
#include "gui/controllers/protocol_reader.hpp"
#include "gui/controllers/report_writer.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "support/window_fixture.hpp"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace torl7;
using namespace torl7::test;

namespace {

const QString kNoAnswer =
    QStringLiteral("Устройство не отвечает! Повторите попытку или обратитесь к разработчику.");
// The report writer finds no template in an empty folder: its box tells that the report was
// begun.
const QString kReportBegun = QStringLiteral("Не найден шаблон !");

class ProtocolReadTest : public WindowFixture {
protected:
    ProtocolReadTest() { erasedBlocks(); }

    // An event at 15.06.21 10:00:00 plus `minutes`, tagged by Ua to tell rows apart.
    static EventRecord eventAt(int minutes, int tag, int orderDigit = 0) {
        EventRecord r;
        r.stamp = ClockStamp{0, minutes % 60, 10 + minutes / 60, 15, 6, 21};
        r.orderDigit = static_cast<std::uint8_t>(orderDigit);
        r.state = 0x81;
        r.uaVolts = static_cast<std::uint16_t>(tag);
        return r;
    }

    // The unit's protocol, entry by entry; erased unless set.
    void erasedBlocks() {
        for (Bytes& entry : unitEntries) {
            entry = erasedEventRecordBytes();
        }
    }
    void put(std::size_t entry, const EventRecord& record) {
        unitEntries[entry] = encodeEventRecord(record);
    }

    Bytes blockPayload(std::uint8_t index) const {
        std::array<Bytes, kEventsPerBlock> records;
        for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
            records[k] = unitEntries[(index % kEventBlocks) * kEventsPerBlock + k];
        }
        return encodeEventBlockBytes(index, records);
    }

    // Answers the pending block request with the block it names.
    void answerRequestedBlock() {
        const Frame request = *parseFrame(sentFrames().back());
        answer(kind::EventBlock, blockPayload(request.reader().byte(0)));
    }

    // The report chain up to its protocol read: the save button, then the configuration and
    // the accounting record answered.
    void chainUpToTheProtocolRead() {
        ReportWriter& writer = *w().findChild<ReportWriter*>();
        writer.programDir = noTemplate.path().toStdString();
        line.clearWritten();
        protocol().btn_save_prot->click();
        const auto record = encodeConfigRecord(ConfigRecord{});
        answer(kind::ConfigRead, Bytes(record.begin(), record.end()));
        answer(kind::AccountingRead, encodeAccounting(AccountingRecord{}));
        ASSERT_EQ(writer.chainStep(), ReportStep::Events);
    }
    ReportStep chainStep() { return w().findChild<ReportWriter*>()->chainStep(); }

    // A whole read: the button, then every block the tool asks for.
    void readProtocol() {
        line.clearWritten();
        protocol().Button1->click();
        for (int block = 0; block < 10 && line.isOpen(); ++block) {
            answerRequestedBlock();
        }
    }

    QString cell(int row, int column) const {
        const QTableWidgetItem* item = window->TabSheet3->StGr_prot->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    QStringList column(int c) const {
        QStringList texts;
        for (int r = 0; r < window->TabSheet3->StGr_prot->rowCount(); ++r) {
            texts << cell(r, c);
        }
        return texts;
    }
    int rowCount() const { return window->TabSheet3->StGr_prot->rowCount(); }

    std::array<Bytes, EventTable::kEntries> unitEntries;
    QTemporaryDir noTemplate;
};

} // namespace

TEST_F(ProtocolReadTest, tenBlocksOfDistinctEventsFillHundredRowsOldestFirst) {
    for (std::size_t entry = 0; entry < 100; ++entry) {
        // The unit keeps them newest first.
        const int minutes = 99 - static_cast<int>(entry);
        put(entry, eventAt(minutes, 1000 + minutes));
    }
    protocol().Button1->click();
    ASSERT_TRUE(line.isOpen());
    for (int block = 0; block < 10; ++block) {
        const Frame request = *parseFrame(sentFrames().back());
        ASSERT_EQ(request.command(), kind::EventBlock);
        ASSERT_EQ(request.length(), 1u);
        EXPECT_EQ(request.reader().byte(0), block) << "blocks are asked for in turn";
        EXPECT_TRUE(boxes.shown.empty());
        answerRequestedBlock();
        EXPECT_EQ(protocol().pb_prot->value(), block + 1);
    }
    EXPECT_EQ(sentFrames().size(), 10u);
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());

    ASSERT_EQ(rowCount(), 100);
    for (int r = 0; r < 100; ++r) {
        ASSERT_EQ(cell(r, 0), QString::number(r + 1));
        ASSERT_EQ(cell(r, 5), QString::number(1000 + r)) << "row " << r + 1;
    }
    EXPECT_EQ(cell(0, 1), QStringLiteral("15.06.21  10:00:00:0"));
    EXPECT_EQ(cell(99, 1), QStringLiteral("15.06.21  11:39:00:0"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Протокол считан!"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Считывание протокола"));
}

TEST_F(ProtocolReadTest, noValidRecordLeavesOnlyTheHeaderAndStillSaysSo) {
    put(0, eventAt(1, 1));
    readProtocol();
    ASSERT_EQ(rowCount(), 1);
    boxes.clear();

    erasedBlocks();
    EventRecord zeros; // all zero: day 0 is no date
    put(5, zeros);
    EventRecord lateHour = eventAt(0, 2);
    lateHour.stamp.hours = 24;
    put(6, lateHour);
    readProtocol();
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(window->TabSheet3->StGr_prot->horizontalHeaderItem(1)->text(),
              QStringLiteral("Дата/Время"));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол считан!")});
}

TEST_F(ProtocolReadTest, theWorkedRecordFillsEveryColumnOfItsRow) {
    unitEntries[95] = {0x03, 0x45, 0x30, 0x14, 0x05, 0x03, 0x16, 0x81, 0x20, 0x00, 0xDC, 0x00,
                       0xDD, 0x00, 0xDE, 0x00, 0x7B, 0x00, 0x7C, 0x03, 0xE8, 0x00, 0x05, 0xD5};
    readProtocol();
    ASSERT_EQ(rowCount(), 1);
    const QStringList worked{"1",        "05.03.16  14:30:45:3",
                             "Вкл.",     "Вкл.",
                             "Перегруз", "220",
                             "221",      "222",
                             "12,3",     "12,4",
                             "100",      "0,5",
                             "0,85"};
    for (int c = 0; c < 13; ++c) {
        EXPECT_EQ(cell(0, c), worked[c]) << "column " << c;
    }
}

TEST_F(ProtocolReadTest, aSecondReadNeverShowsARowOfTheFirst) {
    for (std::size_t entry = 0; entry < 100; ++entry) {
        put(entry, eventAt(static_cast<int>(entry), static_cast<int>(entry)));
    }
    readProtocol();
    ASSERT_EQ(rowCount(), 100);

    erasedBlocks();
    put(2, eventAt(50, 7002));
    put(91, eventAt(20, 7091));
    readProtocol();
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(column(5), (QStringList{"7091", "7002"}));
    EXPECT_EQ(cell(2, 5), QStringLiteral("<none>"));
}

TEST_F(ProtocolReadTest, theAnswersIndexDrivesTheChain_aBlockBeyondNineStoresNothingAndEnds) {
    // A first read fills every entry; the second one leaves most of them unwritten.
    for (std::size_t entry = 0; entry < 100; ++entry) {
        put(entry, eventAt(static_cast<int>(entry), static_cast<int>(entry)));
    }
    readProtocol();
    boxes.clear();

    line.clearWritten();
    protocol().Button1->click();
    answer(kind::EventBlock, blockPayload(0));
    EXPECT_EQ(parseFrame(sentFrames().back())->reader().byte(0), 1);
    answer(kind::EventBlock, blockPayload(7)); // the unit skips ahead: the tool follows
    EXPECT_EQ(parseFrame(sentFrames().back())->reader().byte(0), 8);
    EventRecord outside = eventAt(0, 9999);
    erasedBlocks();
    put(0, outside);
    answer(kind::EventBlock, blockPayload(10)); // named no block
    EXPECT_EQ(sentFrames().size(), 3u) << "nothing asked after an index above 9";
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(protocol().pb_prot->value(), 10);
    // Blocks 0 and 7 as sent now; what the first read left elsewhere was used up by it.
    EXPECT_EQ(rowCount(), 20);
    EXPECT_FALSE(column(5).contains("9999"));
    EXPECT_FALSE(column(5).contains("15")) << "a block this read never got must stay unseen";
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол считан!")});
}

TEST_F(ProtocolReadTest, aTimeoutAtBlockFourKeepsTheGridAndTheNextReadWorks) {
    put(0, eventAt(1, 11));
    put(1, eventAt(2, 12));
    readProtocol();
    ASSERT_EQ(column(5), (QStringList{"11", "12"}));
    boxes.clear();

    put(2, eventAt(3, 13));
    chainUpToTheProtocolRead(); // the report chain's protocol read
    for (int block = 0; block < 4; ++block) {
        answerRequestedBlock();
    }
    ASSERT_EQ(parseFrame(sentFrames().back())->reader().byte(0), 4);
    session().answerTimedOut();
    EXPECT_EQ(boxes.texts(), QStringList{kNoAnswer});
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(column(5), (QStringList{"11", "12"}));
    EXPECT_EQ(protocol().pb_prot->value(), 4);
    boxes.clear();

    readProtocol();
    EXPECT_EQ(chainStep(), ReportStep::Idle) << "the interrupted chain is over";
    EXPECT_EQ(column(5), (QStringList{"11", "12", "13"}));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол считан!")})
        << "no report is begun";
}

TEST_F(ProtocolReadTest, atTheEndOfTheReportChainTheReportIsWrittenInsteadOfTheMessage) {
    put(4, eventAt(1, 44));
    bool portOpenWhenSaving = true;
    boxes.whileOpen = [&](const RecordingMessageBoxes::Shown& box) {
        if (box.text != kReportBegun) {
            return;
        }
        portOpenWhenSaving = line.isOpen();
        EXPECT_EQ(chainStep(), ReportStep::Idle);
        EXPECT_EQ(protocol().pb_prot->value(), 0);
        EXPECT_EQ(rowCount(), 1) << "the grid is filled before the report";
    };
    chainUpToTheProtocolRead();
    for (int block = 0; block < 10 && line.isOpen(); ++block) {
        answerRequestedBlock();
    }
    EXPECT_EQ(boxes.texts(), QStringList{kReportBegun}) << "the report, not the message";
    EXPECT_FALSE(portOpenWhenSaving);
    EXPECT_EQ(sentFrames().size(), 12u);

    // A second chain ends the same way.
    boxes.clear();
    chainUpToTheProtocolRead();
    for (int block = 0; block < 10 && line.isOpen(); ++block) {
        answerRequestedBlock();
    }
    EXPECT_EQ(chainStep(), ReportStep::Idle);
    EXPECT_EQ(boxes.texts(), QStringList{kReportBegun});
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(ProtocolReadTest, noRequestWithoutAPort) {
    diag().cmbPorts->setCurrentIndex(-1);
    protocol().Button1->click();
    EXPECT_TRUE(sentFrames().empty());
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Не найден СОМ-порт!")});
}

TEST_F(ProtocolReadTest, aBlockAnsweringAnotherRequestIsNotTakenForIt) {
    put(0, eventAt(1, 1));
    protocol().Button7->click(); // the accounting read
    answer(kind::EventBlock, blockPayload(0));
    EXPECT_EQ(sentFrames().size(), 1u) << "no block request follows";
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(session().answerTimeoutArmed().has_value()) << "the missing answer is still timed";
}
