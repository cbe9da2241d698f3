// Reading the configuration record: the request, and each way the read ends.
#include "operation_fixture.hpp"
#include "session/operations/read_configuration.hpp"

using namespace torl7;
using namespace torl7::test;

namespace {

class ReadConfigurationTest : public OperationFixture {
public:
    std::vector<Outcome<ConfigRecord>> results;
    ReadConfiguration read{session};

    void start() {
        read.onFinished([this](const Outcome<ConfigRecord>& r) { results.push_back(r); });
        read.start();
    }
};

} // namespace

TEST_F(ReadConfigurationTest, recordArrivesOnceAndAnotherCodeDoesNotEndTheWait) {
    start();
    ASSERT_TRUE(lastSent());
    EXPECT_EQ(lastSent()->command(), kind::ConfigRead);
    EXPECT_EQ(lastSent()->length(), 0);
    EXPECT_EQ(read.step(), ReadConfiguration::Step::Reading);

    answer(kind::AccountingRead, Bytes(10, 0)); // a late answer to something else
    EXPECT_TRUE(results.empty());
    ConfigRecord record;
    record.tbMs = 42;
    const auto encoded = encodeConfigRecord(record);
    answer(kind::ConfigRead, Bytes(encoded.begin(), encoded.end()));
    answer(kind::ConfigRead, Bytes(encoded.begin(), encoded.end()));
    ASSERT_EQ(results.size(), 1u);
    ASSERT_TRUE(results[0]);
    EXPECT_EQ(results[0].result->tbMs, 42);
    EXPECT_EQ(read.step(), ReadConfiguration::Step::Done);
}

TEST_F(ReadConfigurationTest, failuresEndTheReadWithTheirKind) {
    const struct {
        const char* name;
        std::function<void(OperationFixture&)> fail;
        SessionError::Kind kind;
    } cases[] = {
        {"timeout", [](OperationFixture& f) { f.session.answerTimedOut(); },
         SessionError::Kind::Timeout},
        {"line lost", [](OperationFixture& f) { f.line.loseDevice(); },
         SessionError::Kind::LineLost},
    };
    for (const auto& c : cases) {
        results.clear();
        ASSERT_FALSE(session.openPort());
        start();
        c.fail(*this);
        ASSERT_EQ(results.size(), 1u) << c.name;
        EXPECT_FALSE(results[0]) << c.name;
        ASSERT_TRUE(results[0].error) << c.name;
        EXPECT_EQ(results[0].error->kind, c.kind) << c.name;
    }
}
