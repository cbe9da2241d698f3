// A substation's line whose port does not open: the line fails once, not once a unit.
#include "records/substation_run.hpp"
#include "session/serial_line.hpp"

#include <QTest>
#include <gtest/gtest.h>

using namespace torl7;

namespace {

// A port the system refuses, counting how often it is asked.
class RefusingLine final : public SerialLine {
public:
    explicit RefusingLine(int& attempts) : attempts_(attempts) {}
    bool isOpen() const override { return false; }
    bool open(const QString&, qint32) override {
        ++attempts_;
        return false;
    }
    void close() override {}
    void setBaudRate(qint32) override {}
    qint32 baudRate() const override { return 115200; }
    bool write(const QByteArray&) override { return false; }
    QByteArray readAll() override { return {}; }
    QString errorString() const override { return QStringLiteral("Permission denied"); }

private:
    int& attempts_;
};

} // namespace

TEST(SubstationRun, aPortThatDoesNotOpenIsTriedOnceAndFailsEveryUnitOfItsLine) {
    int attempts = 0;
    SubstationRun run([&](const std::string&) { return std::make_unique<RefusingLine>(attempts); });
    Substation substation;
    substation.lines = {{"bus1", "/dev/ttyS9", 115200}};
    for (const int number : {600, 601, 602}) {
        SubstationUnit& unit = substation.units.emplace_back();
        unit.number = number;
        unit.line = "bus1";
    }
    std::vector<int> told;
    std::optional<std::vector<UnitOutcome>> ended;
    run.onUnit = [&](const UnitOutcome& u) { told.push_back(u.number); };
    run.onFinished = [&](const std::vector<UnitOutcome>& units) { ended = units; };
    run.start(substation, {}, clockJob());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 5000));

    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(told, (std::vector<int>{600, 601, 602}));
    ASSERT_EQ(ended->size(), 3u);
    for (const UnitOutcome& u : *ended) {
        EXPECT_EQ(u.result, UnitOutcome::Result::Failed) << u.number;
        EXPECT_EQ(u.detail, "cannot open /dev/ttyS9: Permission denied") << u.number;
    }
}
