// Writing the configuration record: the unit's record kept in the history first, the write,
// the acknowledgement, the read-back and its comparison, and the ways the read-back does not
// happen.
#include "operation_fixture.hpp"
#include "records/config_history.hpp"
#include "session/operations/write_configuration.hpp"

#include <QFile>
#include <QTemporaryDir>

using namespace torl7;
using namespace torl7::test;

namespace {

Bytes recordBytes(const ConfigRecord& record) {
    const auto encoded = encodeConfigRecord(record);
    return Bytes(encoded.begin(), encoded.end());
}

class WriteConfigurationTest : public OperationFixture {
public:
    WriteConfigurationTest() { sent.uminVolts = 300; }

    // How a write ended: what it reports, and why it did not end done.
    struct Ended : WriteReport {
        std::optional<SessionError> error;
    };
    void listen(WriteConfiguration& operation) {
        operation.onFinished([this](const Outcome<WriteReport>& o) {
            results.push_back(Ended{o.result.value_or(WriteReport{}), o.error});
        });
    }
    void start(std::function<void()> whileAcknowledged = {}) {
        listen(write);
        write.start(sent, [this, whileAcknowledged] {
            ++acknowledgements;
            writesAtAcknowledgement = line.writes.size();
            if (whileAcknowledged) {
                whileAcknowledged();
            }
        });
    }

    ConfigRecord sent;
    WriteConfiguration write{session};
    int acknowledgements = 0;
    std::size_t writesAtAcknowledgement = 0;
    std::vector<Ended> results;
};

} // namespace

TEST_F(WriteConfigurationTest, acknowledgedWriteIsReadBackAndCompared) {
    const struct {
        const char* name;
        std::function<void(ConfigRecord&)> unitKeeps;
        bool identical;
        std::size_t differences;
    } cases[] = {
        {"all taken", [](ConfigRecord&) {}, true, 0},
        {"Umin refused", [](ConfigRecord& r) { r.uminVolts = 170; }, false, 1},
    };
    for (const auto& c : cases) {
        results.clear();
        line.clearWritten();
        start();
        const auto frame = lastSent();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command(), kind::Write);
        const ByteSpan payload = frame->payload();
        EXPECT_EQ(payload[0], kWriteSubModeConfig);
        EXPECT_EQ(Bytes(payload.begin() + 1, payload.end()), recordBytes(sent));

        answer(kind::Write, Bytes{0});
        EXPECT_EQ(writesAtAcknowledgement, 1u) << "the read-back waits for the acknowledgement";
        EXPECT_EQ(lastSent()->command(), kind::ConfigRead) << c.name;
        EXPECT_EQ(write.step(), WriteConfiguration::Step::ReadingBack);

        ConfigRecord stored = sent;
        c.unitKeeps(stored);
        answer(kind::ConfigRead, recordBytes(stored));
        ASSERT_EQ(results.size(), 1u) << c.name;
        EXPECT_TRUE(results[0].acknowledged);
        ASSERT_TRUE(results[0].readBack);
        EXPECT_EQ(results[0].readBack->uminVolts, stored.uminVolts);
        EXPECT_EQ(results[0].identical, c.identical) << c.name;
        EXPECT_EQ(results[0].differences.size(), c.differences) << c.name;
    }
}

TEST_F(WriteConfigurationTest, readBackReopensThePortTheIdleCloseShut) {
    start([this] { session.idleCloseElapsed(); });
    const int opensBefore = line.openCount;
    answer(kind::Write, Bytes{0});
    EXPECT_EQ(line.openCount, opensBefore + 1);
    EXPECT_EQ(lastSent()->command(), kind::ConfigRead);
}

TEST_F(WriteConfigurationTest, withoutReadBackTheResultSaysWhy) {
    const struct {
        const char* name;
        std::function<void(WriteConfigurationTest&)> whileAcknowledged;
        bool answerWrite;
        std::optional<SessionError::Kind> error;
        bool reserved;
    } cases[] = {
        {"port will not reopen",
         [](WriteConfigurationTest& t) {
             t.session.idleCloseElapsed();
             t.line.failNextOpen = true;
         },
         true, SessionError::Kind::PortNotOpened, false},
        {"speed change took the line", [](WriteConfigurationTest& t) { t.session.holdLine(); },
         true, std::nullopt, true},
    };
    for (const auto& c : cases) {
        results.clear();
        acknowledgements = 0;
        session.releaseLine();
        ASSERT_FALSE(session.openPort());
        start([this, &c] {
            if (c.whileAcknowledged) {
                c.whileAcknowledged(*this);
            }
        });
        const std::size_t writesAfterStart = line.writes.size();
        if (c.answerWrite) {
            answer(kind::Write, Bytes{0});
        } else {
            session.answerTimedOut();
        }
        ASSERT_EQ(results.size(), 1u) << c.name;
        EXPECT_EQ(line.writes.size(), writesAfterStart) << c.name << ": no read-back sent";
        EXPECT_EQ(acknowledgements, c.answerWrite ? 1 : 0) << c.name;
        EXPECT_EQ(results[0].acknowledged, c.answerWrite) << c.name;
        EXPECT_FALSE(results[0].readBack) << c.name;
        EXPECT_EQ(results[0].error ? std::optional(results[0].error->kind) : std::nullopt, c.error)
            << c.name;
        EXPECT_EQ(results[0].stop.has_value(), c.reserved) << c.name;
    }
}

// Before a write with a history, the unit's record is read and kept; nothing is written when
// either fails.
TEST_F(WriteConfigurationTest, withAHistoryTheUnitsRecordIsKeptBeforeAnythingIsWritten) {
    ConfigRecord before;
    before.tbMs = 7;
    const struct {
        const char* name;
        bool unitAnswers;
        bool folderWritable;
        bool written;
    } cases[] = {
        {"kept, then written", true, true, true},
        {"unit silent", false, true, false},
        {"history folder cannot be made", true, false, false},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        QString root = dir.filePath(QStringLiteral("history"));
        if (!c.folderWritable) {
            QFile inTheWay(root); // a file where the folder should be
            ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
        }
        const ConfigHistory history(root);
        WriteConfiguration safe(session, &history);
        ASSERT_FALSE(session.openPort()) << "a timeout closed the port";
        results.clear();
        line.clearWritten();
        listen(safe);
        safe.start(sent);
        EXPECT_EQ(lastSent()->command(), kind::ConfigRead) << c.name;
        EXPECT_EQ(safe.step(), WriteConfiguration::Step::ReadingBefore);
        if (c.unitAnswers) {
            answer(kind::ConfigRead, recordBytes(before));
        } else {
            session.answerTimedOut();
        }
        EXPECT_EQ(line.writes.size(), c.written ? 2u : 1u) << c.name;
        EXPECT_EQ(results.size(), c.written ? 0u : 1u) << c.name << ": the write still runs";
        const QStringList kept = history.files(600);
        ASSERT_EQ(kept.size(), c.written ? 1 : 0) << c.name;
        if (c.written) {
            EXPECT_EQ(lastSent()->command(), kind::Write);
            answer(kind::Write, Bytes{0});
            answer(kind::ConfigRead, recordBytes(sent));
            ASSERT_EQ(results.size(), 1u);
            EXPECT_TRUE(results[0].identical);
            QFile file(kept[0]);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const auto read = readSettingsFile(file.readAll().toStdString());
            ASSERT_TRUE(read.file) << read.error;
            EXPECT_EQ(read.file->record, before);
            EXPECT_EQ(read.file->provenance.unit, 600);
        } else {
            EXPECT_FALSE(results[0].acknowledged);
            EXPECT_EQ(results[0].kept.has_value(), c.unitAnswers) << c.name;
        }
    }
}

// A write whose acknowledgement is lost may still have been taken: the record read back says
// which, the history file of the settings before is named, and the write still ends unconfirmed.
TEST_F(WriteConfigurationTest, aLostAcknowledgementIsFollowedByAReadBackThatTellsWhatTheUnitHolds) {
    using Found = WriteReport::Found;
    ConfigRecord before;
    before.tbMs = 7;
    ConfigRecord other = sent;
    other.tbMs = 9;
    const struct {
        const char* name;
        std::optional<ConfigRecord> unitHolds; // nothing: the read-back goes unanswered too
        Found found;
    } cases[] = {
        {"taken, the answer lost", sent, Found::NewRecord},
        {"not taken", before, Found::OldRecord},
        {"something else", other, Found::Neither},
        {"silent since", std::nullopt, Found::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const ConfigHistory history(dir.filePath(QStringLiteral("history")));
        WriteConfiguration safe(session, &history);
        listen(safe);
        results.clear();
        line.clearWritten();
        safe.start(sent);
        answer(kind::ConfigRead, recordBytes(before));
        ASSERT_EQ(lastSent()->command(), kind::Write);
        session.answerTimedOut();
        ASSERT_EQ(lastSent()->command(), kind::ConfigRead) << "read back all the same";
        if (c.unitHolds) {
            answer(kind::ConfigRead, recordBytes(*c.unitHolds));
        } else {
            session.answerTimedOut();
        }
        ASSERT_EQ(results.size(), 1u);
        ASSERT_TRUE(results[0].error);
        EXPECT_EQ(results[0].error->kind, SessionError::Kind::Timeout) << "still unconfirmed";
        EXPECT_FALSE(results[0].acknowledged);
        EXPECT_EQ(results[0].afterLostAcknowledgement, c.found);
        ASSERT_TRUE(results[0].kept && *results[0].kept);
        EXPECT_EQ(QStringList{results[0].kept->path}, history.files(600));
    }
}

TEST(ConfigHistoryTest, keepsTheNewestFiftyOfEachUnitInTimeOrder) {
    QTemporaryDir dir;
    const ConfigHistory history(dir.path());
    const QDateTime start(QDate(2026, 12, 9), QTime(5, 0));
    ConfigRecord r;
    for (int i = 0; i < 52; ++i) {
        r.tbMs = static_cast<std::uint8_t>(10 + i);
        ASSERT_TRUE(history.keepAt(600, r, start.addSecs(i)));
    }
    r.tbMs = 99; // a second write within the same millisecond
    ASSERT_TRUE(history.keepAt(600, r, start.addSecs(51)));
    ASSERT_TRUE(history.keepAt(601, r, start));

    const QStringList files = history.files(600);
    ASSERT_EQ(files.size(), ConfigHistory::kKeptPerUnit);
    const auto tbOf = [](const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const auto read = readSettingsFile(file.readAll().toStdString());
        return read.file ? read.file->record.tbMs : 0;
    };
    EXPECT_TRUE(files.front().endsWith(QStringLiteral("/600/20261209-050003-000.json")))
        << files.front().toStdString();
    EXPECT_EQ(tbOf(files.front()), 13) << "the three oldest went";
    EXPECT_EQ(tbOf(files[files.size() - 2]), 61);
    EXPECT_EQ(tbOf(files.back()), 99) << "the later of two in one millisecond sorts last";
    EXPECT_EQ(history.files(601).size(), 1) << "each unit keeps its own";
}
